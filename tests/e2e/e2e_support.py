"""What the end-to-end tests stand on: the reference frames (a plain BMP
decoder of their own, independent of the program's), a private Xvfb, the
program's process, and X access (window lookup, screenshots, close requests,
xdotool). Used by dorvik_e2e.py and by the window benchmarks."""

import ctypes
import json
import math
import os
import select
import signal
import struct
import subprocess
import tempfile
import time
import zlib

FRAME_SIZE = (360, 552)
# The part of a frame that the display area's inner area (359 pixels wide)
# shows: all but the frame's last column.
VISIBLE_SIZE = (359, 552)
SLOTS = 36
XVFB_SCREEN = "1280x1024x24"


class Failure(Exception):
    """A scenario found the program doing something it should not."""


# ---------------------------------------------------------------- frames

def load_window(frames_dir):
    """The window's title and client size (W, H) as the program lays it out:
    window.json, which dorvik-frames writes beside the frames."""
    with open(os.path.join(frames_dir, "window.json")) as f:
        window = json.load(f)
    return window["title"], tuple(window["client_size"])


def decode_bmp(data):
    """Decodes an 8-bit bitmap file (uncompressed or RLE8): returns width,
    height, the palette indices top row first, and the palette as B, G, R
    translation tables."""
    if data[:2] != b"BM":
        raise Failure("not a bitmap file")
    offset, = struct.unpack_from("<I", data, 10)
    header_size, width, height, _, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    colours, = struct.unpack_from("<I", data, 46)
    if bits != 8 or compression not in (0, 1) or width <= 0 or height == 0:
        raise Failure("unsupported bitmap: %d bits, compression %d" % (bits, compression))
    colours = colours or 256
    palette = data[14 + header_size:14 + header_size + 4 * colours] + bytes(4 * (256 - colours))
    rows = [bytearray(width) for _ in range(abs(height))]
    if compression == 0:
        stride = (width + 3) & ~3
        for y in range(abs(height)):
            rows[y][:] = data[offset + y * stride:offset + y * stride + width]
    else:
        decode_rle8(data, offset, width, rows)
    if height > 0:
        rows.reverse()
    tables = tuple(bytes(palette[4 * i + c] for i in range(256)) for c in range(3))
    return width, abs(height), rows, tables


def decode_rle8(data, pos, width, rows):
    x = y = 0
    while pos + 1 < len(data):
        count, value = data[pos], data[pos + 1]
        pos += 2
        if count > 0:  # encoded run
            if x + count > width or y >= len(rows):
                raise Failure("run past the end of a row")
            rows[y][x:x + count] = bytes((value,)) * count
            x += count
        elif value == 0:  # end of line
            x, y = 0, y + 1
        elif value == 1:  # end of bitmap
            return
        elif value == 2:  # delta
            x, y = x + data[pos], y + data[pos + 1]
            pos += 2
        else:  # absolute run, padded to a whole word
            if x + value > width or y >= len(rows):
                raise Failure("run past the end of a row")
            rows[y][x:x + value] = data[pos:pos + value]
            x += value
            pos += value + (value & 1)
    raise Failure("no end-of-bitmap mark")


def to_bgrx(indices, tables):
    """Palette indices to pixels as a 24-bit X server hands them out: B, G, R, 0."""
    out = bytearray(4 * len(indices))
    for channel in range(3):
        out[channel::4] = indices.translate(tables[channel])
    return out


def read_frames(directory):
    """Each slot's frame as (palette indices, top row first; translation tables)."""
    frames = []
    for slot in range(SLOTS):
        path = os.path.join(directory, "slot%02d.bmp" % slot)
        with open(path, "rb") as f:
            width, height, rows, tables = decode_bmp(f.read())
        if (width, height) != FRAME_SIZE:
            raise Failure("%s is %dx%d, not %dx%d" % ((path, width, height) + FRAME_SIZE))
        frames.append((rows, tables))
    return frames


