#!/usr/bin/python3
"""End-to-end tests of the dorvik viewer window.

Starts a private Xvfb, runs the program in it, finds its window by title,
drives it with real X input (xdotool) and identifies the frame on show by
comparing the picture region of a screenshot, pixel for pixel, with the 36
reference frames. The program under test is a parameter, so the same
scenarios run against the Linux build and against the Windows build under
wine. With --web, the scenarios marked @on_page run against the page in
headless Chromium instead (a fresh tab each, real browser input events,
screenshots of the canvas; tests/web/bridge.mjs); with --touch too, those of
TOUCH_SCENARIOS on a touch phone: keys tapped on the page, a finger as pointer.
With --wayland, the program runs on a private sway instead of Xvfb
(wayland_support.py); with --scale N, on a desktop at that scale, each pixel
checked as an N x N block; with --rescale too, on one at scale 1 that
changes to N when the window first shows.

    dorvik_e2e.py --frames DIR [options] [SCENARIO ...] -- PROGRAM [ARG ...]
    dorvik_e2e.py --frames DIR --web PAGE_DIR [options] [SCENARIO ...]
    dorvik_e2e.py [--web PAGE_DIR] --list

DIR holds slot00.bmp .. slot35.bmp (the frame of each picture table slot)
and window.json (the window's title and client size), as dorvik-frames
writes them.
With no SCENARIO, every scenario runs. Exit status 0 when all pass.
Needs Debian's python3 (with python3-xlib), Xvfb and xdotool; with --web,
Node.js, Debian's Chromium and the npm packages of tests/web (npm ci there).
"""

import argparse
import base64
import copy
import hashlib
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time

from e2e_support import (  # noqa: F401  (decode_bmp: for other tools that import this)
    FRAME_SIZE, SLOTS, VISIBLE_SIZE, XVFB_SCREEN, Failure, GivenDisplay, PageBridge, Program,
    Screen, XServer, decode_bmp, load_frames, load_whole_frames, load_window, run_xdotool, sharpness,
    unblock, write_png)
from wayland_support import Compositor

PHASES = 18
POLL_INTERVAL = 0.005  # seconds between two looks at the window
WAYLAND_REQUEST = re.compile(r"\[\s*\d+\.\d+\] ")  # a line of WAYLAND_DEBUG's log


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
    """One run of the program: what it shows, and input to it. The polling
    and waiting are the same for every target; the subclasses say how to
    start the program, look at it and give it input."""

    key_names = {}

    def __init__(self, ctx, **how):
        ctx.sessions.append(self)  # cleaned up even if starting fails
        self.how = how
        self.ctx = ctx
        self.history = []  # (seconds since start, slot or None)
        self.started = time.monotonic()
        self.last_grab = None
        self.quiet = 1.0  # how long a stopped animation must stand; see _learn_pace
        self._start()
        deadline = time.monotonic() + ctx.opts.start_timeout
        while time.monotonic() < deadline:
            self._check_running(StartFailure)
            if self._ready() and self.slot() is not None:
                break
            time.sleep(0.01)
        else:
            raise StartFailure(self._no_start_message())
        self._focus()

    def _ready(self):
        return True

    def _focus(self):
        pass

    def _check_running(self, failure=Failure):
        pass

    def slot(self):
        """The slot whose frame the picture region shows now, or None."""
        slot = self._look()
        self.history.append((time.monotonic() - self.started, slot))
        # Polls a few times per frame at most, leaving the processor to the
        # program and the X server.
        time.sleep(POLL_INTERVAL)
        return slot

    def _look(self):
        """The slot of the frame in the picture region, pixel for pixel, or None."""
        px, py = self.ctx.opts.picture_origin
        pixels = self._grab(px, py, *VISIBLE_SIZE)
        self.last_grab = pixels
        return self.ctx.frames.get(pixels) if pixels is not None else None

    def grab_client(self):
        return self._grab(0, 0, *self.ctx.opts.client_size)

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


