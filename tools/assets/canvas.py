"""Drawing helpers shared by the picture generators.

A Canvas draws in picture coordinates on a supersampled RGBA image and turns
the result into a colour-keyed sprite: edge pixels are blended against a dark
matte colour (the outline), never against the key green, so keying leaves no
green fringe. Also writes 24-bit and 8-bit palette BMP files.
"""
import math

import numpy as np
from PIL import Image, ImageDraw

KEY = (0, 255, 0)
OUTLINE = (38, 28, 44)
SUPER = 4


def ellipse_points(cx, cy, rx, ry, rot=0.0, n=48, start=0.0, end=360.0):
    """Points of an ellipse (or an arc of it) rotated by rot degrees."""
    c, s = math.cos(math.radians(rot)), math.sin(math.radians(rot))
    pts = []
    for i in range(n + 1 if end - start < 360 else n):
        t = math.radians(start + (end - start) * i / n)
        x, y = rx * math.cos(t), ry * math.sin(t)
        pts.append((cx + x * c - y * s, cy + x * s + y * c))
    return pts


class Canvas:
    def __init__(self, w, h, scale=SUPER):
        self.w, self.h, self.s = w, h, scale
        self.img = Image.new("RGBA", (w * scale, h * scale), (0, 0, 0, 0))
        self.draw = ImageDraw.Draw(self.img)

    def _p(self, pts):
        s = self.s
        return [((x + 0.5) * s - 0.5, (y + 0.5) * s - 0.5) for x, y in pts]

    def poly(self, pts, fill=None, outline=OUTLINE, width=1.2):
        """Filled polygon with an outline of `width` picture pixels."""
        if outline is not None and width > 0:
            p = self._p(pts)
            self.draw.line(p + [p[0]], fill=outline + (255,),
                           width=max(1, round(2 * width * self.s)), joint="curve")
            r = width * self.s
            for x, y in p:
                self.draw.ellipse((x - r, y - r, x + r, y + r), fill=outline + (255,))
        if fill is not None:
            self.draw.polygon(self._p(pts), fill=tuple(fill) + (255,))

    def ellipse(self, cx, cy, rx, ry, fill=None, outline=OUTLINE, width=1.2, rot=0.0):
        self.poly(ellipse_points(cx, cy, rx, ry, rot), fill, outline, width)

    def line(self, pts, colour=OUTLINE, width=1.2):
        p = self._p(pts)
        self.draw.line(p, fill=tuple(colour) + (255,),
                       width=max(1, round(width * self.s)), joint="curve")
        r = width * self.s / 2
        for x, y in (p[0], p[-1]):
            self.draw.ellipse((x - r, y - r, x + r, y + r), fill=tuple(colour) + (255,))

    def blob(self, shapes, fill, outline=OUTLINE, width=1.4):
        """Union of ellipses/polygons with one outline around the whole union.

        shapes: lists of points (see ellipse_points)."""
        for pts in shapes:
            self.poly(pts, None, outline, width)
        for pts in shapes:
            self.poly(pts, fill, None, 0)

    def alpha_mask(self):
        return self.img.getchannel("A")

    def clipped(self, clip, paint):
        """Run paint(canvas) on a fresh layer and keep it only inside clip (an L mask)."""
        layer = Canvas(self.w, self.h, self.s)
        paint(layer)
        a = np.minimum(np.asarray(layer.img.getchannel("A"), np.uint16),
                       np.asarray(clip, np.uint16)).astype(np.uint8)
        layer.img.putalpha(Image.fromarray(a))
        self.img.alpha_composite(layer.img)

    def erase(self, shapes):
        """Cut shapes out of everything drawn so far (makes them transparent)."""
        m = Image.new("L", self.img.size, 0)
        d = ImageDraw.Draw(m)
        for pts in shapes:
            d.polygon(self._p(pts), fill=255)
        a = np.asarray(self.img.getchannel("A"), np.int16) - np.asarray(m, np.int16)
        self.img.putalpha(Image.fromarray(np.clip(a, 0, 255).astype(np.uint8)))

    def shape_mask(self, shapes, grow=0.0):
        """L mask of the union of shapes, grown by `grow` picture pixels."""
        m = Image.new("L", self.img.size, 0)
        d = ImageDraw.Draw(m)
        for pts in shapes:
            p = self._p(pts)
            d.polygon(p, fill=255)
            if grow > 0:
                d.line(p + [p[0]], fill=255, width=round(2 * grow * self.s), joint="curve")
        return m

    def paste(self, other, dx=0, dy=0):
        self.img.alpha_composite(other.img, (round(dx * self.s), round(dy * self.s)))

    def reduced(self):
        """Box-filtered picture-size premultiplied colour (h, w, 3) and alpha (h, w)."""
        a = np.asarray(self.img, np.float64) / 255.0
        h, w, s = self.h, self.w, self.s
        a = a.reshape(h, s, w, s, 4)
        alpha = a[..., 3].mean(axis=(1, 3))
        prem = (a[..., :3] * a[..., 3:4]).mean(axis=(1, 3))
        return prem, alpha

    def keyed(self, matte=OUTLINE, keep=None):
        """RGB picture with pure key green wherever nothing (or less than half) is drawn.

        keep: optional boolean (h, w) array; pixels outside it become key green."""
        prem, alpha = self.reduced()
        rgb = prem + (1.0 - alpha)[..., None] * np.asarray(matte, np.float64) / 255.0
        out = np.clip(np.rint(rgb * 255.0), 0, 255).astype(np.uint8)
        solid = alpha >= 0.5
        if keep is not None:
            solid &= keep
        out[~solid] = KEY
        return Image.fromarray(out, "RGB")


