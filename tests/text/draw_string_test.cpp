// String drawing on the virtual host: the pixels of the four font types against a reference built
// straight from the glyph service's bitmaps, the direct and work-image paths on the screen, the
// calls with the default font, eviction during a draw, failures, and the on-screen log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/log.h"
#include "graphics/draw_state.h"
#include "graphics/kernels.h"
#include "graphics/memimg.h"
#include "graphics/screen.h"
#include "log_file_fixture.h"
#include "platform/glyphs_freetype.h"
#include "text/draw_string.h"
#include "text/font.h"

namespace {

using zq::MEMIMG;
using zq::MEMIMG_RGB16;
using zq::MEMIMG_RGB32;

std::string Sjis(const char *utf8) {
    char out[8192];
    Utf8ToShiftJis(utf8, out, sizeof out);
    return out;
}

// Reference edge masks: the pixels around a body pixel at distance d (dx^2 + dy^2) that an edge of
// this size covers.
bool InEdge(int size, int dx, int dy) {
    const int d = dx * dx + dy * dy;
    switch (size) {
        case 1: return d == 1;
        case 2: return d <= 5;
        case 3: return d <= 9;
        case 4: return d <= 20;
        default: return true;
    }
}

struct Layout {
    int colorType, hasAlpha;
    const char *name;
};

// Expected pixels of one character drawn with its top-left at (x, y) into an image of w x h that
// starts as `background`, computed from the glyph service and the pixel table of each font type.
std::vector<uint32_t> Reference(int type, int size, int edge, uint32_t unicode, int x, int y, int w, int h,
                                uint32_t text, uint32_t edgeColor, const Layout &layout, uint32_t background) {
    auto &service = zq::SharedGlyphService();
    const int face = service.CreateFontFace("", size, 600, false);
    zq::FontMetrics fm;
    service.ReadFontMetrics(face, &fm);
    const bool levels = type & 2;
    zq::GlyphMetrics g;
    const auto format = levels ? zq::GlyphFormat::Levels17 : zq::GlyphFormat::Mono;
    const int bytes = service.RenderGlyph(face, unicode, format, &g, nullptr, 0);
    std::vector<uint8_t> bitmap(bytes);
    service.RenderGlyph(face, unicode, format, &g, bitmap.data(), bytes);
    service.ReleaseFontFace(face);
    const int pitch = bytes / g.blackBoxY;
    const int e = (type & 1) ? edge : 0;

    // Coverage (level 0..16, or 0/16 for bits) of body and edge on the target.
    std::vector<int> body(w * h, 0), rim(w * h, 0);
    const int left = x + g.originX + e, top = y + fm.ascent - g.originY + e;
    for (int gy = 0; gy < g.blackBoxY; ++gy) {
        for (int gx = 0; gx < g.blackBoxX; ++gx) {
            const int level = levels ? bitmap[gy * pitch + gx] : ((bitmap[gy * pitch + gx / 8] >> (7 - gx % 8)) & 1) * 16;
            if (level == 0) continue;
            body[(top + gy) * w + left + gx] = level;
            if (!(type & 1)) continue;
            for (int dy = -e; dy <= e; ++dy)
                for (int dx = -e; dx <= e; ++dx)
                    if (InEdge(e, dx, dy)) {
                        int &r = rim[(top + gy + dy) * w + left + gx + dx];
                        if (level > r) r = level;
                    }
        }
    }
    const bool is32 = layout.colorType == MEMIMG_RGB32;
    auto withAlpha = [&](uint32_t color, int alpha) -> uint32_t {
        if (is32) return (color & 0xFFFFFF) | static_cast<uint32_t>(alpha) << 24;
        return (color & 0xFFFF) | static_cast<uint32_t>(alpha) << 16;
    };
    auto mix = [&](uint32_t from, uint32_t to, int weight) {
        const int shifts32[3] = {16, 8, 0}, masks32[3] = {255, 255, 255};
        const int shifts16[3] = {11, 5, 0}, masks16[3] = {31, 63, 31};
        uint32_t out = 0;
        for (int i = 0; i < 3; ++i) {
            const int s = is32 ? shifts32[i] : shifts16[i], m = is32 ? masks32[i] : masks16[i];
            const int a = (from >> s) & m, b = (to >> s) & m;
            out |= static_cast<uint32_t>(a + (((b - a) * weight) >> 8)) << s;
        }
        return out;
    };
    std::vector<uint32_t> out(w * h, background);
    for (int i = 0; i < w * h; ++i) {
        const int b = body[i], r = rim[i];
        switch (type) {
            case 0:
                if (b) out[i] = text;
                break;
            case 1:
                if (b) out[i] = text;
                else if (r) out[i] = is32 ? edgeColor & 0xFFFFFF : edgeColor;
                break;
            case 2:
                if (b > 1) out[i] = withAlpha(text, b == 16 ? 255 : 16 * (b - 1));
                break;
            case 3: {
                const int B = b ? b - 1 : 0, E = r ? r - 1 : 0;
                if (B == 15) {
                    out[i] = withAlpha(text, 255);
                } else if (B > 0) {
                    const int a = E * (15 - B) + 16 * B;
                    out[i] = withAlpha(mix(edgeColor, text, B * 4096 / a), a);
                } else if (E > 0) {
                    out[i] = withAlpha(edgeColor, 16 * E);
                }
                break;
            }
        }
    }
    return out;
}

class DrawStringTest : public LogFileTest {
protected:
    uint32_t ScreenPixel(int x, int y) {
        const MEMIMG *s = zq::ScreenImage();
        const int bytes = zq::MemImgBytesPerPixel(*s->base);
        uint32_t v = 0;
        std::memcpy(&v, s->pixels + y * s->base->pitch + x * bytes, bytes);
        return v;
    }
    // The screen's pixels of a rectangle, row by row.
    std::vector<uint32_t> ScreenRect(int x, int y, int w, int h) {
        std::vector<uint32_t> v;
        for (int j = y; j < y + h; ++j)
            for (int i = x; i < x + w; ++i) v.push_back(ScreenPixel(i, j));
        return v;
    }
    int InkPixels(int x, int y, int w, int h) {
        int n = 0;
        for (uint32_t p : ScreenRect(x, y, w, h)) n += p != 0;
        return n;
    }
};

TEST_F(DrawStringTest, EachFontTypeMatchesTheReferencePixels) {
    Start();
    for (const int bits : {16, 32}) {
        // Colors are screen colors: the images drawn into share the screen's depth.
        ASSERT_EQ(SetScreenMode(640, 480, bits, 60), 0);
        const Layout layouts[] = {{MEMIMG_RGB16, 0, "16-bit"}, {MEMIMG_RGB32, 0, "32-bit"},
                                  {MEMIMG_RGB16, 1, "16-bit alpha"}, {MEMIMG_RGB32, 1, "32-bit alpha"}};
        struct Case {
            int type, edge;
        };
        const int w = 90, h = 70, size = 40;
        for (const Case c : {Case{0, 1}, Case{1, 1}, Case{1, 3}, Case{1, 4}, Case{2, 1}, Case{3, 1}, Case{3, 2}, Case{3, 5}}) {
            const int handle = CreateFontToHandle(nullptr, size, 6, c.type, -1, c.edge, 0, -1, -1);
            ASSERT_GE(handle, 0);
            for (const Layout &layout : layouts) {
                // The anti-aliased types draw into alpha images, the others into plain ones.
                const bool is32 = layout.colorType == MEMIMG_RGB32;
                if ((layout.hasAlpha != 0) != ((c.type & 2) != 0) || is32 != (bits == 32)) continue;
                const uint32_t text = is32 ? 0xFFE03010u : 0xE186u, edge = is32 ? 0xFF20C0F0u : 0x263Eu;
                const uint32_t background = layout.hasAlpha ? 0 : (is32 ? 0x00102030u : 0x1234u);
                for (const char *ch : {"ガ", "g"}) {
                    SCOPED_TRACE(testing::Message() << "type " << c.type << " edge " << c.edge << " " << layout.name << " " << ch);
                    MEMIMG image = {};
                    ASSERT_EQ(zq::CreateMemImg(&image, w, h, -1, 0, layout.colorType, 0, layout.hasAlpha, 0, nullptr), 0);
                    zq::FillMemImg(&image, nullptr, background);
                    const std::string s = Sjis(ch);
                    ASSERT_GT(zq::DrawStringCore(1, 7, 5, s.c_str(), text, &image, nullptr, handle, edge, -1, nullptr), 0);
                    const uint32_t unicode = std::strcmp(ch, "g") == 0 ? 'g' : 0x30AC;
                    const auto expected = Reference(c.type, size, c.edge, unicode, 7, 5, w, h, text, edge, layout, background);
                    const int bytes = zq::MemImgBytesPerPixel(*image.base);
                    int mismatches = 0, ink = 0;
                    for (int y = 0; y < h; ++y) {
                        for (int x = 0; x < w; ++x) {
                            uint32_t v = 0;
                            std::memcpy(&v, image.pixels + y * image.base->pitch + x * bytes, bytes);
                            ink += v != background;
                            if (v != expected[y * w + x] && mismatches++ < 3) {
                                ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << v << " not " << expected[y * w + x];
                            }
                        }
                    }
                    EXPECT_EQ(mismatches, 0);
                    EXPECT_GT(ink, 30);
                    zq::ReleaseMemImg(&image);
                }
            }
            DeleteFontHandle(handle);
        }
    }
}

TEST_F(DrawStringTest, ClippedGlyphsKeepTheReferencePixelsInsideTheClip) {
    Start();
    // Clip edges at every bit offset of a 1-bit row and across the edge margins.
    const zq::MemImgRect clips[] = {{10, 8, 37, 33}, {0, 0, 19, 70}, {23, 11, 90, 70}, {13, 0, 14, 70},
                                    {0, 20, 90, 21}, {31, 9, 52, 60}, {9, 5, 66, 46}};
    const int w = 90, h = 70, size = 40;
    for (const int type : {0, 1, 2, 3}) {
        const int edgeSize = (type & 1) ? 2 : 1;  // a larger edge would turn the edge on
        const int handle = CreateFontToHandle(nullptr, size, 6, type, -1, edgeSize, 0, -1, -1);
        ASSERT_GE(handle, 0);
        ASSERT_EQ(zq::ValidFont(handle)->type, type);
        const int colorType = MEMIMG_RGB16, hasAlpha = (type & 2) ? 1 : 0;
        const Layout layout = {colorType, hasAlpha, "16-bit"};
        const uint32_t text = 0xE186u, edge = 0x263Eu, background = hasAlpha ? 0 : 0x1234u;
        const auto expected = Reference(type, size, edgeSize, 0x30AC, 7, 5, w, h, text, edge, layout, background);
        const std::string s = Sjis("ガ");
        for (const zq::MemImgRect &clip : clips) {
            SCOPED_TRACE(testing::Message() << "type " << type << " clip " << clip.left << "," << clip.top << "," << clip.right
                                            << "," << clip.bottom);
            MEMIMG image = {};
            ASSERT_EQ(zq::CreateMemImg(&image, w, h, -1, 0, colorType, 0, hasAlpha, 0, nullptr), 0);
            zq::FillMemImg(&image, nullptr, background);
            zq::DrawStringCore(1, 7, 5, s.c_str(), text, &image, &clip, handle, edge, -1, nullptr);
            int mismatches = 0;
            for (int y = 0; y < h; ++y) {
                for (int x = 0; x < w; ++x) {
                    const bool inside = x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
                    const uint32_t want = inside ? expected[y * w + x] : background;
                    uint32_t v = 0;
                    std::memcpy(&v, image.pixels + y * image.base->pitch + x * zq::MemImgBytesPerPixel(*image.base),
                                zq::MemImgBytesPerPixel(*image.base));
                    if (v != want && mismatches++ < 3) ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << v;
                }
            }
            EXPECT_EQ(mismatches, 0);
            zq::ReleaseMemImg(&image);
        }
        DeleteFontHandle(handle);
    }
}

// Anti-aliased strings drawn on the screen are exactly the work-image form: the string drawn at
// (0, 0) into an alpha image filled with key 0, and that image drawn onto the screen at the string's
// position with the key, clipped to the string's size and the draw area, at white brightness.
TEST_F(DrawStringTest, AntiAliasedStringsEqualTheWorkImageForm) {
    Start();
    SetDrawTarget(SCREEN_BACK);
    const std::string texts[] = {Sjis("総合殺人数 1234人"), Sjis("ガズモ Wfij AVAV")};
    struct Case {
        int type, spacing, blendMode, blendParam, bright, x, y;
        zq::MemImgRect area;
    };
    // Spacing -14 makes glyphs overlap: those strings must keep the work image, where a later glyph
    // replaces an earlier one's pixels instead of blending over them.
    const Case cases[] = {
        {2, 0, BLEND_NONE, 0, 255, 10, 12, {0, 0, 640, 480}},  {2, 0, BLEND_ALPHA, 255, 255, -9, -7, {0, 0, 640, 480}},
        {2, 0, BLEND_NONE, 0, 150, 20, 30, {25, 33, 140, 45}}, {2, -14, BLEND_NONE, 0, 255, 10, 12, {0, 0, 640, 480}},
        {3, 0, BLEND_NONE, 0, 255, 10, 12, {0, 0, 640, 480}},  {3, 0, BLEND_NONE, 0, 200, 600, 470, {0, 0, 640, 480}},
        {3, -14, BLEND_NONE, 0, 255, 3, 4, {0, 0, 640, 480}},  {2, 0, BLEND_ALPHA, 128, 255, 10, 12, {0, 0, 640, 480}},
    };
    for (const int bits : {16, 32}) {
        ASSERT_EQ(SetScreenMode(640, 480, bits, 60), 0);
        SetDrawTarget(SCREEN_BACK);
        MEMIMG *screen = zq::ScreenImage();
        const int bytes = zq::MemImgBytesPerPixel(*screen->base);
        const uint32_t color = MakeColor(250, 40, 90), edgeColor = MakeColor(20, 200, 230);
        for (const Case &c : cases) {
            const int handle = CreateFontToHandle(nullptr, 24, 6, c.type, -1, -1, 0, -1, -1);
            ASSERT_GE(handle, 0);
            SetFontCharSpacing(c.spacing, handle);
            for (const std::string &text : texts) {
                SCOPED_TRACE(testing::Message() << bits << " bits, type " << c.type << " spacing " << c.spacing << " blend "
                                                << c.blendMode << "/" << c.blendParam << " at " << c.x << "," << c.y);
                // A background where every pixel differs from its neighbours, so every blend shows.
                uint32_t seed = 12345;
                for (int y = 0; y < screen->height; ++y) {
                    for (int x = 0; x < screen->width; ++x) {
                        seed = seed * 1103515245u + 12345u;
                        const uint32_t v = bits == 16 ? (seed >> 16) : ((seed >> 8) | 0xFF000000u);
                        std::memcpy(screen->pixels + y * screen->base->pitch + x * bytes, &v, bytes);
                    }
                }
                std::vector<uint8_t> background(640 * 480 * bytes);
                for (int y = 0; y < 480; ++y) std::memcpy(&background[y * 640 * bytes], screen->pixels + y * screen->base->pitch, 640 * bytes);
                MEMIMG expected = {};
                ASSERT_EQ(zq::CreateMemImg(&expected, 640, 480, -1, 0, screen->base->colorType, 0, 0, 0, nullptr), 0);
                ASSERT_EQ(zq::CopyMemImg(&expected, screen, nullptr, 0, 0), 0);

                SetBlendMode(c.blendMode, c.blendParam);
                SetDrawBrightness(c.bright, c.bright, c.bright);
                zq::SetDrawAreaDirect(c.area);
                ASSERT_EQ(DrawStringWithFont(c.x, c.y, text.c_str(), color, handle, edgeColor), 0);

                int size[2];
                ASSERT_GT(zq::DrawStringCore(0, 0, 0, text.c_str(), color, nullptr, nullptr, handle, edgeColor, -1, size), 0);
                MEMIMG work = {};
                ASSERT_EQ(zq::CreateMemImg(&work, 640, 480, -1, 0, screen->base->colorType, 0, 1, 0, nullptr), 0);
                const zq::MemImgRect area = {0, 0, size[0] < 640 ? size[0] : 640, size[1]};
                zq::FillMemImg(&work, &area, 0);
                zq::DrawStringCore(1, 0, 0, text.c_str(), color, &work, &area, handle, edgeColor, -1, nullptr);
                zq::SoftDrawSettings put = zq::CurrentSoftDrawSettings();
                put.drawArea = {c.x > c.area.left ? c.x : c.area.left, c.y > c.area.top ? c.y : c.area.top,
                                c.x + area.right < c.area.right ? c.x + area.right : c.area.right,
                                c.y + area.bottom < c.area.bottom ? c.y + area.bottom : c.area.bottom};
                put.brightRed = put.brightGreen = put.brightBlue = 255;
                if (put.drawArea.left < put.drawArea.right && put.drawArea.top < put.drawArea.bottom) {
                    zq::PutMemImg(put, &expected, &work, c.x, c.y, 1, nullptr);
                }
                SetBlendMode(BLEND_NONE, 0);
                SetDrawBrightness(255, 255, 255);
                zq::SetDrawAreaDirect({0, 0, 640, 480});

                int mismatches = 0, changed = 0;
                for (int y = 0; y < 480; ++y) {
                    const uint8_t *got = screen->pixels + y * screen->base->pitch;
                    const uint8_t *want = expected.pixels + y * expected.base->pitch;
                    for (int x = 0; x < 640; ++x) {
                        uint32_t g = 0, e = 0;
                        std::memcpy(&g, got + x * bytes, bytes);
                        std::memcpy(&e, want + x * bytes, bytes);
                        if (g != e && mismatches++ < 3) ADD_FAILURE() << "pixel " << x << "," << y << " is " << std::hex << g << " not " << e;
                        changed += std::memcmp(got + x * bytes, background.data() + (y * 640 + x) * bytes, bytes) != 0;
                    }
                }
                EXPECT_EQ(mismatches, 0);
                EXPECT_GT(changed, 20);  // the string was drawn
                zq::ReleaseMemImg(&work);
                zq::ReleaseMemImg(&expected);
            }
            DeleteFontHandle(handle);
        }
    }
}

TEST_F(DrawStringTest, AntiAliasedTextOnTheScreenBlendsThroughTheAlphaWorkImage) {
    Start();
    SetDefaultFontType(FONT_TYPE_ANTIALIAS);
    SetDefaultFontSize(64);
    const uint32_t red = MakeColor(255, 0, 0);
    ASSERT_EQ(DrawStringAt(20, 30, Sjis("ガズモ").c_str(), red, 0), 0);
    int full = 0, partial = 0;
    for (uint32_t p : ScreenRect(20, 30, 200, 64)) {
        if (p == red) ++full;
        else if (p != 0) {
            ++partial;
            EXPECT_EQ(p & 0x07FF, 0u) << std::hex << p;  // blends of red over black stay red
        }
    }
    EXPECT_GT(full, 300);
    EXPECT_GT(partial, 50);
    EXPECT_EQ(InkPixels(0, 0, 640, 29), 0);
    EXPECT_EQ(InkPixels(0, 95, 640, 385), 0);
    EXPECT_EQ(InkPixels(0, 0, 19, 480), 0);
}

TEST_F(DrawStringTest, BlendingAndBrightnessApplyToTheWholeString) {
    Start();
    const int h = CreateFontToHandle(nullptr, 24, -1, FONT_TYPE_NORMAL, -1, -1, 0, -1, -1);
    const uint32_t white = MakeColor(255, 255, 255);
    const uint32_t grey = MakeColor(128, 128, 128);
    const zq::MemImgRect all = {0, 0, 640, 480};
    zq::FillMemImg(zq::ScreenImage(), &all, 0);
    ASSERT_EQ(DrawStringWithFont(0, 0, "W", white, h, 0), 0);  // direct path
    const auto direct = ScreenRect(0, 0, 30, 30);

    zq::FillMemImg(zq::ScreenImage(), &all, 0);
    SetDrawBrightness(128, 128, 128);
    DrawStringWithFont(0, 0, "W", white, h, 0);
    SetDrawBrightness(255, 255, 255);
    const auto dim = ScreenRect(0, 0, 30, 30);

    zq::FillMemImg(zq::ScreenImage(), &all, 0);
    SetBlendMode(BLEND_ALPHA, 128);  // through the plain work image and its color key
    DrawStringWithFont(0, 0, "W", white, h, 0);
    SetBlendMode(BLEND_NONE, 0);
    const auto blended = ScreenRect(0, 0, 30, 30);

    int ink = 0;
    for (size_t i = 0; i < direct.size(); ++i) {
        if (direct[i] == 0) {
            EXPECT_EQ(dim[i], 0u);
            EXPECT_EQ(blended[i], 0u);
            continue;
        }
        ++ink;
        EXPECT_EQ(direct[i], white);
        EXPECT_EQ(dim[i], grey);
        int r, g, b;
        SplitColor(blended[i], &r, &g, &b);
        EXPECT_NEAR(r, 128, 8);
    }
    EXPECT_GT(ink, 40);
    // The draw area and brightness in force before the call are in force after it.
    EXPECT_EQ(zq::CurrentSoftDrawSettings().drawArea.right, 640);
    EXPECT_EQ(zq::CurrentSoftDrawSettings().brightRed, 255);
}

TEST_F(DrawStringTest, FormattedTextMatchesThePlainTextAndIsBoundedToItsBuffer) {
    Start();
    const uint32_t color = MakeColor(200, 255, 100);
    const zq::MemImgRect all = {0, 0, 640, 480};
    ASSERT_EQ(DrawStringAt(10, 10, "HP 1000", color, 0), 0);
    const auto plain = ScreenRect(0, 0, 200, 40);
    zq::FillMemImg(zq::ScreenImage(), &all, 0);
    ASSERT_EQ(DrawFormattedString(10, 10, color, "HP %d", 1000), 0);
    EXPECT_EQ(ScreenRect(0, 0, 200, 40), plain);
    EXPECT_GT(InkPixels(0, 0, 200, 40), 50);

    const std::string huge(5000, 'x');
    EXPECT_EQ(DrawFormattedString(0, 100, color, "%s%s", huge.c_str(), "tail"), 0);
    const int handle = GetDefaultFontHandle();
    const int advance = zq::DrawStringCore(0, 0, 0, "x", 0, nullptr, nullptr, handle, 0, -1, nullptr);
    EXPECT_EQ(zq::DrawStringCore(0, 0, 0, huge.c_str(), 0, nullptr, nullptr, handle, 0, 2047, nullptr), 2047 * advance);
}

TEST_F(DrawStringTest, ControlBytesAreGlyphsOnTheSameLine) {
    Start();
    const int h = GetDefaultFontHandle();
    int size[2];
    const int one = zq::DrawStringCore(0, 0, 0, "A", 0, nullptr, nullptr, h, 0, -1, nullptr);
    const int lf = zq::DrawStringCore(0, 0, 0, "\n", 0, nullptr, nullptr, h, 0, -1, nullptr);
    EXPECT_EQ(zq::DrawStringCore(0, 0, 0, "A\nB", 0, nullptr, nullptr, h, 0, -1, size), 2 * one + lf);
    EXPECT_EQ(size[0], 2 * one + lf);
    EXPECT_EQ(size[1], zq::ValidFont(h)->cellHeight);
    DrawStringAt(0, 0, "A\nB", MakeColor(255, 255, 255), 0);
    EXPECT_GT(InkPixels(2 * one + lf - 2, 0, 20, 20), 0);  // B on the first line
    EXPECT_EQ(InkPixels(0, 20, 100, 30), 0);               // nothing below it
    // A lead byte at the very end does not swallow the terminator.
    const char lone[] = {'A', static_cast<char>(0x82), 0};
    EXPECT_GE(zq::DrawStringCore(0, 0, 0, lone, 0, nullptr, nullptr, h, 0, -1, nullptr), one);
}

TEST_F(DrawStringTest, MoreDistinctCharactersThanSlotsAreAllDrawn) {
    Start();
    const int h = CreateFontToHandle(nullptr, 120, -1, FONT_TYPE_NORMAL, -1, -1, 0, -1, -1);
    ASSERT_EQ(zq::ValidFont(h)->slotCount, 20);
    // 26 distinct characters, then the first ones again (evicted meanwhile), longer than 256 bytes.
    std::string text = "ABCDEFGHIJKLMNOPQRSTUVWXYZABC";
    while (text.size() <= 300) text += "ab";
    const int advance = zq::DrawStringCore(0, 0, 0, "A", 0, nullptr, nullptr, h, 0, -1, nullptr);
    const uint32_t white = MakeColor(255, 255, 255);
    const zq::MemImgRect all = {0, 0, 640, 480};
    // Five characters at a time are what fit; compare each window of the long string with the
    // same characters drawn on their own by a fresh font.
    for (size_t start = 0; start < 29; start += 5) {
        zq::FillMemImg(zq::ScreenImage(), &all, 0);
        ASSERT_EQ(DrawStringWithFont(-static_cast<int>(start) * advance, 0, text.c_str(), white, h, 0), 0);
        const auto whole = ScreenRect(0, 0, 5 * advance, 130);
        zq::FillMemImg(zq::ScreenImage(), &all, 0);
        const int fresh = CreateFontToHandle(nullptr, 120, -1, FONT_TYPE_NORMAL, -1, -1, 0, -1, -1);
        DrawStringWithFont(0, 0, text.substr(start, 5).c_str(), white, fresh, 0);
        DeleteFontHandle(fresh);
        EXPECT_EQ(ScreenRect(0, 0, 5 * advance, 130), whole) << "characters from " << start;
    }
}

TEST_F(DrawStringTest, InvalidHandleDrawsNothingAndLogs) {
    Start();
    const size_t mark = ReadLog().size();
    EXPECT_EQ(DrawStringWithFont(0, 0, "A", MakeColor(255, 255, 255), 0x20000027, 0), -1);
    EXPECT_NE(LogSince(mark).find(Sjis("フォントハンドル値が異常です")), std::string::npos);
    EXPECT_EQ(InkPixels(0, 0, 50, 50), 0);
    EXPECT_EQ(DrawStringWithFont(0, 0, "", 0, 0x20000027, 0), 0);  // empty strings are not checked
    EXPECT_EQ(DrawStringAt(0, 0, nullptr, 0, 0), 0);
}

TEST_F(DrawStringTest, OnScreenLogIsDrawnWithAnEdgeOverThePresentedPicture) {
    Start();
    SetDrawTarget(SCREEN_BACK);
    ClearDrawTarget();
    zq::AddOnScreenLog("line one");
    zq::AddOnScreenLog("line two");
    ASSERT_EQ(FlipScreen(), 0);
    const uint32_t white = MakeColor(255, 255, 255);
    int whiteTop = 0, whiteSecond = 0, below = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 100; ++x) {
            const uint32_t p = host.PresentedPixel(x, y);
            whiteTop += y < 16 && p == white;
            whiteSecond += y >= 16 && y < 32 && p == white;
            below += y >= 34 && p != 0;
        }
    EXPECT_GT(whiteTop, 20);
    EXPECT_GT(whiteSecond, 20);
    EXPECT_EQ(below, 0);
}

}  // namespace
