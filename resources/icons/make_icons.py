#!/usr/bin/env python3
"""Draws the toolbar pictures of Quillet Lite.

Writes tb01.png ... tb18.png next to this script.  Every picture is pixel
art kept below as a grid of characters, one character per pixel, in the
classic 16-colour palette.  Silver (0xC0C0C0) is the toolbar's mask colour:
it is used only for the background and written fully transparent, so no
opaque silver pixel appears in any picture.

Pictures 1-17 are 16 x 16; picture 18 (the preview button's globe) is
32 x 32 and is shown scaled down to 16 x 16 on the bar.

Python 3 standard library only; the output is byte-for-byte deterministic.
Run:  python3 resources/icons/make_icons.py
"""

import os
import struct
import zlib

# Palette character -> (R, G, B).  '.' is the transparent silver background.
PALETTE = {
    "K": (0x00, 0x00, 0x00),  # black
    "M": (0x80, 0x00, 0x00),  # maroon
    "G": (0x00, 0x80, 0x00),  # green
    "O": (0x80, 0x80, 0x00),  # olive
    "N": (0x00, 0x00, 0x80),  # navy
    "P": (0x80, 0x00, 0x80),  # purple
    "T": (0x00, 0x80, 0x80),  # teal
    "g": (0x80, 0x80, 0x80),  # grey
    "R": (0xFF, 0x00, 0x00),  # red
    "L": (0x00, 0xFF, 0x00),  # lime
    "Y": (0xFF, 0xFF, 0x00),  # yellow
    "B": (0x00, 0x00, 0xFF),  # blue
    "F": (0xFF, 0x00, 0xFF),  # fuchsia
    "A": (0x00, 0xFF, 0xFF),  # aqua
    "W": (0xFF, 0xFF, 0xFF),  # white
}
MASK = (0xC0, 0xC0, 0xC0)  # silver: the transparent colour

# Picture number -> (key, grid).  The keys are the toolbar picture keys.
PICTURES = {}

PICTURES[1] = ("New", [
    "................",
    "..KKKKKKKK......",
    "..KWWWWWWKK.....",
    "..KWWWWWWKWK....",
    "..KWWWWWWKWWK...",
    "..KWWWWWWKKKKK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWWWWWWWWWgK..",
    "..KWggggggggggK.",
    "..KKKKKKKKKKKKK.",
    "................",
])

PICTURES[2] = ("Open", [
    "................",
    "................",
    "................",
    ".KKKK...........",
    "KYWYWK..........",
    "KWOOOOKKKKKKK...",
    "KYOOOOOOOOOOOK..",
    "KWOOOOOOOOOOOK..",
    "KYOOKKKKKKKKKKKK",
    "KWOKYWYWYWYWYWYK",
    "KYKWYYYYYYYYYYK.",
    "KKYYYYYYYYYYYK..",
    "KYYYYYYYYYYYK...",
    "KKKKKKKKKKKKK...",
    "................",
    "................",
])

PICTURES[3] = ("Save", [
    "................",
    ".KKKKKKKKKKKKKK.",
    ".KNKWWWWWWWWKNK.",
    ".KNKWWWWWWWWKNK.",
    ".KNKWBBBBBBWKNK.",
    ".KNKWWWWWWWWKNK.",
    ".KNKWBBBBBBWKNK.",
    ".KNKWWWWWWWWKNK.",
    ".KNNKKKKKKKKNNK.",
    ".KNNNNNNNNNNNNK.",
    ".KNNWWWWWWWNNNK.",
    ".KNNWWWKKWWNNNK.",
    ".KNNWWWKKWWNNNK.",
    ".KNNWWWKKWWNNNK.",
    "..KKKKKKKKKKKKK.",
    "................",
])

PICTURES[4] = ("Print", [
    "................",
    "....KKKKKKKK....",
    "....KWWWWWWK....",
    "....KWKKKKWK....",
    "....KWWWWWWK....",
    "....KWKKKKWK....",
    "..KKKWWWWWWKKK..",
    ".KWWWWWWWWWWWWK.",
    ".KggggggggggggK.",
    ".KgggggggggLLgK.",
    ".KggggggggggggK.",
    ".KKKKKKKKKKKKKK.",
    ".KgKWWWWWWWWKgK.",
    ".KKKWKKKKKKWKKK.",
    "....KWWWWWWK....",
    "....KKKKKKKK....",
])

PICTURES[5] = ("Cut", [
    "................",
    "...K.......K....",
    "...KK.....KK....",
    "...KWK...KWK....",
    "....KWK.KWK.....",
    "....KWK.KWK.....",
    ".....KWKWK......",
    "......KWK.......",
    "......KKK.......",
    ".....MMKMM......",
    "....M.MKM.M.....",
    "..MMM.M.M.MMM...",
    ".M...MM.MM...M..",
    ".M...M...M...M..",
    ".M...M...M...M..",
    "..MMM.....MMM...",
])