class DesktopSession(Session):
    """The program in the private X display, driven with xdotool."""

    key_names = {
        "*": "asterisk", "/": "slash", ".": "period", ",": "comma",
        "+": "plus", "-": "minus", " ": "space", "Escape": "Escape",
        "A": "A", "a": "a", "5": "5", "Enter": "Return", "Backspace": "BackSpace",
        "Left": "Left", "F2": "F2", "Shift": "Shift_L",
    }

    def _start(self):
        self.display = self.ctx.xserver.display
        # The pointer starts outside the window's place, so that no motion
        # reaches the program before a scenario moves it in.
        run_xdotool(self.display, "mousemove", 0, 0)
        self.program = Program(self.ctx.opts.program, dict(os.environ, DISPLAY=self.display))
        self.window = None

    def _ready(self):
        # The window can be replaced while the program sets up its drawing:
        # it counts as found once it shows a frame.
        window = self.ctx.screen.find_window(self.ctx.opts.title)
        if window is not None and self.window is None and self.ctx.opts.rescale:
            self._rescale()
        if window is not None:
            self.window = window
        return window is not None

    def _rescale(self):
        """The desktop changes to --scale while the program runs."""
        self.ctx.xserver.set_dpi(96 * self.ctx.opts.scale)

    def _no_start_message(self):
        return ("no window titled %r showed a frame within %.0f s"
                % (self.ctx.opts.title, self.ctx.opts.start_timeout))

    def _focus(self):
        run_xdotool(self.display, "windowfocus", "--sync", self.window.id)

    def _check_running(self, failure=Failure):
        status = self.program.proc.poll()
        if status is not None:
            out, err = self.program.output()
            raise failure("the program ended with status %d: %s" % (status, (out + err).strip()))

    def _grab(self, x, y, width, height):
        """At a scale above 1, each client-area pixel must be an exact block."""
        (ox, oy), k = self.ctx.opts.client_offset, self.ctx.opts.scale
        pixels = self.ctx.screen.grab(self.window, ox + k * x, oy + k * y, k * width, k * height)
        self.raw = (k * width, k * height, pixels)
        return unblock(pixels, width, height, k)

    def key(self, name):
        run_xdotool(self.display, "key", self.key_names[name])

    def move(self, x, y):
        """Moves the pointer to a client-area position."""
        (ox, oy), k = self.ctx.opts.client_offset, self.ctx.opts.scale
        run_xdotool(self.display, "mousemove", "--window", self.window.id, "--sync",
                    ox + k * x, oy + k * y)

    def click(self, repeat=1):
        run_xdotool(self.display, "click", "--repeat", repeat, "--delay", 100, 1)

    def expect_exit(self, status):
        actual = self.program.exit_status(self.ctx.opts.timeout)
        if actual != status:
            out, err = self.program.output()
            raise Failure("the program ended with status %d, not %d: %s"
                          % (actual, status, (out + err).strip()))

    def output(self):
        return " ".join(self.program.output()).strip()

    def save_picture(self, path, client_pixels):
        write_png(path, *self.raw)  # as grabbed, at the desktop's scale

    def close(self):
        self.program.stop()


class WaylandSession(DesktopSession):
    """The program on a private Wayland desktop (sway), driven with a virtual
    keyboard and pointer."""

    # Linux key codes, and whether Shift is held for them, on a US keyboard.
    key_names = {
        "*": (9, True), "/": (53, False), ".": (52, False), ",": (51, False),
        "+": (13, True), "-": (12, False), " ": (57, False), "Escape": (1, False),
        "A": (30, True), "a": (30, False), "5": (6, False), "Enter": (28, False),
        "Backspace": (14, False), "Left": (105, False), "F2": (60, False), "Shift": (42, False),
    }

    def _start(self):
        self.ctx.screen.input.move(639, 639, self.ctx.screen.extent)  # off the window
        env = self.ctx.screen.program_env()
        if self.ctx.opts.rescale:
            # sway enlarges a buffer of the old scale pixel for pixel, which
            # looks just like one drawn at the new scale: the program's
            # requests on standard error tell them apart.
            env["WAYLAND_DEBUG"] = "client"
        self.program = Program(self.ctx.opts.program, env)
        self.window = None

    def _ready(self):
        return super()._ready() and (not self.ctx.opts.rescale or self._drawn_at_new_scale())

    def _rescale(self):
        self.ctx.xserver.set_scale(self.ctx.opts.scale)

    def _drawn_at_new_scale(self):
        """Whether the program has made a buffer of the client area's size at --scale."""
        width, height = (self.ctx.opts.scale * n for n in self.ctx.opts.client_size)
        made = r"create_buffer\(new id wl_buffer@\d+, 0, %d, %d," % (width, height)
        return re.search(made, self.program.output()[1]) is not None

    def _no_start_message(self):
        if self.ctx.opts.rescale and self.window is not None:
            return ("the window made no buffer at scale %d within %.0f s of the output's change"
                    % (self.ctx.opts.scale, self.ctx.opts.start_timeout))
        return super()._no_start_message()

    def output(self):
        return " ".join(line for text in self.program.output() for line in text.splitlines()
                        if not WAYLAND_REQUEST.match(line)).strip()

    def _focus(self):
        pass  # sway focuses a new window

    def key(self, name):
        self.ctx.screen.input.key(*self.key_names[name])

    def move(self, x, y):
        self.ctx.screen.input.move(self.window[0] + x, self.window[1] + y, self.ctx.screen.extent)

    def click(self, repeat=1):
        for i in range(repeat):
            time.sleep(0.1 if i else 0)
            self.ctx.screen.input.click()