def load_frames(directory):
    """The visible part of each slot's frame, as screenshot bytes -> slot."""
    frames = {}
    for slot, (rows, tables) in enumerate(read_frames(directory)):
        visible = b"".join(bytes(row[:VISIBLE_SIZE[0]]) for row in rows[:VISIBLE_SIZE[1]])
        key = bytes(to_bgrx(visible, tables))
        if key in frames:
            raise Failure("slots %d and %d show the same picture" % (frames[key], slot))
        frames[key] = slot
    return frames


def load_whole_frames(directory):
    """Each slot's whole frame as B, G, R, 0 pixels, by slot."""
    return [bytes(to_bgrx(b"".join(bytes(row) for row in rows), tables))
            for rows, tables in read_frames(directory)]


def unblock(pixels, width, height, scale):
    """Pixels shown `scale` times larger at their own size again, or None if
    one is not an exact scale x scale block."""
    if scale == 1 or pixels is None:
        return pixels
    words, row = memoryview(pixels).cast("I"), width * scale
    rows = [words[y * row:(y + 1) * row] for y in range(height * scale)]
    firsts = rows[::scale]
    if any(r != firsts[y // scale] for y, r in enumerate(rows)) or any(
            f[k::scale] != f[::scale] for f in firsts for k in range(1, scale)):
        return None
    return b"".join(f[::scale].tobytes() for f in firsts)


def sharpness(pixels, width, height, expected, size, start, scale, near=8):
    """How a screenshot (`width` x `height` device pixels, from `start` in
    client-area pixels, `scale` of them a pixel across and down) shows
    `expected` (`size` pixels), where a pixel is no whole block. Of the pixels
    on a line, the share that some device pixel shows in their own colour (a
    plain smoothed stretch blurs them); of the device pixels at edges, the
    share blended, in no colour of the pixels around (nearest-neighbour
    scaling blends none, and makes lines unevenly wide instead)."""
    def colour(data, row, x, y):
        return data[4 * (row * y + x):4 * (row * y + x) + 3]

    def same(a, b):
        return all(abs(p - q) <= near for p, q in zip(a, b))

    edges, cores, blended, counted = {}, {}, 0, 0
    for y in range(height):
        fy = math.floor(start[1] + (y + 0.5) / scale[1])
        for x in range(width):
            fx = math.floor(start[0] + (x + 0.5) / scale[0])
            if not (1 <= fx < size[0] - 1 and 1 <= fy < size[1] - 1):
                continue
            if (fx, fy) not in edges:
                around = [colour(expected, size[0], fx + dx, fy + dy)
                          for dy in (-1, 0, 1) for dx in (-1, 0, 1)]
                edges[fx, fy] = around if len(set(around)) > 1 else None
            around = edges[fx, fy]
            if around:
                shown, counted = colour(pixels, width, x, y), counted + 1
                blended += not any(same(shown, c) for c in around)
                if len({around[1], around[3], around[4], around[5], around[7]}) > 1:
                    cores[fx, fy] = cores.get((fx, fy)) or same(shown, around[4])
    return sum(cores.values()) / max(1, len(cores)), blended / max(1, counted)


def write_png(path, width, height, bgrx):
    """Writes B, G, R, X pixels as an RGB PNG; leaves the file alone when the
    picture is unchanged, so a rerun does not touch it."""
    raw = bytearray()
    for y in range(height):
        row = bgrx[y * width * 4:(y + 1) * width * 4]
        rgb = bytearray(width * 3)
        rgb[0::3], rgb[1::3], rgb[2::3] = row[2::4], row[1::4], row[0::4]
        raw += b"\x00" + rgb

    def chunk(tag, body):
        return (struct.pack(">I", len(body)) + tag + body
                + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF))

    png = (b"\x89PNG\r\n\x1a\n"
           + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b""))
    if os.path.exists(path):
        with open(path, "rb") as f:
            if f.read() == png:
                return
    os.makedirs(os.path.dirname(os.path.abspath(path)), exist_ok=True)
    with open(path + ".tmp", "wb") as f:
        f.write(png)
    os.replace(path + ".tmp", path)


