"""Shared helpers of the soak and crash tests. They build on the end-to-end
helpers (tests/e2e/tarvix_e2e.py, imported as it is) and add what a long or
rough run needs: strict checks of the two file formats, the Linux process
behind a started tarvix.exe, its resident memory, a stand-in log that is read
and emptied in slices, and a runner whose screenshots are named soak-*.

Run through tests/e2e/run-e2e.sh, as the end-to-end scripts are.
"""

import os
import re
import signal
import subprocess
import sys
import time
import types

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))

import tarvix_e2e as e2e  # noqa: E402  (found through the path above)

# ---- The file formats, checked strictly ---------------------------------------

_NUMBER_1 = rb"-?\d+\.\d"
_NUMBER_2 = rb"-?\d+\.\d\d"
_INTEGER = rb"-?\d+"
# Texts are written as stored: any bytes but LF and NUL. A lone CR is no line
# end when read, so a damaged file can leave one inside a text value.
_TEXT = rb"[^\n\x00]*"

SETTINGS_FORMAT = (
    (b"sensitivity", _NUMBER_1),
    (b"responseCurve", _NUMBER_2),
    (b"smoothing", _INTEGER),
    (b"autoCenterForce", _NUMBER_1),
    (b"steeringLimit", _NUMBER_1),
    (b"startMin", _INTEGER),
    (b"startWithWindows", _INTEGER),
    (b"accelBrakeMode", _INTEGER),
    (b"hotkeyLock", _TEXT),
    (b"hotkeyRecenter", _TEXT),
    (b"profile", _TEXT),
)
PROFILE_FORMAT = (
    (b"sensitivity", _NUMBER_1),
    (b"responseCurve", _NUMBER_2),
    (b"smoothing", _INTEGER),
    (b"autoCenterForce", _NUMBER_1),
    (b"steeringLimit", _NUMBER_1),
    (b"curveOnSteering", _INTEGER),
)


def _format_problem(content, fmt):
    if content is None:
        return "no file"
    if not content.endswith(b"\r\n"):
        return "does not end with CR LF"
    lines = content[:-2].split(b"\r\n")
    if len(lines) != len(fmt):
        return "%d lines, expected %d" % (len(lines), len(fmt))
    for line, (key, value) in zip(lines, fmt):
        if not re.fullmatch(re.escape(key) + rb"=" + value, line, re.S):
            return "line %r does not read %s=<%s>" % (line[:80], key.decode(), value.decode())
    return None


def settings_problem(content):
    """None when content is a whole settings file as the program writes it."""
    return _format_problem(content, SETTINGS_FORMAT)


def profile_problem(content):
    """None when content is a whole profile file as the program writes it."""
    return _format_problem(content, PROFILE_FORMAT)


def fields(content):
    """{key: value} of a file that passed its format check (bytes both)."""
    return dict(line.split(b"=", 1) for line in content[:-2].split(b"\r\n"))


# ---- Processes --------------------------------------------------------------

def read_cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read()
    except OSError:
        return b""


def tarvix_pid(run):
    """The Linux process running this run's tarvix.exe: Wine's loader becomes
    the program in the process it was started as."""
    exe = os.path.join(run.folder, "tarvix.exe").encode()
    e2e.wait_for(lambda: exe in read_cmdline(run.proc.pid), 10, "wine to load tarvix.exe")
    return run.proc.pid


def spawn(args, **options):
    """Starts a helper process that the runner ends by its PID when the check ends."""
    proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, **options)
    e2e._started.append(proc)
    return proc


def kill_hard(run):
    """SIGKILL to the tarvix.exe process this run started: no shutdown at all."""
    pid = tarvix_pid(run)
    os.kill(pid, signal.SIGKILL)
    e2e.wait_exit(run.proc, 10, "the killed program to go")


def rss_kib(pid):
    """VmRSS of a process in KiB, or None when it is gone."""
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


# ---- The stand-in's log, read in slices -------------------------------------

def tick_log(path):
    """A record of the output ticks (X-axis sends) read so far from the
    stand-in's log at path: count, first and last time, the longest gap
    between two ticks and how often the published X changed."""
    return types.SimpleNamespace(path=path, ticks=0, first=None, last=None, max_gap=0.0,
                                 x_changes=0, last_x=None)


