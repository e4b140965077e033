// Block decompression: hand-made DXT1 to DXT5 blocks decode to known A8R8G8B8 values, edge
// blocks of sizes that are not multiples of 4 land in place, and refused input stays as it was.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/standard_image.h"
#include "zqlib.h"

namespace {

using zq::StandardImage;

// A compressed image whose pixels are a tracked copy of the given blocks.
StandardImage CompressedImage(uint32_t kind, int width, int height, const std::vector<uint8_t> &blocks) {
    StandardImage image{};
    image.format.compression = kind;
    image.format.colorBitDepth = kind == zq::kCompressionDxt1 ? 4 : 8;
    image.width = width;
    image.height = height;
    image.mipLevels = 1;
    image.pixels = static_cast<uint8_t *>(TrackedAlloc(static_cast<int>(blocks.size()), "", 0));
    std::memcpy(image.pixels, blocks.data(), blocks.size());
    return image;
}

uint32_t Texel(const StandardImage &image, int x, int y) {
    uint32_t v;
    std::memcpy(&v, image.pixels + y * image.pitch + x * 4, 4);
    return v;
}

// A color block: end points c0, c1 (5-6-5) and the four rows of 2-bit indices.
std::vector<uint8_t> ColorBlock(uint16_t c0, uint16_t c1, uint8_t r0, uint8_t r1, uint8_t r2, uint8_t r3) {
    return {static_cast<uint8_t>(c0), static_cast<uint8_t>(c0 >> 8), static_cast<uint8_t>(c1),
            static_cast<uint8_t>(c1 >> 8), r0, r1, r2, r3};
}

// Indices 0, 1, 2, 3 along the first row; the other rows repeat index 0.
constexpr uint8_t kRow0123 = 0b11100100;

TEST(Dxt, Dxt1FourColorBlockInterpolatesThirds) {
    // c0 = (31, 0, 0) -> 255, 0, 0; c1 = (0, 63, 10) -> 0, 255, 82.
    StandardImage image = CompressedImage(zq::kCompressionDxt1, 4, 4,
                                          ColorBlock(0xF800, 0x07EA, kRow0123, 0, 0, 0));
    ASSERT_EQ(zq::DecompressImage(&image), 0);
    EXPECT_EQ(image.format.compression, zq::kCompressionNone);
    EXPECT_EQ(image.format.alphaMask, 0xFF000000u);
    EXPECT_EQ(image.pitch, 16);
    EXPECT_EQ(image.mipLevels, 0);
    EXPECT_EQ(Texel(image, 0, 0), 0xFFFF0000u);
    EXPECT_EQ(Texel(image, 1, 0), 0xFF00FF52u);
    EXPECT_EQ(Texel(image, 2, 0), 0xFFAA551Bu);  // (2 * c0 + c1) / 3: 170, 85, 27
    EXPECT_EQ(Texel(image, 3, 0), 0xFF55AA36u);  // (c0 + 2 * c1) / 3: 85, 170, 54
    EXPECT_EQ(Texel(image, 3, 3), 0xFFFF0000u);
    zq::ReleaseImage(&image);
}

TEST(Dxt, Dxt1ThreeColorBlockHasAMiddleColorAndATransparentOne) {
    // c0 <= c1: color 2 = (c0 + c1) >> 1, color 3 = the same color with alpha 0.
    StandardImage image = CompressedImage(zq::kCompressionDxt1, 4, 4,
                                          ColorBlock(0x001F, 0xF800, kRow0123, 0, 0, 0));
    ASSERT_EQ(zq::DecompressImage(&image), 0);
    EXPECT_EQ(Texel(image, 0, 0), 0xFF0000FFu);
    EXPECT_EQ(Texel(image, 1, 0), 0xFFFF0000u);
    EXPECT_EQ(Texel(image, 2, 0), 0xFF7F007Fu);
    EXPECT_EQ(Texel(image, 3, 0), 0x007F007Fu);
    zq::ReleaseImage(&image);
}

TEST(Dxt, Dxt3ExplicitAlphaScalesNibblesBy17AndAlwaysUsesFourColors) {
    std::vector<uint8_t> block = {0x10, 0x32, 0, 0, 0, 0, 0, 0xF0};  // texels 0..3: 0, 1, 2, 3
    // Texel 15 is the high nibble of the last byte: 15.
    auto color = ColorBlock(0x001F, 0xF800, kRow0123, 0, 0, 0);  // c0 < c1, still four colors
    block.insert(block.end(), color.begin(), color.end());
    StandardImage image = CompressedImage(zq::kCompressionDxt3, 4, 4, block);
    ASSERT_EQ(zq::DecompressImage(&image), 0);
    EXPECT_EQ(Texel(image, 0, 0), 0x000000FFu);
    EXPECT_EQ(Texel(image, 1, 0), 0x11FF0000u);
    EXPECT_EQ(Texel(image, 2, 0), 0x225500AAu);  // (2 * c0 + c1) / 3
    EXPECT_EQ(Texel(image, 3, 0), 0x33AA0055u);
    EXPECT_EQ(Texel(image, 3, 3) >> 24, 0xFFu);
    zq::ReleaseImage(&image);
}

// An alpha block with end points a0, a1 and the 3-bit indices 0..7 on texels 0..7, 0 after that.
std::vector<uint8_t> AlphaBlock(uint8_t a0, uint8_t a1) {
    uint64_t bits = 0;
    for (int i = 0; i < 8; ++i) bits |= uint64_t(i) << (3 * i);
    std::vector<uint8_t> block = {a0, a1};
    for (int i = 0; i < 6; ++i) block.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    return block;
}

struct AlphaCase {
    uint8_t a0, a1;
    uint32_t values[8];
};

TEST(Dxt, Dxt5InterpolatedAlphaUsesSevenOrFiveSteps) {
    const AlphaCase cases[] = {
        // a0 > a1: (k * a0 + (7 - k) * a1) / 7 for k = 6..1.
        {200, 10, {200, 10, 172, 145, 118, 91, 64, 37}},
        // a0 <= a1: (k * a0 + (5 - k) * a1) / 5 for k = 4..1, then 0 and 255.
        {10, 200, {10, 200, 48, 86, 124, 162, 0, 255}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.a0));
        std::vector<uint8_t> block = AlphaBlock(c.a0, c.a1);
        auto color = ColorBlock(0xFFFF, 0xFFFF, 0, 0, 0, 0);
        block.insert(block.end(), color.begin(), color.end());
        StandardImage image = CompressedImage(zq::kCompressionDxt5, 4, 4, block);
        ASSERT_EQ(zq::DecompressImage(&image), 0);
        for (int i = 0; i < 8; ++i) {
            EXPECT_EQ(Texel(image, i % 4, i / 4) >> 24, c.values[i]) << "texel " << i;
            EXPECT_EQ(Texel(image, i % 4, i / 4) & 0xFFFFFF, 0xFFFFFFu);
        }
        zq::ReleaseImage(&image);
    }
}

