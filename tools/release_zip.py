#!/usr/bin/env python3
"""tools/release_zip.py: writes one zip download of tools/release.sh, the same
to the bit from the same inputs on any machine.

Usage: release_zip.py OUT.zip ENTRY...
  NAME=PATH       the file PATH stored as NAME; if PATH is a folder, every
                  file under it, stored under NAME/
  text:NAME=PATH  the text file PATH stored as NAME with Windows line endings

Entries are stored in name order, each folder before what it holds; every
entry is dated SOURCE_DATE_EPOCH (in UTC, as zip's date has no time zone),
with fixed permissions (0644 files, 0755 folders) and no owner or extra
fields, so nothing of the disk they came from (order, times, umask, owner)
reaches the archive."""
import os
import sys
import time
import zipfile


def entries(argv):
    """(name, path, text) for every file named on the command line."""
    for arg in argv:
        text = arg.startswith("text:")
        name, _, path = arg.removeprefix("text:").partition("=")
        if not name or not path:
            sys.exit(f"release_zip: not NAME=PATH: {arg}")
        if os.path.isdir(path):
            for folder, _, files in os.walk(path):
                for file in files:
                    full = os.path.join(folder, file)
                    yield name + "/" + os.path.relpath(full, path), full, text
        elif os.path.isfile(path):
            yield name, path, text
        else:
            sys.exit(f"release_zip: {path} is missing")


def main(argv):
    if len(argv) < 3:
        sys.exit(__doc__)
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch or not epoch.isdigit():
        sys.exit("release_zip: SOURCE_DATE_EPOCH must be set to the commit's time")
    stamp = max(time.gmtime(int(epoch))[:6], (1980, 1, 1, 0, 0, 0))

    files = {}
    for name, path, text in entries(argv[2:]):
        with open(path, "rb") as f:
            data = f.read()
        files[name] = data.replace(b"\r\n", b"\n").replace(b"\n", b"\r\n") if text else data
    folders = {name[: i + 1] for name in files for i, c in enumerate(name) if c == "/"}

    with zipfile.ZipFile(argv[1], "w") as archive:
        for name in sorted(files.keys() | folders):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = 3  # Unix, so that the permissions below are read
            if name in folders:
                info.external_attr = (0o40755 << 16) | 0x10  # and MS-DOS's folder flag
                archive.writestr(info, b"")
            else:
                info.external_attr = 0o100644 << 16
                info.compress_type = zipfile.ZIP_DEFLATED
                archive.writestr(info, files[name], compresslevel=9)


if __name__ == "__main__":
    main(sys.argv)
