// The software drawing kernels against the plain reference rules, over random pixels, for every
// blend mode, both depths, direct, indexed and alpha sources, brightness, trans and blend images;
// plus the worked cases of the rules and the clipping, mirroring and triangle behaviour.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/blend_tables.h"
#include "graphics/kernels.h"
#include "graphics/memimg.h"
#include "kernel_reference.h"

namespace zq {
namespace {

enum SourceKind { kDirect, kIndexed, kAlpha };
const char *const kSourceNames[] = {"direct", "indexed", "alpha"};

uint32_t Read(const MEMIMG &m, int x, int y) {
    int bytes = MemImgBytesPerPixel(*m.base);
    uint32_t v = 0;
    std::memcpy(&v, m.pixels + y * m.base->pitch + x * bytes, bytes);
    return v;
}

void Write(MEMIMG &m, int x, int y, uint32_t v) {
    std::memcpy(m.pixels + y * m.base->pitch + x * MemImgBytesPerPixel(*m.base), &v, MemImgBytesPerPixel(*m.base));
}

class KernelTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildBlendTables(); }
    void TearDown() override {
        for (MEMIMG *m : images_) {
            ReleaseMemImg(m);
            delete m;
        }
    }

    MEMIMG &Make(bool is32, int w, int h, SourceKind kind = kDirect, uint32_t key = 0, bool aux = false) {
        auto *m = new MEMIMG{};
        images_.push_back(m);
        EXPECT_EQ(0, CreateMemImg(m, w, h, -1, key, is32 ? MEMIMG_RGB32 : MEMIMG_RGB16, kind == kIndexed,
                                  kind == kAlpha, aux, nullptr));
        FillMemImg(m, nullptr, 0);
        return *m;
    }
    MEMIMG &MakeGray(int w, int h) {
        auto *m = new MEMIMG{};
        images_.push_back(m);
        EXPECT_EQ(0, CreateMemImg(m, w, h, -1, 0, MEMIMG_GRAY8, 0, 0, 0, nullptr));
        return *m;
    }
    // Random pixels; about one in four equals the key (direct and indexed) or has alpha 0 or 255.
    void Randomize(MEMIMG &m, SourceKind kind, bool is32, uint32_t key) {
        for (int y = 0; y < m.height; ++y) {
            for (int x = 0; x < m.width; ++x) {
                uint32_t v = rng_();
                if (kind == kIndexed) v &= 0xFF;
                else if (kind == kAlpha) {
                    int pick = int(rng_() % 4);
                    int a = pick == 0 ? 0 : (pick == 1 ? 255 : int(rng_() & 0xFF));
                    v = is32 ? (v & 0xFFFFFF) | uint32_t(a) << 24 : (v & 0xFFFF) | uint32_t(a) << 16;
                } else if (!is32) v &= 0xFFFF;
                if (kind != kAlpha && rng_() % 4 == 0) v = key;
                Write(m, x, y, v);
            }
        }
        if (kind == kIndexed) {
            for (int i = 0; i < 256; ++i) {
                uint32_t e = is32 ? rng_() & 0xFFFFFF : rng_() & 0xFFFF;
                std::memcpy(m.base->palette + i * (is32 ? 4 : 2), &e, is32 ? 4 : 2);
            }
        }
    }
    // Stretches of 67 pixels of one kind, longer than a skip-table run, so that drawn spans join
    // runs and opaque spans meet translucent ones: transparent, opaque, and for alpha sources
    // translucent (keyed sources: opaque again).
    void PaintLongRuns(MEMIMG &m, SourceKind kind, bool is32, uint32_t key) {
        for (int y = 0; y < m.height; ++y) {
            for (int x = 0; x < m.width; ++x) {
                int stretch = ((x + 23 * y) / 67 + y) % 3;
                uint32_t v = Read(m, x, y);
                if (kind == kAlpha) {
                    uint32_t a = stretch == 0 ? 0 : (stretch == 1 ? 255 : 1 + rng_() % 254);
                    v = is32 ? (v & 0xFFFFFF) | a << 24 : (v & 0xFFFF) | a << 16;
                } else {
                    v = stretch == 0 ? key : (v == key ? v ^ 1 : v);
                }
                Write(m, x, y, v);
            }
        }
    }
    uint32_t Color(const MEMIMG &src, SourceKind kind, bool is32, uint32_t raw) {
        if (kind == kIndexed) {
            uint32_t e = 0;
            std::memcpy(&e, src.base->palette + raw * (is32 ? 4 : 2), is32 ? 4 : 2);
            return e;
        }
        if (kind == kAlpha && !is32) return raw & 0xFFFF;
        return raw;
    }
    int AlphaOf(SourceKind kind, bool is32, uint32_t raw) {
        if (kind != kAlpha) return -1;
        return is32 ? int(raw >> 24) : int((raw >> 16) & 0xFF);
    }

