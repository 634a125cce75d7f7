"""Damaged and odd data files: settings and profiles of random bytes, lines of
100 KB, NUL bytes, no line ends, names in Latin-1 and UTF-8 bytes, a folder
named like a profile, 200 profile files. The program starts, keeps ticking,
loads what the panel offers, leaves every file it does not own as it was,
and writes a whole settings file when it ends through the tray menu's Exit.

TARVIX_SOAK_SEED fixes the random contents (printed either way).
"""

import os
import random
import time

from soak_support import (e2e, exit_through_tray, fields, leftovers, profile_files,
                          profile_problem, run_checks, settings_problem)

SEED = int(os.environ.get("TARVIX_SOAK_SEED", str(int(time.time()) % 1000000)))
ACTIVE_ROW = (22, 163, 74)  # light theme
SETTINGS_KEYS = [k.decode() for k in (
    b"sensitivity", b"responseCurve", b"smoothing", b"autoCenterForce", b"steeringLimit",
    b"startMin", b"startWithWindows", b"accelBrakeMode", b"hotkeyLock", b"hotkeyRecenter",
    b"profile", b"curveOnSteering")]


def profiles_dir():
    return os.path.join(e2e.data_folder(), "Profiles").encode()


def seed_files(settings, profiles, folders=()):
    """Writes settings.txt and the profile files ({name bytes: content}); what
    the data folder held before comes back when the check ends."""
    e2e.reset_documents({})
    with open(e2e.settings_path(), "wb") as f:
        f.write(settings)
    for name, content in profiles.items():
        with open(os.path.join(profiles_dir(), name + b".txt"), "wb") as f:
            f.write(content)
    for name in folders:
        os.mkdir(os.path.join(profiles_dir(), name))


def tick_count(run):
    return sum(1 for c in e2e.log_calls(run) if c[1] == "SetAxis" and c[2][1:] == (1, e2e.AXIS_X))


def keeps_ticking(run, what):
    before = tick_count(run)
    e2e.wait_for(lambda: tick_count(run) >= before + 10, 10, "output ticks %s" % what)


def ends_cleanly(run, seeded_profiles):
    """Exit from the tray; then a whole settings file, every seeded profile
    byte for byte as it was (Default.txt is written only when it was missing),
    and no temporary file."""
    exit_through_tray(run, "the program")
    content = e2e.read_bytes(e2e.settings_path())
    problem = settings_problem(content)
    e2e.check(problem is None, "settings.txt after Exit %s: %r" % (problem, content[:300]))
    found = profile_files()
    for name, content in seeded_profiles.items():
        e2e.check(found.get(name) == content, "profile %r was changed or removed" % name)
    extra = set(found) - set(seeded_profiles)
    e2e.check(extra <= {b"Default"}, "profiles appeared: %s" % sorted(extra))
    if b"Default" in extra:
        e2e.check(profile_problem(found[b"Default"]) is None,
                  "Default.txt is %r" % found[b"Default"])
    e2e.check(leftovers() == [], "files left behind: %s" % leftovers())
    return fields(e2e.read_bytes(e2e.settings_path()))


# ---- Random bytes --------------------------------------------------------------

def random_bytes(rng, size):
    return rng.randbytes(size)


def random_file(rng, keys, lines):
    """Lines that are now plain noise, now a known key with a noisy value,
    joined by any of the line ends or none."""
    parts = []
    for _ in range(lines):
        kind = rng.random()
        if kind < 0.4:
            value = random_bytes(rng, rng.choice((0, 1, 5, 40, 300)))
            parts.append(rng.choice(keys).encode() + b"=" + value)
        elif kind < 0.6:
            number = rng.choice((b"-1", b"0", b"1e39", b"nan", b"inf", b"99999999999",
                                 b"12.5", b"  3", b"+7x"))
            parts.append(rng.choice(keys).encode() + b"=" + number)
        else:
            parts.append(random_bytes(rng, rng.choice((1, 30, 255, 256, 700))))
        parts.append(rng.choice((b"\r\n", b"\n", b"\r", b"", b"\x00")))
    return b"".join(parts)


