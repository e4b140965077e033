// BMP decoding: each stored kind against hand-built files, RLE escapes, the 24-bit conversion of
// the other kinds, and refusal of damaged files.
#include <gtest/gtest.h>

#include <climits>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;
using zqtest::Put16;
using zqtest::Put32;

struct BmpSpec {
    int32_t width;
    int32_t height;
    int bitCount;
    uint32_t compression;
    std::vector<uint32_t> palette;   // 0x00RRGGBB entries, written as blue, green, red, 0xEE
    std::vector<uint32_t> masks;     // red, green, blue for bit fields
    Bytes pixels;                    // the stored pixel data
};

Bytes MakeBmp(const BmpSpec &spec) {
    Bytes header;
    Put32(header, 40);
    Put32(header, static_cast<uint32_t>(spec.width));
    Put32(header, static_cast<uint32_t>(spec.height));
    Put16(header, 1);
    Put16(header, spec.bitCount);
    Put32(header, spec.compression);
    Put32(header, static_cast<uint32_t>(spec.pixels.size()));
    for (int i = 0; i < 4; ++i) Put32(header, 0);
    for (uint32_t m : spec.masks) Put32(header, m);
    for (uint32_t c : spec.palette) Put32(header, 0xEE000000u | c);
    Bytes file = {'B', 'M'};
    Put32(file, static_cast<uint32_t>(14 + header.size() + spec.pixels.size()));
    Put32(file, 0);
    Put32(file, static_cast<uint32_t>(14 + header.size()));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), spec.pixels.begin(), spec.pixels.end());
    return file;
}

std::vector<uint32_t> Ramp(int n) {
    std::vector<uint32_t> p;
    for (int i = 0; i < n; ++i) p.push_back(0x010203u * static_cast<uint32_t>(i + 1));
    return p;
}

int Index(zq::StandardImage &image, int x, int y) { return image.pixels[y * image.pitch + x]; }

TEST(DecodeBmp, BottomUp24BitRowsAreReorderedWithTheFileRowSize) {
    // 3 x 2: stored row 0 (bottom) then row 1 (top), 9 bytes + 3 padding each.
    Bytes pixels = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0, 0, 0, 11, 12, 13, 14, 15, 16, 17, 18, 19, 0, 0, 0};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({3, 2, 24, 0, {}, {}, pixels}), &h.image), 0);
    EXPECT_EQ(h.image.width, 3);
    EXPECT_EQ(h.image.height, 2);
    EXPECT_EQ(h.image.pitch, 12);
    EXPECT_EQ(h.image.format.bytesPerPixel, 3);
    EXPECT_EQ(h.image.format.redMask, 0xFF0000u);
    EXPECT_EQ(0, std::memcmp(h.image.pixels, pixels.data() + 12, 9));
    EXPECT_EQ(0, std::memcmp(h.image.pixels + 12, pixels.data(), 9));
    EXPECT_EQ(zqtest::Rgb(h.image, 0, 0), 0x0D0C0Bu);
}

TEST(DecodeBmp, TopDown8BitKeepsItsRowsAndGetsThePaletteWithZeroFourthBytes) {
    Bytes pixels = {0, 1, 2, 0, 3, 4, 5, 0};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({3, -2, 8, 0, Ramp(256), {}, pixels}), &h.image), 0);
    EXPECT_EQ(h.image.height, 2);
    EXPECT_EQ(h.image.pitch, 4);
    EXPECT_EQ(h.image.format.bytesPerPixel, 1);
    EXPECT_EQ(0, std::memcmp(h.image.pixels, pixels.data(), pixels.size()));
    EXPECT_EQ(h.image.format.palette[2].red, 3);
    EXPECT_EQ(h.image.format.palette[2].blue, 9);
    for (const zq::PaletteEntry &e : h.image.format.palette) EXPECT_EQ(e.alpha, 0);
}

TEST(DecodeBmp, PaletteFollowsALongerInfoHeader) {
    // A 124-byte info header: the palette starts after it, not after the first 40 bytes.
    Bytes file = MakeBmp({2, 1, 8, 0, Ramp(256), {}, {1, 2, 0, 0}});
    file.insert(file.begin() + 14 + 40, 84, 0x99);
    file[14] = 124;
    const uint32_t offset = 14 + 124 + 1024;
    for (int k = 0; k < 4; ++k) file[10 + k] = static_cast<uint8_t>(offset >> (8 * k));
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, file, &h.image), 0);
    EXPECT_EQ(zqtest::Rgb(h.image, 0, 0), 0x020406u);
    EXPECT_EQ(zqtest::Rgb(h.image, 1, 0), 0x030609u);
}

