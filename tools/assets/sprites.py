"""The game's sprites: the creature (three breathing cells and the two mouth
overlays), people in two walking poses, the car, the aeroplane, the offering,
and the bitten and remains pictures of each.

Every function returns an RGB picture on pure key green. The creature's open
mouth fills the box x 25..55, y 15..47 of its 100 x 133 cell, where the game
tests for bites.
"""
import functools

import numpy as np
from PIL import Image

from canvas import Canvas, OUTLINE, ellipse_points as ell

SKIN_W = (250, 249, 246)      # the creature's white
SHADE_W = (208, 212, 228)
BLUSH = (244, 196, 200)
MAW = (96, 12, 30)
THROAT = (52, 4, 16)
TONGUE = (222, 88, 110)
TOOTH = (252, 248, 230)
BLOOD = (196, 16, 28)
BLOOD_DARK = (120, 6, 18)
BONE = (240, 232, 206)

SKIN = (246, 204, 166)
HAIR = (104, 62, 32)
SHIRT = (64, 104, 214)
TROUSERS = (72, 62, 104)
SHOE = (58, 40, 34)

CELL_W, CELL_H = 100, 133
MOUTH_CX, MOUTH_CY, MOUTH_RX, MOUTH_RY = 40.0, 31.0, 16.5, 15.5

HEAD = ell(44, 35, 37, 34)


def sprite(w, h):
    """Turn a painter of a w x h Canvas into a maker of the keyed picture."""
    def wrap(paint):
        @functools.wraps(paint)
        def make(*args):
            c = Canvas(w, h)
            paint(c, *args)
            return c.keyed()
        return make
    return wrap


def _shaded(c, shapes, base, shade, offset=(-5, -6), shrink=0.9):
    """Fill shapes with base, darkened towards the lower right."""
    clip = c.shape_mask(shapes)

    def paint(layer):
        for pts in shapes:
            layer.poly(pts, shade, None, 0)
        for pts in shapes:
            xs = [p[0] for p in pts]
            ys = [p[1] for p in pts]
            cx, cy = sum(xs) / len(xs), sum(ys) / len(ys)
            layer.poly([(cx + (x - cx) * shrink + offset[0], cy + (y - cy) * shrink + offset[1])
                        for x, y in pts], base, None, 0)
    c.clipped(clip, paint)


def _head(c):
    """The creature's head: fixed in every cell so the overlays line up."""
    c.blob([HEAD], SKIN_W, width=1.6)
    _shaded(c, [HEAD], SKIN_W, SHADE_W, offset=(-4, -3), shrink=0.93)
    c.ellipse(62, 10, 4.2, 4.6, (255, 255, 255), width=1.0)
    c.ellipse(63.5, 11, 1.9, 2.2, (190, 10, 30), None, 0)
    c.ellipse(73.5, 15, 3.4, 4.0, (255, 255, 255), width=1.0)
    c.ellipse(74.5, 16, 1.6, 1.9, (190, 10, 30), None, 0)
    c.line([(56, 4.5), (66, 6.5)], OUTLINE, 1.6)
    c.line([(70, 9.5), (78, 10)], OUTLINE, 1.4)
    for x0, x1 in ((44, 40), (49, 49), (54, 58)):
        c.line([(x0, 2.5), (x1, -1.5)], OUTLINE, 1.1)
    c.ellipse(70, 32, 6, 3.5, BLUSH, None, 0)


