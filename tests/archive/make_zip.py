#!/usr/bin/env python3
"""Writes a zip archive described by a JSON list of entries, for the archive tests.

usage: make_zip.py ARCHIVE JSON

Each entry is an object:
  name     the stored name, written raw (backslashes, "..", leading separators and drive letters stay)
  data     text content (UTF-8); "size" instead gives that many pseudo-random bytes (seeded by "seed")
  mode     Unix mode (e.g. 0o100755, 0o120777 for a symbolic link): stored as made on Unix
  attr     Windows attribute bits: stored as made on Windows
  date     [year, month, day, hour, minute, second], default 2001-02-03 04:05:06
  stored   true to store without compression (the data then lies in the archive as is)
A name ending in "/" is a directory entry.
"""
import json
import random
import sys
import zipfile


def entry_bytes(entry):
    if "size" in entry:
        rng = random.Random(entry.get("seed", 1))
        return rng.randbytes(entry["size"])
    return entry.get("data", "").encode("utf-8")


def main():
    archive, entries = sys.argv[1], json.loads(sys.argv[2])
    with zipfile.ZipFile(archive, "w") as zf:
        for entry in entries:
            info = zipfile.ZipInfo(entry["name"], tuple(entry.get("date", [2001, 2, 3, 4, 5, 6])))
            info.compress_type = zipfile.ZIP_STORED if entry.get("stored") else zipfile.ZIP_DEFLATED
            if "mode" in entry:
                info.create_system = 3
                info.external_attr = entry["mode"] << 16
            elif "attr" in entry:
                info.create_system = 0
                info.external_attr = entry["attr"]
            zf.writestr(info, entry_bytes(entry))


if __name__ == "__main__":
    main()
