// Decompression of the 4x4 block formats DXT1 to DXT5 into A8R8G8B8 pixels.
//
// Blocks are stored row by row, (width + 3) / 4 blocks to a row; blocks on the right and bottom
// edges of an image whose size is not a multiple of 4 are decoded and cut to the image.
#include <cstring>

#include "graphics/pixel_access.h"
#include "graphics/standard_image.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kBlockSide = 4;
constexpr int kColorBlockBytes = 8;
constexpr int kAlphaBlockBytes = 8;

struct Rgba {
    uint32_t r, g, b, a;
};

// A 5-6-5 end point widened to 8 bits per channel, truncating.
Rgba ExpandEndPoint(uint32_t c) {
    return {((c >> 11) & 0x1F) * 255 / 31, ((c >> 5) & 0x3F) * 255 / 63, (c & 0x1F) * 255 / 31, 255};
}

uint32_t Argb(const Rgba &c) { return (c.a << 24) | (c.r << 16) | (c.g << 8) | c.b; }

// The color block: two 5-6-5 end points, then 2-bit indices, one byte per row, lowest bits first.
// Writes the 16 texels as A8R8G8B8.
void DecodeColorBlock(const uint8_t *block, bool allowThreeColor, uint32_t (&out)[16]) {
    const uint32_t c0 = LoadPixel<2>(block);
    const uint32_t c1 = LoadPixel<2>(block + 2);
    const Rgba e0 = ExpandEndPoint(c0);
    const Rgba e1 = ExpandEndPoint(c1);
    uint32_t colors[4];
    colors[0] = Argb(e0);
    colors[1] = Argb(e1);
    if (!allowThreeColor || c0 > c1) {
        colors[2] = Argb({(2 * e0.r + e1.r) / 3, (2 * e0.g + e1.g) / 3, (2 * e0.b + e1.b) / 3, 255});
        colors[3] = Argb({(e0.r + 2 * e1.r) / 3, (e0.g + 2 * e1.g) / 3, (e0.b + 2 * e1.b) / 3, 255});
    } else {
        Rgba mid = {(e0.r + e1.r) >> 1, (e0.g + e1.g) >> 1, (e0.b + e1.b) >> 1, 255};
        colors[2] = Argb(mid);
        mid.a = 0;  // the transparent texel keeps the middle color
        colors[3] = Argb(mid);
    }
    for (int i = 0; i < 16; ++i) out[i] = colors[(block[4 + i / 4] >> ((i % 4) * 2)) & 3];
}

// Explicit alpha: sixteen 4-bit values, lowest nibble first, scaled by 17.
void DecodeExplicitAlpha(const uint8_t *block, uint32_t (&alpha)[16]) {
    for (int i = 0; i < 16; ++i) alpha[i] = ((block[i / 2] >> ((i % 2) * 4)) & 0xF) * 17;
}

// Interpolated alpha: two end points, then sixteen 3-bit indices in 48 bits, lowest first.
void DecodeInterpolatedAlpha(const uint8_t *block, uint32_t (&alpha)[16]) {
    const uint32_t a0 = block[0], a1 = block[1];
    uint32_t values[8] = {a0, a1};
    if (a0 > a1) {
        for (int k = 6, i = 2; k >= 1; --k, ++i) values[i] = (k * a0 + (7 - k) * a1) / 7;
    } else {
        for (int k = 4, i = 2; k >= 1; --k, ++i) values[i] = (k * a0 + (5 - k) * a1) / 5;
        values[6] = 0;
        values[7] = 255;
    }
    uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= uint64_t{block[2 + i]} << (8 * i);
    for (int i = 0; i < 16; ++i) alpha[i] = values[(bits >> (3 * i)) & 7];
}

// Premultiplied colors divided back by their alpha. A zero alpha leaves the color as it is
// (the division has no value there), and a color above its alpha is held at 255.
uint32_t Unpremultiply(uint32_t c, uint32_t a) {
    if (a == 0) return c;
    uint32_t v = c * 255 / a;
    return v > 255 ? 255 : v;
}

void DecodeBlock(uint32_t kind, const uint8_t *block, uint32_t (&texels)[16]) {
    if (kind == kCompressionDxt1) {
        DecodeColorBlock(block, true, texels);
        return;
    }
    uint32_t alpha[16];
    if (kind == kCompressionDxt2 || kind == kCompressionDxt3)
        DecodeExplicitAlpha(block, alpha);
    else
        DecodeInterpolatedAlpha(block, alpha);
    DecodeColorBlock(block + kAlphaBlockBytes, false, texels);
    const bool premultiplied = kind == kCompressionDxt2 || kind == kCompressionDxt4;
    for (int i = 0; i < 16; ++i) {
        uint32_t t = texels[i];
        uint32_t r = (t >> 16) & 0xFF, g = (t >> 8) & 0xFF, b = t & 0xFF;
        if (premultiplied) {
            r = Unpremultiply(r, alpha[i]);
            g = Unpremultiply(g, alpha[i]);
            b = Unpremultiply(b, alpha[i]);
        }
        texels[i] = (alpha[i] << 24) | (r << 16) | (g << 8) | b;
    }
}

}  // namespace

int DecompressImage(StandardImage *image) {
    if (image == nullptr) return -1;
    const uint32_t kind = image->format.compression;
    if (kind == kCompressionNone) return 0;
    if (kind > kCompressionDxt5 || image->pixels == nullptr || image->width <= 0 ||
        image->height <= 0 || image->width > 0x7FFFFFFF / 4 / image->height)
        return -1;
    const int width = image->width, height = image->height;
    const int blockBytes = kind == kCompressionDxt1 ? kColorBlockBytes
                                                    : kAlphaBlockBytes + kColorBlockBytes;
    const int blocksAcross = (width + kBlockSide - 1) / kBlockSide;
    const int blocksDown = (height + kBlockSide - 1) / kBlockSide;
    const int pitch = width * 4;
    uint8_t *pixels = static_cast<uint8_t *>(TrackedAlloc(pitch * height, "", 0));
    if (pixels == nullptr) return -1;

    const uint8_t *block = image->pixels;
    uint32_t texels[16];
    for (int by = 0; by < blocksDown; ++by) {
        for (int bx = 0; bx < blocksAcross; ++bx, block += blockBytes) {
            DecodeBlock(kind, block, texels);
            for (int ty = 0; ty < kBlockSide && by * kBlockSide + ty < height; ++ty) {
                uint8_t *row = pixels + static_cast<ptrdiff_t>(by * kBlockSide + ty) * pitch;
                for (int tx = 0; tx < kBlockSide && bx * kBlockSide + tx < width; ++tx)
                    StorePixel<4>(row + (bx * kBlockSide + tx) * 4, texels[ty * kBlockSide + tx]);
            }
        }
    }
    TrackedFree(image->pixels);
    image->pixels = pixels;
    CreateARGB8Format(&image->format);
    image->pitch = pitch;
    image->mipLevels = 0;  // only the top level is decoded
    return 0;
}

}  // namespace zq
