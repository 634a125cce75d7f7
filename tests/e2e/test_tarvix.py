"""tarvix.exe from its first start to the tray's Exit: files, single instance,
missing vJoy, mouse to axes, hotkeys and the mouse lock, theme."""
import os
import subprocess
import time

from tarvix_e2e import *  # noqa: F401,F403 (the shared helpers)

DEFAULT = os.path.join(DATA, "Profiles", "Default.txt")
HKCU = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\"
F6, CTRL_R, SENSITIVITY = "0x75", "0x11,0x52", 25


def light_theme(light):
    subprocess.run(["wine", "reg", "add", HKCU + "Themes\\Personalize", "/v", "AppsUseLightTheme",
                    "/t", "REG_DWORD", "/d", str(int(light)), "/f"], capture_output=True, timeout=60)


def exit_from_tray(run, saved):
    """Exit gives the device back last, saves the settings (removed first, to see it) and ends with 0."""
    os.remove(SETTINGS)
    post("TXMainWnd", WM_COMMAND, TRAY_EXIT)
    ended(run, 0, "the tray's Exit")
    tail = [(f, a) for _, f, a in calls(run)[-2:]]
    assert tail == [("ResetVJD", (1,)), ("RelinquishVJD", (1,))], "the log ends with %s" % tail
    assert read(SETTINGS) == saved, "settings.txt after Exit: %r" % read(SETTINGS)


def answer_box(caption):
    wait(lambda: windows("^%s$" % caption), "the \"%s\" box" % caption)
    post("#32770", WM_COMMAND, IDOK)