TEST(DecodeBmp, FourBitSplitsNibblesIntoBytesWithWidthRoundedPitch) {
    // 5 x 2 bottom-up; stored rows of 3 bytes padded to 4.
    Bytes pixels = {0x12, 0x34, 0x50, 0, 0xAB, 0xCD, 0xE0, 0};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({5, 2, 4, 0, Ramp(16), {}, pixels}), &h.image), 0);
    EXPECT_EQ(h.image.pitch, 8);
    const int top[] = {0xA, 0xB, 0xC, 0xD, 0xE}, bottom[] = {1, 2, 3, 4, 5};
    for (int x = 0; x < 5; ++x) {
        EXPECT_EQ(Index(h.image, x, 0), top[x]);
        EXPECT_EQ(Index(h.image, x, 1), bottom[x]);
    }
    EXPECT_EQ(h.image.format.palette[15].green, 32);
    EXPECT_EQ(h.image.format.palette[16].green, 0);   // entries past the 16 read are black
}

TEST(DecodeBmp, Rle8RunsLiteralsDeltaAndLineEnds) {
    // 8 x 3 bottom-up: stored row 0 is the bottom row.
    Bytes rle = {3, 7,              // x 0..2 = 7
                 0, 3, 9, 8, 7, 0,  // x 3..5 = 9 8 7, padded to 16 bits
                 0, 2, 1, 1,        // delta: x 6 -> 7, stored row 0 -> 1
                 1, 5,              // (7, row 1) = 5
                 0, 0,              // end of line: row 2
                 2, 6,              // (0..1, row 2) = 6
                 0, 1};             // end of bitmap
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({8, 3, 8, 1, Ramp(256), {}, rle}), &h.image), 0);
    EXPECT_EQ(h.image.pitch, 8);
    const int expected[3][8] = {{6, 6, 0, 0, 0, 0, 0, 0},    // top row = stored row 2
                                {0, 0, 0, 0, 0, 0, 0, 5},
                                {7, 7, 7, 9, 8, 7, 0, 0}};
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(Index(h.image, x, y), expected[y][x]) << x << "," << y;
}

TEST(DecodeBmp, Rle8DeltaMovesRightAndOneRowOn) {
    // Top-down 6 x 3: one pixel, the delta (3, 1), one pixel.
    Bytes rle = {1, 4, 0, 2, 3, 1, 1, 5, 0, 1};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({6, -3, 8, 1, Ramp(256), {}, rle}), &h.image), 0);
    EXPECT_EQ(Index(h.image, 0, 0), 4);
    EXPECT_EQ(Index(h.image, 4, 1), 5);
}

TEST(DecodeBmp, Rle4AlternatesNibblesInRunsAndLiterals) {
    // 9 x 1: run of 5 from 0x12, literal of 3 nibbles 0xAB 0xC0 (padded), run of 1.
    Bytes rle = {5, 0x12, 0, 3, 0xAB, 0xC0, 1, 0xD0, 0, 1};
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({9, 1, 4, 2, Ramp(16), {}, rle}), &h.image), 0);
    EXPECT_EQ(h.image.pitch, 12);
    const int expected[] = {1, 2, 1, 2, 1, 0xA, 0xB, 0xC, 0xD};
    for (int x = 0; x < 9; ++x) EXPECT_EQ(Index(h.image, x, 0), expected[x]);
    EXPECT_EQ(h.image.format.palette[16].red, 0);
}

TEST(DecodeBmp, RleRunsIntoTheRowPaddingAreDropped) {
    // 3 x 1 RLE8, pitch 4: a run of 4 fills the padding byte, which stays 0.
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp({3, 1, 8, 1, Ramp(256), {}, {4, 9, 0, 1}}), &h.image), 0);
    EXPECT_EQ(h.image.pixels[2], 9);
    EXPECT_EQ(h.image.pixels[3], 0);
}

struct ConvertCase {
    const char *name;
    BmpSpec spec;
    uint32_t expected[2][2];   // top row then bottom row, 0xRRGGBB
};

