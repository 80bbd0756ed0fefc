#!/usr/bin/env python3
"""Writes the compressed form of plain catalogues, as players that keep iTunesCDB hold it.

The database header is kept (made at least 0xF4 bytes long, padded with zeros), its byte 0xA8
set to 1 and its field at 12 to 2; everything after it becomes one zlib stream, and the total
length at 8 becomes the size of the result. Used for the fuzzer's seeds and the Windows parity
check; the project's own writer (tools/ItunesDbWriter.cpp) does the same in C++.

With --head N only the first N bytes of each file are compressed (a truncated catalogue, which
the walk reads as far as it goes), and the result is named NAME-headN.iTunesCDB: small seeds
for the inflate fuzzer.

Usage: compress_catalogue.py [--head N] OUT_DIR FILE...   (writes OUT_DIR/NAME.iTunesCDB)
"""

import os
import struct
import sys
import zlib

COMPRESSED_HEADER_LENGTH = 0xF4
FLAG_OFFSET = 0xA8


def compress_catalogue(image):
    """The compressed form of a plain catalogue image (bytes)."""
    header_length = struct.unpack_from("<I", image, 4)[0]
    if image[:4] != b"mhbd" or header_length > len(image):
        raise ValueError("not a catalogue")
    new_length = max(header_length, COMPRESSED_HEADER_LENGTH)
    header = bytearray(image[:header_length]) + bytes(new_length - header_length)
    struct.pack_into("<I", header, 4, new_length)
    struct.pack_into("<I", header, 12, 2)
    header[FLAG_OFFSET] = 1
    result = header + zlib.compress(bytes(image[header_length:]))
    struct.pack_into("<I", result, 8, len(result))
    return bytes(result)


def main(argv):
    head = None
    if len(argv) > 2 and argv[1] == "--head":
        head = int(argv[2])
        argv = argv[:1] + argv[3:]
    if len(argv) < 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 64
    out_dir = argv[1]
    os.makedirs(out_dir, exist_ok=True)
    for path in argv[2:]:
        with open(path, "rb") as f:
            image = f.read(head) if head is not None else f.read()
        try:
            compressed = compress_catalogue(image)
        except (ValueError, struct.error):
            print("skipped (not a catalogue): %s" % path, file=sys.stderr)
            continue
        name = os.path.splitext(os.path.basename(path))[0]
        name += ("-head%d" % head if head is not None else "") + ".iTunesCDB"
        with open(os.path.join(out_dir, name), "wb") as f:
            f.write(compressed)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
