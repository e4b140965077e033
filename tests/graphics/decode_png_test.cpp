// PNG decoding through libpng: the format each color type yields (fixtures written by
// data/make_decode_fixtures.py, pixel (x, y) = red 60x, green 100y, blue 200 - 40x), and refusal
// of cut, corrupt and oversized files.
#include <gtest/gtest.h>

#include <functional>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;

uint32_t FixtureRgb(int x, int y) {
    return static_cast<uint32_t>((60 * x) << 16 | (100 * y) << 8 | (200 - 40 * x));
}

uint32_t Pixel(const zq::StandardImage &image, int x, int y) {
    const uint8_t *p = image.pixels + y * image.pitch + x * image.format.bytesPerPixel;
    uint32_t v = 0;
    for (int i = image.format.bytesPerPixel - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

struct PngCase {
    const char *file;
    int bytesPerPixel;
    int pitch;
    uint32_t redMask, alphaMask, spareMask;
    std::function<uint32_t(int, int)> pixel;   // raw stored value at (x, y)
};

TEST(DecodePng, EachColorTypeGivesItsFormat) {
    auto gray = [](int x, int y) { return static_cast<uint32_t>(20 * (x + 4 * y)); };
    const PngCase cases[] = {
        {"rgb.png", 3, 12, 0xFF0000, 0, 0, FixtureRgb},
        {"rgba.png", 4, 16, 0xFF0000, 0xFF000000, 0,
         [](int x, int y) { return FixtureRgb(x, y) | static_cast<uint32_t>(20 * (x + 4 * y)) << 24; }},
        {"gray.png", 1, 4, 0xFF0000, 0, 0xFF000000, gray},
        {"gray1.png", 1, 4, 0xFF0000, 0, 0xFF000000, [](int x, int y) { return (x + y) % 2 ? 255u : 0u; }},
        {"gray16.png", 1, 4, 0xFF0000, 0, 0xFF000000, [](int x, int y) { return 10u * (x + 4 * y); }},
        {"gray_alpha.png", 2, 8, 0x00FF, 0, 0xFF00,
         [&](int x, int y) { return gray(x, y) | static_cast<uint32_t>(255 - x) << 8; }},
        {"palette.png", 1, 4, 0xFF0000, 0, 0xFF000000, [](int x, int y) { return (x + y) % 5u; }},
        {"palette_trns.png", 4, 16, 0xFF0000, 0xFF000000, 0,
         [](int x, int y) {
             const uint32_t i = (x + y) % 5u;
             return (i == 1 ? 0u : 0xFF000000u) | (10 + i) << 16 | (20 + i) << 8 | (30 + i);
         }},
    };
    for (const PngCase &c : cases) {
        SCOPED_TRACE(c.file);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodePng, zqtest::Fixture(c.file), &h.image), 0);
        EXPECT_EQ(h.image.width, 4);
        EXPECT_EQ(h.image.height, 3);
        EXPECT_EQ(h.image.pitch, c.pitch);
        EXPECT_EQ(h.image.format.bytesPerPixel, c.bytesPerPixel);
        EXPECT_EQ(h.image.format.redMask, c.redMask);
        EXPECT_EQ(h.image.format.alphaMask, c.alphaMask);
        EXPECT_EQ(h.image.format.spareMask, c.spareMask);
        EXPECT_EQ(h.image.mipLevels, 0);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 4; ++x) EXPECT_EQ(Pixel(h.image, x, y), c.pixel(x, y)) << x << "," << y;
    }
}

TEST(DecodePng, PaletteEntriesPastThePlteAreBlack) {
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodePng, zqtest::Fixture("palette.png"), &h.image), 0);
    const zq::PaletteEntry &e = h.image.format.palette[15];
    EXPECT_EQ(e.red, 25);
    EXPECT_EQ(e.green, 35);
    EXPECT_EQ(e.blue, 45);
    EXPECT_EQ(e.alpha, 0);
    for (int i = 16; i < zq::kPaletteSize; ++i) EXPECT_EQ(std::memcmp(&h.image.format.palette[i], "\0\0\0\0", 4), 0);
}

uint32_t Crc32(const uint8_t *data, size_t size) {
    uint32_t crc = 0xFFFFFFFF;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

// rgb.png with its header's width and height replaced (and the header's CRC fixed).
Bytes WithSize(uint32_t width, uint32_t height) {
    Bytes b = zqtest::Fixture("rgb.png");
    const uint32_t values[] = {width, height};
    for (int i = 0; i < 2; ++i)
        for (int k = 0; k < 4; ++k) b.at(16 + 4 * i + k) = static_cast<uint8_t>(values[i] >> (24 - 8 * k));
    const uint32_t crc = Crc32(b.data() + 12, 17);
    for (int k = 0; k < 4; ++k) b.at(29 + k) = static_cast<uint8_t>(crc >> (24 - 8 * k));
    return b;
}

TEST(DecodePng, DamagedFilesAreRefused) {
    const Bytes good = zqtest::Fixture("rgb.png");
    ASSERT_GT(good.size(), 60u);
    Bytes badCrc = good;
    badCrc[45] ^= 0x40;   // inside the image data
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"signature only", Bytes(good.begin(), good.begin() + 8)},
        {"header cut", Bytes(good.begin(), good.begin() + 20)},
        {"image data cut", Bytes(good.begin(), good.begin() + 50)},
        {"image data damaged", badCrc},
        {"size over the library limit", WithSize(2147483647, 2147483647)},
        {"pixels over our limit", WithSize(1000000, 1000000)},
        {"zero width", WithSize(0, 3)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodePng, c.file, &image), 0);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

}  // namespace