class PageSession(Session):
    """The page in headless Chromium (a fresh tab for each run), driven with
    real browser input events through tests/web/bridge.mjs."""

    # Playwright's key names; the shifted characters are typed as Shift and
    # the key that carries them on a US keyboard.
    key_names = {
        "*": "Shift+Digit8", "/": "Slash", ".": "Period", ",": "Comma",
        "+": "Shift+Equal", "-": "Minus", " ": "Space", "Escape": "Escape",
        "A": "Shift+KeyA", "a": "KeyA", "5": "Digit5", "Enter": "Enter", "Backspace": "Backspace",
        "Left": "ArrowLeft", "F2": "F2", "Shift": "Shift", "Tab": "Tab",
        "Right": "ArrowRight", "Home": "Home", "End": "End",
    }

    # The on-screen key (start of its name) that types each key with --touch.
    buttons = {"-": "-", "+": "+", ",": "+", "/": "/", "*": "*", ".": "*", " ": "Space",
               "Escape": "Esc"}

    def _start(self):
        self.bridge = self.ctx.bridge
        self.touch = self.ctx.opts.touch
        self.how = dict(dict(device="phone", touch=True) if self.touch else {}, **self.how)
        self.bridge.send("open", **self.how)

    def _no_start_message(self):
        return "the page showed no frame within %.0f s: %s" % (
            self.ctx.opts.start_timeout, self.bridge.send("state"))

    def state(self):
        return self.bridge.send("state")

    def _grab(self, x, y, width, height):
        return base64.b64decode(self.bridge.send("grab", x=x, y=y, w=width, h=height)["pixels"])

    def _look(self):
        """As on the desktop, but by the SHA-256 of the region's pixels, worked
        out in the page: the page answers only between two passes of its loop,
        and moving the pixels themselves could take longer than a pass at the
        start pace, so that a look would miss a frame. A region that is no
        frame is fetched whole, for the failure picture."""
        px, py = self.ctx.opts.picture_origin
        look = self.bridge.send("digest", x=px, y=py, w=VISIBLE_SIZE[0], h=VISIBLE_SIZE[1])
        slot = self.ctx.frame_digests.get(look["digest"])
        if slot is None:
            return super()._look()
        # The lift chart's cursor is painted with the picture, never behind.
        marked = [phase(slot) + 1, ("small", "large")[picture_set(slot)]]
        if look["cursor"] is not None and look["cursor"] != marked:
            raise Failure("the lift chart marks %s with slot %d on show" % (look["cursor"], slot))
        return slot

    def grab_client(self):
        """A real screenshot of the client area, each pixel a block of the
        screen's; where the blocks are smoothed down, the client area's pixels
        as the page holds them, its top-left corner shown sharp."""
        size = self.ctx.opts.client_size
        pixels = self._grab(0, 0, *size)
        corner = b"".join(pixels[4 * size[0] * y:4 * (size[0] * y + CORNER[0])]
                          for y in range(CORNER[1]))
        if crisp_shot(self, 0, 0, *CORNER, corner) is None:
            return pixels
        return crisp_shot(self, 0, 0, *size)

    def key(self, name):
        if self.touch and name in self.buttons:
            self.bridge.send("press", label=self.buttons[name])
        else:
            self.bridge.send("key", key=self.key_names[name])

    def move(self, x, y):
        self.bridge.send("move", x=x, y=y)

    def click(self, repeat=1):
        self.bridge.send("click", repeat=repeat, delay=0)

    def expect_exit(self, status):
        """The page's program has ended: the page says so (with status 0, an
        ordinary end; otherwise a run-time error), and its picture is gone."""
        wanted = "ended" if status == 0 else "error"
        deadline = time.monotonic() + self.ctx.opts.timeout
        while True:
            state = self.state()
            if state["ended"]:
                break
            if time.monotonic() > deadline:
                raise Failure("the page's program did not end: %s" % state)
        if state["ended"] != wanted or "reload" not in state["status"].lower() or state["enabledKeys"]:
            raise Failure("the page ended as %r, not %r, %d keys enabled: %s"
                          % (state["ended"], wanted, state["enabledKeys"], state))
        self.wait_for_unknown("the display area to be cleared")

    def output(self):
        try:
            state = self.state()
        except Failure as failure:
            return str(failure)
        return "status %r, console errors %s" % (state["status"], state["errors"])

    def save_picture(self, path, client_pixels):
        """The page's whole window, title bar included (a phone's or tablet's screen)."""
        self.bridge.send("pageShot" if "device" in self.how else "windowShot", file=os.path.abspath(path))

    def close(self):
        pass


# The part of the client area whose sharpness is measured where its pixels
# are no whole blocks: the border's corner and the picture's top-left.
CORNER = (120, 100)


def crisp_shot(s, x, y, width, height, drawn=None):
    """A screenshot of a client-area rectangle: where a pixel is a whole
    number of device pixels, every pixel a square block of them, and one
    pixel a block returned. Elsewhere the rectangle's pixels `drawn` shown
    as blocks smoothed down, as sharp as the scale allows (None returned)."""
    shot = s.bridge.send("shot", x=x, y=y, w=width, h=height)
    block = shot["scale"][0]
    if block == int(block) and shot["scale"][1] == block:
        block = int(block)
        if (shot["width"], shot["height"]) != (block * width, block * height):
            raise Failure("a %(width)dx%(height)d screenshot" % shot)
        picture = unblock(base64.b64decode(shot["pixels"]), width, height, block)
        if picture is None:
            raise Failure("the screenshot is not %d x %d blocks of device pixels" % (block, block))
        return picture
    cores, blends = sharpness(base64.b64decode(shot["pixels"]), shot["width"], shot["height"],
                              drawn, (width, height), shot["start"], shot["scale"])
    # Blocks of 3 or more always have device pixels of their own colour; at
    # 2, a line's pixels have one for about half of them at the least.
    if cores < (0.9 if block > 2 else 0.45) or not 0.1 <= blends <= 0.5:
        raise Failure("at %.3f device pixels a pixel, the screenshot is not sharp: %.0f %% of "
                      "the lines' pixels shown in their own colour, %.0f %% of the pixels at "
                      "edges blended" % (block, 100 * cores, 100 * blends))
    return None


