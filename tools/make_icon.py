#!/usr/bin/env python3
"""Draws Corvane's icon: a 32x32, 16-colour .ico (two monitors, each showing a slide).

Usage: make_icon.py [output path]   (default: screensaver/win/corvane.ico)
The picture is the PICTURE text below, one character per pixel, letters keyed to PALETTE.
"""

import struct
import sys
from pathlib import Path

# The standard 16-colour palette (R, G, B), keyed by the letters used in PICTURE.
PALETTE = {
    "k": (0x00, 0x00, 0x00), "r": (0x80, 0x00, 0x00), "g": (0x00, 0x80, 0x00),
    "o": (0x80, 0x80, 0x00), "n": (0x00, 0x00, 0x80), "m": (0x80, 0x00, 0x80),
    "t": (0x00, 0x80, 0x80), "s": (0xC0, 0xC0, 0xC0), "d": (0x80, 0x80, 0x80),
    "R": (0xFF, 0x00, 0x00), "G": (0x00, 0xFF, 0x00), "Y": (0xFF, 0xFF, 0x00),
    "B": (0x00, 0x00, 0xFF), "M": (0xFF, 0x00, 0xFF), "C": (0x00, 0xFF, 0xFF),
    "W": (0xFF, 0xFF, 0xFF),
}
ORDER = "krgonmtsdRGYBMCW"
TRANSPARENT = "."  # drawn as black, masked out


# Two monitors, each showing its own slide show: the product in one picture.
PICTURE = """\
................................
............kkkkkkkkkkkkkkkkkkkk
............kssssssssssssssssssk
............ksttttttttttttttttsk
............kstnCCCCCCCCCnnnntsk
............kstnnnnnnnnnnnnnntsk
............ksttttttttttttttttsk
............ksttWWWWWWWWWWWtttsk
............ksttttttttttttttttsk
............ksttWWWWWWWWttttttsk
kkkkkkkkkkkkkkkkkkkkkkktttttttsk
kssssssssssssssssssssskWWWttttsk
ksnnnnnnnnnnnnnnnnnnnsktttttttsk
ksnnYYYYYYYYYYYYnnnnnsktttttttsk
ksnnnnnnnnnnnnnnnnnnnsksssssGssk
ksWWWWWWWWWWWWWWWWWWWskssssssssk
ksWdWWWWWWWWWWWWWWWWWskkkkkkkkkk
ksWdWWWWWGGGWWWWWWWWWsk.dddd....
ksWdWWWWWGGGWWWWWooWWsk.dddd....
ksWdWRRRWGGGWWWWWooWWsksssssssk.
ksWdWRRRWGGGWBBBWooWWskkkkkkkkk.
ksWdWRRRWGGGWBBBWooWWsk.........
ksWdWRRRWGGGWBBBWooWWsk.........
ksWdddddddddddddddddWsk.........
ksWWWWWWWWWWWWWWWWWWWsk.........
kssssssssssssssssssGssk.........
ksssssssssssssssssssssk.........
kkkkkkkkkkkkkkkkkkkkkkk.........
........kdddddk.................
........kdddddk.................
.....ksssssssssssk..............
.....kkkkkkkkkkkkk..............
"""


def picture() -> list[str]:
    return PICTURE.splitlines()


def build_icon(rows: list[str]) -> bytes:
    size = 32
    assert len(rows) == size and all(len(r) == size for r in rows)
    palette = b"".join(struct.pack("<BBBB", *reversed(PALETTE[c]), 0) for c in ORDER)
    xor, mask = b"", b""
    for row in reversed(rows):  # bottom-up
        indices = [0 if c == TRANSPARENT else ORDER.index(c) for c in row]
        xor += bytes((indices[i] << 4) | indices[i + 1] for i in range(0, size, 2))
        bits = "".join("1" if c == TRANSPARENT else "0" for c in row)
        mask += int(bits, 2).to_bytes(4, "big")
    header = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 4, 0, len(xor) + len(mask), 0, 0,
                         16, 0)
    image = header + palette + xor + mask
    directory = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", size, size, 16, 0, 1, 4, len(image), 6 + 16)
    return directory + entry + image


def main() -> int:
    root = Path(__file__).resolve().parent.parent
    out = Path(sys.argv[1]) if len(sys.argv) > 1 else root / "screensaver" / "win" / "corvane.ico"
    out.write_bytes(build_icon(picture()))
    print(f"wrote {out}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
