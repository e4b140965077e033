#!/usr/bin/python3
"""Checks the game's asset set in assets/GAZUMO (or the folder given).

Every file must exist, decode and have its designed size and format; sprites
must key cleanly on pure green; the creature's mouth must sit where the game
tests for bites; the street strip must tile; the text areas must stay free of
red; the sounds must have the formats the game loads; assets/ must stay under
4 MB. When ImageMagick's identify or ffprobe is installed, each file is also
decoded by it. Prints one line per check and closes with "N passed, M failed".
"""
import pathlib
import shutil
import struct
import subprocess
import sys
import wave

import numpy as np
from PIL import Image

KEY = np.array([0, 255, 0])
CELL_W, CELL_H = 100, 133
MOUTH = (25, 55, 15, 47)             # x0, x1, y0, y1 of the bite band in a cell
SIZE_LIMIT = 4_000_000

# name, format, (width, height), BMP bits (None for PNG), keyed sprite
PICTURES = [
    ("gazumo.bmp", "BMP", (300, 133), 24, True),
    ("gazumo2.bmp", "BMP", (100, 133), 8, True),
    ("gazumo3.bmp", "BMP", (100, 133), 8, True),
    ("hito.bmp", "BMP", (32, 41), 8, True),
    ("hito2.bmp", "BMP", (32, 41), 8, True),
    ("quluma.bmp", "BMP", (75, 28), 24, True),
    ("hikoki.bmp", "BMP", (42, 31), 8, True),
    ("ikenie.png", "PNG", (38, 35), None, True),
    ("he.bmp", "BMP", (32, 41), 24, True),
    ("he-2.bmp", "BMP", (32, 41), 8, True),
    ("he2.bmp", "BMP", (75, 28), 8, True),
    ("he2-2.bmp", "BMP", (75, 28), 24, True),
    ("he3.bmp", "BMP", (42, 31), 24, True),
    ("he3-2.bmp", "BMP", (42, 31), 8, True),
    ("mahi.bmp", "BMP", (640, 150), 24, False),
    ("mahi2.bmp", "BMP", (640, 480), 8, False),
    ("GO.bmp", "BMP", (640, 480), 24, False),
]
IDENTIFY_NAMES = {"BMP": ("BMP", "BMP3"), "PNG": ("PNG",)}
EFFECTS = ["hit.wav", "hit2.wav"]
MUSIC = ["hushuu.mp3", "hentai.mp3"]

# Areas where the game draws red text: (picture, x0, y0, x1, y1).
TEXT_AREAS = [
    ("mahi.bmp", 0, 0, 160, 40),        # status texts while playing and on the title
    ("mahi.bmp", 100, 140, 300, 150),   # title, over the strip's lowest rows
    ("mahi2.bmp", 100, 150, 300, 205),  # title, over the backdrop
    ("mahi2.bmp", 100, 340, 240, 360),  # the title screen's line at the bottom
    ("GO.bmp", 100, 140, 560, 360),     # result texts
]


class Report:
    def __init__(self):
        self.passed = self.failed = 0

    def check(self, name, ok, detail=""):
        if ok:
            self.passed += 1
        else:
            self.failed += 1
        print(f"{'PASS' if ok else 'FAIL'} {name}{': ' + detail if detail else ''}")
        return ok


def rgb(path):
    return np.asarray(Image.open(path).convert("RGB")).astype(np.int32)


def is_key(a):
    return np.all(a == KEY, axis=2)


def near_green(a):
    """Pixels that look almost like the key but are not it: they survive the
    colour key as a green fringe."""
    return (a[..., 1] >= 150) & (a[..., 0] <= 110) & (a[..., 2] <= 110) & ~is_key(a)


def bmp_header(path):
    raw = path.read_bytes()[:54]
    if raw[:2] != b"BM" or len(raw) < 54:
        return None
    size, _, _, offset, dib, w, h, planes, bits, comp = struct.unpack("<IHHIIiiHHI", raw[2:34])
    return {"dib": dib, "w": w, "h": h, "bits": bits, "compression": comp, "file": size}