def check_steps(slots, direction, what):
    """Every change between observed slots is a step in the given direction
    (missed frames make larger steps, never a change of direction)."""
    for before, after in zip(slots, slots[1:]):
        delta = step(before, after)
        if delta == 0 or (delta > 0) != (direction > 0) or picture_set(before) != picture_set(after):
            raise Failure("%s: slot %d followed by slot %d in %s" % (what, before, after, slots))


def stand_on(s, slot):
    """From a running start-up: stops, steps to the slot's phase, switches set."""
    at = stop_animation(s)
    while phase(at) != phase(slot):
        s.key(".")
        at = s.wait_slot((phase(at) + 1) % PHASES)
    if picture_set(slot) != picture_set(at):
        s.key(" ")
        s.wait_slot(slot)
    if s.wait_still() != slot:
        raise Failure("did not stand on slot %d: %s" % (slot, s.trail()))


def stop_animation(s):
    """From a running start-up: "*" stops it; returns the slot it stands on."""
    s.watch_running()
    s.key("*")
    return s.wait_still()


# ---------------------------------------------------------------- scenarios

SCENARIOS = {}  # the desktop program's (each is a ctest test of its own)
PAGE_SCENARIOS = {}  # the page's (tests/web/run.sh)


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


def on_page(function):
    """Marks a scenario that the page runs too (or, without @scenario, only
    the page)."""
    PAGE_SCENARIOS[function.__name__] = function
    return function


@scenario
def title_and_size(ctx):
    """The window has the exact title, the client size, a fixed size and an icon."""
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
@on_page
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
@on_page
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
@on_page
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
@on_page
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
@on_page
def ignored_keys(ctx):
    """Letters, digits, Enter, Backspace and keys that make no character
    change nothing; a command key after them still acts."""
    s = ctx.session()
    at = stop_animation(s)
    for key in ("A", "a", "5", "Enter", "Backspace", "Left", "F2", "Shift"):
        s.key(key)
    if s.wait_still() != at:
        raise Failure("an ignored key moved the picture: %s" % s.trail())
    s.key(".")
    s.wait_slot((at + 1) % PHASES)
    s.close()


@scenario
@on_page
def start_keys_jump_two(ctx):
    """From standing, "+" shows the phase two on and runs on from there; "-"
    shows the phase two back and runs backwards."""
    s = ctx.session()
    at = stop_animation(s)
    for key, direction in (("+", +1), ("-", -1)):
        s.key(key)
        slots = s.watch(lambda seen: len(seen) > 4, 'the run after "%s"' % key)
        if slots[0] != at:  # the first look came after the jump
            slots.insert(0, at)
        if step(at, slots[1]) != 2 * direction:
            raise Failure('"%s" from slot %d went %s' % (key, at, slots))
        check_steps(slots[1:], direction, 'run after "%s"' % key)
        s.key("*")
        at = s.wait_still()
    s.close()


def forward_rate(s, changes, what):
    """Watches `changes` changes of the running animation; returns the frames
    it advanced a second (a lower bound: a look can miss whole turns)."""
    first = len(s.history)
    s.watch(lambda seen: len(seen) > changes, what)
    looks = [(t, x) for t, x in s.history[first:] if x is not None]
    moves = [(t, (phase(x) - phase(before)) % PHASES)
             for (_, before), (t, x) in zip(looks, looks[1:]) if x != before]
    return sum(frames for _, frames in moves) / (moves[-1][0] - looks[0][0])


@scenario
@on_page
def pointer_speeds_up(ctx):
    """The first pointer movement over the picture speeds the start-up run up:
    near the top-left corner it runs at least three times as fast."""
    s = ctx.session()
    slow = forward_rate(s, 8, "the start-up run")
    s.move(30, 30)
    s.watch(lambda seen: len(seen) > 2, "the run after the move")
    fast = forward_rate(s, 12, "the faster run")
    if fast < 3 * slow:
        raise Failure("%.1f frames a second at the start pace, %.1f after the move: %s"
                      % (slow, fast, s.trail()))
    s.close()


@on_page
def page_title(ctx):
    """The page is the window: the exact title in its title bar and <title>,
    the icon, one named canvas of the client size with the focus, a named key
    for each key of the title; it asks for nothing but its own files, and its
    security policy refuses nothing."""
    s = ctx.session()
    state = s.state()
    expected = {"titleBar": ctx.opts.title, "titleElement": ctx.opts.title,
                "titleBarWhiteSpace": "pre-wrap", "canvases": 1,
                "canvasSize": list(ctx.opts.client_size), "focused": True, "icon": "dorvik.png",
                "ended": "", "errors": [], "fullScreenKey": True}
    wrong = {key: state[key] for key, value in expected.items() if state[key] != value}
    if [name.split()[0] for name in state["keys"] if len(name.split()) > 2] != \
            ["-", "+", "/", "*", "Space", "Esc"] or not state["canvasName"]:
        wrong["names"] = (state["keys"], state["canvasName"])
    page_files = set(os.listdir(ctx.opts.web))
    served = dict(map(tuple, state["served"]))
    if not {"/index.html", "/dorvik.js", "/dorvik.wasm", "/dorvik.css"} <= set(served) or \
            any(status != 200 or name[1:] not in page_files for name, status in served.items()):
        wrong["served"] = served
    if state["foreign"]:
        wrong["foreign"] = state["foreign"]
    if wrong:
        raise Failure("the page differs: %s" % wrong)
    # Drawn like the desktop window's client area: border and background
    # around the frame (which the start-up run makes one of the 36).
    pixels = s.grab_client()
    width, height = ctx.opts.client_size
    for (x, y), bgr in (((0, 0), (128, 128, 128)), ((1, 1), (64, 64, 64)),
                        ((width - 1, 100), (255, 255, 255)), ((width - 2, 100), (192, 192, 192)),
                        ((100, height - 1), (192, 192, 192))):
        at = 4 * (y * width + x)
        if tuple(pixels[at:at + 3]) != bgr:
            raise Failure("client pixel %d,%d is %s, not %s" % (x, y, tuple(pixels[at:at + 3]), bgr))
    s.close()


