#!/usr/bin/env python3
"""What Orca itself speaks while the game is played. Orca runs first, in this D-Bus session with a
home and settings of its own, and speaks through a private speech-dispatcher whose output module
writes each utterance to a file; keys go in through XTest. Usage: OrcaSpeechTest.py GAME SOUNDS"""
import atexit, os, re, shutil, subprocess, sys, tempfile, time

game, sounds = sys.argv[1:3]
report = os.environ.get("TARVIN_ORCA_REPORT")  # only print what was said
work = tempfile.mkdtemp()
atexit.register(shutil.rmtree, work, True)
spoken, conf = work + "/spoken", work + "/config/speech-dispatcher"
env = dict(os.environ, HOME=work, SPEECHD_ADDRESS=f"unix_socket:{work}/speechd.sock", XDG_CONFIG_HOME=work + "/config", XDG_DATA_HOME=work + "/data",
           XDG_CACHE_HOME=work + "/cache", ALSA_CONFIG_PATH=work + "/alsa.conf", LANG="C.UTF-8")
os.makedirs(conf + "/modules")
open(work + "/alsa.conf", "w").write("pcm.null { type null }\n")  # no sound device needed
open(conf + "/speechd.conf", "w").write('AudioOutputMethod "alsa"\nAudioALSADevice "null"\n'
                                         'AddModule "file" "sd_generic" "file.conf"\nDefaultModule file\n')
open(conf + "/modules/file.conf", "w").write(
    f"GenericExecuteSynth \"printf '%s\\\\n' \\'$DATA\\' >>{spoken}\"\nGenericMaxChunkLength 9999\nGenericDelimiters \"~\"\n" + "".join(
        f'GenericLanguage "{lang}" "{lang}" "utf-8"\nAddVoice "{lang}" "MALE1" "x"\n' for lang in ("en", "ru")))
open(spoken, "w").close()
procs = []
atexit.register(lambda: [p.kill() for p in procs])
heard = []  # (seconds since the test began, text)

def listen():
    with open(spoken, encoding="utf-8") as f:
        heard.extend((time.monotonic(), line.strip().rstrip(".")) for line in f.readlines()[len(heard):])
    return [text for _, text in heard]

def wait_for(text, timeout=20):
    end = time.monotonic() + timeout
    while not any(re.fullmatch(text, s) for s in listen()):
        if time.monotonic() > end:
            sys.exit(f"not heard: {text}\nheard: {listen()}")
        time.sleep(0.02)

echo = re.compile(r"(?i)space|return|enter|down|up|escape|f10")  # Orca's own key echo
failures = []

def key(name, expect=".*", once=True):
    """Presses a key; Orca must start speaking within half a second and say expect (utterances
    joined by " | "): with once, in one utterance; once=None checks only the first."""
    start, count = time.monotonic(), len(listen())
    subprocess.run(["xdotool", "key", name], check=True)
    while time.monotonic() < start + 0.5 and not [s for s in listen()[count:] if not echo.fullmatch(s)]:
        time.sleep(0.02)
    time.sleep({True: 0.3, False: 1.0, None: 0}[once])  # a repeat, a late utterance
    said = [(t - start, s) for t, s in heard[count:] if not echo.fullmatch(s)]
    print(f"{name:6} " + " | ".join(f"+{t:.2f} s «{s}»" for t, s in said), flush=True)
    if not said or said[0][0] > 0.5 or not re.fullmatch(expect, " | ".join(s for _, s in said)) or (
            once and len(said) > 1) or once is None and not re.fullmatch(expect, said[0][1]):
        failures.append(f"{name}: expected «{expect}» once, heard {said}")
    return [s for _, s in said]

quiet = dict(stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
procs.append(subprocess.Popen(["speech-dispatcher", "-s", "-t", "0", "-C", conf, "-c", "unix_socket",
                               "-S", work + "/speechd.sock"], env=env, **quiet))
while not os.path.exists(work + "/speechd.sock"):
    time.sleep(0.05)
# Orca will not start while an "orca" process of this user runs anywhere: started through python3,
# this one is not such a process for another test's Orca.
if subprocess.run(["pgrep", "-u", str(os.getuid()), "-x", "orca"], capture_output=True).returncode == 0:
    sys.exit("another Orca runs as this user: Orca would not start")
procs.append(subprocess.Popen(["/usr/bin/python3", "/usr/bin/orca"], env=env, **quiet))
wait_for("Screen reader on")
shutil.copytree(sounds, work + "/play")
procs.append(subprocess.Popen([game], cwd=work + "/play", env=dict(env, SDL_AUDIODRIVER="dummy")))
wait_for("Стержень 1: кольца 5, 4, 3, 2, 1")
print("start: " + " | ".join(listen()[1:]))
time.sleep(0.5)

empty, refused = "Стержень 2 пуст, брать нечего", "Нельзя: кольцо 2 больше кольца 1"
for name, expect in [("Right", "Стержень 2: пусто"), ("space", empty), ("space", empty),
                     ("Left", "Стержень 1: кольца 5, 4, 3, 2, 1"),
                     ("space", "Взято кольцо 1. Стержень 1: кольца 5, 4, 3, 2"),
                     ("Right", "Стержень 2: пусто, в руке кольцо 1"),
                     ("space", "Положено кольцо 1. Стержень 2: кольцо 1"), ("Left", ".*"),
                     ("space", "Взято кольцо 2. .*"), ("Right", ".*"), ("space", refused),
                     ("space", refused), ("Return", r"Выбран стержень 2\. .* Время: \d+ секунд[аы]?")]:
    key(name, expect)

def hanoi(n, a, b, c):
    return hanoi(n - 1, a, c, b) + [(a, c)] + hanoi(n - 1, b, a, c) if n else []

selected = 1

def select(peg):
    global selected
    while selected != peg:
        key("Right" if (peg - selected) % 3 == 1 else "Left", ".*", once=None)
        selected = peg

for peg, verb in [(0, "Положено"), (1, "Взято"), (0, "Положено")] + [
        (p, v) for move in hanoi(5, 0, 1, 2) for p, v in zip(move, ("Взято", "Положено"))][:-1]:
    select(peg)
    key("space", verb + " .*", once=None)
select(2)
key("space", r"(?s)Положено кольцо 1\. Стержень 3: кольца 5, 4, 3, 2, 1\. Головоломка решена! "
    r"Время: .*Введите свое имя:.*", once=False)
back = r"(Тарвин frame \| )?Стержень 3: кольца 5, 4, 3, 2, 1"  # after a dialog: the peg, no key help
key("Return", ".*Таблица рекордов.*", once=False)
for name, expect in [("Up", ".*Игрок.*секунд.*"), ("Down", "Выход push button"), ("Up", ".*Игрок.*секунд.*")]:
    key(name, expect, once=False)
key("Return", back, once=False)
key("Return", r"Выбран стержень 3\. .*")
key("F10", ".*Игра.*", once=False)
key("Up", "ВЫХОД.*")
key("Up", "Об игре.*")
key("Return", ".*Цель игры.*", once=False)
key("Return", back, once=False)
os.remove(work + "/play/Dizo2.wav")
key("Left", ".*Не найден звуковой файл Dizo2.wav.*", once=False)
key("Return", back.replace("3: кольца 5, 4, 3, 2, 1", "2: пусто"), once=False)
subprocess.run(["xdotool", "key", "Escape"], check=True)
assert procs[2].wait(10) == 0
if failures and not report:
    sys.exit("\n".join(failures))