PICTURES[6] = ("Copy", [
    "................",
    ".KKKKKK.........",
    ".KWWWWKK........",
    ".KWNNWKWK.......",
    ".KWWWWKKKK......",
    ".KWNNNKKKKKK....",
    ".KWWWWKWWWWKK...",
    ".KWNNNKWNNWKWK..",
    ".KWWWWKWWWWKKKK.",
    ".KWNNNKWNNNNNWK.",
    ".KWWWWKWWWWWWWK.",
    ".KKKKKKWNNNNNWK.",
    "......KWWWWWWWK.",
    "......KWNNNNNWK.",
    "......KWWWWWWWK.",
    "......KKKKKKKKK.",
])

PICTURES[7] = ("Paste", [
    "....KKKKK.......",
    ".KKKKgWgKKKK....",
    "KOOKgKKKgKOOK...",
    "KOOKKKKKKKOOK...",
    "KOOOOOOOOOOOK...",
    "KOOOOOOOOOOOK...",
    "KOOOOOKKKKKKK...",
    "KOOOOOKWWWWWKK..",
    "KOOOOOKWNNNWKWK.",
    "KOOOOOKWWWWWKKKK",
    "KOOOOOKWNNNNNNWK",
    "KOOOOOKWWWWWWWWK",
    "KOOOOOKWNNNNNNWK",
    "KOOOOOKWWWWWWWWK",
    "KKKKKKKWNNNNWWWK",
    "......KKKKKKKKKK",
])

PICTURES[8] = ("Bold", [
    "................",
    "................",
    "..KKKKKKKK......",
    "...KKK...KKK....",
    "...KKK...KKK....",
    "...KKK...KKK....",
    "...KKK..KKK.....",
    "...KKKKKKK......",
    "...KKK...KKK....",
    "...KKK....KKK...",
    "...KKK....KKK...",
    "...KKK....KKK...",
    "...KKK...KKK....",
    "..KKKKKKKKK.....",
    "................",
    "................",
])

PICTURES[9] = ("Italic", [
    "................",
    "................",
    "......KKKKKK....",
    "........KK......",
    "........KK......",
    ".......KK.......",
    ".......KK.......",
    ".......KK.......",
    "......KK........",
    "......KK........",
    "......KK........",
    ".....KK.........",
    ".....KK.........",
    "...KKKKKK.......",
    "................",
    "................",
])

PICTURES[10] = ("Underline", [
    "................",
    "..KKKK...KKKK...",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "...KK.....KK....",
    "....KK...KK.....",
    ".....KKKKK......",
    "................",
    "..KKKKKKKKKKK...",
    "................",
    "................",
])

PICTURES[11] = ("Align Left", [
    "................",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    ".KKKKKKKKK......",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    ".KKKKKKKKK......",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    ".KKKKKKKKK......",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
])

PICTURES[12] = ("Center", [
    "................",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "....KKKKKKKK....",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "....KKKKKKKK....",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "....KKKKKKKK....",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
])

PICTURES[13] = ("Align Right", [
    "................",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "......KKKKKKKKK.",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "......KKKKKKKKK.",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
    "......KKKKKKKKK.",
    "................",
    ".KKKKKKKKKKKKKK.",
    "................",
])

PICTURES[14] = ("Delete", [
    "................",
    "................",
    ".RRR........RRR.",
    "..RRR......RRRM.",
    "...RRR....RRRM..",
    "....RRR..RRRM...",
    ".....RRRRRRM....",
    "......RRRRM.....",
    "......RRRR......",
    ".....RRRRRRM....",
    "....RRRM.RRRM...",
    "...RRRM...RRRM..",
    "..RRRM.....RRRM.",
    ".RRRM.......RRRM",
    "................",
    "................",
])

PICTURES[15] = ("Camera", [
    "................",
    "................",
    "................",
    "...KKKKK........",
    ".KKKgggKKKKKKKK.",
    ".KWWWWWWWWWWWYK.",
    ".KggggKKKKggggK.",
    ".KgggKBAABKgggK.",
    ".KgggKAWBBKgggK.",
    ".KgggKABBNKgggK.",
    ".KgggKBBNNKgggK.",
    ".KggggKKKKggggK.",
    ".KggggggggggggK.",
    ".KKKKKKKKKKKKKK.",
    "................",
    "................",
])

