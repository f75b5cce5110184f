#!/usr/bin/env python3
"""Draws the Quillet Lite program and file-type icon: a quill on a page.

Writes resources/quilex.ico (16 x 16, 32 x 32 and 48 x 48 images, each a
32-bit BGRA bitmap with its AND mask) and resources/icons/quilex-48.png
(the 48 x 48 picture, for the desktop entry).

The 32 x 32 and 48 x 48 pictures are described by simple shapes in a unit
square and rendered with 6 x 6 supersampling, outlines one pixel wide; the
16 x 16 picture is hand-drawn pixel art, since the shapes blur at that size.  Python 3 standard library only; the output is deterministic.
Run:  python3 resources/icons/make_ico.py
"""

import math
import os
import struct

from make_icons import PALETTE, png_bytes

SIZES = (16, 32, 48)

# At 16 x 16 the shapes below blur, so that size is hand-drawn pixel art:
# the page with three lines of writing, the feather across its corner and
# the nib at its foot.  '.' is transparent; the characters are those of the
# toolbar palette, tinted below to match the larger sizes.
GRID16 = [
    "...............N",
    ".gggggggggg..NBN",
    ".gWWWWWWWWg.NBWN",
    ".gWWWWWWWWNBBWBN",
    ".gWssssssNBBWBN.",
    ".gWWWWWWNBBBWBN.",
    ".gWsssNBBBWBN...",
    ".gWWWWNBBWBN....",
    ".gWsssNBWBN.....",
    ".gWWWWNWNWg.....",
    ".gWWWWOWWWg.....",
    ".gWWWOWWWWg.....",
    ".gWWKWWWWWg.....",
    ".gNKWWWWWWg.....",
    ".gggggggggg.....",
    "................",
]

SUPER = 6

# Colours (r, g, b).
PAGE = (255, 255, 255)
PAGE_EDGE = (64, 64, 64)
FOLD = (200, 200, 200)
TEXT = (150, 150, 160)
INK = (0, 0, 128)
VANE = (32, 96, 200)
VANE_DARK = (16, 48, 128)
VANE_EDGE = (8, 24, 72)
SHAFT = (250, 245, 225)
BARREL = (205, 170, 105)
BARREL_EDGE = (110, 80, 40)
NIB = (40, 40, 40)
NIB_SHINE = (170, 170, 170)

# The 16 x 16 grid's characters, tinted to match the larger sizes.
GRID16_PALETTE = dict(PALETTE, g=PAGE_EDGE, s=TEXT, B=VANE, N=VANE_EDGE,
                      W=PAGE, O=BARREL, K=NIB)

# The page: left, top, right, bottom, and the size of the folded corner.
PX0, PY0, PX1, PY1, FOLD_SIZE = 0.12, 0.06, 0.72, 0.94, 0.18

# The quill's axis runs from the nib to the tip of the feather.
NIB_AT = (0.44, 0.80)
TIP_AT = (0.95, 0.05)
AX = (TIP_AT[0] - NIB_AT[0], TIP_AT[1] - NIB_AT[1])
AXIS_LEN = math.hypot(*AX)
AXIS = (AX[0] / AXIS_LEN, AX[1] / AXIS_LEN)
NORMAL = (-AXIS[1], AXIS[0])
BEND = 0.10  # how far the quill's middle bows away from the straight axis


def page_colour(x, y, px):
    """Colour of the page layer at (x, y), or None outside the page."""
    if not (PX0 <= x <= PX1 and PY0 <= y <= PY1):
        return None
    # Folded corner at the top right: the part beyond the diagonal is gone,
    # the triangle under it is the turned-down flap.
    fx, fy = x - (PX1 - FOLD_SIZE), y - PY0  # fy grows downwards
    if fx >= 0 and fy <= FOLD_SIZE:
        if fx - fy > 0:           # cut away
            return None
        if fx - fy > -px * 1.2:   # the diagonal edge
            return PAGE_EDGE
        if fy > FOLD_SIZE - px or fx < px:  # the flap's own edges
            return PAGE_EDGE
        return FOLD
    if x < PX0 + px or x > PX1 - px or y < PY0 + px or y > PY1 - px:
        return PAGE_EDGE
    return PAGE


def text_colour(x, y, px):
    """Grey lines of writing on the page, and the line still being inked."""
    lines = ((0.30, 0.60), (0.40, 0.64), (0.50, 0.56), (0.60, 0.62))
    thick = max(px * 1.1, 0.035)
    left = PX0 + 0.10
    for ly, right in lines:
        if abs(y - ly) < thick / 2 and left <= x <= right:
            return TEXT
    # Wavy ink line running into the nib.
    if left <= x <= NIB_AT[0]:
        wy = 0.74 + 0.025 * math.sin((x - left) * 26.0)
        if abs(y - wy) < max(px * 0.9, 0.03) / 2 + 0.004:
            return INK
    return None


