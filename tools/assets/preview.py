"""Preview of the asset set for people to look at and listen to.

Usage: python3 preview.py ASSETDIR OUTDIR
Writes OUTDIR/contact-sheet.png (every picture on a checkerboard where the
key green is transparent, sprites enlarged three times, and a mock play
frame) and OUTDIR/<music>-excerpt.wav: the last 5 s of each loop followed by
its first 5 s, decoded by lame, so the loop join can be heard.
"""
import pathlib
import subprocess
import sys
import tempfile
import wave

import numpy as np
from PIL import Image, ImageDraw

KEY = (0, 255, 0)
SPRITES = ["gazumo.bmp", "gazumo2.bmp", "gazumo3.bmp", "hito.bmp", "hito2.bmp", "he.bmp", "he-2.bmp",
           "quluma.bmp", "he2.bmp", "he2-2.bmp", "hikoki.bmp", "he3.bmp", "he3-2.bmp", "ikenie.png"]
SCENERY = ["mahi.bmp", "mahi2.bmp", "GO.bmp"]
MUSIC = ["hushuu.mp3", "hentai.mp3"]
SHEET_W = 1320


def on_checker(img, scale):
    a = np.asarray(img.convert("RGB")).copy()
    key = np.all(a == KEY, axis=2)
    yy, xx = np.mgrid[0:a.shape[0], 0:a.shape[1]]
    chk = np.where((yy // 4 + xx // 4) % 2 == 0, 205, 160).astype(np.uint8)
    a[key] = np.stack([chk] * 3, axis=2)[key]
    return Image.fromarray(a).resize((a.shape[1] * scale, a.shape[0] * scale), Image.NEAREST)


def keyed_paste(dst, img, x, y):
    a = np.asarray(img.convert("RGB"))
    mask = Image.fromarray((~np.all(a == KEY, axis=2)).astype(np.uint8) * 255)
    dst.paste(img.convert("RGB"), (x, y), mask)


def play_frame(pics):
    """A frame laid out the way the game draws it: backdrop, strip twice,
    creature with its overlay, targets, and boxes where the texts go."""
    frame = pics["mahi2.bmp"].convert("RGB").copy()
    for x in (210, 210 - 640):
        frame.paste(pics["mahi.bmp"].convert("RGB"), (x, 0))
    cell = pics["gazumo.bmp"].crop((100, 0, 200, 133))
    keyed_paste(frame, cell, 330, 220)
    keyed_paste(frame, pics["gazumo3.bmp"], 330, 220)
    for name, x, y in (("hito.bmp", 40, 112), ("hito2.bmp", 140, 300), ("he.bmp", 360, 250),
                       ("he-2.bmp", 520, 420), ("quluma.bmp", 200, 125), ("he2.bmp", 470, 330),
                       ("hikoki.bmp", 520, 60), ("ikenie.png", 80, 400)):
        keyed_paste(frame, pics[name], x, y)
    d = ImageDraw.Draw(frame)
    d.rectangle((355, 235, 385, 267), outline=(255, 255, 0))   # the mouth's hit band
    for box in ((0, 0, 130, 18), (0, 20, 110, 38), (100, 140, 292, 204), (100, 340, 220, 358)):
        d.rectangle(box, outline=(255, 0, 0))
    return frame


def contact_sheet(src):
    pics = {n: Image.open(src / n) for n in SPRITES + SCENERY}
    tiles = [(n, on_checker(pics[n], 3)) for n in SPRITES]
    tiles += [(n, on_checker(pics[n], 1)) for n in SCENERY]
    tiles.append(("play frame (mock-up)", play_frame(pics)))
    rows, row, x = [], [], 0
    for name, t in tiles:
        if row and x + t.width > SHEET_W:
            rows.append(row)
            row, x = [], 0
        row.append((name, t))
        x += t.width + 12
    rows.append(row)
    height = sum(max(t.height for _, t in r) + 30 for r in rows)
    sheet = Image.new("RGB", (SHEET_W, height), (48, 48, 56))
    d = ImageDraw.Draw(sheet)
    y = 0
    for r in rows:
        x = 0
        for name, t in r:
            d.text((x + 2, y + 4), name, fill=(240, 240, 240))
            sheet.paste(t, (x, y + 18))
            x += t.width + 12
        y += max(t.height for _, t in r) + 30
    return sheet


def excerpt(mp3, out, seconds=5.0):
    with tempfile.NamedTemporaryFile(suffix=".wav") as tmp:
        subprocess.run(["lame", "--quiet", "--decode", str(mp3), tmp.name], check=True)
        with wave.open(tmp.name) as w:
            rate, ch = w.getframerate(), w.getnchannels()
            x = np.frombuffer(w.readframes(w.getnframes()), "<i2").reshape(-1, ch)
    n = int(seconds * rate)
    joined = np.concatenate([x[-n:], x[:n]])
    with wave.open(str(out), "wb") as w:
        w.setnchannels(ch)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(joined.astype("<i2").tobytes())


def main(argv):
    if len(argv) != 2:
        sys.exit(__doc__)
    src, dst = pathlib.Path(argv[0]), pathlib.Path(argv[1])
    dst.mkdir(parents=True, exist_ok=True)
    contact_sheet(src).save(dst / "contact-sheet.png")
    print(f"  {dst / 'contact-sheet.png'}")
    for name in MUSIC:
        out = dst / name.replace(".mp3", "-excerpt.wav")
        excerpt(src / name, out)
        print(f"  {out}")


if __name__ == "__main__":
    main(sys.argv[1:])
