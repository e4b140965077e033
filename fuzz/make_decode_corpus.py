#!/usr/bin/python3
"""Fills corpus/decode/ (run from this directory): the decoder tests' small files made by other
programs, and a few kinds no tool here writes, built byte by byte: RLE4 and RLE8 with deltas,
raw BGRA with 8- and 16-bit channels, 16-bit and right-to-left TGA, DDS by format number."""
import os
import shutil
import struct

OUT = 'corpus/decode'
DATA = '../tests/graphics/data'


def bmp(bits, compression, width, height, palette_entries, pixels):
    palette = b''.join(bytes((i, 255 - i, 7 * i & 0xFF, 0)) for i in range(palette_entries))
    info = struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, compression, len(pixels), 2835, 2835,
                       palette_entries, 0)
    offset = 14 + len(info) + len(palette)
    return b'BM' + struct.pack('<IHHI', offset + len(pixels), 0, 0, offset) + info + palette + pixels


def tga(image_type, depth, descriptor, width, height, pixels, colour_map=b'', map_bits=0):
    entries = len(colour_map) // (map_bits // 8) if map_bits else 0
    header = struct.pack('<BBBHHBHHHHBB', 0, 1 if map_bits else 0, image_type, 0, entries, map_bits,
                         0, 0, width, height, depth, descriptor)
    return header + colour_map + pixels


def dds(fourcc_or_number, width, height, data, flags=4, bits=0, masks=(0, 0, 0, 0)):
    code = fourcc_or_number if isinstance(fourcc_or_number, bytes) else struct.pack('<I', fourcc_or_number)
    header = struct.pack('<IIIIIII', 124, 0x1007, height, width, 0, 0, 0) + b'\0' * 44
    header += struct.pack('<II4sIIIII', 32, flags, code, bits, *masks)
    header += struct.pack('<IIIII', 0x1000, 0, 0, 0, 0)
    return b'DDS ' + header + data


def main():
    os.makedirs(OUT, exist_ok=True)
    third = os.path.join(DATA, 'thirdparty')
    for name in sorted(os.listdir(third)):
        if not name.endswith('.rgba'):
            shutil.copy(os.path.join(third, name), os.path.join(OUT, name))
    for name in sorted(os.listdir(DATA)):
        if name.endswith(('.png', '.jpg')):
            shutil.copy(os.path.join(DATA, name), os.path.join(OUT, name))

    made = {
        # 5 x 4 RLE8: a run, a literal, a delta of (2, 1), line ends, end of bitmap.
        'rle8_delta.bmp': bmp(8, 1, 5, 4, 256, bytes([3, 9, 0, 0, 0, 3, 1, 2, 3, 0, 0, 2, 2, 1,
                                                      2, 7, 0, 0, 5, 4, 0, 1])),
        # 6 x 3 RLE4: runs of alternating nibbles and a padded literal of 5 nibbles.
        'rle4.bmp': bmp(4, 2, 6, 3, 16, bytes([6, 0x12, 0, 0, 0, 5, 0x34, 0x56, 0x70, 0, 0, 0,
                                               4, 0xAB, 0, 1])),
        'bgra8.bgra': b'BGRA' + struct.pack('<III', 0x08080808, 3, 2) + bytes(range(24)),
        'bgra16.bgra': b'BGRA' + struct.pack('<III', 0x10101010, 2, 2) + bytes(range(32)),
        'tga16.tga': tga(2, 16, 0x20, 3, 2, struct.pack('<6H', 0x7C00, 0x03E0, 0x001F, 0x7FFF, 0, 0x4210)),
        'tga24_right_to_left.tga': tga(2, 24, 0x10, 3, 2, bytes(range(18))),
        'tga_map16_rle.tga': tga(9, 8, 0x20, 4, 2, bytes([0x83, 1, 0x03, 0, 1, 2, 3]),
                                 struct.pack('<4H', 0x7C00, 0x03E0, 0x001F, 0x7FFF), 16),
        'dds_r5g6b5_number.dds': dds(23, 4, 2, struct.pack('<8H', *range(0, 0xFFFF, 0x2000))),
        'dds_x8r8g8b8_masks.dds': dds(b'\0\0\0\0', 2, 2, bytes(range(16)), flags=0x41, bits=32,
                                      masks=(0xFF0000, 0xFF00, 0xFF, 0xFF000000)),
        'dds_dxt3.dds': dds(b'DXT3', 4, 4, bytes(range(16))),
    }
    for name, data in made.items():
        open(os.path.join(OUT, name), 'wb').write(data)
    print(len(os.listdir(OUT)), 'files in', OUT)


if __name__ == '__main__':
    main()
