"""A real Wayland session for the end-to-end tests: Debian's sway on its
headless backend (run as an unprivileged user, which it insists on), a
virtual keyboard with an ordinary US keymap and a virtual pointer spoken over
the Wayland wire protocol, window lookup with swaymsg and screenshots with
grim."""

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

USER = "dorvik-wayland"


def session_user():
    """The unprivileged user the compositor runs as, made when missing."""
    if os.getuid() != 0:
        return None
    try:
        pwd.getpwnam(USER)
    except KeyError:
        subprocess.run(["useradd", "--system", "--no-create-home", "--shell", "/usr/sbin/nologin",
                        USER], check=True)
    return pwd.getpwnam(USER)


class Compositor:
    """sway on its headless backend: one output of 1280 x 1024 in the
    desktop's units, at `scale`."""

    def __init__(self, timeout, scale=1):
        user = session_user()
        self.extent = (1280, 1024)
        self.dir = tempfile.mkdtemp(prefix="dorvik-wayland-")
        with open(os.path.join(self.dir, "config"), "w") as f:
            f.write("output HEADLESS-1 resolution %dx%d scale %d\n"
                    "seat seat0 hide_cursor 1\n" % (1280 * scale, 1024 * scale, scale))
        argv = ["sway", "-c", os.path.join(self.dir, "config")]
        if user is not None:
            os.chown(self.dir, user.pw_uid, user.pw_gid)
            argv = ["setpriv", "--reuid=%d" % user.pw_uid, "--regid=%d" % user.pw_gid,
                    "--init-groups"] + argv
        env = {"PATH": "/usr/bin:/bin", "HOME": self.dir, "XDG_RUNTIME_DIR": self.dir,
               "WLR_BACKENDS": "headless", "WLR_RENDERER": "pixman", "WLR_LIBINPUT_NO_DEVICES": "1"}
        self.log = tempfile.TemporaryFile()
        self.proc = subprocess.Popen(argv, env=env, stdin=subprocess.DEVNULL, stdout=self.log,
                                     stderr=self.log, preexec_fn=die_with_parent)
        deadline = time.monotonic() + timeout
        while not (glob.glob(self.dir + "/wayland-*[0-9]") and glob.glob(self.dir + "/sway-ipc.*")):
            if self.proc.poll() is not None or time.monotonic() > deadline:
                self.stop()
                raise Failure("sway did not start")
            time.sleep(0.05)
        self.display = os.path.basename(glob.glob(self.dir + "/wayland-*[0-9]")[0])
        self.env = {"XDG_RUNTIME_DIR": self.dir, "WAYLAND_DISPLAY": self.display,
                    "SWAYSOCK": glob.glob(self.dir + "/sway-ipc.*")[0]}
        self.input = VirtualInput(os.path.join(self.dir, self.display))

    def program_env(self):
        env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        return dict(env, **self.env)

    def run(self, *argv):
        result = subprocess.run(argv, env=dict(os.environ, **self.env), capture_output=True,
                                timeout=20)
        if result.returncode != 0:
            raise Failure("%s failed: %s" % (argv[0], result.stderr.decode().strip()))
        return result.stdout

    def find_window(self, title):
        """Where the window's client area starts (x, y in the desktop's
        units), and the whole window with the title bar that sway draws
        (x, y, width, height); None when there is no such window."""
        nodes = [json.loads(self.run("swaymsg", "-t", "get_tree", "-r"))]
        while nodes:
            node = nodes.pop()
            if node.get("name") == title and node.get("visible"):
                outer, inner, title_bar = node["rect"], node["window_rect"], node["deco_rect"]
                return ((outer["x"] + inner["x"], outer["y"] + inner["y"]),
                        (outer["x"], outer["y"] - title_bar["height"], outer["width"],
                         outer["height"] + title_bar["height"]))
            nodes += node.get("nodes", []) + node.get("floating_nodes", [])
        return None

    def grab(self, x, y, width, height):
        """The pixels of a desktop rectangle at the output's scale, B, G, R, 0 each."""
        ppm = self.run("grim", "-g", "%d,%d %dx%d" % (x, y, width, height), "-t", "ppm", "-")
        _, size, _, rgb = ppm.split(b"\n", 3)
        w, h = map(int, size.split())
        pixels = bytearray(4 * w * h)
        pixels[0::4], pixels[1::4], pixels[2::4] = rgb[2::3], rgb[1::3], rgb[0::3]
        return w, h, bytes(pixels)

    def send_close_request(self, window):
        self.run("swaymsg", "kill")  # the focused window's: the program's

    def close(self):
        pass

    def stop(self):
        stop_process(self.proc)
        subprocess.run(["rm", "-rf", self.dir])


