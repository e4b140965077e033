// Software images: the MEMIMG view and its shared, reference-counted pixel store (MemImgBase),
// their pixel layouts, creation, sub-images, fills, copies, loading from a StandardImage, and the
// two structures derived from whole-image loads (the skip table and the premultiplied copy).
// Relies on the pixel formats and the conversion engine; memory comes from the tracked allocator.
#pragma once

#include <cstdint>

#include "graphics/pixel_format.h"
#include "graphics/standard_image.h"

namespace zq {

constexpr uint32_t kMemImgMagic = 0x12345678;

constexpr int MEMIMG_RGB16 = 0;
constexpr int MEMIMG_RGB32 = 1;
constexpr int MEMIMG_GRAY8 = 2;
constexpr int MEMIMG_GRAY16 = 3;

constexpr int kMemImgPaletteBlockSize = 2048;  // 256 entries, then the 1024-byte copy
constexpr int kMemImgPaletteCopyOffset = 1024;
constexpr int kSkipTableLineExtra = 5;         // a skip-table line needs at most width + 1 bytes

// Skip-table codes: kind in the top two bits, run length - 1 in the low six; 0xC0 ends a line.
constexpr uint8_t kSkipTransparent = 0x00;
constexpr uint8_t kSkipOpaque = 0x40;
constexpr uint8_t kSkipTranslucent = 0x80;
constexpr uint8_t kSkipLineEnd = 0xC0;
constexpr int kSkipMaxRun = 64;

struct MemImgBase {
    int refCount;
    int width, height;
    int pitch;
    int pitchShift;               // log2 of the pitch when it is a power of two, else -1
    const PixelFormat *format;
    uint32_t transColor;          // pixel value, or palette index for an indexed image
    int colorType;                // MEMIMG_*
    int usePalette;
    int paletteCount;
    int hasAlpha;
    int premulValid;
    int skipValid;
    int userBuffer;
    uint8_t *palette;             // 256 entries in the image's color layout
    uint8_t *paletteCopy;         // palette + 1024
    uint8_t *pixelBuffer;
    uint8_t *premulBuffer;
    uint8_t *skipTable;
    // The kernels' form of the skip table, rebuilt with it: per line, the count of opaque spans and
    // their (x, length) pairs, then the same for translucent spans. Null when it could not be made.
    int32_t *skipSpans;
    int skipSpansCapacity;        // int32 entries allocated
};

struct MEMIMG {
    uint32_t magic;
    int width;
    int height;
    uint8_t *pixels;              // top-left pixel of this view inside the store
    uint8_t *premulPixels;        // the same pixel inside the premultiplied copy, or null
    MemImgBase *base;
};

// One of the ten shared formats (built on first request), or null for an unknown color type.
const PixelFormat *MemImgPixelFormat(int colorType, bool hasAlpha, bool usePalette);
// Bytes per pixel of a store: 1 indexed; 2, 4, 1, 2 by color type; 4 for RGB16 with alpha.
int MemImgBytesPerPixel(int colorType, bool hasAlpha, bool usePalette);
inline int MemImgBytesPerPixel(const MemImgBase &base) {
    return MemImgBytesPerPixel(base.colorType, base.hasAlpha != 0, base.usePalette != 0);
}

// pitch -1 picks (width * bytes + 15) & ~15; userPixels null allocates. 0, or -1 (the record
// is already valid, the arguments are unusable or memory ran out; the record stays invalid).
int CreateMemImg(MEMIMG *image, int width, int height, int pitch, uint32_t transColor, int colorType,
                 int usePalette, int hasAlpha, int auxiliary, uint8_t *userPixels);
// The screen image: colorType -1 follows the screen depth (16 bits: RGB16, else RGB32).
int CreateScreenMemImg(MEMIMG *image, int width, int height, int colorType);
// A view of (x, y, width, height) of source sharing its store; ignored when the rectangle does
// not lie inside the source.
void MakeSubMemImg(MEMIMG *image, const MEMIMG *source, int x, int y, int width, int height);
int MemImgIsValid(const MEMIMG *image);
void ReleaseMemImg(MEMIMG *image);

struct MemImgRect {
    int left, top, right, bottom;  // right and bottom exclusive
};

// Fills the rectangle (whole image when null), clipped to the image, with the value's low bytes.
void FillMemImg(MEMIMG *image, const MemImgRect *rect, uint32_t value);
// Converts the source rectangle (whole source when null) into dest at (x, y), all options off.
// Returns the conversion's result, or -1 when an image is invalid or the rectangle does not fit.
int CopyMemImg(MEMIMG *dest, const MEMIMG *source, const MemImgRect *rect, int x, int y);
// Converts (srcX, srcY, w, h) of a standard image into the record at (destX, destY), sets the
// palette of an indexed record, and rebuilds the skip table and premultiplied copy after a load
// of the whole image. 0, or the conversion's negative result.
int LoadImageIntoMemImg(const StandardImage *image, const StandardImage *alphaImage, MEMIMG *record,
                        int srcX, int srcY, int width, int height, int destX, int destY, int keyFlag);

// The skip table of a whole RGB16/RGB32 image (color key or alpha decides the run kinds), and the
// span lists derived from it.
void BuildSkipTable(MemImgBase *base);
// The premultiplied copy of a whole alpha image.
void BuildPremultipliedCopy(MemImgBase *base);

}  // namespace zq
