// ConvertPixels against plain reference forms of its rules: the general per-channel rule with
// width conversion, both dither modes, key-to-alpha, alpha images, alpha-only and red-as-alpha;
// the dedicated pairs; the straight copy; palettes; and refused arguments.
#include <gtest/gtest.h>

#include <functional>
#include <random>

#include "graphics/convert_pixels.h"
#include "graphics/pixel_test_support.h"

namespace {

using zq::PixelFormat;
using zqtest::Pixels;

struct Options {
    bool mirror = false;
    bool keyToAlpha = false;
    uint32_t key = 0;
    int dither = zq::kDitherNone;
    bool alphaOnly = false;
    bool redAsAlpha = false;
    bool skipKey = false;
    bool paletteRemap = false;
};

struct Rect {
    int left, top, right, bottom;
};

int Convert(Pixels &dest, int dx, int dy, const Pixels &src, Rect r, const Options &o,
            const Pixels *alpha = nullptr) {
    return zq::ConvertPixels(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(),
                             src.pitch, &src.format, alpha ? alpha->bytes.data() : nullptr,
                             alpha ? alpha->pitch : 0, alpha ? &alpha->format : nullptr, dx, dy,
                             r.left, r.top, r.right, r.bottom, o.mirror, o.keyToAlpha, o.key,
                             o.dither, o.alphaOnly, o.redAsAlpha, o.skipKey, o.paletteRemap);
}

uint32_t EntryValue(const PixelFormat &f, uint32_t index) {
    const auto &e = f.palette[index & 0xFF];
    return e.blue | e.green << 8 | e.red << 16 | uint32_t{e.alpha} << 24;
}

// A pixel as the rules see it: a palette source reads its entry.
uint32_t SourceValue(const Pixels &p, int x, int y) {
    uint32_t raw = p.Get(x, y);
    return zq::IsPaletteFormat(p.format) ? EntryValue(p.format, raw) : raw;
}

uint32_t Field(uint32_t v, uint32_t mask, int shift) { return (v & mask) >> shift; }

constexpr int kMatrix[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The general rule, step by step as written: option rules, extraction, alpha, width conversion
// with dithering, alpha-only, composition and the write.
void ReferenceGeneral(Pixels &dest, int dx, int dy, const Pixels &src, Rect r, const Options &o,
                      const Pixels *alphaImage) {
    const PixelFormat &s = src.format, &d = dest.format;
    const bool destAlpha = d.alphaMask != 0, srcAlpha = s.alphaMask != 0;
    const bool useImage = alphaImage && destAlpha && !srcAlpha;
    bool keyToAlpha = o.keyToAlpha, skipKey = o.skipKey;
    if (destAlpha && (srcAlpha || useImage)) keyToAlpha = skipKey = false;
    if (!destAlpha || o.redAsAlpha) keyToAlpha = false;
    if (o.mirror) skipKey = false;
    uint32_t key = o.key;
    if (!keyToAlpha && s.colorBitDepth < 32) key &= (1u << s.colorBitDepth) - 1;

    int imageWidth = 0;
    if (useImage)
        imageWidth = zq::IsPaletteFormat(alphaImage->format) ? 8 : alphaImage->format.redWidth;
    const bool convert = s.redWidth != d.redWidth || s.greenWidth != d.greenWidth ||
                         (useImage && imageWidth != d.alphaWidth);
    uint32_t keyPacked = zq::PackColor(&s, (o.key >> 16) & 0xFF, (o.key >> 8) & 0xFF, o.key & 0xFF, 255);
    if (zq::IsPaletteFormat(s)) keyPacked = EntryValue(s, keyPacked);
    const uint32_t dMask[4] = {d.redMask, d.greenMask, d.blueMask, d.alphaMask};
    const int dShift[4] = {d.redShift, d.greenShift, d.blueShift, d.alphaShift};
    const int dWidth[4] = {d.redWidth, d.greenWidth, d.blueWidth, d.alphaWidth};
    uint32_t acc[4] = {};
    const int w = r.right - r.left;
    for (int y = 0; y < r.bottom - r.top; ++y) {
        for (int x = 0; x < w; ++x) {
            const uint32_t raw = src.Get(r.left + x, r.top + y);
            const uint32_t px = SourceValue(src, r.left + x, r.top + y);
            uint32_t v[4] = {Field(px, s.redMask, s.redShift), Field(px, s.greenMask, s.greenShift),
                             Field(px, s.blueMask, s.blueShift), 0};
            int sw[4] = {s.redWidth, s.greenWidth, s.blueWidth, d.alphaWidth};
            const uint32_t full = (1u << d.alphaWidth) - 1;
            if (useImage) {
                uint32_t a = SourceValue(*alphaImage, r.left + x, r.top + y);
                const PixelFormat &af = alphaImage->format;
                v[3] = zq::IsPaletteFormat(af) ? (a >> 16) & 0xFF : Field(a, af.redMask, af.redShift);
                sw[3] = imageWidth;
            } else if (destAlpha) {
                if (keyToAlpha) {
                    bool match = v[0] == Field(keyPacked, s.redMask, s.redShift) &&
                                 v[1] == Field(keyPacked, s.greenMask, s.greenShift) &&
                                 v[2] == Field(keyPacked, s.blueMask, s.blueShift);
                    v[3] = match ? 0 : full;
                } else if (srcAlpha) {
                    v[3] = Field(px, s.alphaMask, s.alphaShift);
                    sw[3] = s.alphaWidth;
                } else {
                    v[3] = full;
                }
            }
            if (destAlpha && o.redAsAlpha) {
                v[3] = v[0];
                sw[3] = s.redWidth;
            }
            if (convert) {
                for (int c = 0; c < 4; ++c) {
                    const int sc = sw[c], dc = dWidth[c];
                    if (sc > dc) {
                        const uint32_t droppedMask = (1u << (sc - dc)) - 1;
                        const uint32_t dropped = v[c] & droppedMask;
                        v[c] >>= sc - dc;
                        if (o.dither == zq::kDitherOrdered) {
                            uint32_t threshold = (kMatrix[y & 3][x & 3] * (1u << (sc - dc))) >> 4;
                            if (dropped > threshold) ++v[c];
                        } else if (o.dither == zq::kDitherErrorCarry) {
                            acc[c] += dropped;
                            if (acc[c] > droppedMask) {
                                ++v[c];
                                acc[c] &= droppedMask;
                            }
                        }
                        if (o.dither != zq::kDitherNone && v[c] > (1u << dc) - 1) v[c] = (1u << dc) - 1;
                    } else if (dc > sc) {
                        v[c] = sc == 0 ? 0 : v[c] * ((1u << dc) - 1) / ((1u << sc) - 1);
                    }
                }
            }
            if (o.alphaOnly) v[0] = v[1] = v[2] = 0;
            uint32_t out = 0;
            for (int c = 0; c < 4; ++c) out |= (v[c] << dShift[c]) & dMask[c];
            if (d.bytesPerPixel == 2 || d.bytesPerPixel == 4) out |= d.spareMask;
            if (skipKey && raw == key) continue;
            dest.Set(o.mirror ? dx + w - 1 - x : dx + x, dy + y, out);
        }
    }
}

struct NamedFormat {
    const char *name;
    PixelFormat format;
};

std::vector<NamedFormat> DirectFormats() {
    return {{"R5G6B5", zqtest::R5G6B5()},     {"X1R5G5B5", zqtest::X1R5G5B5()},
            {"A1R5G5B5", zqtest::A1R5G5B5()}, {"A4R4G4B4", zqtest::A4R4G4B4()},
            {"R8G8B8", zqtest::R8G8B8()},     {"X8R8G8B8", zqtest::X8R8G8B8()},
            {"A8R8G8B8", zqtest::A8R8G8B8()}, {"A8B8G8R8", zqtest::A8B8G8R8()},
            {"A2R10G10B10", zqtest::A2R10G10B10()}, {"R3G3B2", zqtest::R3G3B2()}};
}

// Option sets that always take the general rule (dithering, mirroring, alpha-only, red-as-alpha
// or an alpha image rule out the dedicated pairs).
struct OptionCase {
    const char *name;
    Options options;
    bool alphaImage;
};

std::vector<OptionCase> GeneralOptionCases() {
    auto make = [](auto f) {
        Options o;
        f(o);
        return o;
    };
    return {
        {"ordered dither", make([](Options &o) { o.dither = zq::kDitherOrdered; }), false},
        {"error carry", make([](Options &o) { o.dither = zq::kDitherErrorCarry; }), false},
        {"mirror", make([](Options &o) { o.mirror = true; }), false},
        {"alpha only", make([](Options &o) { o.alphaOnly = true; }), false},
        {"red as alpha", make([](Options &o) { o.redAsAlpha = true; o.dither = 1; }), false},
        {"key to alpha, dithered",
         make([](Options &o) { o.keyToAlpha = true; o.key = 0x00FF00; o.dither = 2; }), false},
        {"skip key, dithered",
         make([](Options &o) { o.skipKey = true; o.key = 0x1234; o.dither = 1; }), false},
        {"alpha image, dithered", make([](Options &o) { o.dither = zq::kDitherOrdered; }), true},
        {"alpha image, mirrored", make([](Options &o) { o.mirror = true; }), true},
    };
}

bool SameDepthAndMasks(const PixelFormat &a, const PixelFormat &b) {
    return a.bytesPerPixel == b.bytesPerPixel && a.colorBitDepth == b.colorBitDepth &&
           a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

TEST(ConvertPixels, GeneralRuleMatchesTheReferenceForEveryFormatPairAndOption) {
    std::vector<NamedFormat> sources = DirectFormats();
    sources.push_back({"palette", zqtest::RandomPalette(77)});
    const std::vector<NamedFormat> dests = DirectFormats();
    std::mt19937 rng(20240601);
    for (const auto &sf : sources) {
        for (const auto &df : dests) {
            // Equal layouts take the straight copy or the same-layout key rule instead.
            if (SameDepthAndMasks(sf.format, df.format)) continue;
            for (const auto &oc : GeneralOptionCases()) {
                SCOPED_TRACE(testing::Message() << sf.name << " -> " << df.name << ", " << oc.name);
                Pixels src(sf.format, 11, 6);
                src.FillRandom(rng);
                // Some source pixels equal the key, so that keying shows.
                src.Set(2, 1, 0x1234 & ((1u << std::min<int>(sf.format.colorBitDepth, 31)) - 1));
                Pixels alpha(zqtest::R8G8B8(), 11, 6);
                alpha.FillRandom(rng);
                Pixels got(df.format, 14, 8);
                got.FillRandom(rng);
                Pixels want = got;
                Rect r{1, 1, 10, 6};
                ASSERT_EQ(Convert(got, 3, 2, src, r, oc.options, oc.alphaImage ? &alpha : nullptr), 0);
                ReferenceGeneral(want, 3, 2, src, r, oc.options, oc.alphaImage ? &alpha : nullptr);
                ASSERT_EQ(got.bytes, want.bytes);
            }
        }
    }
}

TEST(ConvertPixels, ErrorCarryRunsOnAcrossRowsAndLongRows) {
    // 300 pixels: longer than one internal chunk; the accumulator must carry on through it all.
    std::mt19937 rng(5);
    Pixels src(zqtest::R8G8B8(), 300, 5);
    src.FillRandom(rng);
    for (int mode : {zq::kDitherOrdered, zq::kDitherErrorCarry}) {
        Pixels got(zqtest::R5G6B5(), 300, 5), want = got;
        Options o;
        o.dither = mode;
        ASSERT_EQ(Convert(got, 0, 0, src, {0, 0, 300, 5}, o), 0);
        ReferenceGeneral(want, 0, 0, src, {0, 0, 300, 5}, o, nullptr);
        EXPECT_EQ(got.bytes, want.bytes) << "dither mode " << mode;
        Pixels plain(zqtest::R5G6B5(), 300, 5);
        ASSERT_EQ(Convert(plain, 0, 0, src, {0, 0, 300, 5}, {}), 0);
        EXPECT_NE(got.bytes, plain.bytes) << "dithering changed nothing";
    }
}

TEST(ConvertPixels, OrderedDitherRoundsUpWhereTheDroppedBitsPassTheThreshold) {
    // Red 0x04 into 5 bits drops the value 4 (of 0..7): thresholds are m * 8 >> 4 = m / 2, so the
    // channel rounds up where m / 2 < 4, i.e. m < 8.
    Pixels src(zqtest::R8G8B8(), 4, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x) src.Set(x, y, 0x040000);
    Pixels dest(zqtest::R5G6B5(), 4, 4);
    Options o;
    o.dither = zq::kDitherOrdered;
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 4, 4}, o), 0);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(dest.Get(x, y) >> 11, kMatrix[y][x] < 8 ? 1u : 0u) << x << "," << y;
}