def random_contents():
    rng = random.Random(SEED)
    e2e.note("seed %d (TARVIX_SOAK_SEED)" % SEED)
    letters = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 -_"
    profiles = {}
    while len(profiles) < 199:
        name = ("r%03d-" % len(profiles) + "".join(rng.choice(letters) for _ in range(8))).strip()
        profiles[name.encode()] = random_file(rng, SETTINGS_KEYS, rng.randrange(0, 40))
    profiles[b"Default"] = random_file(rng, SETTINGS_KEYS, 30)
    e2e.clear_run_entry()
    seed_files(random_file(rng, SETTINGS_KEYS, 80), profiles)

    run = e2e.start_tarvix("soak-bad-random")
    e2e.wait_ticks(run)
    keeps_ticking(run, "with random files")
    ends_cleanly(run, profiles)


# ---- Long lines, NUL bytes, no line ends, odd names: loaded through the panel ----

LONG_SETTINGS = (
    b"X" * 100000 + b"\r\n"
    + b"sensitivity=77.0\r\n"
    + b"hotkeyLock=" + b"Q" * 100000 + b"\r\n"
    + b"hotkeyRecenter=^\xe9 \xc3\xa9\r\n"
    + b"startMin=0\r\n"
    + b"smoothing=4\x009\r\n"
    + b"responseCurve=2.50")
# After start-up the settings hold these: the 100 KB hotkey value does not fit,
# and start-up's creation of the missing Default profile makes it the active one.
LONG_SETTINGS_READ = {b"sensitivity": b"77.0", b"responseCurve": b"2.50", b"smoothing": b"4",
                      b"hotkeyLock": b"F4", b"hotkeyRecenter": b"^\xe9 \xc3\xa9",
                      b"profile": b"Default", b"startMin": b"0"}

ODD_PROFILES = {
    b"Huge": b"Y" * 100000,
    b"NoEnd": b"sensitivity=12.0",
    b"Zeros": b"sensitivity=3\x009.0\r\nresponseCurve=\x00\r\nsteeringLimit=55.0\r\n",
    b"Long": b"sensitivity=" + b"9" * 100000 + b"\r\nautoCenterForce=7.5\r\n",
    b"Mixed": b"steeringLimit=44.0\rsensitivity=31.0\nsmoothing=3\r\n",
    "Caf\u00e9".encode(): b"sensitivity=21.0\r\n",         # UTF-8 bytes
    b"Latin\xe9": b"sensitivity=22.0\r\n",                # Latin-1 bytes: listed as "Latin?"
    "\u65e5\u672c".encode(): b"sensitivity=23.0\r\n",     # no ANSI form: listed as "??"
}
# What loading each one sets, by the name the program sees ("Café" in the
# Windows ANSI code page). Fields not named keep what they held.
ODD_LOADS = {
    b"Huge": {},
    b"NoEnd": {b"sensitivity": b"12.0"},
    b"Zeros": {b"sensitivity": b"3.0", b"steeringLimit": b"55.0"},
    b"Long": {b"autoCenterForce": b"7.5"},
    b"Mixed": {b"steeringLimit": b"44.0", b"smoothing": b"3"},
    b"Caf\xe9": {b"sensitivity": b"21.0"},
}


def profile_rows(count):
    """Client y of each list row's middle and of the Load/Save/Delete row,
    with count profiles listed (label, rows, spacer, label, field, spacer, buttons)."""
    middles = e2e.body_row_middles([20] + [28] * count + [16, 20, 36, 8, 36])
    return middles[1:1 + count], middles[-1]


def row_colour(run, image, y):
    return e2e.client_pixel(run, image, 24, y)


