// Software images: layouts and pitches, sub-images sharing one store, release by reference count,
// fills, copies, loading from standard images with palettes, and the skip table and premultiplied
// copy that only a whole-image load builds.
#include <gtest/gtest.h>

#include <cstring>

#include "graphics/blend_tables.h"
#include "graphics/kernels.h"
#include "graphics/memimg.h"
#include "zqlib.h"

namespace zq {
namespace {

uint32_t Read(const MEMIMG &m, int x, int y) {
    int bytes = MemImgBytesPerPixel(*m.base);
    uint32_t v = 0;
    std::memcpy(&v, m.pixels + y * m.base->pitch + x * bytes, bytes);
    return v;
}

void SetPixel32(StandardImage &image, int x, int y, uint32_t v) {
    std::memcpy(image.pixels + y * image.pitch + x * 4, &v, 4);
}

struct Layout {
    int colorType, palette, alpha;
    int bytes, pitchFor5;
};

TEST(MemImg, LayoutsGiveBytesPerPixelAndSixteenBytePitches) {
    const Layout layouts[] = {
        {MEMIMG_RGB16, 0, 0, 2, 16}, {MEMIMG_RGB16, 0, 1, 4, 32}, {MEMIMG_RGB16, 1, 1, 1, 16},
        {MEMIMG_RGB32, 0, 0, 4, 32}, {MEMIMG_RGB32, 0, 1, 4, 32}, {MEMIMG_GRAY8, 1, 1, 1, 16},
        {MEMIMG_GRAY16, 0, 1, 2, 16},
    };
    for (const Layout &l : layouts) {
        MEMIMG m{};
        ASSERT_EQ(0, CreateMemImg(&m, 5, 3, -1, 0, l.colorType, l.palette, l.alpha, 1, nullptr));
        EXPECT_EQ(l.bytes, MemImgBytesPerPixel(*m.base)) << l.colorType;
        EXPECT_EQ(l.pitchFor5, m.base->pitch);
        EXPECT_EQ(0, m.base->hasAlpha && (l.palette || l.colorType >= MEMIMG_GRAY8));
        EXPECT_EQ(l.colorType == MEMIMG_GRAY8, m.base->skipTable == nullptr);
        EXPECT_EQ(m.base->hasAlpha != 0, m.base->premulBuffer != nullptr);
        // The power of two above the unpadded line (5 bytes: 8) is not the 16-byte pitch.
        EXPECT_EQ(l.bytes == 1 ? -1 : (m.base->pitch == 16 ? 4 : 5), m.base->pitchShift);
        ReleaseMemImg(&m);
    }
}

TEST(MemImg, FormatsAreSharedAndFollowTheLayouts) {
    const PixelFormat *f = MemImgPixelFormat(MEMIMG_RGB16, true, false);
    EXPECT_EQ(f, MemImgPixelFormat(MEMIMG_RGB16, true, false));
    EXPECT_EQ(32, f->colorBitDepth);
    EXPECT_EQ(0xFF0000u, f->alphaMask);
    EXPECT_EQ(0xF800u, f->redMask);
    EXPECT_EQ(0xFF000000u, MemImgPixelFormat(MEMIMG_RGB32, true, true)->alphaMask);
    EXPECT_EQ(8, MemImgPixelFormat(MEMIMG_GRAY8, false, false)->redWidth);
    EXPECT_EQ(nullptr, MemImgPixelFormat(7, false, false));
}

TEST(MemImg, CreationRefusesAValidRecordAndUnusableArguments) {
    MEMIMG m{};
    ASSERT_EQ(0, CreateMemImg(&m, 4, 4, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, CreateMemImg(&m, 4, 4, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    ReleaseMemImg(&m);
    EXPECT_EQ(0, MemImgIsValid(&m));
    EXPECT_EQ(-1, CreateMemImg(&m, 4, 4, 8, 0, MEMIMG_RGB32, 0, 0, 0, nullptr)) << "pitch shorter than a line";
    EXPECT_EQ(-1, CreateMemImg(&m, -1, 4, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    EXPECT_EQ(0, MemImgIsValid(&m));
}

TEST(MemImg, UserBufferIsUsedAndNotFreed) {
    uint8_t buffer[64] = {};
    MEMIMG m{};
    ASSERT_EQ(0, CreateMemImg(&m, 4, 4, 16, 0, MEMIMG_RGB32, 0, 0, 0, buffer));
    EXPECT_EQ(buffer, m.pixels);
    EXPECT_EQ(4, m.base->pitchShift);
    FillMemImg(&m, nullptr, 0x01020304);
    ReleaseMemImg(&m);
    EXPECT_EQ(4, buffer[63 - 3]);
}

TEST(MemImg, SubImagesShareTheStoreUntilTheLastRelease) {
    MEMIMG whole{}, edge{}, tooWide{};
    ASSERT_EQ(0, CreateMemImg(&whole, 8, 4, -1, 0, MEMIMG_RGB16, 0, 1, 1, nullptr));
    FillMemImg(&whole, nullptr, 0);
    MakeSubMemImg(&edge, &whole, 5, 1, 3, 3);  // touches the right and bottom edges exactly
    MakeSubMemImg(&tooWide, &whole, 5, 1, 4, 3);
    ASSERT_EQ(1, MemImgIsValid(&edge));
    EXPECT_EQ(0, MemImgIsValid(&tooWide));
    EXPECT_EQ(2, whole.base->refCount);
    EXPECT_EQ(whole.premulPixels + 5 * 4 + whole.base->pitch, edge.premulPixels);
    FillMemImg(&edge, nullptr, 0xABCD);
    EXPECT_EQ(0xABCDu, Read(whole, 5, 1));
    EXPECT_EQ(0u, Read(whole, 4, 1));
    ReleaseMemImg(&whole);
    EXPECT_EQ(1, edge.base->refCount);
    EXPECT_EQ(0xABCDu, Read(edge, 2, 2)) << "the pixels live on for the other view";
    ReleaseMemImg(&edge);
    EXPECT_EQ(0, MemImgIsValid(&edge));
    EXPECT_EQ(0, CheckAllocations());
}

// Fills of 1-, 2- and 4-byte pixels, at widths that are no power of two, clip to the image and
// leave every pixel outside the rectangle as it was.
TEST(MemImg, FillClipsToTheImage) {
    struct Depth {
        int colorType, palette;
        uint32_t value;
    };
    const Depth depths[] = {{MEMIMG_RGB16, 1, 0xA5}, {MEMIMG_RGB16, 0, 0xBEEF}, {MEMIMG_RGB32, 0, 0x11223344}};
    const MemImgRect rects[] = {{-2, 2, 2, 7}, {1, 1, 36, 4}, {0, 0, 37, 5}, {36, 4, 37, 5}, {5, 0, 9, 0}, {40, 0, 50, 5}};
    for (const Depth &d : depths) {
        for (const MemImgRect &r : rects) {
            MEMIMG m{};
            ASSERT_EQ(0, CreateMemImg(&m, 37, 5, -1, 0, d.colorType, d.palette, 0, 0, nullptr));
            FillMemImg(&m, nullptr, 0);
            FillMemImg(&m, &r, d.value);
            for (int y = 0; y < 5; ++y) {
                for (int x = 0; x < 37; ++x) {
                    const bool inside = x >= r.left && x < r.right && y >= r.top && y < r.bottom;
                    ASSERT_EQ(inside ? d.value : 0u, Read(m, x, y))
                        << "type " << d.colorType << " rect " << r.left << "," << r.top << " at " << x << "," << y;
                }
            }
            ReleaseMemImg(&m);
        }
    }
}

TEST(MemImg, CopyConvertsARectangleAndRefusesOneThatDoesNotFit) {
    MEMIMG a{}, b{};
    ASSERT_EQ(0, CreateMemImg(&a, 4, 4, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    ASSERT_EQ(0, CreateMemImg(&b, 4, 4, -1, 0, MEMIMG_RGB16, 0, 0, 0, nullptr));
    FillMemImg(&a, nullptr, 0xFFFF0000);
    FillMemImg(&b, nullptr, 0);
    const MemImgRect r = {1, 1, 3, 3};
    EXPECT_EQ(0, CopyMemImg(&b, &a, &r, 2, 0));
    EXPECT_EQ(0xF800u, Read(b, 3, 1));
    EXPECT_EQ(0u, Read(b, 1, 1));
    EXPECT_EQ(-1, CopyMemImg(&b, &a, &r, 3, 0));
    ReleaseMemImg(&a);
    ReleaseMemImg(&b);
}

class LoadTest : public ::testing::Test {
protected:
    void SetUp() override { BuildBlendTables(); }
    void TearDown() override {
        ReleaseImage(&image_);
        ReleaseMemImg(&record_);
    }
    StandardImage image_{};
    MEMIMG record_{};
};

TEST_F(LoadTest, IndexedLoadConvertsThePaletteAndCountsTheEntriesInUse) {
    for (int colorType : {MEMIMG_RGB16, MEMIMG_RGB32}) {
        SCOPED_TRACE(colorType);
        ReleaseImage(&image_);
        ReleaseMemImg(&record_);
        CreatePaletteFormat(&image_.format);
        image_.width = 4;
        image_.height = 2;
        image_.pitch = 4;
        image_.pixels = static_cast<uint8_t *>(TrackedAllocZero(8, "", 0));
        image_.pixels[5] = 9;
        image_.format.palette[9] = {0x18, 0x84, 0xF8, 0x77};  // blue, green, red, fourth byte
        ASSERT_EQ(0, CreateMemImg(&record_, 4, 2, -1, 0, colorType, 1, 0, 1, nullptr));
        ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 4, 2, 0, 0, 0));
        EXPECT_EQ(10, record_.base->paletteCount);
        EXPECT_EQ(9u, Read(record_, 1, 1));
        uint32_t entry = 0, copy = 0;
        int size = colorType == MEMIMG_RGB32 ? 4 : 2;
        std::memcpy(&entry, record_.base->palette + 9 * size, size);
        std::memcpy(&copy, record_.base->paletteCopy + 9 * size, size);
        EXPECT_EQ(colorType == MEMIMG_RGB32 ? 0x00F88418u : 0xFC23u, entry);
        EXPECT_EQ(entry, copy);
        EXPECT_EQ(1, record_.base->skipValid);
    }
}

// An alpha image of one 70-pixel line: runs stop at 64 pixels and at every change of kind.
TEST_F(LoadTest, WholeLoadBuildsTheSkipTableAndPremultipliedCopyAndAPartialLoadDropsThem) {
    ASSERT_EQ(0, CreateImageARGB8(70, 1, &image_));
    for (int x = 0; x < 70; ++x) SetPixel32(image_, x, 0, x < 66 ? 0xFF204080 : (x < 68 ? 0x80204080 : 0x00204080));
    ASSERT_EQ(0, CreateMemImg(&record_, 70, 1, -1, 0, MEMIMG_RGB32, 0, 1, 1, nullptr));
    ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 70, 1, 0, 0, 0));
    const uint8_t expected[] = {kSkipOpaque | 63, kSkipOpaque | 1, kSkipTranslucent | 1, kSkipTransparent | 1,
                                kSkipLineEnd};
    EXPECT_EQ(0, std::memcmp(expected, record_.base->skipTable, sizeof(expected)));
    EXPECT_EQ(1, record_.base->premulValid);
    uint32_t premul;
    std::memcpy(&premul, record_.premulPixels + 66 * 4, 4);
    EXPECT_EQ(0x80102040u, premul);  // each color byte c * 0x80 >> 8, alpha copied

    ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 69, 1, 0, 0, 0));
    EXPECT_EQ(0, record_.base->skipValid);
    EXPECT_EQ(0, record_.base->premulValid);
}

TEST_F(LoadTest, SixteenBitAlphaPremultipliesEachField) {
    ASSERT_EQ(0, CreateImageARGB8(1, 1, &image_));
    SetPixel32(image_, 0, 0, 0x80FFFFFF);
    ASSERT_EQ(0, CreateMemImg(&record_, 1, 1, -1, 0, MEMIMG_RGB16, 0, 1, 1, nullptr));
    ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 1, 1, 0, 0, 0));
    EXPECT_EQ(0x80FFFFu, Read(record_, 0, 0) & 0xFFFFFF);
    uint32_t premul;
    std::memcpy(&premul, record_.premulPixels, 4);
    EXPECT_EQ(0x0080u << 16 | (15u << 11) | (31u << 5) | 15u, premul);
}

// After a partial load the skip table is stale; a trans draw must still show the new pixels.
TEST_F(LoadTest, PartialLoadSendsTransDrawsDownThePerPixelPath) {
    ASSERT_EQ(0, CreateImageXRGB8(4, 1, &image_));
    for (int x = 0; x < 4; ++x) SetPixel32(image_, x, 0, 0xFF00FF00);  // all key: all transparent
    ASSERT_EQ(0, CreateMemImg(&record_, 4, 1, -1, 0xFF00FF00, MEMIMG_RGB32, 0, 0, 1, nullptr));
    ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 4, 1, 0, 0, 0));
    SetPixel32(image_, 0, 0, 0xFF123456);
    ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 1, 1, 0, 0, 0));
    MEMIMG target{};
    ASSERT_EQ(0, CreateMemImg(&target, 4, 1, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    FillMemImg(&target, nullptr, 0);
    SoftDrawSettings s{0, 0, 255, 255, 255, {0, 0, 4, 1}};
    PutMemImg(s, &target, &record_, 0, 0, 1, nullptr);
    EXPECT_EQ(0xFF123456u, Read(target, 0, 0));
    EXPECT_EQ(0u, Read(target, 1, 0));
    ReleaseMemImg(&target);
}

// Each whole load rebuilds what the skip-table draw reads, whether the new picture needs more
// spans than the last one (every other pixel keyed) or fewer (all keyed, then one long stretch).
TEST_F(LoadTest, EveryWholeLoadRedrawsWithTheNewPixelsThroughTheSkipTable) {
    constexpr uint32_t kKey = 0xFF00FF00;
    ASSERT_EQ(0, CreateImageXRGB8(9, 2, &image_));
    ASSERT_EQ(0, CreateMemImg(&record_, 9, 2, -1, kKey, MEMIMG_RGB32, 0, 0, 1, nullptr));
    MEMIMG target{};
    ASSERT_EQ(0, CreateMemImg(&target, 9, 2, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    SoftDrawSettings s{0, 0, 255, 255, 255, {0, 0, 9, 2}};
    const char *const pictures[] = {"k.k.k.k.k", "kkkkkkkkk", "kk.......", "........."};
    for (const char *picture : pictures) {
        SCOPED_TRACE(picture);
        auto pixel = [&](int x) { return picture[x] == 'k' ? kKey : 0xFF000000u | (x + 1) * 0x010101u; };
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x) SetPixel32(image_, x, y, pixel(x));
        ASSERT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 9, 2, 0, 0, 0));
        ASSERT_EQ(1, record_.base->skipValid);
        FillMemImg(&target, nullptr, 0);
        PutMemImg(s, &target, &record_, 0, 0, 1, nullptr);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 9; ++x)
                EXPECT_EQ(picture[x] == 'k' ? 0u : pixel(x), Read(target, x, y)) << x << "," << y;
    }
    ReleaseMemImg(&target);
}

TEST_F(LoadTest, RectanglesOutsideEitherImageAreRefused) {
    ASSERT_EQ(0, CreateImageXRGB8(4, 4, &image_));
    ASSERT_EQ(0, CreateMemImg(&record_, 4, 4, -1, 0, MEMIMG_RGB32, 0, 0, 0, nullptr));
    EXPECT_EQ(-1, LoadImageIntoMemImg(&image_, nullptr, &record_, 1, 0, 4, 4, 0, 0, 0));
    EXPECT_EQ(-1, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 4, 4, 0, 1, 0));
    EXPECT_EQ(0, LoadImageIntoMemImg(&image_, nullptr, &record_, 0, 0, 4, 4, 0, 0, 0));
}

}  // namespace
}  // namespace zq