PICTURES[16] = ("Find", [
    "...KKKKK........",
    ".KKWWWWWKK......",
    ".KWWAWWWWK......",
    "KWWAWWWWWWK.....",
    "KWAWWWWWWWK.....",
    "KWWWWWWWWWK.....",
    "KWWWWWWWWWK.....",
    "KWWWWWWWWAK.....",
    ".KWWWWWWAK......",
    ".KKWWWWAKKK.....",
    "...KKKKKKMMK....",
    ".........KMMMK..",
    "..........KMMMK.",
    "...........KMMMK",
    "............KMMK",
    ".............KK.",
])

PICTURES[17] = ("Spell Check", [
    "................",
    "..N...NN....NN..",
    ".N.N..N.N..N....",
    ".NNN..NN...N....",
    ".N.N..N.N..N....",
    ".N.N..NN....NN..",
    ".............GG.",
    "............GG..",
    "...........GG...",
    "..G.......GG....",
    "..GG.....GG.....",
    "...GG...GG......",
    "....GG.GG.......",
    ".....GGG........",
    "......G.........",
    "................",
])

# The preview button's globe, 32 x 32.
PICTURES[18] = (None, [
    "................................",
    "................................",
    "...........KKKKKKKKKK...........",
    ".........KKBBBBBBBBBBKK.........",
    ".......KKBBBBBGGGBBBBBBKK.......",
    "......KBBAABBGGGGBBBBBBBBK......",
    ".....KBBAABGGGGGBBBBGGGBBBK.....",
    "....KBBBAGGGGGGGBBBGGGGGGBBK....",
    "....KBBBGGGGGGGGBBBBGGGGGBBK....",
    "...KBBBGGLGGGGGGBBBGGGGGGBBBK...",
    "...KBBGGLGGGGGGBBBBBGGGGBBBBK...",
    "..KBBBBGGGGGGGBBBBBGGGGGGGBBBK..",
    "..KBBBBBGGGGGBBBBBGGGGGGGGGBBK..",
    "..KBBBBBBGGGBBBBBBGGGGGGGGGBBK..",
    "..KBBBBBBBGGBBBBBBGGGGGGGGGBNK..",
    "..KBBBBBBBBGBBBBBBBGGGGGGGGBNK..",
    "..KBBBBBBBBBGGGBBBBBGGGGGGBBNK..",
    "..KBBBBBBBBGGGGGBBBBGGGGGBBBNK..",
    "..KBBBBBBBBGGGGGGBBBBGGGGBBBNK..",
    "..KBBBBBBBBBGGGGGBBBBGGGBBBNNK..",
    "..KBBBBBBBBBGGGGGBBBBBGGBBBNNK..",
    "...KBBBBBBBBBGGGGBBBBBBBBBNNK...",
    "...KBBBBBBBBBGGGBBBBBBBBBBNNK...",
    "....KBBBBBBBBGGGBBBBBBBBBNNK....",
    "....KBBBBBBBBGGBBBBBBBBBNNNK....",
    ".....KBBBBBBBGBBBBBBBBBNNNK.....",
    "......KBBBBBBBBBBBBBBBNNNK......",
    ".......KKBBBBBBBBBBBNNNKK.......",
    ".........KKNNNNNNNNNNKK.........",
    "...........KKKKKKKKKK...........",
    "................................",
    "................................",
])


def png_bytes(width, height, rgba_rows):
    """Encodes rows of (r, g, b, a) tuples as an 8-bit RGBA PNG."""
    raw = bytearray()
    for row in rgba_rows:
        raw.append(0)  # filter type: none
        for px in row:
            raw.extend(px)

    def chunk(kind, data):
        body = kind + data
        return (struct.pack(">I", len(data)) + body
                + struct.pack(">I", zlib.crc32(body) & 0xFFFFFFFF))

    header = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    return (b"\x89PNG\r\n\x1a\n"
            + chunk(b"IHDR", header)
            + chunk(b"IDAT", zlib.compress(bytes(raw), 9))
            + chunk(b"IEND", b""))


def grid_to_rgba(grid):
    """Turns a character grid into rows of RGBA pixels."""
    rows = []
    for line in grid:
        row = []
        for ch in line:
            if ch == ".":
                row.append(MASK + (0,))
            else:
                row.append(PALETTE[ch] + (255,))
        rows.append(row)
    return rows


def check(number, grid):
    size = 32 if number == 18 else 16
    assert len(grid) == size, (number, len(grid))
    for i, line in enumerate(grid):
        assert len(line) == size, (number, i, len(line))
        for ch in line:
            assert ch == "." or ch in PALETTE, (number, i, ch)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    for number in sorted(PICTURES):
        _key, grid = PICTURES[number]
        check(number, grid)
        size = len(grid)
        data = png_bytes(size, size, grid_to_rgba(grid))
        with open(os.path.join(here, "tb%02d.png" % number), "wb") as out:
            out.write(data)


if __name__ == "__main__":
    main()
