// Standard images: the in-memory form of every decoded image (pixels in a PixelFormat), their
// creation and release, pixel access, mirroring, block decompression, blits between images and
// the device-independent bitmap form. Memory comes from the tracked allocator.
#pragma once

#include <cstdint>

#include "graphics/convert_pixels.h"
#include "graphics/pixel_format.h"

namespace zq {

// Rows run top to bottom. Images created here pad rows to a multiple of 4 bytes.
struct StandardImage {
    PixelFormat format;
    int32_t width;
    int32_t height;
    int32_t pitch;        // bytes from one row to the next; 0 for block-compressed images
    uint8_t *pixels;      // owned, from the tracked allocator
    int32_t mipLevels;    // set only by block-compressed and DDS images, else 0
};

// 0, or -1 when the pixels cannot be allocated (pixels stays null) or the arguments are bad.
int CreateImageARGB8(int width, int height, StandardImage *image);
int CreateImageXRGB8(int width, int height, StandardImage *image);
// Copies the model's format, palette included.
int CreateImageLike(int width, int height, const StandardImage *model, StandardImage *image);
// Frees the pixels and zeroes the whole record.
void ReleaseImage(StandardImage *image);
// Sets the rectangle's bytes to 0; the rectangle is clipped to the image.
int ClearImageRect(StandardImage *image, int x, int y, int width, int height);
// Reverses every row. 0, or -1 when the image is empty.
int MirrorImage(StandardImage *image);
// 8-bit components of one pixel (a palette image gives its entry's fourth byte as alpha); any
// out pointer may be null. 0, or -1 outside the image or when decompression fails.
int GetImagePixel(StandardImage *image, int x, int y, int *red, int *green, int *blue, int *alpha);
int SetImagePixel(StandardImage *image, int x, int y, int red, int green, int blue, int alpha);
// Turns a DXT1..DXT5 image into A8R8G8B8. 0 (also for a plain image), or -1 with the compressed
// data left in place.
int DecompressImage(StandardImage *image);

// Halves a 16- or 32-bit block: w and h must each be 1 or even; the destination gets
// max(w / 2, 1) x max(h / 2, 1) pixels. 0, or -1.
int HalfScaleBlit(const PixelFormat *format, void *destPixels, int destPitch, const void *srcPixels,
                  int srcPitch, int destX, int destY, int srcX, int srcY, int srcWidth,
                  int srcHeight);
// Copies a clipped rectangle between images of any formats (palettes remapped). 0, or -1.
int BlitImage(int srcX, int srcY, int width, int height, int destX, int destY,
              StandardImage *source, StandardImage *dest);
// Scales [left, right) x [top, bottom) of the source onto the destination rectangle, by nearest
// pixel or bilinear (weights of 0xFFFF). 0, or -1 for rectangles outside either image.
int ScaleBlitImage(int srcLeft, int srcTop, int srcRight, int srcBottom, StandardImage *source,
                   int destLeft, int destTop, int destRight, int destBottom, StandardImage *dest,
                   bool bilinear);

// The 40-byte header of a device-independent bitmap, laid out as the host's blitters expect.
struct DibHeader {
    uint32_t headerSize;      // 40
    int32_t width;
    int32_t height;           // negative: rows top down
    uint16_t planes;          // 1
    uint16_t bitCount;        // 8 or 24
    uint32_t compression;     // 0, uncompressed
    uint32_t imageSize;
    int32_t xPixelsPerMeter;
    int32_t yPixelsPerMeter;
    uint32_t colorsUsed;
    uint32_t colorsImportant;
};
static_assert(sizeof(DibHeader) == 40);

// A DIB header followed by its palette (used for 8-bit DIBs).
struct DibInfo {
    DibHeader header;
    PaletteEntry palette[kPaletteSize];
};

// Fills the header and hands out rows padded to 4 bytes: 1 when *rows is a new block the caller
// frees with TrackedFree, 0 when *rows is the image's own pixels, -1 on failure.
int PrepareDib(StandardImage *image, DibInfo *info, void **rows, bool forceCopy, bool force24);

}  // namespace zq
