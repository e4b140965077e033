// TGA decoding: true-color and color-mapped images, raw and run-length, orientations, the
// footer, and refusal of unsupported or damaged files.
#include <gtest/gtest.h>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;
using zqtest::Put16;

struct TgaSpec {
    int type;
    int width, height;
    int pixelDepth;
    int descriptor;
    Bytes pixels;
    int mapFirst = 0;
    int mapLength = 0;
    int mapEntryBits = 0;
    Bytes map = {};
    bool footer = false;
    int idLength = 0;
};

Bytes MakeTga(const TgaSpec &s) {
    Bytes b = {static_cast<uint8_t>(s.idLength), static_cast<uint8_t>(s.mapLength ? 1 : 0),
               static_cast<uint8_t>(s.type)};
    Put16(b, s.mapFirst);
    Put16(b, s.mapLength);
    b.push_back(static_cast<uint8_t>(s.mapEntryBits));
    Put16(b, 0);
    Put16(b, 0);
    Put16(b, s.width);
    Put16(b, s.height);
    b.push_back(static_cast<uint8_t>(s.pixelDepth));
    b.push_back(static_cast<uint8_t>(s.descriptor));
    b.insert(b.end(), s.idLength, 'i');
    b.insert(b.end(), s.map.begin(), s.map.end());
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    if (s.footer) {
        zqtest::Put32(b, 0);
        zqtest::Put32(b, 0);
        for (char c : std::string("TRUEVISION-XFILE.")) b.push_back(static_cast<uint8_t>(c));
        b.push_back(0);
    }
    return b;
}

Bytes Row(const zq::StandardImage &image, int y) {
    const uint8_t *p = image.pixels + y * image.pitch;
    return Bytes(p, p + image.pitch);
}

TEST(DecodeTga, OrientationBitsReorderRowsAndColumns) {
    // 2 x 2, 24-bit, stored pixels A B / C D.
    const Bytes stored = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    struct Case {
        int descriptor;
        Bytes top, bottom;
    } cases[] = {
        {0x00, {3, 3, 3, 4, 4, 4}, {1, 1, 1, 2, 2, 2}},   // bottom-up
        {0x20, {1, 1, 1, 2, 2, 2}, {3, 3, 3, 4, 4, 4}},   // top-down: order kept
        {0x30, {2, 2, 2, 1, 1, 1}, {4, 4, 4, 3, 3, 3}},   // top-down, right to left
        {0x10, {4, 4, 4, 3, 3, 3}, {2, 2, 2, 1, 1, 1}},   // bottom-up, right to left
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.descriptor);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({2, 2, 2, 24, c.descriptor, stored}), &h.image), 0);
        EXPECT_EQ(h.image.pitch, 6);
        EXPECT_EQ(h.image.format.redMask, 0xFF0000u);
        EXPECT_EQ(Row(h.image, 0), c.top);
        EXPECT_EQ(Row(h.image, 1), c.bottom);
    }
}

TEST(DecodeTga, PixelDepthsGiveTheirFormats) {
    struct Case {
        int depth;
        uint32_t redMask, alphaMask, spareMask;
    } cases[] = {{16, 0x7C00, 0, 0x8000}, {24, 0xFF0000, 0, 0}, {32, 0xFF0000, 0xFF000000, 0}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.depth);
        Bytes pixels(c.depth / 8 * 3, 0x5A);
        zqtest::ImageHolder h;
        // The image ID field is skipped.
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({2, 3, 1, c.depth, 0x20, pixels, 0, 0, 0, {}, false, 5}),
                                      &h.image), 0);
        EXPECT_EQ(h.image.format.bytesPerPixel, c.depth / 8);
        EXPECT_EQ(h.image.format.redMask, c.redMask);
        EXPECT_EQ(h.image.format.alphaMask, c.alphaMask);
        EXPECT_EQ(h.image.format.spareMask, c.spareMask);
        EXPECT_EQ(h.image.pitch, c.depth / 8 * 3);
        EXPECT_EQ(Row(h.image, 0), pixels);
    }
}

TEST(DecodeTga, RunLengthPacketsSpanRowsAndStopAtTheFooter) {
    // 3 x 2 top-down 24-bit: a run of 4 and a raw packet of 2.
    const Bytes rle = {0x83, 9, 8, 7, 0x01, 1, 2, 3, 4, 5, 6};
    for (bool footer : {false, true}) {
        SCOPED_TRACE(footer);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({10, 3, 2, 24, 0x20, rle, 0, 0, 0, {}, footer}), &h.image), 0);
        EXPECT_EQ(Row(h.image, 0), (Bytes{9, 8, 7, 9, 8, 7, 9, 8, 7}));
        EXPECT_EQ(Row(h.image, 1), (Bytes{9, 8, 7, 1, 2, 3, 4, 5, 6}));
    }
}

