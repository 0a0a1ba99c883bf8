#!/usr/bin/env python3
"""Writes KVXBTNSEARCH.png: two 9 x 16 magnifier glyphs side by side, normal and disabled.

Run from this directory after changing the drawing; the PNG is kept in the repository.
"""
import struct
import zlib

# '#' outline, 'c' glass, 'w' glass highlight, 'h' handle, '.' transparent.
MAGNIFIER = [
    ".........",
    ".........",
    ".........",
    "..###....",
    ".#ccc#...",
    "#cwccc#..",
    "#cwccc#..",
    "#ccccc#..",
    ".#ccc#...",
    "..###hh..",
    ".....hhh.",
    "......hhh",
    ".......hh",
    ".........",
    ".........",
    ".........",
]

NORMAL = {
    "#": (0, 0, 0, 255),
    "c": (160, 210, 240, 255),
    "w": (255, 255, 255, 255),
    "h": (96, 64, 32, 255),
}
DISABLED_INK = (128, 128, 128, 255)
DISABLED_SHADOW = (255, 255, 255, 255)
CLEAR = (0, 0, 0, 0)


def normal_image():
    return [[NORMAL.get(ch, CLEAR) for ch in row] for row in MAGNIFIER]


def disabled_image():
    ink = [[ch in "#h" for ch in row] for row in MAGNIFIER]
    h, w = len(ink), len(ink[0])
    out = [[CLEAR] * w for _ in range(h)]
    for y in range(h):
        for x in range(w):
            if ink[y][x]:
                out[y][x] = DISABLED_INK
            elif x > 0 and y > 0 and ink[y - 1][x - 1]:
                out[y][x] = DISABLED_SHADOW
    return out


def write_png(path, pixels):
    h, w = len(pixels), len(pixels[0])
    raw = b"".join(b"\x00" + b"".join(bytes(p) for p in row) for row in pixels)

    def chunk(kind, data):
        body = kind + data
        return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF)

    png = b"\x89PNG\r\n\x1a\n"
    png += chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 6, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9))
    png += chunk(b"IEND", b"")
    with open(path, "wb") as f:
        f.write(png)


if __name__ == "__main__":
    left, right = normal_image(), disabled_image()
    write_png("KVXBTNSEARCH.png", [a + b for a, b in zip(left, right)])