@on_page
def fitted_on_tablet(ctx):
    """On a 1024 x 1366 tablet (device pixel ratio 2) the window fits at twice
    its size, a pixel a 4 x 4 block; turned, it fills the height, sharp. On
    upright phones of fractional ratios (2.625 is the touch run's own) the
    window is at least 90 % of their width, sharp, as on a 320-wide screen;
    no text is under 12 CSS pixels, no caption of a key cut off. On a
    projector's 1920 x 1080 the picture is at least 960 pixels high, the lift
    chart beside it; a 390 x 844 phone has the chart too."""
    s = ctx.session(device="tablet", touch=True)
    stand_on(s, PHASES + 4)
    frame = ctx.full_frames[PHASES + 4]
    drawn = b"".join(frame[4 * FRAME_SIZE[0] * y:4 * (FRAME_SIZE[0] * y + CORNER[0])]
                     for y in range(CORNER[1]))
    saved = {(1024, 1366, 2): "tablet", (412, 915, 1.75): "phone-1.75"}
    origin = ctx.opts.picture_origin
    for across, down, ratio, least in ((1366, 1024, 2, 0.45), (412, 915, 1.25, 0.9),
                                       (412, 915, 1.75, 0.9), (412, 915, 3.5, 0.9),
                                       (320, 640, 2, 0.9), (390, 844, 3, 0.9), (1920, 1080, 1, 0.3),
                                       (1024, 1366, 2, 0.7)):
        s.bridge.send("device", width=across, height=down, ratio=ratio)
        state = s.state()
        if across in (390, 1920) and (state["canvasSize"][1] < (960 if across == 1920 else 0)
                                      or not state["charted"]):
            raise Failure("at %dx%d: the picture %d high, the chart shown %s"
                          % (across, down, state["canvasSize"][1], state["charted"]))
        if state["windowWidth"] < least * across or not state["fits"] or state["smallText"] \
                or state["cutKeys"] or crisp_shot(s, *origin, *CORNER, drawn) not in (None, drawn):
            raise Failure("at %dx%d, ratio %g: window %.1f wide, fits %s, small text %s, cut keys "
                          "%s, or not slot 22" % (across, down, ratio, state["windowWidth"],
                                                  state["fits"], state["smallText"], state["cutKeys"]))
        if (across, down, ratio) in saved and ctx.opts.screenshot:
            s.save_picture(os.path.join(os.path.dirname(ctx.opts.screenshot), "screenshot-web-%s.png"
                                        % saved[across, down, ratio]), None)
    s.close()


@on_page
def decoded_pictures(ctx):
    """Each of the 36 pictures that the browser decoded at start-up is the
    generator's frame for its slot, pixel for pixel."""
    s = ctx.session()
    # Read once the program has ended, when the page has nothing else to do;
    # once it runs, after the loading stage, which made the last of them RGBA.
    s.watch_running()
    s.key("Escape")
    s.expect_exit(0)
    for slot in range(SLOTS):
        picture = ctx.bridge.send("picture", slot=slot)
        if picture["count"] != SLOTS:
            raise Failure("the page decoded %d pictures" % picture["count"])
        size = (picture["width"], picture["height"])
        if size != FRAME_SIZE or base64.b64decode(picture["pixels"]) != ctx.full_frames[slot]:
            raise Failure("picture %d (%dx%d) is not slot%02d.bmp" % ((slot,) + size + (slot,)))
    s.close()


@on_page
def status_line(ctx):
    """The line under the keys names the set and frame on show, said to screen
    readers once the picture stands. (Tab to the on-screen "*" and Enter stop
    the run; Space there presses "*" too, not switching the lift.)"""
    s = ctx.session()
    s.watch_running()
    for key in ("Tab",) * 4 + ("Enter",):
        s.key(key)
    at = s.wait_still()
    for key, after in ((".", (phase(at) + 1) % PHASES), (" ", (phase(at) + 2) % PHASES)):
        s.key(key)
        s.wait_slot(after)
        s.wait_still()
        state = s.state()
        said = "%s lift, frame %d of 18" % (("Small", "Large")[picture_set(after)], phase(after) + 1)
        if state["lines"] != [said, said, "status"]:
            raise Failure("on slot %d the page says %s, not %r" % (after, state["lines"], said))
    s.close()


@on_page
def offline_reload(ctx):
    """The page can be installed as an app, and after one visit it loads and
    runs with its server stopped, from what its service worker kept."""
    s = ctx.session()
    # (The browser's contexts here are off the record.)
    problems = [p for p in s.bridge.send("installable")["problems"] if p != "in-incognito"]
    if problems:
        raise Failure("the page cannot be installed: %s" % problems)
    try:
        s.bridge.send("offline")
        at = stop_animation(s)
        s.key(" ")
        s.wait_slot((at + PHASES) % SLOTS)
        state = s.state()
    finally:
        s.bridge.send("online")
    if state["served"] or state["errors"] or not state["worker"]:
        raise Failure("offline: %s" % state)
    s.close()


