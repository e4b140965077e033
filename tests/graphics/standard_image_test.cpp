// Standard images: creation and release, clearing, mirroring, pixel access, blits, the scaled
// blit's two modes and the DIB form.
#include <gtest/gtest.h>

#include <random>

#include "graphics/pixel_test_support.h"
#include "graphics/standard_image.h"
#include "zqlib.h"

namespace {

using zq::StandardImage;

// An image that is released when the test ends.
struct Image : StandardImage {
    Image() : StandardImage{} {}
    ~Image() { zq::ReleaseImage(this); }
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;
};

void FillRandom(StandardImage &image, std::mt19937 &rng) {
    for (int i = 0; i < image.pitch * image.height; ++i) image.pixels[i] = static_cast<uint8_t>(rng());
}

uint32_t PixelAt(const StandardImage &image, int x, int y) {
    uint32_t v = 0;
    std::memcpy(&v, image.pixels + y * image.pitch + x * image.format.bytesPerPixel,
                image.format.bytesPerPixel);
    return v;
}

void MakeLike(const zq::PixelFormat &format, int w, int h, StandardImage *image) {
    StandardImage model{};
    model.format = format;
    ASSERT_EQ(zq::CreateImageLike(w, h, &model, image), 0);
}

TEST(StandardImage, CreatorsPadRowsToFourBytes) {
    const zq::PixelFormat formats[] = {zqtest::RandomPalette(1), zqtest::R5G6B5(),
                                       zqtest::R8G8B8(), zqtest::A8R8G8B8()};
    for (const auto &f : formats) {
        for (int w = 1; w <= 5; ++w) {
            Image image;
            MakeLike(f, w, 3, &image);
            EXPECT_EQ(image.pitch, (w * f.bytesPerPixel + 3) / 4 * 4);
            EXPECT_EQ(image.width, w);
            EXPECT_EQ(image.height, 3);
            EXPECT_EQ(std::memcmp(image.format.palette, f.palette, sizeof f.palette), 0);
        }
    }
    Image argb, xrgb;
    ASSERT_EQ(zq::CreateImageARGB8(3, 2, &argb), 0);
    EXPECT_EQ(argb.format.alphaMask, 0xFF000000u);
    EXPECT_EQ(argb.pitch, 12);
    ASSERT_EQ(zq::CreateImageXRGB8(3, 2, &xrgb), 0);
    EXPECT_EQ(xrgb.format.spareMask, 0xFF000000u);
}

TEST(StandardImage, CreatorsRefuseBadSizesAndLeaveNoPixels) {
    const int sizes[][2] = {{0, 4}, {4, 0}, {-1, 4}, {4, -3}, {0x7FFFFFFF, 2}, {70000, 70000}};
    for (const auto &s : sizes) {
        Image image;
        image.pixels = reinterpret_cast<uint8_t *>(1);  // must come back null
        EXPECT_EQ(zq::CreateImageARGB8(s[0], s[1], &image), -1);
        EXPECT_EQ(image.pixels, nullptr);
    }
    EXPECT_EQ(zq::CreateImageXRGB8(2, 2, nullptr), -1);
    Image image;
    EXPECT_EQ(zq::CreateImageLike(2, 2, nullptr, &image), -1);
    StandardImage compressed{};
    compressed.format.compression = zq::kCompressionDxt1;
    EXPECT_EQ(zq::CreateImageLike(4, 4, &compressed, &image), -1);
    EXPECT_EQ(image.pixels, nullptr);
}

TEST(StandardImage, ReleaseZeroesTheRecord) {
    StandardImage image{};
    ASSERT_EQ(zq::CreateImageARGB8(4, 4, &image), 0);
    zq::ReleaseImage(&image);
    const StandardImage zero{};
    EXPECT_EQ(std::memcmp(&image, &zero, sizeof image), 0);
    zq::ReleaseImage(&image);  // twice is harmless
    zq::ReleaseImage(nullptr);
}

TEST(StandardImage, ClearImageRectClearsTheClippedRectangle) {
    Image image;
    MakeLike(zqtest::R8G8B8(), 6, 5, &image);
    std::memset(image.pixels, 0xEE, image.pitch * image.height);
    EXPECT_EQ(zq::ClearImageRect(&image, 4, 3, 10, 10), 0);
    EXPECT_EQ(zq::ClearImageRect(&image, -2, -2, 3, 3), 0);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 6; ++x) {
            const bool cleared = (x >= 4 && y >= 3) || (x < 1 && y < 1);
            EXPECT_EQ(PixelAt(image, x, y), cleared ? 0u : 0xEEEEEEu) << x << "," << y;
        }
    EXPECT_EQ(image.pixels[image.pitch * 5 - 1], 0xEE);  // the row padding is left alone
    EXPECT_EQ(zq::ClearImageRect(nullptr, 0, 0, 1, 1), -1);
}

