// Files written by other programs (ImageMagick and Pillow, data/make_thirdparty_fixtures.py)
// decode through the chain to the pixels Pillow reads from the same files: every BMP depth,
// RLE8, bit fields and top-down rows, TGA true colour and colour-mapped, raw and run-length,
// both row orders and the 2.0 footer, DDS block-compressed and uncompressed.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "decode_test_support.h"

namespace {

constexpr int kWidth = 13, kHeight = 7;

struct ThirdPartyCase {
    const char *file;
    int bytesPerPixel;  // of the decoded image before any decompression; 0 for block-compressed
    bool alpha;         // the decoded image keeps the file's alpha
    int tolerance;      // per channel: block decoders may round the interpolated colours apart
};

const ThirdPartyCase kCases[] = {
    {"bmp1.bmp", 3, false, 0},          {"pil_bmp1.bmp", 3, false, 0},
    {"bmp4.bmp", 1, false, 0},          {"bmp8.bmp", 1, false, 0},
    {"pil_bmp8.bmp", 1, false, 0},      {"bmp8_rle.bmp", 1, false, 0},
    {"bmp8_topdown.bmp", 1, false, 0},  {"bmp16_555.bmp", 3, false, 0},
    {"bmp16_565.bmp", 3, false, 0},     {"bmp24.bmp", 3, false, 0},
    {"pil_bmp24.bmp", 3, false, 0},     {"bmp24_topdown.bmp", 3, false, 0},
    {"bmp32_fields.bmp", 3, false, 0},  {"pil_bmp32.bmp", 3, false, 0},
    {"tga24.tga", 3, false, 0},         {"tga24_rle.tga", 3, false, 0},
    {"tga24_topdown.tga", 3, false, 0}, {"pil_tga24_rle_topdown.tga", 3, false, 0},
    {"tga32.tga", 4, true, 0},          {"tga32_rle.tga", 4, true, 0},
    {"pil_tga32.tga", 4, true, 0},      {"tga_map.tga", 3, false, 0},
    {"tga_map_rle.tga", 3, false, 0},   {"pil_tga_map_rle.tga", 3, false, 0},
    {"argb.dds", 4, true, 0},           {"dxt1.dds", 0, false, 2},
    {"dxt5.dds", 0, true, 2},
};

TEST(DecodeThirdParty, FilesOfOtherProgramsMatchTheirReferencePixels) {
    for (const ThirdPartyCase &c : kCases) {
        SCOPED_TRACE(c.file);
        const std::string base = zqtest::SourceDir() + "/tests/graphics/data/thirdparty/";
        const zqtest::Bytes bytes = zqtest::ReadFileBytes(base + c.file);
        std::string reference = c.file;
        reference = base + reference.substr(0, reference.rfind('.')) + ".rgba";
        const zqtest::Bytes expected = zqtest::ReadFileBytes(reference);
        ASSERT_FALSE(bytes.empty());
        ASSERT_EQ(expected.size(), size_t{kWidth} * kHeight * 4);

        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeImage, bytes, &h.image), 0);
        EXPECT_EQ(h.image.width, kWidth);
        EXPECT_EQ(h.image.height, kHeight);
        if (c.bytesPerPixel == 0) {
            EXPECT_NE(h.image.format.compression, 0u);
            ASSERT_EQ(zq::DecompressImage(&h.image), 0);
        } else {
            EXPECT_EQ(h.image.format.bytesPerPixel, c.bytesPerPixel);
        }
        int mismatches = 0;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                int rgba[4] = {};
                zq::GetImagePixel(&h.image, x, y, &rgba[0], &rgba[1], &rgba[2], &rgba[3]);
                const uint8_t *want = &expected[(size_t{static_cast<size_t>(y)} * kWidth + x) * 4];
                for (int channel = 0; channel < (c.alpha ? 4 : 3); ++channel) {
                    if (std::abs(rgba[channel] - want[channel]) > c.tolerance && ++mismatches <= 5) {
                        ADD_FAILURE() << "pixel " << x << "," << y << " channel " << channel << ": "
                                      << rgba[channel] << " instead of " << int{want[channel]};
                    }
                }
            }
        }
        EXPECT_EQ(mismatches, 0);
    }
}

}  // namespace