@on_page
def update_arrives(ctx):
    """A second build served after a visit shows by the second reload (markup
    and style sheet both), its worker written by the build's own rule (which
    gives the built worker for the built files); the first build's cache goes,
    and a copy of the first in a sibling folder keeps its own."""
    source, make = os.path.join(os.path.dirname(os.path.abspath(__file__)), "../../window/web"), []
    names = re.search(r"'\./', (.*)\]", open(ctx.opts.web + "/sw.js").read()).group(1).replace("'", "")
    with tempfile.TemporaryDirectory() as second:
        for addition in ({}, {"index.html": "<!--2-->", "dorvik.css": "body{content:'2'}"}):
            shutil.copytree(ctx.opts.web, second, dirs_exist_ok=True)
            for name, text in addition.items():
                open(os.path.join(second, name), "a").write(text)
            subprocess.run(["cmake", "-DPAGE_DIR=" + second, "-DFILES=" + names.replace(" ", ""),
                            "-DOUT=%s/sw.js" % second, "-DTEMPLATE=%s/service_worker.js.in" % source,
                            "-P", source + "/make_service_worker.cmake"], check=True)
            make.append(open(second + "/sw.js").read())
        if make[0] != open(ctx.opts.web + "/sw.js").read():
            raise Failure("the built sw.js is not the one that the built files give")
        s = ctx.session(at="/sibling/")
        s.bridge.send("kept")
        s.bridge.send("go", at="/")
        first = s.bridge.send("kept")["caches"]
        try:
            s.bridge.send("serve", dir=second)
            s.bridge.send("go")
            # The page asks for the new build once it runs (which Chromium may
            # put off by about a minute while the page's thread is busy).
            deadline = time.monotonic() + 150
            while not (lambda k: set(k["caches"]) - set(first) and not k["updating"])(s.bridge.send("kept")):
                if time.monotonic() > deadline:
                    raise Failure("no new service worker after a reload: %s" % s.bridge.send("kept"))
                time.sleep(0.2)
            s.bridge.send("go")
            kept = s.bridge.send("kept")
        finally:
            s.bridge.send("serve", dir=ctx.opts.web)
    if kept["build"] != ["2", '"2"'] or len(kept["caches"]) != 2 or \
            len(set(kept["caches"]) & set(first)) != 1:
        raise Failure("after two reloads: %s (first kept %s)" % (kept, first))


@on_page
def no_audit_finding(ctx):
    """axe-core finds nothing on a phone or on a desktop."""
    found = {device: ctx.session(device=device).bridge.send("axe")["violations"]
             for device in ("phone", "desktop")}
    if any(found.values()):
        raise Failure("axe-core: %s" % found)


@on_page
def course_page(ctx):
    """Inside an <iframe> of a page on another site the page runs, and its
    on-screen keys, the keyboard and the pointer work there."""
    s = ctx.session(embed=True)
    s.watch_running()
    s.bridge.send("press", label="*")
    at = s.wait_still()
    s.key(".")  # the click on the key gave the frame the keyboard
    at = s.wait_slot((at + 1) % PHASES)
    s.move(180, 100)
    s.click()
    s.move(180, 112)  # scrub mode: down is a step on
    s.wait_slot((at + 1) % PHASES)
    state = s.state()
    # The course page's frame does not allow full screen: no key for it.
    if state["errors"] or any("/course.html" not in url for url in state["foreign"]) or \
            state["fullScreenKey"]:
        raise Failure("in the course page: %s" % state)
    s.close()


@on_page
def thread_shared(ctx):
    """At the start pace, the slowest, and with k < 0 (the pointer dragged
    left of the display area), the quickest, where the page's thread has the
    most tasks and its garbage, no task of the page's thread takes 50 ms of
    processor time, from a trace."""
    s = ctx.session()
    s.watch_running()
    for pace, seconds, least, drag in (("the start pace", 4, 20, None), ("k < 0", 1, 10000, (-20, 100))):
        if drag:
            s.move(100, 100)
            s.bridge.send("down")
            s.move(*drag)
        tasks = s.bridge.send("tasks", seconds=seconds)
        print("  %s: %d tasks, longest %.1f ms" % (pace, tasks["count"], tasks["longest"]))
        if tasks["count"] < least or tasks["longest"] > 50:
            raise Failure("at %s: %d tasks, the longest %.1f ms of processor time"
                          % (pace, tasks["count"], tasks["longest"]))
    s.close()


def valve_bottom(pixels):
    """The lowest row of the valve's red outline in a frame's pixels."""
    rows = [y for y in range(FRAME_SIZE[1]) for x in range(0, 120)
            if pixels[4 * (y * FRAME_SIZE[0] + x) + 2] > 200 > pixels[4 * (y * FRAME_SIZE[0] + x) + 1]]
    return max(rows)


