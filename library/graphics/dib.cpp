// The device-independent bitmap form of a standard image: a 40-byte header, an optional palette
// and top-down rows padded to 4 bytes, in 8 or 24 bits per pixel.
#include <climits>
#include <cstring>

#include "graphics/standard_image.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr uint32_t kDibHeaderSize = 40;
constexpr int kDibRowAlignment = 4;

int DibPitch(int width, int bytes) {
    return (width * bytes + kDibRowAlignment - 1) / kDibRowAlignment * kDibRowAlignment;
}

// A new block of rows copied from the image at the DIB's pitch.
uint8_t *CopyRows(const StandardImage &image, int dibPitch, int rowBytes) {
    auto *rows = static_cast<uint8_t *>(TrackedAllocZero(dibPitch * image.height, "", 0));
    if (rows == nullptr) return nullptr;
    for (int y = 0; y < image.height; ++y)
        std::memcpy(rows + static_cast<ptrdiff_t>(y) * dibPitch,
                    image.pixels + static_cast<ptrdiff_t>(y) * image.pitch, rowBytes);
    return rows;
}

bool IsStandardRgb24(const PixelFormat &f) {
    return f.bytesPerPixel == 3 && f.redMask == 0xFF0000 && f.greenMask == 0xFF00 &&
           f.blueMask == 0xFF && f.alphaMask == 0;
}

}  // namespace

int PrepareDib(StandardImage *image, DibInfo *info, void **rows, bool forceCopy, bool force24) {
    if (image == nullptr || info == nullptr || rows == nullptr || image->pixels == nullptr ||
        image->width <= 0 || image->height <= 0)
        return -1;
    if (DecompressImage(image) != 0) return -1;
    const PixelFormat &f = image->format;
    const bool indexed = IsPaletteFormat(f) && !force24;
    const int bytes = indexed ? 1 : 3;
    if (image->width > (INT_MAX - kDibRowAlignment) / 3) return -1;
    const int dibPitch = DibPitch(image->width, bytes);
    if (image->height > INT_MAX / dibPitch) return -1;

    std::memset(info, 0, sizeof(*info));
    DibHeader &h = info->header;
    h.headerSize = kDibHeaderSize;
    h.width = image->width;
    h.height = -image->height;
    h.planes = 1;
    h.bitCount = static_cast<uint16_t>(bytes * 8);
    h.imageSize = static_cast<uint32_t>(dibPitch) * image->height;
    if (indexed) std::memcpy(info->palette, f.palette, sizeof(info->palette));

    *rows = nullptr;
    if (indexed || (IsStandardRgb24(f) && !forceCopy)) {
        if (image->pitch == dibPitch && !forceCopy) {
            *rows = image->pixels;
            return 0;
        }
        uint8_t *copy = CopyRows(*image, dibPitch, image->width * bytes);
        if (copy == nullptr) return -1;
        *rows = copy;
        return 1;
    }
    auto *converted = static_cast<uint8_t *>(TrackedAllocZero(dibPitch * image->height, "", 0));
    if (converted == nullptr) return -1;
    PixelFormat rgb24{};
    CreateFullColorFormat(&rgb24);
    if (ConvertPixels(converted, dibPitch, &rgb24, image->pixels, image->pitch, &f, nullptr, 0,
                      nullptr, 0, 0, 0, 0, image->width, image->height, false, false, 0,
                      kDitherNone, false, false, false, false) < 0) {
        TrackedFree(converted);
        return -1;
    }
    *rows = converted;
    return 1;
}

}  // namespace zq
