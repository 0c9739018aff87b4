#!/usr/bin/python3
"""Checks Dorvik.exe as Windows sees it, read back with python3-pefile and
icoutils (wrestool, icotool). Usage: check_pe.py i386|amd64 EXE ICO, where the
first word is the machine the program is built for (the 32-bit program or its
64-bit twin) and ICO is the icon file the build generated. Prints one
'pass NAME' or 'fail NAME: WHY' line per check."""
import os
import subprocess
import sys
import tempfile

import pefile

SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "msvcrt.dll"}
VERSION_STRINGS = {
    "FileVersion": "1.00",
    "ProductVersion": "1.00",
    "ProductName": "Project1",
    "InternalName": "Dorvik",
    "OriginalFilename": "Dorvik.exe",
}
# The file header's machine and the optional header's magic of each build.
MACHINES = {"i386": (0x14C, 0x10B, "PE32"), "amd64": (0x8664, 0x20B, "PE32+")}
# (width, height, bits per pixel, palette size) of the three icon images.
ICON_IMAGES = {(32, 32, 1, 2), (32, 32, 4, 16), (16, 16, 4, 16)}


def report(name, ok, why=""):
    print(f"pass {name}" if ok else f"fail {name}: {why}")


def decode(value):
    return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)


def version_record(pe):
    strings, translations = {}, []
    for info in getattr(pe, "FileInfo", []):
        for block in info:
            if decode(block.Key) == "StringFileInfo":
                for table in block.StringTable:
                    for key, value in table.entries.items():
                        strings[(decode(table.LangID).lower(), decode(key))] = decode(value)
            elif decode(block.Key) == "VarFileInfo":
                for var in block.Var:
                    translations.extend(decode(v) for v in var.entry.values())
    return strings, translations


def icon_listing(path):
    out = subprocess.run(["icotool", "-l", path], capture_output=True, text=True, check=True)
    images = set()
    for line in out.stdout.splitlines():
        fields = dict(f[2:].split("=", 1) for f in line.split() if "=" in f)
        images.add((int(fields["width"]), int(fields["height"]), int(fields["bit-depth"]),
                    int(fields.get("palette-size", 0))))
    return images, len(out.stdout.splitlines())


def icon_pixels(path, into):
    """Each image of an icon file as the PNG that icotool makes of it."""
    os.makedirs(into)
    subprocess.run(["icotool", "-x", "-o", into, path], check=True, capture_output=True)
    return {name[name.index("_") + 1:]: open(os.path.join(into, name), "rb").read()
            for name in sorted(os.listdir(into))}


def main(machine, exe, ico):
    machine_code, magic, header = MACHINES[machine]
    pe = pefile.PE(exe)
    report(f"machine is {machine}", pe.FILE_HEADER.Machine == machine_code, hex(pe.FILE_HEADER.Machine))
    report(f"{header} optional header", pe.OPTIONAL_HEADER.Magic == magic, hex(pe.OPTIONAL_HEADER.Magic))
    report("GUI subsystem", pe.OPTIONAL_HEADER.Subsystem == 2, pe.OPTIONAL_HEADER.Subsystem)
    dlls = {decode(entry.dll).lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])}
    report("imports only system DLLs", dlls and dlls <= SYSTEM_DLLS, sorted(dlls - SYSTEM_DLLS))
    report("imports the window and drawing DLLs", {"user32.dll", "gdi32.dll"} <= dlls, sorted(dlls))

    fixed = pe.VS_FIXEDFILEINFO[0] if getattr(pe, "VS_FIXEDFILEINFO", None) else None
    for field in ("FileVersion", "ProductVersion"):
        got = (getattr(fixed, field + "MS", None), getattr(fixed, field + "LS", None))
        report(f"numeric {field} 1.0.0.0", got == (0x00010000, 0), got)
    strings, translations = version_record(pe)
    for key, want in VERSION_STRINGS.items():
        got = strings.get(("040904b0", key))
        report(f"{key} is {want!r} (U.S. English, Unicode)", got == want, repr(got))
    extra = sorted(k for (_, k) in strings if k not in VERSION_STRINGS)
    report("no other version strings", not extra, extra)
    report("translation 0x0409 / 1200", translations == ["0x0409 0x04b0"], translations)

    with tempfile.TemporaryDirectory() as tmp:
        groups = subprocess.run(["wrestool", "-l", "--type=14", exe], capture_output=True,
                                text=True, check=True).stdout.splitlines()
        report("one icon group", len(groups) == 1, groups)
        embedded = os.path.join(tmp, "embedded.ico")
        subprocess.run(["wrestool", "-x", "--type=14", "-o", embedded, exe], check=True)
        images, count = icon_listing(embedded)
        report("three icon images", count == 3, count)
        for width, height, depth, palette in sorted(ICON_IMAGES):
            report(f"icon image {width}x{height} in {palette} colours",
                   (width, height, depth, palette) in images, sorted(images))
        report("embedded icon is the generated one, pixel for pixel",
               icon_pixels(embedded, os.path.join(tmp, "a")) == icon_pixels(ico, os.path.join(tmp, "b")),
               "the images differ")


if __name__ == "__main__":
    if len(sys.argv) != 4 or sys.argv[1] not in MACHINES:
        sys.exit("usage: check_pe.py i386|amd64 EXE ICO")
    main(*sys.argv[1:])
