#!/usr/bin/python3
"""Soak of the dorvik window: minutes of random real input under a private Xvfb.

Runs dorvik and feeds it random X input through xdotool: the characters of
its key table and others (letters, digits, Enter, Backspace, keys that type
nothing, non-ASCII text), key repeats and held keys, pointer moves and drags
(also beyond the window's edges), clicks (scrub mode on and off), and other windows that
cover and uncover it; never a double-click or Escape. All the time it checks
that the program lives and that every screenshot of the display area shows
one of the 36 frames pixel for pixel (except while covered, and until the
picture is back after that), and samples the program's resident memory. At
the end Escape must end it with status 0.

    soak.py [--seconds S] [--seed N] [--max-growth KIB] [BUILD_DIR | --program PATH]

BUILD_DIR (default: build) is a default-preset build; --program runs another
dorvik (an installed one, say), with the dorvik-frames beside it for the
reference frames unless --frames-tool names one. Prints what it sent and saw;
exit status 0 when nothing went wrong, 1 at the first fault.
"""

import argparse
import collections
import os
import random
import signal
import subprocess
import sys
import tempfile
import time
import types

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "e2e"))
import e2e_support as e2e  # noqa: E402  (Xvfb, the program, screenshots, frames, xdotool)
from dorvik_e2e import DesktopSession  # noqa: E402

TABLE_KEYS = ["minus", "plus", "comma", "slash", "asterisk", "period", "space"]
OTHER_KEYS = (list("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789")
              + ["Return", "KP_Enter", "BackSpace", "Tab", "equal", "exclam", "at", "numbersign",
                 "Left", "Right", "Up", "Down", "F1", "F5", "Home", "Shift_L", "Control_L",
                 "shift+plus", "ctrl+a", "alt+x", "KP_Add", "KP_Subtract", "KP_Multiply",
                 "KP_Divide", "KP_Decimal"])
NON_ASCII = "éßжü€漢ñ¿ÆΩ"
# SDL on X counts a second press as a double-click within 500 ms and 32
# pixels of the first, timed when its event pump takes the press, which can
# be one playback pass (a fraction of a second at the slowest pace) after it
# was sent: presses here are 1.5 s apart at least.
PRESS_GAP = 1.5
REPAINT_GRACE = 5.0  # seconds for the picture to be back once uncovered
BEYOND = 150  # how far past the window's edges the pointer goes


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    raise e2e.Failure("no VmRSS for process %d" % pid)