TEST(StandardImage, MirrorImageReversesRowsAndKeepsTheMiddlePixel) {
    std::mt19937 rng(3);
    const zq::PixelFormat formats[] = {zqtest::RandomPalette(1), zqtest::R5G6B5(),
                                       zqtest::R8G8B8(), zqtest::A8R8G8B8()};
    for (const auto &f : formats) {
        for (int w : {1, 3, 4}) {
            Image image, original;
            MakeLike(f, w, 2, &image);
            MakeLike(f, w, 2, &original);
            FillRandom(image, rng);
            std::memcpy(original.pixels, image.pixels, image.pitch * 2);
            ASSERT_EQ(zq::MirrorImage(&image), 0);
            for (int y = 0; y < 2; ++y)
                for (int x = 0; x < w; ++x)
                    EXPECT_EQ(PixelAt(image, x, y), PixelAt(original, w - 1 - x, y));
        }
    }
    StandardImage empty{};
    EXPECT_EQ(zq::MirrorImage(&empty), -1);
    EXPECT_EQ(zq::MirrorImage(nullptr), -1);
}

TEST(StandardImage, PixelAccessPacksUnpacksAndRefusesOutsideCoordinates) {
    Image rgb;
    MakeLike(zqtest::R8G8B8(), 3, 2, &rgb);
    ASSERT_EQ(zq::SetImagePixel(&rgb, 2, 1, 0x12, 0x34, 0x56, 0x78), 0);
    EXPECT_EQ(rgb.pixels[rgb.pitch + 6], 0x56);  // blue, green, red in memory
    EXPECT_EQ(rgb.pixels[rgb.pitch + 8], 0x12);
    int r = -1, g = -1, b = -1, a = -1;
    ASSERT_EQ(zq::GetImagePixel(&rgb, 2, 1, &r, &g, &b, &a), 0);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);
    EXPECT_EQ(a, 0);  // no alpha channel
    const int outside[][2] = {{3, 0}, {0, 2}, {-1, 0}, {0, -1}};
    for (const auto &p : outside) {
        EXPECT_EQ(zq::GetImagePixel(&rgb, p[0], p[1], &r, nullptr, nullptr, nullptr), -1);
        EXPECT_EQ(zq::SetImagePixel(&rgb, p[0], p[1], 1, 2, 3, 4), -1);
    }
    Image pal;
    zq::PixelFormat f = zqtest::RandomPalette(2);
    f.palette[9] = {30, 20, 10, 99};
    MakeLike(f, 2, 2, &pal);
    pal.pixels[1] = 9;
    ASSERT_EQ(zq::GetImagePixel(&pal, 1, 0, &r, &g, &b, &a), 0);
    EXPECT_EQ(r, 10);
    EXPECT_EQ(g, 20);
    EXPECT_EQ(b, 30);
    EXPECT_EQ(a, 99);
    ASSERT_EQ(zq::SetImagePixel(&pal, 0, 1, 10, 20, 30, 0), 0);
    EXPECT_EQ(pal.pixels[pal.pitch], 9);
    EXPECT_EQ(zq::GetImagePixel(nullptr, 0, 0, &r, &g, &b, &a), -1);
}

// ---- Half-size reduction ---------------------------------------------------------------------

