#!/usr/bin/python3
"""End-to-end tests of the dorvik viewer window.

Starts a private Xvfb, runs the program in it, finds its window by title,
drives it with real X input (xdotool) and identifies the frame on show by
comparing the picture region of a screenshot, pixel for pixel, with the 36
reference frames. The program under test is a parameter, so the same
scenarios run against the Linux build and against the Windows build under
wine.

    dorvik_e2e.py --frames DIR [options] [SCENARIO ...] -- PROGRAM [ARG ...]
    dorvik_e2e.py --list

DIR holds slot00.bmp .. slot35.bmp (the frame of each picture table slot).
With no SCENARIO, every scenario runs. Exit status 0 when all pass.
Needs Debian's python3 (with python3-xlib), Xvfb and xdotool.
"""

import argparse
import copy
import os
import signal
import sys
import time

from e2e_support import (  # noqa: F401  (decode_bmp: for other tools that import this)
    SLOTS, VISIBLE_SIZE, XVFB_SCREEN, Failure, GivenDisplay, Program, Screen, XServer, decode_bmp,
    load_frames, run_xdotool, write_png)

TITLE = "Ostrin Dorvik (for Vud etc)  SpaceBar +-*/,.mouse ESC"
CLIENT_SIZE = (363, 555)
PHASES = 18
POLL_INTERVAL = 0.005  # seconds between two looks at the window

KEY_NAMES = {
    "*": "asterisk", "/": "slash", ".": "period", ",": "comma",
    "+": "plus", "-": "minus", " ": "space", "Escape": "Escape",
}


def phase(slot):
    return slot % PHASES


def picture_set(slot):
    return slot // PHASES


def step(before, after):
    """Phase change from one slot to another, in -8..+9 (forward is positive)."""
    delta = (phase(after) - phase(before)) % PHASES
    return delta - PHASES if delta > PHASES // 2 else delta


# ---------------------------------------------------------------- a run

class StartFailure(Failure):
    """The program showed no frame: it ended, or no window came, in time."""


