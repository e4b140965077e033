// DDS decoding: DXT1 to DXT5 block data kept compressed (with its mip chain), uncompressed data
// in the format its masks or its numbered format code describe. The whole data is read at once.
#include <cstring>

#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

using decode::Le32;

constexpr int kDdsHeaderSize = 124;
constexpr uint32_t kFlagPitch = 0x8;
constexpr uint32_t kFlagMipCount = 0x20000;
constexpr uint32_t kPixelAlpha = 0x1;
constexpr uint32_t kPixelFourCc = 0x4;
constexpr uint32_t kPixelRgb = 0x40;
constexpr uint32_t kCapsComplex = 0x8;
constexpr uint32_t kCapsMipMap = 0x400000;
constexpr uint32_t kMaxMipLevels = 32;

// Header fields at these offsets after the four-byte magic.
constexpr int kOffFlags = 4, kOffHeight = 8, kOffWidth = 12, kOffPitch = 16, kOffMipCount = 24;
constexpr int kOffPixelFlags = 76, kOffFourCc = 80, kOffBitCount = 84, kOffMasks = 88;
constexpr int kOffCaps = 104;

struct NumberedFormat {
    uint32_t code;
    int bits;
    uint32_t red, green, blue, alpha;
};

// Format codes stored in place of a four-character code.
constexpr NumberedFormat kNumberedFormats[] = {
    {20, 24, 0xFF0000, 0xFF00, 0xFF, 0},                               // R8G8B8
    {21, 32, 0xFF0000, 0xFF00, 0xFF, 0xFF000000},                      // A8R8G8B8
    {22, 32, 0xFF0000, 0xFF00, 0xFF, 0},                               // X8R8G8B8
    {23, 16, 0xF800, 0x07E0, 0x001F, 0},                               // R5G6B5
    {24, 16, 0x7C00, 0x03E0, 0x001F, 0},                               // X1R5G5B5
    {25, 16, 0x7C00, 0x03E0, 0x001F, 0x8000},                          // A1R5G5B5
    {26, 16, 0x0F00, 0x00F0, 0x000F, 0xF000},                          // A4R4G4B4
    {27, 8, 0xE0, 0x1C, 0x03, 0},                                      // R3G3B2
    {29, 16, 0xE0, 0x1C, 0x03, 0xFF00},                                // A8R3G3B2
    {30, 16, 0x0F00, 0x00F0, 0x000F, 0},                               // X4R4G4B4
    {31, 32, 0x000003FF, 0x000FFC00, 0x3FF00000, 0xC0000000},          // A2B10G10R10
    {32, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000},          // A8B8G8R8
    {33, 32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0},                   // X8B8G8R8
    {35, 32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000},          // A2R10G10B10
};

inline uint32_t FourCc(const char *code) {
    return Le32(reinterpret_cast<const uint8_t *>(code));
}

}  // namespace

int DecodeDds(StreamSource *source, StandardImage *image) {
    uint8_t magic[4], header[kDdsHeaderSize];
    if (!decode::ReadExact(source, magic, sizeof magic) || std::memcmp(magic, "DDS", 3) != 0) return -1;
    if (!decode::ReadExact(source, header, sizeof header)) return -1;
    const uint32_t flags = Le32(header + kOffFlags);
    const uint32_t height = Le32(header + kOffHeight);
    const uint32_t width = Le32(header + kOffWidth);
    const uint32_t pixelFlags = Le32(header + kOffPixelFlags);
    const uint32_t fourCc = Le32(header + kOffFourCc);
    const uint32_t caps = Le32(header + kOffCaps);
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return -1;

    StandardImage result{};
    uint32_t compression = kCompressionNone;
    int bitCount = 0;
    if (pixelFlags & kPixelFourCc) {
        if (fourCc >= FourCc("DXT1") && fourCc <= FourCc("DXT5") &&
            (fourCc & 0x00FFFFFF) == (FourCc("DXT1") & 0x00FFFFFF)) {
            compression = kCompressionDxt1 + (fourCc >> 24) - '1';
        } else {
            const NumberedFormat *found = nullptr;
            for (const NumberedFormat &f : kNumberedFormats) {
                if (f.code == fourCc) found = &f;
            }
            if (pixelFlags != kPixelFourCc || found == nullptr) return -1;
            bitCount = found->bits;
            CreateFormatFromMasks(&result.format, found->bits, found->red, found->green, found->blue,
                                  found->alpha);
        }
    } else {
        if ((pixelFlags & kPixelRgb) && !(pixelFlags & kPixelAlpha)) return -1;
        bitCount = static_cast<int>(Le32(header + kOffBitCount));
        if (bitCount != 8 && bitCount != 16 && bitCount != 24 && bitCount != 32) return -1;
        const uint8_t *masks = header + kOffMasks;
        CreateFormatFromMasks(&result.format, bitCount, Le32(masks), Le32(masks + 4), Le32(masks + 8),
                              Le32(masks + 12));
    }

    uint32_t mipLevels = 0;
    if ((flags & kFlagMipCount) && (caps & kCapsComplex) && (caps & kCapsMipMap)) {
        mipLevels = Le32(header + kOffMipCount);
        if (mipLevels > kMaxMipLevels) return -1;
    }

    // Each level: blocks of 4x4 pixels, a partial block at the right and bottom edges counting
    // whole (as the decompressor reads them), or rows of the pitch.
    uint64_t dataSize = 0;
    uint64_t pitch = 0;
    if (compression != kCompressionNone) {
        const uint64_t blockSize = compression == kCompressionDxt1 ? 8 : 16;
        dataSize = blockSize * ((uint64_t{width} + 3) / 4) * ((uint64_t{height} + 3) / 4);
        for (uint32_t level = 1; level < mipLevels; ++level) {
            const uint64_t w = width >> level ? width >> level : 1, h = height >> level ? height >> level : 1;
            dataSize += blockSize * ((w + 3) / 4) * ((h + 3) / 4);
        }
        CreateARGB8Format(&result.format);
        result.format.compression = compression;
        result.format.colorBitDepth = compression == kCompressionDxt1 ? 4 : 8;
    } else {
        const uint64_t rowBytes = uint64_t{width} * (bitCount / 8);
        pitch = (flags & kFlagPitch) ? Le32(header + kOffPitch) : rowBytes;
        if (pitch < rowBytes || pitch > INT32_MAX) return -1;
        dataSize = pitch * height;
        for (uint32_t level = 1; level < mipLevels; ++level) {
            const uint64_t w = width >> level ? width >> level : 1, h = height >> level ? height >> level : 1;
            dataSize += w * (bitCount / 8) * h;
            if (dataSize > kMaxDecodedBytes) return -1;
        }
    }
    // Checked against the file first: a memory stream reports a short read as one element.
    const int32_t fileSize = decode::StreamSize(source);
    if (dataSize == 0 || fileSize < 4 + kDdsHeaderSize ||
        dataSize > static_cast<uint64_t>(fileSize) - (4 + kDdsHeaderSize)) {
        return -1;
    }
    uint8_t *pixels = decode::AllocBlock(dataSize, false);
    if (pixels == nullptr) return -1;
    if (!decode::SeekTo(source, 4 + kDdsHeaderSize) ||
        source->ops.Read(pixels, dataSize, 1, source->data) == 0) {
        TrackedFree(pixels);
        return -1;
    }
    result.width = static_cast<int32_t>(width);
    result.height = static_cast<int32_t>(height);
    result.pitch = static_cast<int32_t>(pitch);
    result.pixels = pixels;
    result.mipLevels = static_cast<int32_t>(mipLevels);
    *image = result;
    return 0;
}

}  // namespace zq