TEST(ConvertPixels, WideningThroughTheGeneralRuleReachesFullButThePairDoesNot) {
    Pixels src(zqtest::R5G6B5(), 1, 1);
    src.Set(0, 0, 0xF800);
    Pixels general(zqtest::A8R8G8B8(), 1, 1);
    ASSERT_EQ(Convert(general, 0, 0, src, {0, 0, 1, 1}, {}), 0);
    EXPECT_EQ(general.Get(0, 0), 0xFFFF0000u);
    Pixels pair(zqtest::X8R8G8B8(), 1, 1);
    ASSERT_EQ(Convert(pair, 0, 0, src, {0, 0, 1, 1}, {}), 0);
    EXPECT_EQ(pair.Get(0, 0), 0x00F80000u);
}

// ---- Dedicated pairs -------------------------------------------------------------------------

uint32_t To565(uint32_t v) {
    uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
    return (r >> 3) << 11 | (g >> 2) << 5 | b >> 3;
}
uint32_t To555(uint32_t v) {
    uint32_t r = (v >> 16) & 0xFF, g = (v >> 8) & 0xFF, b = v & 0xFF;
    return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
}
uint32_t From565(uint32_t v) {
    uint32_t r5 = v >> 11, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
    return (r5 << 3) << 16 | (g6 << 2) << 8 | (b5 << 3);
}
uint32_t Drop565Green(uint32_t v) {
    uint32_t r5 = v >> 11, g6 = (v >> 5) & 0x3F, b5 = v & 0x1F;
    return r5 << 10 | (g6 >> 1) << 5 | b5;
}