TEST(StandardImage, HalfScaleBlitAveragesPerChannelAndTruncates) {
    const zq::PixelFormat f = zqtest::A8R8G8B8();
    uint32_t src[2][4] = {{0x01020304, 0x03040506, 0xFF000000, 0xFF000001},
                          {0x05060708, 0x07080909, 0xFF000002, 0xFF000002}};
    uint32_t dest[2] = {};
    ASSERT_EQ(zq::HalfScaleBlit(&f, dest, 8, src, 16, 0, 0, 0, 0, 4, 2), 0);
    // Sums >> 2: alpha 16 / 4, red 20 / 4, green 24 / 4, blue 27 / 4; then 0 + 1 + 2 + 2 >> 2.
    EXPECT_EQ(dest[0], 0x04050606u);
    EXPECT_EQ(dest[1], 0xFF000001u);
    uint32_t column[1] = {};
    ASSERT_EQ(zq::HalfScaleBlit(&f, column, 4, src, 16, 0, 0, 1, 0, 1, 2), 0);
    EXPECT_EQ(column[0], 0x0506'0707u);  // two pixels >> 1
    uint32_t one[1] = {};
    ASSERT_EQ(zq::HalfScaleBlit(&f, one, 4, src, 16, 0, 0, 2, 0, 1, 1), 0);
    EXPECT_EQ(one[0], 0xFF000000u);

    // Spare bits come out as 0; odd sizes and 24-bit formats are refused.
    const zq::PixelFormat x555 = zqtest::X1R5G5B5();
    uint16_t s16[2] = {0xFFFF, 0xFFFF};
    uint16_t d16[1] = {};
    ASSERT_EQ(zq::HalfScaleBlit(&x555, d16, 2, s16, 4, 0, 0, 0, 0, 2, 1), 0);
    EXPECT_EQ(d16[0], 0x7FFF);
    EXPECT_EQ(zq::HalfScaleBlit(&f, dest, 8, src, 16, 0, 0, 0, 0, 3, 2), -1);
    EXPECT_EQ(zq::HalfScaleBlit(&f, dest, 8, src, 16, 0, 0, 0, 0, 2, 0), -1);
    const zq::PixelFormat rgb = zqtest::R8G8B8();
    EXPECT_EQ(zq::HalfScaleBlit(&rgb, dest, 8, src, 16, 0, 0, 0, 0, 2, 2), -1);
    EXPECT_EQ(zq::HalfScaleBlit(nullptr, dest, 8, src, 16, 0, 0, 0, 0, 2, 2), -1);
}

// ---- Blits -----------------------------------------------------------------------------------

struct BlitCase {
    int sx, sy, w, h, dx, dy;
    // The expected copy: source origin, size and destination origin after clipping.
    int esx, esy, ew, eh, edx, edy;
};

TEST(StandardImage, BlitImageClipsAgainstBothImages) {
    const BlitCase cases[] = {
        {0, 0, 4, 3, 1, 1, 0, 0, 4, 3, 1, 1},
        {-5, 0, 8, 2, 0, 0, 0, 0, 3, 2, 5, 0},     // negative source x shifts the destination
        {0, -1, 3, 3, 0, 0, 0, 0, 3, 2, 0, 1},
        {1, 1, 4, 4, -2, -1, 3, 2, 2, 3, 0, 0},    // negative destination moves the source
        {6, 0, 8, 8, 0, 0, 6, 0, 2, 5, 0, 0},      // cut to the source
        {0, 0, 8, 8, 7, 4, 0, 0, 3, 2, 7, 4},      // cut to the destination
    };
    std::mt19937 rng(11);
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.sx << "," << c.sy << " " << c.w << "x" << c.h << " -> "
                                        << c.dx << "," << c.dy);
        Image src, dest;
        MakeLike(zqtest::R8G8B8(), 8, 5, &src);
        MakeLike(zqtest::X8R8G8B8(), 10, 6, &dest);
        FillRandom(src, rng);
        ASSERT_EQ(zq::BlitImage(c.sx, c.sy, c.w, c.h, c.dx, c.dy, &src, &dest), 0);
        for (int y = 0; y < 6; ++y)
            for (int x = 0; x < 10; ++x) {
                const bool inside = x >= c.edx && x < c.edx + c.ew && y >= c.edy && y < c.edy + c.eh;
                const uint32_t want =
                    inside ? PixelAt(src, c.esx + x - c.edx, c.esy + y - c.edy) | 0xFF000000 : 0;
                ASSERT_EQ(PixelAt(dest, x, y), want) << x << "," << y;
            }
    }
    Image src, dest;
    MakeLike(zqtest::R8G8B8(), 2, 2, &src);
    MakeLike(zqtest::R8G8B8(), 2, 2, &dest);
    EXPECT_EQ(zq::BlitImage(5, 5, 2, 2, 0, 0, &src, &dest), 0);  // nothing left to copy
    EXPECT_EQ(zq::BlitImage(0, 0, 2, 2, 0, 0, nullptr, &dest), -1);
}

TEST(StandardImage, BlitImageRemapsPalettes) {
    zq::PixelFormat from{}, to{};
    zq::CreatePaletteFormat(&from);
    zq::CreatePaletteFormat(&to);
    from.palette[1] = {0, 0, 255, 0};
    to.palette[7] = {0, 0, 255, 0};
    Image src, dest;
    MakeLike(from, 1, 1, &src);
    MakeLike(to, 1, 1, &dest);
    src.pixels[0] = 1;
    ASSERT_EQ(zq::BlitImage(0, 0, 1, 1, 0, 0, &src, &dest), 0);
    EXPECT_EQ(dest.pixels[0], 7);
}

