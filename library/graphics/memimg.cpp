// Software images: creation, sub-images sharing one store, release by reference count, fills and
// copies. Every block comes from the tracked allocator.
#include "graphics/memimg.h"

#include <climits>
#include <cstring>

#include "graphics/convert_pixels.h"
#include "zqlib.h"

namespace zq {
namespace {

// The ten shared formats: RGB16 and RGB32 each plain, alpha, indexed, indexed with alpha; gray.
struct MemImgFormats {
    PixelFormat formats[10];
    bool built[10];
};

MemImgFormats g_formats;

int FormatSlot(int colorType, bool hasAlpha, bool usePalette) {
    switch (colorType) {
        case MEMIMG_RGB16:
        case MEMIMG_RGB32:
            return colorType * 4 + (usePalette ? 2 : 0) + (hasAlpha ? 1 : 0);
        case MEMIMG_GRAY8: return 8;
        case MEMIMG_GRAY16: return 9;
        default: return -1;
    }
}

void BuildFormat(int slot, PixelFormat *format) {
    std::memset(format, 0, sizeof(*format));
    if (slot < 4) {
        static const int kDepth[4] = {16, 32, 8, 8};
        CreateFormatFromMasks(format, kDepth[slot], 0xF800, 0x07E0, 0x001F, (slot & 1) ? 0xFF0000 : 0);
    } else if (slot < 8) {
        static const int kDepth[4] = {32, 32, 8, 8};
        CreateFormatFromMasks(format, kDepth[slot - 4], 0xFF0000, 0xFF00, 0xFF,
                              (slot & 1) ? 0xFF000000u : 0);
    } else if (slot == 8) {
        CreateFormatFromMasks(format, 8, 0xFF, 0xFF, 0xFF, 0xFF);
    } else {
        CreateFormatFromMasks(format, 16, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF);
    }
}

// Smallest power of two not below size; its log2 when it equals the pitch, else -1.
int PitchShift(int pitch, int size) {
    int shift = 0;
    while ((int64_t{1} << shift) < size) ++shift;
    return (int64_t{1} << shift) == pitch ? shift : -1;
}

void FreeBase(MemImgBase *base) {
    if (!base->userBuffer) TrackedFree(base->pixelBuffer);
    TrackedFree(base->premulBuffer);
    TrackedFree(base->skipTable);
    TrackedFree(base->skipSpans);
    TrackedFree(base->palette);
    TrackedFree(base);
}

bool ValidRecord(const MEMIMG *image) { return image && MemImgIsValid(image); }

}  // namespace

const PixelFormat *MemImgPixelFormat(int colorType, bool hasAlpha, bool usePalette) {
    int slot = FormatSlot(colorType, hasAlpha, usePalette);
    if (slot < 0) return nullptr;
    if (!g_formats.built[slot]) {
        BuildFormat(slot, &g_formats.formats[slot]);
        g_formats.built[slot] = true;
    }
    return &g_formats.formats[slot];
}

int MemImgBytesPerPixel(int colorType, bool hasAlpha, bool usePalette) {
    if (usePalette) return 1;
    switch (colorType) {
        case MEMIMG_RGB16: return hasAlpha ? 4 : 2;
        case MEMIMG_RGB32: return 4;
        case MEMIMG_GRAY8: return 1;
        default: return 2;
    }
}

int CreateMemImg(MEMIMG *image, int width, int height, int pitch, uint32_t transColor, int colorType,
                 int usePalette, int hasAlpha, int auxiliary, uint8_t *userPixels) {
    if (!image || image->magic == kMemImgMagic) return -1;
    if (colorType < MEMIMG_RGB16 || colorType > MEMIMG_GRAY16) return -1;
    if (width <= 0 || height <= 0) return -1;
    if (colorType == MEMIMG_GRAY8 || colorType == MEMIMG_GRAY16) usePalette = 0;
    if (usePalette || colorType == MEMIMG_GRAY8 || colorType == MEMIMG_GRAY16) hasAlpha = 0;
    usePalette = usePalette ? 1 : 0;
    hasAlpha = hasAlpha ? 1 : 0;

    int bytes = MemImgBytesPerPixel(colorType, hasAlpha, usePalette);
    int64_t lineSize = int64_t{width} * bytes;
    int64_t autoPitch = (lineSize + 15) & ~int64_t{15};
    // A given pitch shorter than a line would make rows overlap and the last one overrun the store.
    if (pitch != -1 && (pitch < lineSize)) return -1;
    int64_t usedPitch = pitch == -1 ? autoPitch : pitch;
    if (usedPitch * height > INT_MAX || int64_t{width + kSkipTableLineExtra} * height > INT_MAX) return -1;

    auto *base = static_cast<MemImgBase *>(TrackedAllocZero(sizeof(MemImgBase), "", 0));
    if (!base) return -1;
    base->refCount = 1;
    base->width = width;
    base->height = height;
    base->pitch = static_cast<int>(usedPitch);
    base->pitchShift = PitchShift(base->pitch, pitch == -1 ? static_cast<int>(lineSize) : pitch);
    base->format = MemImgPixelFormat(colorType, hasAlpha, usePalette);
    base->transColor = transColor;
    base->colorType = colorType;
    base->usePalette = usePalette;
    base->hasAlpha = hasAlpha;
    base->userBuffer = userPixels ? 1 : 0;

    int storeSize = base->pitch * height;
    bool ok = true;
    if (usePalette) {
        base->palette = static_cast<uint8_t *>(TrackedAllocZero(kMemImgPaletteBlockSize, "", 0));
        base->paletteCopy = base->palette ? base->palette + kMemImgPaletteCopyOffset : nullptr;
        ok = base->palette != nullptr;
    }
    if (ok) {
        base->pixelBuffer = userPixels ? userPixels : static_cast<uint8_t *>(TrackedAlloc(storeSize, "", 0));
        ok = base->pixelBuffer != nullptr;
    }
    if (ok && auxiliary) {
        if (hasAlpha) {
            base->premulBuffer = static_cast<uint8_t *>(TrackedAlloc(storeSize, "", 0));
            ok = base->premulBuffer != nullptr;
        }
        if (ok && colorType != MEMIMG_GRAY8) {
            base->skipTable = static_cast<uint8_t *>(TrackedAlloc((width + kSkipTableLineExtra) * height, "", 0));
            ok = base->skipTable != nullptr;
        }
    }
    if (!ok) {
        FreeBase(base);
        return -1;
    }
    image->magic = kMemImgMagic;
    image->width = width;
    image->height = height;
    image->pixels = base->pixelBuffer;
    image->premulPixels = base->premulBuffer;
    image->base = base;
    return 0;
}

int CreateScreenMemImg(MEMIMG *image, int width, int height, int colorType) {
    if (!image) return -1;
    std::memset(image, 0, sizeof(*image));
    if (colorType == -1) colorType = ScreenPixelFormat().colorBitDepth == 16 ? MEMIMG_RGB16 : MEMIMG_RGB32;
    return CreateMemImg(image, width, height, -1, 0, colorType, 0, 0, 0, nullptr);
}

void MakeSubMemImg(MEMIMG *image, const MEMIMG *source, int x, int y, int width, int height) {
    if (!image || !ValidRecord(source)) return;
    if (x < 0 || y < 0 || width < 0 || height < 0) return;
    if (int64_t{x} + width > source->width || int64_t{y} + height > source->height) return;
    MemImgBase *base = source->base;
    size_t offset = size_t(x) * MemImgBytesPerPixel(*base) + size_t(y) * base->pitch;
    image->magic = kMemImgMagic;
    image->width = width;
    image->height = height;
    image->pixels = source->pixels + offset;
    image->premulPixels = base->premulBuffer ? source->premulPixels + offset : nullptr;
    image->base = base;
    ++base->refCount;
}

int MemImgIsValid(const MEMIMG *image) {
    return image && image->magic == kMemImgMagic && image->base != nullptr ? 1 : 0;
}

void ReleaseMemImg(MEMIMG *image) {
    if (!ValidRecord(image)) return;
    MemImgBase *base = image->base;
    if (--base->refCount == 0) FreeBase(base);
    image->base = nullptr;
    image->magic = 0;
}

void FillMemImg(MEMIMG *image, const MemImgRect *rect, uint32_t value) {
    if (!ValidRecord(image)) return;
    int64_t left = 0, top = 0, right = image->width, bottom = image->height;
    if (rect) {
        left = rect->left > 0 ? rect->left : 0;
        top = rect->top > 0 ? rect->top : 0;
        right = rect->right < image->width ? rect->right : image->width;
        bottom = rect->bottom < image->height ? rect->bottom : image->height;
    }
    if (left >= right || top >= bottom) return;
    int bytes = MemImgBytesPerPixel(*image->base);
    int pitch = image->base->pitch;
    const size_t rowBytes = static_cast<size_t>(right - left) * bytes;
    uint8_t *first = image->pixels + top * pitch + left * bytes;
    if (bytes == 1) {
        std::memset(first, static_cast<uint8_t>(value), rowBytes);
    } else {
        // One pixel, then the filled part copied onto what follows it, doubling each time: a
        // handful of block copies instead of one store per pixel.
        std::memcpy(first, &value, static_cast<size_t>(bytes));
        for (size_t filled = bytes; filled < rowBytes;) {
            const size_t n = filled < rowBytes - filled ? filled : rowBytes - filled;
            std::memcpy(first + filled, first, n);
            filled += n;
        }
    }
    for (int64_t y = top + 1; y < bottom; ++y) std::memcpy(image->pixels + y * pitch + left * bytes, first, rowBytes);
}

int CopyMemImg(MEMIMG *dest, const MEMIMG *source, const MemImgRect *rect, int x, int y) {
    if (!ValidRecord(dest) || !ValidRecord(source)) return -1;
    MemImgRect r = rect ? *rect : MemImgRect{0, 0, source->width, source->height};
    // The conversion does not clip; a rectangle outside either image would read or write past it.
    if (r.left < 0 || r.top < 0 || r.right > source->width || r.bottom > source->height) return -1;
    if (x < 0 || y < 0 || int64_t{x} + (r.right - r.left) > dest->width ||
        int64_t{y} + (r.bottom - r.top) > dest->height) {
        return -1;
    }
    // The views start inside their stores; the conversion works from the view's top-left pixel.
    return ConvertPixels(dest->pixels, dest->base->pitch, dest->base->format, source->pixels,
                         source->base->pitch, source->base->format, nullptr, 0, nullptr, x, y, r.left,
                         r.top, r.right, r.bottom, false, false, 0, kDitherNone, false, false, false,
                         false);
}

}  // namespace zq
