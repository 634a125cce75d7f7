"""Shared helpers of the end-to-end tests: the real tarvix.exe under Wine,
driven only from outside (xdotool, files, the vJoy stand-in's log and state
file, exit codes, screenshots).

run-e2e.sh prepares the Wine session and exports:
  TARVIX_E2E_BIN        build/windows/bin (tarvix.exe, standin/vJoyInterface.dll)
  TARVIX_E2E_ARTIFACTS  folder for screenshots kept after the run
  TARVIX_WINE_DIR, HOME, WINEPREFIX, DISPLAY   the session (tests/wine-env.sh)

Every process a check starts is recorded and ended by its PID when the check
ends, passed or failed. Nothing here waits a fixed time for a result: waits
poll for a file, a log line, a window or an exit, with a timeout.
"""

import os
import re
import shutil
import signal
import subprocess
import sys
import time
import traceback
import types

BIN_DIR = os.environ.get("TARVIX_E2E_BIN", "")
ARTIFACTS = os.environ.get("TARVIX_E2E_ARTIFACTS", "")
WINE_DIR = os.environ.get("TARVIX_WINE_DIR", "")
HOME = os.environ.get("HOME", "")

MAIN_TITLE = r"^Tarvix v0\.5\.6$"
CLIENT_WIDTH = 520
CLIENT_HEIGHT = 640
ACCENT = (37, 99, 235)  # the current tab, in both themes

# Usage of axis X (the wheel) in the stand-in's log.
AXIS_X = 48

# The program's files holding the defaults, byte for byte.
DEFAULT_SETTINGS = (
    b"sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    b"steeringLimit=100.0\r\nstartMin=1\r\nstartWithWindows=0\r\naccelBrakeMode=1\r\n"
    b"hotkeyLock=F4\r\nhotkeyRecenter=^R\r\nprofile=Default\r\n")
DEFAULT_PROFILE = (
    b"sensitivity=45.0\r\nresponseCurve=1.50\r\nsmoothing=2\r\nautoCenterForce=5.0\r\n"
    b"steeringLimit=100.0\r\ncurveOnSteering=1\r\n")

# The program drops a raw-input report that comes less than 8 ms after the one
# it took before; moves are spaced further apart than that.
MOVE_SPACING = 0.03

_started = []
_cleanups = []


def check(condition, message):
    if not condition:
        raise AssertionError(message)


def note(text):
    print("  " + text, flush=True)


# ---- Settings files ----------------------------------------------------------

def settings_text(**values):
    """The settings file as the program writes it, with some values replaced."""
    lines = DEFAULT_SETTINGS.decode().split("\r\n")[:-1]
    fields = [line.split("=", 1) for line in lines]
    unknown = set(values) - {k for k, _ in fields}
    if unknown:
        raise ValueError("unknown settings keys: %s" % sorted(unknown))
    return "".join("%s=%s\r\n" % (k, values.get(k, v)) for k, v in fields).encode()


def data_folder():
    return os.path.join(HOME, "Documents", "Tarvix")


def settings_path():
    return os.path.join(data_folder(), "settings.txt")


def profile_path(name):
    return os.path.join(data_folder(), "Profiles", name + ".txt")