def select_row(run, y):
    """Selects a row of the list, so that its name fills the name field. A
    fresh panel shows the first row selected with the field empty: a click
    deselects it first. The active profile's row stays green when selected."""
    colour = row_colour(run, e2e.grab(), y)
    if colour == e2e.ACCENT:
        e2e.click_client(run, 260, y)
        e2e.wait_screen(lambda image: row_colour(run, image, y) != e2e.ACCENT, 5,
                        "the profile row at y %d to show as not selected" % y)
    e2e.click_client(run, 260, y)
    if colour != ACTIVE_ROW:
        e2e.wait_screen(lambda image: row_colour(run, image, y) == e2e.ACCENT, 5,
                        "the profile row at y %d to show as selected" % y)


def settings_inode():
    return os.stat(e2e.settings_path()).st_ino


def odd_files_load():
    e2e.set_theme_preference(light=True)
    e2e.clear_run_entry()
    seed_files(LONG_SETTINGS, ODD_PROFILES, folders=[b"Folder.txt"])
    run = e2e.start_tarvix("soak-bad-odd")
    e2e.wait_main_window(run)
    e2e.wait_ticks(run)
    # Start-up wrote Default.txt and with it the settings: read as expected.
    content = e2e.read_bytes(e2e.settings_path())
    e2e.check(settings_problem(content) is None, "settings.txt after start: %r" % content[:300])
    got = fields(content)
    wrong = {k: got[k] for k, v in LONG_SETTINGS_READ.items() if got[k] != v}
    e2e.check(not wrong, "settings read from the long-line file: %s" % wrong)
    default = e2e.read_bytes(e2e.profile_path("Default"))
    e2e.check(profile_problem(default) is None, "Default.txt written at start: %r" % default)
    loads = dict(ODD_LOADS)
    loads[b"Default"] = {k: v for k, v in fields(default).items() if k != b"curveOnSteering"}

    # Every listed name; the folder is not one.
    count = len(ODD_PROFILES) + 1
    e2e.focus_main(run)
    e2e.click_client(run, *e2e.tab_center(1))
    e2e.wait_tab(run, 1)
    rows, buttons = profile_rows(count)
    image = e2e.grab("soak-bad-odd-profiles")
    below = e2e.client_pixel(run, image, 24, rows[-1] + 28 + 8)
    e2e.check(below == (255, 255, 255), "more than %d profile rows (%s below the last)"
              % (count, below))

    loaded = []
    for y in rows:
        before = e2e.read_bytes(e2e.settings_path())
        inode = settings_inode()
        select_row(run, y)
        e2e.click_client(run, e2e.column_center(0, 3), buttons)
        try:
            e2e.wait_for(lambda: settings_inode() != inode, 2, "a load")
        except AssertionError:
            continue  # a name the program refuses to load
        content = e2e.read_bytes(e2e.settings_path())
        problem = settings_problem(content)
        e2e.check(problem is None, "settings.txt after a load %s: %r" % (problem, content[:300]))
        now, then = fields(content), fields(before)
        name = now[b"profile"]
        loaded.append(name)
        expected = dict(then)
        expected[b"profile"] = name
        expected.update(loads.get(name, {}))
        changed = {k: (then.get(k), now[k]) for k in now if now[k] != expected.get(k)}
        e2e.check(name in loads, "loaded a profile named %r" % name)
        e2e.check(not changed, "loading %r changed %s" % (name, changed))
    e2e.note("loaded through the panel: %s" % b", ".join(sorted(loaded)).decode("latin-1"))
    missing = set(loads) - set(loaded)
    e2e.check(not missing, "profiles that did not load: %s" % sorted(missing))
    keeps_ticking(run, "after the loads")
    e2e.click_client(run, *e2e.tab_center(0))
    ends_cleanly(run, ODD_PROFILES)


if __name__ == "__main__":
    run_checks(random_contents, odd_files_load)