class Soak:
    def __init__(self, session, rng):
        self.s = session
        self.rng = rng
        self.display = session.display
        self.sent = collections.Counter()  # input events sent, by kind
        self.frames_seen = 0
        self.slots_seen = set()
        self.last_press = -PRESS_GAP
        self.cover = None
        self.grace_until = None  # uncovered: a frame must be back by then
        origin = session.window.translate_coords(session.ctx.screen.dpy.screen().root, 0, 0)
        self.left, self.top = -origin.x, -origin.y

    # ------------------------------------------------------------ input

    def xdotool(self, *args):
        e2e.run_xdotool(self.display, *args)

    def point(self, beyond=False):
        """A random screen position over the window, or up to BEYOND past its edges."""
        margin = BEYOND if beyond else 0
        width, height = self.s.ctx.opts.client_size
        return (self.left + self.rng.randint(-margin, width - 1 + margin),
                self.top + self.rng.randint(-margin, height - 1 + margin))

    def keys(self):
        names = [self.rng.choice(TABLE_KEYS if self.rng.random() < 0.6 else OTHER_KEYS)
                 for _ in range(self.rng.randint(1, 5))]
        self.xdotool("key", "--delay", self.rng.randint(0, 40), *names)
        self.sent["key"] += len(names)

    def key_repeat(self):
        count = self.rng.randint(5, 40)
        name = self.rng.choice(TABLE_KEYS + OTHER_KEYS[:10])
        self.xdotool("key", "--repeat", count, "--delay", self.rng.randint(5, 30), name)
        self.sent["key"] += count

    def key_held(self):
        # Held past the X server's repeat delay (660 ms) it repeats, and SDL
        # reports the repeats as key-downs and text.
        name = self.rng.choice(TABLE_KEYS + ["a", "Return", "BackSpace"])
        self.xdotool("keydown", name, "sleep", round(self.rng.uniform(0.4, 1.5), 2), "keyup", name)
        self.sent["key held down"] += 1

    def text(self):
        chars = "".join(self.rng.choice(NON_ASCII + "xyz+-*/., ") for _ in range(self.rng.randint(1, 6)))
        if chars.startswith("-"):  # not to be read as an option
            chars = "é" + chars
        self.xdotool("type", "--delay", 10, chars)
        self.sent["character typed"] += len(chars)

    def moves(self):
        args = []
        for _ in range(self.rng.randint(1, 8)):
            args += ["mousemove", *self.point(beyond=self.rng.random() < 0.3)]
        self.xdotool(*args)
        self.sent["pointer move"] += len(args) // 3

    def press_allowed(self):
        return time.monotonic() - self.last_press >= PRESS_GAP

    def click(self):
        button = 1 if self.rng.random() < 0.85 else self.rng.choice((2, 3))
        self.xdotool("mousemove", *self.point(), "click", button)
        self.last_press = time.monotonic()
        self.sent["pointer move"] += 1
        self.sent["click"] += 1

    def drag(self):
        args = ["mousemove", *self.point(), "mousedown", 1]
        steps = self.rng.randint(2, 10)
        for _ in range(steps):
            args += ["mousemove", *self.point(beyond=True), "sleep", 0.02]
        args += ["mousemove", *self.point(beyond=self.rng.random() < 0.5), "mouseup", 1]
        self.xdotool(*args)
        self.last_press = time.monotonic()
        self.sent["pointer move"] += steps + 2
        self.sent["drag (press, moves, release)"] += 1

    def cover_or_uncover(self):
        screen = self.s.ctx.screen
        if self.cover is None:
            client_width, client_height = self.s.ctx.opts.client_size
            width = self.rng.randint(20, client_width + BEYOND)
            height = self.rng.randint(20, client_height + BEYOND)
            self.cover = screen.cover(self.s.window, width, height)
            self.sent["window covered"] += 1
        else:
            screen.uncover(self.cover)
            self.cover = None
            self.grace_until = time.monotonic() + REPAINT_GRACE
            self.sent["window uncovered"] += 1

    def act(self):
        actions = [(self.keys, 30), (self.key_repeat, 6), (self.key_held, 2), (self.text, 6),
                   (self.moves, 30),
                   (self.cover_or_uncover, 3)]
        if self.press_allowed():
            actions += [(self.click, 12), (self.drag, 6)]
        action = self.rng.choices([a for a, _ in actions], [w for _, w in actions])[0]
        action()

    # ------------------------------------------------------------ checks

    def look(self):
        """One screenshot of the display area: a frame, unless covered or
        just uncovered; fails otherwise."""
        self.s._check_running()
        slot = self.s.slot()
        now = time.monotonic()
        if slot is not None:
            self.frames_seen += 1
            self.slots_seen.add(slot)
            self.grace_until = None
        elif self.cover is None:
            if self.grace_until is None:
                raise e2e.Failure("a screenshot of the display area shows no frame; slots seen: %s"
                                  % self.s.trail())
            if now > self.grace_until:
                raise e2e.Failure("no frame %.0f s after the window was uncovered" % REPAINT_GRACE)


