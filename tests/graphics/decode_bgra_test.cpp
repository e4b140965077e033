// Raw "BGRA" files: 8- and 16-bit channels, and refusal of bad headers and short data.
#include <gtest/gtest.h>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;
using zqtest::Put32;

Bytes MakeBgra(uint32_t marker, uint32_t width, uint32_t height, const Bytes &pixels) {
    Bytes b = {'B', 'G', 'R', 'A'};
    Put32(b, marker);
    Put32(b, width);
    Put32(b, height);
    b.insert(b.end(), pixels.begin(), pixels.end());
    return b;
}

TEST(DecodeBgra, EightAndSixteenBitChannelsGiveA8R8G8B8) {
    const Bytes eight = {1, 2, 3, 4, 5, 6, 7, 8};
    Bytes sixteen;
    for (uint8_t v : eight) {
        sixteen.push_back(0xCC);   // the low byte is dropped
        sixteen.push_back(v);
    }
    for (const Bytes &file : {MakeBgra(0x08080808, 1, 2, eight), MakeBgra(0x10101010, 1, 2, sixteen)}) {
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeBgra, file, &h.image), 0);
        EXPECT_EQ(h.image.width, 1);
        EXPECT_EQ(h.image.height, 2);
        EXPECT_EQ(h.image.pitch, 4);
        EXPECT_EQ(h.image.format.alphaMask, 0xFF000000u);
        EXPECT_EQ(Bytes(h.image.pixels, h.image.pixels + 8), eight);
    }
}

TEST(DecodeBgra, BadHeadersAndShortDataAreRefused) {
    const Bytes pixels(8, 1);
    Bytes wrongTag = MakeBgra(0x08080808, 1, 2, pixels);
    wrongTag[3] = 'X';
    struct Case {
        const char *name;
        Bytes file;
    } cases[] = {
        {"wrong tag", wrongTag},
        {"unknown marker", MakeBgra(0x08080810, 1, 2, pixels)},
        {"zero width", MakeBgra(0x08080808, 0, 2, pixels)},
        {"negative height", MakeBgra(0x08080808, 1, 0xFFFFFFFE, pixels)},
        {"pixels cut", MakeBgra(0x08080808, 1, 2, Bytes(7, 1))},
        {"16-bit pixels cut", MakeBgra(0x10101010, 1, 2, Bytes(15, 1))},
        {"size beyond the data", MakeBgra(0x08080808, 0x7FFFFFFF, 0x7FFFFFFF, pixels)},
        {"header cut", Bytes(wrongTag.begin(), wrongTag.begin() + 10)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zq::StandardImage image{};
        EXPECT_NE(zqtest::DecodeBytes(zq::DecodeBgra, c.file, &image), 0);
        EXPECT_EQ(image.pixels, nullptr);
    }
}

}  // namespace