def reset_documents(files=None):
    """Empties Documents/Tarvix; with files ({relative path: bytes}) seeds it.
    What the folder held before the check is put back when the check ends."""
    if not any(step.__name__ == "_restore_documents" for step in _cleanups):
        _cleanups.append(_keep_documents())
    shutil.rmtree(data_folder(), ignore_errors=True)
    if files is None:
        return
    os.makedirs(os.path.join(data_folder(), "Profiles"), exist_ok=True)
    for relative, content in files.items():
        path = os.path.join(data_folder(), relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(content)


def _keep_documents():
    kept = os.path.join(WINE_DIR, "e2e", "documents-before")
    shutil.rmtree(kept, ignore_errors=True)
    had = os.path.isdir(data_folder())
    if had:
        shutil.copytree(data_folder(), kept, symlinks=True)

    def _restore_documents():
        shutil.rmtree(data_folder(), ignore_errors=True)
        if had:
            shutil.move(kept, data_folder())
    return _restore_documents


def read_bytes(path):
    try:
        with open(path, "rb") as f:
            return f.read()
    except OSError:
        return None


def settings_value(key):
    content = read_bytes(settings_path())
    if content is None:
        return None
    for line in content.decode("latin-1").splitlines():
        name, sep, value = line.partition("=")
        if sep and name == key:
            return value
    return None


# ---- Waiting -----------------------------------------------------------------

def wait_for(predicate, timeout, what, interval=0.02):
    """Polls predicate until it returns something true; returns that value."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))
        time.sleep(interval)


# ---- Processes ---------------------------------------------------------------

def _spawn(args, cwd, env, log_name):
    out = open(os.path.join(cwd, log_name), "ab")
    proc = subprocess.Popen(args, cwd=cwd, env=env, stdout=out, stderr=subprocess.STDOUT,
                            stdin=subprocess.DEVNULL)
    out.close()
    _started.append(proc)
    return proc


def start_tarvix(name, with_vjoy=True):
    """Copies tarvix.exe (and the vJoy stand-in) into a folder of its own and
    starts it. Returns a record with proc, folder, log, state and start time."""
    folder = os.path.join(WINE_DIR, "e2e", name)
    shutil.rmtree(folder, ignore_errors=True)
    os.makedirs(folder)
    shutil.copy2(os.path.join(BIN_DIR, "tarvix.exe"), folder)
    if with_vjoy:
        shutil.copy2(os.path.join(BIN_DIR, "standin", "vJoyInterface.dll"), folder)
    env = dict(os.environ)
    env.pop("WINEPATH", None)  # only the copy beside the exe may be found
    log = os.path.join(folder, "vjoy-log.txt")
    state = os.path.join(folder, "vjoy-state.txt")
    env["TARVIX_STANDIN_LOG"] = log
    env["TARVIX_STANDIN_STATE"] = state
    env.pop("TARVIX_STANDIN_MODE", None)  # a free, enabled device 1
    started = time.monotonic()
    proc = _spawn(["wine", os.path.join(folder, "tarvix.exe")], folder, env, "wine-output.txt")
    return types.SimpleNamespace(proc=proc, folder=folder, log=log, state=state,
                                 started=started, window=None)


def start_notepad():
    """Wine's notepad as the stand-in game: a Wine window that holds the keyboard
    focus (global hotkeys reach the program only then) and under which pointer
    motion reaches Wine at all. Placed at the right, clear of the main window."""
    folder = os.path.join(WINE_DIR, "e2e")
    os.makedirs(folder, exist_ok=True)
    before = set(find_windows(r"Notepad$", visible=True))
    # By its file, so that Wine runs it in the process we start (by name it
    # would come up through start.exe, in a process of its own).
    exe = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "notepad.exe")
    proc = _spawn(["wine", exe], folder, dict(os.environ), "notepad-output.txt")
    wid = wait_for(lambda: [w for w in find_windows(r"Notepad$", visible=True) if w not in before],
                   30, "the notepad window")[0]
    xdo("windowsize", wid, 560, 600)
    xdo("windowmove", wid, 640, 200)
    wait_for(lambda: window_geometry(wid)[:2] == (640, 200), 10, "notepad to move")
    return types.SimpleNamespace(proc=proc, window=wid)


def focus_window(wid, x, y):
    """Clicks the window at screen point (x, y), which activates it in Wine, and
    gives it the X keyboard focus. Without a window manager the X focus is
    otherwise PointerRoot: keys would go to whatever lies under the pointer,
    and nothing once the mouse lock parks the pointer over the bare root."""
    click(x, y)
    xdo("windowfocus", "--sync", wid)


def focus_notepad(notepad):
    x, y, w, h = window_geometry(notepad.window)
    focus_window(notepad.window, x + w // 2, y + h // 2)


def focus_main(run):
    focus_window(run.window, *to_screen(run, *QUIET_SPOT))


def alive(proc):
    return proc.poll() is None


def wait_exit(proc, timeout, what="the program to end"):
    try:
        return proc.wait(timeout=timeout)
    except subprocess.TimeoutExpired:
        raise AssertionError("timed out after %.1f s waiting for %s" % (timeout, what))


def end_process(proc):
    """Ends one process this run started, by its PID."""
    if proc.poll() is None:
        try:
            os.kill(proc.pid, signal.SIGKILL)
        except ProcessLookupError:
            pass
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            pass


def end_all():
    while _started:
        end_process(_started.pop())


# ---- The stand-in's log and state ----------------------------------------------

_LOG_LINE = re.compile(r"^(\d+) (\d+) (\w+)\(([^)]*)\) (\S+)$")


def log_calls(run):
    """[(seconds, function, (args...), result)] of every complete log line."""
    content = read_bytes(run.log)
    if not content:
        return []
    calls = []
    for line in content.decode("latin-1").split("\n"):
        m = _LOG_LINE.match(line.strip())
        if not m:
            continue
        args = tuple(int(a) for a in m.group(4).split(",")) if m.group(4) else ()
        calls.append((int(m.group(1)) / int(m.group(2)), m.group(3), args, m.group(5)))
    return calls


def find_call(calls, function, args=None, start=0):
    for i in range(start, len(calls)):
        if calls[i][1] == function and (args is None or calls[i][2] == args):
            return i
    return -1


def wait_call(run, function, args=None, start=0, timeout=10):
    """Waits for a call at or after index start; returns its index."""
    def found():
        i = find_call(log_calls(run), function, args, start)
        return i + 1 if i >= 0 else 0
    what = "%s%s in the vJoy log" % (function, args if args is not None else "")
    return wait_for(found, timeout, what) - 1


def wait_ticks(run, count=3, timeout=30):
    """Waits until the program has published count output ticks (X axis sends)."""
    def enough():
        sends = [c for c in log_calls(run) if c[1] == "SetAxis" and c[2][1:] == (1, AXIS_X)]
        return len(sends) >= count
    wait_for(enough, timeout, "%d output ticks in the vJoy log" % count)


def read_state(run):
    """The stand-in's state file as a dict of strings, or None while unreadable."""
    content = read_bytes(run.state)
    if not content:
        return None
    fields = dict(part.split("=", 1) for part in content.decode().split() if "=" in part)
    if "buttons" not in fields:
        return None  # caught mid-write
    return fields


def axes(run):
    s = read_state(run)
    if s is None:
        return None
    return int(s["X"]), int(s["Y"]), int(s["Z"])


def wait_axes(run, expected, timeout=5):
    """Waits until the published (X, Y, Z) equal expected (None = any)."""
    seen = []

    def matches():
        a = axes(run)
        seen[:] = [a]
        return a is not None and all(e is None or e == v for e, v in zip(expected, a))
    try:
        wait_for(matches, timeout, "axes %s" % (expected,))
    except AssertionError:
        raise AssertionError("axes (X, Y, Z) are %s, expected %s"
                             % (seen[0] if seen else None, expected))


# ---- X11: windows, pointer, keys, screenshots --------------------------------

def xdo(*args, check_result=True):
    result = subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True,
                            timeout=20)
    if check_result and result.returncode != 0:
        raise AssertionError("xdotool %s failed: %s"
                             % (" ".join(map(str, args)), result.stderr.strip()))
    return result.stdout


