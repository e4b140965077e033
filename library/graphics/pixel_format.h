// Pixel formats inside the library: the channel-mask descriptor every image carries, its standard
// creators, packing and unpacking of colors in any format, and the screen format that MakeColor
// packs for. Relies on nothing but the C++ standard library and the life-cycle settings.
#pragma once

#include <cstdint>

namespace zq {

constexpr int kPaletteSize = 256;

// One palette entry as stored in memory: blue, green, red, then alpha for decoders that have one
// (else 0). Read as a little-endian 32-bit value it is 0xAARRGGBB.
struct PaletteEntry {
    uint8_t blue, green, red, alpha;
};

// Compression kinds: 0 plain, 1..5 the 4x4 block formats DXT1..DXT5.
constexpr uint32_t kCompressionNone = 0;
constexpr uint32_t kCompressionDxt1 = 1;
constexpr uint32_t kCompressionDxt2 = 2;
constexpr uint32_t kCompressionDxt3 = 3;
constexpr uint32_t kCompressionDxt4 = 4;
constexpr uint32_t kCompressionDxt5 = 5;

// A color format described by channel masks. For a palette format (1 byte per pixel) the masks
// describe a palette entry read as a 32-bit little-endian value.
struct PixelFormat {
    uint16_t colorBitDepth;   // 8, 16, 24 or 32; 4 or 8 for block-compressed formats
    uint16_t bytesPerPixel;   // 1 (palette index), 2, 3 or 4
    uint8_t redWidth, greenWidth, blueWidth, alphaWidth;  // 0 = channel absent
    uint8_t redShift, greenShift, blueShift, alphaShift;
    uint32_t redMask, greenMask, blueMask, alphaMask;
    uint32_t spareMask;       // bits of no channel; conversions write them as 1 in 16/32-bit pixels
    PaletteEntry palette[kPaletteSize];
    uint8_t spareShift, spareWidth;
    uint32_t compression;     // kCompression*
};

// Standard formats. Each overwrites the fields it names; the palette is left alone except by
// CreateGrayFormat, which fills the gray ramp. All return 0, or -1 for a null format.
int CreatePaletteFormat(PixelFormat *format);
int CreateGrayFormat(PixelFormat *format);
int CreateFullColorFormat(PixelFormat *format);   // 24-bit R8G8B8
int CreateXRGB8Format(PixelFormat *format);
int CreateARGB8Format(PixelFormat *format);
// Fills depth, bytes, masks, widths, shifts and the spare bits from the masks (depth 8..32).
int CreateFormatFromMasks(PixelFormat *format, int depth, uint32_t redMask, uint32_t greenMask,
                          uint32_t blueMask, uint32_t alphaMask);
// The spare-bit mask after the channel widths or masks were changed by hand.
int RecomputeSpareMask(PixelFormat *format);

// True for a 1-byte format whose masks describe palette entries. A 1-byte format whose color
// masks lie inside the byte (gray, 3-3-2) holds its colors in the pixel itself.
bool IsPaletteFormat(const PixelFormat &format);

// A pixel value in the format; for a palette format the nearest palette index.
uint32_t PackColor(const PixelFormat *format, int red, int green, int blue, int alpha);
// The 8-bit components of a pixel value; any out pointer may be null. 0, or -1 for a null format.
int UnpackColor(const PixelFormat *format, uint32_t pixel, int *red, int *green, int *blue,
                int *alpha);

// The screen's format for MakeColor and SplitColor. The screen calls SetScreenPixelFormat when it
// is made (and with null when it goes away); until then the format follows the requested screen
// depth: R5G6B5 for 16 bits (the default), X8R8G8B8 otherwise.
void SetScreenPixelFormat(const PixelFormat *format);
const PixelFormat &ScreenPixelFormat();
// Fills R5G6B5 (depth 16) or X8R8G8B8 (any other depth): the two screen formats.
void CreateScreenFormatForDepth(PixelFormat *format, int depth);

}  // namespace zq