def _open_mouth(c, drool):
    cx, cy, rx, ry = MOUTH_CX, MOUTH_CY, MOUTH_RX, MOUTH_RY
    maw = ell(cx, cy, rx, ry, n=64)
    c.poly(maw, MAW, OUTLINE, 1.8)
    clip = c.shape_mask([maw])

    def inside(layer):
        layer.ellipse(cx + 2, cy + 1, rx * 0.55, ry * 0.5, THROAT, None, 0)
        layer.ellipse(cx + 1, cy + ry * 0.78, rx * 0.75, ry * 0.42, TONGUE, OUTLINE, 0.8)
        layer.line([(cx + 1, cy + ry * 0.5), (cx + 1, cy + ry * 0.9)], (170, 50, 70), 0.8)
        n = 6
        for row, sign in ((cy - ry, 1), (cy + ry, -1)):
            for i in range(n):
                x0 = cx - rx + 2.0 + i * (2 * rx - 4.0) / n
                x1 = x0 + (2 * rx - 4.0) / n
                tip = 6.5 if i in (0, n - 1) else 5.0
                depth = tip + (1.5 if sign > 0 else 0.0)
                layer.poly([(x0, row - sign * 2), (x1, row - sign * 2),
                            ((x0 + x1) / 2, row + sign * depth)], TOOTH, OUTLINE, 0.6)
    c.clipped(clip, inside)
    if drool:
        c.line([(cx - 9, cy + ry - 1), (cx - 10, cy + ry + 6)], (200, 220, 240), 1.2)
        c.ellipse(cx - 10, cy + ry + 7, 1.6, 1.8, (200, 220, 240), (120, 130, 160), 0.5)


def _closed_mouth(c):
    """Jaws shut on a victim: a leg sticking out and splashes of blood."""
    cx, cy, half = MOUTH_CX, MOUTH_CY, 16.5
    xs = [cx - half + 2 * half * i / 16 for i in range(17)]
    upper = [(x, cy - 3 + 5 * (1 - ((x - cx) / half) ** 2)) for x in xs]
    lower = [(x, y + 7 - 3 * abs((x - cx) / half) ** 2) for x, y in upper]
    band = upper + lower[::-1]
    # a leg with a shoe hanging out of the left corner, behind the lips
    leg = [(cx - 12, cy - 1), (cx - 10, cy + 4), (cx - 23, cy + 14), (cx - 27, cy + 10)]
    c.poly(leg, TROUSERS, OUTLINE, 1.0)
    c.ellipse(cx - 27.5, cy + 13, 4.8, 2.8, SHOE, OUTLINE, 0.9, rot=-40)
    c.poly(band, BLOOD_DARK, OUTLINE, 1.5)
    clip = c.shape_mask([band])

    def teeth(layer):
        n = 7
        for i in range(n):
            x0 = cx - half + 1 + i * (2 * half - 2) / n
            x1 = x0 + (2 * half - 2) / n
            ym = cy - 3 + 5 * (1 - (((x0 + x1) / 2 - cx) / half) ** 2)
            layer.poly([(x0, ym - 2), (x1, ym - 2), ((x0 + x1) / 2, ym + 4.6)], TOOTH, OUTLINE, 0.5)
            xo = x0 + (x1 - x0) / 2
            ym2 = ym + 7 - 3 * ((xo + (x1 - x0) / 2 - cx) / half) ** 2
            layer.poly([(xo, ym2 + 2), (xo + x1 - x0, ym2 + 2), (xo + (x1 - x0) / 2, ym2 - 4.4)],
                       TOOTH, OUTLINE, 0.5)
    c.clipped(clip, teeth)
    c.line([upper[0], (upper[0][0] - 2.5, upper[0][1] - 2.5)], OUTLINE, 1.2)
    c.line([upper[-1], (upper[-1][0] + 2.5, upper[-1][1] - 2.5)], OUTLINE, 1.2)
    for x, y, r in ((cx - 8, cy + 12, 1.8), (cx + 9, cy + 12, 1.4), (cx + 12, cy - 6, 1.3),
                    (cx - 13, cy - 6, 1.2), (cx + 18, cy + 6, 1.1)):
        c.ellipse(x, y, r, r * 1.2, BLOOD, None, 0)
    c.poly([(cx + 1, cy + 9), (cx + 4, cy + 9), (cx + 3.2, cy + 17), (cx + 1.8, cy + 17)], BLOOD, None, 0)
    c.ellipse(cx + 2.5, cy + 17.5, 1.6, 1.9, BLOOD, None, 0)