struct PairCase {
    const char *name;
    PixelFormat source, dest;
    bool keyToAlpha;
    std::function<uint32_t(uint32_t value, uint32_t key)> rule;  // value: pixel or palette entry
};

TEST(ConvertPixels, DedicatedPairsFollowTheirTables) {
    const PixelFormat palette = zqtest::RandomPalette(9);
    const PairCase cases[] = {
        {"palette to 565", palette, zqtest::R5G6B5(), false, [](uint32_t e, uint32_t) { return To565(e); }},
        {"palette to X555", palette, zqtest::X1R5G5B5(), false,
         [](uint32_t e, uint32_t) { return To555(e) | 0x8000; }},
        {"palette to X888", palette, zqtest::X8R8G8B8(), false,
         [](uint32_t e, uint32_t) { return e | 0xFF000000; }},
        {"24 to 565", zqtest::R8G8B8(), zqtest::R5G6B5(), false, [](uint32_t v, uint32_t) { return To565(v); }},
        {"24 to X555", zqtest::R8G8B8(), zqtest::X1R5G5B5(), false,
         [](uint32_t v, uint32_t) { return To555(v) | 0x8000; }},
        {"24 to X888", zqtest::R8G8B8(), zqtest::X8R8G8B8(), false,
         [](uint32_t v, uint32_t) { return v | 0xFF000000; }},
        {"24 to A888", zqtest::R8G8B8(), zqtest::A8R8G8B8(), false,
         [](uint32_t v, uint32_t) { return v | 0xFF000000; }},
        {"X888 to 565", zqtest::X8R8G8B8(), zqtest::R5G6B5(), false, [](uint32_t v, uint32_t) { return To565(v); }},
        {"565 to 24", zqtest::R5G6B5(), zqtest::R8G8B8(), false, [](uint32_t v, uint32_t) { return From565(v); }},
        {"565 to X888", zqtest::R5G6B5(), zqtest::X8R8G8B8(), false,
         [](uint32_t v, uint32_t) { return From565(v); }},
        {"565 to X555", zqtest::R5G6B5(), zqtest::X1R5G5B5(), false,
         [](uint32_t v, uint32_t) { return Drop565Green(v); }},
        {"X555 to 565", zqtest::X1R5G5B5(), zqtest::R5G6B5(), false,
         [](uint32_t v, uint32_t) {
             uint32_t r5 = (v >> 10) & 0x1F, g5 = (v >> 5) & 0x1F, b5 = v & 0x1F;
             return r5 << 11 | ((g5 << 1) | (g5 & 1)) << 5 | b5;
         }},
        {"palette to A555, keyed", palette, zqtest::A1R5G5B5(), true,
         [](uint32_t e, uint32_t key) { return To555(e) | (e == key ? 0 : 0x8000); }},
        {"palette to A888, keyed", palette, zqtest::A8R8G8B8(), true,
         [](uint32_t e, uint32_t key) { return e == key ? e : e | 0xFF000000; }},
        {"24 to A555, keyed", zqtest::R8G8B8(), zqtest::A1R5G5B5(), true,
         [](uint32_t v, uint32_t key) { return To555(v) | (v == key ? 0 : 0x8000); }},
        {"24 to A888, keyed", zqtest::R8G8B8(), zqtest::A8R8G8B8(), true,
         [](uint32_t v, uint32_t key) { return v | (v == key ? 0 : 0xFF000000); }},
        {"565 to A555, keyed", zqtest::R5G6B5(), zqtest::A1R5G5B5(), true,
         [](uint32_t v, uint32_t key) {
             uint32_t out = Drop565Green(v);
             return out | (out == To555(key) ? 0 : 0x8000);
         }},
    };
    std::mt19937 rng(99);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        Pixels src(c.source, 37, 5);
        src.FillRandom(rng);
        // The key appears among the pixels (as a 24-bit value, a 5-6-5 value or a palette entry).
        const uint32_t key = c.source.bytesPerPixel == 1 ? EntryValue(c.source, 17) & 0xFFFFFF
                             : c.source.bytesPerPixel == 2 ? From565(0x07E0)
                                                           : 0x00FF00;
        if (c.source.bytesPerPixel == 1) src.Set(4, 2, 17);
        else if (c.source.bytesPerPixel == 2) src.Set(4, 2, 0x07E0);
        else src.Set(4, 2, 0xFF00FF00 & ((1ull << (8 * c.source.bytesPerPixel)) - 1));
        Pixels got(c.dest, 37, 5);
        Options o;
        o.keyToAlpha = c.keyToAlpha;
        o.key = key;
        ASSERT_EQ(Convert(got, 0, 0, src, {0, 0, 37, 5}, o), 0);
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 37; ++x)
                ASSERT_EQ(got.Get(x, y), c.rule(SourceValue(src, x, y), key) &
                                             ((1ull << (8 * c.dest.bytesPerPixel)) - 1))
                    << x << "," << y;
    }
}