def run(opts, frames_dir):
    frames = e2e.load_frames(frames_dir)
    title, client_size = e2e.load_window(frames_dir)
    xserver = e2e.XServer(30)
    screen = None
    ctx = types.SimpleNamespace(
        xserver=xserver, frames=frames, sessions=[],
        opts=types.SimpleNamespace(program=[opts.program], title=title, client_size=client_size,
                                   start_timeout=30,
                                   client_offset=(0, 0), picture_origin=(2, 2), timeout=20,
                                   scale=1, rescale=False))
    rng = random.Random(opts.seed)
    try:
        ctx.screen = screen = e2e.Screen(xserver.display)
        session = DesktopSession(ctx)
        soak = Soak(session, rng)
        pid = session.program.proc.pid
        began = time.monotonic()
        end = began + opts.seconds
        rss_at_10 = None
        rss_highest = rss_kib(pid)
        next_sample = began + 1
        while time.monotonic() < end:
            soak.act()
            for _ in range(rng.randint(1, 3)):
                soak.look()
            now = time.monotonic()
            if now >= next_sample:
                rss = rss_kib(pid)
                rss_highest = max(rss_highest, rss)
                if rss_at_10 is None and now - began >= 10:
                    rss_at_10 = rss
                next_sample = now + 1
        if soak.cover is not None:
            soak.cover_or_uncover()
        while soak.grace_until is not None:
            soak.look()
        rss_end = rss_kib(pid)
        session.key("Escape")
        session.expect_exit(0)
    except e2e.Failure:
        if screen is not None and ctx.sessions and ctx.sessions[0].last_grab is not None:
            path = os.path.abspath("soak-failure.png")
            e2e.write_png(path, e2e.VISIBLE_SIZE[0], e2e.VISIBLE_SIZE[1], ctx.sessions[0].last_grab)
            print("last picture region: %s" % path)
        if ctx.sessions:
            out, err = ctx.sessions[0].program.output()
            print("program output: %s" % ((out + err).strip() or "none"))
        raise
    finally:
        for s in ctx.sessions:
            s.close()
        if screen is not None:
            screen.close()
        xserver.stop()

    total = sum(soak.sent.values())
    print("soak: %.0f s, seed %d" % (opts.seconds, opts.seed))
    print("input events sent: %d (%s)" % (total, ", ".join(
        "%s %d" % (kind, n) for kind, n in sorted(soak.sent.items()))))
    print("screenshots that showed a frame: %d, of %d different slots" % (
        soak.frames_seen, len(soak.slots_seen)))
    if rss_at_10 is None:
        rss_at_10 = rss_end
    print("resident memory: %.1f MiB at 10 s, %.1f MiB at the end (%+d KiB), "
          "%.1f MiB at most (sampled every second)" % (
              rss_at_10 / 1024, rss_end / 1024, rss_end - rss_at_10, rss_highest / 1024))
    if rss_end - rss_at_10 > opts.max_growth:
        raise e2e.Failure("resident memory grew by %d KiB, more than %d"
                          % (rss_end - rss_at_10, opts.max_growth))


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("build", nargs="?", default="build", help="a default-preset build (default: build)")
    parser.add_argument("--program", help="the dorvik to run (default: BUILD_DIR/bin/dorvik)")
    parser.add_argument("--frames-tool", help="the dorvik-frames that writes the reference frames "
                        "(default: the one beside the program)")
    parser.add_argument("--seconds", type=float, default=600, help="how long to soak (default 600)")
    parser.add_argument("--seed", type=int, help="seed of the random input (default: from the clock)")
    parser.add_argument("--max-growth", type=int, default=1024,
                        help="KiB the resident memory may grow from 10 s to the end (default 1024)")
    opts = parser.parse_args(argv)
    opts.program = os.path.abspath(opts.program or os.path.join(opts.build, "bin", "dorvik"))
    frames_tool = opts.frames_tool or os.path.join(os.path.dirname(opts.program), "dorvik-frames")
    if opts.seed is None:
        opts.seed = int(time.time())
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    with tempfile.TemporaryDirectory(prefix="dorvik-soak-") as work:
        subprocess.run([frames_tool, work], check=True, stdout=subprocess.DEVNULL)
        try:
            run(opts, work)
        except e2e.Failure as failure:
            print("FAIL soak (seed %d): %s" % (opts.seed, failure), flush=True)
            return 1
    print("PASS soak")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
