"""The global hotkeys: F4 toggles the mouse lock, Ctrl+R re-centres the wheel,
and a hotkey text edited in the Settings tab takes effect when the field is left.

Wine delivers a global hotkey only while one of its windows has the keyboard
focus, so Wine's notepad stands in for the game and is focused first; the
main window stays shown beside it so that its status line can be compared.
"""

from tarvix_e2e import (AXIS_X, check, clear_run_entry, click_client, column_center, focus_main,
                        focus_notepad, grab, key, log_calls, move_by, note, pointer, region,
                        reset_documents, run_checks, screen_size, settings_text, settings_value,
                        start_notepad, start_tarvix, tab_center, to_screen, type_text, wait_axes,
                        wait_call, wait_for, wait_main_window, wait_tab, wait_ticks)

SENSITIVITY = 25
# The "Mouse Lock: ..." status line of the Controls tab (client coordinates).
LOCK_LINE = (16, 598, 300, 18)
# Settings tab: the "Toggle Mouse Lock:" field inside its group, and a label
# that takes a click without acting on it.
LOCK_FIELD = (column_center(0, 2), 512)
HOTKEYS_LABEL = (400, 452)


def start_with_game(name):
    clear_run_entry()
    reset_documents({"settings.txt": settings_text(
        sensitivity="%d.0" % SENSITIVITY, responseCurve="1.00", smoothing="0",
        autoCenterForce="0.0", startMin="0", accelBrakeMode="0")})
    run = start_tarvix(name)
    wait_main_window(run)
    wait_ticks(run)
    notepad = start_notepad()
    focus_notepad(notepad)
    return run, notepad


def lock_line(run):
    x, y = to_screen(run, LOCK_LINE[0], LOCK_LINE[1])
    return region(grab(), x, y, LOCK_LINE[2], LOCK_LINE[3])


def park_point():
    width, height = screen_size()
    return width - 1, height // 2


def steer_off_centre(run):
    """Moves the wheel to a known place off centre (pointer over notepad)."""
    start = len(log_calls(run))
    key("ctrl+r")
    wait_call(run, "SetAxis", (16384, 1, AXIS_X), start)
    move_by(30, 0)
    wait_axes(run, (16384 + 30 * SENSITIVITY, None, None))


def lock_toggles_and_recentre():
    run, notepad = start_with_game("hotkeys-lock")
    unlocked_line = lock_line(run)

    # Ctrl+R: the wheel goes from where it stood straight to the centre, from
    # one output tick to the next.
    steer_off_centre(run)
    moved = len(log_calls(run))
    key("ctrl+r")
    centred = wait_call(run, "SetAxis", (16384, 1, AXIS_X), moved)
    sent = {c[2][0] for c in log_calls(run)[moved:centred]
            if c[1] == "SetAxis" and c[2][2] == AXIS_X}
    check(sent <= {16384 + 30 * SENSITIVITY},
          "wheel values sent between the move and the centre: %s" % sorted(sent))

    # F4 locks: the cursor is parked at the right edge, half screen height,
    # and the status line changes.
    key("F4")
    park = park_point()
    wait_for(lambda: pointer() == park, 5, "the cursor parked at %s" % (park,))
    wait_for(lambda: lock_line(run) != unlocked_line, 5, "the status line to change")
    grab("mouse-lock-active")

    # F4 again unlocks: the status line reads as before; the cursor stays put.
    key("F4")
    wait_for(lambda: lock_line(run) == unlocked_line, 5, "the status line to read unlocked again")
    check(pointer() == park, "the cursor moved on unlock: %s" % (pointer(),))
    note("status line changed with the lock and changed back")


def edited_hotkey_takes_effect():
    run, notepad = start_with_game("hotkeys-edit")
    unlocked_line = lock_line(run)

    # Settings tab, the lock field: select all, type F6, click elsewhere.
    focus_main(run)
    click_client(run, *tab_center(2))
    wait_tab(run, 2)
    click_client(run, *LOCK_FIELD)
    key("ctrl+a")
    type_text("F6")
    click_client(run, *HOTKEYS_LABEL)
    wait_for(lambda: settings_value("hotkeyLock") == "F6", 5, "hotkeyLock=F6 in settings.txt")
    check(settings_value("hotkeyRecenter") == "^R",
          "hotkeyRecenter changed to %r" % settings_value("hotkeyRecenter"))
    grab("hotkey-edited")
    click_client(run, *tab_center(0))

    # F4 no longer locks: after F4 and then Ctrl+R, the re-centre is seen
    # while the cursor has stayed where it was.
    focus_notepad(notepad)
    steer_off_centre(run)
    before = pointer()
    moved = len(log_calls(run))
    key("F4", "ctrl+r")
    wait_call(run, "SetAxis", (16384, 1, AXIS_X), moved)
    check(pointer() == before, "F4 still moved the cursor (to %s)" % (pointer(),))
    check(lock_line(run) == unlocked_line, "F4 still changed the lock status")

    # F6 now toggles the lock.
    key("F6")
    park = park_point()
    wait_for(lambda: pointer() == park, 5, "F6 to park the cursor at %s" % (park,))
    wait_for(lambda: lock_line(run) != unlocked_line, 5, "the status line to show the lock")
    key("F6")
    wait_for(lambda: lock_line(run) == unlocked_line, 5, "F6 to unlock")


if __name__ == "__main__":
    run_checks(lock_toggles_and_recentre, edited_hotkey_takes_effect)
