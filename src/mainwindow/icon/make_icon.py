#!/usr/bin/python3
"""Draws the Quorix program icon: a 32 x 32, 16-colour picture of a
hysteresis loop on a small plot, written as an XPM (compiled into the
program) and as a Windows .ico (the executable's icon).

The loop is bounded by two shifted tanh branches, the upper one
y = tanh(2.5 (x + 0.5)) and the lower one y = tanh(2.5 (x - 0.5)), the
familiar shape of a smooth hysteretic force-displacement cycle.

Run: /usr/bin/python3 make_icon.py   (writes quorix_icon.xpm and quorix.ico
beside this script)
"""
import math
import os
import struct

SIZE = 32
# The 16 colours of the classic VGA palette, in their usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_BLUE, GREY, LIGHT_GREY, YELLOW, WHITE = 0, 4, 8, 7, 11, 15
TRANSPARENT = -1


def draw():
    img = [[TRANSPARENT] * SIZE for _ in range(SIZE)]
    # The plot: a white square with a dark frame and a drop shadow.
    for y in range(1, 30):
        for x in range(1, 30):
            img[y][x] = WHITE
    for i in range(1, 30):
        img[1][i] = img[29][i] = img[i][1] = img[i][29] = GREY
    for i in range(3, 31):
        img[30][i] = img[i][30] = BLACK
    # Axes through the centre.
    for i in range(3, 28):
        img[15][i] = LIGHT_GREY
        img[i][15] = LIGHT_GREY

    def to_px(u, v):  # model coordinates in [-1.2, 1.2] to pixels
        return 15 + u * 10.5, 15 - v * 10.5

    def upper(u):
        return math.tanh(2.5 * (u + 0.5))

    def lower(u):
        return math.tanh(2.5 * (u - 0.5))

    # Fill between the branches.
    for py in range(3, 28):
        for px in range(3, 28):
            u = (px - 15) / 10.5
            v = (15 - py) / 10.5
            if abs(u) <= 1.0 and lower(u) < v < upper(u):
                img[py][px] = YELLOW
    # Outline: both branches, sampled densely, closed by the reversal points.
    steps = 400
    for k in range(steps + 1):
        u = -1.0 + 2.0 * k / steps
        for branch in (upper, lower):
            px, py = to_px(u, branch(u))
            img[int(round(py))][int(round(px))] = DARK_BLUE
    for u in (-1.0, 1.0):
        v0, v1 = sorted((lower(u), upper(u)))
        for k in range(41):
            px, py = to_px(u, v0 + (v1 - v0) * k / 40)
            img[int(round(py))][int(round(px))] = DARK_BLUE
    return img


def write_xpm(img, path):
    used = sorted({c for row in img for c in row})
    chars = {c: ch for c, ch in zip(used, " .+@#$%&*=-;>,')!")}
    lines = ["/* XPM */", "static const char* const quorix_icon_xpm[] = {",
             '"%d %d %d 1",' % (SIZE, SIZE, len(used))]
    for c in used:
        colour = "None" if c == TRANSPARENT else "#%02X%02X%02X" % PALETTE[c]
        lines.append('"%s c %s",' % (chars[c], colour))
    for i, row in enumerate(img):
        lines.append('"%s"%s' % ("".join(chars[c] for c in row), "," if i < SIZE - 1 else ""))
    lines.append("};")
    with open(path, "w", newline="\n") as f:
        f.write("\n".join(lines) + "\n")


def write_ico(img, path):
    # One 32 x 32, 4 bits-per-pixel image: BITMAPINFOHEADER (height doubled
    # for the AND mask), 16 palette entries, XOR bitmap, AND mask; rows are
    # stored bottom-up.
    xor = bytearray()
    for row in reversed(img):
        for x in range(0, SIZE, 2):
            hi = max(row[x], 0)
            lo = max(row[x + 1], 0)
            xor.append((hi << 4) | lo)
    mask = bytearray()
    for row in reversed(img):
        bits = 0
        for x in range(SIZE):
            bits = (bits << 1) | (1 if row[x] == TRANSPARENT else 0)
        mask += struct.pack(">I", bits)
    palette = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in PALETTE)
    header = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 4, 0, len(xor) + len(mask), 0, 0, 16, 0)
    image = header + palette + bytes(xor) + bytes(mask)
    directory = struct.pack("<BBBBHHII", SIZE, SIZE, 16, 0, 1, 4, len(image), 6 + 16)
    with open(path, "wb") as f:
        f.write(struct.pack("<HHH", 0, 1, 1) + directory + image)


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    picture = draw()
    write_xpm(picture, os.path.join(here, "quorix_icon.xpm"))
    write_ico(picture, os.path.join(here, "quorix.ico"))