def _body(c, k):
    """Body, arms and feet; k (0..1) is how far the creature has breathed in."""
    rx, ry = 42.0 + 3.5 * k, 38.0 + 3.0 * k
    body = ell(53, 92 - 2.5 * k, rx, ry)
    arm_l = ell(12 - 2 * k, 78 - 2 * k, 7.5, 14, rot=24 + 22 * k)
    arm_r = ell(92 + 2 * k, 81 - 2 * k, 6.5, 12.5, rot=-18 - 20 * k)
    c.blob([arm_l], SKIN_W, width=1.4)
    c.blob([arm_r], SKIN_W, width=1.4)
    c.blob([body, ell(44, 35, 35, 32)], SKIN_W, width=1.6)
    _shaded(c, [body], SKIN_W, SHADE_W, offset=(-7, -7), shrink=0.9)
    for foot in (ell(31, 127.5, 12, 4.8), ell(75, 127.5, 12, 4.8)):
        c.blob([foot], SKIN_W, width=1.4)
        fx = foot[0][0] - 12
        for t in (-5, 0, 5):
            c.line([(fx + 12 + t, 130.5), (fx + 12 + t, 132)], OUTLINE, 0.9)
    # belly button and the fold of the belly
    c.ellipse(60 + k, 99 - k, 2.2 + 0.6 * k, 1.6 + 0.4 * k, SHADE_W, OUTLINE, 0.8)
    c.line([(33 - 2 * k, 111 - k), (52, 117), (73 + 2 * k, 112 - k)], (170, 176, 200), 1.0)
    # old blood on the chin and chest
    for x, y, r in ((30, 52, 2.2), (37, 56, 1.6), (45, 54, 1.8), (33, 62, 1.4)):
        c.ellipse(x, y, r * 0.8, r, BLOOD, None, 0)


def creature_cells():
    """300 x 133: three cells of the creature breathing."""
    out = Image.new("RGB", (3 * CELL_W, CELL_H))
    for i, k in enumerate((0.0, 1.0, 0.5)):
        c = Canvas(CELL_W, CELL_H)
        _body(c, k)
        _head(c)
        _open_mouth(c, drool=False)
        out.paste(c.keyed(), (i * CELL_W, 0))
    return out


def _mouth_overlay(draw_mouth):
    """A cell-sized overlay: the head redrawn inside the mouth patch plus
    whatever the mouth drawing adds outside it; the rest is key green."""
    c = Canvas(CELL_W, CELL_H)
    _head(c)
    extras = Canvas(CELL_W, CELL_H)
    draw_mouth(extras)
    c.paste(extras)
    patch = Canvas(CELL_W, CELL_H)
    patch.ellipse(MOUTH_CX, MOUTH_CY, MOUTH_RX + 2.5, MOUTH_RY + 2.5, (255, 255, 255), None, 0)
    _, pa = patch.reduced()
    _, ea = extras.reduced()
    _, ha = c.reduced()
    keep = (pa >= 0.5) & (ha >= 0.5) | (ea >= 0.5)
    return c.keyed(keep=keep)


def creature_bite():
    return _mouth_overlay(_closed_mouth)


def creature_idle():
    return _mouth_overlay(lambda c: _open_mouth(c, drool=True))


# ---------------------------------------------------------------- people