def first_start_and_single_instance():
    seed({})
    run = start()
    wait_ticks(run)
    wait(lambda: read(SETTINGS) == fill("settings.txt"), lambda: "first settings.txt: %r" % read(SETTINGS))
    assert read(DEFAULT) == fill("Default.txt"), "first Default.txt: %r" % read(DEFAULT)
    assert windows(TITLE, False) and not windows(TITLE), "startMin 1 must keep the window hidden"
    second = start("second")
    answer_box("Already Running")
    ended(second, 0, "the \"Already Running\" box")
    assert read(second.log) is None and len(windows(TITLE, False)) == 1, "a second copy ran"
    assert run.proc.poll() is None, "the first copy ended"

    # A restarted shell has lost the icon; its "TaskbarCreated" brings back exactly one.
    tray = lambda: xdo("search", "--onlyvisible", "--name", "Wine System Tray", "getwindowgeometry").split()
    one = wait(tray, "the tray icon") or tray()
    assert helper("untray", "TXMainWnd") == 0
    wait(lambda: not tray(), "the icon to go")
    post("TXMainWnd", "TaskbarCreated", 0)
    wait(lambda: tray() == one, lambda: "one icon again: %s, was %s" % (tray(), one))

    # "Restart as Administrator" starts a copy that waits for the old process to end, then runs in its place. The
    # process it is given is notepad's, which outlives this copy and its mutex: the wait is for the process itself.
    spawn(["wine", "notepad.exe"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait(lambda: windows("Notepad"), "notepad", 60)
    restarted = start("restarted", args=["--restarted", helper_says("pid", "Notepad")[0]])
    exit_from_tray(run, fill("settings.txt"))
    time.sleep(0.7)
    assert restarted.proc.poll() is None and read(restarted.log) is None, "the restarted copy did not wait"
    helper("kill", "Notepad")
    wait_ticks(restarted)
    post("TXMainWnd", WM_COMMAND, TRAY_EXIT), ended(restarted, 0, "the restarted copy's Exit")


def missing_vjoy_ends_the_start():
    """None beside the exe; the one in the folder it is started from must not be loaded."""
    seed({})
    run = start(vjoy=False, planted=True)
    wait(lambda: windows("^Fatal Error$"), "the \"Fatal Error\" box")
    text = subprocess.run(["wine", HELPER, "boxtext", "Fatal Error"], capture_output=True, timeout=30).stdout
    assert b"vJoy initialization failed!\n\nvJoy is not installed: vJoyInterface.dll was not found.\n\n" \
        b"Make sure vJoy" in text.replace(b"\r", b""), "the box says %r" % text
    answer_box("Fatal Error")
    ended(run, 1, "the \"Fatal Error\" box")
    assert data_files() == [], "files written without vJoy: %s" % data_files()


def pad_output_steers_the_fake_bus():
    """The build with the fake bus, the pad chosen: only the pad is bound, in the order the bus expects (serial 1
    is refused once); the mouse steers its stick X; Exit unplugs it."""
    exact = dict(sensitivity="%d.0" % SENSITIVITY, responseCurve="1.00", smoothing="0", autoCenterForce="0.0")
    settings = fill("settings.txt", startMin="0", accelBrakeMode="0", outputDevice="1", **exact)
    seed({"settings.txt": settings})
    run = start(exe="tarvix_with_fake_bus.exe")
    wait(lambda: len(calls(run, "bus")) > 4, "a report to the pad")
    assert [(f, a) for _, f, a in calls(run, "bus")[:4]] == [("CheckVersion", (8, 1)), ("PlugIn", (16, 1, 0, 0, 0)),
                                                             ("PlugIn", (16, 2, 0, 0, 0)), ("WaitReady", (8, 2))]
    post("TXMainWnd", WM_COMMAND, TRAY_SHOW)
    helper("move", 5, 0)
    wait(lambda: calls(run, "bus")[-1][2][5] == 5 * SENSITIVITY * 2, lambda: "stick X: %s" % (calls(run, "bus")[-1],))
    post("TXMainWnd", WM_COMMAND, TRAY_EXIT)
    ended(run, 0, "the tray's Exit")
    assert calls(run, "bus")[-1][1:] == ("Unplug", (8, 2)) and b"fault" not in read(run.bus), read(run.bus)[-300:]
    assert not [f for _, f, _ in calls(run) if f == "AcquireVJD"], "vJoy bound beside the pad"
    assert read(SETTINGS) == settings, "settings.txt after Exit: %r" % read(SETTINGS)


def window_pixel():
    """One pixel just inside the window's bottom-right corner: the clear colour."""
    g = dict(f.split("=") for f in xdo("getwindowgeometry", "--shell", windows(TITLE)[0]).split())
    at = "1x1+%d+%d" % (int(g["X"]) + int(g["WIDTH"]) - 4, int(g["Y"]) + int(g["HEIGHT"]) - 4)
    return tuple(subprocess.run(["import", "-window", "root", "-crop", at, "-depth", "8", "rgb:-"],
                                capture_output=True, timeout=30).stdout)


def steering_hotkeys_and_theme():
    light_theme(False)
    exact = dict(sensitivity="%d.0" % SENSITIVITY, responseCurve="1.00", smoothing="0",
                 autoCenterForce="0.0")  # every count moves the wheel by the sensitivity
    tuned = fill("settings.txt", startMin="0", accelBrakeMode="0", hotkeyLock="F6", **exact)
    seed({"settings.txt": tuned})
    run = start()
    wait(lambda: windows(TITLE), "the main window")
    wait_ticks(run)
    assert read(DEFAULT) == fill("Default.txt", **exact), "Default.txt: %r" % read(DEFAULT)
    assert max(window_pixel()) < 64, "dark theme, window pixel %s" % (window_pixel(),)

    # Wine gives injected input to a focused program only; Show Window focuses it.
    post("TXMainWnd", WM_COMMAND, TRAY_SHOW)
    # Wine's pointer acceleration leaves moves of up to 6 counts as they are.
    for dx, x in ((5, 16384 + 5 * SENSITIVITY), (-6, 16384 - SENSITIVITY)):
        helper("move", dx, 0)
        wait_axes(run, lambda X, y, z: X == x, "X at %d after a move of %d" % (x, dx))
    helper("move", 0, -5)
    wait_axes(run, lambda X, y, z: (X, z) == (x, 0) and y > 0, "throttle from a move away")
    helper("move", 0, 6)
    wait_axes(run, lambda X, y, z: (X, y) == (x, 0) and z > 0, "brake from a move closer")

    since = len(calls(run))  # the re-centre goes straight to 16384
    helper("keys", CTRL_R)
    wait(lambda: 16384 in [v for _, v in wheel(run, since)], "Ctrl+R to centre the wheel")
    sent = [v for _, v in wheel(run, since)]
    assert set(sent[:sent.index(16384)]) <= {x}, "wheel on its way to the centre: %s" % sent
    # Settled, the loop rests: nothing is published, and the next move is on X at once.
    time.sleep(0.2)
    rested = len(wheel(run))
    time.sleep(3)
    assert len(wheel(run)) == rested, "publishes at rest: %s" % wheel(run)[rested:]
    helper("move", -5, 0)
    wait_axes(run, lambda X, y, z: X == 16384 - 5 * SENSITIVITY, "X after the rest")

    # The lock parks the cursor at the right edge, half height, and holds it there.
    xdo("mousemove", 100, 100)
    width, height = map(int, xdo("getdisplaygeometry").split())
    parked = "x:%d y:%d " % (width - 1, height // 2)
    helper("keys", F6)
    wait(lambda: xdo("getmouselocation").startswith(parked), "F6 to park the cursor")
    helper("move", -5, 0)
    wait_axes(run, lambda X, y, z: X != 16384, "steering while locked")
    assert xdo("getmouselocation").startswith(parked), "the locked cursor moved"
    helper("keys", F6)
    helper("move", -5, 0)
    wait(lambda: not xdo("getmouselocation").startswith(parked), "the cursor to be free again")

    light_theme(True)
    helper("setting", "ImmersiveColorSet")
    wait(lambda: min(window_pixel()) > 192, "the light theme while running", 6, 0.1)
    exit_from_tray(run, tuned)


def front(exe, at):
    """Starts one of Wine's programs; its function points at it, centres the wheel, then gives it the foreground
    with a click (there is no window manager) and answers when that began."""
    spawn(["wine", exe], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait(lambda: windows(exe.split(".")[0]), exe, 60)
    window = windows(exe.split(".")[0])[0]
    xdo("windowsize", window, 200, 150), xdo("windowmove", window, *at)

    def focus(run):
        xdo("mousemove", at[0] + 100, at[1] + 75)
        helper("keys", CTRL_R)
        wait_axes(run, lambda X, y, z: X == 16384, "Ctrl+R to centre the wheel")
        return time.monotonic(), xdo("click", 1), xdo("windowfocus", "--sync", window)
    return focus


def profiles_follow_their_game():
    """A profile naming notepad.exe loads within 700 ms of notepad coming to the front (Wine's 500 ms poll at rest);
    another program brings the user's own back. The settings file, rewritten at each switch, keeps naming the user's
    profile."""
    exact = dict(responseCurve="1.00", smoothing="0", autoCenterForce="0.0")
    settings = fill("settings.txt", startMin="0", accelBrakeMode="0", **exact)
    seed({"settings.txt": settings, "Profiles/Default.txt": fill("Default.txt", **exact),
          "Profiles/Notes.txt": fill("Default.txt", sensitivity="25.0", **exact) + b"game=a.exe; NOTEPAD.EXE\r\n"})
    pad, mine = front("notepad.exe", (960, 20)), front("winemine.exe", (960, 400))
    run = start()
    wait(lambda: windows(TITLE), "the main window")
    wait_ticks(run)
    for focus, sensitivity in ((pad, 25), (mine, 45), (pad, 25)):
        inode = os.stat(SETTINGS).st_ino
        began = focus(run)[0]
        wait(lambda: os.stat(SETTINGS).st_ino != inode, "the switch for sensitivity %d" % sensitivity, 5, 0.002)
        print("switched in %.0f ms" % ((time.monotonic() - began) * 1000))
        # Wine sends no foreground event: a resting loop asks twice a second.
        assert time.monotonic() - began < 0.7 and read(SETTINGS) == settings, read(SETTINGS)
        helper("move", 5, 0)
        wait_axes(run, lambda X, y, z: X == 16384 + 5 * sensitivity, "X with sensitivity %d" % sensitivity)
    exit_from_tray(run, settings)


def documents_outside_the_code_page():
    """The manifest's UTF-8: a Documents folder named in CJK characters is found, written and read."""
    documents = os.path.join(os.environ["HOME"], "\u65e5\u672c docs")
    data, key = os.path.join(documents, "Tarvix"), HKCU + "Explorer\\User Shell Folders"
    shutil.rmtree(documents, ignore_errors=True), os.makedirs(documents)
    subprocess.run(["wine", "reg", "add", key, "/v", "Personal", "/t", "REG_SZ", "/d",
                    "Z:" + documents.replace("/", "\\"), "/f"], capture_output=True, timeout=60, check=True)
    try:
        for sensitivity in ("45.0", "33.0"):  # the second start reads the file there, and Default follows it
            run = start("cjk")
            # Default.txt is written first, then settings.txt, then the window is made.
            wait(lambda: read(os.path.join(data, "Profiles", "Default.txt")) == fill("Default.txt", sensitivity=sensitivity)
                 and read(os.path.join(data, "settings.txt")) == fill("settings.txt", sensitivity=sensitivity),
                 "Default.txt and settings.txt with sensitivity %s" % sensitivity)
            wait(lambda: helper("post", "TXMainWnd", WM_COMMAND, TRAY_EXIT, 0) == 0, "the main window")
            ended(run, 0, "the tray's Exit")
            os.remove(os.path.join(data, "Profiles", "Default.txt"))
            open(os.path.join(data, "settings.txt"), "wb").write(fill("settings.txt", sensitivity="33.0"))
    finally:
        subprocess.run(["wine", "reg", "delete", key, "/v", "Personal", "/f"], capture_output=True, timeout=60)


if __name__ == "__main__":
    main(first_start_and_single_instance, missing_vjoy_ends_the_start, steering_hotkeys_and_theme, pad_output_steers_the_fake_bus,
         profiles_follow_their_game, documents_outside_the_code_page)
