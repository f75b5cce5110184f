#!/usr/bin/env python3
"""Draws the program's icon for the desktop's hicolor theme.

Writes resources/icons/hicolor/quillet-lite-<size>.png for the sizes an
installed copy puts in <prefix>/share/icons/hicolor/<size>x<size>/apps/.
The pictures are those of quilex.ico (make_ico.py): the hand-drawn 16 x 16
one, and the shapes rendered afresh at every larger size.

Python 3 standard library only; the output is deterministic.
Run:  python3 resources/icons/make_hicolor.py
"""

import os

from make_icons import png_bytes
from make_ico import render

SIZES = (16, 32, 48, 64, 128, 256)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for size in SIZES:
        rows = render(size)
        path = os.path.join(here, "hicolor", "quillet-lite-%d.png" % size)
        with open(path, "wb") as out:
            out.write(png_bytes(size, size, rows))


if __name__ == "__main__":
    main()
