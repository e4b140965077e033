// Copies between standard images: the half-size reduction, the clipped blit through the conversion
// engine, and the scaled blit by nearest pixel or bilinear weights.
#include <algorithm>
#include <cstdint>

#include "graphics/pixel_access.h"
#include "graphics/standard_image.h"

namespace zq {
namespace {

constexpr int kFixedShift = 16;                 // 16.16 fixed-point source positions
constexpr uint32_t kFractionMask = 0xFFFF;
constexpr uint32_t kWeightOne = 0xFFFF;         // the bilinear weights count 0xFFFF as one

bool ValidHalfSize(int size) { return size == 1 || (size > 0 && size % 2 == 0); }

template <int Bytes>
void HalfScaleRows(const PixelFormat &f, uint8_t *dest, ptrdiff_t destPitch, const uint8_t *src,
                   ptrdiff_t srcPitch, int w, int h) {
    const uint32_t masks[4] = {f.redMask, f.greenMask, f.blueMask, f.alphaMask};
    const int shifts[4] = {f.redShift, f.greenShift, f.blueShift, f.alphaShift};
    const int stepX = w == 1 ? 0 : 1, stepY = h == 1 ? 0 : 1;
    // Sums of four pixels lose 2 bits, of two pixels 1 bit, of one pixel none.
    const int drop = stepX + stepY;
    const int outW = w == 1 ? 1 : w / 2, outH = h == 1 ? 1 : h / 2;
    for (int y = 0; y < outH; ++y) {
        const uint8_t *row0 = src + static_cast<ptrdiff_t>(y) * (stepY + 1) * srcPitch;
        const uint8_t *row1 = row0 + stepY * srcPitch;
        uint8_t *out = dest + y * destPitch;
        for (int x = 0; x < outW; ++x) {
            const ptrdiff_t x0 = static_cast<ptrdiff_t>(x) * (stepX + 1) * Bytes;
            const ptrdiff_t x1 = x0 + stepX * Bytes;
            uint32_t p[4] = {LoadPixel<Bytes>(row0 + x0), LoadPixel<Bytes>(row0 + x1),
                             LoadPixel<Bytes>(row1 + x0), LoadPixel<Bytes>(row1 + x1)};
            const int count = (stepX + 1) * (stepY + 1);
            const uint32_t *used[4] = {&p[0], stepX ? &p[1] : &p[2], &p[2], &p[3]};
            uint32_t value = 0;
            for (int k = 0; k < 4; ++k) {
                if (masks[k] == 0) continue;
                uint64_t sum = 0;
                for (int i = 0; i < count; ++i) sum += (*used[i] & masks[k]) >> shifts[k];
                value |= static_cast<uint32_t>((sum >> drop) << shifts[k]) & masks[k];
            }
            StorePixel<Bytes>(out + static_cast<ptrdiff_t>(x) * Bytes, value);
        }
    }
}

bool ValidImage(const StandardImage *image) {
    return image != nullptr && image->pixels != nullptr && image->width > 0 && image->height > 0;
}

bool RectInside(int left, int top, int right, int bottom, const StandardImage &image) {
    return 0 <= left && left < right && right <= image.width && 0 <= top && top < bottom &&
           bottom <= image.height;
}

struct Sample {
    int r, g, b, a;
};

Sample ReadSample(StandardImage *image, int x, int y) {
    Sample s{};
    GetImagePixel(image, x, y, &s.r, &s.g, &s.b, &s.a);
    return s;
}

}  // namespace

int HalfScaleBlit(const PixelFormat *format, void *destPixels, int destPitch, const void *srcPixels,
                  int srcPitch, int destX, int destY, int srcX, int srcY, int srcWidth,
                  int srcHeight) {
    if (format == nullptr || destPixels == nullptr || srcPixels == nullptr) return -1;
    if (!ValidHalfSize(srcWidth) || !ValidHalfSize(srcHeight)) return -1;
    if (destX < 0 || destY < 0 || srcX < 0 || srcY < 0) return -1;
    if (format->compression != kCompressionNone) return -1;
    const int bytes = format->bytesPerPixel;
    auto *dest = static_cast<uint8_t *>(destPixels) + static_cast<ptrdiff_t>(destY) * destPitch +
                 static_cast<ptrdiff_t>(destX) * bytes;
    auto *src = static_cast<const uint8_t *>(srcPixels) + static_cast<ptrdiff_t>(srcY) * srcPitch +
                static_cast<ptrdiff_t>(srcX) * bytes;
    switch (bytes) {
        case 2: HalfScaleRows<2>(*format, dest, destPitch, src, srcPitch, srcWidth, srcHeight); break;
        case 4: HalfScaleRows<4>(*format, dest, destPitch, src, srcPitch, srcWidth, srcHeight); break;
        default: return -1;  // only 16- and 32-bit pixels are reduced
    }
    return 0;
}

int BlitImage(int srcX, int srcY, int width, int height, int destX, int destY,
              StandardImage *source, StandardImage *dest) {
    if (!ValidImage(source) || !ValidImage(dest)) return -1;
    if (DecompressImage(source) != 0 || DecompressImage(dest) != 0) return -1;
    // Clip in 64 bits so that extreme arguments cannot overflow.
    int64_t sx = srcX, sy = srcY, dx = destX, dy = destY, w = width, h = height;
    if (sx < 0) { dx -= sx; w += sx; sx = 0; }
    if (sy < 0) { dy -= sy; h += sy; sy = 0; }
    if (dx < 0) { sx -= dx; w += dx; dx = 0; }
    if (dy < 0) { sy -= dy; h += dy; dy = 0; }
    w = std::min({w, dest->width - dx, source->width - sx});
    h = std::min({h, dest->height - dy, source->height - sy});
    if (w <= 0 || h <= 0) return 0;
    int result = ConvertPixels(dest->pixels, dest->pitch, &dest->format, source->pixels,
                               source->pitch, &source->format, nullptr, 0, nullptr,
                               static_cast<int>(dx), static_cast<int>(dy), static_cast<int>(sx),
                               static_cast<int>(sy), static_cast<int>(sx + w),
                               static_cast<int>(sy + h), false, false, 0, kDitherNone, false,
                               false, false, true);
    return result < 0 ? -1 : 0;
}

int ScaleBlitImage(int srcLeft, int srcTop, int srcRight, int srcBottom, StandardImage *source,
                   int destLeft, int destTop, int destRight, int destBottom, StandardImage *dest,
                   bool bilinear) {
    if (!ValidImage(source) || !ValidImage(dest)) return -1;
    if (!RectInside(srcLeft, srcTop, srcRight, srcBottom, *source) ||
        !RectInside(destLeft, destTop, destRight, destBottom, *dest))
        return -1;
    const int srcW = srcRight - srcLeft, srcH = srcBottom - srcTop;
    const int destW = destRight - destLeft, destH = destBottom - destTop;
    if (srcW == destW && srcH == destH)
        return BlitImage(srcLeft, srcTop, srcW, srcH, destLeft, destTop, source, dest);
    if (DecompressImage(source) != 0 || DecompressImage(dest) != 0) return -1;

    const int64_t stepX = (static_cast<int64_t>(srcW) << kFixedShift) / destW;
    const int64_t stepY = (static_cast<int64_t>(srcH) << kFixedShift) / destH;
    int64_t y = static_cast<int64_t>(srcTop) << kFixedShift;
    for (int dy = destTop; dy < destBottom; ++dy, y += stepY) {
        int64_t x = static_cast<int64_t>(srcLeft) << kFixedShift;
        const int sy = static_cast<int>(y >> kFixedShift);
        for (int dx = destLeft; dx < destRight; ++dx, x += stepX) {
            const int sx = static_cast<int>(x >> kFixedShift);
            if (!bilinear) {
                Sample s = ReadSample(source, sx, sy);
                SetImagePixel(dest, dx, dy, s.r, s.g, s.b, s.a);
                continue;
            }
            // The neighbours right and below are held to the image's last column and row.
            const int sx1 = std::min(sx + 1, source->width - 1);
            const int sy1 = std::min(sy + 1, source->height - 1);
            const uint64_t fx = static_cast<uint64_t>(x) & kFractionMask;
            const uint64_t fy = static_cast<uint64_t>(y) & kFractionMask;
            const uint64_t w11 = (fy * fx) >> 16;
            const uint64_t w01 = ((kWeightOne - fx) * fy) >> 16;
            const uint64_t w10 = ((kWeightOne - fy) * fx) >> 16;
            const uint64_t w00 = ((kWeightOne - fy) * (kWeightOne - fx)) >> 16;
            const Sample p11 = ReadSample(source, sx1, sy1), p01 = ReadSample(source, sx, sy1);
            const Sample p10 = ReadSample(source, sx1, sy), p00 = ReadSample(source, sx, sy);
            auto blend = [&](int Sample::*c) {
                return static_cast<int>((w11 * (p11.*c) + w01 * (p01.*c) + w10 * (p10.*c) +
                                         w00 * (p00.*c)) >> 16);
            };
            SetImagePixel(dest, dx, dy, blend(&Sample::r), blend(&Sample::g), blend(&Sample::b),
                          blend(&Sample::a));
        }
    }
    return 0;
}

}  // namespace zq