@on_page
def lift_chart(ctx):
    """With reduced motion asked for, the page starts on frame 1, stopped,
    saying how to play. The lift chart takes the program to a frame as the
    step keys do, one frame a pass with each shown, and stops there: End,
    Home, the arrows, a tap on a frame of either set. Its value names the
    frame and the valve's travel. The names of the parts show and hide on
    their key, inside the display area and apart, the valve's leader going
    down with the valve."""
    s = ctx.session(reduced=True)
    s.wait_for(lambda slot: slot == 0 and "+" in s.state()["status"], "frame 1 and how to play")
    if s.wait_still() != 0:
        raise Failure("reduced motion: did not stand on frame 1: %s" % s.trail())
    s.key("+")
    s.watch_running()
    s.bridge.send("chart")

    # From a standing picture, every frame on the way is seen (a run's own
    # frames may pass between two looks on a busy machine).
    def reach(slot, go, standing=True):
        since = len(s.history)
        go()
        if s.wait_still() != slot:
            raise Failure("the chart did not stop on slot %d: %s" % (slot, s.trail()))
        seen = [x for _, x in s.history[since:] if x is not None and standing]
        if any(abs(step(a, b)) > 1 or picture_set(a) != picture_set(b) for a, b in zip(seen, seen[1:])):
            raise Failure("on the way to slot %d a frame was skipped: %s" % (slot, s.trail()))

    for key, slot in (("End", 17), ("Home", 0), ("Left", 17), ("Right", 0), ("Right", 1)):
        reach(slot, lambda: s.key(key), standing=key != "End")
    s.key(" ")
    s.wait_slot(PHASES + 1)
    names = lambda: s.bridge.send("labels")["labels"]
    closed, wide = PHASES + 9, PHASES + 4
    travel = valve_bottom(ctx.full_frames[wide]) - valve_bottom(ctx.full_frames[closed])
    for slot in (closed, wide):
        reach(slot, lambda: s.bridge.send("chart", frame=phase(slot) + 1))
        if not names():
            s.bridge.send("names")
            s.wait_for(lambda _: len(names()) == 7, "the parts' names")
            shut = names()
    state, opened = s.state(), names()
    width, height = ctx.opts.client_size
    boxes = [label["box"] for label in opened]
    apart = all(a[0] + a[2] <= b[0] or b[0] + b[2] <= a[0] or a[1] + a[3] <= b[1] or b[1] + b[3] <= a[1]
                for i, a in enumerate(boxes) for b in boxes[i + 1:])
    moved = [o["end"][1] - c["end"][1] for o, c in zip(opened, shut)]
    if not apart or any(x < 0 or y < 0 or x + w > width or y + h > height for x, y, w, h in boxes) or \
            travel not in moved or "valve %d px open" % travel not in state["chart"]:
        raise Failure("names %s, leaders moved %s for a valve travel of %d, chart %r"
                      % (opened, moved, travel, state["chart"]))
    if ctx.opts.screenshot:
        def shot(name):
            s.bridge.send("pageShot", file=os.path.abspath(os.path.join(
                os.path.dirname(ctx.opts.screenshot), "screenshot-web-%s.png" % name)))
        shot("phone-names")
        s.bridge.send("device", width=1024, height=1366, ratio=2)
        shot("tablet-names")
    s.bridge.send("names")
    s.wait_for(lambda _: not names(), "the names to hide")
    if ctx.opts.screenshot:  # the German page, as it starts
        s.bridge.send("go", at="/?lang=de")
        s.bridge.send("device", width=412, height=915, ratio=2.625)
        s.wait_for(lambda slot: slot == 0 and "+" in s.state()["status"], "the German page on frame 1")
        s.wait_still()  # and the line under the keys written (a quarter second at most)
        shot("de")
    s.close()


@scenario
@on_page
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
@on_page
def escape_quits(ctx):
    """Escape ends the program with status 0."""
    s = ctx.session()
    s.watch_running()
    s.key("Escape")
    s.expect_exit(0)


@scenario
@on_page
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
    for case, env, named in (("DISPLAY unset", base, "display"),
                             ("no server", dict(base, DISPLAY=":%d" % unused), "display"),
                             ("no compositor", dict(base, WAYLAND_DISPLAY="none"), "wayland")):
        program = Program(ctx.opts.program, env)
        try:
            status = program.exit_status(ctx.opts.timeout)
            out, err = program.output()
        finally:
            program.stop()
        lines = [line for line in (out + err).splitlines() if line.strip()]
        if status == 0 or len(lines) != 1 or named not in lines[0].lower():
            raise Failure("%s: status %d, output %r" % (case, status, out + err))


@scenario
def x_server_lost(ctx):
    """The X server going away while the program plays (a display closed, a
    remote session dropped) ends it with one line on standard error and a
    non-zero status, not a hang or a spin."""
    own = ctx.new_server()  # a server of its own, to kill
    private = copy.copy(ctx)
    private.xserver = own
    try:
        private.screen = own if ctx.opts.wayland else Screen(own.display)
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
@on_page
def screenshot(ctx):
    """Stops on phase 4 of set 1 (the valve wide open) and saves the window."""
    s = ctx.session()
    stand_on(s, PHASES + 4)
    pixels = s.grab_client()
    if pixels is None:
        raise Failure("could not read the window")
    px, py = ctx.opts.picture_origin
    width = ctx.opts.client_size[0]
    picture = b"".join(pixels[4 * ((py + y) * width + px):4 * ((py + y) * width + px + VISIBLE_SIZE[0])]
                       for y in range(VISIBLE_SIZE[1]))
    if ctx.frames.get(picture) != PHASES + 4:
        raise Failure("the screenshot does not show slot 22")
    if ctx.opts.screenshot:
        s.save_picture(ctx.opts.screenshot, pixels)
    s.close()