TEST(ConvertPixels, PalettePixelsKeyedToGreenLoseTheirAlphaBitExactlyOnGreenEntries) {
    PixelFormat f = zqtest::RandomPalette(3);
    f.palette[5] = {0, 0xFF, 0, 0};      // 0x0000FF00: the key
    f.palette[6] = {0, 0xFF, 0, 1};      // fourth byte set: not the key
    f.palette[7] = {4, 0xFF, 4, 0};      // packs to the same 5-5-5 value, but is not the key
    Pixels src(f, 4, 1);
    for (int i = 0; i < 4; ++i) src.Set(i, 0, 4 + i);
    Pixels dest(zqtest::A1R5G5B5(), 4, 1);
    Options o;
    o.keyToAlpha = true;
    o.key = 0x00FF00;
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 4, 1}, o), 0);
    EXPECT_NE(dest.Get(0, 0) & 0x8000, 0u);
    EXPECT_EQ(dest.Get(1, 0), 0x03E0u);
    EXPECT_EQ(dest.Get(2, 0), 0x83E0u);
    EXPECT_EQ(dest.Get(3, 0), 0x83E0u);
}

TEST(ConvertPixels, DedicatedPairsLeaveKeyPixelsUnwrittenWithSkipKey) {
    Pixels src(zqtest::R8G8B8(), 3, 1);
    src.Set(0, 0, 0x102030);
    src.Set(1, 0, 0x00FF00);
    src.Set(2, 0, 0xFFFFFF);
    Pixels dest(zqtest::R5G6B5(), 3, 1);
    for (int i = 0; i < 3; ++i) dest.Set(i, 0, 0x1111);
    Options o;
    o.skipKey = true;
    o.key = 0xAB00FF00;  // cut to the source's 24 bits
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 3, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), To565(0x102030));
    EXPECT_EQ(dest.Get(1, 0), 0x1111u);
    EXPECT_EQ(dest.Get(2, 0), 0xFFFFu);
}

