#!/usr/bin/env python3
"""Tarvix benchmarks: the real tarvix.exe under Wine beside the vJoy stand-in,
and the test build with the fake pad bus (tarvix_with_fake_bus.exe) with the
Xbox 360 pad as its output.

Run by scripts/bench inside one prepared Wine session (tools/wine-env.sh), after
the builds. For each program measured (this tree's, and with --baseline-exe an
older build, in the same run), for each mode (default: the 8 ms input gate and
the 16 ms output tick; direct: every report, published at once; an older build
only in default mode) and for the window hidden (startMin 1) and, with
--windows hidden,shown, shown (startMin 0), two runs of the program:

  - a timing run, with the stand-in's call log on: at rest (nothing moves),
    publishes per second, with their interval's 1st and 99th percentiles, and
    the loop's wake-ups per second, from its own count (a message the main
    window answers; an older build answers 0: "-"); the latency of a first move
    after 2 s of rest; the latency from an
    injected relative mouse move to the first publish of axis X that carries it
    (SetAxis of X, or UpdateVJD),
    on one clock (QueryPerformanceCounter in both the injector's and the
    stand-in's log; for the pad, the fake bus's log of reports, whose stick X
    is turned back into the wheel's units); with 1000 moves per second, reports accepted per second
    (each accepted move adds exactly one unit to X, so the growth of X counts
    them) and ticks per second;
  - a CPU run, with the stand-in's log and state file off, so that its file
    writes do not count as the program's CPU: CPU seconds per wall second of the
    tarvix process idle and under 1000 Hz motion, its peak resident memory, and
    for reference the session's wineserver and X server;

then adds the native engine micro-benchmarks and the Wine panel-pass benchmark,
prints one table and writes it all as JSON. Standard library only.
"""

import argparse
import json
import os
import platform
import shutil
import signal
import statistics
import subprocess
import sys
import time
import types

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
AXIS_X = 48
CENTRE = 16384

# The tuning every run starts from: no filter, no centring and no curve, so each
# accepted move changes X by exactly dx * sensitivity and nothing else moves it.
SENSITIVITY = 1.0
SETTINGS = {
    "sensitivity": "1.0",
    "responseCurve": "1.00",
    "smoothing": "0",
    "autoCenterForce": "0.0",
    "steeringLimit": "100.0",
    "curveOnSteering": "0",
    "accelBrakeMode": "1",
    "directMode": "0",
}
LATENCY_DX = 4            # X moves by 4 per accepted move, alternating sign
LATENCY_GAP_US = (20000, 26000)   # every move passes the 8 ms gate; tick is 16 ms
REST_GAP_US = (2000000, 2200000)  # a first move after 2 s of rest
LOOP_WAKES_MESSAGE = 0x402        # WM_USER + 2: the main window answers the loop's wake count
BURST_RATE = 1000


def fail(message):
    print("run_bench: " + message, file=sys.stderr)
    sys.exit(1)


# ---- the machine ----

def machine_info():
    model = "unknown"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    model = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        wine = subprocess.run(["wine", "--version"], capture_output=True, text=True,
                              timeout=30).stdout.strip()
    except (OSError, subprocess.TimeoutExpired):
        wine = "unknown"
    return {
        "cpu": model,
        "cores": os.cpu_count(),
        "wine": wine,
        "kernel": platform.release(),
        "load_average_at_start": [round(v, 2) for v in os.getloadavg()],
    }


# ---- /proc ----

def cpu_seconds(pid):
    """utime + stime of one process in seconds, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            fields = f.read().rsplit(")", 1)[1].split()
    except OSError:
        return None
    # fields[0] is field 3 (state); utime and stime are fields 14 and 15.
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def peak_rss_kib(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmHWM:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return None


def read_cmdline(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().replace(b"\0", b" ").decode("utf-8", "replace")
    except OSError:
        return ""


def session_wineserver():
    """The wineserver of this session's prefix (others may run beside it)."""
    prefix = ("WINEPREFIX=" + os.environ["WINEPREFIX"]).encode()
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        if "wineserver" not in read_cmdline(pid):
            continue
        try:
            with open("/proc/%d/environ" % pid, "rb") as f:
                if prefix in f.read().split(b"\0"):
                    return pid
        except OSError:
            continue
    return None


