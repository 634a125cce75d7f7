"""First start with an empty Documents folder, and the start-minimised option."""

import os
import time

from tarvix_e2e import (BIN_DIR, DEFAULT_PROFILE, DEFAULT_SETTINGS, check, clear_run_entry,
                        data_folder, main_window_exists, main_window_shown, note, profile_path,
                        read_bytes, reset_documents, run_checks, settings_path, settings_text,
                        start_tarvix, wait_main_window, wait_ticks)


def first_start_writes_the_defaults():
    clear_run_entry()
    reset_documents()
    run = start_tarvix("first-start")
    wait_ticks(run)
    check(os.path.isdir(os.path.join(data_folder(), "Profiles")), "no Documents/Tarvix/Profiles")
    settings = read_bytes(settings_path())
    check(settings == DEFAULT_SETTINGS,
          "settings.txt is %r, expected the defaults %r" % (settings, DEFAULT_SETTINGS))
    profile = read_bytes(profile_path("Default"))
    check(profile == DEFAULT_PROFILE,
          "Default.txt is %r, expected the defaults %r" % (profile, DEFAULT_PROFILE))
    # startMin is 1 by default: the window exists but stays hidden.
    check(main_window_exists(), "the main window was not created")
    check(not main_window_shown(), "the main window is shown although startMin is 1")


def start_minimised_off_shows_the_window():
    clear_run_entry()
    seeded = settings_text(startMin="0", sensitivity="60.0", smoothing="4")
    reset_documents({"settings.txt": seeded})
    run = start_tarvix("start-shown")
    wait_main_window(run)
    shown_after = time.monotonic() - run.started
    wait_ticks(run, count=1)
    note("tarvix.exe: %d bytes; window shown %.2f s, output ticking %.2f s after the start"
         % (os.path.getsize(os.path.join(BIN_DIR, "tarvix.exe")), shown_after,
            time.monotonic() - run.started))
    # The settings file is left as it was; the Default profile that the start
    # creates holds the tuning values read from it.
    check(read_bytes(settings_path()) == seeded, "settings.txt changed at start")
    expected = DEFAULT_PROFILE.replace(b"sensitivity=45.0", b"sensitivity=60.0").replace(
        b"smoothing=2", b"smoothing=4")
    profile = read_bytes(profile_path("Default"))
    check(profile == expected, "Default.txt is %r, expected %r" % (profile, expected))


if __name__ == "__main__":
    run_checks(first_start_writes_the_defaults, start_minimised_off_shows_the_window)
