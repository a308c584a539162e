#!/usr/bin/python3
"""Extracts files from a Qt binary resource file (.rcc): rcc_extract.py FILE.rcc OUTDIR [SUFFIX]."""
import os
import struct
import sys
import zlib

TREE_ENTRY = 22  # format version 2 and later
DIRECTORY, COMPRESSED = 0x02, 0x01


def extract(path, out, suffix=""):
    data = open(path, "rb").read()
    if data[:4] != b"qres":
        raise SystemExit(f"{path}: not a Qt resource file")
    version, tree, payload, names = struct.unpack(">iiii", data[4:20])
    if version < 2:
        raise SystemExit(f"{path}: resource format {version} is not handled")

    def name(offset):
        length = struct.unpack(">H", data[names + offset:names + offset + 2])[0]
        start = names + offset + 6
        return data[start:start + 2 * length].decode("utf-16-be")

    written = []

    def walk(index, prefix):
        entry = tree + index * TREE_ENTRY
        name_offset, flags = struct.unpack(">iH", data[entry:entry + 6])
        here = os.path.join(prefix, name(name_offset)) if index else prefix
        if flags & DIRECTORY:
            count, first = struct.unpack(">ii", data[entry + 6:entry + 14])
            for child in range(first, first + count):
                walk(child, here)
            return
        if not here.endswith(suffix):
            return
        offset = payload + struct.unpack(">i", data[entry + 10:entry + 14])[0]
        size = struct.unpack(">I", data[offset:offset + 4])[0]
        blob = data[offset + 4:offset + 4 + size]
        if flags & COMPRESSED:
            blob = zlib.decompress(blob[4:])
        target = os.path.join(out, here)
        os.makedirs(os.path.dirname(target), exist_ok=True)
        with open(target, "wb") as f:
            f.write(blob)
        written.append(target)

    walk(0, "")
    return written


if __name__ == "__main__":
    for f in extract(sys.argv[1], sys.argv[2], sys.argv[3] if len(sys.argv) > 3 else ""):
        print(f)
