// The decoder chain: registered decoders come first, each decoder starts at position 0 with a
// zeroed image, the built-in decoders each recognise their own files, and unknown data fails.
#include <gtest/gtest.h>

#include <string>

#include "decode_test_support.h"

namespace {

using zqtest::Bytes;

std::string g_calls;

// Records its call, checks what the chain promised, and refuses.
int RefusingDecoder(zq::StreamSource *source, zq::StandardImage *image) {
    g_calls += "r";
    EXPECT_EQ(source->ops.Tell(source->data), 0);
    const uint8_t *raw = reinterpret_cast<const uint8_t *>(image);
    EXPECT_TRUE(std::all_of(raw, raw + sizeof *image, [](uint8_t v) { return v == 0; }));
    // Leaves the stream and the image disturbed for the next decoder.
    uint8_t byte;
    source->ops.Read(&byte, 1, 1, source->data);
    image->width = 99;
    return -1;
}

int AcceptingDecoder(zq::StreamSource *source, zq::StandardImage *image) {
    g_calls += "a";
    EXPECT_EQ(source->ops.Tell(source->data), 0);
    EXPECT_EQ(image->width, 0);
    image->width = 7;
    return 0;
}

struct DecoderTableGuard {
    DecoderTableGuard() {
        zq::ClearImageDecoders();
        g_calls.clear();
    }
    ~DecoderTableGuard() { zq::ClearImageDecoders(); }
};

TEST(DecodeImage, RegisteredDecodersRunFirstInOrder) {
    DecoderTableGuard guard;
    ASSERT_EQ(zq::RegisterImageDecoder(RefusingDecoder), 0);
    ASSERT_EQ(zq::RegisterImageDecoder(AcceptingDecoder), 0);
    zq::StandardImage image{};
    // A BMP signature: the registered decoder still wins.
    EXPECT_EQ(zqtest::DecodeBytes(zq::DecodeImage, Bytes{'B', 'M', 0, 0}, &image), 0);
    EXPECT_EQ(g_calls, "ra");
    EXPECT_EQ(image.width, 7);
}

TEST(DecodeImage, RegistrationStopsAtTenAndRefusesNull) {
    DecoderTableGuard guard;
    EXPECT_EQ(zq::RegisterImageDecoder(nullptr), -1);
    for (int i = 0; i < zq::kMaxUserDecoders; ++i) EXPECT_EQ(zq::RegisterImageDecoder(RefusingDecoder), 0);
    EXPECT_EQ(zq::RegisterImageDecoder(AcceptingDecoder), -1);
    zq::StandardImage image{};
    // Every registered decoder refuses, then every built-in one: -1 and a zeroed image.
    EXPECT_EQ(zqtest::DecodeBytes(zq::DecodeImage, Bytes(64, 0xEE), &image), -1);
    EXPECT_EQ(g_calls, std::string(10, 'r'));
    EXPECT_EQ(image.width, 0);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(DecodeImage, EachBuiltInFormatIsFoundByTheChain) {
    Bytes bgra = {'B', 'G', 'R', 'A', 8, 8, 8, 8, 1, 0, 0, 0, 1, 0, 0, 0, 1, 2, 3, 4};
    Bytes tga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0, 24, 0x20, 5, 6, 7};
    Bytes dds = {'D', 'D', 'S', ' '};
    dds.resize(4 + 124 + 16);
    dds[4 + 8] = 4, dds[4 + 12] = 4;            // 4 x 4
    dds[4 + 76] = 4;                            // four-character code
    std::memcpy(&dds[4 + 80], "DXT1", 4);
    struct Case {
        const char *name;
        Bytes file;
        int width;
    } cases[] = {
        {"BMP", zqtest::ReadFileBytes(zqtest::SourceDir() + "/assets/GAZUMO/he.bmp"), 32},
        {"JPEG", zqtest::Fixture("gray.jpg"), 16},
        {"PNG", zqtest::Fixture("rgb.png"), 4},
        {"BGRA", bgra, 1},
        {"TGA", tga, 1},
        {"DDS", dds, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zqtest::ImageHolder h;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeImage, c.file, &h.image), 0);
        EXPECT_EQ(h.image.width, c.width);
    }
}

}  // namespace
