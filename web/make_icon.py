#!/usr/bin/env python3
"""Draws the page's icon, a cartridge on the page's blue, as a PNG of SIZE pixels.

    make_icon.py SIZE OUTPUT.png

Drawn at build time so that no picture is kept in the sources.
"""
import struct
import sys
import zlib

BLUE = (0x24, 0x57, 0xA6)
WHITE = (0xFF, 0xFF, 0xFF)
GREY = (0xC8, 0xD4, 0xE8)


def pixel(x: float, y: float) -> tuple:
    # In units of the icon's side: a cartridge body with a label and contacts.
    if 0.22 <= x <= 0.78 and 0.16 <= y <= 0.84:
        if 0.30 <= x <= 0.70 and 0.24 <= y <= 0.56:
            return BLUE if 0.34 <= x <= 0.66 and 0.36 <= y <= 0.44 else GREY
        if y >= 0.72 and 0.30 <= x <= 0.70 and int((x - 0.30) * 50) % 2 == 0:
            return GREY
        return WHITE
    return BLUE


def png(size: int) -> bytes:
    rows = bytearray()
    for j in range(size):
        rows.append(0)
        for i in range(size):
            rows.extend(pixel((i + 0.5) / size, (j + 0.5) / size))

    def chunk(kind: bytes, data: bytes) -> bytes:
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))

    return (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", size, size, 8, 2, 0, 0, 0)) +
            chunk(b"IDAT", zlib.compress(bytes(rows), 9)) + chunk(b"IEND", b""))


def main() -> None:
    size, output = int(sys.argv[1]), sys.argv[2]
    with open(output, "wb") as f:
        f.write(png(size))


if __name__ == "__main__":
    main()