def keymap_text():
    """An ordinary US keymap, as libxkbcommon writes it."""
    xkb = ctypes.CDLL("libxkbcommon.so.0")
    xkb.xkb_context_new.restype = xkb.xkb_keymap_new_from_names.restype = ctypes.c_void_p
    xkb.xkb_keymap_get_as_string.restype = ctypes.c_char_p
    names = (ctypes.c_char_p * 5)(b"evdev", b"pc105", b"us", b"", b"")
    context = xkb.xkb_context_new(0)
    keymap = xkb.xkb_keymap_new_from_names(ctypes.c_void_p(context), names, 0)
    return xkb.xkb_keymap_get_as_string(ctypes.c_void_p(keymap), 1)


class VirtualInput:
    """A virtual keyboard (zwp_virtual_keyboard_v1) and pointer
    (zwlr_virtual_pointer_v1) on the compositor's seat, in the wire protocol."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.next_id, self.pending = 3, b""
        self.request(1, 1, "u", 2)  # wl_display.get_registry -> 2
        globals_ = {}
        for opcode, body in self.roundtrip(2):
            name, length = struct.unpack_from("<II", body)
            globals_[body[8:8 + length - 1].decode()] = name
        seat, keyboards, pointers = (self.bind(globals_, interface) for interface in (
            "wl_seat", "zwp_virtual_keyboard_manager_v1", "zwlr_virtual_pointer_manager_v1"))
        self.keyboard, self.pointer = self.new_id(), self.new_id()
        self.request(keyboards, 0, "uu", seat, self.keyboard)
        self.request(pointers, 0, "uu", seat, self.pointer)
        keymap = keymap_text() + b"\0"
        fd = os.memfd_create("keymap")
        os.write(fd, keymap)
        self.request(self.keyboard, 0, "uhu", 1, fd, len(keymap))  # xkb_v1
        os.close(fd)
        self.roundtrip()

    def new_id(self):
        self.next_id += 1
        return self.next_id - 1

    def bind(self, globals_, interface):
        if interface not in globals_:
            raise Failure("the compositor offers no %s" % interface)
        new = self.new_id()
        text = interface.encode() + b"\0"
        padded = text + b"\0" * (-len(text) % 4)
        self.request(2, 0, "", raw=struct.pack("<II", globals_[interface], len(text)) + padded
                     + struct.pack("<II", 1, new))
        return new

    def request(self, target, opcode, types, *args, raw=b""):
        """Sends a request; "u" a 32-bit number, "h" a file descriptor."""
        body = raw + b"".join(struct.pack("<I", a) for t, a in zip(types, args) if t == "u")
        fds = [a for t, a in zip(types, args) if t == "h"]
        message = struct.pack("<II", target, (8 + len(body)) << 16 | opcode) + body
        ancillary = [(socket.SOL_SOCKET, socket.SCM_RIGHTS, struct.pack("<%di" % len(fds), *fds))]
        self.sock.sendmsg([message], ancillary if fds else [])

    def roundtrip(self, collect=None):
        """Waits until the compositor has handled every request; returns the
        events that came for object `collect` meanwhile."""
        callback = self.new_id()
        self.request(1, 0, "u", callback)  # wl_display.sync
        events = []
        while True:
            while len(self.pending) < 8 or len(self.pending) < struct.unpack_from(
                    "<I", self.pending, 4)[0] >> 16:
                chunk = self.sock.recv(65536)
                if not chunk:
                    raise Failure("the compositor closed the input connection")
                self.pending += chunk
            sender, word = struct.unpack_from("<II", self.pending)
            body, self.pending = self.pending[8:word >> 16], self.pending[word >> 16:]
            if sender == 1 and word & 0xFFFF == 0:
                raise Failure("the compositor refused the input: %r" % body)
            if sender == callback:
                return events
            if sender == collect:
                events.append((word & 0xFFFF, body))

    def key(self, code, shift=False):
        now = int(time.monotonic() * 1000) & 0xFFFFFFFF
        if shift:
            self.request(self.keyboard, 1, "uuu", now, 42, 1)
            self.request(self.keyboard, 2, "uuuu", 1, 0, 0, 0)
        self.request(self.keyboard, 1, "uuu", now, code, 1)
        self.request(self.keyboard, 1, "uuu", now, code, 0)
        if shift:
            self.request(self.keyboard, 1, "uuu", now, 42, 0)
            self.request(self.keyboard, 2, "uuuu", 0, 0, 0, 0)
        self.roundtrip()

    def move(self, x, y, extent):
        """Moves the pointer to (x, y) of a desktop `extent` (width, height) large."""
        now = int(time.monotonic() * 1000) & 0xFFFFFFFF
        self.request(self.pointer, 1, "uuuuu", now, x, y, *extent)
        self.request(self.pointer, 4, "")  # frame
        self.roundtrip()

    def click(self):
        for state in (1, 0):
            self.request(self.pointer, 2, "uuu", int(time.monotonic() * 1000) & 0xFFFFFFFF,
                         0x110, state)  # BTN_LEFT
            self.request(self.pointer, 4, "")
        self.roundtrip()