def quill_colour(x, y, px, detail):
    """Colour of the quill at (x, y), or None where it isn't."""
    dx, dy = x - NIB_AT[0], y - NIB_AT[1]
    u = (dx * AXIS[0] + dy * AXIS[1]) / AXIS_LEN   # 0 at the nib, 1 at the tip
    v = dx * NORMAL[0] + dy * NORMAL[1]
    if u < 0 or u > 1:
        return None
    v -= BEND * u * (1 - u)  # follow the bow of the quill
    # Nib: a dark point from u = 0 to 0.14.
    if u < 0.14:
        half = 0.040 * (u / 0.14) + 0.3 * px * (u > 0.01)
        if abs(v) <= half:
            if detail and abs(v) < half * 0.3 and 0.04 < u < 0.11:
                return NIB_SHINE
            return NIB
        return None
    # Barrel (the bare quill) below the feather, then the shaft inside it.
    barrel = max(px * 1.4, 0.034) * (1.0 - 0.5 * u)
    shaft = max(px * 0.55, 0.014)
    # Vane: from u = 0.24 to the tip, wider on one side.
    s = (u - 0.24) / 0.76
    if s > 0:
        shape = math.sin(math.pi * min(1.0, s ** 0.7)) ** 0.6
        wide, narrow = 0.19 * shape, 0.12 * shape
        half = wide if v > 0 else narrow
        if detail:
            # A few notches where the barbs part.
            for notch, side in ((0.42, 1), (0.66, -1), (0.80, 1)):
                if side * v > 0 and abs(s - notch) < 0.035:
                    half *= 0.5 + 14.0 * abs(s - notch)
        if abs(v) <= shaft:
            return SHAFT
        if abs(v) <= half:
            if abs(v) > half - px:
                return VANE_EDGE
            if detail:
                # Barbs: stripes slanting back towards the nib.
                stripe = (u * 10.0 - abs(v) * 12.0) % 1.0
                if stripe < 0.2:
                    return VANE_DARK
            return VANE
    if abs(v) <= barrel and s <= 0.02:
        if abs(v) > barrel - px:
            return BARREL_EDGE
        return BARREL
    return None


def render(size):
    """Rows of (r, g, b, a) pixels for one size of the icon."""
    if size == 16:
        return [[(0, 0, 0, 0) if ch == "." else GRID16_PALETTE[ch] + (255,)
                 for ch in line] for line in GRID16]
    px = 1.0 / size
    detail = size >= 32
    rows = []
    for j in range(size):
        row = []
        for i in range(size):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sj in range(SUPER):
                for si in range(SUPER):
                    x = (i + (si + 0.5) / SUPER) * px
                    y = (j + (sj + 0.5) / SUPER) * px
                    colour = quill_colour(x, y, px, detail)
                    if colour is None:
                        colour = text_colour(x, y, px) if page_colour(x, y, px) == PAGE else None
                    if colour is None:
                        colour = page_colour(x, y, px)
                    if colour is not None:
                        acc[0] += colour[0]
                        acc[1] += colour[1]
                        acc[2] += colour[2]
                        acc[3] += 1.0
            n = SUPER * SUPER
            if acc[3] == 0:
                row.append((0, 0, 0, 0))
            else:
                row.append((int(round(acc[0] / acc[3])), int(round(acc[1] / acc[3])),
                            int(round(acc[2] / acc[3])), int(round(255 * acc[3] / n))))
        rows.append(row)
    return rows


def dib_bytes(size, rows):
    """A 32-bit BGRA device-independent bitmap with AND mask, as ICO wants."""
    mask_stride = ((size + 31) // 32) * 4
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0,
                         size * size * 4 + mask_stride * size, 0, 0, 0, 0)
    pixels = bytearray()
    mask = bytearray()
    for row in reversed(rows):  # bitmaps are stored bottom-up
        bits = bytearray(mask_stride)
        for i, (r, g, b, a) in enumerate(row):
            pixels.extend((b, g, r, a))
            if a == 0:
                bits[i // 8] |= 0x80 >> (i % 8)
        mask.extend(bits)
    return header + bytes(pixels) + bytes(mask)


def ico_bytes(images):
    """images: list of (size, dib bytes)."""
    out = struct.pack("<HHH", 0, 1, len(images))
    offset = 6 + 16 * len(images)
    body = b""
    for size, data in images:
        out += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32,
                           len(data), offset + len(body))
        body += data
    return out + body


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    images = []
    for size in SIZES:
        rows = render(size)
        images.append((size, dib_bytes(size, rows)))
        if size == 48:
            with open(os.path.join(here, "quilex-48.png"), "wb") as out:
                out.write(png_bytes(size, size, rows))
    with open(os.path.join(os.path.dirname(here), "quilex.ico"), "wb") as out:
        out.write(ico_bytes(images))


if __name__ == "__main__":
    main()
