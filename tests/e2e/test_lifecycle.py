"""Start-up refusals and the way out: a second copy, a missing vJoy library,
closing the window (it only hides) and the tray menu's Exit.
"""

import os

from tarvix_e2e import (AXIS_X, alive, answer_message_box, check, clear_run_entry, data_folder,
                        focus_main, focus_notepad, key, log_calls, main_window_exists,
                        main_window_shown, move_by, read_bytes, reset_documents, run_checks,
                        settings_path, settings_text, start_notepad, start_tarvix,
                        tray_icon_present, tray_menu_exit, wait_axes, wait_call, wait_exit,
                        wait_for, wait_main_window, wait_ticks)

SENSITIVITY = 25


def second_copy_is_refused():
    clear_run_entry()
    reset_documents()
    first = start_tarvix("instance-first")
    wait_ticks(first)

    second = start_tarvix("instance-second")
    answer_message_box("Already Running")
    code = wait_exit(second.proc, 20, "the second copy to end")
    check(code == 0, "the second copy ended with %d, expected 0" % code)
    check(read_bytes(second.log) is None, "the second copy called the vJoy library")

    # The first copy runs on and keeps publishing.
    check(alive(first.proc), "the first copy ended")
    published = len(log_calls(first))
    wait_for(lambda: len(log_calls(first)) > published + 10, 5,
             "the first copy's next output ticks")


def missing_vjoy_is_fatal():
    clear_run_entry()
    reset_documents()
    run = start_tarvix("no-vjoy", with_vjoy=False)
    answer_message_box("Fatal Error")
    code = wait_exit(run.proc, 20, "the program to end after the fatal error")
    check(code == 1, "ended with %d, expected 1" % code)
    written = [os.path.join(folder, name)
               for folder, _, names in os.walk(data_folder()) for name in names]
    check(not written, "files were written: %s" % written)


def close_hides_and_exit_ends():
    clear_run_entry()
    seeded = settings_text(sensitivity="%d.0" % SENSITIVITY, responseCurve="1.00", smoothing="0",
                           autoCenterForce="0.0", startMin="0", accelBrakeMode="0")
    reset_documents({"settings.txt": seeded})
    run = start_tarvix("close-exit")
    wait_main_window(run)
    wait_ticks(run)
    notepad = start_notepad()

    # Alt+F4 on the main window (WM_CLOSE) hides it; the program runs on.
    focus_main(run)
    key("alt+F4")
    wait_for(lambda: not main_window_shown(), 5, "the main window to hide")
    check(main_window_exists(), "the main window was destroyed instead of hidden")
    check(alive(run.proc), "the program ended on close")

    # Steering goes on while hidden: re-centre, then move over the game.
    focus_notepad(notepad)
    start = len(log_calls(run))
    key("ctrl+r")
    wait_call(run, "SetAxis", (16384, 1, AXIS_X), start)
    move_by(20, 0)
    wait_axes(run, (16384 + 20 * SENSITIVITY, None, None))

    # Exit from the tray menu: the device is reset and given back, the
    # settings saved (the file is removed first so the save shows), exit code 0.
    os.remove(settings_path())
    tray_menu_exit()
    code = wait_exit(run.proc, 20, "the program to end after Exit")
    check(code == 0, "ended with %d after Exit, expected 0" % code)
    calls = log_calls(run)
    reset = max(i for i, c in enumerate(calls) if c[1] == "ResetVJD")
    tail = [(c[1], c[2]) for c in calls[reset:]]
    check(tail == [("ResetVJD", (1,)), ("RelinquishVJD", (1,))],
          "the log ends with %s, expected ResetVJD(1), RelinquishVJD(1) and nothing after"
          % tail)
    check(read_bytes(settings_path()) == seeded,
          "settings.txt after Exit is %r" % read_bytes(settings_path()))
    wait_for(lambda: not tray_icon_present(), 5, "the tray icon to go")


if __name__ == "__main__":
    run_checks(second_copy_is_refused, missing_vjoy_is_fatal, close_hides_and_exit_ends)
