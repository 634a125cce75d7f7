"""The settings file while the program rewrites it in every frame of a slider
drag: another process reading it never sees a torn file, and killing the
program hard at any moment of such writes leaves files that the next start
reads and writes on from.

TARVIX_SOAK_SEED fixes the random kill moments (printed either way);
TARVIX_SOAK_KILLS sets the number of kill cycles (default 30).
"""

import json
import os
import random
import subprocess
import sys
import time

from soak_support import (drag_moves, e2e, exit_through_tray, fields, kill_hard, knob_x,
                          leftovers, profile_files, profile_problem, run_checks, settings_problem,
                          spawn, SLIDER_Y, wait_tray_empty)

KILL_CYCLES = int(os.environ.get("TARVIX_SOAK_KILLS", "30"))
SEED = int(os.environ.get("TARVIX_SOAK_SEED", str(int(time.time()) % 1000000)))
READS_MIN = 1000
# A profile that is not the active one: no step of these checks writes it.
RALLY_PROFILE = e2e.DEFAULT_PROFILE.replace(b"sensitivity=45.0", b"sensitivity=60.0")


def settings_inode():
    try:
        return os.stat(e2e.settings_path()).st_ino
    except FileNotFoundError:
        return None


def start_shown(name):
    run = e2e.start_tarvix(name)
    e2e.wait_main_window(run)
    e2e.wait_ticks(run, 1)
    return run


def hold_knob(run):
    """Presses the left button on the sensitivity knob; returns its x."""
    content = e2e.read_bytes(e2e.settings_path())
    e2e.check(settings_problem(content) is None, "settings.txt before the drag: %r" % content)
    x = knob_x(float(fields(content)[b"sensitivity"]))
    e2e.move_to(*e2e.to_screen(run, x, SLIDER_Y))
    e2e.xdo("mousedown", 1)
    return x


def drag(run, start_x, sweeps):
    return spawn(["xdotool"] + drag_moves(run, start_x, sweeps))


def release(dragger):
    e2e.end_process(dragger)
    e2e.xdo("mouseup", 1, check_result=False)


# ---- Reading while the program writes ----------------------------------------

def reader_main(path, stop_path):
    """Runs in a process of its own: reads path until stop_path exists, then
    prints what it saw as one JSON line."""
    reads = missing = bad_reads = 0
    valid = set()
    bad = {}
    deadline = time.monotonic() + 120
    while not os.path.exists(stop_path) and time.monotonic() < deadline:
        for _ in range(200):
            try:
                with open(path, "rb") as f:
                    content = f.read()
            except FileNotFoundError:
                missing += 1
                continue
            reads += 1
            if content in valid:
                continue
            problem = settings_problem(content)
            if problem is None:
                valid.add(content)
            else:
                bad_reads += 1
                if len(bad) < 5:
                    bad[repr(content[:120])] = problem
    print(json.dumps({"reads": reads, "missing": missing, "bad_reads": bad_reads,
                      "distinct": len(valid), "bad": bad}))


def reads_are_whole():
    e2e.clear_run_entry()
    e2e.reset_documents({"settings.txt": e2e.settings_text(startMin="0"),
                         "Profiles/Default.txt": e2e.DEFAULT_PROFILE,
                         "Profiles/Rally.txt": RALLY_PROFILE})
    run = start_shown("soak-torn")
    stop = os.path.join(run.folder, "reader-stop")
    reader = spawn([sys.executable, "-B", os.path.abspath(__file__), "--reader",
                    e2e.settings_path(), stop], stdout=subprocess.PIPE)
    x = hold_knob(run)
    began = time.monotonic()
    dragger = drag(run, x, sweeps=8)
    try:
        e2e.wait_exit(dragger, 60, "the drag to end")
    finally:
        release(dragger)
        open(stop, "w").close()
    out, _ = reader.communicate(timeout=30)
    seen = json.loads(out)
    e2e.note("drag of %.1f s: %d reads, %d distinct whole contents, %d torn or invalid, %d missing"
             % (time.monotonic() - began, seen["reads"], seen["distinct"], seen["bad_reads"],
                seen["missing"]))
    e2e.check(seen["bad_reads"] == 0, "reads saw torn or invalid files: %s" % seen["bad"])
    e2e.check(seen["missing"] == 0, "the file was missing for %d reads" % seen["missing"])
    e2e.check(seen["reads"] >= READS_MIN, "only %d reads" % seen["reads"])
    e2e.check(seen["distinct"] > 1, "the drag wrote nothing new (%d contents)" % seen["distinct"])
    e2e.grab("soak-torn-after-drag")

    exit_through_tray(run, "the program")
    content = e2e.read_bytes(e2e.settings_path())
    e2e.check(settings_problem(content) is None, "settings.txt after Exit: %r" % content)
    e2e.check(leftovers() == [], "files left behind: %s" % leftovers())
    e2e.check(e2e.read_bytes(e2e.profile_path("Rally")) == RALLY_PROFILE, "Rally.txt changed")


