// Pixel formats: the standard creators, formats from channel masks, packing and unpacking of
// colors in any format, and the screen format behind MakeColor and SplitColor.
//
// Relies on the life-cycle settings for the requested screen depth while no screen has set its
// format (the default screen is 16-bit R5G6B5).
#include "graphics/pixel_format.h"

#include <cstring>

#include "core/lifecycle.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kDefaultScreenDepth = 16;
constexpr uint32_t kPaletteRedMask = 0x00FF0000;
constexpr uint32_t kPaletteGreenMask = 0x0000FF00;
constexpr uint32_t kPaletteBlueMask = 0x000000FF;
constexpr uint32_t kTopByteMask = 0xFF000000;

// The screen format as the screen set it; otherwise MakeColor follows the requested depth.
struct ScreenFormatState {
    bool set;
    PixelFormat format;
    PixelFormat depth16;      // filled on first use
    PixelFormat depthOther;
    bool defaultsFilled;
};
ScreenFormatState screenState;

struct MaskRun {
    uint8_t shift, width;
};

// Index of the lowest set bit and the number of consecutive set bits from there.
MaskRun MeasureMask(uint32_t mask) {
    if (mask == 0) return {0, 0};
    uint8_t shift = static_cast<uint8_t>(__builtin_ctz(mask));
    uint32_t rest = mask >> shift;
    uint8_t width = static_cast<uint8_t>(rest == 0xFFFFFFFFu ? 32 : __builtin_ctz(~rest));
    return {shift, width};
}

uint32_t DepthMask(int depth) {
    return depth >= 32 ? 0xFFFFFFFFu : (1u << depth) - 1;
}

// Spare bits: the pixel's bits that no channel uses; their position and run length.
void FillSpareBits(PixelFormat *format, uint32_t spareMask) {
    format->spareMask = spareMask;
    MaskRun run = MeasureMask(spareMask);
    format->spareShift = run.shift;
    format->spareWidth = run.width;
}

void SetChannels(PixelFormat *format, uint32_t red, uint32_t green, uint32_t blue, uint32_t alpha) {
    const uint32_t masks[4] = {red, green, blue, alpha};
    uint8_t *widths[4] = {&format->redWidth, &format->greenWidth, &format->blueWidth,
                          &format->alphaWidth};
    uint8_t *shifts[4] = {&format->redShift, &format->greenShift, &format->blueShift,
                          &format->alphaShift};
    for (int i = 0; i < 4; ++i) {
        MaskRun run = MeasureMask(masks[i]);
        *widths[i] = run.width;
        *shifts[i] = run.shift;
    }
    format->redMask = red;
    format->greenMask = green;
    format->blueMask = blue;
    format->alphaMask = alpha;
}

void SetPlainLayout(PixelFormat *format, int depth, int bytes, uint32_t alphaMask, uint32_t spare) {
    format->colorBitDepth = static_cast<uint16_t>(depth);
    format->bytesPerPixel = static_cast<uint16_t>(bytes);
    SetChannels(format, kPaletteRedMask, kPaletteGreenMask, kPaletteBlueMask, alphaMask);
    FillSpareBits(format, spare);
    format->compression = kCompressionNone;
}

// An 8-bit value scaled into a channel of the given width, low bits dropped.
uint32_t PackChannel(int value8, int width, int shift) {
    uint32_t v = static_cast<uint32_t>(value8) & 0xFF;
    if (width == 0) return 0;
    v = width <= 8 ? v >> (8 - width) : v << (width - 8);
    return static_cast<uint32_t>(static_cast<uint64_t>(v) << shift);
}

// A channel of a pixel value scaled to 0..255, truncating.
int UnpackChannel(uint32_t pixel, uint32_t mask, int shift, int width) {
    if (width == 0) return 0;
    uint64_t v = (pixel & mask) >> shift;
    uint64_t max = (uint64_t{1} << width) - 1;
    return static_cast<int>(v * 255 / max);
}

int NearestPaletteIndex(const PixelFormat *format, int red, int green, int blue) {
    red &= 0xFF;
    green &= 0xFF;
    blue &= 0xFF;
    int best = 0;
    int bestDistance = 0x7FFFFFFF;
    for (int i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry &e = format->palette[i];
        int db = e.blue - blue, dg = e.green - green, dr = e.red - red;
        int distance = db * db + dg * dg + dr * dr;
        if (distance < bestDistance) {  // strict: on a tie the lowest index stays
            bestDistance = distance;
            best = i;
        }
    }
    return best;
}

}  // namespace

int CreatePaletteFormat(PixelFormat *format) {
    if (format == nullptr) return -1;
    SetPlainLayout(format, 8, 1, 0, kTopByteMask);
    return 0;
}

int CreateGrayFormat(PixelFormat *format) {
    if (format == nullptr) return -1;
    SetPlainLayout(format, 8, 1, 0, kTopByteMask);
    for (int i = 0; i < kPaletteSize; ++i) {
        uint8_t v = static_cast<uint8_t>(i);
        format->palette[i] = {v, v, v, 0};
    }
    return 0;
}