def _person(c, pose, top=True):
    """A walking person facing right. pose 0: stride, pose 1: legs passing."""
    if pose == 0:
        back_leg = [(14, 27), (18, 27), (12, 38), (8, 37)]
        front_leg = [(15, 27), (19, 27), (24, 37), (20, 38)]
        back_shoe, front_shoe = (9.5, 38.5, -10), (23.5, 38.5, 10)
        back_arm, front_arm = [(20, 16), (23, 24)], [(14, 16), (10, 24)]
    else:
        back_leg = [(14, 27), (18, 27), (16, 33), (13, 38)]
        front_leg = [(15, 27), (19, 27), (19, 38), (15.5, 38)]
        back_shoe, front_shoe = (14.5, 38.5, 0), (18.5, 38.5, 0)
        back_arm, front_arm = [(19, 16), (20, 25)], [(15, 16), (14.5, 25)]
    c.line(back_arm, OUTLINE, 4.2)
    c.line(back_arm, (214, 172, 140), 2.2)
    c.poly(back_leg, (58, 50, 86), OUTLINE, 1.0)
    c.ellipse(back_shoe[0], back_shoe[1], 3.6, 1.8, SHOE, OUTLINE, 0.8, rot=back_shoe[2])
    c.poly(front_leg, TROUSERS, OUTLINE, 1.0)
    c.ellipse(front_shoe[0] + 0.8, front_shoe[1], 3.6, 1.8, SHOE, OUTLINE, 0.8, rot=front_shoe[2])
    torso = [(11, 16), (23, 16), (22.5, 28.5), (11.5, 28.5)]
    c.poly(torso, SHIRT, OUTLINE, 1.0)
    c.line([(12, 27), (22, 27)], (40, 40, 60), 1.3)
    c.poly([(15, 16), (19, 16), (17, 19.5)], (250, 250, 255), None, 0)
    if top:
        c.ellipse(17.5, 8.5, 6.8, 7, SKIN, OUTLINE, 1.0)
        c.poly([(10.7, 8.5), (11.5, 3.5), (16, 1.2), (22, 2), (24.3, 6), (21, 4.8), (16, 5.5), (12.5, 9.5)],
               HAIR, OUTLINE, 0.8)
        c.ellipse(21, 8, 1.1, 1.5, OUTLINE, None, 0)
        c.ellipse(22.5, 12, 1.2, 1.3, (150, 40, 50), None, 0)
        c.ellipse(12.3, 9.5, 1.3, 1.8, SKIN, OUTLINE, 0.6)
    c.line(front_arm, OUTLINE, 4.2)
    c.line(front_arm, SKIN, 2.2)
    c.line([front_arm[0], ((front_arm[0][0] + front_arm[1][0]) / 2, (front_arm[0][1] + front_arm[1][1]) / 2)],
           SHIRT, 2.2)


person = sprite(32, 41)(_person)


def _bite_edge(c, bites, flesh, edge_width=1.3):
    """Bite the shapes out of c and paint the torn rim inside what is left."""
    inside = c.alpha_mask()
    rim = c.shape_mask(bites, grow=edge_width)

    def paint(layer):
        layer.img.paste(flesh + (255,), (0, 0), rim)
    both = Image.fromarray(np.minimum(np.asarray(inside), np.asarray(rim)))
    c.clipped(both, paint)
    c.erase(bites)


def _teeth_bites(cx, cy, r, n, start, end, small=0.32):
    """A bite: a big circle with a scalloped edge of tooth marks."""
    shapes = [ell(cx, cy, r, r)]
    for i in range(n):
        a = np.radians(start + (end - start) * (i + 0.5) / n)
        shapes.append(ell(cx + r * np.cos(a), cy + r * np.sin(a), r * small, r * small, n=16))
    return shapes


def _splash(c, drops):
    for x, y, r in drops:
        c.ellipse(x, y, r, r * 1.15, BLOOD, OUTLINE, 0.6)


@sprite(32, 41)
def bitten_person(c):
    _person(c, 0)
    _bite_edge(c, _teeth_bites(17, 7, 12, 7, 20, 160), (170, 20, 36))
    c.poly([(15.5, 19), (17.5, 19), (17, 12), (15.8, 12)], BONE, OUTLINE, 0.6)
    c.ellipse(16.5, 11.3, 2, 1.6, BONE, OUTLINE, 0.6)
    _splash(c, [(9, 10, 1.7), (24, 8, 1.4), (13, 4, 1.2), (21, 3, 1.0), (27, 13, 1.1), (6, 16, 1.0)])


@sprite(32, 41)
def person_remains(c):
    c.ellipse(16, 37, 14.5, 3.4, BLOOD_DARK, OUTLINE, 0.9)
    c.ellipse(14, 36.5, 8, 2, BLOOD, None, 0)
    _bone(c, 7, 33, 21, 36.5)
    c.ellipse(24.5, 35, 3.8, 2, SHOE, OUTLINE, 0.8)
    c.ellipse(10, 29.5, 4.2, 3.8, BONE, OUTLINE, 0.9)
    c.ellipse(8.8, 29.3, 0.9, 1.1, OUTLINE, None, 0)
    c.ellipse(11.3, 29.3, 0.9, 1.1, OUTLINE, None, 0)
    c.poly([(8.5, 31.5), (11.5, 31.5), (11, 34), (9, 34)], BONE, OUTLINE, 0.7)


