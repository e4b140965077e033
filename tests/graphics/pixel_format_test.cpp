// Pixel formats: the standard creators, formats from masks, the spare bits, MakeColor and
// SplitColor on both screen depths, and packing and unpacking colors in any format.
#include <gtest/gtest.h>

#include <random>

#include "graphics/pixel_format.h"
#include "graphics/pixel_test_support.h"
#include "zqlib.h"

namespace {

using zq::PixelFormat;

struct CreatorCase {
    const char *name;
    int (*create)(PixelFormat *);
    int depth, bytes;
    uint32_t red, green, blue, alpha, spare;
};

TEST(PixelFormat, StandardCreatorsFillTheirFieldsAndKeepThePalette) {
    const CreatorCase cases[] = {
        {"palette", zq::CreatePaletteFormat, 8, 1, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000},
        {"gray", zq::CreateGrayFormat, 8, 1, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000},
        {"full color", zq::CreateFullColorFormat, 24, 3, 0xFF0000, 0xFF00, 0xFF, 0, 0},
        {"XRGB8", zq::CreateXRGB8Format, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0, 0xFF000000},
        {"ARGB8", zq::CreateARGB8Format, 32, 4, 0xFF0000, 0xFF00, 0xFF, 0xFF000000, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        PixelFormat f;
        std::memset(&f, 0xA5, sizeof f);
        ASSERT_EQ(c.create(&f), 0);
        EXPECT_EQ(f.colorBitDepth, c.depth);
        EXPECT_EQ(f.bytesPerPixel, c.bytes);
        EXPECT_EQ(f.redMask, c.red);
        EXPECT_EQ(f.greenMask, c.green);
        EXPECT_EQ(f.blueMask, c.blue);
        EXPECT_EQ(f.alphaMask, c.alpha);
        EXPECT_EQ(f.spareMask, c.spare);
        EXPECT_EQ(f.redWidth, 8);
        EXPECT_EQ(f.redShift, 16);
        EXPECT_EQ(f.greenShift, 8);
        EXPECT_EQ(f.blueShift, 0);
        EXPECT_EQ(f.alphaWidth, c.alpha ? 8 : 0);
        EXPECT_EQ(f.alphaShift, c.alpha ? 24 : 0);
        EXPECT_EQ(f.compression, zq::kCompressionNone);
        if (c.create != zq::CreateGrayFormat) {
            EXPECT_EQ(f.palette[7].red, 0xA5);
        }
        EXPECT_EQ(c.create(nullptr), -1);
    }
    PixelFormat x{};
    zq::CreateXRGB8Format(&x);
    EXPECT_EQ(x.spareShift, 24);
    EXPECT_EQ(x.spareWidth, 8);
}

TEST(PixelFormat, GrayFormatFillsAGrayRamp) {
    PixelFormat f{};
    zq::CreateGrayFormat(&f);
    for (int i = 0; i < zq::kPaletteSize; ++i) {
        EXPECT_EQ(f.palette[i].blue, i);
        EXPECT_EQ(f.palette[i].green, i);
        EXPECT_EQ(f.palette[i].red, i);
        EXPECT_EQ(f.palette[i].alpha, 0);
    }
}

struct MaskCase {
    int depth;
    uint32_t r, g, b, a;
    int rWidth, rShift, gWidth, gShift, aWidth, aShift;
    uint32_t spare;
    int spareShift, spareWidth;
};

TEST(PixelFormat, FormatFromMasksMeasuresChannelsAndSpareBits) {
    const MaskCase cases[] = {
        {16, 0xF800, 0x07E0, 0x001F, 0, 5, 11, 6, 5, 0, 0, 0, 0, 0},
        {16, 0x7C00, 0x03E0, 0x001F, 0, 5, 10, 5, 5, 0, 0, 0x8000, 15, 1},
        {16, 0x0F00, 0x00F0, 0x000F, 0xF000, 4, 8, 4, 4, 4, 12, 0, 0, 0},
        {32, 0xFF0000, 0xFF00, 0xFF, 0, 8, 16, 8, 8, 0, 0, 0xFF000000, 24, 8},
        {32, 0x3FF00000, 0xFFC00, 0x3FF, 0, 10, 20, 10, 10, 0, 0, 0xC0000000, 30, 2},
        {24, 0xFF0000, 0xFF00, 0xFF, 0, 8, 16, 8, 8, 0, 0, 0, 0, 0},
        {8, 0xE0, 0x1C, 0x03, 0, 3, 5, 3, 2, 0, 0, 0, 0, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.depth << " bits, red " << std::hex << c.r);
        PixelFormat f{};
        ASSERT_EQ(zq::CreateFormatFromMasks(&f, c.depth, c.r, c.g, c.b, c.a), 0);
        EXPECT_EQ(f.bytesPerPixel, c.depth / 8);
        EXPECT_EQ(f.redWidth, c.rWidth);
        EXPECT_EQ(f.redShift, c.rShift);
        EXPECT_EQ(f.greenWidth, c.gWidth);
        EXPECT_EQ(f.greenShift, c.gShift);
        EXPECT_EQ(f.alphaWidth, c.aWidth);
        EXPECT_EQ(f.alphaShift, c.aShift);
        EXPECT_EQ(f.spareMask, c.spare);
        EXPECT_EQ(f.spareShift, c.spareShift);
        EXPECT_EQ(f.spareWidth, c.spareWidth);
    }
    PixelFormat f{};
    EXPECT_EQ(zq::CreateFormatFromMasks(&f, 12, 0xF00, 0xF0, 0xF, 0), -1);
    EXPECT_EQ(zq::CreateFormatFromMasks(&f, 0, 0, 0, 0, 0), -1);
    EXPECT_EQ(zq::CreateFormatFromMasks(nullptr, 16, 0xF800, 0x7E0, 0x1F, 0), -1);
}

TEST(PixelFormat, RecomputeSpareMaskClearsItWhenTheWidthsFillTheDepth) {
    PixelFormat f = zqtest::X1R5G5B5();
    ASSERT_EQ(f.spareMask, 0x8000u);
    f.alphaMask = 0x8000;
    f.alphaWidth = 1;
    f.alphaShift = 15;
    zq::RecomputeSpareMask(&f);
    EXPECT_EQ(f.spareMask, 0u);
    PixelFormat x = zqtest::X8R8G8B8();
    x.spareMask = 0;
    zq::RecomputeSpareMask(&x);
    EXPECT_EQ(x.spareMask, 0xFF000000u);
}

// The screen format follows the requested depth until a screen sets its own.
class MakeColorTest : public testing::Test {
protected:
    void TearDown() override {
        zq::SetScreenPixelFormat(nullptr);
        SetScreenMode(640, 480, 16, 0);
    }
};

TEST_F(MakeColorTest, PacksForA16BitScreenByDefault) {
    EXPECT_EQ(MakeColor(255, 255, 255), 0xFFFFu);
    EXPECT_EQ(MakeColor(0, 255, 0), 0x07E0u);
    EXPECT_EQ(MakeColor(7, 3, 7), 0u);
    EXPECT_EQ(MakeColor(255, 0, 0), 0xF800u);
    EXPECT_EQ(MakeColor(0x1FF, 0x100, 0x100), 0xF800u);  // only the low 8 bits count
}

TEST_F(MakeColorTest, PacksForA32BitScreenWithTheTopByteSet) {
    ASSERT_EQ(SetScreenMode(640, 480, 32, 0), 0);
    EXPECT_EQ(MakeColor(255, 255, 255), 0xFFFFFFFFu);
    EXPECT_EQ(MakeColor(0, 255, 0), 0xFF00FF00u);
    EXPECT_EQ(MakeColor(1, 2, 3), 0xFF010203u);
}

TEST_F(MakeColorTest, FollowsTheFormatTheScreenSets) {
    ASSERT_EQ(SetScreenMode(640, 480, 16, 0), 0);
    PixelFormat x = zqtest::X8R8G8B8();
    zq::SetScreenPixelFormat(&x);
    EXPECT_EQ(MakeColor(0, 255, 0), 0xFF00FF00u);
    zq::SetScreenPixelFormat(nullptr);
    EXPECT_EQ(MakeColor(0, 255, 0), 0x07E0u);
}

TEST_F(MakeColorTest, SplitColorScalesEveryChannelTo8Bits) {
    int r = -1, g = -1, b = -1;
    EXPECT_EQ(SplitColor(0xF800, &r, &g, &b), 0);
    EXPECT_EQ(r, 255);
    EXPECT_EQ(g, 0);
    EXPECT_EQ(b, 0);
    SplitColor(0x0020, &r, &g, &b);
    EXPECT_EQ(g, 4);
    SplitColor(0x0842, &r, &g, &b);  // r5 = 1, g6 = 2, b5 = 2
    EXPECT_EQ(r, 8);
    EXPECT_EQ(g, 8);
    EXPECT_EQ(b, 16);
    EXPECT_EQ(SplitColor(0xFFFF, nullptr, nullptr, nullptr), 0);
    SetScreenMode(640, 480, 32, 0);
    SplitColor(0xFF102030, &r, &g, &b);
    EXPECT_EQ(r, 0x10);
    EXPECT_EQ(g, 0x20);
    EXPECT_EQ(b, 0x30);
}

TEST(PixelFormat, MakeColorFFillsAndReturnsTheRecord) {
    ColorF c{};
    ColorF v = MakeColorF(&c, 0.25f, 0.5f, 0.75f, 1.0f);
    EXPECT_EQ(c.red, 0.25f);
    EXPECT_EQ(c.alpha, 1.0f);
    EXPECT_EQ(v.blue, 0.75f);
    EXPECT_EQ(MakeColorF(nullptr, 1, 2, 3, 4).green, 2.0f);
}

TEST(PixelFormat, PackColorOnAPaletteTakesTheNearestLowestIndex) {
    PixelFormat f{};
    zq::CreatePaletteFormat(&f);
    for (auto &e : f.palette) e = {200, 200, 200, 0};
    f.palette[3] = {30, 20, 10, 0};
    f.palette[9] = {30, 20, 10, 0};
    EXPECT_EQ(zq::PackColor(&f, 10, 20, 30, 0), 3u);
    f.palette[5] = {31, 20, 10, 0};
    EXPECT_EQ(zq::PackColor(&f, 10, 20, 32, 0), 5u);  // distance 1 beats 4
    f.palette[0] = {0, 0, 0, 0};
    EXPECT_EQ(zq::PackColor(&f, 0, 0, 0, 0xFF), 0u);  // alpha is ignored
}

// The packing rule written out per channel: (v >> (8 - width)) << shift, plus the spare bits.
uint32_t ReferencePack(const PixelFormat &f, int r, int g, int b, int a) {
    auto part = [](int v, int width, int shift) -> uint32_t {
        return width == 0 ? 0 : static_cast<uint32_t>((v & 0xFF) >> (8 - width)) << shift;
    };
    return part(r, f.redWidth, f.redShift) + part(g, f.greenWidth, f.greenShift) +
           part(b, f.blueWidth, f.blueShift) + part(a, f.alphaWidth, f.alphaShift) + f.spareMask;
}

int ReferenceUnpack(uint32_t pixel, uint32_t mask, int shift, int width) {
    return width == 0 ? 0 : static_cast<int>(((pixel & mask) >> shift) * 255 / ((1u << width) - 1));
}

TEST(PixelFormat, PackAndUnpackFollowTheChannelRulesInEveryPlainFormat) {
    const PixelFormat formats[] = {zqtest::R5G6B5(),   zqtest::X1R5G5B5(), zqtest::A1R5G5B5(),
                                   zqtest::A4R4G4B4(), zqtest::R8G8B8(),   zqtest::X8R8G8B8(),
                                   zqtest::A8R8G8B8(), zqtest::A8B8G8R8(), zqtest::R3G3B2()};
    std::mt19937 rng(1234);
    for (const auto &f : formats) {
        SCOPED_TRACE(testing::Message() << "red mask " << std::hex << f.redMask << " alpha "
                                        << f.alphaMask);
        for (int i = 0; i < 500; ++i) {
            int r = rng() & 0x1FF, g = rng() & 0x1FF, b = rng() & 0x1FF, a = rng() & 0x1FF;
            ASSERT_EQ(zq::PackColor(&f, r, g, b, a), ReferencePack(f, r, g, b, a));
            uint32_t pixel = rng();
            int ur = -1, ug = -1, ub = -1, ua = -1;
            ASSERT_EQ(zq::UnpackColor(&f, pixel, &ur, &ug, &ub, &ua), 0);
            EXPECT_EQ(ur, ReferenceUnpack(pixel, f.redMask, f.redShift, f.redWidth));
            EXPECT_EQ(ug, ReferenceUnpack(pixel, f.greenMask, f.greenShift, f.greenWidth));
            EXPECT_EQ(ub, ReferenceUnpack(pixel, f.blueMask, f.blueShift, f.blueWidth));
            EXPECT_EQ(ua, ReferenceUnpack(pixel, f.alphaMask, f.alphaShift, f.alphaWidth));
        }
    }
    PixelFormat f = zqtest::R5G6B5();
    EXPECT_EQ(zq::UnpackColor(&f, 0xFFFF, nullptr, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(zq::UnpackColor(nullptr, 0, nullptr, nullptr, nullptr, nullptr), -1);
}

TEST(PixelFormat, OneByteFormatsWithMasksInsideTheByteAreNotPalettes) {
    EXPECT_TRUE(zq::IsPaletteFormat(zqtest::RandomPalette(1)));
    EXPECT_FALSE(zq::IsPaletteFormat(zqtest::R3G3B2()));
    EXPECT_FALSE(zq::IsPaletteFormat(zqtest::FormatFromMasks(8, 0xFF, 0xFF, 0xFF, 0xFF)));
    EXPECT_FALSE(zq::IsPaletteFormat(zqtest::R5G6B5()));
}

}  // namespace