# The page's again on a touch phone (run.sh, --touch; run_directions adds no
# key to start_keys_jump_two's there), and the tablet's.
TOUCH_SCENARIOS = ("stop_and_step", "space_switches_set", "start_keys_jump_two", "pointer_speeds_up",
                   "click_scrub_and_resume", "escape_quits", "double_click_quits", "screenshot",
                   "fitted_on_tablet", "lift_chart")
# Those for a phone's screen alone, which the desktop's run leaves out.
PHONE_SCENARIOS = ("fitted_on_tablet", "lift_chart")


# ---------------------------------------------------------------- driver

class Context:
    def __init__(self, opts, frames):
        self.opts = opts
        self.frames = frames
        # For the page's looks: the SHA-256 of each frame's pixels -> its slot.
        self.frame_digests = {hashlib.sha256(pixels).hexdigest(): slot
                              for pixels, slot in frames.items()}
        self.sessions = []
        self.xserver = self.screen = self.bridge = None
        if opts.web:
            self.full_frames = load_whole_frames(opts.frames)
            self.bridge = PageBridge(opts.web, opts.timeout)
            return
        self.xserver = GivenDisplay(opts.display) if opts.display else self.new_server()
        try:
            self.screen = self.xserver if opts.wayland else Screen(self.xserver.display)
        except Exception:
            self.xserver.stop()
            raise

    def new_server(self):
        if self.opts.wayland:
            return Compositor(self.opts.timeout, self.opts.scale, not self.opts.rescale)
        return XServer(self.opts.timeout, self.opts.scale, not self.opts.rescale)

    def session(self, **how):
        return (PageSession if self.opts.web else
                WaylandSession if self.opts.wayland else DesktopSession)(self, **how)

    def close_sessions(self, failure_name=None):
        for s in self.sessions:
            if failure_name and getattr(s, "last_grab", None) is not None:
                save_failure_picture(s, failure_name)
            s.close()
        self.sessions = []

    def close(self):
        self.close_sessions()
        if self.screen is not None:
            self.screen.close()
        if self.xserver is not None:
            self.xserver.stop()
        if self.bridge is not None:
            self.bridge.stop()


def save_failure_picture(s, name):
    path = os.path.abspath("e2e-%s-failure.png" % name)
    write_png(path, VISIBLE_SIZE[0], VISIBLE_SIZE[1], s.last_grab)
    print("  last picture region: %s\n  program output: %s" % (path, s.output() or "none"))


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
    parser.add_argument("--frames", help="directory with slot00.bmp .. slot35.bmp and window.json")
    parser.add_argument("--title", help="the window's exact title (default: window.json's)")
    parser.add_argument("--window-size", type=pair,
                        help="size of the titled X window, WxH (default: the client size)")
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
    parser.add_argument("--wayland", action="store_true",
                        help="run in a private Wayland desktop (sway, headless) instead of Xvfb")
    parser.add_argument("--scale", type=int, default=1,
                        help="the desktop's scale: the output's (--wayland) or Xft.dpi / 96")
    parser.add_argument("--rescale", action="store_true",
                        help="the desktop's scale is 1 as the program starts, then --scale")
    parser.add_argument("--touch", action="store_true",
                        help="with --web, run TOUCH_SCENARIOS on a touch phone")
    parser.add_argument("--web", metavar="PAGE_DIR",
                        help="run the page scenarios against the page in PAGE_DIR (index.html, "
                        "dorvik.js, dorvik.wasm) in headless Chromium, instead of a program")
    opts = parser.parse_args(argv)
    opts.program = program
    opts.table = PAGE_SCENARIOS if opts.web else SCENARIOS
    if opts.web:  # the tablet's scenario runs with the touch run's
        opts.table = {name: run for name, run in opts.table.items()
                      if (name in TOUCH_SCENARIOS if opts.touch else name not in PHONE_SCENARIOS)}
    unknown = [name for name in opts.scenarios if name not in opts.table]
    if unknown:
        parser.error("unknown scenarios: %s (see --list)" % " ".join(unknown))
    if not opts.list and (not opts.frames or not (program or opts.web)):
        parser.error("needs --frames DIR and -- PROGRAM (or --web PAGE_DIR)")
    if not opts.list:
        try:
            title, opts.client_size = load_window(opts.frames)
        except (OSError, ValueError, KeyError) as e:
            parser.error("cannot read the window's layout in %s: %s (dorvik-frames writes it)"
                         % (opts.frames, e))
        opts.title = opts.title or title
        opts.window_size = tuple(opts.scale * n for n in opts.window_size or opts.client_size)
    return opts


def main(argv):
    opts = parse(argv)
    if opts.list:
        print("\n".join(opts.table))
        return 0
    # A terminating signal (ctest's timeout) still runs the clean-up below.
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(1))
    frames = load_frames(opts.frames)
    ctx = Context(opts, frames)
    passed = failed = 0
    try:
        for name in opts.scenarios or list(opts.table):
            began = time.monotonic()
            try:
                opts.table[name](ctx)
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
