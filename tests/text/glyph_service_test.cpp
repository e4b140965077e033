// The glyph service on FreeType and fontconfig, called directly: the default face, the two bitmap
// formats, metrics and synthetic bold.
#include <gtest/gtest.h>

#include <vector>

#include "platform/glyphs_freetype.h"

namespace {

struct Rendered {
    zq::GlyphMetrics metrics = {};
    std::vector<uint8_t> bits;
    int pitch = 0;
};

Rendered Render(int face, uint32_t unicode, zq::GlyphFormat format) {
    Rendered r;
    auto &service = zq::SharedGlyphService();
    const int size = service.RenderGlyph(face, unicode, format, &r.metrics, nullptr, 0);
    EXPECT_GE(size, 0);
    r.bits.resize(size > 0 ? size : 1);
    EXPECT_EQ(service.RenderGlyph(face, unicode, format, &r.metrics, r.bits.data(), size), size);
    r.pitch = r.metrics.blackBoxY > 0 ? size / r.metrics.blackBoxY : 0;
    return r;
}

TEST(GlyphService, DefaultFaceRendersJapaneseInBothFormats) {
    auto &service = zq::SharedGlyphService();
    const int face = service.CreateFontFace("", 64, 400, false);
    ASSERT_GE(face, 0);
    zq::FontMetrics metrics;
    ASSERT_TRUE(service.ReadFontMetrics(face, &metrics));
    EXPECT_EQ(metrics.height, 64);
    EXPECT_GT(metrics.ascent, 40);
    EXPECT_LT(metrics.ascent, 64);
    EXPECT_GE(metrics.maxAdvance, 60);  // a full-width character is about one em

    const Rendered gray = Render(face, 0x30AC, zq::GlyphFormat::Levels17);  // ガ
    EXPECT_GT(gray.metrics.blackBoxX, 30);
    EXPECT_GT(gray.metrics.blackBoxY, 30);
    EXPECT_EQ(gray.pitch % 4, 0);
    EXPECT_GE(gray.pitch, gray.metrics.blackBoxX);
    int full = 0, partial = 0;
    for (int y = 0; y < gray.metrics.blackBoxY; ++y) {
        for (int x = 0; x < gray.metrics.blackBoxX; ++x) {
            const int level = gray.bits[y * gray.pitch + x];
            ASSERT_LE(level, 16);
            full += level == 16;
            partial += level > 0 && level < 16;
        }
    }
    EXPECT_GT(full, 50);
    EXPECT_GT(partial, 10);  // anti-aliased edges

    const Rendered mono = Render(face, 0x30AC, zq::GlyphFormat::Mono);
    EXPECT_EQ(mono.pitch, (mono.metrics.blackBoxX + 31) / 32 * 4);
    EXPECT_NEAR(mono.metrics.blackBoxX, gray.metrics.blackBoxX, 2);
    EXPECT_EQ(mono.metrics.advance, gray.metrics.advance);

    const Rendered space = Render(face, 0x20, zq::GlyphFormat::Levels17);
    EXPECT_EQ(space.metrics.blackBoxX, 0);
    EXPECT_GT(space.metrics.advance, 0);
    service.ReleaseFontFace(face);
    EXPECT_FALSE(service.ReadFontMetrics(face, &metrics));
    zq::GlyphMetrics unused;
    EXPECT_EQ(service.RenderGlyph(face, 'A', zq::GlyphFormat::Mono, &unused, nullptr, 0), -1);
}

TEST(GlyphService, FacesOfOneFileKeepTheirOwnSizes) {
    auto &service = zq::SharedGlyphService();
    const auto same = [](const Rendered &a, const Rendered &b) {
        return a.bits == b.bits && a.metrics.blackBoxX == b.metrics.blackBoxX && a.metrics.blackBoxY == b.metrics.blackBoxY &&
               a.metrics.originX == b.metrics.originX && a.metrics.originY == b.metrics.originY &&
               a.metrics.advance == b.metrics.advance;
    };
    const int big = service.CreateFontFace("", 64, 600, false);
    const Rendered bigAlone = Render(big, 0x30AC, zq::GlyphFormat::Levels17);
    const int small = service.CreateFontFace("", 18, 600, false);
    ASSERT_GE(big, 0);
    ASSERT_GE(small, 0);
    const Rendered smallAlone = Render(small, 0x30AC, zq::GlyphFormat::Levels17);
    EXPECT_LT(smallAlone.metrics.blackBoxY, bigAlone.metrics.blackBoxY / 2);
    // Interleaved, each face still renders at its own size, in each format asked for.
    EXPECT_TRUE(same(Render(big, 0x30AC, zq::GlyphFormat::Levels17), bigAlone));
    EXPECT_TRUE(same(Render(small, 0x30AC, zq::GlyphFormat::Levels17), smallAlone));
    const Rendered mono = Render(small, 0x30AC, zq::GlyphFormat::Mono);
    EXPECT_EQ(mono.pitch, (mono.metrics.blackBoxX + 31) / 32 * 4);
    EXPECT_TRUE(same(Render(small, 0x30AC, zq::GlyphFormat::Levels17), smallAlone));

    // A measure and a fetch of one glyph render it once; another glyph renders again.
    const long before = service.Renderings();
    Render(big, 0x30BA, zq::GlyphFormat::Levels17);
    EXPECT_EQ(service.Renderings(), before + 1);
    Render(big, 0x30BA, zq::GlyphFormat::Levels17);
    EXPECT_EQ(service.Renderings(), before + 1);  // still the glyph the face holds
    Render(big, 0x30E2, zq::GlyphFormat::Levels17);
    Render(big, 0x30BA, zq::GlyphFormat::Mono);
    Render(small, 0x30BA, zq::GlyphFormat::Mono);
    EXPECT_EQ(service.Renderings(), before + 4);

    // A face id freed and taken by a face of another size does not get the old face's glyph.
    service.ReleaseFontFace(small);
    const int middle = service.CreateFontFace("", 40, 600, false);
    ASSERT_GE(middle, 0);
    const Rendered middleGlyph = Render(middle, 0x30AC, zq::GlyphFormat::Levels17);
    EXPECT_GT(middleGlyph.metrics.blackBoxY, smallAlone.metrics.blackBoxY);
    EXPECT_LT(middleGlyph.metrics.blackBoxY, bigAlone.metrics.blackBoxY);
    service.ReleaseFontFace(middle);
    service.ReleaseFontFace(big);
}

TEST(GlyphService, BoldFromWeight600AddsInk) {
    auto &service = zq::SharedGlyphService();
    const int regular = service.CreateFontFace("", 32, 400, false);
    const int bold = service.CreateFontFace("", 32, 600, false);
    ASSERT_GE(regular, 0);
    ASSERT_GE(bold, 0);
    auto ink = [](const Rendered &r) {
        int sum = 0;
        for (int y = 0; y < r.metrics.blackBoxY; ++y)
            for (int x = 0; x < r.metrics.blackBoxX; ++x) sum += r.bits[y * r.pitch + x];
        return sum;
    };
    EXPECT_GT(ink(Render(bold, 0x6BBA, zq::GlyphFormat::Levels17)), ink(Render(regular, 0x6BBA, zq::GlyphFormat::Levels17)) * 11 / 10);
    service.ReleaseFontFace(regular);
    service.ReleaseFontFace(bold);
}

}  // namespace