int CreateFullColorFormat(PixelFormat *format) {
    if (format == nullptr) return -1;
    SetPlainLayout(format, 24, 3, 0, 0);
    return 0;
}

int CreateXRGB8Format(PixelFormat *format) {
    if (format == nullptr) return -1;
    SetPlainLayout(format, 32, 4, 0, kTopByteMask);
    return 0;
}

int CreateARGB8Format(PixelFormat *format) {
    if (format == nullptr) return -1;
    SetPlainLayout(format, 32, 4, kTopByteMask, 0);
    return 0;
}

int CreateFormatFromMasks(PixelFormat *format, int depth, uint32_t redMask, uint32_t greenMask,
                          uint32_t blueMask, uint32_t alphaMask) {
    if (format == nullptr || depth < 8 || depth > 32 || depth % 8 != 0) return -1;
    format->colorBitDepth = static_cast<uint16_t>(depth);
    format->bytesPerPixel = static_cast<uint16_t>(depth / 8);
    SetChannels(format, redMask, greenMask, blueMask, alphaMask);
    FillSpareBits(format, DepthMask(depth) & ~(redMask | greenMask | blueMask | alphaMask));
    format->compression = kCompressionNone;
    return 0;
}

int RecomputeSpareMask(PixelFormat *format) {
    if (format == nullptr) return -1;
    int widths = format->redWidth + format->greenWidth + format->blueWidth + format->alphaWidth;
    uint32_t used = format->redMask | format->greenMask | format->blueMask | format->alphaMask;
    FillSpareBits(format, widths == format->colorBitDepth
                              ? 0
                              : DepthMask(format->colorBitDepth) & ~used);
    return 0;
}

uint32_t PackColor(const PixelFormat *format, int red, int green, int blue, int alpha) {
    if (format == nullptr) return 0;
    if (format->bytesPerPixel == 1 && IsPaletteFormat(*format))
        return static_cast<uint32_t>(NearestPaletteIndex(format, red, green, blue));
    return PackChannel(red, format->redWidth, format->redShift) +
           PackChannel(green, format->greenWidth, format->greenShift) +
           PackChannel(blue, format->blueWidth, format->blueShift) +
           PackChannel(alpha, format->alphaWidth, format->alphaShift) + format->spareMask;
}

int UnpackColor(const PixelFormat *format, uint32_t pixel, int *red, int *green, int *blue,
                int *alpha) {
    if (format == nullptr) return -1;
    if (red) *red = UnpackChannel(pixel, format->redMask, format->redShift, format->redWidth);
    if (green)
        *green = UnpackChannel(pixel, format->greenMask, format->greenShift, format->greenWidth);
    if (blue) *blue = UnpackChannel(pixel, format->blueMask, format->blueShift, format->blueWidth);
    if (alpha)
        *alpha = UnpackChannel(pixel, format->alphaMask, format->alphaShift, format->alphaWidth);
    return 0;
}

bool IsPaletteFormat(const PixelFormat &format) {
    if (format.bytesPerPixel != 1) return false;
    uint32_t colors = format.redMask | format.greenMask | format.blueMask;
    return colors == 0 || (colors & ~0xFFu) != 0;
}

void CreateScreenFormatForDepth(PixelFormat *format, int depth) {
    std::memset(format, 0, sizeof(*format));
    if (depth == 16)
        CreateFormatFromMasks(format, 16, 0xF800, 0x07E0, 0x001F, 0);
    else
        CreateXRGB8Format(format);
}

void SetScreenPixelFormat(const PixelFormat *format) {
    screenState.set = format != nullptr;
    if (format != nullptr) screenState.format = *format;
}

const PixelFormat &ScreenPixelFormat() {
    if (screenState.set) return screenState.format;
    if (!screenState.defaultsFilled) {
        CreateScreenFormatForDepth(&screenState.depth16, 16);
        CreateScreenFormatForDepth(&screenState.depthOther, 32);
        screenState.defaultsFilled = true;
    }
    int bits = RequestedScreenMode().bits;
    if (bits == 0) bits = kDefaultScreenDepth;
    return bits == 16 ? screenState.depth16 : screenState.depthOther;
}

}  // namespace zq

uint32_t MakeColor(int red, int green, int blue) {
    const zq::PixelFormat &f = zq::ScreenPixelFormat();
    return zq::PackChannel(red, f.redWidth, f.redShift) +
           zq::PackChannel(green, f.greenWidth, f.greenShift) +
           zq::PackChannel(blue, f.blueWidth, f.blueShift) + f.spareMask;
}

int SplitColor(uint32_t color, int *red, int *green, int *blue) {
    zq::UnpackColor(&zq::ScreenPixelFormat(), color, red, green, blue, nullptr);
    return 0;
}

ColorF MakeColorF(ColorF *record, float red, float green, float blue, float alpha) {
    ColorF value = {red, green, blue, alpha};
    if (record != nullptr) *record = value;
    return value;
}