TEST(DecodeTga, ColorMappedImagesExpandIndicesThroughTheMap) {
    // 16-bit map of 3 entries starting at index 2; indices 0 and 1 have no entry (black).
    const Bytes map = {0x11, 0x11, 0x22, 0x22, 0x33, 0x33};
    const Bytes expected = {0x22, 0x22, 0x00, 0x00, 0x33, 0x33, 0x11, 0x11};
    zqtest::ImageHolder raw;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({1, 4, 1, 8, 0x20, {3, 0, 4, 2}, 2, 3, 16, map}), &raw.image), 0);
    EXPECT_EQ(raw.image.format.redMask, 0x7C00u);
    EXPECT_EQ(Row(raw.image, 0), expected);
    zqtest::ImageHolder rle;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({9, 4, 1, 8, 0x20, {0x00, 3, 0x00, 0, 0x81, 4}, 2, 3, 16, map}), &rle.image), 0);
    EXPECT_EQ(Row(rle.image, 0), (Bytes{0x22, 0x22, 0x00, 0x00, 0x33, 0x33, 0x33, 0x33}));
}

TEST(DecodeTga, MapEntriesPastIndex255AreDropped) {
    // Map of 4 entries from index 254: entries 256 and 257 have nowhere to go.
    const Bytes map = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({1, 2, 1, 8, 0x20, {254, 255}, 254, 4, 24, map}), &h.image), 0);
    EXPECT_EQ(Row(h.image, 0), (Bytes{1, 1, 1, 2, 2, 2}));
}

TEST(DecodeTga, TrueColorImagesSkipTheirColorMap) {
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeTga, MakeTga({2, 1, 1, 24, 0x20, {7, 8, 9}, 0, 2, 24, Bytes(6, 0xEE)}), &h.image), 0);
    EXPECT_EQ(Row(h.image, 0), (Bytes{7, 8, 9}));
}

TEST(DecodeTga, UnsupportedOrDamagedFilesAreRefused) {
    const TgaSpec good{2, 2, 2, 24, 0x20, Bytes(12, 1)};
    auto changed = [&](auto change) {
        TgaSpec s = good;
        change(s);
        return MakeTga(s);
    };
    Bytes origin = MakeTga(good);
    origin[8] = 1;
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"no image", changed([](TgaSpec &s) { s.type = 0; })},
        {"gray", changed([](TgaSpec &s) { s.type = 3; })},
        {"type 4", changed([](TgaSpec &s) { s.type = 4; })},
        {"run-length gray", changed([](TgaSpec &s) { s.type = 11; })},
        {"type 12", changed([](TgaSpec &s) { s.type = 12; })},
        {"x origin", origin},
        {"wider than 8192", changed([](TgaSpec &s) { s.width = 8193; })},
        {"zero height", changed([](TgaSpec &s) { s.height = 0; })},
        {"8-bit true color", changed([](TgaSpec &s) { s.pixelDepth = 8; })},
        {"15-bit true color", changed([](TgaSpec &s) { s.pixelDepth = 15; })},
        {"pixels cut", changed([](TgaSpec &s) { s.pixels.pop_back(); })},
        {"mapped without a map", changed([](TgaSpec &s) { s.type = 1; s.pixelDepth = 8; s.mapEntryBits = 24; })},
        {"mapped with 16-bit indices",
         changed([](TgaSpec &s) { s.type = 1; s.pixelDepth = 16; s.mapLength = 1; s.mapEntryBits = 24; s.map = {1, 2, 3}; })},
        {"map cut", changed([](TgaSpec &s) { s.type = 1; s.pixelDepth = 8; s.mapLength = 200; s.mapEntryBits = 24; s.pixels = {0, 0, 0, 0}; })},
        {"run data ends early", changed([](TgaSpec &s) { s.type = 10; s.pixels = {0x81, 1, 2, 3}; })},
        {"raw packet cut", changed([](TgaSpec &s) { s.type = 10; s.pixels = {0x03, 1, 2, 3, 4, 5}; })},
        {"header cut", Bytes(12, 0)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeTga, c.file, &image), 0);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

}  // namespace
