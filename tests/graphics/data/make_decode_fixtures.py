#!/usr/bin/python3
"""Writes the PNG and JPEG fixtures of the decoder tests (run from this directory).

Every image is 4 x 3 pixels: pixel (x, y) has red 60*x, green 100*y, blue 200 - 40*x, so the
tests can compute what to expect. JPEG fixtures are flat colored so that lossy coding keeps them
within a few levels of the colour.
"""
import io
from PIL import Image

W, H = 4, 3


def rgb(x, y):
    return (60 * x, 100 * y, 200 - 40 * x)


def main():
    im = Image.new('RGB', (W, H))
    im.putdata([rgb(x, y) for y in range(H) for x in range(W)])
    im.save('rgb.png')

    rgba = Image.new('RGBA', (W, H))
    rgba.putdata([rgb(x, y) + (20 * (x + W * y),) for y in range(H) for x in range(W)])
    rgba.save('rgba.png')

    gray = Image.new('L', (W, H))
    gray.putdata([20 * (x + W * y) for y in range(H) for x in range(W)])
    gray.save('gray.png')

    la = Image.new('LA', (W, H))
    la.putdata([(20 * (x + W * y), 255 - x) for y in range(H) for x in range(W)])
    la.save('gray_alpha.png')

    # 1-bit gray: a checkerboard.
    bw = Image.new('1', (W, H))
    bw.putdata([255 if (x + y) % 2 else 0 for y in range(H) for x in range(W)])
    bw.save('gray1.png')

    # 16-bit gray: value v * 257 per pixel, cut to v.
    g16 = Image.new('I;16', (W, H))
    g16.putdata([257 * (10 * (x + W * y)) for y in range(H) for x in range(W)])
    g16.save('gray16.png')

    # A 4-bit palette of 16 entries, entry i = (10 + i, 20 + i, 30 + i); index = (x + y) % 5.
    pal = Image.new('P', (W, H))
    pal.putpalette([c + i for i in range(16) for c in (10, 20, 30)])
    pal.putdata([(x + y) % 5 for y in range(H) for x in range(W)])
    pal.save('palette.png', bits=4)
    # The same with a transparency chunk: index 1 has alpha 0, the others 255.
    pal.save('palette_trns.png', bits=4, transparency=bytes([255, 0, 255, 255, 255]))

    flat = Image.new('RGB', (16, 16), (200, 40, 90))
    flat.save('rgb.jpg', quality=95)
    flat.save('rgb_progressive.jpg', quality=95, progressive=True)
    Image.new('L', (16, 8), 77).save('gray.jpg', quality=95)
    Image.new('CMYK', (8, 8), (0, 50, 100, 0)).save('cmyk.jpg', quality=95)


if __name__ == '__main__':
    main()