TEST(StandardImage, ScaleBlitRefusesRectanglesOutsideTheImages) {
    Image src, dest;
    MakeLike(zqtest::R8G8B8(), 4, 4, &src);
    MakeLike(zqtest::R8G8B8(), 4, 4, &dest);
    const int bad[][4] = {{2, 0, 2, 4}, {3, 0, 1, 4}, {0, 0, 5, 4}, {-1, 0, 2, 2}, {0, 2, 4, 2}};
    for (const auto &r : bad) {
        EXPECT_EQ(zq::ScaleBlitImage(r[0], r[1], r[2], r[3], &src, 0, 0, 2, 2, &dest, false), -1);
        EXPECT_EQ(zq::ScaleBlitImage(0, 0, 2, 2, &src, r[0], r[1], r[2], r[3], &dest, true), -1);
    }
    EXPECT_EQ(zq::ScaleBlitImage(0, 0, 2, 2, nullptr, 0, 0, 2, 2, &dest, true), -1);
}

TEST(StandardImage, ScaleBlitOfEqualSizesIsBlitImage) {
    std::mt19937 rng(12);
    Image src, viaScale, viaBlit;
    MakeLike(zqtest::R5G6B5(), 6, 5, &src);
    MakeLike(zqtest::A8R8G8B8(), 7, 6, &viaScale);
    MakeLike(zqtest::A8R8G8B8(), 7, 6, &viaBlit);
    FillRandom(src, rng);
    ASSERT_EQ(zq::ScaleBlitImage(1, 1, 5, 4, &src, 2, 2, 6, 5, &viaScale, true), 0);
    ASSERT_EQ(zq::BlitImage(1, 1, 4, 3, 2, 2, &src, &viaBlit), 0);
    EXPECT_EQ(std::memcmp(viaScale.pixels, viaBlit.pixels, viaBlit.pitch * 6), 0);
}

struct Rgba {
    int r, g, b, a;
};

Rgba Read(StandardImage &image, int x, int y) {
    Rgba c{};
    zq::GetImagePixel(&image, x, y, &c.r, &c.g, &c.b, &c.a);
    return c;
}

TEST(StandardImage, ScaleBlitNearestAndBilinearFollowTheFixedPointSteps) {
    std::mt19937 rng(13);
    Image src;
    MakeLike(zqtest::A8R8G8B8(), 7, 5, &src);
    FillRandom(src, rng);
    const int sl = 1, st = 0, sr = 6, sb = 5, dl = 0, dt = 1, dr = 9, db = 4;
    for (bool bilinear : {false, true}) {
        SCOPED_TRACE(bilinear ? "bilinear" : "nearest");
        Image dest;
        MakeLike(zqtest::A8R8G8B8(), 10, 6, &dest);
        ASSERT_EQ(zq::ScaleBlitImage(sl, st, sr, sb, &src, dl, dt, dr, db, &dest, bilinear), 0);
        const int stepX = ((sr - sl) << 16) / (dr - dl), stepY = ((sb - st) << 16) / (db - dt);
        for (int j = 0; j < db - dt; ++j) {
            for (int i = 0; i < dr - dl; ++i) {
                const int x = (sl << 16) + i * stepX, y = (st << 16) + j * stepY;
                const int px = x >> 16, py = y >> 16;
                Rgba want = Read(src, px, py);
                if (bilinear) {
                    const int64_t fx = x & 0xFFFF, fy = y & 0xFFFF;
                    const int64_t w11 = (fy * fx) >> 16, w01 = ((0xFFFF - fx) * fy) >> 16;
                    const int64_t w10 = ((0xFFFF - fy) * fx) >> 16;
                    const int64_t w00 = ((0xFFFF - fy) * (0xFFFF - fx)) >> 16;
                    const int x1 = std::min(px + 1, 6), y1 = std::min(py + 1, 4);
                    const Rgba p11 = Read(src, x1, y1), p01 = Read(src, px, y1);
                    const Rgba p10 = Read(src, x1, py), p00 = Read(src, px, py);
                    auto mix = [&](int Rgba::*c) {
                        return static_cast<int>((w11 * (p11.*c) + w01 * (p01.*c) + w10 * (p10.*c) +
                                                 w00 * (p00.*c)) >> 16);
                    };
                    want = {mix(&Rgba::r), mix(&Rgba::g), mix(&Rgba::b), mix(&Rgba::a)};
                }
                const Rgba got = Read(dest, dl + i, dt + j);
                ASSERT_EQ(got.r, want.r) << i << "," << j;
                ASSERT_EQ(got.g, want.g);
                ASSERT_EQ(got.b, want.b);
                ASSERT_EQ(got.a, want.a);
            }
        }
        EXPECT_EQ(PixelAt(dest, 0, 0), 0u);  // outside the destination rectangle
    }
}