def check_pictures(r, root):
    for name, fmt, size, bits, _ in PICTURES:
        path = root / name
        if not r.check(f"{name} exists", path.is_file()):
            continue
        try:
            img = Image.open(path)
            img.load()
        except Exception as e:  # any decoder error is the failure being tested
            r.check(f"{name} decodes", False, str(e))
            continue
        r.check(f"{name} decodes as {fmt} {size[0]}x{size[1]}",
                img.format == fmt and img.size == size, f"got {img.format} {img.size[0]}x{img.size[1]}")
        if bits is not None:
            h = bmp_header(path)
            ok = h is not None and h["bits"] == bits and h["compression"] == 0 and h["dib"] == 40 \
                and h["file"] == path.stat().st_size
            r.check(f"{name} is an uncompressed {bits}-bit BMP", ok, str(h))


def check_sprites(r, root):
    for name, _, size, bits, keyed in PICTURES:
        if not keyed or not (root / name).is_file():
            continue
        a = rgb(root / name)
        key, fringe = is_key(a), near_green(a)
        r.check(f"{name} has no near-green fringe", not fringe.any(),
                f"{int(fringe.sum())} pixels, first at {tuple(np.argwhere(fringe)[:1].tolist())}")
        drawn = (~key).mean()
        r.check(f"{name} is a figure on key green", 0.05 < drawn < 0.95 and key[0, 0] and key[-1, -1],
                f"{drawn:.0%} drawn")
        if bits == 8:
            img = Image.open(root / name)
            pal = img.getpalette() if img.mode == "P" else None
            has_key = pal is not None and bool(np.all(np.reshape(pal, (-1, 3)) == KEY, axis=1).any())
            r.check(f"{name} palette holds the exact key", has_key)


def mouth_cavity(a):
    """Dark red and pink pixels: the inside of an open mouth."""
    red, g, b = a[..., 0], a[..., 1], a[..., 2]
    return (red > 40) & (red > 2 * g) & (red > b + 15) & ~is_key(a)


def check_creature(r, root):
    try:
        sheet, bite, idle = (rgb(root / n) for n in ("gazumo.bmp", "gazumo2.bmp", "gazumo3.bmp"))
    except (OSError, ValueError) as e:
        r.check("creature pictures load", False, str(e))
        return
    cells = [sheet[:, i * CELL_W:(i + 1) * CELL_W] for i in range(3)]
    r.check("creature cells differ (it is animated)",
            not np.array_equal(cells[0], cells[1]) and not np.array_equal(cells[1], cells[2]))
    x0, x1, y0, y1 = MOUTH
    cav = mouth_cavity(idle)
    ys, xs = np.nonzero(cav)
    if r.check("idle overlay shows an open mouth", len(xs) > 200, f"{len(xs)} mouth pixels"):
        cx, cy = xs.mean(), ys.mean()
        inside = ((xs >= x0 - 2) & (xs <= x1 + 2) & (ys >= y0 - 2) & (ys <= y1 + 2)).mean()
        r.check("open mouth lies in the bite band", x0 < cx < x1 and y0 < cy < y1 and inside > 0.97,
                f"centre ({cx:.1f}, {cy:.1f}), {inside:.1%} inside")
        r.check("open mouth fills the bite band",
                xs.max() - xs.min() >= 0.8 * (x1 - x0) and ys.max() - ys.min() >= 0.8 * (y1 - y0),
                f"spans x {xs.min()}..{xs.max()}, y {ys.min()}..{ys.max()}")
    for name, overlay in (("biting", bite), ("idle", idle)):
        cover = ~is_key(overlay)
        for i, cell in enumerate(cells):
            body = ~is_key(cell)
            hang = cover & ~body
            r.check(f"{name} overlay lies on the creature in cell {i}", hang.sum() <= 40,
                    f"{int(hang.sum())} pixels over the background")
            open_mouth = np.zeros_like(cover)
            open_mouth[y0 - 3:y1 + 4, x0 - 3:x1 + 4] = mouth_cavity(cell)[y0 - 3:y1 + 4, x0 - 3:x1 + 4]
            r.check(f"{name} overlay hides the open mouth of cell {i}", not (open_mouth & ~cover).any(),
                    f"{int((open_mouth & ~cover).sum())} mouth pixels show through")