def find_windows(name, visible=True):
    args = ["search"] + (["--onlyvisible"] if visible else []) + ["--name", name]
    out = xdo(*args, check_result=False)
    return [int(w) for w in out.split()]


def window_geometry(wid):
    out = xdo("getwindowgeometry", "--shell", wid)
    v = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(v["X"]), int(v["Y"]), int(v["WIDTH"]), int(v["HEIGHT"])


def wait_main_window(run, timeout=30):
    """Waits for the shown main window; stores its id and client origin."""
    wid = wait_for(lambda: find_windows(MAIN_TITLE, visible=True), timeout, "the main window")[0]
    x, y, w, h = window_geometry(wid)
    check((w, h) == (CLIENT_WIDTH, CLIENT_HEIGHT),
          "main window is %dx%d, expected %dx%d" % (w, h, CLIENT_WIDTH, CLIENT_HEIGHT))
    run.window = wid
    run.origin = (x, y)
    return wid


def main_window_shown():
    return bool(find_windows(MAIN_TITLE, visible=True))


def main_window_exists():
    return bool(find_windows(MAIN_TITLE, visible=False))


def to_screen(run, cx, cy):
    return run.origin[0] + int(round(cx)), run.origin[1] + int(round(cy))


def pointer():
    out = xdo("getmouselocation", "--shell")
    v = dict(line.split("=", 1) for line in out.split() if "=" in line)
    return int(v["X"]), int(v["Y"])