# ---------------------------------------------------------------- processes

def die_with_parent():
    """Run in each child: if this driver is killed, the kernel ends the child too."""
    PR_SET_PDEATHSIG = 1
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, signal.SIGKILL)


def stop_process(proc):
    """Ends a child we started, by its id, and reaps it."""
    if proc.poll() is None:
        proc.terminate()
        try:
            proc.wait(timeout=5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


class XServer:
    """A private Xvfb on a free display number (chosen by Xvfb itself); at a
    `scale` above 1, a screen that much larger, whose resource database says
    Xft.dpi 96 x scale (at once, or later with set_dpi)."""

    def __init__(self, timeout, scale=1, at_once=True):
        read_end, write_end = os.pipe()
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
             XVFB_SCREEN if scale == 1 else "%dx%dx24" % (1280 * scale, 1024 * scale),
             "-noreset", "-nolisten", "tcp"],
            pass_fds=(write_end,), stdin=subprocess.DEVNULL, stdout=self.log,
            stderr=self.log, preexec_fn=die_with_parent)
        os.close(write_end)
        try:
            self.display = ":" + self._read_line(read_end, timeout)
            if scale > 1 and at_once:
                self.set_dpi(96 * scale)
        except Failure:
            self.stop()
            raise
        finally:
            os.close(read_end)

    def set_dpi(self, dpi):
        subprocess.run(["xrdb", "-nocpp", "-merge"], input=b"Xft.dpi: %d\n" % dpi,
                       env=dict(os.environ, DISPLAY=self.display), check=True, timeout=20)

    def _read_line(self, fd, timeout):
        # Xvfb writes the number and the newline separately: read up to the
        # newline before trusting the number or closing the pipe.
        deadline = time.monotonic() + timeout
        text = b""
        while not text.endswith(b"\n"):
            left = deadline - time.monotonic()
            if left <= 0 or not select.select([fd], [], [], left)[0]:
                raise Failure("Xvfb did not report a display within %.0f s" % timeout)
            chunk = os.read(fd, 64)
            if not chunk:
                raise Failure("Xvfb ended before it reported a display")
            text += chunk
        return text.decode().strip()

    def stop(self):
        stop_process(self.proc)
        self.log.close()


class GivenDisplay:
    """An X server someone else started and stops (--display)."""

    def __init__(self, display):
        self.display = display

    def stop(self):
        pass


class Program:
    """The program under test, started in the private display."""

    def __init__(self, argv, env):
        self.out = tempfile.TemporaryFile()
        self.err = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=self.out,
                                     stderr=self.err, preexec_fn=die_with_parent)

    def exit_status(self, timeout):
        try:
            return self.proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure("the program did not end within %.0f s" % timeout) from None

    def output(self):
        texts = []
        for f in (self.out, self.err):
            f.seek(0)
            texts.append(f.read().decode(errors="replace"))
        return texts

    def stop(self):
        stop_process(self.proc)


# ---------------------------------------------------------------- X access

def run_xdotool(display, *args):
    result = subprocess.run(["xdotool"] + [str(a) for a in args], env=dict(os.environ, DISPLAY=display),
                            stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=20)
    if result.returncode != 0:
        raise Failure("xdotool %s failed: %s" % (" ".join(map(str, args)), result.stderr.strip()))


