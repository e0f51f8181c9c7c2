#!/usr/bin/env python3
"""Writes a sample software image (soft.cla, structure version 2, its tag at
0x100) and a matching package (pack.bin) into DIR, for manual downloads with
the emulator. Usage: make_test_images.py DIR [SIZE]"""
import os
import random
import struct
import sys

MARKER = b"download identification area"


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    out = sys.argv[1]
    size = int(sys.argv[2], 0) if len(sys.argv) > 2 else 300000
    os.makedirs(out, exist_ok=True)
    rnd = random.Random(1)
    image = bytearray(rnd.getrandbits(8) for _ in range(size))
    # structure id 514 (02 02), family, reserved, edition, pack size, pack address
    tag = bytes([0x02, 0x02]) + struct.pack(">HHHII", 0x1234, 0, 0x0102, 0x40000, 0x200000)
    block = MARKER + struct.pack(">I", len(tag)) + tag
    image[0x100:0x100 + len(block)] = block
    with open(os.path.join(out, "soft.cla"), "wb") as f:
        f.write(image)
    items = [1, 3]
    package = bytearray(b"599:" + struct.pack(">HH", 0x1234, 0x0102) + bytes(8) + bytes(12)
                        + struct.pack(">I", len(items)))
    for i, item in enumerate(items):
        package += struct.pack(">II", item, 0x1000 + i)
    package += bytes(rnd.getrandbits(8) for _ in range(5000))
    struct.pack_into(">I", package, 12, len(package) + len(package) % 2)
    with open(os.path.join(out, "pack.bin"), "wb") as f:
        f.write(package)


if __name__ == "__main__":
    main()
