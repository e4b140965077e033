// JPEG decoding through libjpeg: color and gray files (flat fixtures from
// data/make_decode_fixtures.py), and refusal of four-component, cut and damaged files.
#include <gtest/gtest.h>

#include <cstdlib>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;

TEST(DecodeJpeg, ColorFilesGiveBlueFirstR8G8B8) {
    for (const char *file : {"rgb.jpg", "rgb_progressive.jpg"}) {
        SCOPED_TRACE(file);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeJpeg, zqtest::Fixture(file), &h.image), 0);
        EXPECT_EQ(h.image.width, 16);
        EXPECT_EQ(h.image.height, 16);
        EXPECT_EQ(h.image.pitch, 48);
        EXPECT_EQ(h.image.format.bytesPerPixel, 3);
        EXPECT_EQ(h.image.format.redMask, 0xFF0000u);
        for (int i = 0; i < 16 * 16; ++i) {
            const uint8_t *p = h.image.pixels + i * 3;
            ASSERT_LE(std::abs(p[0] - 90), 4) << i;
            ASSERT_LE(std::abs(p[1] - 40), 4) << i;
            ASSERT_LE(std::abs(p[2] - 200), 4) << i;
        }
    }
}

TEST(DecodeJpeg, OneComponentGivesGray) {
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeJpeg, zqtest::Fixture("gray.jpg"), &h.image), 0);
    EXPECT_EQ(h.image.width, 16);
    EXPECT_EQ(h.image.height, 8);
    EXPECT_EQ(h.image.pitch, 16);
    EXPECT_EQ(h.image.format.bytesPerPixel, 1);
    EXPECT_EQ(h.image.format.palette[77].red, 77);
    for (int i = 0; i < 16 * 8; ++i) ASSERT_LE(std::abs(h.image.pixels[i] - 77), 2) << i;
}

TEST(DecodeJpeg, FileCutInsideTheScanStillDecodes) {
    // The source ends the data with an end-of-image marker, as libjpeg's own source does.
    Bytes cut = zqtest::Fixture("rgb.jpg");
    size_t scan = 0;
    while (scan + 1 < cut.size() && !(cut[scan] == 0xFF && cut[scan + 1] == 0xDA)) ++scan;
    ASSERT_LT(scan + 20, cut.size());
    cut.resize(scan + 18);
    zqtest::ImageHolder h;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeJpeg, cut, &h.image), 0);
    EXPECT_EQ(h.image.width, 16);
}

TEST(DecodeJpeg, UnusableFilesAreRefused) {
    const Bytes good = zqtest::Fixture("rgb.jpg");
    Bytes garbage = {0xFF, 0xD8};
    for (int i = 0; i < 300; ++i) garbage.push_back(static_cast<uint8_t>(i * 37 + 11));
    Bytes badFrame = good;
    // Zero the height and width of the frame header.
    for (size_t i = 0; i + 9 < badFrame.size(); ++i) {
        if (badFrame[i] == 0xFF && badFrame[i + 1] == 0xC0) {
            std::fill(badFrame.begin() + i + 5, badFrame.begin() + i + 9, 0);
            break;
        }
    }
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"four components", zqtest::Fixture("cmyk.jpg")},
        {"start marker only", Bytes(good.begin(), good.begin() + 2)},
        {"header cut", Bytes(good.begin(), good.begin() + 30)},
        {"garbage after the start marker", garbage},
        {"empty frame", badFrame},
        {"not a JPEG", zqtest::Fixture("rgb.png")},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeJpeg, c.file, &image), 0);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

}  // namespace