class Screen:
    """An Xlib connection to the private display."""

    def __init__(self, display):
        from Xlib import display as xdisplay
        self.dpy = xdisplay.Display(display)
        info = self.dpy.display.info
        if info.image_byte_order != 0 or self.dpy.screen().root_depth != 24:
            raise Failure("the X server does not hand out 24-bit little-endian pixels")
        self.atom = self.dpy.intern_atom

    def close(self):
        self.dpy.close()

    def title_of(self, window):
        from Xlib import X
        prop = window.get_full_property(self.atom("_NET_WM_NAME"), X.AnyPropertyType)
        if prop is not None:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        name = window.get_wm_name()
        return name.decode("latin-1") if isinstance(name, bytes) else name

    def find_window(self, title):
        """The viewable window with exactly this title, or None."""
        from Xlib import X, error
        pending = [self.dpy.screen().root]
        while pending:
            window = pending.pop()
            try:
                if (self.title_of(window) == title
                        and window.get_attributes().map_state == X.IsViewable):
                    return window
                pending.extend(window.query_tree().children)
            except error.XError:
                continue  # gone while we looked
        return None

    def grab(self, window, x, y, width, height):
        """The pixels of a window rectangle (B, G, R, 0 each), or None if the
        window cannot be read now."""
        from Xlib import X, error
        try:
            image = window.get_image(x, y, width, height, X.ZPixmap, 0xFFFFFFFF)
        except error.XError:
            return None
        data = bytearray(image.data)
        if len(data) != width * height * 4:
            return None
        data[3::4] = bytes(width * height)
        return bytes(data)

    def send_close_request(self, window):
        """What a window manager sends for the close button: WM_DELETE_WINDOW."""
        from Xlib import X
        from Xlib.protocol import event
        message = event.ClientMessage(
            window=window, client_type=self.atom("WM_PROTOCOLS"),
            data=(32, [self.atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
        window.send_event(message, event_mask=0)
        self.dpy.sync()

    def cover(self, window, width, height):
        """Maps a black window of our own over `window`; returns it."""
        geometry = window.translate_coords(self.dpy.screen().root, 0, 0)
        screen = self.dpy.screen()
        cover = screen.root.create_window(
            -geometry.x, -geometry.y, width, height, 0, screen.root_depth,
            background_pixel=screen.black_pixel, override_redirect=True)
        cover.map()
        self.dpy.sync()
        return cover

    def uncover(self, cover):
        cover.destroy()
        self.dpy.sync()


# ---------------------------------------------------------------- the page

class PageBridge:
    """The page in headless Chromium, through tests/web/bridge.mjs: one JSON
    command a line in, one JSON answer a line out."""

    def __init__(self, page_dir, timeout):
        bridge = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "web", "bridge.mjs")
        self.timeout = timeout
        self.err = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(["node", bridge, page_dir], stdin=subprocess.PIPE,
                                     stdout=subprocess.PIPE, stderr=self.err,
                                     preexec_fn=die_with_parent)
        self.pending = b""
        self.sent = 0

    def send(self, command, **args):
        """Runs one command; returns its answer, or raises Failure."""
        import json
        self.sent += 1
        args["cmd"], args["id"] = command, self.sent
        try:
            self.proc.stdin.write(json.dumps(args).encode() + b"\n")
            self.proc.stdin.flush()
        except BrokenPipeError:
            raise Failure("the browser bridge has ended: %s" % self._errors()) from None
        deadline = time.monotonic() + self.timeout
        fd = self.proc.stdout.fileno()
        answer = {}
        while answer.get("id") != self.sent:  # late answers to earlier commands are dropped
            while b"\n" not in self.pending:
                left = deadline - time.monotonic()
                if left <= 0 or not select.select([fd], [], [], left)[0]:
                    raise Failure("the browser did not answer %r within %.0f s"
                                  % (command, self.timeout))
                chunk = os.read(fd, 1 << 20)
                if not chunk:
                    raise Failure("the browser bridge has ended: %s" % self._errors())
                self.pending += chunk
            line, self.pending = self.pending.split(b"\n", 1)
            answer = json.loads(line)
        if not answer.pop("ok"):
            raise Failure("the browser could not %s: %s" % (command, answer.get("error")))
        return answer

    def _errors(self):
        self.err.seek(0)
        return self.err.read().decode(errors="replace").strip() or "no message"

    def stop(self):
        if self.proc.poll() is None:
            self.proc.stdin.close()
            try:
                self.proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        stop_process(self.proc)
        self.err.close()
