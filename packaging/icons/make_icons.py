#!/usr/bin/python3
"""Draws Quorix's scalable icon, the program icon's hysteresis loop at full
resolution: a white plot with a grey frame and shadow, axes through the
centre, and the loop bounded by the shifted tanh branches
y = tanh(2.5 (x + 0.5)) (upper) and y = tanh(2.5 (x - 0.5)) (lower),
filled yellow and outlined in dark blue. Writes quorix.svg, then the
hicolor PNGs with rsvg-convert (Debian package librsvg2-bin).

Run: /usr/bin/python3 make_icons.py   (writes beside this script)
"""
import math
import os
import subprocess

SIZES = (48, 64, 128, 256)


def point(u, v):
    # Model coordinates in [-1.2, 1.2] onto the 256-unit canvas, centred at 120.
    return 120 + u * 84, 120 - v * 84


def svg():
    steps = 96
    upper = [point(-1 + 2 * k / steps, math.tanh(2.5 * (-1 + 2 * k / steps + 0.5))) for k in range(steps + 1)]
    lower = [point(1 - 2 * k / steps, math.tanh(2.5 * (1 - 2 * k / steps - 0.5))) for k in range(steps + 1)]
    loop = " ".join("%s%.2f,%.2f" % ("M" if i == 0 else "L", x, y) for i, (x, y) in enumerate(upper + lower)) + " Z"
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
    scalable = os.path.join(here, "quorix.svg")
    with open(scalable, "w", newline="\n") as f:
        f.write(svg())
    for size in SIZES:
        subprocess.run(["rsvg-convert", "-w", str(size), "-h", str(size), "-o",
                        os.path.join(here, "quorix-%d.png" % size), scalable], check=True)