TEST(Dxt, PremultipliedFormatsDivideTheColorBack) {
    // Color 0 = (131, 64, 0) from 5-6-5 (16, 16, 0); alpha 0x88 = 136 from the nibble 8.
    for (uint32_t kind : {zq::kCompressionDxt2, zq::kCompressionDxt4}) {
        SCOPED_TRACE(kind);
        std::vector<uint8_t> block =
            kind == zq::kCompressionDxt2 ? std::vector<uint8_t>{0x08, 0, 0, 0, 0, 0, 0, 0}
                                         : std::vector<uint8_t>{136, 0, 0, 0, 0, 0, 0, 0};
        // DXT4: texel 0 has index 0 (a0 = 136); the others also index 0.
        auto color = ColorBlock(0x8200, 0x0000, 0, 0, 0, 0);
        block.insert(block.end(), color.begin(), color.end());
        StandardImage image = CompressedImage(kind, 4, 4, block);
        ASSERT_EQ(zq::DecompressImage(&image), 0);
        // 131 * 255 / 136 = 245, 64 * 255 / 136 = 120.
        EXPECT_EQ(Texel(image, 0, 0), 0x88F57800u);
        zq::ReleaseImage(&image);
    }
}

TEST(Dxt, EdgeBlocksOfOddSizesAreCutToTheImage) {
    // 6 x 5 pixels: two blocks across and two down; each block a single color.
    const uint16_t colors[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    std::vector<uint8_t> blocks;
    for (uint16_t c : colors) {
        auto b = ColorBlock(c, c, 0, 0, 0, 0);
        blocks.insert(blocks.end(), b.begin(), b.end());
    }
    StandardImage image = CompressedImage(zq::kCompressionDxt1, 6, 5, blocks);
    ASSERT_EQ(zq::DecompressImage(&image), 0);
    EXPECT_EQ(image.pitch, 24);
    EXPECT_EQ(Texel(image, 3, 3), 0xFFFF0000u);
    EXPECT_EQ(Texel(image, 5, 0), 0xFF00FF00u);
    EXPECT_EQ(Texel(image, 0, 4), 0xFF0000FFu);
    EXPECT_EQ(Texel(image, 5, 4), 0xFFFFFFFFu);
    zq::ReleaseImage(&image);
}

TEST(Dxt, PixelAccessDecompressesFirst) {
    StandardImage image = CompressedImage(zq::kCompressionDxt1, 4, 4,
                                          ColorBlock(0xF800, 0xF800, 0, 0, 0, 0));
    int r = 0, g = -1, a = 0;
    ASSERT_EQ(zq::GetImagePixel(&image, 2, 2, &r, &g, nullptr, &a), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(a, 255);
    EXPECT_EQ(image.format.compression, zq::kCompressionNone);
    zq::ReleaseImage(&image);
}

TEST(Dxt, UnknownKindsAndEmptyImagesAreRefusedAndKept) {
    StandardImage image = CompressedImage(6, 4, 4, std::vector<uint8_t>(16, 0xAB));
    uint8_t *before = image.pixels;
    EXPECT_EQ(zq::DecompressImage(&image), -1);
    EXPECT_EQ(image.pixels, before);
    EXPECT_EQ(image.format.compression, 6u);
    int r;
    EXPECT_EQ(zq::GetImagePixel(&image, 0, 0, &r, nullptr, nullptr, nullptr), -1);
    image.format.compression = zq::kCompressionDxt1;
    image.width = 0;
    EXPECT_EQ(zq::DecompressImage(&image), -1);
    EXPECT_EQ(zq::DecompressImage(nullptr), -1);
    zq::ReleaseImage(&image);
    StandardImage plain{};
    EXPECT_EQ(zq::DecompressImage(&plain), 0);  // nothing to do
}

}  // namespace