def move_to(x, y):
    xdo("mousemove", x, y)
    time.sleep(MOVE_SPACING)


def move_by(dx, dy):
    """One relative move: one raw-input report. The pause before it keeps it
    clear of the program's 8 ms gate behind the report before, which a caller
    that waits for each move's effect has seen handled."""
    time.sleep(MOVE_SPACING)
    xdo("mousemove_relative", "--", dx, dy)


def click(x, y, button=1):
    # The pause lets the program see the pointer over the widget before the press.
    xdo("mousemove", x, y, "sleep", "0.05", "click", button)
    time.sleep(MOVE_SPACING)


def click_client(run, cx, cy, button=1):
    """Clicks a point of the panel, then rests the pointer on a quiet spot so
    that no hover look hides the colours a check reads."""
    x, y = to_screen(run, cx, cy)
    click(x, y, button)
    move_to(*to_screen(run, *QUIET_SPOT))


def key(*keys):
    xdo("key", "--delay", "40", *keys)


def type_text(text):
    xdo("type", "--delay", "40", text)


def screen_size():
    out = subprocess.run(["xdpyinfo"], capture_output=True, text=True, timeout=20).stdout
    m = re.search(r"dimensions:\s+(\d+)x(\d+)", out)
    return int(m.group(1)), int(m.group(2))


def grab(name=None):
    """Screenshot of the whole screen as an image record; kept as
    ARTIFACTS/name.png when a name is given."""
    ppm = subprocess.run(["import", "-window", "root", "-depth", "8", "ppm:-"],
                         capture_output=True, timeout=30, check=True).stdout
    image = _parse_ppm(ppm)
    if name:
        keep(image, name)
    return image


def keep(image, name):
    """Writes a screenshot to ARTIFACTS/name.png."""
    if not ARTIFACTS:
        return
    os.makedirs(ARTIFACTS, exist_ok=True)
    ppm = b"P6\n%d %d\n255\n" % (image.width, image.height) + image.pixels
    subprocess.run(["convert", "ppm:-", os.path.join(ARTIFACTS, name + ".png")], input=ppm,
                   timeout=30, check=True)


def wait_screen(test, timeout, what):
    """Takes screenshots until test(image) holds; returns that image."""
    def shot():
        image = grab()
        return image if test(image) else None
    return wait_for(shot, timeout, what, interval=0.1)


def _parse_ppm(data):
    tokens = []
    pos = 0
    while len(tokens) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b"#":
            pos = data.index(b"\n", pos) + 1
            continue
        start = pos
        while not data[pos:pos + 1].isspace():
            pos += 1
        tokens.append(data[start:pos])
    pos += 1
    if tokens[0] != b"P6" or int(tokens[3]) != 255:
        raise AssertionError("unexpected screenshot format %r" % tokens)
    width, height = int(tokens[1]), int(tokens[2])
    return types.SimpleNamespace(width=width, height=height,
                                 pixels=data[pos:pos + width * height * 3])


def pixel(image, x, y):
    i = (y * image.width + x) * 3
    return tuple(image.pixels[i:i + 3])


def client_pixel(run, image, cx, cy):
    x, y = to_screen(run, cx, cy)
    return pixel(image, x, y)


def region(image, x, y, w, h):
    """The raw bytes of a rectangle, to compare two screenshots."""
    rows = []
    for row in range(y, y + h):
        i = (row * image.width + x) * 3
        rows.append(image.pixels[i:i + w * 3])
    return b"".join(rows)


# ---- Panel geometry (client coordinates) --------------------------------------
# Window padding 16 and spacing 8; a dynamic row of n columns splits the 488
# pixels between the paddings with 8 between columns.

PAD = 16
SPACING = 8
CONTENT_WIDTH = CLIENT_WIDTH - 2 * PAD


def column_center(index, columns):
    width = (CONTENT_WIDTH - (columns - 1) * SPACING) / columns
    return PAD + index * (width + SPACING) + width / 2


TAB_Y = PAD + 20                              # middle of the 40-pixel tab bar
BODY_TOP = PAD + 40 + SPACING + 12 + SPACING  # below the tab bar and the 12 spacer