def take_ticks(log, timeout=5):
    """Takes the stand-in's log away as a slice, so that a long run keeps at
    most one slice on disk, and adds its ticks to the record. The program is
    single-threaded and the stand-in opens the log for every call, so once a
    new log file exists every write to the renamed one has ended."""
    aside = log.path + ".slice"
    try:
        os.rename(log.path, aside)
    except FileNotFoundError:
        return
    e2e.wait_for(lambda: os.path.exists(log.path), timeout, "the stand-in's next log line")
    with open(aside, "rb") as f:
        content = f.read()
    os.remove(aside)
    for line in content.decode("latin-1").split("\n"):
        parts = line.split(" ")
        if len(parts) != 4 or not parts[2].startswith("SetAxis(") or \
                not parts[2].endswith(",1,%d)" % e2e.AXIS_X):
            continue
        t = int(parts[0]) / int(parts[1])
        x = int(parts[2][len("SetAxis("):].split(",")[0])
        if log.last is not None:
            log.max_gap = max(log.max_gap, t - log.last)
        if log.first is None:
            log.first = t
        if log.last_x is not None and x != log.last_x:
            log.x_changes += 1
        log.last_x = x
        log.last = t
        log.ticks += 1


def tick_rate(log):
    if log.first is None or log.last == log.first:
        return 0.0
    return (log.ticks - 1) / (log.last - log.first)


# ---- Tray --------------------------------------------------------------------

def tray_exit():
    """The tray menu's Exit, as tests/e2e does it, with soak-* screenshots."""
    x, y = e2e.tray_icon_point()
    e2e.click(x, y, 3)
    menu = e2e.wait_for(e2e._open_menu, 10, "the tray menu")
    mx, my, mw, mh = e2e.window_geometry(menu)
    e2e.click(mx + mw // 2, my + mh - 8)


def exit_through_tray(run, what):
    """Exit from the tray menu; the program must end with code 0."""
    tray_exit()
    code = e2e.wait_exit(run.proc, 20, "%s to end after Exit" % what)
    e2e.check(code == 0, "%s ended with %d after Exit, expected 0" % (what, code))


def wait_tray_empty(timeout=15):
    """Wine drops the icon of a killed program a little later; the checks that
    follow must find only the icon of the copy they start."""
    e2e.wait_for(lambda: not e2e.tray_icon_present(), timeout, "the tray to lose the old icon",
                 interval=0.2)


# ---- Files under the data folder ---------------------------------------------

def leftovers():
    """Every *.tmp under the data folder, relative to it."""
    found = []
    top = e2e.data_folder()
    for folder, _, names in os.walk(top):
        for name in names:
            if name.endswith(".tmp"):
                found.append(os.path.relpath(os.path.join(folder, name), top))
    return sorted(found)


def profile_files():
    """{name (bytes, without .txt): content} of every profile file."""
    folder = os.path.join(e2e.data_folder(), "Profiles").encode()
    found = {}
    try:
        names = os.listdir(folder)
    except FileNotFoundError:
        return found
    for name in names:
        if name.endswith(b".txt") and os.path.isfile(os.path.join(folder, name)):
            with open(os.path.join(folder, name), "rb") as f:
                found[name[:-4]] = f.read()
    return found


# ---- Running the checks -------------------------------------------------------

def run_checks(*checks):
    """tarvix_e2e.run_checks, with failure screenshots named soak-failed-*."""
    e2e.run_checks(*checks, failure_shot="soak-failed-")


# ---- The "Steering Sensitivity" slider (Controls tab, client coordinates) ------
# Nuklear's slider takes the row less its padding of 5 on each side; the knob
# is centred on value's place along that width.

SENSITIVITY_RANGE = (1.0, 120.0)
SLIDER_Y = e2e.body_row_middles([20, 32])[1]
SLIDER_LEFT = e2e.PAD + 5
SLIDER_WIDTH = e2e.CONTENT_WIDTH - 10


def knob_x(value):
    lo, hi = SENSITIVITY_RANGE
    value = min(max(value, lo), hi)
    return SLIDER_LEFT + SLIDER_WIDTH * (value - lo) / (hi - lo)


def drag_moves(run, start_x, sweeps, step=4, pause=0.008):
    """xdotool arguments that move the held pointer from start_x to the right
    end of the slider and back and forth, sweeps times, one step at a time."""
    left, right = SLIDER_LEFT + 4, SLIDER_LEFT + SLIDER_WIDTH - 4
    args = []
    x = start_x
    for sweep in range(sweeps):
        target = right if sweep % 2 == 0 else left
        while abs(target - x) > step:
            x += step if target > x else -step
            args += ["mousemove"] + [str(v) for v in e2e.to_screen(run, x, SLIDER_Y)]
            args += ["sleep", str(pause)]
    return args
