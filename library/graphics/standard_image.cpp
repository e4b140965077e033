// Standard images: creation and release, clearing, mirroring and access to single pixels.
// Pixels come from the tracked allocator; rows are padded to a multiple of 4 bytes.
#include "graphics/standard_image.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "graphics/pixel_access.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kRowAlignment = 4;

// Allocates zeroed rows for an image whose format is already set. 0, or -1 with pixels null.
int AllocateRows(int width, int height, StandardImage *image) {
    image->pixels = nullptr;
    const int bytes = image->format.bytesPerPixel;
    if (width <= 0 || height <= 0 || bytes < 1 || bytes > 4 ||
        width > (INT_MAX - (kRowAlignment - 1)) / bytes)
        return -1;
    const int pitch = (width * bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
    if (height > INT_MAX / pitch) return -1;
    image->pixels = static_cast<uint8_t *>(TrackedAllocZero(pitch * height, "", 0));
    if (image->pixels == nullptr) return -1;
    image->width = width;
    image->height = height;
    image->pitch = pitch;
    image->mipLevels = 0;
    return 0;
}

template <int Bytes>
void MirrorRows(StandardImage *image) {
    for (int y = 0; y < image->height; ++y) {
        uint8_t *left = image->pixels + static_cast<ptrdiff_t>(y) * image->pitch;
        uint8_t *right = left + static_cast<ptrdiff_t>(image->width - 1) * Bytes;
        for (; left < right; left += Bytes, right -= Bytes) {
            uint32_t a = LoadPixel<Bytes>(left);
            StorePixel<Bytes>(left, LoadPixel<Bytes>(right));
            StorePixel<Bytes>(right, a);
        }
    }
}

// The pixel's address after decompressing a compressed image; null when it cannot be reached.
uint8_t *PixelAddress(StandardImage *image, int x, int y) {
    if (image == nullptr || image->pixels == nullptr) return nullptr;
    if (image->format.compression == kCompressionNone &&
        (image->format.bytesPerPixel < 1 || image->format.bytesPerPixel > 4))
        return nullptr;
    if (image->format.compression != kCompressionNone && DecompressImage(image) != 0) return nullptr;
    if (static_cast<unsigned>(x) >= static_cast<unsigned>(image->width) ||
        static_cast<unsigned>(y) >= static_cast<unsigned>(image->height))
        return nullptr;
    return image->pixels + static_cast<ptrdiff_t>(y) * image->pitch +
           static_cast<ptrdiff_t>(x) * image->format.bytesPerPixel;
}

}  // namespace

int CreateImageARGB8(int width, int height, StandardImage *image) {
    if (image == nullptr) return -1;
    std::memset(image, 0, sizeof(*image));
    CreateARGB8Format(&image->format);
    return AllocateRows(width, height, image);
}

int CreateImageXRGB8(int width, int height, StandardImage *image) {
    if (image == nullptr) return -1;
    std::memset(image, 0, sizeof(*image));
    CreateXRGB8Format(&image->format);
    return AllocateRows(width, height, image);
}

int CreateImageLike(int width, int height, const StandardImage *model, StandardImage *image) {
    if (image == nullptr || model == nullptr) return -1;
    // A block-compressed model has no pixel size to copy.
    if (model->format.compression != kCompressionNone) {
        image->pixels = nullptr;
        return -1;
    }
    PixelFormat format = model->format;  // the model may be the image itself
    std::memset(image, 0, sizeof(*image));
    image->format = format;
    return AllocateRows(width, height, image);
}

void ReleaseImage(StandardImage *image) {
    if (image == nullptr) return;
    if (image->pixels != nullptr) TrackedFree(image->pixels);
    std::memset(image, 0, sizeof(*image));
}

int ClearImageRect(StandardImage *image, int x, int y, int width, int height) {
    if (image == nullptr || image->pixels == nullptr ||
        image->format.compression != kCompressionNone)
        return -1;
    // Clipped to the image, so that a careless rectangle cannot write outside the pixels.
    int right = x > INT_MAX - width ? INT_MAX : x + width;
    int bottom = y > INT_MAX - height ? INT_MAX : y + height;
    x = std::max(x, 0);
    y = std::max(y, 0);
    right = std::min(right, image->width);
    bottom = std::min(bottom, image->height);
    if (right <= x || bottom <= y) return 0;
    const int bytes = image->format.bytesPerPixel;
    for (int row = y; row < bottom; ++row)
        std::memset(image->pixels + static_cast<ptrdiff_t>(row) * image->pitch +
                        static_cast<ptrdiff_t>(x) * bytes,
                    0, static_cast<size_t>(right - x) * bytes);
    return 0;
}

int MirrorImage(StandardImage *image) {
    if (image == nullptr || image->pixels == nullptr || image->width <= 0 || image->height <= 0)
        return -1;
    if (image->format.compression != kCompressionNone && DecompressImage(image) != 0) return -1;
    switch (image->format.bytesPerPixel) {
        case 1: MirrorRows<1>(image); break;
        case 2: MirrorRows<2>(image); break;
        case 3: MirrorRows<3>(image); break;
        case 4: MirrorRows<4>(image); break;
        default: return -1;
    }
    return 0;
}

int GetImagePixel(StandardImage *image, int x, int y, int *red, int *green, int *blue, int *alpha) {
    const uint8_t *p = PixelAddress(image, x, y);
    if (p == nullptr) return -1;
    const PixelFormat &f = image->format;
    uint32_t pixel = LoadPixelOfSize(p, f.bytesPerPixel);
    if (IsPaletteFormat(f)) {
        const PaletteEntry &e = f.palette[pixel];
        if (red) *red = e.red;
        if (green) *green = e.green;
        if (blue) *blue = e.blue;
        if (alpha) *alpha = e.alpha;
        return 0;
    }
    return UnpackColor(&f, pixel, red, green, blue, alpha);
}

int SetImagePixel(StandardImage *image, int x, int y, int red, int green, int blue, int alpha) {
    uint8_t *p = PixelAddress(image, x, y);
    if (p == nullptr) return -1;
    StorePixelOfSize(p, image->format.bytesPerPixel,
                     PackColor(&image->format, red, green, blue, alpha));
    return 0;
}

}  // namespace zq