TEST(DecodeBmp, OtherKindsAreConvertedToTopDown24Bit) {
    const ConvertCase cases[] = {
        {"16-bit 5-5-5", {2, 2, 16, 0, {}, {}, {0x00, 0x7C, 0xE0, 0x03, 0x1F, 0x00, 0xFF, 0x7F}},
         {{0x0000FF, 0xFFFFFF}, {0xFF0000, 0x00FF00}}},
        {"16-bit fields 5-6-5", {2, 2, 16, 3, {}, {0xF800, 0x07E0, 0x001F}, {0x00, 0xF8, 0x20, 0x00, 0x01, 0x00, 0x00, 0x00}},
         {{0x000008, 0x000000}, {0xFF0000, 0x000400}}},
        {"32-bit", {2, 2, 32, 0, {}, {}, {1, 2, 3, 0xFF, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}},
         {{0x090807, 0x0C0B0A}, {0x030201, 0x060504}}},
        {"32-bit fields", {2, -2, 32, 3, {}, {0xFF, 0xFF00, 0xFF0000}, {1, 2, 3, 0, 4, 5, 6, 0, 7, 8, 9, 0, 10, 11, 12, 0}},
         {{0x010203, 0x040506}, {0x070809, 0x0A0B0C}}},
        {"1-bit", {2, 2, 1, 0, {0x112233, 0x445566}, {}, {0x40, 0, 0, 0, 0x80, 0, 0, 0}},
         {{0x445566, 0x112233}, {0x112233, 0x445566}}},
    };
    for (const ConvertCase &c : cases) {
        SCOPED_TRACE(c.name);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBmp, MakeBmp(c.spec), &h.image), 0);
        EXPECT_EQ(h.image.format.bytesPerPixel, 3);
        EXPECT_EQ(h.image.format.redMask, 0xFF0000u);
        EXPECT_EQ(h.image.pitch, 8);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x) EXPECT_EQ(zqtest::Rgb(h.image, x, y), c.expected[y][x]) << x << "," << y;
    }
}

TEST(DecodeBmp, DamagedFilesAreRefusedAndLeaveTheImageAlone) {
    const Bytes ok24 = MakeBmp({2, 2, 24, 0, {}, {}, Bytes(16, 1)});
    auto with = [&](size_t offset, std::initializer_list<int> bytes) {
        Bytes b = ok24;
        for (int v : bytes) b.at(offset++) = static_cast<uint8_t>(v);
        return b;
    };
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"not BM", with(0, {'B', 'A'})},
        {"header cut", Bytes(ok24.begin(), ok24.begin() + 40)},
        {"pixels cut", Bytes(ok24.begin(), ok24.end() - 1)},
        {"zero width", with(18, {0, 0, 0, 0})},
        {"negative width", with(18, {0xFF, 0xFF, 0xFF, 0xFF})},
        {"most negative height", with(22, {0, 0, 0, 0x80})},
        {"width times height overflows", with(18, {0xFF, 0xFF, 0xFF, 0x7F, 0xFF, 0xFF, 0xFF, 0x7F})},
        {"height beyond the data", with(22, {0, 0, 1, 0})},
        {"unknown compression", with(30, {7})},
        {"RLE8 with 24 bits", with(30, {1})},
        {"zero bit count", with(28, {0, 0})},
        {"data offset past the end", with(10, {0, 1, 0, 0})},
        {"RLE8 run past the row", MakeBmp({3, 1, 8, 1, Ramp(256), {}, {5, 1, 0, 1}})},
        {"RLE8 run past the last row", MakeBmp({4, 1, 8, 1, Ramp(256), {}, {0, 0, 1, 1, 0, 1}})},
        {"RLE8 delta then write outside", MakeBmp({4, 2, 8, 1, Ramp(256), {}, {0, 2, 0, 9, 1, 1}})},
        {"RLE8 literal cut", MakeBmp({8, 1, 8, 1, Ramp(256), {}, {0, 6, 1, 2}})},
        {"RLE8 delta cut", MakeBmp({8, 1, 8, 1, Ramp(256), {}, {0, 2, 1}})},
        {"RLE4 literal past the row", MakeBmp({3, 1, 4, 2, Ramp(16), {}, {0, 6, 0x11, 0x11, 0x11, 0}})},
        {"huge RLE8 image", MakeBmp({30000, 30000, 8, 1, Ramp(256), {}, {0, 1}})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image;
        std::memset(&image, 0xAB, sizeof image);
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeBmp, c.file, &image), 0);
        const uint8_t *raw = reinterpret_cast<const uint8_t *>(&image);
        EXPECT_TRUE(std::all_of(raw, raw + sizeof image, [](uint8_t v) { return v == 0xAB; }));
    }
}

}  // namespace