// ---- Equal layouts ---------------------------------------------------------------------------

TEST(ConvertPixels, StraightCopyHonoursMirroringAndSkipKey) {
    for (int bytes : {1, 2, 3, 4}) {
        SCOPED_TRACE(bytes);
        const PixelFormat f = bytes == 1   ? zqtest::R3G3B2()
                              : bytes == 2 ? zqtest::R5G6B5()
                              : bytes == 3 ? zqtest::R8G8B8()
                                           : zqtest::X8R8G8B8();
        std::mt19937 rng(bytes);
        Pixels src(f, 9, 3);
        src.FillRandom(rng);
        src.Set(3, 1, 0x42);
        Pixels copy(f, 12, 4), mirrored(f, 12, 4), keyed(f, 12, 4);
        keyed.FillRandom(rng);
        const Pixels before = keyed;
        Options m, k;
        m.mirror = true;
        k.skipKey = true;
        k.key = 0x42;
        ASSERT_EQ(Convert(copy, 2, 1, src, {1, 0, 8, 3}, {}), 0);
        ASSERT_EQ(Convert(mirrored, 2, 1, src, {1, 0, 8, 3}, m), 0);
        ASSERT_EQ(Convert(keyed, 2, 1, src, {1, 0, 8, 3}, k), 0);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 7; ++x) {
                EXPECT_EQ(copy.Get(2 + x, 1 + y), src.Get(1 + x, y));
                EXPECT_EQ(mirrored.Get(2 + 6 - x, 1 + y), src.Get(1 + x, y));
                const bool isKey = src.Get(1 + x, y) == 0x42;
                EXPECT_EQ(keyed.Get(2 + x, 1 + y), isKey ? before.Get(2 + x, 1 + y) : src.Get(1 + x, y));
            }
        }
        EXPECT_EQ(copy.Get(0, 0), 0u);  // outside the rectangle nothing is written
    }
}

