#!/usr/bin/env python3
"""What a screen reader hears while the game is played, read over AT-SPI the
way one listens: focus, name-change and announcement events, asked for before
the first key. Run in a D-Bus session of its own (dbus-run-session) on an X
server; keys go in through XTest, also to a Wayland compositor nested in it.
Usage: ScreenReaderTest.py GAME SOUNDS_DIR"""
import atexit, os, re, shutil, subprocess, sys, tempfile, time
import pyatspi
from gi.repository import GLib

game, sounds = sys.argv[1:3]
heard = []  # (how, text) in the order they arrive


def listen(event):
    if event.type.startswith("object:state-changed:focused") and event.detail1:
        event.source.clear_cache()
        heard.append(("focus", event.source.name))
    elif event.type.startswith("object:announcement"):
        heard.append(("announce", str(event.any_data)))
    elif event.type.startswith("object:property-change:accessible-name") and isinstance(
            event.any_data, str):
        heard.append(("name", event.any_data))


def wait_for(test, what, seconds=10):
    end = time.monotonic() + seconds
    while not test():
        if time.monotonic() > end:
            sys.exit(f"not heard: {what}\nheard: {heard}")
        GLib.MainContext.default().iteration(False)
        time.sleep(0.005)


def spoken():
    return [text for how, text in heard if how != "name"]


def key(name, expect=".*"):
    """Sends a key; waits until something matching expect is said after it."""
    count = len(spoken())
    subprocess.run(["xdotool", "key", name], check=True)
    wait_for(lambda: any(re.fullmatch(expect, said) for said in spoken()[count:]),
             f"{expect!r} after {name}")


for kind in ("object:state-changed:focused", "object:property-change:accessible-name",
             "object:announcement"):
    pyatspi.Registry.registerEventListener(listen, kind)
work = tempfile.mkdtemp()
for n in range(1, 6):
    shutil.copy(os.path.join(sounds, f"Dizo{n}.wav"), work)
env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", SDL_AUDIODRIVER="dummy")
proc = subprocess.Popen([game], cwd=work, env=env)
atexit.register(proc.kill)
wait_for(lambda: "Стержень 1: кольца 5, 4, 3, 2, 1" in spoken(), "the first peg focused")

app = next(a for a in pyatspi.Registry.getDesktop(0) if a and a.name == os.path.basename(game))
qt = tuple(map(int, app.toolkitVersion.split(".")[:2]))
window = app[0]
scene = pyatspi.findDescendant(window, lambda o: o.name == "Игровое поле")
assert (window.getRoleName(), window.name) == ("frame", "Тарвин"), window
assert "пробел" in scene.description and scene.childCount == 3, scene.description

# Every key says what happened, whatever channel this Qt speaks it through.
script = [("Right", "Стержень 2: пусто"), ("space", "Стержень 2 пуст, брать нечего"),
          ("Left", "Стержень 1: кольца 5, 4, 3, 2, 1"),
          ("space", "Взято кольцо 1. Стержень 1: кольца 5, 4, 3, 2"),
          ("Right", "Стержень 2: пусто, в руке кольцо 1"),
          ("space", "Положено кольцо 1. Стержень 2: кольцо 1"),
          ("Left", "Стержень 1: кольца 5, 4, 3, 2"), ("space", "Взято кольцо 2. .*"),
          ("Right", "Стержень 2: кольцо 1, в руке кольцо 2"),
          ("space", "Нельзя: кольцо 2 больше кольца 1"),
          ("space", "Нельзя: кольцо 2 больше кольца 1"),  # once more: heard again
          ("Return", "Выбран стержень 2. Стержень 1: кольца 5, 4, 3. Стержень 2: кольцо 1, "
           "в руке кольцо 2. Стержень 3: пусто. Время: \\d+ секунд[аы]?"),
          ("Left", "Стержень 1: кольца 5, 4, 3, в руке кольцо 2"),
          ("space", "Положено кольцо 2. Стержень 1: кольца 5, 4, 3, 2")]
start = len(heard)
for name, expect in script:
    key(name, expect)
# Qt 6.4 speaks through focus alone; from 6.8 on only a new selection moves it.
channels = [how for how, _ in heard[start:] if how != "name"]
assert channels == ["focus" if qt < (6, 8) or n in ("Left", "Right") else "announce"
                    for n, _ in script], heard[start:]
if qt >= (6, 8):
    assert ("name", "Стержень 2: кольцо 1") in heard, heard

# The rest of the game, ring by ring onto the right peg.
where = {5: 0, 4: 0, 3: 0, 2: 0, 1: 1}
selected = 0


def move_all(ring, to):
    if ring == 0:
        return
    if where[ring] == to:
        return move_all(ring - 1, to)
    move_all(ring - 1, 3 - where[ring] - to)
    global selected
    for peg, verb in ((where[ring], "Взято"), (to, "Положено")):
        while selected != peg:
            key("Right")
            selected = (selected + 1) % 3
        key("space", f"{verb} кольцо {ring}. .*")
    where[ring] = to
    move_all(ring - 1, to)


move_all(5, 2)
assert re.fullmatch("Положено кольцо 1. Стержень 3: кольца 5, 4, 3, 2, 1. Головоломка решена! "
                    "Время: .*секунд.*", spoken()[-2]), heard[-9:]
wait_for(lambda: spoken()[-1] == "Введите свое имя:", "the name entry's field focused")
key("Return", "Выход")  # the records window, its exit button focused
table = pyatspi.findDescendant(app, lambda o: o.getRoleName() == "table")
cells = [[table.queryTable().getAccessibleAt(r, c).name for c in range(2)] for r in range(1)]
header = [table.queryTable().getColumnHeader(c).name for c in range(2)]
assert header == ["Имя игрока", "Время"] and cells[0][0] == "Игрок", (header, cells)
key("Return", "Стержень 3: кольца 5, 4, 3, 2, 1")  # both closed: the window, then the peg
subprocess.run(["xdotool", "key", "Escape"], check=True)
assert proc.wait(10) == 0
shutil.rmtree(work)
print("heard:", *spoken(), sep="\n  ")
