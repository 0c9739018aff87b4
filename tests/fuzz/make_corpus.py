#!/usr/bin/env python3
"""Writes the fuzz targets' seed corpora into corpus/ beside this script:
a few small inputs of each target's form (see the targets' opening comments)."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def bitmap(tag):
    # A bitmap file header that gives its own size, and two bytes of "pixels".
    return b"BM" + struct.pack("<IHHI", 16, 0, 0, 14) + bytes([tag, 0])


def record(file):
    return struct.pack("<I", len(file) + 8) + b"lt\0\0" + struct.pack("<I", len(file)) + file


def name(text):
    return bytes([len(text)]) + text.encode()


def definition(numbers):
    out = name("Picture1") + struct.pack("<I", 0)
    for n in numbers:
        out += name("Image%d" % n) + record(bitmap(n))
    return out


def rle8_bitmap():
    # A 6 x 3 RLE8 bitmap file with every kind of code: an encoded run, an
    # absolute run, a delta, ends of line and the end of the bitmap.
    table = b"".join(bytes([i & 3, (i >> 2) & 7, i >> 5, 0]) for i in range(256))
    data = bytes([6, 255, 0, 0, 0, 4, 1, 2, 3, 4, 0, 0, 0, 2, 1, 0, 2, 28, 0, 1])
    info = struct.pack("<IiiHHIIiiII", 40, 6, 3, 1, 8, 1, len(data), 0, 0, 256, 0)
    offset = 14 + 40 + len(table)
    return b"BM" + struct.pack("<IHHI", offset + len(data), 0, 0, offset) + info + table + data


LISTING = list(range(36, 13, -1)) + [12, 11, 13] + list(range(10, 0, -1))

# Dorvik2Lifts streams: op codes 0 key, 2 move, 4 click, 5 double-click, 6 pump.
def key(code):
    return bytes([0]) + struct.pack("<h", code)


def move(x, y, button=0, shift=0):
    return bytes([2, button, shift]) + struct.pack("<ff", x, y)


def pump(count=1):
    return bytes([6, count - 1])


PLAY = pump(34)  # the loading stage's pumps: what follows is delivered in playback
SEEDS = {
    "picture_record": {
        "definition": definition(LISTING),
        "record": record(bitmap(1)),
        "cut_short": definition([1])[:-3],
        "rle8_bitmap": rle8_bitmap(),
    },
    "dorvik2lifts": {
        "keys": PLAY + b"".join(key(ord(c)) + pump(2) for c in "+ /-.*, ") + key(-1) + pump(),
        "mouse": PLAY + move(3.0, 4.5) + pump() + move(-1.0, 1e30) + pump() + move(0.0, float("inf")),
        "scrub": key(ord("+")) + bytes([4]) + PLAY + move(0, 2) + pump() + move(0, float("nan"))
        + pump() + move(0, 1) + pump() + bytes([4]) + pump(3),
        "escape": PLAY + pump(5) + key(27),
        "double_click": pump(10) + bytes([5]),
    },
}

for target, seeds in SEEDS.items():
    folder = os.path.join(HERE, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    for seed, data in seeds.items():
        with open(os.path.join(folder, seed), "wb") as f:
            f.write(data)