TEST(ConvertPixels, KeyToAlphaBetweenEqualColorLayoutsClearsAlphaOnKeyPixelsOnly) {
    // 32-bit: the source's non-color bits count as set before the comparison.
    Pixels src(zqtest::X8R8G8B8(), 3, 1);
    src.Set(0, 0, 0x0000FF00);
    src.Set(1, 0, 0x1200FF00);
    src.Set(2, 0, 0x0000FF01);
    Pixels dest(zqtest::A8R8G8B8(), 3, 1);
    Options o;
    o.keyToAlpha = true;
    o.key = 0x00FF00;
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 3, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x0000FF00u);
    EXPECT_EQ(dest.Get(1, 0), 0x0000FF00u);
    EXPECT_EQ(dest.Get(2, 0), 0xFF00FF01u);
    // Mirroring is honoured.
    o.mirror = true;
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 3, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 0xFF00FF01u);
    // 16-bit: compared as stored, against the key packed with its alpha bit.
    Pixels s16(zqtest::X1R5G5B5(), 2, 1);
    s16.Set(0, 0, 0x83E0);
    s16.Set(1, 0, 0x03E0);
    Pixels d16(zqtest::A1R5G5B5(), 2, 1);
    o.mirror = false;
    ASSERT_EQ(Convert(d16, 0, 0, s16, {0, 0, 2, 1}, o), 0);
    EXPECT_EQ(d16.Get(0, 0), 0x03E0u);
    EXPECT_EQ(d16.Get(1, 0), 0x83E0u);
}

