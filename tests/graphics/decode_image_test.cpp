// The decoder chain: registered decoders come first, each decoder starts at position 0 with a
// zeroed image, the built-in decoders each recognise their own files, and unknown data fails.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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

namespace {

// A 3 x 1 24-bit BMP whose pixels are (1,2,3) (4,5,6) (7,8,9), blue first.
Bytes SmallBmp(uint8_t first = 1) {
    Bytes b = {'B', 'M', 70, 0, 0, 0, 0, 0, 0, 0, 54, 0, 0, 0, 40, 0, 0, 0, 3, 0, 0, 0, 1, 0, 0, 0, 1, 0, 24, 0};
    b.resize(54);
    for (int i = 0; i < 9; ++i) b.push_back(static_cast<uint8_t>(first + i));
    b.resize(66);
    return b;
}

void WriteFile(const std::string &path, const Bytes &bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

TEST(LoadImage, ReadsFilesAndMemoryBlocks) {
    const Bytes bmp = SmallBmp();
    WriteFile("small.bmp", bmp);
    WriteFile("garbage.bmp", Bytes(100, 0x33));
    zqtest::ImageHolder fromFile, fromMemory;
    ASSERT_EQ(zq::LoadImage("small.bmp", nullptr, 0, 0, 0, &fromFile.image), 0);
    ASSERT_EQ(zq::LoadImage(nullptr, bmp.data(), static_cast<int>(bmp.size()), 1, 0, &fromMemory.image), 0);
    EXPECT_EQ(Bytes(fromFile.image.pixels, fromFile.image.pixels + 9), Bytes(bmp.begin() + 54, bmp.begin() + 63));
    EXPECT_EQ(Bytes(fromMemory.image.pixels, fromMemory.image.pixels + 9), Bytes(bmp.begin() + 54, bmp.begin() + 63));

    zq::StandardImage image{};
    EXPECT_EQ(zq::LoadImage("missing.bmp", nullptr, 0, 0, 0, &image), -1);
    EXPECT_EQ(zq::LoadImage("garbage.bmp", nullptr, 0, 0, 0, &image), -1);
    EXPECT_EQ(zq::LoadImage(nullptr, bmp.data(), 20, 1, 0, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

// Bottom-up rows are read into place by chunks from a file and row by row from a memory block:
// large and small pictures, BMP and TGA, come out the same from a file, a memory block and a
// plain stream, and top-down rows as stored.
TEST(LoadImage, BottomUpRowsAreTheSameFromFilesAndMemory) {
    const Bytes go = zqtest::ReadFileBytes(zqtest::SourceDir() + "/assets/GAZUMO/GO.bmp");
    zqtest::ImageHolder reference;
    ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeImage, go, &reference.image), 0);
    // The same pixels as a bottom-up TGA and as a top-down one.
    auto tga = [&](bool topDown) {
        const zq::StandardImage &r = reference.image;
        Bytes file = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        zqtest::Put16(file, static_cast<uint32_t>(r.width));
        zqtest::Put16(file, static_cast<uint32_t>(r.height));
        zqtest::PutBytes(file, {24, topDown ? 0x20 : 0});
        for (int i = 0; i < r.height; ++i) {
            const uint8_t *row = r.pixels + (topDown ? i : r.height - 1 - i) * r.pitch;
            file.insert(file.end(), row, row + r.width * 3);
        }
        return file;
    };
    const struct {
        const char *name;
        Bytes file;
    } cases[] = {
        {"GO.bmp", go},
        {"mahi2.bmp", zqtest::ReadFileBytes(zqtest::SourceDir() + "/assets/GAZUMO/mahi2.bmp")},
        {"he.bmp", zqtest::ReadFileBytes(zqtest::SourceDir() + "/assets/GAZUMO/he.bmp")},
        {"bottom-up.tga", tga(false)},
        {"top-down.tga", tga(true)},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_FALSE(c.file.empty());
        WriteFile("rows.bin", c.file);
        zqtest::ImageHolder fromStream, fromFile, fromMemory;
        ASSERT_EQ(zqtest::DecodeBytes(zq::DecodeImage, c.file, &fromStream.image), 0);
        ASSERT_EQ(zq::LoadImage("rows.bin", nullptr, 0, 0, 0, &fromFile.image), 0);
        ASSERT_EQ(zq::LoadImage(nullptr, c.file.data(), static_cast<int>(c.file.size()), 1, 0, &fromMemory.image), 0);
        const size_t size = size_t(fromStream.image.pitch) * fromStream.image.height;
        const Bytes expected(fromStream.image.pixels, fromStream.image.pixels + size);
        for (const zq::StandardImage *image : {&fromFile.image, &fromMemory.image}) {
            ASSERT_EQ(size_t(image->pitch) * image->height, size);
            EXPECT_EQ(Bytes(image->pixels, image->pixels + size), expected);
        }
        if (std::string(c.name).find(".tga") != std::string::npos) {
            EXPECT_EQ(Bytes(reference.image.pixels, reference.image.pixels + size), expected);
        }
    }
}

TEST(LoadImage, MirrorFlagReversesRowsAndDecompressesBlocks) {
    const Bytes bmp = SmallBmp();
    zqtest::ImageHolder h;
    ASSERT_EQ(zq::LoadImage(nullptr, bmp.data(), static_cast<int>(bmp.size()), 1, 1, &h.image), 0);
    EXPECT_EQ(Bytes(h.image.pixels, h.image.pixels + 9), (Bytes{7, 8, 9, 4, 5, 6, 1, 2, 3}));

    // A 4 x 4 DXT1 block: color 0 white, color 1 black, the left column color 0, the rest color 1.
    Bytes dds = {'D', 'D', 'S', ' '};
    dds.resize(4 + 124);
    dds[4 + 8] = 4, dds[4 + 12] = 4, dds[4 + 76] = 4;
    std::memcpy(&dds[4 + 80], "DXT1", 4);
    for (int v : {0xFF, 0xFF, 0x00, 0x00, 0x54, 0x54, 0x54, 0x54}) dds.push_back(static_cast<uint8_t>(v));
    zqtest::ImageHolder d;
    ASSERT_EQ(zq::LoadImage(nullptr, dds.data(), static_cast<int>(dds.size()), 1, 1, &d.image), 0);
    EXPECT_EQ(d.image.format.compression, zq::kCompressionNone);
    for (int y = 0; y < 4; ++y) {
        EXPECT_EQ(zqtest::Rgb(d.image, 0, y), 0x000000u);
        EXPECT_EQ(zqtest::Rgb(d.image, 3, y), 0xFFFFFFu);
    }
}

TEST(LoadImageWithAlpha, CompanionFileAndMemoryBlock) {
    const Bytes main = SmallBmp(1), alpha = SmallBmp(100);
    WriteFile("pair.bmp", main);
    WriteFile("pair_a.bmp", alpha);
    WriteFile("lone.bmp", main);
    WriteFile("badalpha.bmp", main);
    WriteFile("badalpha_a.bmp", Bytes(80, 0x77));
    std::filesystem::create_directories("dir.v2");
    WriteFile("dir.v2/noext", main);
    WriteFile("dir.v2/noext_a", alpha);
    const std::string gazumo = zqtest::SourceDir() + "/assets/GAZUMO/gazumo.bmp";

    struct Case {
        const char *name;
        const char *path;
        int alphaMode;
        const Bytes *alphaBlock;
        int expected;
    } cases[] = {
        {"companion file", "pair.bmp", 0, nullptr, 0},
        {"no companion file", "lone.bmp", 0, nullptr, 1},
        {"game picture without companion", gazumo.c_str(), 0, nullptr, 1},
        {"undecodable companion", "badalpha.bmp", 0, nullptr, 1},
        {"dot only in the directory", "dir.v2/noext", 0, nullptr, 0},
        {"memory block", "lone.bmp", 1, &alpha, 0},
        {"no memory block", "lone.bmp", 1, nullptr, 1},
        {"other mode", "pair.bmp", 2, nullptr, 1},
        {"main image missing", "absent.bmp", 0, nullptr, -1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        zqtest::ImageHolder image, alphaImage;
        alphaImage.image.width = 55;
        const int result = zq::LoadImageWithAlpha(
            c.path, nullptr, 0, 0, c.alphaBlock ? c.alphaBlock->data() : nullptr,
            c.alphaBlock ? static_cast<int>(c.alphaBlock->size()) : 0, c.alphaMode, &image.image, &alphaImage.image, 0);
        EXPECT_EQ(result, c.expected);
        if (result == 0) {
            EXPECT_EQ(alphaImage.image.pixels[0], 100);
        } else if (result == 1) {
            EXPECT_EQ(alphaImage.image.pixels, nullptr);
            EXPECT_EQ(alphaImage.image.width, 0);
        }
    }
}

}  // namespace