def _bone(c, x0, y0, x1, y1):
    c.line([(x0, y0), (x1, y1)], OUTLINE, 3.4)
    for x, y in ((x0, y0), (x1, y1)):
        dx, dy = (y1 - y0), -(x1 - x0)
        n = max(1e-6, (dx * dx + dy * dy) ** 0.5)
        dx, dy = dx / n * 1.3, dy / n * 1.3
        c.ellipse(x + dx, y + dy, 1.6, 1.6, BONE, OUTLINE, 0.7)
        c.ellipse(x - dx, y - dy, 1.6, 1.6, BONE, OUTLINE, 0.7)
    c.line([(x0, y0), (x1, y1)], BONE, 1.6)


# ---------------------------------------------------------------- car

CAR_RED = (222, 52, 48)
GLASS = (160, 210, 244)


def _car(c):
    body = [(2.5, 13), (15, 11), (22, 3.5), (50, 3.5), (58, 11), (70, 12.5), (72.5, 15.5),
            (72.5, 21), (2.5, 21)]
    c.poly(body, CAR_RED, OUTLINE, 1.2)
    c.poly([(4, 15), (71, 15), (71, 16.5), (4, 16.5)], (250, 120, 100), None, 0)
    c.poly([(24, 5.5), (35.5, 5.5), (35.5, 11), (18, 11)], GLASS, OUTLINE, 0.9)
    c.poly([(38, 5.5), (49, 5.5), (55, 11), (38, 11)], GLASS, OUTLINE, 0.9)
    c.line([(26, 6.5), (23, 10)], (230, 245, 255), 1.0)
    c.line([(40, 6.5), (39, 10)], (230, 245, 255), 1.0)
    c.line([(36.7, 11), (36.7, 20)], OUTLINE, 0.8)
    c.line([(40, 13.5), (43, 13.5)], OUTLINE, 1.0)
    c.ellipse(70.5, 14.5, 1.8, 1.6, (255, 236, 140), OUTLINE, 0.6)
    c.ellipse(3.5, 14.5, 1.2, 1.6, (255, 210, 60), OUTLINE, 0.6)
    for x in (16, 58):
        c.ellipse(x, 21.5, 6, 6, (34, 32, 40), OUTLINE, 0.8)
        c.ellipse(x, 21.5, 2.7, 2.7, (190, 190, 200), OUTLINE, 0.6)


car = sprite(75, 28)(_car)


@sprite(75, 28)
def bitten_car(c):
    _car(c)
    _bite_edge(c, _teeth_bites(40, -4, 14, 7, 20, 160), (70, 66, 78))
    for x, y, r in ((28, 6, 2.2), (52, 4, 1.8), (34, 1.5, 1.5), (47, 1, 1.2)):
        c.ellipse(x, y, r, r, (250, 210, 60), (200, 90, 30), 0.6)
    _splash(c, [(39, 13, 1.6), (44, 15, 1.2), (31, 12, 1.1)])


@sprite(75, 28)
def car_remains(c):
    c.ellipse(38, 25, 30, 2.6, (60, 56, 66), OUTLINE, 0.8)
    wreck = [(12, 25), (20, 19), (31, 21), (40, 17), (50, 20), (61, 18.5), (66, 25)]
    c.poly(wreck, CAR_RED, OUTLINE, 1.1)
    c.poly([(30, 21.5), (38, 18.5), (41, 22)], GLASS, OUTLINE, 0.6)
    c.ellipse(14, 23.5, 4, 4, (34, 32, 40), OUTLINE, 0.8)
    c.ellipse(14, 23.5, 1.8, 1.8, (190, 190, 200), None, 0)
    c.ellipse(66, 23, 4, 4, (34, 32, 40), OUTLINE, 0.8)
    c.ellipse(66, 23, 1.8, 1.8, (190, 190, 200), None, 0)
    c.ellipse(52, 26, 6, 1.3, BLOOD, None, 0)
    for x, y, r in ((44, 12, 3.2), (47, 8, 2.6), (43, 4.5, 2.0)):
        c.ellipse(x, y, r, r, (120, 118, 128), OUTLINE, 0.7)


# ---------------------------------------------------------------- aeroplane

PLANE_W = (238, 238, 246)
PLANE_BLUE = (44, 92, 204)
PLANE_RED = (214, 44, 44)