# ---- Killing the program while it writes --------------------------------------

def check_files_whole(cycle):
    content = e2e.read_bytes(e2e.settings_path())
    problem = settings_problem(content)
    e2e.check(problem is None, "cycle %d: settings.txt %s: %r" % (cycle, problem, content))
    for name, content in profile_files().items():
        problem = profile_problem(content)
        e2e.check(problem is None, "cycle %d: profile %r %s: %r" % (cycle, name, problem, content))
    e2e.check(e2e.read_bytes(e2e.profile_path("Rally")) == RALLY_PROFILE,
              "cycle %d: Rally.txt changed" % cycle)
    left = leftovers()
    e2e.check(set(left) <= {"settings.txt.tmp"}, "cycle %d: unexpected files %s" % (cycle, left))
    return left


def kills_leave_whole_files():
    rng = random.Random(SEED)
    e2e.note("seed %d (TARVIX_SOAK_SEED), %d kill cycles" % (SEED, KILL_CYCLES))
    e2e.clear_run_entry()
    e2e.reset_documents({"settings.txt": e2e.settings_text(startMin="0"),
                         "Profiles/Default.txt": e2e.DEFAULT_PROFILE,
                         "Profiles/Rally.txt": RALLY_PROFILE})
    tmp = e2e.settings_path() + ".tmp"
    stale_after = []
    at_tmp_hits = 0
    began = time.monotonic()
    for cycle in range(KILL_CYCLES):
        had_stale = os.path.exists(tmp)
        # The start itself must work with whatever the last kill left.
        run = start_shown("soak-kill")
        inode = settings_inode()
        dragger = drag(run, hold_knob(run), sweeps=4)
        try:
            # A save must get through, stale temporary file or not.
            e2e.wait_for(lambda: settings_inode() != inode, 10,
                         "cycle %d: a save during the drag%s"
                         % (cycle, " (a stale .tmp was there)" if had_stale else ""))
            if cycle % 2 == 0:
                # Some moment of the drag.
                time.sleep(rng.uniform(0.0, 0.4))
            else:
                # While a temporary file is being written or renamed.
                deadline = time.monotonic() + 2
                while not os.path.exists(tmp) and time.monotonic() < deadline:
                    pass
                at_tmp_hits += os.path.exists(tmp)
            kill_hard(run)
        finally:
            release(dragger)
        if check_files_whole(cycle):
            stale_after.append("%d (%d bytes)" % (cycle, os.path.getsize(tmp)))
    e2e.note("%d kills in %.1f s; %d of the kills aimed at a .tmp found one; a stale "
             "settings.txt.tmp was left after cycles %s"
             % (KILL_CYCLES, time.monotonic() - began, at_tmp_hits,
                ", ".join(stale_after) or "none"))

    # A clean run after the last kill: starts, saves, ends, and leaves nothing.
    wait_tray_empty()
    had_stale = os.path.exists(tmp)
    run = start_shown("soak-kill-final")
    inode = settings_inode()
    dragger = drag(run, hold_knob(run), sweeps=1)
    try:
        e2e.wait_for(lambda: settings_inode() != inode, 10, "a save after the last kill")
        e2e.wait_exit(dragger, 30, "the drag to end")
    finally:
        release(dragger)
    exit_through_tray(run, "the program after the kills")
    check_files_whole(KILL_CYCLES)
    e2e.check(leftovers() == [], "files left after a clean run: %s" % leftovers())
    e2e.note("after the last kill a stale .tmp was %s; the clean run removed it"
             % ("there" if had_stale else "not there"))


if __name__ == "__main__":
    if len(sys.argv) == 4 and sys.argv[1] == "--reader":
        reader_main(sys.argv[2], sys.argv[3])
    else:
        run_checks(reads_are_whole, kills_leave_whole_files)
