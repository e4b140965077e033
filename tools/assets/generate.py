"""Writes the game's whole picture and sound set into one folder.

Usage: python3 generate.py OUTDIR [--only NAME ...]
Every file is made from fixed seeds, so a rerun gives the same bytes (the MP3
files as long as the same lame version encodes them).
The BMP depths are mixed on purpose: some 24-bit, some 8-bit palette files.
"""
import argparse
import pathlib
import sys

import effects
import music
import scenery
import sprites
from canvas import save_bmp

# name -> (maker, BMP bits or None for PNG)
PICTURES = {
    "gazumo.bmp": (sprites.creature_cells, 24),
    "gazumo2.bmp": (sprites.creature_bite, 8),
    "gazumo3.bmp": (sprites.creature_idle, 8),
    "hito.bmp": (lambda: sprites.person(0), 8),
    "hito2.bmp": (lambda: sprites.person(1), 8),
    "quluma.bmp": (sprites.car, 24),
    "hikoki.bmp": (sprites.plane, 8),
    "ikenie.png": (sprites.offering, None),
    "he.bmp": (sprites.bitten_person, 24),
    "he-2.bmp": (sprites.person_remains, 8),
    "he2.bmp": (sprites.bitten_car, 8),
    "he2-2.bmp": (sprites.car_remains, 24),
    "he3.bmp": (sprites.bitten_plane, 24),
    "he3-2.bmp": (sprites.plane_remains, 8),
    "mahi.bmp": (scenery.strip, 24),
    "mahi2.bmp": (scenery.backdrop, 8),
    "GO.bmp": (scenery.result_screen, 24),
}


def write_picture(name, out):
    maker, bits = PICTURES[name]
    img = maker()
    if bits is None:
        img.save(out / name, "PNG", optimize=True)
    else:
        save_bmp(img, out / name, bits)


def main(argv):
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("outdir", type=pathlib.Path)
    ap.add_argument("--only", nargs="*", help="make only these files")
    args = ap.parse_args(argv)
    args.outdir.mkdir(parents=True, exist_ok=True)
    everything = list(PICTURES) + list(effects.EFFECTS) + list(music.PIECES)
    wanted = args.only or everything
    for name in wanted:
        if name in PICTURES:
            write_picture(name, args.outdir)
        elif name in effects.EFFECTS:
            music.write_wav(args.outdir / name, effects.EFFECTS[name](), rate=effects.RATE)
        elif name in music.PIECES:
            music.encode(music.PIECES[name](), args.outdir / name)
        else:
            ap.error(f"unknown file {name}; known: {' '.join(everything)}")
        print(f"  {name}")


if __name__ == "__main__":
    main(sys.argv[1:])