def check_scenery(r, root):
    try:
        strip = rgb(root / "mahi.bmp")
    except (OSError, ValueError) as e:
        r.check("strip loads", False, str(e))
        return
    r.check("strip leaves the lower backdrop visible", strip.shape[0] < 300, f"height {strip.shape[0]}")
    steps = np.abs(np.diff(strip, axis=1)).mean(axis=(0, 2))
    seam = np.abs(strip[:, 0] - strip[:, -1]).mean()
    limit = np.percentile(steps, 95)
    r.check("strip tiles at x 0 / 639", seam <= limit,
            f"seam step {seam:.1f}, 95th percentile of column steps {limit:.1f}")
    for name, x0, y0, x1, y1 in TEXT_AREAS:
        try:
            a = rgb(root / name)[y0:y1, x0:x1]
        except (OSError, ValueError) as e:
            r.check(f"{name} loads", False, str(e))
            continue
        reddish = ((a[..., 0] > 140) & (a[..., 1] < 100) & (a[..., 2] < 100)).mean()
        light = (a.mean(axis=2) > 170).mean()
        r.check(f"red text readable on {name} at ({x0},{y0})-({x1},{y1})", reddish < 0.01 and light < 0.1,
                f"{reddish:.1%} red, {light:.1%} light pixels")


def check_effects(r, root):
    for name in EFFECTS:
        path = root / name
        try:
            with wave.open(str(path)) as w:
                fmt = (w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getcomptype())
                x = np.frombuffer(w.readframes(w.getnframes()), "<i2").astype(np.int32)
        except (OSError, wave.Error, EOFError) as e:
            r.check(f"{name} decodes", False, str(e))
            continue
        r.check(f"{name} is 16-bit PCM 22050 Hz mono", fmt == (1, 2, 22050, "NONE"), str(fmt))
        seconds = len(x) / 22050
        r.check(f"{name} is a short effect", 0.1 <= seconds <= 1.5, f"{seconds:.2f} s")
        peak = np.abs(x).max() if len(x) else 0
        clipped = int((np.abs(x) >= 32767).sum())
        r.check(f"{name} is loud and unclipped", 16000 <= peak and clipped == 0, f"peak {peak}, {clipped} clipped")
        r.check(f"{name} starts and ends without a click", len(x) and abs(x[0]) < 1500 and abs(x[-1]) < 200,
                f"first {x[0] if len(x) else None}, last {x[-1] if len(x) else None}")


MP3_BITRATES = [0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320]


def mp3_frames(data):
    """Walk MPEG-1 Layer III frame headers: yields (offset, length, bitrate, rate, mode)."""
    pos = 0
    if data[:3] == b"ID3":
        pos = 10 + ((data[6] << 21) | (data[7] << 14) | (data[8] << 7) | data[9])
    while pos + 4 <= len(data):
        h = int.from_bytes(data[pos:pos + 4], "big")
        if h >> 21 != 0x7FF or (h >> 19) & 3 != 3 or (h >> 17) & 3 != 1:
            if data[pos:pos + 3] == b"TAG" and len(data) - pos == 128:
                return
            raise ValueError(f"no MPEG-1 Layer III frame at byte {pos}")
        bitrate = MP3_BITRATES[(h >> 12) & 15]
        rate = [44100, 48000, 32000, 0][(h >> 10) & 3]
        if not bitrate or not rate:
            raise ValueError(f"bad frame header at byte {pos}")
        length = 144000 * bitrate // rate + ((h >> 9) & 1)
        yield pos, length, bitrate, rate, (h >> 6) & 3
        pos += length


