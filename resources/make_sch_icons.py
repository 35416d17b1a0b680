#!/usr/bin/env python3
"""Draws the scheduler's eight 16x16 tray icons as 32-bit .ico files.

Run from anywhere: writes qbsch_*.ico beside this script. The clock face is coloured while
the scheduler is on and grey while it is off; a green disc at the lower left shows autorun on;
a red cross at the upper right shows that some run or test failed.
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def picture(sched, auto, err):
    px = [[None] * 16 for _ in range(16)]
    rim, face, hand = ((0, 64, 160), (200, 225, 255), (0, 0, 96)) if sched else \
        ((96, 96, 96), (220, 220, 220), (64, 64, 64))
    for y in range(16):
        for x in range(16):
            d2 = (x - 7.5) ** 2 + (y - 7.5) ** 2
            if d2 <= 7.6 ** 2:
                px[y][x] = rim if d2 > 6.2 ** 2 else face
    for y in range(3, 9):            # minute hand, up
        px[y][7] = hand
        px[y][8] = hand
    for x in range(8, 12):           # hour hand, right
        px[8][x] = hand
        px[7][x] = hand
    if auto:
        for y in range(9, 16):
            for x in range(0, 7):
                d2 = (x - 3) ** 2 + (y - 12) ** 2
                if d2 <= 3.3 ** 2:
                    px[y][x] = (0, 96, 0) if d2 > 2.2 ** 2 else (40, 200, 40)
        px[12][3] = (0, 60, 0)
    if err:
        for i in range(6):
            for x, y in ((10 + i, i), (15 - i, i)):
                px[y][x] = (220, 0, 0)
                if x + 1 < 16:
                    px[y][x + 1] = (220, 0, 0)
    return px


def ico(px):
    xor = b''
    andmask = b''
    for y in range(15, -1, -1):      # bottom-up rows
        bits = 0
        for x in range(16):
            c = px[y][x]
            if c is None:
                xor += b'\0\0\0\0'
                bits |= 1 << (15 - x)
            else:
                xor += bytes((c[2], c[1], c[0], 255))
        andmask += struct.pack('>H', bits) + b'\0\0'
    header = struct.pack('<IiiHHIIiiII', 40, 16, 32, 1, 32, 0, len(xor) + len(andmask), 0, 0, 0, 0)
    image = header + xor + andmask
    return struct.pack('<HHH', 0, 1, 1) + struct.pack('<BBBBHHII', 16, 16, 0, 0, 1, 32, len(image), 22) + image


for name, s, a, e in (('sa', 1, 1, 0), ('s', 1, 0, 0), ('a', 0, 1, 0), ('none', 0, 0, 0),
                      ('sae', 1, 1, 1), ('se', 1, 0, 1), ('ae', 0, 1, 1), ('e', 0, 0, 1)):
    with open(os.path.join(HERE, 'qbsch_%s.ico' % name), 'wb') as f:
        f.write(ico(picture(s, a, e)))