// ---- Option rules ----------------------------------------------------------------------------

TEST(ConvertPixels, AlphaImageSuppliesAlphaOnlyWhenTheSourceHasNone) {
    Pixels alpha(zqtest::R8G8B8(), 2, 1);
    alpha.Set(0, 0, 0x800000);
    alpha.Set(1, 0, 0x110000);
    Pixels rgb(zqtest::R8G8B8(), 2, 1);
    rgb.Set(0, 0, 0x00FF00);
    rgb.Set(1, 0, 0x123456);
    Pixels dest(zqtest::A8R8G8B8(), 2, 1);
    Options keyed;
    keyed.keyToAlpha = true;
    keyed.key = 0x00FF00;
    ASSERT_EQ(Convert(dest, 0, 0, rgb, {0, 0, 2, 1}, keyed, &alpha), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x8000FF00u);  // the key gives way to the alpha image
    EXPECT_EQ(dest.Get(1, 0), 0x11123456u);
    Pixels argb(zqtest::A8R8G8B8(), 1, 1);
    argb.Set(0, 0, 0x33ABCDEF);
    ASSERT_EQ(Convert(dest, 0, 0, argb, {0, 0, 1, 1}, {}, &alpha), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x33ABCDEFu);
    Pixels x16(zqtest::R5G6B5(), 1, 1);
    ASSERT_EQ(Convert(x16, 0, 0, rgb, {0, 0, 1, 1}, {}, &alpha), 0);
    EXPECT_EQ(x16.Get(0, 0), 0x07E0u);  // no destination alpha: the image is ignored
}

