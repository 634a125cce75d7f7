"""The real tarvix.exe under Wine, driven from outside: window messages and input
from tarvix_input_helper.exe, xdotool for windows and the pointer, the files on
disk and the vJoy stand-in's log. Waits poll with a timeout."""
import os
import re
import shutil
import subprocess
import sys
import time
import traceback
import types

BIN = os.environ.get("TARVIX_E2E_BIN", "")
HELPER = os.path.join(BIN, "tarvix_input_helper.exe")
DATA = os.path.join(os.environ.get("HOME", ""), "Documents", "Tarvix")
SETTINGS = os.path.join(DATA, "settings.txt")
DEFAULTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support", "defaults")
TITLE = "^Tarvix v0\\.5\\.6$"
WM_COMMAND, IDOK, TRAY_SHOW, TRAY_EXIT = 273, 1, 2001, 2002
_started = []


def read(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def fill(name, **values):
    """A file as a first start writes it (settings.txt, Default.txt), some values replaced."""
    pairs = [line.split("=", 1) for line in read(os.path.join(DEFAULTS, name)).decode().split()]
    assert set(values) <= {k for k, _ in pairs}, "unknown keys in %s" % values
    return "".join("%s=%s\r\n" % (k, values.get(k, v)) for k, v in pairs).encode()


def seed(files):
    """Empties the data folder, then writes {path in it: bytes}."""
    shutil.rmtree(DATA, ignore_errors=True)
    for name, content in files.items():
        os.makedirs(os.path.dirname(os.path.join(DATA, name)), exist_ok=True)
        with open(os.path.join(DATA, name), "wb") as f:
            f.write(content)


def data_files():
    return sorted(os.path.relpath(os.path.join(d, n), DATA) for d, _, ns in os.walk(DATA) for n in ns)


def wait(predicate, what, timeout=10, interval=0.01):
    """Polls predicate until it holds; what names it (or is a function giving the name)."""
    deadline = time.monotonic() + timeout
    while not predicate():
        assert time.monotonic() < deadline, "timed out waiting for %s" % (
            what() if callable(what) else what)
        time.sleep(interval)


def spawn(args, **options):
    _started.append(subprocess.Popen([str(a) for a in args], stdin=subprocess.DEVNULL, **options))
    return _started[-1]


def helper(*args):
    return spawn(["wine", HELPER, *args], stdout=subprocess.DEVNULL).wait(30)


def helper_says(*args):
    """What tarvix_input_helper.exe printed, as words; its exit code must be 0."""
    done = subprocess.run(["wine", HELPER, *map(str, args)], capture_output=True, timeout=30)
    assert done.returncode == 0, "helper %s: %s" % (args, done.stderr[-300:])
    return done.stdout.decode().split()


def post(window_class, message, wparam, lparam=0):
    assert helper("post", window_class, message, wparam, lparam) == 0, "no %s" % window_class


def start(name="run", vjoy=True, planted=False, args=(), exe="tarvix.exe"):
    """exe (tarvix.exe, or the build with the fake pad bus) copied into a folder of its own, with the
    stand-in beside it; planted: started from a folder "cwd" in it that holds one instead."""
    run = types.SimpleNamespace(folder=os.path.join(os.environ["TARVIX_WINE_DIR"], "e2e", name))
    shutil.rmtree(run.folder, ignore_errors=True)
    os.makedirs(run.folder)
    shutil.copy2(os.path.join(BIN, exe), run.folder)
    if vjoy:
        shutil.copy2(os.path.join(BIN, "standin", "vJoyInterface.dll"), run.folder)
    cwd = os.path.join(run.folder, "cwd") if planted else run.folder
    os.makedirs(cwd, exist_ok=True)
    if planted:
        shutil.copy2(os.path.join(BIN, "standin", "vJoyInterface.dll"), cwd)
    run.log, run.state, run.bus = (os.path.join(run.folder, f) for f in ("log", "state", "bus"))
    env = dict(os.environ, TARVIX_STANDIN_LOG=run.log, TARVIX_STANDIN_STATE=run.state, TARVIX_FAKEBUS_LOG=run.bus)
    for name in ("WINEPATH", "TARVIX_STANDIN_MODE", "TARVIX_FAKEBUS_MODE"):  # only the copy beside it, free device 1
        env.pop(name, None)
    run.proc = spawn(["wine", os.path.join(run.folder, exe), *args], cwd=cwd, env=env)
    return run


def calls(run, log="log"):
    """[(seconds, function, (args...))] of the stand-in's log, or of the fake bus's (log="bus")."""
    return [(int(c) / int(f), name, tuple(int(a) for a in args.split(",") if a)) for c, f, name, args
            in re.findall(r"(\d+) (\d+) (\w+)\(([-\d,]*)\)", (read(getattr(run, log)) or b"").decode())]


def wheel(run, since=0):
    """(seconds, X) of each publish, from call number since on: X is UpdateVJD's 6th value."""
    return [(t, a[5] if f == "UpdateVJD" else a[0]) for t, f, a in calls(run)[since:]
            if f == "UpdateVJD" or f == "SetAxis" and a[2] == 48]


def wait_ticks(run, count=1):
    # A start that has to bring up Wine's desktop process, after slow GUI tests, can take well over 10 s here.
    wait(lambda: len(wheel(run)) >= count, "%d output ticks" % count, 40)


def axes(run):
    state = dict(p.split("=") for p in (read(run.state) or b"").decode().split() if "=" in p)
    return tuple(int(state[k]) for k in "XYZ") if "buttons" in state else None


def wait_axes(run, ok, what):
    seen = [None]
    wait(lambda: seen.append(axes(run)) or (seen[-1] and ok(*seen[-1])),
         lambda: "%s; axes (X, Y, Z) are %s" % (what, seen[-1]), 5)


def ended(run, code, after):
    assert run.proc.wait(20) == code, "exit code %d after %s" % (run.proc.returncode, after)


def xdo(*args):
    return subprocess.run(["xdotool", *map(str, args)], capture_output=True, text=True).stdout


def windows(name, visible=True):
    return xdo("search", *(["--onlyvisible"] if visible else []), "--name", name).split()


def main(*checks):
    """Runs the checks; each ends every process it started, passed or failed."""
    failed = 0
    for fn in checks:
        try:
            fn()
            print("PASS", fn.__name__, flush=True)
        except Exception:
            failed += 1
            traceback.print_exc(file=sys.stdout)
        for proc in _started:
            proc.kill()
            proc.wait(10)
        _started.clear()
    sys.exit(1 if failed else 0)