def find_tarvix(started_pid, exe_path):
    """The Linux process running our tarvix.exe: the one we started when Wine
    exec'd into it, else the process whose command line names our copy."""
    if exe_path in read_cmdline(started_pid):
        return started_pid
    for entry in os.listdir("/proc"):
        if entry.isdigit() and exe_path in read_cmdline(int(entry)):
            return int(entry)
    return None


class CpuWatch:
    """CPU seconds of a few processes between two calls, per wall second."""

    def __init__(self, pids):
        self.pids = {k: v for k, v in pids.items() if v}
        self.wall = time.monotonic()
        self.start = {k: cpu_seconds(v) for k, v in self.pids.items()}

    def per_second(self):
        wall = time.monotonic() - self.wall
        out = {}
        for k, pid in self.pids.items():
            now = cpu_seconds(pid)
            if now is not None and self.start[k] is not None and wall > 0:
                out[k] = round((now - self.start[k]) / wall, 4)
        out["wall_seconds"] = round(wall, 2)
        return out


# ---- logs ----

def parse_standin(text):
    """(seconds, function, args) per call of the stand-in's log."""
    calls = []
    for line in text.splitlines():
        parts = line.split(" ")
        if len(parts) < 4 or "(" not in parts[2]:
            continue
        name, args = parts[2].split("(", 1)
        args = [int(a) for a in args.rstrip(")").split(",") if a]
        calls.append((int(parts[0]) / int(parts[1]), name, args))
    return calls


