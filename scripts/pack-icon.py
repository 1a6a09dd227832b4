#!/usr/bin/env python3
"""Packs PNG pictures into one Windows icon file (each image kept as PNG, as Windows Vista and
later read them), largest last. Usage: pack-icon.py OUT.ico IN.png [IN.png ...]"""

import struct
import sys


def png_size(data):
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        raise SystemExit("not a PNG picture")
    return struct.unpack(">II", data[16:24])


def main(out_path, paths):
    images = []
    for path in paths:
        with open(path, "rb") as f:
            data = f.read()
        width, height = png_size(data)
        if not (0 < width <= 256 and 0 < height <= 256):
            raise SystemExit("%s: an icon image is at most 256 pixels a side" % path)
        images.append((width, height, data))
    images.sort(key=lambda image: image[0])
    header = struct.pack("<HHH", 0, 1, len(images))
    offset = len(header) + 16 * len(images)
    entries, payload = b"", b""
    for width, height, data in images:
        # 256 is written as 0 in the one-byte fields.
        entries += struct.pack("<BBBBHHII", width % 256, height % 256, 0, 0, 1, 32, len(data),
                               offset + len(payload))
        payload += data
    with open(out_path, "wb") as f:
        f.write(header + entries + payload)


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
