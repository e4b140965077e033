// DDS decoding: block-compressed data with its mip chain, numbered and mask-described
// uncompressed formats, pitches, and refusal of unsupported or short files.
#include <gtest/gtest.h>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;
using zqtest::Put32;

struct DdsHeaderFields {
    uint32_t width, height;
    uint32_t pixelFlags;
    uint32_t fourCc;
    uint32_t bitCount = 0;
    uint32_t masks[4] = {};
    uint32_t flags = 0;
    uint32_t pitch = 0;
    uint32_t mipCount = 0;
    uint32_t caps = 0;
    size_t dataSize = 0;
};

uint32_t Code(const char *c) { return zq::decode::Le32(reinterpret_cast<const uint8_t *>(c)); }

// The header followed by dataSize bytes counting up from 0.
Bytes MakeDds(const DdsHeaderFields &s) {
    Bytes b = {'D', 'D', 'S', ' '};
    Put32(b, 124);
    Put32(b, s.flags);
    Put32(b, s.height);
    Put32(b, s.width);
    Put32(b, s.pitch);
    Put32(b, 0);
    Put32(b, s.mipCount);
    for (int i = 0; i < 11; ++i) Put32(b, 0);
    Put32(b, 32);
    Put32(b, s.pixelFlags);
    Put32(b, s.fourCc);
    Put32(b, s.bitCount);
    for (uint32_t m : s.masks) Put32(b, m);
    Put32(b, s.caps);
    for (int i = 0; i < 4; ++i) Put32(b, 0);
    for (size_t i = 0; i < s.dataSize; ++i) b.push_back(static_cast<uint8_t>(i));
    return b;
}

constexpr uint32_t kFourCc = 0x4, kMipFlags = 0x20000, kMipCaps = 0x8 | 0x400000;

TEST(DecodeDds, BlockCompressedDataIsKeptWithItsMipChain) {
    struct Case {
        const char *code;
        uint32_t width, height, mips;
        size_t size;
        uint32_t kind;
        int depth;
    } cases[] = {
        {"DXT1", 8, 8, 0, 32, zq::kCompressionDxt1, 4},
        {"DXT1", 8, 8, 4, 32 + 8 + 8 + 8, zq::kCompressionDxt1, 4},
        {"DXT3", 16, 8, 0, 128, zq::kCompressionDxt3, 8},
        {"DXT5", 8, 4, 2, 32 + 16, zq::kCompressionDxt5, 8},
        // Partial blocks at the edges are stored whole: 13 x 7 pixels are 4 x 2 blocks.
        {"DXT1", 13, 7, 0, 8 * 4 * 2, zq::kCompressionDxt1, 4},
        {"DXT5", 3, 2, 0, 16, zq::kCompressionDxt5, 8},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.code + std::to_string(c.mips));
        DdsHeaderFields header{c.width, c.height, kFourCc, Code(c.code)};
        if (c.mips) header.flags = kMipFlags, header.mipCount = c.mips, header.caps = kMipCaps;
        header.dataSize = c.size;
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeDds, MakeDds(header), &h.image), 0);
        EXPECT_EQ(h.image.format.compression, c.kind);
        EXPECT_EQ(h.image.format.colorBitDepth, c.depth);
        EXPECT_EQ(h.image.format.alphaMask, 0xFF000000u);
        EXPECT_EQ(h.image.pitch, 0);
        EXPECT_EQ(h.image.mipLevels, static_cast<int>(c.mips));
        EXPECT_EQ(h.image.pixels[c.size - 1], static_cast<uint8_t>(c.size - 1));
        // One byte fewer than the chain needs is refused.
        header.dataSize = c.size - 1;
        zq::StandardImage shortImage{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeDds, MakeDds(header), &shortImage), 0);
    }
}

TEST(DecodeDds, MipCountNeedsBothItsFlagAndTheCaps) {
    DdsHeaderFields header{8, 8, kFourCc, Code("DXT1")};
    header.flags = kMipFlags, header.mipCount = 4, header.caps = 0x400000, header.dataSize = 32;
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeDds, MakeDds(header), &h.image), 0);
    EXPECT_EQ(h.image.mipLevels, 0);
}

TEST(DecodeDds, UncompressedFormatsFromNumbersOrMasks) {
    DdsHeaderFields numbered{3, 2, kFourCc, 23};   // R5G6B5
    numbered.dataSize = 12;
    zqtest::ImageHolder a;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeDds, MakeDds(numbered), &a.image), 0);
    EXPECT_EQ(a.image.format.bytesPerPixel, 2);
    EXPECT_EQ(a.image.format.redMask, 0xF800u);
    EXPECT_EQ(a.image.pitch, 6);
    EXPECT_EQ(a.image.mipLevels, 0);

    // RGB with alpha pixels, a header pitch wider than the rows, and a mip chain of 2.
    DdsHeaderFields masked{2, 2, 0x41, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
    masked.flags = 0x8 | kMipFlags, masked.pitch = 12, masked.mipCount = 2, masked.caps = kMipCaps;
    masked.dataSize = 12 * 2 + 4;
    zqtest::ImageHolder b;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeDds, MakeDds(masked), &b.image), 0);
    EXPECT_EQ(b.image.pitch, 12);
    EXPECT_EQ(b.image.mipLevels, 2);
    EXPECT_EQ(b.image.format.alphaMask, 0xFF000000u);
    EXPECT_EQ(b.image.pixels[27], 27);
}

TEST(DecodeDds, UnsupportedOrShortFilesAreRefused) {
    DdsHeaderFields rgbOnly{2, 2, 0x40, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0}};
    rgbOnly.dataSize = 16;
    DdsHeaderFields unknownCode{4, 4, kFourCc, Code("ATI2")};
    unknownCode.dataSize = 16;
    DdsHeaderFields numberedWithRgbFlag{2, 2, kFourCc | 0x40, 21};
    numberedWithRgbFlag.dataSize = 16;
    DdsHeaderFields excludedNumber{2, 2, kFourCc, 28};   // an 8-bit alpha-only format
    excludedNumber.dataSize = 4;
    DdsHeaderFields oddBits{2, 2, 0x41, 0, 12, {0xF00, 0xF0, 0xF, 0}};
    oddBits.dataSize = 8;
    DdsHeaderFields narrowPitch{4, 2, 0x41, 0, 32, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}};
    narrowPitch.flags = 0x8, narrowPitch.pitch = 8, narrowPitch.dataSize = 32;
    DdsHeaderFields huge{0x7FFFFFFF, 0x7FFFFFFF, kFourCc, Code("DXT5")};
    huge.dataSize = 64;
    Bytes notDds = MakeDds(unknownCode);
    notDds[2] = 'X';
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"RGB flag without alpha pixels", MakeDds(rgbOnly)},
        {"unknown four-character code", MakeDds(unknownCode)},
        {"numbered format with other flags", MakeDds(numberedWithRgbFlag)},
        {"numbered format not in the list", MakeDds(excludedNumber)},
        {"12-bit pixels", MakeDds(oddBits)},
        {"pitch narrower than a row", MakeDds(narrowPitch)},
        {"size beyond the data", MakeDds(huge)},
        {"wrong magic", notDds},
        {"header cut", Bytes(notDds.begin(), notDds.begin() + 60)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeDds, c.file, &image), 0);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

}  // namespace