    std::mt19937 rng_{12345};
    std::vector<MEMIMG *> images_;
};

SoftDrawSettings Settings(int mode, int param, int r = 255, int g = 255, int b = 255) {
    return SoftDrawSettings{mode, param, uint8_t(r), uint8_t(g), uint8_t(b), {0, 0, 1 << 20, 1 << 20}};
}

struct Combination {
    bool is32;
    SourceKind kind;
    int mode;
    int param;
    bool trans;
    bool bright;
    bool blend;
    std::string Name() const {
        return std::string(is32 ? "32" : "16") + " " + kSourceNames[kind] + " mode " + std::to_string(mode) +
               " p " + std::to_string(param) + (trans ? " trans" : "") + (bright ? " bright" : "") +
               (blend ? " blend" : "");
    }
};

std::vector<Combination> AllCombinations() {
    const int modes[] = {0, 1, 2, 3, 4, 7, 10, 11};
    const int params[] = {0, 4, 77, 128, 255};
    std::vector<Combination> out;
    for (bool is32 : {false, true})
        for (SourceKind kind : {kDirect, kIndexed, kAlpha})
            for (int mode : modes)
                for (int param : params)
                    for (bool trans : {false, true})
                        for (bool bright : {false, true})
                            for (bool blend : {false, true}) out.push_back({is32, kind, mode, param, trans, bright, blend});
    return out;
}

// Draws each combination with PutMemImg at (3, 2), by the per-pixel path and, with trans, by the
// skip table's spans, and compares every target pixel with the reference rule. Sources are random
// pixels and, for the span path, long stretches of one kind.
TEST_F(KernelTest, EveryCombinationMatchesTheReferenceRule) {
    struct Shape {
        int w, h;
        bool longRuns;
    };
    const Shape shapes[] = {{21, 7, false}, {150, 4, true}};
    BuildBlendImageRamp(90, 70);
    const uint8_t *ramp = BlendImageRamp();
    for (const Combination &k : AllCombinations()) {
        for (const Shape &shape : shapes) {
            for (bool skipTable : {false, true}) {
                if (skipTable && !k.trans) continue;
                SCOPED_TRACE(k.Name() + (skipTable ? " skip table" : "") + (shape.longRuns ? " long runs" : ""));
                int tw = shape.w + 8, th = shape.h + 4;
                uint32_t key = k.kind == kIndexed ? 7 : (k.is32 ? 0xFF00FF00u : 0x07E0);
                MEMIMG &target = Make(k.is32, tw, th);
                MEMIMG &source = Make(k.is32, shape.w, shape.h, k.kind, key, skipTable);
                MEMIMG &blend = MakeGray(shape.w, shape.h);
                Randomize(target, kDirect, k.is32, 0);
                Randomize(source, k.kind, k.is32, key);
                if (shape.longRuns) PaintLongRuns(source, k.kind, k.is32, key);
                for (int y = 0; y < shape.h; ++y)
                    for (int x = 0; x < shape.w; ++x) Write(blend, x, y, rng_() & 0xFF);
                if (skipTable) {
                    BuildSkipTable(source.base);
                    source.base->skipValid = 1;
                }
                std::vector<uint32_t> before;
                for (int y = 0; y < th; ++y)
                    for (int x = 0; x < tw; ++x) before.push_back(Read(target, x, y));

                SoftDrawSettings s = k.bright ? Settings(k.mode, k.param, 200, 90, 31) : Settings(k.mode, k.param);
                PutMemImg(s, &target, &source, 3, 2, k.trans, k.blend ? &blend : nullptr);

                reference::PixelCase pc{k.is32, k.mode, k.param, {s.brightBlue, s.brightGreen, s.brightRed},
                                        k.trans, k.blend, 0, key};
                int mismatches = 0;
                for (int y = 0; y < th && mismatches < 3; ++y) {
                    for (int x = 0; x < tw && mismatches < 3; ++x) {
                        uint32_t d = before[y * tw + x], expected = d;
                        int sx = x - 3, sy = y - 2;
                        if (sx >= 0 && sx < shape.w && sy >= 0 && sy < shape.h) {
                            uint32_t raw = Read(source, sx, sy);
                            pc.weight = ramp[Read(blend, sx, sy)];
                            expected = reference::Pixel(pc, d, raw, Color(source, k.kind, k.is32, raw),
                                                        AlphaOf(k.kind, k.is32, raw));
                            if (!k.is32) expected &= 0xFFFF;
                        }
                        uint32_t got = Read(target, x, y);
                        if (got != expected) {
                            ++mismatches;
                            ADD_FAILURE() << "pixel " << x << "," << y << " d " << std::hex << d << " got " << got
                                          << " expected " << expected;
                        }
                    }
                }
                if (mismatches) return;
            }
        }
    }
}

