#!/usr/bin/python3
"""Draws the Quorix program icon, a hysteresis loop on a small plot, in
every form the program and its package use:
  - a 32 x 32, 16-colour picture, as an XPM compiled into the program and a
    Windows .ico for the executable (beside this script);
  - the scalable icon at full resolution, quorix.svg, and the hicolor PNGs
    made from it with rsvg-convert (Debian package librsvg2-bin), in
    packaging/icons.
Both show a white plot with a grey frame and a shadow, axes through the
centre, and the loop bounded by two shifted tanh branches, the upper one
y = tanh(2.5 (x + 0.5)) and the lower one y = tanh(2.5 (x - 0.5)), filled
yellow and outlined in dark blue: the familiar shape of a smooth hysteretic
force-displacement cycle.

Run: /usr/bin/python3 src/look/icon/make_icons.py
"""
import math
import os
import struct
import subprocess

SIZE = 32
SCALABLE_SIZES = (48, 64, 128, 256)
# The 16 colours of the classic VGA palette, in their usual order.
PALETTE = [
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
]
BLACK, DARK_BLUE, GREY, LIGHT_GREY, YELLOW, WHITE = 0, 4, 8, 7, 11, 15
TRANSPARENT = -1


def upper(u):
    return math.tanh(2.5 * (u + 0.5))


def lower(u):
    return math.tanh(2.5 * (u - 0.5))


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


def point(u, v):
    # Model coordinates in [-1.2, 1.2] onto the 256-unit canvas, centred at 120.
    return 120 + u * 84, 120 - v * 84


def svg():
    steps = 96
    top = [point(-1 + 2 * k / steps, upper(-1 + 2 * k / steps)) for k in range(steps + 1)]
    bottom = [point(1 - 2 * k / steps, lower(1 - 2 * k / steps)) for k in range(steps + 1)]
    loop = " ".join("%s%.2f,%.2f" % ("M" if i == 0 else "L", x, y) for i, (x, y) in enumerate(top + bottom)) + " Z"
    return f"""<?xml version="1.0" encoding="UTF-8"?>
<svg xmlns="http://www.w3.org/2000/svg" width="256" height="256" viewBox="0 0 256 256">
  <title>Quorix</title>
  <rect x="24" y="24" width="224" height="224" rx="14" fill="#000000" opacity="0.35"/>
  <rect x="8" y="8" width="224" height="224" rx="14" fill="#ffffff" stroke="#808080" stroke-width="6"/>
  <path d="M24,120 H216 M120,24 V216" stroke="#c0c0c0" stroke-width="5"/>
  <path d="{loop}" fill="#ffff00" stroke="#000080" stroke-width="9" stroke-linejoin="round"/>
</svg>
"""


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    picture = draw()
    write_xpm(picture, os.path.join(here, "quorix_icon.xpm"))
    write_ico(picture, os.path.join(here, "quorix.ico"))
    package = os.path.join(here, "..", "..", "..", "packaging", "icons")
    scalable = os.path.join(package, "quorix.svg")
    with open(scalable, "w", newline="\n") as f:
        f.write(svg())
    for size in SCALABLE_SIZES:
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
                        os.path.join(package, "quorix-%d.png" % size), scalable], check=True)