def _plane(c):
    c.poly([(20, 17), (25, 17), (17, 8), (14, 8)], (200, 204, 222), OUTLINE, 0.9)   # far wing
    c.poly([(2.5, 6), (6.5, 6), (12, 13), (4, 14)], PLANE_RED, OUTLINE, 1.0)        # tail fin
    body = ell(20.5, 16, 17.5, 5.2, n=48)
    c.poly(body, PLANE_W, OUTLINE, 1.1)
    c.poly([(4, 16.5), (37, 15.5), (37.5, 17.5), (4, 18)], PLANE_BLUE, None, 0)
    c.poly([(3, 17), (10, 16), (9, 20), (2.5, 19)], PLANE_RED, OUTLINE, 0.8)          # tailplane
    c.poly([(27, 10.5), (33, 12), (32.5, 14), (26.5, 14)], GLASS, OUTLINE, 0.8)      # cockpit
    for x in (14, 18, 22):
        c.ellipse(x, 13.5, 1.1, 1.1, GLASS, OUTLINE, 0.4)
    c.poly([(17, 17.5), (24, 17.5), (18, 28.5), (13.5, 28.5)], (226, 228, 240), OUTLINE, 1.0)  # near wing
    c.line([(15, 26.5), (19.5, 26.5)], PLANE_BLUE, 1.2)
    c.ellipse(38.5, 16, 1.8, 1.8, (120, 120, 130), OUTLINE, 0.6)
    c.ellipse(40, 16, 1.2, 9, (190, 192, 206), (110, 110, 125), 0.5)


plane = sprite(42, 31)(_plane)


@sprite(42, 31)
def bitten_plane(c):
    _plane(c)
    _bite_edge(c, _teeth_bites(3, 13, 9, 6, -75, 75), (70, 66, 78))
    for x, y, r, col in ((10, 10, 2.6, (250, 150, 40)), (7, 14, 2.0, (250, 210, 60)),
                         (6, 6, 2.8, (120, 118, 128)), (2.5, 3, 2.2, (150, 148, 158))):
        c.ellipse(x, y, r, r, col, OUTLINE, 0.6)


@sprite(42, 31)
def plane_remains(c):
    c.poly([(6, 26), (17, 21.5), (20, 24), (9, 29)], (226, 228, 240), OUTLINE, 1.0)
    c.ellipse(29, 22, 1.2, 6.5, (190, 192, 206), OUTLINE, 0.7, rot=30)
    c.ellipse(29, 22, 1.6, 1.6, (120, 120, 130), OUTLINE, 0.6)
    _bone(c, 26, 28, 37, 26)
    for x, y, r in ((20, 12, 2.6), (23, 7, 2.0), (19, 3.5, 1.5)):
        c.ellipse(x, y, r, r, (120, 118, 128), OUTLINE, 0.6)


# ---------------------------------------------------------------- offering

WOOD = (214, 162, 98)
WOOD_DARK = (160, 108, 58)


@sprite(38, 35)
def offering(c):
    c.poly([(8, 24), (30, 24), (32.5, 33.5), (5.5, 33.5)], WOOD, OUTLINE, 1.1)
    c.ellipse(19, 29, 4, 2.6, WOOD_DARK, OUTLINE, 0.7)
    c.poly([(2.5, 20), (35.5, 20), (34.5, 24.5), (3.5, 24.5)], WOOD, OUTLINE, 1.1)
    c.line([(4, 22.3), (34, 22.3)], WOOD_DARK, 0.8)
    c.ellipse(19, 16.5, 13, 4.6, (250, 248, 238), OUTLINE, 1.0)
    c.ellipse(19, 10.5, 9.5, 4.0, (250, 248, 238), OUTLINE, 1.0)
    c.line([(11, 17.5), (16, 19)], (216, 212, 200), 0.9)
    c.ellipse(19, 4.8, 4.5, 4.0, (246, 146, 36), OUTLINE, 0.9)
    c.poly([(19, 1.3), (24, -0.5), (25.5, 1.5), (21, 2.6)], (84, 140, 56), OUTLINE, 0.6)
    c.ellipse(17.6, 3.6, 1.2, 0.9, (255, 200, 120), None, 0)