// The worked cases of the rules, one target pixel each.
struct WorkedCase {
    const char *name;
    bool is32;
    int mode, param;
    uint32_t d, s;
    uint32_t expected;
};

TEST_F(KernelTest, WorkedCases) {
    const WorkedCase cases[] = {
        {"alpha 128 halves s = d = 1 to 0 and clears the top byte", true, 1, 128, 0xFF000001, 0xFF000001, 0},
        {"alpha 128 in 16 bits", false, 1, 128, 0xFFFF, 0x0000, 0x7BEF},
        {"alpha 255 copies the whole source value", true, 1, 255, 0x12345678, 0xABCDEF01, 0xABCDEF01},
        {"alpha 0 leaves the target", true, 1, 0, 0x12345678, 0xABCDEF01, 0x12345678},
        {"add 255 saturates every byte", true, 2, 255, 0x80F00010, 0x80200020, 0xFFFF0030},
        {"subtract 255 saturates at 0", true, 3, 255, 0x00100080, 0x00200010, 0x00000070},
        {"add 255 in 16 bits saturates red", false, 2, 255, 0xF800, 0xF800, 0xF800},
        {"add 255 in 16 bits loses red's lowest bit to the guard", false, 2, 255, 0xF800, 0x0800, 0xF000},
        {"add below 255 puts the lowest bits back", false, 2, 254, 0x0800, 0x0000, 0x0800},
        {"multiply in 16 bits shifts by the field width", false, 4, 0, 0xFFFF, 0x8410, 0x7BEF},
    };
    for (const WorkedCase &c : cases) {
        SCOPED_TRACE(c.name);
        MEMIMG &target = Make(c.is32, 1, 1);
        MEMIMG &source = Make(c.is32, 1, 1);
        Write(target, 0, 0, c.d);
        Write(source, 0, 0, c.s);
        PutMemImg(Settings(c.mode, c.param), &target, &source, 0, 0, 0, nullptr);
        EXPECT_EQ(c.expected, Read(target, 0, 0));
    }
}

TEST_F(KernelTest, SixteenBitAlphaUsesTheTopSixBitsOfTheParameter) {
    for (int p : {4, 7}) {
        rng_.seed(7);
        MEMIMG &target = Make(false, 16, 4);
        MEMIMG &source = Make(false, 16, 4);
        Randomize(target, kDirect, false, 0);
        Randomize(source, kDirect, false, 0);
        PutMemImg(Settings(1, p), &target, &source, 0, 0, 0, nullptr);
    }
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(Read(*images_[0], x, y), Read(*images_[2], x, y));
}

TEST_F(KernelTest, KeyedPixelIsSkippedOnlyWithTrans) {
    for (bool is32 : {false, true}) {
        uint32_t key = is32 ? 0xFFFF00FF : 0xF81F;
        MEMIMG &target = Make(is32, 2, 1);
        MEMIMG &source = Make(is32, 2, 1, kDirect, key);
        Write(source, 0, 0, key);
        Write(source, 1, 0, 0x1234);
        PutMemImg(Settings(0, 0), &target, &source, 0, 0, 1, nullptr);
        EXPECT_EQ(0u, Read(target, 0, 0));
        EXPECT_EQ(0x1234u, Read(target, 1, 0));
        PutMemImg(Settings(0, 0), &target, &source, 0, 0, 0, nullptr);
        EXPECT_EQ(key, Read(target, 0, 0));
    }
}