TEST(ConvertPixels, GrayTargetTakesTheSourceRedWithAlphaOnlyAndRedAsAlpha) {
    const PixelFormat gray = zqtest::FormatFromMasks(8, 0xFF, 0xFF, 0xFF, 0xFF);
    Pixels src(zqtest::X8R8G8B8(), 3, 1);
    src.Set(0, 0, 0xFF000000);
    src.Set(1, 0, 0xFF80FF00);
    src.Set(2, 0, 0xFFFF0000);
    Pixels dest(gray, 3, 1);
    Options o;
    o.alphaOnly = true;
    o.redAsAlpha = true;
    ASSERT_EQ(Convert(dest, 0, 0, src, {0, 0, 3, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x00u);
    EXPECT_EQ(dest.Get(1, 0), 0x80u);
    EXPECT_EQ(dest.Get(2, 0), 0xFFu);
}

// ---- Palettes --------------------------------------------------------------------------------

TEST(ConvertPixels, CopiedIndicesReportTheHighestIndex) {
    const PixelFormat f = zqtest::RandomPalette(4);
    Pixels src(f, 5, 2), dest(f, 5, 2);
    for (int i = 0; i < 5; ++i) src.Set(i, 0, i * 3);
    src.Set(2, 1, 200);
    EXPECT_EQ(Convert(dest, 0, 0, src, {0, 0, 5, 2}, {}), 200);
    EXPECT_EQ(dest.bytes, src.bytes);
    Pixels zeros(f, 5, 2);
    EXPECT_EQ(Convert(dest, 0, 0, zeros, {0, 0, 5, 2}, {}), 0);
    // Remapping with equal palettes copies as well.
    Options remap;
    remap.paletteRemap = true;
    EXPECT_EQ(Convert(dest, 0, 0, src, {0, 0, 5, 2}, remap), 200);
}

TEST(ConvertPixels, PaletteRemapTakesTheNearestDestinationEntry) {
    PixelFormat from{}, to{};
    zq::CreatePaletteFormat(&from);
    zq::CreatePaletteFormat(&to);
    for (auto &e : to.palette) e = {128, 128, 128, 0};
    to.palette[10] = {0, 0, 250, 0};
    to.palette[20] = {0, 250, 0, 0};
    from.palette[1] = {0, 0, 255, 0};
    from.palette[2] = {0, 255, 0, 0};
    from.palette[3] = {120, 130, 128, 0};
    Pixels src(from, 3, 1), dest(to, 3, 1);
    for (int i = 0; i < 3; ++i) src.Set(i, 0, i + 1);
    Options o;
    o.paletteRemap = true;
    EXPECT_EQ(Convert(dest, 0, 0, src, {0, 0, 3, 1}, o), 0);
    EXPECT_EQ(dest.Get(0, 0), 10u);
    EXPECT_EQ(dest.Get(1, 0), 20u);
    EXPECT_EQ(dest.Get(2, 0), 0u);
}

TEST(ConvertPixels, DirectColorsPackIntoThePaletteAtFullScale) {
    PixelFormat pal{};
    zq::CreateGrayFormat(&pal);
    Pixels src16(zqtest::R5G6B5(), 2, 1);
    src16.Set(0, 0, 0xFFFF);
    src16.Set(1, 0, 0x8410);  // 16, 32, 16 of 31, 63, 31
    Pixels dest(pal, 2, 1);
    EXPECT_EQ(Convert(dest, 0, 0, src16, {0, 0, 2, 1}, {}), 0);
    EXPECT_EQ(dest.Get(0, 0), 255u);
    EXPECT_EQ(dest.Get(1, 0), 130u);  // scaled to 131, 129, 131: gray 130 is nearest
    Pixels src24(zqtest::R8G8B8(), 1, 1);
    src24.Set(0, 0, 0x102030);
    EXPECT_EQ(Convert(dest, 0, 0, src24, {0, 0, 1, 1}, {}), 0);
    EXPECT_EQ(dest.Get(0, 0), 0x20u);
}

// ---- Refused arguments -----------------------------------------------------------------------

TEST(ConvertPixels, RefusesBadArgumentsWithoutWriting) {
    Pixels src(zqtest::R8G8B8(), 4, 4), dest(zqtest::R5G6B5(), 4, 4);
    std::mt19937 rng(8);
    src.FillRandom(rng);
    const Pixels before = dest;
    const Rect whole{0, 0, 4, 4};
    const Rect empty[] = {{2, 0, 2, 4}, {0, 3, 4, 3}, {3, 0, 1, 4}, {-1, 0, 2, 2}};
    for (const Rect &r : empty) EXPECT_EQ(Convert(dest, 0, 0, src, r, {}), -1);
    EXPECT_EQ(Convert(dest, -1, 0, src, whole, {}), -1);
    Options badDither;
    badDither.dither = 3;
    EXPECT_EQ(Convert(dest, 0, 0, src, whole, badDither), -1);
    EXPECT_EQ(zq::ConvertPixels(nullptr, 8, &dest.format, src.bytes.data(), src.pitch, &src.format,
                                nullptr, 0, nullptr, 0, 0, 0, 0, 4, 4, false, false, 0, 0, false,
                                false, false, false), -1);
    EXPECT_EQ(zq::ConvertPixels(dest.bytes.data(), dest.pitch, &dest.format, src.bytes.data(),
                                src.pitch, nullptr, nullptr, 0, nullptr, 0, 0, 0, 0, 4, 4, false,
                                false, 0, 0, false, false, false, false), -1);
    Pixels compressed = src;
    compressed.format.compression = zq::kCompressionDxt1;
    EXPECT_EQ(Convert(dest, 0, 0, compressed, whole, {}), -1);
    Pixels odd = src;
    odd.format.bytesPerPixel = 5;
    EXPECT_EQ(Convert(dest, 0, 0, odd, whole, {}), -1);
    EXPECT_EQ(dest.bytes, before.bytes);
}

}  // namespace
