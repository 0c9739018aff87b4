#!/usr/bin/python3
"""Figures of the Linux window, measured under a private Xvfb:

- process start to first frame on screen, for dorvik and for ImageMagick's
  `animate` looping a GIF of the same 36 frames;
- peak resident memory of each while it plays;
- the cost of one pass with k < 0 and the heap allocations per pass, one pass
  at the start pace, and one counted iteration (sdl_pass_bench).

    window_bench.py BUILD_DIR [RUNS] [--before OTHER_BUILD_DIR] [--wayland SCALE]

BUILD_DIR is a default-preset build (bin/dorvik, bin/sdl_pass_bench,
bin/dorvik-frames). With --before, a build of another commit is measured in
the same run, its starts interleaved with this build's, so that both meet the
same load. With --wayland, dorvik alone on a private sway at SCALE.
Prints the results as Markdown.
"""

import argparse
import json
import os
import select
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import e2e_support as e2e  # noqa: E402  (Xvfb, window lookup, frame matching)
from dorvik_e2e import TITLE  # noqa: E402
from wayland_support import Compositor  # noqa: E402

PLAY_SECONDS = 2.0  # how long each program plays before its peak memory is read
POLL_INTERVAL = 0.003  # seconds between two looks for the first frame
CONVERT = "/usr/bin/convert-im6.q16"  # ImageMagick's own, whatever else is on PATH


def peak_rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmHWM:"):
                return int(line.split()[1])
    return None


def start_once(screen, display, argv, title, origin, env_extra=None, report_line=False):
    """Starts argv; returns (ms to the first frame seen on screen, ms to the
    program's own first-frame line or None, peak RSS in KiB after playing)."""
    env = dict(os.environ, **({"DISPLAY": display} if display else {}), **(env_extra or {}))
    started = time.monotonic_ns()
    proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, preexec_fn=e2e.die_with_parent)
    try:
        seen = None
        deadline = time.monotonic() + 30
        while seen is None and time.monotonic() < deadline:
            window = screen.find_window(title)
            if window is not None:
                (w, h), k = e2e.VISIBLE_SIZE, getattr(screen, "scale", 1)
                pixels = e2e.unblock(screen.grab(window, k * origin[0], k * origin[1], k * w, k * h),
                                     w, h, k)
                if pixels is not None and pixels in FRAMES:
                    seen = time.monotonic_ns()
            if proc.poll() is not None:
                raise RuntimeError("%s ended with status %d" % (argv[0], proc.returncode))
            # Each look costs the X server a screenshot: look often enough to
            # time the start, not so often that the looking slows it.
            time.sleep(POLL_INTERVAL)
        if seen is None:
            raise RuntimeError("%s showed no frame within 30 s" % argv[0])
        reported = None
        if report_line and select.select([proc.stdout], [], [], 5)[0]:
            line = proc.stdout.readline().decode()
            if line.startswith("dorvik: first frame "):
                reported = (int(line.split()[-1]) - started) / 1e6
        time.sleep(max(0.0, started / 1e9 + PLAY_SECONDS - time.monotonic()))
        return (seen - started) / 1e6, reported, peak_rss_kib(proc.pid)
    finally:
        e2e.stop_process(proc)


def summary(values):
    values = [v for v in values if v is not None]
    if not values:
        return "n/a"
    return "%.0f (%.0f–%.0f)" % (statistics.median(values), min(values), max(values))


def pass_bench(build, display):
    out = subprocess.run(
        [os.path.join(build, "bin", "sdl_pass_bench"), "--benchmark_format=json"],
        env=dict(os.environ, DISPLAY=display), capture_output=True, text=True, check=True).stdout
    return {b["name"].split("/")[0]: b for b in json.loads(out)["benchmarks"]}


