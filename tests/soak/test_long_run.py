"""A long run of the real program with its window shown: mouse motion at about
1000 reports a second the whole time, the lock hotkey toggled with the game
window focused, and the tabs clicked in turn. Throughout, the output ticks
never stop for long; the program's resident memory does not grow; at the end
the panel still draws right and the tray menu's Exit ends it with code 0.

TARVIX_SOAK_SECONDS sets the measured time (default 120). Run longer than the
ctest timeout allows straight through the wrapper, for example:
  TARVIX_SOAK_SECONDS=1800 bash tests/e2e/run-e2e.sh python3 tests/soak/test_long_run.py \\
      build/windows/bin build/windows/e2e-artifacts
"""

import os
import re
import statistics
import subprocess
import threading
import time
import types

from soak_support import (e2e, exit_through_tray, rss_kib, run_checks, spawn, take_ticks,
                          tarvix_pid, tick_log, tick_rate)

SECONDS = float(os.environ.get("TARVIX_SOAK_SECONDS", "120"))
MAX_TICK_GAP = 1.0          # seconds without an output tick
MAX_GROWTH_KIB = 2048       # resident memory, first window against last
CHUNK_MOVES = 5000          # one injector run: 5 s at 1000 moves a second
SLICE_SECONDS = 5

INJECTOR = os.path.abspath(os.path.join(e2e.BIN_DIR, "tarvix_mouse_injector.exe"))
# The "Mouse Lock: ..." line of the Controls tab (client x, y, width, height).
LOCK_LINE = (16, 598, 300, 18)
LIGHT = {"background": (255, 255, 255), "other_tab": (244, 244, 245)}
BACKGROUND_SPOTS = ((4, 300), (e2e.CLIENT_WIDTH - 5, 8), (8, e2e.CLIENT_HEIGHT - 5),
                    (e2e.CLIENT_WIDTH - 5, e2e.CLIENT_HEIGHT - 5))