def gapless_info(data, first):
    """Frame count, encoder delay and padding from the Info/Xing and LAME tags."""
    start = first + 36                      # header plus MPEG-1 stereo side information
    tag = data[start:start + 4]
    if tag not in (b"Info", b"Xing"):
        return None
    flags = struct.unpack(">I", data[start + 4:start + 8])[0]
    if not flags & 1:
        return None
    frames = struct.unpack(">I", data[start + 8:start + 12])[0]
    lame = start + 8 + 4 * bool(flags & 1) + 4 * bool(flags & 2) + 100 * bool(flags & 4) + 4 * bool(flags & 8)
    b = data[lame + 21:lame + 24]
    if len(b) < 3:
        return None
    return frames, (b[0] << 4) | (b[1] >> 4), ((b[1] & 15) << 8) | b[2]


def check_music(r, root):
    for name in MUSIC:
        path = root / name
        try:
            data = path.read_bytes()
            frames = list(mp3_frames(data))
        except (OSError, ValueError) as e:
            r.check(f"{name} parses as MP3", False, str(e))
            continue
        rates = {f[3] for f in frames}
        modes = {f[4] for f in frames}
        r.check(f"{name} is 44.1 kHz stereo throughout", rates == {44100} and 3 not in modes,
                f"rates {sorted(rates)}, channel modes {sorted(modes)}")
        info = gapless_info(data, frames[0][0]) if frames else None
        if not r.check(f"{name} carries a gapless header", info is not None and 0 < info[1] < 3000):
            continue
        count, delay, padding = info
        seconds = (count * 1152 - delay - padding) / 44100
        r.check(f"{name} loop lasts 30-60 s", 30 <= seconds <= 60, f"{seconds:.3f} s")
        r.check(f"{name} frame count matches its header", count in (len(frames), len(frames) - 1),
                f"header {count}, walked {len(frames)}")


def check_with_tools(r, root):
    identify, ffprobe = shutil.which("identify"), shutil.which("ffprobe")
    if identify:
        for name, fmt, size, _, _ in PICTURES:
            out = subprocess.run([identify, "-format", "%m %w %h", str(root / name)],
                                 capture_output=True, text=True)
            got = out.stdout.split()
            ok = out.returncode == 0 and got[1:] == [str(v) for v in size] and got[0] in IDENTIFY_NAMES[fmt]
            r.check(f"identify reads {name}", ok,
                    (out.stdout + out.stderr).strip())
    else:
        print("note: identify not installed, pictures not cross-checked")
    if ffprobe:
        for name, want in [(n, ("pcm_s16le", "22050", "1")) for n in EFFECTS] + \
                          [(n, ("mp3", "44100", "2")) for n in MUSIC]:
            out = subprocess.run([ffprobe, "-v", "error", "-select_streams", "a:0", "-show_entries",
                                  "stream=codec_name,sample_rate,channels", "-of", "csv=p=0", str(root / name)],
                                 capture_output=True, text=True)
            got = tuple(out.stdout.strip().split(","))
            r.check(f"ffprobe reads {name}", out.returncode == 0 and got == want, f"{got} {out.stderr.strip()}")
    else:
        print("note: ffprobe not installed, sounds not cross-checked")


def main(argv):
    here = pathlib.Path(__file__).resolve().parent
    root = pathlib.Path(argv[0]) if argv else here.parent.parent / "assets" / "GAZUMO"
    r = Report()
    if r.check(f"asset folder {root}", root.is_dir()):
        check_pictures(r, root)
        check_sprites(r, root)
        check_creature(r, root)
        check_scenery(r, root)
        check_effects(r, root)
        check_music(r, root)
        check_with_tools(r, root)
        total = sum(p.stat().st_size for p in root.parent.rglob("*") if p.is_file())
        r.check(f"{root.parent} under 4 MB", total < SIZE_LIMIT, f"{total} bytes")
    print(f"{r.passed} passed, {r.failed} failed")
    return 1 if r.failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