TEST_F(KernelTest, AlphaSourceWithoutTransIsCopiedWithItsAlphaIgnored) {
    MEMIMG &target32 = Make(true, 1, 1), &source32 = Make(true, 1, 1, kAlpha);
    Write(source32, 0, 0, 0x40123456);
    PutMemImg(Settings(0, 0), &target32, &source32, 0, 0, 0, nullptr);
    EXPECT_EQ(0x40123456u, Read(target32, 0, 0));
    MEMIMG &target16 = Make(false, 1, 1), &source16 = Make(false, 1, 1, kAlpha);
    Write(source16, 0, 0, 0x00405678);
    PutMemImg(Settings(0, 0), &target16, &source16, 0, 0, 0, nullptr);
    EXPECT_EQ(0x5678u, Read(target16, 0, 0));
}

TEST_F(KernelTest, MultiplyWithZeroAlphaTurnsTheTargetBlackEvenThroughTheSkipTable) {
    MEMIMG &target = Make(true, 4, 1), &source = Make(true, 4, 1, kAlpha, 0, true);
    for (int x = 0; x < 4; ++x) {
        Write(target, x, 0, 0xFFFFFFFF);
        Write(source, x, 0, 0x00FFFFFF);
    }
    BuildSkipTable(source.base);
    source.base->skipValid = 1;
    PutMemImg(Settings(4, 0), &target, &source, 0, 0, 1, nullptr);
    for (int x = 0; x < 4; ++x) EXPECT_EQ(0xFF000000u, Read(target, x, 0)) << x;
}

// A skip table built while every pixel was the key, then left stale, shows which path a draw took.
TEST_F(KernelTest, ClippedPutDrawsTheInsideOnlyAndNeverUsesTheSkipTable) {
    for (bool is32 : {false, true}) {
        MEMIMG &target = Make(is32, 8, 8), &source = Make(is32, 4, 4, kDirect, 0, true);
        BuildSkipTable(source.base);
        source.base->skipValid = 1;
        FillMemImg(&source, nullptr, 0x21);
        SoftDrawSettings s = Settings(0, 0);
        s.drawArea = {0, 0, 6, 6};
        PutMemImg(s, &target, &source, 0, 0, 1, nullptr);
        EXPECT_EQ(0u, Read(target, 0, 0)) << "unclipped draws walk the skip table";
        PutMemImg(s, &target, &source, 4, 3, 1, nullptr);
        for (int y = 0; y < 8; ++y) {
            for (int x = 0; x < 8; ++x) {
                bool inside = x >= 4 && x < 6 && y >= 3 && y < 6;
                EXPECT_EQ(inside ? 0x21u : 0u, Read(target, x, y)) << x << "," << y;
            }
        }
    }
}

TEST_F(KernelTest, DrawAreaBeyondTheTargetIsClippedToTheTarget) {
    MEMIMG &target = Make(true, 4, 4), &source = Make(true, 4, 4);
    FillMemImg(&source, nullptr, 0x55);
    PutMemImg(Settings(0, 0), &target, &source, 2, 2, 0, nullptr);
    EXPECT_EQ(0x55u, Read(target, 3, 3));
    EXPECT_EQ(0u, Read(target, 1, 1));
}

TEST_F(KernelTest, NothingIsDrawnOnMismatchedOrUnsuitableImages) {
    MEMIMG &t16 = Make(false, 2, 2), &s32 = Make(true, 2, 2), &alphaTarget = Make(true, 2, 2, kAlpha);
    MEMIMG &s32b = Make(true, 2, 2), &smallBlend = MakeGray(1, 1);
    FillMemImg(&s32, nullptr, 0x77);
    FillMemImg(&s32b, nullptr, 0x77);
    PutMemImg(Settings(0, 0), &t16, &s32, 0, 0, 0, nullptr);
    PutMemImg(Settings(0, 0), &alphaTarget, &s32, 0, 0, 0, nullptr);
    PutMemImg(Settings(0, 0), &s32b, &s32, 0, 0, 0, &smallBlend);
    PutMemImg(Settings(6, 255), &s32b, &t16, 0, 0, 0, nullptr);
    EXPECT_EQ(0u, Read(t16, 0, 0));
    EXPECT_EQ(0u, Read(alphaTarget, 0, 0));
    EXPECT_EQ(0x77u, Read(s32b, 1, 1));
}