def axis_x(calls):
    """(seconds, X) per publish: SetAxis of X, or UpdateVJD, whose 6th value is X; or
    the pad's Report, whose 6th value is the stick's X, (X - 16384) * 2 with no anti-deadzone."""
    return [(t, a[5] if name == "UpdateVJD" else a[5] // 2 + CENTRE if name == "Report" else a[0])
            for t, name, a in calls if name in ("UpdateVJD", "Report") and len(a) > 5
            or name == "SetAxis" and a[2] == AXIS_X]


def parse_moves(path):
    moves = []
    with open(path) as f:
        for line in f:
            parts = line.split()
            dx, dy = parts[2][len("move("):-1].split(",")
            moves.append((int(parts[0]) / int(parts[1]), int(dx), int(dy), parts[3] == "1"))
    return moves


class LogTail:
    """Reads what a growing log gained since the last call."""

    def __init__(self, path):
        self.path = path
        self.offset = 0

    def mark(self):
        try:
            self.offset = os.path.getsize(self.path)
        except OSError:
            self.offset = 0

    def since_mark(self):
        with open(self.path, "rb") as f:
            f.seek(self.offset)
            return f.read().decode("ascii", "replace")

    def whole(self):
        with open(self.path, "rb") as f:
            return f.read().decode("ascii", "replace")


def nearest_rank(sorted_values, fraction):
    if not sorted_values:
        return None
    k = max(1, int(-(-fraction * len(sorted_values) // 1)))  # ceil
    return sorted_values[min(k, len(sorted_values)) - 1]


def tick_gaps(xs):
    """1st and 99th percentile of the intervals between ticks, in ms."""
    gaps = sorted((b[0] - a[0]) * 1000 for a, b in zip(xs, xs[1:]))
    if not gaps:
        return None, None
    return round(nearest_rank(gaps, 0.01), 2), round(nearest_rank(gaps, 0.99), 2)


def tick_rate(xs):
    if len(xs) < 2:
        return None, None
    span = xs[-1][0] - xs[0][0]
    gaps = [b[0] - a[0] for a, b in zip(xs, xs[1:])]
    return (len(xs) - 1) / span, statistics.mean(gaps) * 1000


# ---- measurements ----

def latency(moves, xs):
    """For each move, the first X after it that differs from the X before it,
    published before the next move: that is the tick that carried the move."""
    samples, unseen, wrong = [], 0, 0
    j = 0
    last_value = CENTRE
    for i, (t, dx, _dy, sent) in enumerate(moves):
        while j < len(xs) and xs[j][0] <= t:
            last_value = xs[j][1]
            j += 1
        if not sent:
            unseen += 1
            continue
        limit = moves[i + 1][0] if i + 1 < len(moves) else float("inf")
        k = j
        while k < len(xs) and xs[k][0] < limit and xs[k][1] == last_value:
            k += 1
        if k >= len(xs) or xs[k][0] >= limit:
            unseen += 1
            continue
        if xs[k][1] - last_value != round(dx * SENSITIVITY):
            wrong += 1
        samples.append((xs[k][0] - t) * 1000)
    samples.sort()
    return {
        "moves": len(moves),
        "measured": len(samples),
        "unseen": unseen,
        "wrong_amount": wrong,
        "median_ms": round(statistics.median(samples), 2) if samples else None,
        "p99_ms": round(nearest_rank(samples, 0.99), 2) if samples else None,
        "max_ms": round(samples[-1], 2) if samples else None,
        "mean_ms": round(statistics.mean(samples), 2) if samples else None,
    }


def accepted_rate(moves, xs):
    """Every accepted +1 move adds one unit to X: the growth of X between the
    last tick before the first move and the last publish after the last move
    counts the accepted reports."""
    t_first, t_last = moves[0][0], moves[-1][0]
    before = [v for t, v in xs if t <= t_first]
    after = [v for t, v in xs if t >= t_last]  # the last: a resting loop publishes no more
    if not before or not after:
        return None
    inside = [(t, v) for t, v in xs if t_first <= t <= t_last]
    steps = {}
    for (_, a), (_, b) in zip(inside, inside[1:]):
        steps[b - a] = steps.get(b - a, 0) + 1
    accepted = (after[-1] - before[-1]) / SENSITIVITY
    span = t_last - t_first
    return {
        "moves": len(moves),
        "input_rate": round((len(moves) - 1) / span, 1),
        "accepted": int(accepted),
        "accepted_per_second": round(accepted / span, 1),
        "per_tick_increments": {str(k): v for k, v in sorted(steps.items())},
    }


def write_settings(start_min, direct, output):
    folder = os.path.join(os.environ["HOME"], "Documents", "Tarvix")
    os.makedirs(folder, exist_ok=True)
    lines = dict(SETTINGS, startMin=str(start_min), directMode=str(direct),
                 outputDevice="1" if output == "pad" else "0")
    with open(os.path.join(folder, "settings.txt"), "wb") as f:
        for key, value in lines.items():
            f.write(("%s=%s\r\n" % (key, value)).encode())


def wait_for(predicate, timeout, step=0.05):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        if predicate():
            return True
        time.sleep(step)
    return predicate()


def run_injector(bindir, args, timeout):
    return subprocess.run(["wine", os.path.join(bindir, "tarvix_input_helper.exe")] + args,
                          capture_output=True, text=True, timeout=timeout)


def xdotool(*args):
    return subprocess.run(["xdotool"] + [str(a) for a in args], capture_output=True, text=True,
                          timeout=30).stdout.split()


def start_game(work):
    """Wine's notepad, small, at the top right, as the game in front. Wine hands
    raw input to a program in the background (the input sink) only while some
    Wine window has the foreground: without one a hidden Tarvix gets nothing."""
    exe = os.path.join(os.environ["WINEPREFIX"], "drive_c", "windows", "system32", "notepad.exe")
    proc = subprocess.Popen(["wine", exe], cwd=work, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    found = {}
    def shown():
        ids = xdotool("search", "--onlyvisible", "--name", "Notepad$")
        found["id"] = ids[0] if ids else None
        return found["id"] is not None
    if not wait_for(shown, 60):
        fail("the notepad window did not show")
    xdotool("windowsize", found["id"], 300, 200)
    xdotool("windowmove", found["id"], 960, 20)
    time.sleep(0.5)
    return types.SimpleNamespace(proc=proc, window=found["id"])


def focus_game(game):
    """A click activates a Wine window (there is no window manager); the
    pointer then goes back to the middle, clear of every window."""
    xdotool("mousemove", 1100, 100, "click", 1)
    xdotool("windowfocus", "--sync", game.window)
    xdotool("mousemove", 900, 700)


def start_program(exe, bindir, work, name, start_min, direct, log, output):
    """Copies exe beside the stand-in into a folder of its own and starts it with
    the output given (vjoy or pad). log is the stand-in's, or for the pad the fake
    bus's; with log None neither writes anything."""
    app = os.path.join(work, "app-" + name)
    os.makedirs(app, exist_ok=True)
    shutil.copy2(exe, os.path.join(app, "tarvix.exe"))
    shutil.copy2(os.path.join(bindir, "standin", "vJoyInterface.dll"), app)
    app_exe = os.path.join(app, "tarvix.exe")
    write_settings(start_min, direct, output)
    # The cursor back in the middle, away from the edges and the window.
    subprocess.run(["xdotool", "mousemove", "900", "700"], capture_output=True, timeout=10)
    env = dict(os.environ)
    for key in ("TARVIX_STANDIN_LOG", "TARVIX_STANDIN_STATE", "TARVIX_FAKEBUS_LOG",
                "TARVIX_FAKEBUS_MODE"):
        env.pop(key, None)
    if log:
        env["TARVIX_FAKEBUS_LOG" if output == "pad" else "TARVIX_STANDIN_LOG"] = log
    proc = subprocess.Popen(["wine", app_exe], env=env, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    return proc, app_exe


def stop_program(proc, bindir, opts, result):
    """Ends it as the tray menu's Exit does, and sees it end cleanly."""
    try:
        run_injector(bindir, ["post", "TXMainWnd", "273", "2002", "0"], timeout=60)
        try:
            result["exit_code"] = proc.wait(timeout=opts.exit_timeout)
        except subprocess.TimeoutExpired:
            result["exit_code"] = None
    finally:
        if proc.poll() is None:
            proc.send_signal(signal.SIGTERM)
            try:
                proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait(timeout=10)


def watched_pids(pid):
    return {"tarvix": pid, "wineserver": session_wineserver(),
            "xserver": int(os.environ["TARVIX_XVFB_PID"])
            if os.environ.get("TARVIX_XVFB_PID") else None}


def start_burst(bindir, moves_log, count):
    return subprocess.Popen(
        ["wine", os.path.join(bindir, "tarvix_input_helper.exe"), "pace", str(count),
         str(1000000 // BURST_RATE), str(1000000 // BURST_RATE), "1", "0", "0", "2",
         "Z:" + moves_log], stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)


def finish_burst(injector, name, opts):
    out, err = injector.communicate(timeout=opts.burst_seconds + 60)
    if injector.returncode != 0:
        fail("%s: injector failed: %s %s" % (name, out, err))


def run_timing(name, start_min, direct, exe, bindir, work, opts, output):
    vjoy_log = os.path.join(work, "%s-%s.log" % (output, name))
    if os.path.exists(vjoy_log):
        os.remove(vjoy_log)
    started = time.monotonic()
    proc, app_exe = start_program(exe, bindir, work, name, start_min, direct, vjoy_log, output)
    result = {"startMin": start_min, "directMode": direct, "output": output}
    try:
        tail = LogTail(vjoy_log)
        first_tick = lambda: os.path.exists(vjoy_log) and axis_x(parse_standin(tail.whole()))
        if not wait_for(first_tick, opts.start_timeout):
            fail("%s: tarvix.exe sent no axis within %d s" % (name, opts.start_timeout))
        result["seconds_to_first_tick"] = round(time.monotonic() - started, 2)
        if find_tarvix(proc.pid, app_exe) is None:
            fail("%s: cannot find the tarvix process" % name)
        time.sleep(1.0)

        # At rest: nothing moves. Asking for the count wakes the loop once.
        woken, began = loop_wakes(bindir), time.monotonic()
        time.sleep(0.3)
        tail.mark()
        time.sleep(opts.idle_seconds)
        xs = axis_x(parse_standin(tail.since_mark()))
        result["rest_publishes_per_second"] = round(len(xs) / opts.idle_seconds, 2)
        wakes = loop_wakes(bindir) - woken - 1
        result["rest_wakes_per_second"] = round(wakes / (time.monotonic() - began), 2) if wakes >= 0 else None
        rate, mean_gap = tick_rate(xs)
        result["idle_mean_tick_interval_ms"] = round(mean_gap, 2) if mean_gap else None
        result["idle_tick_interval_p1_ms"], result["idle_tick_interval_p99_ms"] = tick_gaps(xs)

        # A first move after 2 s of rest, each time.
        moves_log = os.path.join(work, "moves-rest-%s.log" % name)
        tail.mark()
        run = run_injector(bindir, ["pace", str(opts.rest_moves), str(REST_GAP_US[0]), str(REST_GAP_US[1]),
                                    str(LATENCY_DX), "0", "1", "3", "Z:" + moves_log],
                           timeout=opts.rest_moves * REST_GAP_US[1] / 1e6 + 60)
        if run.returncode != 0:
            fail("%s: injector failed: %s %s" % (name, run.stdout, run.stderr))
        time.sleep(0.2)
        # The whole log: at rest the last value before a move was published long before.
        result["rest_latency"] = latency(parse_moves(moves_log), axis_x(parse_standin(tail.whole())))

        # Latency: spaced moves, each accepted by the gate, alternating in sign.
        moves_log = os.path.join(work, "moves-latency-%s.log" % name)
        tail.mark()
        run = run_injector(bindir, ["pace", str(opts.moves), str(LATENCY_GAP_US[0]),
                                    str(LATENCY_GAP_US[1]), str(LATENCY_DX), "0", "1", "1",
                                    "Z:" + moves_log],
                           timeout=opts.moves * LATENCY_GAP_US[1] / 1e6 + 60)
        if run.returncode != 0:
            fail("%s: injector failed: %s %s" % (name, run.stdout, run.stderr))
        time.sleep(0.2)  # the last move's tick
        result["latency"] = latency(parse_moves(moves_log), axis_x(parse_standin(tail.whole())))

        # 1000 moves per second, all +1: the default gate lets about one in eight through.
        moves_log = os.path.join(work, "moves-burst-%s.log" % name)
        tail.mark()
        injector = start_burst(bindir, moves_log, int(BURST_RATE * opts.burst_seconds))
        finish_burst(injector, name, opts)
        time.sleep(0.2)
        moves = parse_moves(moves_log)
        xs = axis_x(parse_standin(tail.whole()))
        burst = accepted_rate(moves, xs)
        inside = [(t, v) for t, v in xs if moves[0][0] <= t <= moves[-1][0]]
        rate, mean_gap = tick_rate(inside)
        burst["ticks_per_second"] = round(rate, 2) if rate else None
        burst["mean_tick_interval_ms"] = round(mean_gap, 2) if mean_gap else None
        result["burst"] = burst
    finally:
        stop_program(proc, bindir, opts, result)
    return result


def loop_wakes(bindir):
    run = subprocess.run(["wine", os.path.join(bindir, "tarvix_input_helper.exe"), "send", "TXMainWnd",
                          str(LOOP_WAKES_MESSAGE), "0", "0"], capture_output=True, text=True, timeout=60)
    return int(run.stdout.split()[0]) if run.returncode == 0 and run.stdout.split() else 0


def vjoy_loaded(pid):
    try:
        with open("/proc/%d/maps" % pid) as f:
            return "vjoyinterface.dll" in f.read().lower()
    except OSError:
        return False


def main_window_made(bindir):
    """TXMainWnd takes a posted WM_NULL once start-up has made it, after the output's bind."""
    return run_injector(bindir, ["post", "TXMainWnd", "0", "0", "0"], timeout=60).returncode == 0


def run_cpu(name, start_min, direct, exe, bindir, work, opts, output):
    proc, app_exe = start_program(exe, bindir, work, name, start_min, direct, None, output)
    result = {}
    try:
        # No log to watch: the program is up once it has loaded the stand-in, or
        # for the pad once its window is made.
        found = {}
        def up():
            found["pid"] = found.get("pid") or find_tarvix(proc.pid, app_exe)
            return found["pid"] is not None and (main_window_made(bindir) if output == "pad"
                                                 else vjoy_loaded(found["pid"]))
        if not wait_for(up, opts.start_timeout, 0.5):
            fail("%s: tarvix.exe did not start within %d s" % (name, opts.start_timeout))
        pid = found["pid"]
        if output == "pad" and vjoy_loaded(pid):
            fail("%s: vJoy bound beside the pad" % name)
        time.sleep(2.0)

        watch = CpuWatch(watched_pids(pid))
        time.sleep(opts.idle_seconds)
        result["idle_cpu"] = watch.per_second()

        moves_log = os.path.join(work, "moves-cpu-%s.log" % name)
        injector = start_burst(bindir, moves_log, int(BURST_RATE * opts.burst_seconds))
        # CPU is taken strictly inside the burst, past the injector's own start-up.
        time.sleep(min(1.0, opts.burst_seconds / 4))
        watch = CpuWatch(watched_pids(pid))
        time.sleep(opts.burst_seconds * 0.6)
        result["burst_cpu"] = watch.per_second()
        finish_burst(injector, name, opts)
        result["peak_rss_mib"] = round((peak_rss_kib(pid) or 0) / 1024, 1)
    finally:
        stop_program(proc, bindir, opts, result)
    return result


def host_micro(path, min_time):
    if not path or not os.path.exists(path):
        return None
    run = subprocess.run([path, "--benchmark_format=json", "--benchmark_repetitions=3",
                          "--benchmark_report_aggregates_only=true",
                          "--benchmark_min_time=%s" % min_time],
                         capture_output=True, text=True, timeout=600)
    if run.returncode != 0:
        fail("host benchmark failed: " + run.stderr)
    data = json.loads(run.stdout)
    rows = []
    for b in data["benchmarks"]:
        if b.get("aggregate_name") != "median":
            continue
        assert b["time_unit"] == "ns"
        rows.append({"name": b["run_name"], "ns_per_call": round(b["cpu_time"], 2)})
        if "p99_us" in b:
            rows[-1]["ffb"] = {"packets_per_second": round(b["packets_per_second"]), "p99_us": round(b["p99_us"], 2)}
    return {"context": {k: data["context"].get(k) for k in
                        ("tarvix_build", "library_build_type", "num_cpus", "mhz_per_cpu")},
            "results": rows}


def wine_bench(bindir, name, argument):
    """One of the Windows benchmark programs (tarvix_panel_bench, tarvix_write_bench): its JSON."""
    exe = os.path.join(bindir, name + ".exe")
    if not os.path.exists(exe):
        return None
    run = subprocess.run(["wine", exe, str(argument)], capture_output=True, text=True, timeout=300)
    if run.returncode != 0:
        fail("%s failed: %s" % (name, run.stderr))
    return json.loads(run.stdout)


# ---- the table ----

def table(report):
    m = report["machine"]
    out = []
    out.append("Tarvix %s benchmarks: %s, %s cores, %s, Linux %s" %
               (report["version"], m["cpu"], m["cores"], m["wine"], m["kernel"]))
    out.append("Measured under Wine on Xvfb with the vJoy stand-in, and the fake bus for the pad: " +
               "; ".join("%s = %s" % (k, v["exe"]) for k, v in report["programs"].items()))
    columns = [(label, run) for label in report["programs"] for run in report["programs"][label]
               if run != "exe"]
    width = max(16, max(len("%s %s" % c) for c in columns) + 2)

    def row(label, key):
        cells = []
        for prog, run in columns:
            r = report["programs"][prog][run]
            try:
                value = key(r["timing"], r["cpu"])
            except (KeyError, TypeError):
                value = None
            cells.append("-" if value is None else str(value))
        out.append("  %-52s" % label + "".join(("%" + str(width) + "s") % c for c in cells))

    out.append("  %-52s" % "" + "".join(("%" + str(width) + "s") % ("%s %s" % c)
                                         for c in columns))
    lat = lambda k: (lambda t, c: t["latency"][k])
    first = report["programs"][columns[0][0]][columns[0][1]]["timing"]
    row("Move to axis (stick) X, %d moves 20-26 ms apart: median ms" % first["latency"]["moves"],
        lat("median_ms"))
    row("  p99 ms", lat("p99_ms"))
    row("  max ms", lat("max_ms"))
    row("  moves never seen on X / seen with a wrong amount",
        lambda t, c: "%d / %d" % (t["latency"]["unseen"], t["latency"]["wrong_amount"]))
    row("At 1000 moves/s: reports accepted per second",
        lambda t, c: t["burst"]["accepted_per_second"])
    row("  publishes of X per second (default: the ticks)", lambda t, c: t["burst"]["ticks_per_second"])
    row("At rest: publishes per second", lambda t, c: t["rest_publishes_per_second"])
    row("  their interval p1 / p99 ms",
        lambda t, c: "%s / %s" % (t["idle_tick_interval_p1_ms"], t["idle_tick_interval_p99_ms"]))
    row("  wake-ups per second (the loop's count)",
        lambda t, c: t["rest_wakes_per_second"] or None)
    row("  first move after 2 s of rest to X: median / p99 ms (%d moves)" % first["rest_latency"]["moves"],
        lambda t, c: "%s / %s" % (t["rest_latency"]["median_ms"], t["rest_latency"]["p99_ms"]))
    row("CPU s per wall s, tarvix, at rest (stand-in silent)", lambda t, c: c["idle_cpu"].get("tarvix"))
    row("  tarvix, under 1000 moves/s", lambda t, c: c["burst_cpu"].get("tarvix"))
    row("  wineserver (session), idle / 1000 moves/s",
        lambda t, c: "%s / %s" % (c["idle_cpu"].get("wineserver"),
                                  c["burst_cpu"].get("wineserver")))
    row("  Xvfb, idle / 1000 moves/s",
        lambda t, c: "%s / %s" % (c["idle_cpu"].get("xserver"), c["burst_cpu"].get("xserver")))
    row("Peak resident memory of tarvix (VmHWM), MiB", lambda t, c: c["peak_rss_mib"])
    row("Start to first output tick, s", lambda t, c: t["seconds_to_first_tick"])
    row("Exit code after the tray's Exit, timing / CPU run",
        lambda t, c: "%s / %s" % (t["exit_code"], c["exit_code"]))

    micro = report.get("host_micro")
    if micro:
        out.append("Native engine, ns per call (%s; median of 3):" % micro["context"]["tarvix_build"])
        for r in micro["results"]:
            out.append("  %-52s%12s" % (r["name"].replace("BM_", ""), r["ns_per_call"]))
            if "ffb" in r:
                out.append("  %-52s%12s" % ("FFB: packets per second handled", r["ffb"]["packets_per_second"]))
                out.append("  %-52s%12s" % ("FFB: callback p99, us (of 10,000 packets)", r["ffb"]["p99_us"]))
    panel = report.get("panel_pass")
    if panel:
        out.append("Panel pass under Wine, us (median / p99 of %d passes):" % panel["passes"])
        out.append("  %-40s%14s%14s%14s" % ("", "build", "render", "pass"))
        for c in panel["cases"]:
            label = "%s, %s, %s" % (c["tab"], c["theme"], c["window"])
            cells = ["%.0f / %.0f" % (c[k]["median"], c[k]["p99"])
                     for k in ("build_us", "render_us", "pass_us")]
            out.append("  %-40s%14s%14s%14s" % (label, cells[0], cells[1], cells[2]))
    writes = report.get("write_pass")
    if writes:
        out.append("Output ticks while every write takes %d ms, a save every %d ms (%.0f s each):" %
                   (writes["write_ms"], writes["save_interval_ms"], writes["seconds"]))
        out.append("  %-40s%14s%14s%14s" % ("", "ticks/s", "longest ms", "p99 gap ms"))
        for way, label in (("on_the_loop", "written on the loop (before)"), ("writer", "writer thread (now)")):
            w = writes[way]
            out.append("  %-40s%14s%14s%14s" % (label, w["ticks_per_second"], w["longest_gap_ms"],
                                                 w["p99_gap_ms"]))
    return "\n".join(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--exe", help="tarvix.exe to measure (default: the release build, "
                        "else the windows build)")
    parser.add_argument("--bin", default=os.path.join(ROOT, "build", "windows", "bin"),
                        help="windows build's bin/ (stand-in, injector, panel bench)")
    parser.add_argument("--baseline-exe",
                        help="an older tarvix.exe to measure in the same run, for comparison")
    parser.add_argument("--baseline-name", default="baseline",
                        help="its label in the table (for example the git revision)")
    parser.add_argument("--name", default="this tree", help="label of --exe in the table")
    parser.add_argument("--pad-exe", help="the build with the fake pad bus, measured with the pad as "
                        "its output (default: tarvix_with_fake_bus.exe in --bin)")
    parser.add_argument("--outputs", default="vjoy,pad",
                        help="outputs of this tree to measure, comma-separated: vjoy, pad")
    parser.add_argument("--host-bench",
                        default=os.path.join(ROOT, "build", "bench-host", "bin", "tarvix_engine_bench"))
    parser.add_argument("--out", default=os.path.join(ROOT, "build", "bench.json"))
    parser.add_argument("--moves", type=int, default=1000)
    parser.add_argument("--modes", default="default,direct",
                        help="modes of this tree's program to measure, comma-separated: default, direct")
    parser.add_argument("--windows", default="hidden",
                        help="window states to measure: hidden, shown or hidden,shown")
    parser.add_argument("--idle-seconds", type=float, default=10.0)
    parser.add_argument("--rest-moves", type=int, default=8)
    parser.add_argument("--burst-seconds", type=float, default=5.0)
    parser.add_argument("--panel-passes", type=int, default=400)
    parser.add_argument("--write-seconds", type=float, default=5.0)
    parser.add_argument("--micro-min-time", default="0.2")
    parser.add_argument("--start-timeout", type=int, default=90)
    parser.add_argument("--exit-timeout", type=int, default=20)
    opts = parser.parse_args()

    if not os.environ.get("TARVIX_WINE_READY") or not os.environ.get("TARVIX_WINE_DIR"):
        fail("no prepared Wine session: run through scripts/bench")
    exe = opts.exe
    if not exe:
        release = os.path.join(ROOT, "build", "release", "bin", "tarvix.exe")
        exe = release if os.path.exists(release) else os.path.join(opts.bin, "tarvix.exe")
    outputs = opts.outputs.split(",")
    programs = [(opts.name, exe, "vjoy")] if "vjoy" in outputs else []
    if "pad" in outputs:
        programs.append((opts.name + " pad", opts.pad_exe or os.path.join(opts.bin, "tarvix_with_fake_bus.exe"),
                         "pad"))
    if opts.baseline_exe:
        programs.insert(0, (opts.baseline_name, opts.baseline_exe, "vjoy"))
    for needed in [p for _, p, _ in programs] + [os.path.join(opts.bin, "tarvix_input_helper.exe"),
                   os.path.join(opts.bin, "standin", "vJoyInterface.dll")]:
        if not os.path.exists(needed):
            fail("missing " + needed)

    work = os.path.join(os.environ["TARVIX_WINE_DIR"], "bench")
    os.makedirs(work, exist_ok=True)
    report = {
        "version": "0.5.6",
        "machine": machine_info(),
        "settings": dict(SETTINGS),
        "programs": {},
    }
    began = time.monotonic()
    print("run_bench: native engine micro-benchmarks", flush=True)
    report["host_micro"] = host_micro(opts.host_bench, opts.micro_min_time)
    print("run_bench: panel pass under Wine", flush=True)
    report["panel_pass"] = wine_bench(opts.bin, "tarvix_panel_bench", opts.panel_passes)
    print("run_bench: output ticks during slow writes under Wine", flush=True)
    report["write_pass"] = wine_bench(opts.bin, "tarvix_write_bench", opts.write_seconds)
    game = start_game(work)
    try:
        windows = [(w, {"hidden": 1, "shown": 0}[w]) for w in opts.windows.split(",")]
        for label, path, output in programs:
            runs = {"exe": os.path.relpath(path, ROOT)}
            baseline = opts.baseline_exe and path == opts.baseline_exe
            modes = ["default"] if baseline else opts.modes.split(",")
            for mode in modes:
                direct = {"default": 0, "direct": 1}[mode]
                for window, start_min in windows:
                    run = "%s %s" % (mode, window)
                    name = "%s-%s-%s" % ("".join(ch if ch.isalnum() else "_" for ch in label),
                                         mode, window)
                    print("run_bench: %s, %s: timing" % (label, run), flush=True)
                    focus_game(game)
                    timing = run_timing(name, start_min, direct, path, opts.bin, work, opts, output)
                    print("run_bench: %s, %s: CPU" % (label, run), flush=True)
                    focus_game(game)
                    cpu = run_cpu(name, start_min, direct, path, opts.bin, work, opts, output)
                    runs[run] = {"timing": timing, "cpu": cpu}
            report["programs"][label] = runs
    finally:
        game.proc.terminate()
    report["seconds"] = round(time.monotonic() - began, 1)

    os.makedirs(os.path.dirname(opts.out), exist_ok=True)
    with open(opts.out, "w") as f:
        json.dump(report, f, indent=2)
        f.write("\n")
    print()
    print(table(report))
    print("(JSON: %s; run took %s s)" % (os.path.relpath(opts.out, ROOT), report["seconds"]))


if __name__ == "__main__":
    main()
