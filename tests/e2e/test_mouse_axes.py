"""Mouse motion and buttons reach vJoy: axis X from horizontal motion, Y and Z
from vertical motion (right-click pedal mode off, and on), buttons 7 and 8 from
the left and right mouse buttons.

The tuning is seeded so that the expected values are exact: no smoothing, a
linear curve, no centring, sensitivity 25, so every count moves the wheel by 25.
Motion is made over the main window: Wine sees pointer motion only over its own
windows, and the first motion after the pointer jumps there carries the whole
jump, so the wheel is re-centred (Ctrl+R) before the measured moves.
"""

from tarvix_e2e import (AXIS_X, QUIET_SPOT, check, clear_run_entry, focus_main, key, log_calls,
                        move_by, move_to, reset_documents, run_checks, settings_text, start_tarvix,
                        to_screen, wait_axes, wait_call, wait_main_window, wait_ticks, xdo)

SENSITIVITY = 25
COUNT = 32767 / 100  # pedal units per vertical count


def start_exact_tuning(name, pedal_mode="0"):
    clear_run_entry()
    reset_documents({"settings.txt": settings_text(
        sensitivity="%d.0" % SENSITIVITY, responseCurve="1.00", smoothing="0",
        autoCenterForce="0.0", startMin="0", accelBrakeMode=pedal_mode)})
    run = start_tarvix(name)
    wait_main_window(run)
    wait_ticks(run)
    return run


def press_and_release(run, button, vjoy_button):
    """Holds a mouse button until an output tick has published it, then lets go.
    The press is made over a quiet spot of the panel: over the bare root
    window Wine would not see it at all."""
    move_to(*to_screen(run, *QUIET_SPOT))
    start = len(log_calls(run))
    xdo("mousedown", button)
    try:
        down = wait_call(run, "SetBtn", (1, 1, vjoy_button), start)
    finally:
        xdo("mouseup", button)
    wait_call(run, "SetBtn", (0, 1, vjoy_button), down + 1)


def buttons_follow_the_mouse_buttons():
    run = start_exact_tuning("mouse-buttons")
    press_and_release(run, 1, 7)
    press_and_release(run, 3, 8)
    # Neither press leaks into the other button.
    calls = log_calls(run)
    pressed = {c[2][2] for c in calls if c[1] == "SetBtn" and c[2][0] == 1}
    check(pressed == {7, 8}, "buttons pressed in the log: %s, expected 7 and 8" % sorted(pressed))


def centre_in_the_middle(run):
    """Focuses the main window (hotkeys need a focused Wine window), puts the
    pointer in the middle of it, where the moves below stay inside, and
    re-centres the wheel after that jump."""
    focus_main(run)
    move_to(*to_screen(run, 260, 300))
    start = len(log_calls(run))
    key("ctrl+r")
    wait_call(run, "SetAxis", (16384, 1, AXIS_X), start)
    wait_axes(run, (16384, None, None))


def motion_moves_the_axes():
    run = start_exact_tuning("mouse-axes")
    centre_in_the_middle(run)

    # Horizontal: right turns toward 32767, left toward 0, sensitivity x counts.
    x = 16384
    for dx in (13, 13, -40, 7):
        move_by(dx, 0)
        x += SENSITIVITY * dx
        wait_axes(run, (x, None, None))

    # Vertical: toward the user presses the brake. Two moves of 110 counts end
    # at full brake whatever the jump left; a third is sent only if the first
    # two were not enough (one gone to a busy moment). Away from the user
    # releases the brake and carries the rest over into the throttle.
    move_by(0, -150)
    for attempt in range(3):
        move_by(0, 110)
        if attempt == 0:
            continue
        try:
            wait_axes(run, (x, 0, 32767), timeout=1)
            break
        except AssertionError:
            if attempt == 2:
                raise
    move_by(0, -50)
    wait_axes(run, (x, 0, int(32767 - 50 * COUNT)))
    move_by(0, -100)
    wait_axes(run, (x, int(100 * COUNT - 50 * COUNT), 0))
    move_by(0, -60)
    wait_axes(run, (x, 32767, 0))


def right_click_pedal_mode():
    run = start_exact_tuning("mouse-pedal-mode", pedal_mode="1")
    centre_in_the_middle(run)
    x = 16384
    # Button up: vertical motion leaves both pedals at 0.
    move_by(2, -30)
    x += 2 * SENSITIVITY
    wait_axes(run, (x, 0, 0))
    xdo("mousedown", 3)
    try:
        # The first motion away from the user chooses the throttle for the
        # whole press; motion toward the user is then ignored (the steering
        # shows that the move was taken).
        move_by(0, -30)
        wait_axes(run, (x, int(30 * COUNT), 0))
        move_by(2, 20)
        x += 2 * SENSITIVITY
        wait_axes(run, (x, int(30 * COUNT), 0))
    finally:
        xdo("mouseup", 3)
    # Released: the pedals drop to 0 by the next mouse report.
    move_by(2, 0)
    x += 2 * SENSITIVITY
    wait_axes(run, (x, 0, 0))


if __name__ == "__main__":
    run_checks(buttons_follow_the_mouse_buttons, motion_moves_the_axes, right_click_pedal_mode)