def start_motion(folder):
    """Moves of one count, alternating left and right, 1000 a second, from
    the bench's injector run again and again on a thread of its own. Single
    counts stay below Wine's pointer acceleration thresholds, so the cursor
    only jitters in place. Returns the record the thread fills."""
    motion = types.SimpleNamespace(stop=threading.Event(), rates=[], error=None)

    def run():
        chunk = 0
        try:
            while not motion.stop.is_set():
                log = os.path.join(folder, "moves.txt")
                proc = spawn(["wine", INJECTOR, "move", str(CHUNK_MOVES), "1000", "1000", "1",
                              "0", "1", str(chunk), "Z:" + log], cwd=folder,
                             stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
                out = proc.communicate(timeout=60)[0].decode("latin-1")
                if os.path.exists(log):
                    os.remove(log)
                if motion.stop.is_set() and proc.returncode != 0:
                    break  # ended by the runner
                m = re.search(r"refused=(\d+) seconds=\S+ rate=(\S+)", out)
                if proc.returncode != 0 or not m:
                    raise AssertionError("injector run %d failed (%d): %s"
                                         % (chunk, proc.returncode, out.strip()))
                motion.rates.append(float(m.group(2)))
                chunk += 1
        except Exception as error:  # reported by the check's thread
            motion.error = error

    motion.thread = threading.Thread(target=run, daemon=True)
    motion.thread.start()
    return motion


def finish_motion(motion):
    motion.stop.set()
    motion.thread.join(30)
    e2e.check(not motion.thread.is_alive(), "the injector did not end")
    if motion.error:
        raise motion.error


def start_memory(pid):
    """VmRSS of one process, sampled every second on a thread of its own."""
    memory = types.SimpleNamespace(stop=threading.Event(), samples=[])

    def run():
        while not memory.stop.wait(1.0):
            kib = rss_kib(pid)
            if kib is not None:
                memory.samples.append((time.monotonic(), kib))

    memory.thread = threading.Thread(target=run, daemon=True)
    memory.thread.start()
    return memory


def memory_window(memory, since, until):
    return [kib for t, kib in memory.samples if since <= t <= until]


# Under Wine an injected relative move is applied to where Wine last saw the
# cursor, so one that races an xdotool jump can put the pointer back where it
# was. Pointer jumps are therefore repeated until the pointer stays, and a
# click holds the button for a while, as a hand does (a press and release in
# the same frame would be one Nuklear does not see as a click).

def move_steady(x, y, tolerance=6):
    def there():
        e2e.xdo("mousemove", x, y, "sleep", "0.05")
        px, py = e2e.pointer()
        return abs(px - x) <= tolerance and abs(py - y) <= tolerance
    e2e.wait_for(there, 5, "the pointer to stay at (%d, %d)" % (x, y), interval=0)


def click_steady(x, y):
    move_steady(x, y)
    e2e.xdo("mousedown", 1, "sleep", "0.3", "mouseup", 1)


def rest_pointer(run):
    move_steady(*e2e.to_screen(run, *e2e.QUIET_SPOT))


def focus(wid, x, y):
    click_steady(x, y)
    e2e.xdo("windowfocus", "--sync", wid)


def lock_line(run):
    x, y = e2e.to_screen(run, LOCK_LINE[0], LOCK_LINE[1])
    return e2e.region(e2e.grab(), x, y, LOCK_LINE[2], LOCK_LINE[3])


def toggle_lock(run, notepad, unlocked):
    """F4 twice over the focused game window: the status line shows the lock,
    then reads as before."""
    x, y, w, h = e2e.window_geometry(notepad.window)
    focus(notepad.window, x + w // 2, y + h // 2)
    e2e.key("F4")
    e2e.wait_for(lambda: lock_line(run) != unlocked, 5, "F4 to show the lock", interval=0.05)
    e2e.key("F4")
    e2e.wait_for(lambda: lock_line(run) == unlocked, 5, "F4 to end the lock", interval=0.05)


clicks = {"made": 0, "repeated": 0}


def show_tab(run, index):
    """Clicks a tab until it shows as the current one. Under the injected
    motion a press now and then goes unseen (a few in a hundred here, with no
    stall of the program's loop; Wine's own menus opened on every press under
    the same motion), so a click is repeated up to twice, and counted."""
    # The first click on an inactive window only activates it.
    focus(run.window, *e2e.to_screen(run, *e2e.QUIET_SPOT))
    for attempt in range(3):
        clicks["made"] += 1
        clicks["repeated"] += attempt > 0
        click_steady(*e2e.to_screen(run, *e2e.tab_center(index)))
        rest_pointer(run)
        try:
            e2e.wait_screen(lambda image: e2e.tab_colour(run, image, index) == e2e.ACCENT, 3,
                            "tab %d to show as the current one" % index)
            return
        except AssertionError:
            if attempt == 2:
                raise


def panel_problems(run, image):
    wrong = []
    for spot in BACKGROUND_SPOTS:
        seen = e2e.client_pixel(run, image, *spot)
        if seen != LIGHT["background"]:
            wrong.append("background at %s is %s" % (spot, seen))
    for index in range(3):
        expected = e2e.ACCENT if index == 0 else LIGHT["other_tab"]
        seen = e2e.tab_colour(run, image, index)
        if seen != expected:
            wrong.append("tab %d is %s, expected %s" % (index, seen, expected))
    return wrong


def long_run_stays_healthy():
    e2e.set_theme_preference(light=True)
    e2e.clear_run_entry()
    seeded = e2e.settings_text(startMin="0")
    e2e.reset_documents({"settings.txt": seeded})
    run = e2e.start_tarvix("soak-long")
    e2e.wait_main_window(run)
    e2e.wait_ticks(run)
    pid = tarvix_pid(run)
    notepad = e2e.start_notepad()
    e2e.move_to(*e2e.to_screen(run, *e2e.QUIET_SPOT))
    unlocked = lock_line(run)
    ticks = tick_log(run.log)
    motion = start_motion(run.folder)
    memory = start_memory(pid)
    actions = [("lock", lambda: toggle_lock(run, notepad, unlocked))]
    actions += [("tab %d" % i, lambda i=i: show_tab(run, i)) for i in (1, 2, 0)]
    try:
        # Warm-up: every action once, so the first window measures a program
        # that has drawn every tab and handled every kind of input.
        for _, action in actions:
            action()
        take_ticks(ticks)
        began = time.monotonic()
        rounds = 0
        last_slice = began
        while time.monotonic() - began < SECONDS:
            name, action = actions[rounds % len(actions)]
            try:
                action()
            except AssertionError as error:
                raise AssertionError("round %d (%s) after %.0f s: %s"
                                     % (rounds, name, time.monotonic() - began, error))
            e2e.check(e2e.alive(run.proc), "the program ended during the run")
            if motion.error:
                raise motion.error
            rounds += 1
            if time.monotonic() - last_slice >= SLICE_SECONDS:
                take_ticks(ticks)
                last_slice = time.monotonic()
        ended = time.monotonic()
        finish_motion(motion)
        take_ticks(ticks)
    finally:
        motion.stop.set()
        memory.stop.set()

    window = min(60.0, SECONDS / 3)
    first = memory_window(memory, began, began + window)
    last = memory_window(memory, ended - window, ended)
    e2e.check(first and last, "no memory samples")
    growth = statistics.median(last) - statistics.median(first)
    e2e.note("%.0f s, %d action rounds; injector %d runs at %.0f..%.0f moves/s; "
             "%d ticks at %.1f/s, longest gap %.0f ms; X changed %d times"
             % (ended - began, rounds, len(motion.rates), min(motion.rates), max(motion.rates),
                ticks.ticks, tick_rate(ticks), ticks.max_gap * 1000, ticks.x_changes))
    e2e.note("%d tab clicks, %d of them repeats of a click that went unseen"
             % (clicks["made"], clicks["repeated"]))
    e2e.note("VmRSS KiB: first %.0f s median %d (%d..%d), last %.0f s median %d (%d..%d), "
             "growth %+d" % (window, statistics.median(first), min(first), max(first), window,
                             statistics.median(last), min(last), max(last), growth))
    e2e.check(ticks.max_gap <= MAX_TICK_GAP,
              "the output ticks stopped for %.2f s" % ticks.max_gap)
    e2e.check(ticks.x_changes >= 100, "the motion barely reached the wheel (%d changes of X)"
              % ticks.x_changes)
    e2e.check(growth < MAX_GROWTH_KIB, "resident memory grew by %d KiB" % growth)

    # The panel still draws right: light background, Controls the current tab.
    show_tab(run, 0)
    problems = []

    def right(image):
        problems[:] = panel_problems(run, image)
        return not problems
    try:
        image = e2e.wait_screen(right, 5, "the panel to draw right")
    except AssertionError:
        e2e.grab("soak-long-end")
        raise AssertionError("the panel after the run: %s" % "; ".join(problems))
    e2e.keep(image, "soak-long-end")

    exit_through_tray(run, "the program")
    e2e.check(e2e.read_bytes(e2e.settings_path()) == seeded,
              "settings.txt after Exit is %r" % e2e.read_bytes(e2e.settings_path()))


if __name__ == "__main__":
    run_checks(long_run_stays_healthy)
