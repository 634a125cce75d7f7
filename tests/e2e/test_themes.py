"""Light and dark: the panel follows the system's app mode, at start and when it
changes while the program runs. Each tab is kept as a screenshot per theme
(e2e-artifacts/<theme>-<tab>.png) and a few of its pixels are checked: the
window background, the current tab in the accent blue, the other tabs.
"""

from tarvix_e2e import (ACCENT, CLIENT_HEIGHT, CLIENT_WIDTH, clear_run_entry, click_client,
                        client_pixel, grab, keep, reset_documents, run_checks, set_theme_preference,
                        settings_text, start_tarvix, tab_center, tab_colour, wait_for,
                        wait_main_window, wait_screen, wait_ticks)

THEMES = {
    "light": {"background": (255, 255, 255), "other_tab": (244, 244, 245)},
    "dark": {"background": (9, 9, 11), "other_tab": (39, 39, 42)},
}
TAB_NAMES = ("controls", "profiles", "settings")
# Inside the window padding, where nothing is drawn but the background; not
# in the top-left 160 x 20, where Wine's tray window may lie over the panel.
BACKGROUND_SPOTS = ((4, 300), (CLIENT_WIDTH - 5, 8), (8, CLIENT_HEIGHT - 5),
                    (CLIENT_WIDTH - 5, CLIENT_HEIGHT - 5))


def looks(run, image, theme, current):
    """What the screenshot shows, as the list of mismatches (empty: all right)."""
    colours = THEMES[theme]
    wrong = []
    for spot in BACKGROUND_SPOTS:
        seen = client_pixel(run, image, *spot)
        if seen != colours["background"]:
            wrong.append("background at %s is %s" % (spot, seen))
    for index in range(3):
        expected = ACCENT if index == current else colours["other_tab"]
        seen = tab_colour(run, image, index)
        if seen != expected:
            wrong.append("tab %d is %s, expected %s" % (index, seen, expected))
    return wrong


def check_every_tab(run, theme):
    for index, name in enumerate(TAB_NAMES):
        click_client(run, *tab_center(index))
        last = []

        def right(image):
            last[:] = looks(run, image, theme, index)
            return not last
        try:
            image = wait_screen(right, 5, "the %s theme on the %s tab" % (theme, name))
        except AssertionError:
            grab("%s-%s" % (theme, name))
            raise AssertionError("%s tab in the %s theme: %s" % (name, theme, "; ".join(last)))
        keep(image, "%s-%s" % (theme, name))


def dark_at_start_then_light_while_running():
    clear_run_entry()
    reset_documents({"settings.txt": settings_text(startMin="0")})
    set_theme_preference(light=False)
    run = start_tarvix("themes")
    wait_main_window(run)
    wait_ticks(run)
    check_every_tab(run, "dark")

    # The program polls the preference every two seconds.
    set_theme_preference(light=True)
    wait_screen(lambda image: client_pixel(run, image, *BACKGROUND_SPOTS[0])
                == THEMES["light"]["background"], 10, "the panel to turn light")
    check_every_tab(run, "light")

    set_theme_preference(light=False)
    wait_for(lambda: not looks(run, grab(), "dark", 2), 10, "the panel to turn dark again")


if __name__ == "__main__":
    run_checks(dark_at_start_then_light_while_running)
