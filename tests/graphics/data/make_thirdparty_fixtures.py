#!/usr/bin/python3
"""Writes thirdparty/: BMP, TGA and DDS files of every kind the decoders read, made by
ImageMagick's convert and by Pillow, each with <name>.rgba beside it: the pixels Pillow decodes
from that very file, RGBA bytes, rows top to bottom. The decoder tests compare with them pixel
by pixel (run from this directory).

The picture is 13 x 7 (odd, so rows are padded) with a different colour in every pixel; palette
kinds are quantised by the tool that writes them.
"""
import os
import struct
import subprocess
from PIL import Image

W, H = 13, 7
OUT = 'thirdparty'


def colour(x, y):
    return (19 * x + 7, 36 * y + 5, 240 - 17 * x - 9 * y)


def alpha(x, y):
    return (255 - 18 * x - 5 * y) & 0xFF


def convert(src, dest, *options):
    subprocess.run(['convert', src, *options, os.path.join(OUT, dest)], check=True)


def header_facts(path):
    data = open(path, 'rb').read()
    if data[:2] == b'BM':
        size, width, height, planes, bits, compression = struct.unpack('<IiiHHI', data[14:34])
        return 'bmp size %d bits %d compression %d height %d' % (size, bits, compression, height)
    if path.endswith('.tga'):
        return 'tga type %d depth %d descriptor 0x%02x footer %s' % (
            data[2], data[16], data[17], data[-18:-2] == b'TRUEVISION-XFILE')
    return 'dds %s' % data[84:88]


def flip_bmp_top_down(src, dest):
    """The rows of a bottom-up BMP reversed and its height negated: a top-down file."""
    data = bytearray(open(os.path.join(OUT, src), 'rb').read())
    offset, = struct.unpack('<I', data[10:14])
    width, height = struct.unpack('<ii', data[18:26])
    bits, = struct.unpack('<H', data[28:30])
    row = ((width * bits + 7) // 8 + 3) & ~3
    rows = [data[offset + i * row:offset + (i + 1) * row] for i in range(height)]
    data[offset:offset + row * height] = b''.join(reversed(rows))
    data[22:26] = struct.pack('<i', -height)
    open(os.path.join(OUT, dest), 'wb').write(data)


def main():
    os.makedirs(OUT, exist_ok=True)
    rgb = Image.new('RGB', (W, H))
    rgb.putdata([colour(x, y) for y in range(H) for x in range(W)])
    rgba = Image.new('RGBA', (W, H))
    rgba.putdata([colour(x, y) + (alpha(x, y),) for y in range(H) for x in range(W)])
    rgb.save('/tmp/zq_fixture_rgb.png')
    rgba.save('/tmp/zq_fixture_rgba.png')
    src, srca = '/tmp/zq_fixture_rgb.png', '/tmp/zq_fixture_rgba.png'

    # BMP: ImageMagick writes 1-, 4- and 8-bit palettes, RLE8, 24-bit, and 16- and 32-bit bit
    # fields; Pillow 1-, 8- and 24-bit files and 32-bit ones without bit fields.
    for name, options in [
        ('bmp1.bmp', ['-colors', '2', '-type', 'Palette']),
        ('bmp4.bmp', ['-colors', '16', '-type', 'Palette', '-compress', 'None']),
        ('bmp8.bmp', ['-colors', '60', '-type', 'Palette', '-compress', 'None']),
        ('bmp8_rle.bmp', ['-colors', '60', '-type', 'Palette', '-compress', 'RLE']),
        ('bmp24.bmp', ['-type', 'TrueColor']),
    ]:
        subprocess.run(['convert', src, *options, 'BMP3:' + os.path.join(OUT, name)], check=True)
    subprocess.run(['convert', src, '-define', 'bmp:subtype=RGB565', 'BMP:' + OUT + '/bmp16_565.bmp'], check=True)
    subprocess.run(['convert', src, '-define', 'bmp:subtype=RGB555', 'BMP:' + OUT + '/bmp16_555.bmp'], check=True)
    subprocess.run(['convert', srca, '-type', 'TrueColorAlpha', 'BMP:' + OUT + '/bmp32_fields.bmp'], check=True)
    rgb.convert('P', palette=Image.ADAPTIVE, colors=40).save(OUT + '/pil_bmp8.bmp')
    rgb.convert('1').save(OUT + '/pil_bmp1.bmp')
    rgb.save(OUT + '/pil_bmp24.bmp')
    rgba.save(OUT + '/pil_bmp32.bmp')
    flip_bmp_top_down('bmp24.bmp', 'bmp24_topdown.bmp')
    flip_bmp_top_down('bmp8.bmp', 'bmp8_topdown.bmp')

    # TGA: true colour and colour-mapped, raw and run-length, both row orders; Pillow's files
    # carry the 2.0 footer.
    for name, image, options in [
        ('tga24.tga', src, ['-type', 'TrueColor']),
        ('tga24_rle.tga', src, ['-type', 'TrueColor', '-compress', 'RLE']),
        ('tga32.tga', srca, ['-type', 'TrueColorAlpha']),
        ('tga32_rle.tga', srca, ['-type', 'TrueColorAlpha', '-compress', 'RLE']),
        ('tga_map.tga', src, ['-colors', '60', '-type', 'Palette']),
        ('tga_map_rle.tga', src, ['-colors', '60', '-type', 'Palette', '-compress', 'RLE']),
        ('tga24_topdown.tga', src, ['-type', 'TrueColor', '-orient', 'TopLeft']),
    ]:
        convert(image, name, *options)
    rgb.save(OUT + '/pil_tga24_rle_topdown.tga', compression='tga_rle', orientation=1)
    rgba.save(OUT + '/pil_tga32.tga')
    rgb.convert('P', palette=Image.ADAPTIVE, colors=40).save(OUT + '/pil_tga_map_rle.tga', compression='tga_rle')

    # DDS: block-compressed and uncompressed.
    for name, image, kind in [('dxt1.dds', src, 'dxt1'), ('dxt5.dds', srca, 'dxt5'),
                              ('argb.dds', srca, 'none')]:
        convert(image, name, '-define', 'dds:compression=' + kind, '-define', 'dds:mipmaps=0')

    for name in sorted(os.listdir(OUT)):
        if name.endswith('.rgba'):
            continue
        path = os.path.join(OUT, name)
        decoded = Image.open(path).convert('RGBA')
        assert decoded.size == (W, H), name
        open(os.path.splitext(path)[0] + '.rgba', 'wb').write(decoded.tobytes())
        print('%-26s %5d bytes  %s' % (name, os.path.getsize(path), header_facts(path)))


if __name__ == '__main__':
    main()