def parse(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", help="the default-preset build to measure")
    parser.add_argument("runs", nargs="?", type=int, default=10, help="starts of each program")
    parser.add_argument("--before", help="a build of an earlier commit, measured beside it")
    parser.add_argument("--wayland", type=int, metavar="SCALE", help="on sway at SCALE, not Xvfb")
    return parser.parse_args(argv)


def main(argv):
    opts = parse(argv[1:])
    build = os.path.abspath(opts.build)
    runs = opts.runs
    builds = [("this build", build)]
    if opts.before:
        builds.append(("before", os.path.abspath(opts.before)))
    work = tempfile.mkdtemp(prefix="dorvik-bench-")
    frames_dir = os.path.join(work, "frames")
    subprocess.run([os.path.join(build, "bin", "dorvik-frames"), frames_dir], check=True,
                   stdout=subprocess.DEVNULL)
    global FRAMES
    FRAMES = e2e.load_frames(frames_dir)
    gif = os.path.join(work, "frames.gif")
    slots = [os.path.join(frames_dir, "slot%02d.bmp" % s) for s in range(e2e.SLOTS)]
    subprocess.run([CONVERT, "-delay", "10", "-loop", "0"] + slots + [gif], check=True)

    if opts.wayland:  # no X: no animate, no sdl_pass_bench
        xserver = screen = Compositor(30, opts.wayland)
        os.environ.pop("DISPLAY", None)
        os.environ.update(xserver.env)
    else:
        xserver = e2e.XServer(30)
        screen = e2e.Screen(xserver.display)
    try:
        # Keep the pointer off the windows: a move over dorvik changes its pace.
        if xserver.display:
            e2e.run_xdotool(xserver.display, "mousemove", 1279, 1023)
        animate = ["animate", "-title", "dorvik-bench-animate", "-geometry", "+0+0", gif]
        starts = {name: [] for name, _ in builds}
        starts["animate"] = []
        for _ in range(runs):  # interleaved, so load changes hit all alike
            for name, path in builds:
                starts[name].append(start_once(
                    screen, xserver.display, [os.path.join(path, "bin", "dorvik")], TITLE, (2, 2),
                    {"DORVIK_REPORT_FIRST_FRAME": "1"}, True))
            if xserver.display:
                starts["animate"].append(start_once(screen, xserver.display, animate,
                                                    "dorvik-bench-animate", (0, 0)))
        passes = {}
        for _ in range(2 if xserver.display else 0):  # twice each, alternating, as above
            for name, path in builds:
                passes.setdefault(name, []).append(pass_bench(path, xserver.display))
    finally:
        screen.close()
        xserver.stop()

    print("Start-up and memory, %d runs each, median (min–max); a frame counts as shown when "
          "a screenshot of the window, taken every 3 ms or so, matches one of the 36 frames "
          "pixel for pixel.\n" % runs)
    print("| Program | Start to first frame seen (ms) | Start to first present, own report (ms) "
          "| Peak RSS while playing (MiB) |")
    print("|---|---|---|---|")
    for name in [n for n, _ in builds] + (["animate"] if starts["animate"] else []):
        label = "ImageMagick animate (GIF)" if name == "animate" else "dorvik, %s" % name
        seen, reported, rss = zip(*starts[name])
        print("| %s | %s | %s | %s |" % (label, summary(seen), summary(reported),
                                          summary([r / 1024 for r in rss if r])))
    if not passes:
        return 0
    print("\nOne pass (show + pump + paint), sdl_pass_bench, run twice for each build, "
          "alternating (both figures):\n")
    print("| Build | One pass with k < 0 (µs) | Heap allocations per pass "
          "| of which in libX11/libxcb | elsewhere (program, SDL, C++ library) "
          "| One pass at the start pace (ms) | One counted iteration (ns) |")
    print("|---|---|---|---|---|---|---|")
    for name, _ in builds:
        runs_of = passes[name]

        def both(bench, key, scale=1.0, form="%.1f"):
            return ", ".join(form % (r[bench][key] * scale) for r in runs_of)

        print("| %s | %s | %s | %s | %s | %s | %s |" % (
            name, both("BM_PassWithNegativeK", "real_time"),
            both("BM_PassWithNegativeK", "allocs_per_pass", form="%g"),
            both("BM_AllocationsByOrigin", "x_libraries_per_pass", form="%g"),
            both("BM_AllocationsByOrigin", "elsewhere_per_pass", form="%g"),
            both("BM_PassAtStartPace", "real_time"),
            both("BM_CountedIteration", "real_time", 1e6 / 1000001)))


if __name__ == "__main__":
    sys.exit(main(sys.argv))