def downsample(img, factor):
    """Box-filter an RGB picture by an integer factor."""
    a = np.asarray(img, np.float64)
    h, w = a.shape[0] // factor, a.shape[1] // factor
    a = a.reshape(h, factor, w, factor, 3).mean(axis=(1, 3))
    return Image.fromarray(np.clip(np.rint(a), 0, 255).astype(np.uint8), "RGB")


def to_palette(img, colours=255, keyed=True):
    """8-bit palette picture. With keyed, key green gets its own exact entry and
    no other entry is allowed to represent it."""
    rgb = np.asarray(img.convert("RGB"))
    flat = rgb.reshape(-1, 3)
    is_key = np.all(flat == KEY, axis=1) if keyed else np.zeros(len(flat), bool)
    body = flat[~is_key]
    n = colours - (1 if keyed else 0)
    sample = Image.fromarray(body.reshape(1, -1, 3), "RGB")
    q = sample.quantize(colors=n, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
    full = np.asarray(q.getpalette(), np.int32).reshape(-1, 3)
    pal = full[np.unique(np.asarray(q))]
    # Map every distinct colour to its nearest palette entry.
    uniq, inverse = np.unique(body, axis=0, return_inverse=True)
    d = ((uniq[:, None, :].astype(np.int32) - pal[None, :, :]) ** 2).sum(axis=2)
    idx = np.zeros(len(flat), np.uint8)
    idx[~is_key] = d.argmin(axis=1)[inverse.ravel()]
    entries = [tuple(c) for c in pal]
    if keyed:
        idx[is_key] = len(entries)
        entries.append(KEY)
    out = Image.fromarray(idx.reshape(rgb.shape[:2]), "P")
    palette = [v for c in entries for v in c]
    out.putpalette(palette + [0] * (768 - len(palette)))
    return out


def save_bmp(img, path, bits):
    """Write a 24-bit or 8-bit palette BMP."""
    if bits == 24:
        img.convert("RGB").save(path, "BMP")
    elif bits == 8:
        (img if img.mode == "P" else to_palette(img)).save(path, "BMP")
    else:
        raise ValueError(f"unsupported BMP depth {bits}")
