#!/usr/bin/env python3
"""What a screen reader hears while the game is played, over AT-SPI in a D-Bus
session of its own; keys go in through XTest. Usage: ScreenReaderTest.py GAME SOUNDS"""
import atexit, os, re, shutil, subprocess, sys, tempfile, time
import pyatspi
from gi.repository import GLib

game, sounds = sys.argv[1:3]
heard = []  # (how, text) in the order they arrive

def listen(event):
    if event.type.endswith("focused"):
        if event.detail1:
            event.source.clear_cache()
            heard.append(("focus", event.source.name))
    elif event.type.endswith("announcement") or isinstance(event.any_data, str):
        heard.append((event.type.split(":")[-1], str(event.any_data)))

def wait_for(test, what):
    end = time.monotonic() + 10
    while not test():
        if time.monotonic() > end:
            sys.exit(f"not heard: {what}\nheard: {heard}")
        GLib.MainContext.default().iteration(False)
        time.sleep(0.005)

def spoken():
    return [text for how, text in heard if how != "accessible-name"]

def key(name, expect=".*"):
    """Sends a key; waits until something matching expect is said after it."""
    count = len(spoken())
    subprocess.run(["xdotool", "key", name], check=True)
    wait_for(lambda: any(re.fullmatch(expect, s) for s in spoken()[count:]), f"{expect} ({name})")

for kind in ("state-changed:focused", "property-change:accessible-name", "announcement"):
    pyatspi.Registry.registerEventListener(listen, "object:" + kind)
work = tempfile.mkdtemp()
shutil.copytree(sounds, work, dirs_exist_ok=True)  # the cues
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", SDL_AUDIODRIVER="dummy")
proc = subprocess.Popen([game], cwd=work, env=env)
atexit.register(proc.kill)
wait_for(lambda: "Стержень 1: кольца 5, 4, 3, 2, 1" in spoken(), "the first peg focused")

app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == os.path.basename(game))
qt = tuple(map(int, app.toolkitVersion.split(".")[:2]))
scene = pyatspi.findDescendant(app[0], lambda o: o.name == "Игровое поле")
assert (app[0].getRoleName(), app[0].name) == ("frame", "Тарвин"), app[0]
assert "пробел" in scene.description and scene.childCount == 3, scene.description

script = [("Right", "Стержень 2: пусто"), ("space", "Стержень 2 пуст, брать нечего"),
          ("Left", "Стержень 1: кольца 5, 4, 3, 2, 1"),
          ("space", "Взято кольцо 1. Стержень 1: кольца 5, 4, 3, 2"),
          ("Right", "Стержень 2: пусто, в руке кольцо 1"),
          ("space", "Положено кольцо 1. Стержень 2: кольцо 1"),
          ("Left", "Стержень 1: кольца 5, 4, 3, 2"), ("space", "Взято кольцо 2. .*"),
          ("Right", "Стержень 2: кольцо 1, в руке кольцо 2"),
          ("space", "Нельзя: кольцо 2 больше кольца 1"),
          ("space", "Нельзя: кольцо 2 больше кольца 1"),  # heard again
          ("Return", "Выбран стержень 2. Стержень 1: кольца 5, 4, 3. Стержень 2: кольцо 1, "
           "в руке кольцо 2. Стержень 3: пусто. Время: \\d+ секунд[аы]?"),
          ("Left", "Стержень 1: кольца 5, 4, 3, в руке кольцо 2"), ("space", "Положено .*"),
          ("Right", ".*"), ("space", "Взято кольцо 1. Стержень 2: пусто"), ("Left", ".*"),
          ("space", "Положено кольцо 1. Стержень 1: кольца 5, 4, 3, 2, 1")]
start = len(heard)
for name, expect in script:
    key(name, expect)
# Qt 6.4 speaks through focus alone; from 6.8 on only a new selection moves it.
channels = [how for how, _ in heard[start:] if how != "accessible-name"]
assert channels == ["focus" if qt < (6, 8) or n in ("Left", "Right") else "announcement"
                    for n, _ in script], heard[start:]
assert qt < (6, 8) or ("accessible-name", "Стержень 2: кольцо 1") in heard, heard

def hanoi(n, a, b, c):
    return hanoi(n - 1, a, c, b) + [(a, c)] + hanoi(n - 1, b, a, c) if n else []

selected = 0
for move in hanoi(5, 0, 1, 2):
    for peg, verb in zip(move, ("Взято", "Положено")):
        while selected != peg:
            key("Right")
            selected = (selected + 1) % 3
        key("space", verb + " .*")
wait_for(lambda: "Введите свое имя:" in spoken(), "the name entry's field focused")
win = "Положено кольцо 1. Стержень 3: кольца 5, 4, 3, 2, 1. Головоломка решена! Время: .*"
assert any(re.fullmatch(win, s) for s in spoken()[:spoken().index("Введите свое имя:")]), heard
field = pyatspi.findDescendant(app, lambda o: o.getRoleName() == "text" and o.name != "")
assert field.description.startswith("Головоломка решена!"), field.description
key("Return", "Выход")  # the records window, its exit button focused
table = pyatspi.findDescendant(app, lambda o: o.getRoleName() == "table").queryTable()
assert [table.getColumnHeader(c).name for c in range(2)] == ["Имя игрока", "Время"]
assert table.getAccessibleAt(0, 0).name == "Игрок", table.getAccessibleAt(0, 0).name
key("Return", "Стержень 3: кольца 5, 4, 3, 2, 1")  # both closed: the window, then the peg
subprocess.run(["xdotool", "key", "Escape"], check=True)
assert proc.wait(10) == 0
shutil.rmtree(work)