class Session:
    """One run of the program: its window, what it shows, and input to it."""

    def __init__(self, ctx):
        ctx.sessions.append(self)  # cleaned up even if starting fails
        self.ctx = ctx
        opts = ctx.opts
        self.display = ctx.xserver.display
        self.history = []  # (seconds since start, slot or None)
        self.started = time.monotonic()
        self.last_grab = None
        self.quiet = 1.0  # how long a stopped animation must stand; see _learn_pace
        # The pointer starts outside the window's place, so that no motion
        # reaches the program before a scenario moves it in.
        run_xdotool(self.display, "mousemove", 0, 0)
        self.program = Program(opts.program, dict(os.environ, DISPLAY=self.display))
        self.window = None
        # The window can be replaced while the program sets up its drawing:
        # it counts as found once it shows a frame.
        deadline = time.monotonic() + opts.start_timeout
        while time.monotonic() < deadline:
            self._check_running(StartFailure)
            window = ctx.screen.find_window(opts.title)
            if window is not None:
                self.window = window
                if self.slot() is not None:
                    break
            time.sleep(0.01)
        else:
            raise StartFailure("no window titled %r showed a frame within %.0f s"
                               % (opts.title, opts.start_timeout))
        run_xdotool(self.display, "windowfocus", "--sync", self.window.id)

    def _check_running(self, failure=Failure):
        status = self.program.proc.poll()
        if status is not None:
            out, err = self.program.output()
            raise failure("the program ended with status %d: %s" % (status, (out + err).strip()))

    def grab_client(self):
        ox, oy = self.ctx.opts.client_offset
        return self.ctx.screen.grab(self.window, ox, oy, *CLIENT_SIZE)

    def slot(self):
        """The slot whose frame the picture region shows now, or None."""
        ox, oy = self.ctx.opts.client_offset
        px, py = self.ctx.opts.picture_origin
        pixels = self.ctx.screen.grab(self.window, ox + px, oy + py, *VISIBLE_SIZE)
        self.last_grab = pixels
        slot = self.ctx.frames.get(pixels) if pixels is not None else None
        self.history.append((time.monotonic() - self.started, slot))
        # Polls a few times per frame at most, leaving the processor to the
        # program and the X server.
        time.sleep(POLL_INTERVAL)
        return slot

    def trail(self):
        """The recent distinct observations, for failure messages."""
        seen = []
        for _, slot in self.history:
            if not seen or seen[-1] != slot:
                seen.append(slot)
        return " ".join("?" if s is None else str(s) for s in seen[-40:])

    def wait_for(self, wanted, what, timeout=None):
        """Polls until the slot on show satisfies wanted(slot); returns it."""
        deadline = time.monotonic() + (timeout or self.ctx.opts.timeout)
        while time.monotonic() < deadline:
            self._check_running()
            slot = self.slot()
            if slot is not None and wanted(slot):
                return slot
        raise Failure("waited in vain for %s; slots seen: %s" % (what, self.trail()))

    def wait_for_unknown(self, what):
        """Polls until the picture region shows no frame at all."""
        deadline = time.monotonic() + self.ctx.opts.timeout
        while time.monotonic() < deadline:
            self._check_running()
            if self.slot() is None:
                return
        raise Failure("waited in vain for %s; slots seen: %s" % (what, self.trail()))

    def wait_slot(self, expected):
        return self.wait_for(lambda s: s == expected, "slot %d" % expected)

    def wait_still(self):
        """Polls until the same slot has stood for self.quiet seconds; returns it."""
        deadline = time.monotonic() + self.ctx.opts.timeout + self.quiet
        current, since = None, time.monotonic()
        while time.monotonic() < deadline:
            self._check_running()
            slot = self.slot()
            now = time.monotonic()
            if slot is None or slot != current:
                current, since = slot, now
            elif now - since >= self.quiet:
                return current
        raise Failure("the animation did not stand still; slots seen: %s" % self.trail())

    def watch(self, enough, what, timeout=None):
        """Polls and collects the distinct slots shown (in order) until
        enough(slots) holds; returns them."""
        deadline = time.monotonic() + (timeout or self.ctx.opts.timeout)
        slots, changes = [], []
        while time.monotonic() < deadline:
            self._check_running()
            slot = self.slot()
            if slot is not None and (not slots or slots[-1] != slot):
                slots.append(slot)
                changes.append(time.monotonic())
                if enough(slots):
                    self._learn_pace(changes)
                    return slots
        raise Failure("waited in vain for %s; slots seen: %s" % (what, self.trail()))

    def _learn_pace(self, changes):
        # A stopped animation is one that has not changed for many times the
        # usual gap between frames seen while it ran.
        gaps = sorted(b - a for a, b in zip(changes, changes[1:]))
        if gaps:
            self.quiet = max(self.quiet, 6 * gaps[len(gaps) // 2])

    def watch_running(self, count=4):
        return self.watch(lambda s: len(s) > count, "the animation to run")

    def key(self, name):
        run_xdotool(self.display, "key", KEY_NAMES[name])

    def move(self, x, y):
        """Moves the pointer to a client-area position."""
        ox, oy = self.ctx.opts.client_offset
        run_xdotool(self.display, "mousemove", "--window", self.window.id, "--sync", ox + x, oy + y)

    def click(self, repeat=1):
        run_xdotool(self.display, "click", "--repeat", repeat, "--delay", 100, 1)

    def expect_exit(self, status):
        actual = self.program.exit_status(self.ctx.opts.timeout)
        if actual != status:
            out, err = self.program.output()
            raise Failure("the program ended with status %d, not %d: %s"
                          % (actual, status, (out + err).strip()))

    def close(self):
        self.program.stop()


def check_steps(slots, direction, what):
    """Every change between observed slots is a step in the given direction
    (missed frames make larger steps, never a change of direction)."""
    for before, after in zip(slots, slots[1:]):
        delta = step(before, after)
        if delta == 0 or (delta > 0) != (direction > 0) or picture_set(before) != picture_set(after):
            raise Failure("%s: slot %d followed by slot %d in %s" % (what, before, after, slots))


def stop_animation(s):
    """From a running start-up: "*" stops it; returns the slot it stands on."""
    s.watch_running()
    s.key("*")
    return s.wait_still()


# ---------------------------------------------------------------- scenarios

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


@scenario
def title_and_size(ctx):
    """The window has the exact title, the client size 363 x 555, a fixed size and an icon."""
    s = ctx.session()
    geometry = s.window.get_geometry()
    if (geometry.width, geometry.height) != ctx.opts.window_size:
        raise Failure("window is %dx%d, not %dx%d"
                      % ((geometry.width, geometry.height) + ctx.opts.window_size))
    if ctx.opts.size_hints:
        hints = s.window.get_wm_normal_hints()
        sizes = hints and (hints.min_width, hints.min_height, hints.max_width, hints.max_height)
        if sizes != ctx.opts.window_size * 2:
            raise Failure("the window can be resized: size hints %s" % (sizes,))
    if ctx.opts.icon:
        from Xlib import X
        icon = s.window.get_full_property(ctx.screen.atom("_NET_WM_ICON"), X.AnyPropertyType)
        if icon is None or len(icon.value) < 3 or icon.value[0] * icon.value[1] == 0:
            raise Failure("the window has no icon")
    s.close()


@scenario
def startup_run(ctx):
    """On start the animation runs forwards through all 18 phases of set 0."""
    s = ctx.session()
    slots = s.watch(lambda seen: len({phase(x) for x in seen}) == PHASES and len(seen) > PHASES,
                    "every phase to show", timeout=3 * ctx.opts.timeout)
    check_steps(slots, +1, "start-up run")
    if picture_set(slots[0]) != 0:
        raise Failure("start-up run is in set %d" % picture_set(slots[0]))
    s.close()


@scenario
def stop_and_step(ctx):
    """"*" stops the run; "." steps one frame forwards and "/" one back, and it stays put."""
    s = ctx.session()
    at = stop_animation(s)
    if picture_set(at) != 0:
        raise Failure("stopped in set 1 (slot %d)" % at)
    for key, delta in ((".", 1), (".", 1), ("/", -1), ("/", -1), ("/", -1)):
        s.key(key)
        at = (phase(at) + delta) % PHASES
        s.wait_slot(at)
        if s.wait_still() != at:
            raise Failure('"%s" did not stop on slot %d: %s' % (key, at, s.trail()))
    s.close()


@scenario
def space_switches_set(ctx):
    """Space shows the other set at the same phase, running and stopped."""
    s = ctx.session()
    s.watch_running()
    s.key(" ")
    slots = s.watch(lambda seen: sum(picture_set(x) for x in seen) >= 4, "set 1 to run")
    switch = next(i for i, x in enumerate(slots) if picture_set(x) == 1)
    check_steps(slots[:switch], +1, "before the switch")
    check_steps(slots[switch:], +1, "after the switch")
    if switch > 0 and not 0 <= step(slots[switch - 1], slots[switch]) <= PHASES // 2:
        raise Failure("the switch lost the phase: %s" % slots)
    s.key("*")
    at = s.wait_still()
    for _ in range(2):
        s.key(" ")
        at = (at + PHASES) % SLOTS
        s.wait_slot(at)
        if s.wait_still() != at:
            raise Failure("space did not keep slot %d standing: %s" % (at, s.trail()))
    s.close()


@scenario
def run_directions(ctx):
    """"-" runs backwards, "+" and "," forwards; "*" stops either run."""
    s = ctx.session()
    stop_animation(s)
    for key, direction in (("-", -1), ("+", +1), ("-", -1), (",", +1)):
        s.key(key)
        # Standing before the key, so every change seen is the new run's.
        slots = s.watch(lambda seen: len(seen) > 6, 'the run after "%s"' % key)
        check_steps(slots, direction, 'run after "%s"' % key)
        s.key("*")
        s.wait_still()
    s.close()


@scenario
def click_scrub_and_resume(ctx):
    """A click enters scrub mode: moves down step forwards, up step back; a
    second click resumes the run saved by the first."""
    s = ctx.session()
    s.watch_running()
    x, y = 180, 100
    s.move(x, y)
    s.click()
    first_click = time.monotonic()
    y += 12
    s.move(x, y)  # the first scrub move stops the run one frame on
    at = s.wait_still()
    for dy, delta in ((12, 1), (12, 1), (-6, -1), (-10, -1)):
        y += dy
        s.move(x, y)
        at = (phase(at) + delta) % PHASES
        s.wait_slot(at)
        if s.wait_still() != at:
            raise Failure("the scrub move did not stop on slot %d: %s" % (at, s.trail()))
    # Keep the second click clear of the double-click time.
    while time.monotonic() - first_click < 1.0:
        s.slot()
    s.click()
    slots = s.watch(lambda seen: len(seen) > 5, "the saved run to resume")
    if any(picture_set(x) != 0 for x in slots):
        raise Failure("the resumed run left set 0: %s" % slots)
    s.close()


@scenario
def repaint_when_uncovered(ctx):
    """A standing picture that another window covered is painted again when
    uncovered."""
    s = ctx.session()
    at = stop_animation(s)
    cover = ctx.screen.cover(s.window, *ctx.opts.window_size)
    try:
        s.wait_for_unknown("the cover to hide the picture")
    finally:
        ctx.screen.uncover(cover)
    s.wait_slot(at)
    s.close()


@scenario
def escape_quits(ctx):
    """Escape ends the program with status 0."""
    s = ctx.session()
    s.watch_running()
    s.key("Escape")
    s.expect_exit(0)


@scenario
def double_click_quits(ctx):
    """A double-click on the display area ends the program with status 0."""
    s = ctx.session()
    s.watch_running()
    s.move(120, 200)
    s.click(repeat=2)
    s.expect_exit(0)


@scenario
def close_request_quits(ctx):
    """A close request from the window system ends the program with status 0."""
    s = ctx.session()
    s.watch_running()
    ctx.screen.send_close_request(s.window)
    s.expect_exit(0)


@scenario
def no_display(ctx):
    """Without a display: one line naming the problem and a non-zero status."""
    unused = next(n for n in range(90, 1000) if not os.path.exists("/tmp/.X11-unix/X%d" % n)
                  and not os.path.exists("/tmp/.X%d-lock" % n))
    base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    for case, env in (("DISPLAY unset", base), ("no server", dict(base, DISPLAY=":%d" % unused))):
        program = Program(ctx.opts.program, env)
        try:
            status = program.exit_status(ctx.opts.timeout)
            out, err = program.output()
        finally:
            program.stop()
        lines = [line for line in (out + err).splitlines() if line.strip()]
        if status == 0 or len(lines) != 1 or "display" not in lines[0].lower():
            raise Failure("%s: status %d, output %r" % (case, status, out + err))


@scenario
def x_server_lost(ctx):
    """The X server going away while the program plays (a display closed, a
    remote session dropped) ends it with one line on standard error and a
    non-zero status, not a hang or a spin."""
    own = XServer(ctx.opts.timeout)  # a server of its own, to kill
    private = copy.copy(ctx)
    private.xserver = own
    try:
        private.screen = Screen(own.display)
        s = private.session()
        s.watch_running()
        own.proc.kill()
        killed = time.monotonic()
        own.proc.wait()
        status = s.program.exit_status(ctx.opts.timeout)
        print("  ended %.2f s after its X server, status %d" % (time.monotonic() - killed, status))
        out, err = s.program.output()
        lines = err.splitlines()
        if status <= 0 or out or len(lines) != 1 or "display" not in lines[0]:
            raise Failure("status %d, output %r, errors %r" % (status, out, err))
    finally:
        ctx.close_sessions()
        own.stop()


@scenario
def screenshot(ctx):
    """Stops on phase 4 of set 1 (the valve wide open) and saves the window."""
    s = ctx.session()
    at = stop_animation(s)
    while phase(at) != 4:
        s.key(".")
        at = s.wait_slot((phase(at) + 1) % PHASES)
    s.key(" ")
    s.wait_slot(PHASES + 4)
    if s.wait_still() != PHASES + 4:
        raise Failure("did not stand on slot 22: %s" % s.trail())
    pixels = s.grab_client()
    if pixels is None:
        raise Failure("could not read the window")
    if ctx.opts.screenshot:
        write_png(ctx.opts.screenshot, CLIENT_SIZE[0], CLIENT_SIZE[1], pixels)
    s.close()


# ---------------------------------------------------------------- driver

class Context:
    def __init__(self, opts, frames):
        self.opts = opts
        self.frames = frames
        self.xserver = GivenDisplay(opts.display) if opts.display else XServer(opts.timeout)
        self.screen = None
        self.sessions = []
        try:
            self.screen = Screen(self.xserver.display)
        except Exception:
            self.xserver.stop()
            raise

    def session(self):
        return Session(self)

    def close_sessions(self, failure_name=None):
        for s in self.sessions:
            if failure_name and getattr(s, "last_grab", None) is not None:
                save_failure_picture(s, failure_name)
            if hasattr(s, "program"):
                s.close()
        self.sessions = []

    def close(self):
        self.close_sessions()
        if self.screen is not None:
            self.screen.close()
        self.xserver.stop()


def save_failure_picture(s, name):
    path = os.path.abspath("e2e-%s-failure.png" % name)
    write_png(path, VISIBLE_SIZE[0], VISIBLE_SIZE[1], s.last_grab)
    out, err = s.program.output()
    print("  last picture region: %s\n  program output: %s" % (path, (out + err).strip() or "none"))


def pair(text):
    a, b = text.replace("x", ",").split(",")
    return int(a), int(b)


def parse(argv):
    if "--" in argv:
        split = argv.index("--")
        argv, program = argv[:split], argv[split + 1:]
    else:
        program = []
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("scenarios", nargs="*", help="scenarios to run (default: all)")
    parser.add_argument("--list", action="store_true", help="print the scenario names and exit")
    parser.add_argument("--frames", help="directory with slot00.bmp .. slot35.bmp")
    parser.add_argument("--title", default=TITLE, help="the window's exact title")
    parser.add_argument("--window-size", type=pair, default=CLIENT_SIZE,
                        help="size of the titled X window, WxH (default 363x555)")
    parser.add_argument("--client-offset", type=pair, default=(0, 0),
                        help="where the client area lies in the titled X window, X,Y (default 0,0)")
    parser.add_argument("--picture-origin", type=pair, default=(2, 2),
                        help="where the picture starts in the client area, X,Y (default 2,2)")
    parser.add_argument("--no-size-hints", dest="size_hints", action="store_false",
                        help="skip the check that the window manager is told a fixed size")
    parser.add_argument("--no-icon", dest="icon", action="store_false",
                        help="skip the check of the window's _NET_WM_ICON")
    parser.add_argument("--screenshot", help="PNG file the screenshot scenario writes")
    parser.add_argument("--start-timeout", type=float, default=30,
                        help="seconds for the window to show its first frame (default 30)")
    parser.add_argument("--display",
                        help="run in this X display (%s, no window manager) instead of a private Xvfb"
                        % XVFB_SCREEN)
    parser.add_argument("--timeout", type=float, default=20,
                        help="seconds to wait for any other state (default 20)")
    opts = parser.parse_args(argv)
    opts.program = program
    unknown = [name for name in opts.scenarios if name not in SCENARIOS]
    if unknown:
        parser.error("unknown scenarios: %s (see --list)" % " ".join(unknown))
    if not opts.list and (not opts.frames or not program):
        parser.error("needs --frames DIR and -- PROGRAM")
    return opts


def main(argv):
    opts = parse(argv)
    if opts.list:
        print("\n".join(SCENARIOS))
        return 0
    # A terminating signal (ctest's timeout) still runs the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    frames = load_frames(opts.frames)
    ctx = Context(opts, frames)
    passed = failed = 0
    try:
        for name in opts.scenarios or list(SCENARIOS):
            began = time.monotonic()
            try:
                SCENARIOS[name](ctx)
                ctx.close_sessions()
                passed += 1
                print("PASS %s (%.1f s)" % (name, time.monotonic() - began), flush=True)
            except Failure as failure:
                failed += 1
                print("FAIL %s: %s" % (name, failure), flush=True)
                ctx.close_sessions(failure_name=name)
    finally:
        ctx.close()
    print("%d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