TEST_F(KernelTest, ScaledPutOfTheSourceSizeEqualsPutMemImg) {
    for (int mode : {0, 1, 2}) {
        rng_.seed(3);
        MEMIMG &a = Make(false, 12, 9), &b = Make(false, 12, 9), &source = Make(false, 5, 4, kDirect, 0x07E0);
        Randomize(a, kDirect, false, 0);
        std::memcpy(b.base->pixelBuffer, a.base->pixelBuffer, size_t(a.base->pitch) * 9);
        Randomize(source, kDirect, false, 0x07E0);
        const int rect[4] = {3, 2, 8, 6};
        PutMemImgScaled(Settings(mode, 100), &a, &source, rect, 1, nullptr);
        PutMemImg(Settings(mode, 100), &b, &source, 3, 2, 1, nullptr);
        EXPECT_EQ(0, std::memcmp(a.base->pixelBuffer, b.base->pixelBuffer, size_t(a.base->pitch) * 9)) << mode;
    }
}

// Doubling with each mirroring: target pixel (x, y) shows source (x / 2, y / 2), walked from the
// far end on a mirrored axis; the draw area cuts the first column and row.
TEST_F(KernelTest, ScaledPutDoublesAndMirrors) {
    for (bool mirrorX : {false, true}) {
        for (bool mirrorY : {false, true}) {
            MEMIMG &target = Make(true, 10, 8), &source = Make(true, 4, 3);
            for (int y = 0; y < 3; ++y)
                for (int x = 0; x < 4; ++x) Write(source, x, y, uint32_t(0x100 * y + x + 1));
            int rect[4] = {1, 1, 9, 7};
            if (mirrorX) std::swap(rect[0], rect[2]);
            if (mirrorY) std::swap(rect[1], rect[3]);
            SoftDrawSettings s = Settings(0, 0);
            s.drawArea = {2, 2, 10, 8};
            PutMemImgScaled(s, &target, &source, rect, 0, nullptr);
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 10; ++x) {
                    uint32_t expected = 0;
                    if (x >= 2 && x < 9 && y >= 2 && y < 7) {
                        int sx = (x - 1) / 2, sy = (y - 1) / 2;
                        if (mirrorX) sx = 3 - sx;
                        if (mirrorY) sy = 2 - sy;
                        expected = uint32_t(0x100 * sy + sx + 1);
                    }
                    EXPECT_EQ(expected, Read(target, x, y)) << x << "," << y << " mirror " << mirrorX << mirrorY;
                }
            }
        }
    }
}

TEST_F(KernelTest, ScaledPutShrinksByDroppingColumns) {
    MEMIMG &target = Make(true, 2, 1), &source = Make(true, 4, 1);
    for (int x = 0; x < 4; ++x) Write(source, x, 0, uint32_t(x + 1));
    const int rect[4] = {0, 0, 2, 1};
    PutMemImgScaled(Settings(0, 0), &target, &source, rect, 0, nullptr);
    EXPECT_EQ(1u, Read(target, 0, 0));
    EXPECT_EQ(3u, Read(target, 1, 0));
}

TEST_F(KernelTest, TwoTrianglesMapARectangleOneToOne) {
    MEMIMG &a = Make(true, 12, 10), &b = Make(true, 12, 10), &source = Make(true, 6, 5);
    Randomize(source, kDirect, true, 1);
    const TriangleVertex t1[3] = {{2, 3, 0, 0}, {8, 3, 6, 0}, {8, 8, 6, 5}};
    const TriangleVertex t2[3] = {{2, 3, 0, 0}, {8, 8, 6, 5}, {2, 8, 0, 5}};
    PutMemImgTriangle(Settings(0, 0), &a, &source, t1, 0, nullptr);
    PutMemImgTriangle(Settings(0, 0), &a, &source, t2, 0, nullptr);
    PutMemImg(Settings(0, 0), &b, &source, 2, 3, 0, nullptr);
    EXPECT_EQ(0, std::memcmp(a.base->pixelBuffer, b.base->pixelBuffer, size_t(a.base->pitch) * 10));
}

TEST_F(KernelTest, TriangleLeavesPixelsOutsideTheSourceAndCollinearVerticesAlone) {
    MEMIMG &target = Make(true, 8, 8), &source = Make(true, 2, 2);
    FillMemImg(&source, nullptr, 0x99);
    const TriangleVertex line[3] = {{0, 0, 0, 0}, {3, 3, 1, 1}, {6, 6, 2, 2}};
    PutMemImgTriangle(Settings(0, 0), &target, &source, line, 0, nullptr);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) EXPECT_EQ(0u, Read(target, x, y));
    // The source spans u 0..7 over 8 pixels but has 2 columns: only the first two are drawn.
    const TriangleVertex wide[3] = {{0, 0, 0, 0}, {8, 0, 8, 0}, {0, 8, 0, 8}};
    PutMemImgTriangle(Settings(0, 0), &target, &source, wide, 0, nullptr);
    EXPECT_EQ(0x99u, Read(target, 1, 1));
    EXPECT_EQ(0u, Read(target, 2, 0));
    EXPECT_EQ(0u, Read(target, 0, 2));
}

