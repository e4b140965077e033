"""The game's full-screen pictures: the scrolling strip (night sky, city and
far pavement, seamless at its left and right edges), the fixed backdrop (the
road the crowd crosses) and the result screen background.

The top left corner and the title area stay dark and free of red, since the
game draws its texts there in red.
"""
import numpy as np
from PIL import Image, ImageDraw

from canvas import downsample

W, H = 640, 480
STRIP_H = 150          # the strip covers y 0..149; the backdrop shows below it
SS = 2                 # supersampling of the scenery
SKY_TOP = (10, 12, 34)
SKY_LOW = (46, 30, 74)
PAVE = (104, 98, 108)
KERB = (150, 148, 156)
ASPHALT = (56, 56, 66)


def _gradient(h, top, bottom, w=W * SS):
    t = np.linspace(0.0, 1.0, h)[:, None, None]
    col = np.asarray(top, float) * (1 - t) + np.asarray(bottom, float) * t
    return np.repeat(col, w, axis=1)


def _wrap_rects(draw, x0, y0, x1, y1, fill):
    """A rectangle repeated one strip width to either side, so it wraps."""
    for off in (-W * SS, 0, W * SS):
        draw.rectangle((x0 + off, y0, x1 + off, y1), fill=fill)


def _sky(rng, h):
    a = _gradient(h * SS, SKY_TOP, SKY_LOW)
    n = 140
    xs = rng.integers(0, W * SS, n)
    ys = (rng.random(n) ** 1.6 * 105 * SS).astype(int)
    bright = rng.integers(120, 240, n)
    for x, y, b in zip(xs, ys, bright):
        a[y:y + SS, x:x + SS] = (b, b, min(255, b + 15))
    return a


