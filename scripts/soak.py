#!/usr/bin/env python3
"""Helpers for scripts/soak.sh.

soak.py script TICKS SEED SHOT_EVERY
    Prints a replay script of TICKS ticks: Del first (auto-iteration on), then
    random keys (never Esc, Del or F12) and mouse moves from the fixed SEED, F12
    at tick 100 and every SHOT_EVERY ticks, and Esc at the very end.

soak.py check FONT SCREENSHOT...
    Looks for the two run-time warnings in each screenshot by comparing the
    pixels the font draws for them; prints what it found and exits 1 when a
    warning is in any screenshot.
"""
import random
import struct
import sys

KEYS = ["left", "up", "right", "down", "ins", "end", "home"]
# Codes the key table ignores; Esc (0x1B), Del (0x2E) and F12 (0x7B) are left out.
OTHER_CODES = [0x20, 0x41, 0x51, 0x70, 0x0D]

GLYPH_WIDTH, GLYPH_HEIGHT, GLYPHS_PER_ROW = 11, 13, 16
DISORDER = ("Veltrix narusen - prekreslovani !", 50, 20)
NO_MEMORY = ("Nedostatek pameti RAM !", 50, 50)
# The generation text is added on top of rows 10 to 22 afterwards, so the
# disorder warning is compared from row 23 down only.
FIRST_FREE_ROW = 23


def make_script(ticks, seed, shot_every):
    rng = random.Random(seed)
    out = ["# soak: %d ticks, seed %d" % (ticks, seed), "key del"]
    for tick in range(1, ticks + 1):
        if rng.random() < 0.25:
            if rng.random() < 0.9:
                out.append("key " + rng.choice(KEYS))
            else:
                out.append("key 0x%02x" % rng.choice(OTHER_CODES))
        if rng.random() < 0.5:
            out.append("mouse %d %d" % (rng.randint(-40, 40), rng.randint(-20, 20)))
        if tick == 100 or tick % shot_every == 0:
            out.append("key f12")
        out.append("tick")
    out.append("key esc")
    return "\n".join(out) + "\n"


def read_bmp24(path):
    """(width, height, rows of (r, g, b)) of an uncompressed 24-bit BMP, top row first."""
    with open(path, "rb") as f:
        data = f.read()
    if data[:2] != b"BM" or len(data) < 54:
        raise ValueError("%s: not a BMP" % path)
    offset = struct.unpack_from("<I", data, 10)[0]
    width, height = struct.unpack_from("<ii", data, 18)
    bits, compression = struct.unpack_from("<HI", data, 28)
    if bits != 24 or compression != 0 or width <= 0 or height == 0:
        raise ValueError("%s: not an uncompressed 24-bit BMP" % path)
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        start = offset + y * stride
        row = data[start:start + width * 3]
        if len(row) != width * 3:
            raise ValueError("%s: short pixel data" % path)
        rows.append([(row[3 * x + 2], row[3 * x + 1], row[3 * x]) for x in range(width)])
    if height > 0:
        rows.reverse()
    return width, abs(height), rows


def text_pixels(font, text, x, y, first_row):
    """{(column, row): colour} of every non-transparent texel the text draws."""
    width, height, rows = font
    pixels = {}
    for k, ch in enumerate(text):
        code = ord(ch)
        cx = (code & 15) * GLYPH_WIDTH
        cy = (code - 32) // GLYPHS_PER_ROW * GLYPH_HEIGHT
        for dy in range(GLYPH_HEIGHT):
            for dx in range(GLYPH_WIDTH):
                colour = rows[cy + dy][cx + dx]
                if colour != (0, 0, 0) and y + dy >= first_row:
                    pixels[(x + GLYPH_WIDTH * k + dx, y + dy)] = colour
    return pixels


def check(font_path, shots):
    font = read_bmp24(font_path)
    warnings = [(DISORDER[0], text_pixels(font, DISORDER[0], DISORDER[1], DISORDER[2], FIRST_FREE_ROW)),
                (NO_MEMORY[0], text_pixels(font, NO_MEMORY[0], NO_MEMORY[1], NO_MEMORY[2], 0))]
    found = 0
    for shot in shots:
        _, _, rows = read_bmp24(shot)
        for text, pixels in warnings:
            if all(rows[py][px] == colour for (px, py), colour in pixels.items()):
                print("%s: shows \"%s\"" % (shot, text))
                found += 1
    print("%d screenshots checked, %d warnings found" % (len(shots), found))
    return 1 if found else 0


def main(argv):
    if len(argv) == 5 and argv[1] == "script":
        sys.stdout.write(make_script(int(argv[2]), int(argv[3]), int(argv[4])))
        return 0
    if len(argv) >= 3 and argv[1] == "check":
        return check(argv[2], argv[3:])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
