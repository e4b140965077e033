// Every picture of the game decodes through the decoder chain to the size, kind and pixels
// that an independent decoder (Pillow) reports for it.
#include <gtest/gtest.h>

#include "decode_test_support.h"

namespace {

struct Probe {
    int x, y;
    uint32_t rgb;
};

struct AssetCase {
    const char *file;
    int width, height, bytesPerPixel;
    Probe probes[6];
};

const AssetCase kAssets[] = {
    {"GO.bmp", 640, 480, 3, {{0, 0, 0x800412}, {639, 0, 0x800412}, {0, 479, 0x030103}, {320, 240, 0x1E0E22}, {639, 479, 0x221E2C}, {213, 120, 0x130916}}},
    {"gazumo.bmp", 300, 133, 3, {{0, 0, 0x00FF00}, {299, 0, 0x00FF00}, {0, 132, 0x00FF00}, {150, 66, 0xD0D4E4}, {299, 132, 0x00FF00}, {100, 33, 0x00FF00}}},
    {"gazumo2.bmp", 100, 133, 1, {{0, 0, 0x00FF00}, {99, 0, 0x00FF00}, {0, 132, 0x00FF00}, {50, 66, 0x00FF00}, {99, 132, 0x00FF00}, {33, 33, 0x3A1725}}},
    {"gazumo3.bmp", 100, 133, 1, {{0, 0, 0x00FF00}, {99, 0, 0x00FF00}, {0, 132, 0x00FF00}, {50, 66, 0x00FF00}, {99, 132, 0x00FF00}, {33, 33, 0x420614}}},
    {"he-2.bmp", 32, 41, 1, {{0, 0, 0x00FF00}, {31, 0, 0x00FF00}, {0, 40, 0x00FF00}, {16, 20, 0x00FF00}, {31, 40, 0x00FF00}, {10, 10, 0x00FF00}}},
    {"he.bmp", 32, 41, 3, {{0, 0, 0x00FF00}, {31, 0, 0x00FF00}, {0, 40, 0x00FF00}, {16, 20, 0x00FF00}, {31, 40, 0x00FF00}, {10, 10, 0xC4101C}}},
    {"he2-2.bmp", 75, 28, 3, {{0, 0, 0x00FF00}, {74, 0, 0x00FF00}, {0, 27, 0x00FF00}, {37, 14, 0x00FF00}, {74, 27, 0x00FF00}, {25, 7, 0x00FF00}}},
    {"he2.bmp", 75, 28, 1, {{0, 0, 0x00FF00}, {74, 0, 0x00FF00}, {0, 27, 0x00FF00}, {37, 14, 0x442635}, {74, 27, 0x00FF00}, {25, 7, 0x6F4A3F}}},
    {"he3-2.bmp", 42, 31, 1, {{0, 0, 0x00FF00}, {41, 0, 0x00FF00}, {0, 30, 0x00FF00}, {21, 15, 0x00FF00}, {41, 30, 0x00FF00}, {14, 7, 0x00FF00}}},
    {"he3.bmp", 42, 31, 3, {{0, 0, 0x00FF00}, {41, 0, 0x00FF00}, {0, 30, 0x00FF00}, {21, 15, 0xBCBAC4}, {41, 30, 0x00FF00}, {14, 7, 0x322A39}}},
    {"hikoki.bmp", 42, 31, 1, {{0, 0, 0x00FF00}, {41, 0, 0x00FF00}, {0, 30, 0x00FF00}, {21, 15, 0xBCBAC4}, {41, 30, 0x00FF00}, {14, 7, 0x261C2C}}},
    {"hito.bmp", 32, 41, 1, {{0, 0, 0x00FF00}, {31, 0, 0x00FF00}, {0, 40, 0x00FF00}, {16, 20, 0x4068D6}, {31, 40, 0x00FF00}, {10, 10, 0x261C2C}}},
    {"hito2.bmp", 32, 41, 1, {{0, 0, 0x00FF00}, {31, 0, 0x00FF00}, {0, 40, 0x00FF00}, {16, 20, 0x2C2F56}, {31, 40, 0x00FF00}, {10, 10, 0x261C2C}}},
    {"ikenie.png", 38, 35, 3, {{0, 0, 0x00FF00}, {37, 0, 0x00FF00}, {0, 34, 0x00FF00}, {19, 17, 0xFAF8EE}, {37, 34, 0x00FF00}, {12, 8, 0xE0DCD6}}},
    {"mahi.bmp", 640, 150, 3, {{0, 0, 0x0A0C22}, {639, 0, 0x0A0C22}, {0, 149, 0x5C5A64}, {320, 75, 0x403539}, {639, 149, 0x5C5A64}, {213, 37, 0x14112C}}},
    {"mahi2.bmp", 640, 480, 1, {{0, 0, 0x0A0C22}, {639, 0, 0x0A0C22}, {0, 479, 0x5A5460}, {320, 240, 0x32323D}, {639, 479, 0x544E5A}, {213, 120, 0x261A42}}},
    {"quluma.bmp", 75, 28, 3, {{0, 0, 0x00FF00}, {74, 0, 0x00FF00}, {0, 27, 0x00FF00}, {37, 14, 0x82282E}, {74, 27, 0x00FF00}, {25, 7, 0xD5ECFC}}},
};

TEST(DecodeAssets, GamePicturesMatchTheirExpectedPixels) {
    for (const AssetCase &c : kAssets) {
        SCOPED_TRACE(c.file);
        const zqtest::Bytes bytes = zqtest::ReadFileBytes(zqtest::SourceDir() + "/assets/GAZUMO/" + c.file);
        ASSERT_FALSE(bytes.empty());
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeImage, bytes, &h.image), 0);
        EXPECT_EQ(h.image.width, c.width);
        EXPECT_EQ(h.image.height, c.height);
        EXPECT_EQ(h.image.format.bytesPerPixel, c.bytesPerPixel);
        for (const Probe &p : c.probes) EXPECT_EQ(zqtest::Rgb(h.image, p.x, p.y), p.rgb) << p.x << "," << p.y;
    }
}

}  // namespace
