"""A real Wayland desktop for the end-to-end tests: Debian's sway, headless,
with a virtual keyboard (US keymap) and pointer spoken in the wire protocol."""

import ctypes
import glob
import json
import os
import pwd
import socket
import struct
import subprocess
import tempfile
import time

from e2e_support import Failure, die_with_parent, stop_process

USER = "dorvik-wayland"  # sway refuses to run as root


class Compositor:
    """sway with one output of 640 x 640 in the desktop's units at `scale`
    (small, as grim copies all of it for each screenshot), at once or later
    with set_scale (until then at scale 1);
    finds windows (swaymsg) and grabs them (grim) as e2e_support.Screen does."""

    def __init__(self, timeout, scale=1, at_once=True):
        self.scale, self.extent, self.dir = scale, (640, 640), tempfile.mkdtemp(prefix="dorvik-")
        self.display = None  # no X here
        with open(self.dir + "/config", "w") as f:
            f.write("output HEADLESS-1 %s\nseat seat0 hide_cursor 1\n"
                    % self._mode(scale if at_once else 1))
        argv = ["sway", "-c", self.dir + "/config"]
        if os.getuid() == 0:
            if subprocess.run(["id", USER], capture_output=True).returncode != 0:
                subprocess.run(["useradd", "--system", "--shell", "/usr/sbin/nologin", USER], check=True)
            user = pwd.getpwnam(USER)
            os.chown(self.dir, user.pw_uid, user.pw_gid)
            argv = ["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid,
                    "--init-groups", "--pdeathsig=KILL"] + argv
        env = dict(PATH="/usr/bin:/bin", HOME=self.dir, XDG_RUNTIME_DIR=self.dir,
                   WLR_BACKENDS="headless", WLR_RENDERER="pixman", WLR_LIBINPUT_NO_DEVICES="1")
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                     stderr=self.log, preexec_fn=die_with_parent)
        deadline = time.monotonic() + timeout
        while len(glob.glob(self.dir + "/wayland-*[0-9]") + glob.glob(self.dir + "/sway-ipc.*")) < 2:
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise Failure("sway did not start")
            time.sleep(0.05)
        self.env = {"XDG_RUNTIME_DIR": self.dir, "SWAYSOCK": glob.glob(self.dir + "/sway-ipc.*")[0],
                    "WAYLAND_DISPLAY": os.path.basename(glob.glob(self.dir + "/wayland-*[0-9]")[0])}
        self.input = VirtualInput(self.dir + "/" + self.env["WAYLAND_DISPLAY"])

    def program_env(self):
        return dict({k: v for k, v in os.environ.items() if k != "DISPLAY"}, **self.env)

    def run(self, *argv):
        done = subprocess.run(argv, env=dict(os.environ, **self.env), capture_output=True, timeout=20)
        if done.returncode != 0:
            raise Failure("%s failed: %s" % (argv[0], done.stderr.decode().strip()))
        return done.stdout

    @staticmethod
    def _mode(scale):
        return "resolution %dx%d scale %d" % (640 * scale, 640 * scale, scale)

    def set_scale(self, scale):
        """As if the output became one of as many more pixels: the desktop,
        and the windows on it, stay where they are in its units."""
        self.run("swaymsg", "output HEADLESS-1 " + self._mode(scale))

    def find_window(self, title):
        """(x, y) of the client area in the desktop's units, or None."""
        nodes = [json.loads(self.run("swaymsg", "-t", "get_tree", "-r"))]
        while nodes:
            node = nodes.pop()
            if node.get("name") == title and node.get("visible"):
                outer, inner = node["rect"], node["window_rect"]
                return outer["x"] + inner["x"], outer["y"] + inner["y"]
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return None

    def grab(self, window, x, y, width, height):
        """Device pixels from the client area's corner (B, G, R, 0 each), or None."""
        k = self.scale
        ppm = self.run("grim", "-g", "%d,%d %dx%d" % (window[0] + x // k, window[1] + y // k,
                                                      width // k, height // k), "-t", "ppm", "-")
        _, size, _, rgb = ppm.split(b"\n", 3)
        if size.split() != [b"%d" % width, b"%d" % height]:
            return None
        pixels = bytearray(4 * width * height)
        pixels[0::4], pixels[1::4], pixels[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
        return bytes(pixels)

    def send_close_request(self, window):
        self.run("swaymsg", "kill")  # to the focused window: the program's

    def close(self):
        pass

    def stop(self):
        stop_process(self.proc)
        subprocess.run(["rm", "-rf", self.dir])


def keymap_text():
    xkb = ctypes.CDLL("libxkbcommon.so.0")
    xkb.xkb_context_new.restype = xkb.xkb_keymap_new_from_names.restype = ctypes.c_void_p
    xkb.xkb_keymap_get_as_string.restype = ctypes.c_char_p
    names = (ctypes.c_char_p * 5)(b"evdev", b"pc105", b"us", b"", b"")
    keymap = xkb.xkb_keymap_new_from_names(ctypes.c_void_p(xkb.xkb_context_new(0)), names, 0)
    return xkb.xkb_keymap_get_as_string(ctypes.c_void_p(keymap), 1)  # text v1


class VirtualInput:
    """zwp_virtual_keyboard_v1 and zwlr_virtual_pointer_v1 on the seat."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.connect(path)
        self.ids, self.pending, names = 2, b"", {}
        self.send(1, 1, 2)  # wl_display.get_registry
        for body in self.roundtrip(2):  # wl_registry.global: name, interface, version
            names[body[8:7 + struct.unpack_from("<I", body, 4)[0]].decode()] = body[:4]
        seat, keyboards, pointers = (self.bind(names, interface) for interface in (
            "wl_seat", "zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1"))
        self.keyboard, self.pointer, self.ids = self.ids + 1, self.ids + 2, self.ids + 2
        self.send(keyboards, 0, seat, self.keyboard)
        self.send(pointers, 0, seat, self.pointer)
        keymap, fd = keymap_text() + b"\0", os.memfd_create("keymap")
        os.write(fd, keymap)
        self.send(self.keyboard, 0, 1, len(keymap), fd=fd)  # xkb_v1, fd, size
        os.close(fd)
        self.roundtrip()

    def send(self, target, opcode, *args, raw=b"", fd=None):
        body = raw + struct.pack("<%dI" % len(args), *args)
        fds = [] if fd is None else [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack("<i", fd))]
        self.sock.sendmsg([struct.pack("<IHH", target, opcode, 8 + len(body)) + body], fds)

    def bind(self, names, interface):
        if interface not in names:
            raise Failure("the compositor offers no %s" % interface)
        self.ids, text = self.ids + 1, interface.encode() + b"\0"
        self.send(2, 0, raw=names[interface] + struct.pack("<I", len(text))
                  + text.ljust(-(-len(text) // 4) * 4, b"\0") + struct.pack("<II", 1, self.ids))
        return self.ids

    def roundtrip(self, collect=None):
        """Waits until the compositor has handled all that was sent; returns
        the events for object `collect` meanwhile."""
        self.ids += 1
        callback, events = self.ids, []
        self.send(1, 0, callback)  # wl_display.sync
        while True:
            sender, opcode, size = struct.unpack_from("<IHH", self.pending.ljust(8, b"\xff"))
            if len(self.pending) >= 8 and len(self.pending) >= size:
                body, self.pending = self.pending[8:size], self.pending[size:]
                if sender == 1 and opcode == 0:
                    raise Failure("the compositor refused the input: %r" % body)
                if sender == callback:
                    return events
                events += [body] if sender == collect else []
                continue
            chunk = self.sock.recv(65536)
            if not chunk:
                raise Failure("the compositor closed the input connection")
            self.pending += chunk

    def key(self, code, shift=False):
        """Presses and releases a key (a Linux key code), with Shift held or not."""
        for key, state in ([(42, 1)] if shift else []) + [(code, 1), (code, 0)] + (
                [(42, 0)] if shift else []):
            self.send(self.keyboard, 1, int(time.monotonic() * 1000) & 0xFFFFFFFF, key, state)
            if key == 42:
                self.send(self.keyboard, 2, state, 0, 0, 0)  # Shift is modifier bit 0
        self.roundtrip()

    def pointer_event(self, opcode, *args):
        self.send(self.pointer, opcode, int(time.monotonic() * 1000) & 0xFFFFFFFF, *args)
        self.send(self.pointer, 4)  # frame
        self.roundtrip()

    def move(self, x, y, extent):
        self.pointer_event(1, x, y, *extent)  # motion_absolute

    def click(self):
        for state in (1, 0):
            self.pointer_event(2, 0x110, state)  # the left button
