#!/usr/bin/env python3
"""Draws the viewer's two 16x16 list icons (error and warning) as 16-colour .ico files.

Run from anywhere: writes qbew_err.ico and qbew_warn.ico beside this script.
The standard 16-colour palette keeps the colours exact in the viewer's 8-bit image list.
"""
import os
import struct

PALETTE = [  # (r, g, b) of the standard 16 colours
    (0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128), (0, 128, 128),
    (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0), (255, 255, 0), (0, 0, 255),
    (255, 0, 255), (0, 255, 255), (255, 255, 255)]
BLACK, DARKRED, GREY, RED, YELLOW, WHITE = 0, 1, 8, 9, 11, 15

# '.' transparent; other letters index the palette.
KEY = {'.': None, 'k': BLACK, 'd': DARKRED, 'g': GREY, 'r': RED, 'y': YELLOW, 'w': WHITE}

ERR = [
    ".....dddddd.....",
    "...ddrrrrrrdd...",
    "..drrrrrrrrrrd..",
    ".drrrrrrrrrrrrd.",
    ".drrwwrrrrwwrrd.",
    "drrrwwwrrwwwrrrd",
    "drrrrwwwwwwrrrrd",
    "drrrrrwwwwrrrrrd",
    "drrrrrwwwwrrrrrd",
    "drrrrwwwwwwrrrrd",
    "drrrwwwrrwwwrrrd",
    ".drrwwrrrrwwrrd.",
    ".drrrrrrrrrrrrd.",
    "..drrrrrrrrrrd..",
    "...ddrrrrrrdd...",
    ".....dddddd.....",
]
WARN = [
    ".......kk.......",
    "......kyyk......",
    "......kyyk......",
    ".....kyyyyk.....",
    ".....kykkyk.....",
    "....kyykkyyk....",
    "....kyykkyyk....",
    "...kyyykkyyyk...",
    "...kyyykkyyyk...",
    "..kyyyykkyyyyk..",
    "..kyyyyyyyyyyk..",
    ".kyyyyykkyyyyyk.",
    ".kyyyyykkyyyyyk.",
    "kyyyyyyyyyyyyyyk",
    "kkkkkkkkkkkkkkkk",
    "................",
]


def ico(rows):
    assert len(rows) == 16 and all(len(r) == 16 for r in rows)
    xor = b""
    andmask = b""
    for row in reversed(rows):  # bottom-up
        nibbles = [KEY[c] if KEY[c] is not None else 0 for c in row]
        xor += bytes((nibbles[i] << 4) | nibbles[i + 1] for i in range(0, 16, 2))
        bits = 0
        for c in row:
            bits = (bits << 1) | (1 if KEY[c] is None else 0)
        andmask += struct.pack(">H", bits) + b"\0\0"  # rows padded to 4 bytes
    palette = b"".join(struct.pack("BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 4, 0, len(xor) + len(andmask), 0, 0, 16, 0)
    image = header + palette + xor + andmask
    directory = struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 16, 0, 1, 4, len(image), 22)
    return directory + image


here = os.path.dirname(os.path.abspath(__file__))
for name, rows in (("qbew_err.ico", ERR), ("qbew_warn.ico", WARN)):
    with open(os.path.join(here, name), "wb") as f:
        f.write(ico(rows))
