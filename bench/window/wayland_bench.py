#!/usr/bin/python3
"""The Linux window on a private Wayland desktop (sway, headless, pixman):
start to first present (the program's own report) and peak resident memory
after two seconds of playing, for each program given, at each scale.

    wayland_bench.py RUNS NAME=PROGRAM [NAME=PROGRAM ...] [--env NAME VAR=VALUE]

--env gives one program an environment variable of its own (for instance
SDL_FRAMEBUFFER_ACCELERATION=1, SDL's window surface through a renderer).
Starts are interleaved, so that load changes hit all alike. Prints Markdown.
"""

import os
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
from e2e_support import die_with_parent, stop_process  # noqa: E402
from wayland_support import Compositor  # noqa: E402
from window_bench import peak_rss_kib, summary  # noqa: E402


def start_once(compositor, argv, extra):
    env = dict(compositor.program_env(), DORVIK_REPORT_FIRST_FRAME="1", **extra)
    started = time.monotonic_ns()
    proc = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            preexec_fn=die_with_parent)
    try:
        line = proc.stdout.readline().decode()
        if not line.startswith("dorvik: first frame "):
            raise RuntimeError("%s showed no frame: %r" % (argv[0], line))
        time.sleep(max(0.0, started / 1e9 + 2 - time.monotonic()))
        return (int(line.split()[-1]) - started) / 1e6, peak_rss_kib(proc.pid) / 1024
    finally:
        stop_process(proc)


def main(argv):
    runs, programs, extra = int(argv[0]), [], {}
    args = iter(argv[1:])
    for arg in args:
        if arg == "--env":
            name, setting = next(args), next(args)
            extra.setdefault(name, {}).update([setting.split("=", 1)])
        else:
            programs.append(arg.split("=", 1))
    print("| Program | Scale | Start to first present (ms) | Peak RSS while playing (MiB) |")
    print("|---|---|---|---|")
    for scale in (1, 2):
        compositor = Compositor(30, scale)
        try:
            results = {name: [] for name, _ in programs}
            for _ in range(runs):
                for name, program in programs:
                    results[name].append(start_once(compositor, [program], extra.get(name, {})))
        finally:
            compositor.stop()
        for name, _ in programs:
            first, rss = zip(*results[name])
            print("| %s | %d | %s | %s |" % (name, scale, summary(first), summary(rss)))


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