TEST_F(KernelTest, FillFollowsTheModeRulesWithTheColorAsSource) {
    const int modes[] = {0, 1, 2, 3, 4, 6, 10, 11};
    for (bool is32 : {false, true}) {
        for (int mode : modes) {
            for (int param : {0, 77, 128, 255}) {
                for (bool bright : {false, true}) {
                    SCOPED_TRACE(std::to_string(is32) + " mode " + std::to_string(mode) + " p " + std::to_string(param) +
                                 (bright ? " bright" : ""));
                    MEMIMG &target = Make(is32, 9, 5);
                    Randomize(target, kDirect, is32, 0);
                    std::vector<uint32_t> before;
                    for (int y = 0; y < 5; ++y)
                        for (int x = 0; x < 9; ++x) before.push_back(Read(target, x, y));
                    uint32_t color = is32 ? 0x80C0407F : 0xA5F3;
                    SoftDrawSettings s = bright ? Settings(mode, param, 200, 90, 31) : Settings(mode, param);
                    s.drawArea = {1, 1, 9, 5};
                    const MemImgRect rect = {7, 4, 0, 0};  // reversed corners
                    FillMemImgRect(s, &target, &rect, color);
                    uint32_t c = color;
                    const int b[3] = {s.brightBlue, s.brightGreen, s.brightRed};
                    for (int ch = 0; ch < 3 && bright; ++ch)
                        c = reference::Set(c, is32, ch, (reference::Get(c, is32, ch) * b[ch]) >> 8);
                    reference::PixelCase pc{is32, mode, param, {255, 255, 255}, true, false, 0, 0};
                    for (int y = 0; y < 5; ++y) {
                        for (int x = 0; x < 9; ++x) {
                            uint32_t d = before[y * 9 + x], expected = d;
                            if (x >= 1 && x < 7 && y >= 1 && y < 4) {
                                // The fill's alpha rule is the signed-product one, as for an opaque pixel
                                // of an alpha source.
                                expected = reference::Pixel(pc, d, c, c, 255);
                                if (!is32) expected &= 0xFFFF;
                            }
                            ASSERT_EQ(expected, Read(target, x, y)) << x << "," << y;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(KernelTest, FillDrawsNothingOnAlphaOrIndexedTargets) {
    MEMIMG &alpha = Make(true, 2, 2, kAlpha), &indexed = Make(true, 2, 2, kIndexed);
    FillMemImgRect(Settings(0, 0), &alpha, nullptr, 0x12345678);
    FillMemImgRect(Settings(0, 0), &indexed, nullptr, 0x12);
    EXPECT_EQ(0u, Read(alpha, 1, 1));
    EXPECT_EQ(0u, Read(indexed, 1, 1));
}

TEST(BlendTables, TablesTruncateTowardZero) {
    BuildBlendTables();
    EXPECT_EQ(0, SignedMulTableRow(128)[-1]);
    EXPECT_EQ(-127, SignedMulTableRow(128)[-254]);
    EXPECT_EQ(127, SignedMulTableRow(128)[254]);
    EXPECT_EQ(200, MulTableRow(255)[200]);
    EXPECT_EQ(99, MulTableRow(128)[199]);
    EXPECT_EQ(31, Lerp6Plane(63)[31 * 64 + 0]);
    EXPECT_EQ(15, Lerp6Plane(32)[31 * 64 + 0]);  // 31 * 32 / 63 = 15.7
}

TEST(BlendTables, BlendImageRampBand) {
    BuildBlendImageRamp(0, 255);
    for (int i = 0; i < 256; ++i) EXPECT_EQ(255, BlendImageRamp()[i]);
    BuildBlendImageRamp(255, 0);  // a band one value wide at the top
    EXPECT_EQ(1, BlendImageRamp()[255]);
    EXPECT_EQ(0, BlendImageRamp()[254]);
    BuildBlendImageRamp(128, 63);  // r1 = 64, q = 1280, off = 640: 4 i - 384
    EXPECT_EQ(0, BlendImageRamp()[96]);
    EXPECT_EQ(4, BlendImageRamp()[97]);
    EXPECT_EQ(252, BlendImageRamp()[159]);
    EXPECT_EQ(255, BlendImageRamp()[160]);
}

}  // namespace
}  // namespace zq