TEST(StandardImage, BilinearWeightsCountFullAsOneShortOf65536) {
    Image src, dest;
    MakeLike(zqtest::A8R8G8B8(), 2, 2, &src);
    MakeLike(zqtest::A8R8G8B8(), 3, 3, &dest);
    std::memset(src.pixels, 0xFF, src.pitch * 2);
    ASSERT_EQ(zq::ScaleBlitImage(0, 0, 2, 2, &src, 0, 0, 3, 3, &dest, true), 0);
    // At (0, 0) the fractions are 0, so only the top-left weight (0xFFFF * 0xFFFF) >> 16 counts.
    EXPECT_EQ(PixelAt(dest, 0, 0), 0xFEFEFEFEu);
}

// ---- The DIB form ----------------------------------------------------------------------------

TEST(StandardImage, PrepareDibHandsOutOwnRowsCopiesOrConverts) {
    std::mt19937 rng(14);
    zq::DibInfo info;
    void *rows = nullptr;

    Image rgb;
    MakeLike(zqtest::R8G8B8(), 5, 3, &rgb);
    FillRandom(rgb, rng);
    ASSERT_EQ(zq::PrepareDib(&rgb, &info, &rows, false, false), 0);
    EXPECT_EQ(rows, rgb.pixels);
    EXPECT_EQ(info.header.headerSize, 40u);
    EXPECT_EQ(info.header.width, 5);
    EXPECT_EQ(info.header.height, -3);
    EXPECT_EQ(info.header.planes, 1);
    EXPECT_EQ(info.header.bitCount, 24);

    ASSERT_EQ(zq::PrepareDib(&rgb, &info, &rows, true, false), 1);  // forced copy
    EXPECT_NE(rows, rgb.pixels);
    for (int y = 0; y < 3; ++y)
        EXPECT_EQ(std::memcmp(static_cast<uint8_t *>(rows) + y * 16, rgb.pixels + y * 16, 15), 0);
    TrackedFree(rows);

    // Rows with a wider pitch are copied at the DIB's pitch of 16.
    StandardImage wide = rgb;
    wide.pitch = 20;
    wide.height = 2;
    ASSERT_EQ(zq::PrepareDib(&wide, &info, &rows, false, false), 1);
    EXPECT_EQ(std::memcmp(static_cast<uint8_t *>(rows) + 16, rgb.pixels + 20, 15), 0);
    TrackedFree(rows);

    Image xrgb;
    MakeLike(zqtest::X8R8G8B8(), 3, 2, &xrgb);
    FillRandom(xrgb, rng);
    ASSERT_EQ(zq::PrepareDib(&xrgb, &info, &rows, false, false), 1);
    EXPECT_EQ(info.header.bitCount, 24);
    auto *bytes = static_cast<uint8_t *>(rows);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            for (int k = 0; k < 3; ++k)
                EXPECT_EQ(bytes[y * 12 + x * 3 + k], xrgb.pixels[y * xrgb.pitch + x * 4 + k]);
    TrackedFree(rows);

    Image pal;
    zq::PixelFormat f = zqtest::RandomPalette(15);
    MakeLike(f, 3, 2, &pal);
    pal.pixels[1] = 200;
    ASSERT_EQ(zq::PrepareDib(&pal, &info, &rows, false, false), 0);
    EXPECT_EQ(info.header.bitCount, 8);
    EXPECT_EQ(std::memcmp(info.palette, f.palette, sizeof info.palette), 0);
    ASSERT_EQ(zq::PrepareDib(&pal, &info, &rows, false, true), 1);
    EXPECT_EQ(info.header.bitCount, 24);
    EXPECT_EQ(static_cast<uint8_t *>(rows)[5], f.palette[200].red);
    TrackedFree(rows);

    EXPECT_EQ(zq::PrepareDib(nullptr, &info, &rows, false, false), -1);
    EXPECT_EQ(zq::PrepareDib(&rgb, nullptr, &rows, false, false), -1);
}

}  // namespace