def strip():
    """640 x 150: night sky, two rows of buildings, lamps and the far pavement."""
    rng = np.random.default_rng(11)
    img = Image.fromarray(np.clip(_sky(rng, STRIP_H), 0, 255).astype(np.uint8), "RGB")
    d = ImageDraw.Draw(img)
    s = SS
    # far row: dark silhouettes
    x = 0
    while x < W:
        w = int(rng.integers(26, 60))
        top = int(rng.integers(62, 96))
        _wrap_rects(d, x * s, top * s, (x + w) * s - 1, 130 * s, (30, 28, 56))
        for wy in range(top + 6, 124, 9):
            for wx in range(x + 4, x + w - 5, 8):
                if rng.random() < 0.22:
                    _wrap_rects(d, wx * s, wy * s, (wx + 3) * s - 1, (wy + 4) * s - 1, (150, 130, 90))
        x += w
    # near row: taller buildings with lit windows and neon signs
    x = 0
    while x < W:
        w = int(rng.integers(44, 92))
        gap = int(rng.integers(6, 22))
        top = int(rng.integers(48, 84))
        body = tuple(int(v) for v in rng.integers(44, 66, 3))
        _wrap_rects(d, x * s, top * s, (x + w) * s - 1, 130 * s, body)
        _wrap_rects(d, x * s, top * s, (x + w) * s - 1, (top + 2) * s - 1,
                    tuple(min(255, v + 30) for v in body))
        for wy in range(top + 7, 118, 11):
            for wx in range(x + 5, x + w - 8, 10):
                lit = rng.random() < 0.45
                col = (250, 214, 120) if lit else (24, 24, 44)
                _wrap_rects(d, wx * s, wy * s, (wx + 5) * s - 1, (wy + 6) * s - 1, col)
        if rng.random() < 0.5:
            sy = top + 14
            col = [(80, 230, 240), (240, 90, 230), (250, 200, 60)][int(rng.integers(0, 3))]
            _wrap_rects(d, (x + 8) * s, sy * s, (x + w - 8) * s - 1, (sy + 6) * s - 1, col)
            _wrap_rects(d, (x + 10) * s, (sy + 2) * s, (x + w - 10) * s - 1, (sy + 4) * s - 1,
                        tuple(v // 2 for v in col))
        # shop front with a lit window at street level
        _wrap_rects(d, (x + 4) * s, 118 * s, (x + w - 6) * s - 1, 129 * s - 1, (232, 196, 120))
        _wrap_rects(d, (x + 4) * s, 118 * s, (x + w - 6) * s - 1, 119 * s - 1, (60, 40, 40))
        x += w + gap
    # pavement, joints every 20 pixels (they scroll with the street), kerb
    d.rectangle((0, 130 * s, W * s, 144 * s - 1), fill=PAVE)
    for jx in range(0, W, 20):
        d.rectangle((jx * s, 130 * s, jx * s + 1, 144 * s - 1), fill=(84, 80, 90))
    d.rectangle((0, 136 * s, W * s, 136 * s), fill=(90, 86, 96))
    d.rectangle((0, 144 * s, W * s, 150 * s - 1), fill=KERB)
    d.rectangle((0, 148 * s, W * s, 150 * s - 1), fill=(92, 90, 100))
    # street lamps, 160 pixels apart, with a soft glow
    glow = np.zeros((STRIP_H * s, W * s), float)
    yy, xx = np.mgrid[0:STRIP_H * s, 0:W * s]
    for lx in (70, 230, 390, 550):
        for off in (-W, 0, W):
            cx = (lx + off) * s
            _wrap_rects(d, cx - 2, 74 * s, cx + 2, 141 * s, (30, 30, 40))
            d.rectangle((cx - 9 * s // 2, 70 * s, cx + 9 * s // 2, 75 * s), fill=(30, 30, 40))
            d.rectangle((cx - 3 * s, 75 * s, cx + 3 * s, 77 * s), fill=(255, 240, 180))
            d.rectangle((cx - 4 * s, 140 * s, cx + 4 * s, 143 * s), fill=(30, 30, 40))
            r2 = ((xx - cx) / (28.0 * s)) ** 2 + ((yy - 80 * s) / (40.0 * s)) ** 2
            glow += np.exp(-r2 * 2.5)
    a = np.asarray(img, float) + glow[..., None] * np.array([90.0, 70.0, 30.0])
    return downsample(Image.fromarray(np.clip(a, 0, 255).astype(np.uint8)), SS)


def backdrop():
    """640 x 480: sky behind the strip, then the road and the near pavement.
    Its markings run only along the road, so they look right while the
    strip above scrolls."""
    rng = np.random.default_rng(12)
    a = np.zeros((H, W, 3), float)
    a[:STRIP_H] = downsample(Image.fromarray(np.clip(_sky(rng, STRIP_H), 0, 255).astype(np.uint8)), SS)
    road = _gradient(440 - STRIP_H, (46, 46, 58), ASPHALT, W)
    road += rng.normal(0, 3.0, road.shape[:2])[..., None]
    a[STRIP_H:440] = road
    a[STRIP_H:STRIP_H + 8] *= np.linspace(0.55, 1.0, 8)[:, None, None]
    for y0, y1, col in ((166, 169, (214, 214, 220)), (426, 429, (214, 214, 220)),
                        (292, 295, (226, 184, 48)), (299, 302, (226, 184, 48))):
        a[y0:y1] = np.asarray(col, float) * 0.92 + rng.normal(0, 4, (y1 - y0, W, 1))
    a[440:446] = KERB
    a[446:448] = (180, 178, 186)
    pave = _gradient(H - 448, PAVE, (86, 80, 92), W)
    a[448:] = pave + rng.normal(0, 4.0, pave.shape[:2])[..., None]
    a[462] *= 0.85
    return Image.fromarray(np.clip(np.rint(a), 0, 255).astype(np.uint8), "RGB")


def result_screen():
    """640 x 480: a dark vignette with dripping blood along the top, a pile of
    bones below and the creature's silhouette watching from the right."""
    rng = np.random.default_rng(13)
    yy, xx = np.mgrid[0:H * SS, 0:W * SS] / SS
    r = np.hypot((xx - 300) / 420, (yy - 250) / 330)
    a = np.asarray((30, 14, 34), float) * np.clip(1.1 - r, 0, 1)[..., None]
    img = Image.fromarray(np.clip(a, 0, 255).astype(np.uint8), "RGB")
    d = ImageDraw.Draw(img)
    s = SS
    # the creature's silhouette with two glowing eyes
    d.ellipse((470 * s, 170 * s, 650 * s, 340 * s), fill=(34, 30, 44))
    d.ellipse((440 * s, 280 * s, 680 * s, 520 * s), fill=(34, 30, 44))
    d.ellipse((545 * s, 205 * s, 559 * s, 217 * s), fill=(250, 236, 120))
    d.ellipse((580 * s, 212 * s, 592 * s, 223 * s), fill=(250, 236, 120))
    d.chord((490 * s, 230 * s, 580 * s, 300 * s), 10, 170, fill=(12, 6, 14))
    for i in range(8):
        tx = 500 + i * 10
        d.polygon([(tx * s, 264 * s), ((tx + 9) * s, 264 * s), ((tx + 4.5) * s, 276 * s)], fill=(200, 196, 180))
    # blood along the top edge, running down in drips
    blood = (128, 4, 18)
    d.rectangle((0, 0, W * s, 10 * s), fill=blood)
    x = 0
    while x < W:
        w = int(rng.integers(6, 22))
        length = int(rng.integers(6, 70))
        d.rectangle((x * s, 0, (x + w) * s, length * s), fill=blood)
        d.ellipse((x * s - 2, (length - w / 2) * s, (x + w) * s + 2, (length + w / 2) * s), fill=blood)
        x += w + int(rng.integers(8, 40))
    # bones along the bottom
    for _ in range(26):
        bx, by = rng.uniform(10, 620), rng.uniform(432, 470)
        ang = rng.uniform(0, np.pi)
        ln = rng.uniform(14, 30)
        dx, dy = np.cos(ang) * ln / 2, np.sin(ang) * ln / 2
        col = tuple(int(v) for v in np.array((150, 140, 116)) * rng.uniform(0.6, 1.0))
        d.line(((bx - dx) * s, (by - dy) * s, (bx + dx) * s, (by + dy) * s), fill=col, width=4 * s)
        for ex, ey in ((bx - dx, by - dy), (bx + dx, by + dy)):
            d.ellipse(((ex - 3.5) * s, (ey - 3.5) * s, (ex + 3.5) * s, (ey + 3.5) * s), fill=col)
    for sx in (40, 300):
        d.ellipse(((sx - 14) * s, 440 * s, (sx + 14) * s, 466 * s), fill=(170, 160, 134))
        d.ellipse(((sx - 8) * s, 448 * s, (sx - 2) * s, 456 * s), fill=(20, 12, 20))
        d.ellipse(((sx + 2) * s, 448 * s, (sx + 8) * s, 456 * s), fill=(20, 12, 20))
    return downsample(img, SS)
