// Loading a rectangle of a StandardImage into a MEMIMG: the pixels through the conversion engine,
// the palette of an indexed image, and the skip table and premultiplied copy after a whole load.
#include <cstring>

#include "graphics/convert_pixels.h"
#include "graphics/memimg.h"

namespace zq {
namespace {

bool RectInside(int x, int y, int w, int h, int width, int height) {
    return x >= 0 && y >= 0 && w >= 0 && h >= 0 && int64_t{x} + w <= width && int64_t{y} + h <= height;
}

// The image's 256 palette entries in the record's layout, and their copy.
void ConvertPalette(const StandardImage &image, MemImgBase *base) {
    for (int i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry &e = image.format.palette[i];
        if (base->colorType == MEMIMG_RGB32) {
            uint8_t entry[4] = {e.blue, e.green, e.red, 0};
            std::memcpy(base->palette + 4 * i, entry, 4);
        } else {
            auto v = uint16_t(((e.green >> 2) << 5) | (e.blue >> 3) | ((e.red >> 3) << 11));
            std::memcpy(base->palette + 2 * i, &v, 2);
        }
    }
    std::memcpy(base->paletteCopy, base->palette, base->colorType == MEMIMG_RGB32 ? 1024 : 512);
}

}  // namespace

int LoadImageIntoMemImg(const StandardImage *image, const StandardImage *alphaImage, MEMIMG *record, int srcX,
                        int srcY, int width, int height, int destX, int destY, int keyFlag) {
    if (!image || !image->pixels || !MemImgIsValid(record)) return -1;
    MemImgBase *base = record->base;
    // The conversion does not clip: rectangles outside either image would be read or written past.
    if (!RectInside(srcX, srcY, width, height, image->width, image->height) ||
        !RectInside(destX, destY, width, height, record->width, record->height)) {
        return -1;
    }
    bool gray = base->colorType == MEMIMG_GRAY8 || base->colorType == MEMIMG_GRAY16;
    const StandardImage *alpha = gray ? nullptr : alphaImage;
    if (alpha && (!alpha->pixels || !RectInside(srcX, srcY, width, height, alpha->width, alpha->height))) return -1;

    int result = ConvertPixels(record->pixels, base->pitch, base->format, image->pixels, image->pitch, &image->format,
                               alpha ? alpha->pixels : nullptr, alpha ? alpha->pitch : 0,
                               alpha ? &alpha->format : nullptr, destX, destY, srcX, srcY, srcX + width,
                               srcY + height, false, !gray && keyFlag, gray ? 0 : base->transColor, kDitherNone,
                               gray, gray, false, false);
    if (result < 0) return result;
    if (base->usePalette) {
        if (!alpha) base->paletteCount = result + 1;
        ConvertPalette(*image, base);
    }
    base->premulValid = 0;
    base->skipValid = 0;
    bool whole = width == record->width && height == record->height;
    bool color = base->colorType == MEMIMG_RGB16 || base->colorType == MEMIMG_RGB32;
    // A view that is only part of its store would describe a different image in the skip table.
    bool wholeStore = record->pixels == base->pixelBuffer && record->width == base->width &&
                      record->height == base->height;
    if (whole && wholeStore && color && base->skipTable) {
        base->skipValid = 1;
        if (base->hasAlpha && base->premulBuffer) {
            base->premulValid = 1;
            BuildPremultipliedCopy(base);
        }
        BuildSkipTable(base);
    }
    return 0;
}

}  // namespace zq