def body_row_middles(heights):
    """Middle of each row of a tab's body, rows (spacers included) given by height."""
    middles = []
    y = BODY_TOP
    for h in heights:
        middles.append(y + h / 2)
        y += h + SPACING
    return middles


def tab_center(index):
    return column_center(index, 3), TAB_Y


def tab_colour(run, image, index):
    # Near the button's left edge, clear of its centred text.
    return client_pixel(run, image, column_center(index, 3) - 60, TAB_Y)


def wait_tab(run, index):
    """Waits until the panel shows tab index as the current one (accent blue)."""
    return wait_screen(lambda image: tab_colour(run, image, index) == ACCENT, 5,
                       "tab %d to show as the current one" % index)


# A spot on the Controls tab where nothing reacts: right of the last status line.
QUIET_SPOT = (470, 628)


# ---- Tray --------------------------------------------------------------------
# Wine shows tray icons in a window of its own ("Wine System Tray"), one slot
# of 20 pixels per icon; a click there arrives as the program's tray callback.

TRAY_TITLE = "^Wine System Tray$"


def _tray_icon(image=None):
    """Screen point of the Tarvix icon, the first tray slot holding its blue;
    None when the tray shows no such icon."""
    trays = find_windows(TRAY_TITLE, visible=True)
    if not trays:
        return None
    x, y, w, h = window_geometry(trays[0])
    image = image or grab()
    for slot in range(0, w, 20):
        for dx in range(2, 18):
            r, g, b = pixel(image, x + slot + dx, y + h // 2)
            if b > 180 and r < 120:
                return x + slot + 10, y + h // 2
    return None


def tray_icon_point():
    """The tray window shares its corner with the main window: raise it first."""
    trays = wait_for(lambda: find_windows(TRAY_TITLE, visible=True), 20, "Wine's tray window")
    xdo("windowraise", trays[0])
    return wait_for(_tray_icon, 10, "the Tarvix icon in the tray", interval=0.2)


def tray_icon_present():
    trays = find_windows(TRAY_TITLE, visible=True)
    if trays:
        xdo("windowraise", trays[0], check_result=False)
    return _tray_icon() is not None


def tray_menu_exit():
    """Right-click on the icon opens the menu; a click on its last entry, Exit.
    (Keys would go to whichever window holds the X focus, not to the menu.)"""
    x, y = tray_icon_point()
    click(x, y, 3)
    menu = wait_for(_open_menu, 10, "the tray menu")
    mx, my, mw, mh = window_geometry(menu)
    grab("tray-menu")
    click(mx + mw // 2, my + mh - 8)


def _open_menu():
    # The popup menu is a shown top-level X window of tarvix.exe without a name.
    found = xdo("search", "--onlyvisible", "--classname", "^tarvix\\.exe$", check_result=False)
    for wid in found.split():
        name = xdo("getwindowname", wid, check_result=False).strip()
        if not name and window_geometry(wid)[2] > 1:
            return int(wid)
    return None


def tray_double_click():
    x, y = tray_icon_point()
    xdo("mousemove", x, y, "sleep", "0.05", "click", "--repeat", "2", "--delay", "80", 1)


# ---- Message boxes -------------------------------------------------------------

def answer_message_box(caption, timeout=30):
    """Waits for the box with that caption and answers it with Return (OK)."""
    wid = wait_for(lambda: find_windows("^%s$" % re.escape(caption), visible=True), timeout,
                   "the message box \"%s\"" % caption)[0]
    grab("box-" + caption.lower().replace(" ", "-"))
    xdo("windowfocus", "--sync", wid)
    key("Return")
    return wid


# ---- Registry ------------------------------------------------------------------

PERSONALIZE_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Themes\Personalize"
RUN_KEY = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Run"


def wine_reg(*args):
    return subprocess.run(["wine", "reg"] + list(args), capture_output=True, timeout=60,
                          stdin=subprocess.DEVNULL).returncode


def _reg_dword(key, name):
    out = subprocess.run(["wine", "reg", "query", key, "/v", name], capture_output=True, text=True,
                         timeout=60, stdin=subprocess.DEVNULL).stdout
    m = re.search(r"%s\s+REG_DWORD\s+0x([0-9a-fA-F]+)" % name, out)
    return int(m.group(1), 16) if m else None


def set_theme_preference(light):
    """Sets the system's app mode (AppsUseLightTheme 1 light, 0 dark); what was
    there before is put back when the check ends. A key left behind without the
    value would read as dark, so a key that was missing is removed again."""
    key_existed = wine_reg("query", PERSONALIZE_KEY) == 0
    old = _reg_dword(PERSONALIZE_KEY, "AppsUseLightTheme") if key_existed else None

    def restore():
        if not key_existed:
            wine_reg("delete", PERSONALIZE_KEY, "/f")
        elif old is None:
            wine_reg("delete", PERSONALIZE_KEY, "/v", "AppsUseLightTheme", "/f")
        else:
            wine_reg("add", PERSONALIZE_KEY, "/v", "AppsUseLightTheme", "/t", "REG_DWORD",
                     "/d", str(old), "/f")
    _cleanups.append(restore)
    code = wine_reg("add", PERSONALIZE_KEY, "/v", "AppsUseLightTheme", "/t", "REG_DWORD",
                    "/d", "1" if light else "0", "/f")
    check(code == 0, "wine reg add failed with %d" % code)


def clear_run_entry():
    """No launch-at-startup entry, so the defaults hold startWithWindows=0."""
    wine_reg("delete", RUN_KEY, "/v", "Tarvix", "/f")


# ---- Running the checks ---------------------------------------------------------

def _check_environment():
    missing = [n for n, v in (("TARVIX_E2E_BIN", BIN_DIR), ("TARVIX_WINE_DIR", WINE_DIR),
                              ("HOME", HOME), ("WINEPREFIX", os.environ.get("WINEPREFIX")))
               if not v]
    if missing:
        sys.exit("tarvix e2e: %s not set; run through tests/e2e/run-e2e.sh" % ", ".join(missing))
    if not os.path.isfile(os.path.join(BIN_DIR, "tarvix.exe")):
        sys.exit("tarvix e2e: %s/tarvix.exe not built" % BIN_DIR)


def _restore_desktop():
    """Leaves the desktop tidy for the tests that follow, while our windows are
    still there. Wine keeps the cursor where it last saw the pointer over one
    of its windows, and Windows tests that inject relative moves start from
    there: the pointer leaves through the bottom-right corner of a shown window
    of ours, away from where test windows appear, then rests in the middle of
    the screen with the keyboard focus back at PointerRoot (X's window 1), as
    on a fresh display."""
    shown = find_windows(MAIN_TITLE, visible=True) or find_windows(r"Notepad$", visible=True)
    if shown:
        x, y, w, h = window_geometry(shown[0])
        move_to(x + w - 10, y + h - 10)
    xdo("windowfocus", "1", check_result=False)
    width, height = screen_size()
    xdo("mousemove", width // 2, height // 2, check_result=False)


def _undo_changes():
    """Runs the registered undo steps, newest first; False if one failed."""
    ok = True
    while _cleanups:
        try:
            _cleanups.pop()()
        except Exception:  # the other steps must still run
            traceback.print_exc(file=sys.stdout)
            ok = False
    return ok


def run_checks(*checks, failure_shot="failed-"):
    """Runs each check, ends every process it started, prints a summary line per
    check and exits non-zero when any failed. A failed check leaves a screenshot
    named failure_shot + its name."""
    _check_environment()
    # A timeout's SIGTERM still ends the started processes (finally below).
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(128 + signal.SIGTERM))
    failed = []
    for fn in checks:
        began = time.monotonic()
        print("RUN  %s" % fn.__name__, flush=True)
        try:
            fn()
            print("PASS %s (%.1f s)" % (fn.__name__, time.monotonic() - began), flush=True)
        except Exception:  # a failed check must not stop the others
            failed.append(fn.__name__)
            traceback.print_exc(file=sys.stdout)
            try:
                grab(failure_shot + fn.__name__)
            except Exception:  # the report matters more than the picture
                pass
            print("FAIL %s (%.1f s)" % (fn.__name__, time.monotonic() - began), flush=True)
        finally:
            try:
                _restore_desktop()
            finally:
                end_all()
            if not _undo_changes() and fn.__name__ not in failed:
                failed.append(fn.__name__)
    print("%d of %d checks passed" % (len(checks) - len(failed), len(checks)), flush=True)
    sys.exit(1 if failed else 0)
