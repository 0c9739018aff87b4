#!/usr/bin/python3
"""Compares the GDI's decoding of the 36 pictures with the stored bytes.

    compare_decodes.py DUMP_DIR [FRAMES_DIR]

DUMP_DIR holds what dorvik-gdi-dump.exe wrote under wine: storedNN.bmp (the
bitmap file that ImageNN carries) and gdiNN.bmp (the GDI's decoding of it, read
back as 24-bit pixels). Each GDI picture must equal, pixel for pixel, the stored
bitmap decoded in the plain way. With FRAMES_DIR (the generator's slot00.bmp ..
slot35.bmp from the Linux build), the Windows program must also carry exactly
the generator's bytes. Prints one 'pass NAME' or 'fail NAME: WHY' line each."""
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from e2e_support import Failure, decode_bmp  # noqa: E402  the e2e tests' plain decoder

HOLDERS = 36


def read(path):
    with open(path, "rb") as f:
        return f.read()


def stored_rgb(data):
    width, height, rows, (blue, green, red) = decode_bmp(data)
    pixels = [(red[i], green[i], blue[i]) for row in rows for i in row]
    return width, height, pixels


def gdi_rgb(data):
    """An uncompressed 24-bit bottom-up bitmap file, top row first."""
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits, compression = struct.unpack_from("<iiHHI", data, 18)
    if bits != 24 or compression != 0 or height <= 0:
        raise Failure("read-back is %d bits, compression %d" % (bits, compression))
    stride = (width * 3 + 3) // 4 * 4
    pixels = []
    for y in reversed(range(height)):
        row = data[offset + y * stride:offset + y * stride + width * 3]
        pixels.extend((row[x + 2], row[x + 1], row[x]) for x in range(0, width * 3, 3))
    return width, height, pixels


def first_difference(width, want, got):
    for i, (a, b) in enumerate(zip(want, got)):
        if a != b:
            return "first difference at x=%d y=%d: stored %s, GDI %s" % (i % width, i // width, a, b)
    return None


def main(dump, frames=None):
    for number in range(1, HOLDERS + 1):
        name = "Image%d" % number
        stored = read(os.path.join(dump, "stored%02d.bmp" % number))
        try:
            w1, h1, want = stored_rgb(stored)
            w2, h2, got = gdi_rgb(read(os.path.join(dump, "gdi%02d.bmp" % number)))
        except (Failure, OSError, struct.error) as error:
            print("fail %s decoded by the GDI: %s" % (name, error))
            continue
        if (w1, h1) != (w2, h2):
            print("fail %s decoded by the GDI: %dx%d, stored %dx%d" % (name, w2, h2, w1, h1))
        else:
            why = first_difference(w1, want, got)
            print("fail %s decoded by the GDI: %s" % (name, why) if why else
                  "pass %s decoded by the GDI, pixel for pixel" % name)
        if frames:
            same = read(os.path.join(frames, "slot%02d.bmp" % (number - 1))) == stored
            print("pass %s carries the generator's bitmap" % name if same else
                  "fail %s carries the generator's bitmap: the bytes differ" % name)


if __name__ == "__main__":
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: compare_decodes.py DUMP_DIR [FRAMES_DIR]")
    main(*sys.argv[1:])
