"""Clicks on the panel: tabs, an option of the Settings tab, and the profile
manager (saving a new profile; "Default" refused for Save and Delete).

Click points are computed from the panel's rows (padding 16, spacing 8) and
checked against screenshots, which are kept as artefacts.
"""

import os

from tarvix_e2e import (ACCENT, DEFAULT_PROFILE, body_row_middles, check, clear_run_entry,
                        click_client, client_pixel, column_center, focus_main, grab,
                        main_window_shown, profile_path, read_bytes, reset_documents, run_checks,
                        set_theme_preference, settings_path, settings_text, settings_value,
                        start_tarvix, tab_center, tab_colour, tray_double_click, type_text,
                        wait_for, wait_main_window, wait_screen, wait_ticks)

BUTTON_LIGHT = (244, 244, 245)
ACTIVE_ROW = (22, 163, 74)       # light theme: the active profile's row
UNAVAILABLE = (228, 228, 231)    # light theme: Load/Save/Delete when they do nothing


def wait_tab_alone(run, index):
    """The tab is the current one and the other two show the plain look."""
    def current(image):
        colours = [tab_colour(run, image, i) for i in range(3)]
        others = [c for i, c in enumerate(colours) if i != index]
        return colours[index] == ACCENT and others == [BUTTON_LIGHT, BUTTON_LIGHT]
    return wait_screen(current, 5, "tab %d to show as the current one" % index)


def light_theme_start(name, files):
    # The colours checked below are the light theme's; another test may have
    # left the system preference dark.
    set_theme_preference(light=True)
    clear_run_entry()
    reset_documents(files)
    return start_tarvix(name)


def tabs_switch():
    run = light_theme_start("panel-tabs", {"settings.txt": settings_text(startMin="0")})
    wait_main_window(run)
    wait_ticks(run)
    wait_tab_alone(run, 0)
    for index in (1, 2, 0):
        click_client(run, *tab_center(index))
        wait_tab_alone(run, index)


# Settings tab: label, curve button, its note, spacer, then label and button
# for launch at startup, start minimised and the pedal mode.
SETTINGS_ROWS = body_row_middles([20, 36, 14, 16, 20, 36, 20, 36, 20, 36])
START_MIN_BUTTON = (260, SETTINGS_ROWS[7])
PEDAL_MODE_BUTTON = (260, SETTINGS_ROWS[9])


def settings_option_flips():
    # Starts in the tray (startMin 1); a double click on the tray icon shows it.
    run = light_theme_start("panel-option", {"settings.txt": settings_text(startMin="1")})
    wait_ticks(run)
    check(not main_window_shown(), "the window is shown although startMin is 1")
    tray_double_click()
    wait_main_window(run)
    click_client(run, *tab_center(2))
    wait_tab_alone(run, 2)

    click_client(run, *START_MIN_BUTTON)
    wait_for(lambda: settings_value("startMin") == "0", 5, "startMin=0 in settings.txt")
    grab("settings-start-minimized-off")
    click_client(run, *START_MIN_BUTTON)
    wait_for(lambda: settings_value("startMin") == "1", 5, "startMin=1 in settings.txt")
    click_client(run, *PEDAL_MODE_BUTTON)
    wait_for(lambda: settings_value("accelBrakeMode") == "0", 5, "accelBrakeMode=0 in settings.txt")
    check(read_bytes(settings_path()) == settings_text(startMin="1", accelBrakeMode="0"),
          "settings.txt has other changes: %r" % read_bytes(settings_path()))


def profiles_tab_rows(count):
    """Client y of each list row's middle, of the name field and of the button
    row, with count profiles listed."""
    middles = body_row_middles([20] + [28] * count + [16, 20, 36, 8, 36])
    return middles[1:1 + count], middles[-3], middles[-1]


def row_colour(run, image, y):
    return client_pixel(run, image, 24, y)


def profile_save_and_default_refused():
    # Tuning differs from the Default profile, so the new profile is recognisable.
    run = light_theme_start("panel-profiles", {
        "settings.txt": settings_text(startMin="0", sensitivity="60.0"),
        "Profiles/Default.txt": DEFAULT_PROFILE})
    wait_main_window(run)
    wait_ticks(run)
    focus_main(run)
    click_client(run, *tab_center(1))
    wait_tab_alone(run, 1)

    rows, field, buttons = profiles_tab_rows(1)
    image = grab()
    check(row_colour(run, image, rows[0]) == ACTIVE_ROW, "the active Default row is not green")

    # Type a new name and save it: file written, listed, the active profile.
    click_client(run, 260, field)
    type_text("Rally")
    click_client(run, column_center(1, 3), buttons)
    wait_for(lambda: read_bytes(profile_path("Rally")), 5, "Profiles/Rally.txt")
    expected = DEFAULT_PROFILE.replace(b"sensitivity=45.0", b"sensitivity=60.0")
    check(read_bytes(profile_path("Rally")) == expected,
          "Rally.txt is %r, expected %r" % (read_bytes(profile_path("Rally")), expected))
    wait_for(lambda: settings_value("profile") == "Rally", 5, "profile=Rally in settings.txt")

    rows, field, buttons = profiles_tab_rows(2)
    image = wait_screen(lambda im: row_colour(run, im, rows[1]) != (255, 255, 255), 5,
                        "a second row in the profile list")
    grab("profiles-saved-rally")
    # The list keeps the folder listing's order. Rally, now the active
    # profile, shows green; Default shows the plain button look.
    colours = [row_colour(run, image, y) for y in rows]
    check(sorted(colours) == sorted([ACTIVE_ROW, BUTTON_LIGHT]),
          "profile rows are %s, expected one active green and one plain" % colours)
    default_row = rows[colours.index(BUTTON_LIGHT)]

    # Select Default: its row turns the accent blue, and the field holds a name
    # for which Save and Delete are unavailable (only "Default" is refused).
    click_client(run, 260, default_row)
    image = wait_screen(lambda im: row_colour(run, im, default_row) == ACCENT, 5,
                        "the Default row to show as selected (blue)")
    grab("profiles-default-selected")
    save_x, delete_x = column_center(1, 3), column_center(2, 3)
    check(client_pixel(run, image, save_x - 60, buttons) == UNAVAILABLE,
          "Save looks available for Default")
    check(client_pixel(run, image, delete_x - 60, buttons) == UNAVAILABLE,
          "Delete looks available for Default")

    default_before = os.stat(profile_path("Default")).st_mtime_ns
    click_client(run, save_x, buttons)
    click_client(run, delete_x, buttons)
    # Load is available for Default; its effect on settings.txt shows that the
    # two clicks before it have been handled.
    click_client(run, column_center(0, 3), buttons)
    wait_for(lambda: settings_value("profile") == "Default", 5,
             "Load to make Default the active profile")
    check(read_bytes(profile_path("Default")) == DEFAULT_PROFILE,
          "Default.txt was changed or deleted")
    check(os.stat(profile_path("Default")).st_mtime_ns == default_before,
          "Default.txt was rewritten")
    files = sorted(os.listdir(os.path.dirname(profile_path("Default"))))
    check(files == ["Default.txt", "Rally.txt"], "profile files are now %s" % files)


if __name__ == "__main__":
    run_checks(tabs_switch, settings_option_flips, profile_save_and_default_refused)
