// The graph drawing operations on the 16- and 32-bit screen of the virtual host: every drawn
// screen pixel is compared with the plain reference rule of the kernels for opaque, keyed and
// alpha pictures, each blend mode, brightness, clipping at every edge, mirroring and stretching,
// quads, partial draws and blend images; stale and foreign handles draw nothing; drawable graphs
// as targets, filling and copying the screen into a graph.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/handles.h"
#include "graphics/blend_tables.h"
#include "graphics/draw_state.h"
#include "graphics/graph.h"
#include "graphics/screen.h"
#include "kernel_reference.h"
#include "virtual_library.h"

namespace {

using zq::MEMIMG;
using zq::StandardImage;

enum PictureKind { kOpaque, kKeyed, kAlpha };
const char *const kKindNames[] = {"opaque", "keyed", "alpha"};

uint32_t ReadPixel(const MEMIMG &m, int x, int y) {
    const int bytes = zq::MemImgBytesPerPixel(*m.base);
    uint32_t v = 0;
    std::memcpy(&v, m.pixels + y * m.base->pitch + x * bytes, bytes);
    return v;
}

void WritePixel(MEMIMG &m, int x, int y, uint32_t v) {
    const int bytes = zq::MemImgBytesPerPixel(*m.base);
    std::memcpy(m.pixels + y * m.base->pitch + x * bytes, &v, bytes);
}

// Where a target pixel takes its source pixel from, if it is drawn at all.
struct SourcePoint {
    int x, y;
};
using Mapping = std::function<std::optional<SourcePoint>(int x, int y)>;

Mapping At(int left, int top, int width, int height) {
    return [=](int x, int y) -> std::optional<SourcePoint> {
        if (x < left || y < top || x >= left + width || y >= top + height) return std::nullopt;
        return SourcePoint{x - left, y - top};
    };
}

class DrawGraphTest : public VirtualLibraryTest {
protected:
    // Runs the body on a started library with a 16-bit screen, then again with a 32-bit one.
    template <class Body>
    void ForBothDepths(Body body) {
        for (int bits : {16, 32}) {
            SCOPED_TRACE(std::to_string(bits) + " bits");
            bits_ = bits;
            SetScreenMode(640, 480, bits, 60);
            Start();
            ASSERT_EQ(SetDrawTarget(SCREEN_BACK), 0);
            body();
            EndLibrary();
        }
    }

    bool Is32() const { return bits_ == 32; }
    MEMIMG &Screen() { return *zq::ScreenImage(); }

    // A picture of random colors: keyed ones have about a quarter pure green and some colors that
    // differ from it only in bits a 16-bit screen drops; alpha ones have alpha 0, 255 or between.
    int MakePicture(PictureKind kind, int width, int height) {
        StandardImage image{};
        if (kind == kAlpha) zq::CreateImageARGB8(width, height, &image);
        else zq::CreateImageXRGB8(width, height, &image);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                int r = int(rng_() & 0xFF), g = int(rng_() & 0xFF), b = int(rng_() & 0xFF), a = 255;
                const int pick = int(rng_() % 8);
                if (kind == kKeyed && pick < 2) r = 0, g = 255, b = 0;
                if (kind == kKeyed && pick == 2) r = 5, g = 253, b = 7;
                if (kind == kAlpha) a = pick < 2 ? 0 : (pick < 4 ? 255 : int(rng_() & 0xFF));
                zq::SetImagePixel(&image, x, y, r, g, b, a);
            }
        }
        const int handle = zq::MakeGraphFromImage(&image, nullptr);
        zq::ReleaseImage(&image);
        EXPECT_NE(handle, -1);
        return handle;
    }

    // A blend graph of random weights.
    int MakeBlendGraph(int width, int height) {
        zq::GraphMakingSettings saved = zq::GetGraphMakingSettings(), blend = saved;
        blend.newGraphBlend = 1;
        zq::SetGraphMakingSettings(blend);
        StandardImage image{};
        zq::CreateImageXRGB8(width, height, &image);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) zq::SetImagePixel(&image, x, y, int(rng_() & 0xFF), 0, 0, 255);
        const int handle = zq::MakeGraphFromImage(&image, nullptr);
        zq::ReleaseImage(&image);
        zq::SetGraphMakingSettings(saved);
        EXPECT_NE(handle, -1);
        return handle;
    }

    // Random screen pixels, and a copy of them.
    void RandomizeScreen() {
        before_.clear();
        for (int y = 0; y < Screen().height; ++y) {
            for (int x = 0; x < Screen().width; ++x) {
                const uint32_t v = Is32() ? rng_() : rng_() & 0xFFFF;
                WritePixel(Screen(), x, y, v);
                before_.push_back(ReadPixel(Screen(), x, y));
            }
        }
    }

    // Compares every screen pixel with the reference rule applied to the pixels saved by
    // RandomizeScreen: pixels the mapping leaves out, or that lie outside the area, are unchanged.
    void ExpectScreen(int handle, int trans, const Mapping &mapping, const zq::MemImgRect &area,
                      const std::string &what, int blendHandle = -1) {
        SCOPED_TRACE(what);
        const MEMIMG *graph = handle != -1 ? zq::GraphImage(handle) : nullptr;
        const MEMIMG *blend = blendHandle != -1 ? zq::GraphImage(blendHandle) : nullptr;
        const zq::SoftDrawSettings &s = zq::CurrentSoftDrawSettings();
        const bool hasAlpha = graph != nullptr && graph->base->hasAlpha != 0;
        zq::reference::PixelCase pc{Is32(), s.blendMode, s.blendParam, {s.brightBlue, s.brightGreen, s.brightRed},
                                    trans != 0, blend != nullptr, 0, graph ? graph->base->transColor : 0};
        int mismatches = 0;
        for (int y = 0; y < Screen().height && mismatches < 3; ++y) {
            for (int x = 0; x < Screen().width && mismatches < 3; ++x) {
                const uint32_t d = before_[size_t(y) * Screen().width + x];
                uint32_t expected = d;
                const auto p = mapping(x, y);
                if (p && graph && x >= area.left && x < area.right && y >= area.top && y < area.bottom) {
                    uint32_t raw = ReadPixel(*graph, p->x, p->y);
                    if (blend) pc.weight = zq::BlendImageRamp()[ReadPixel(*blend, p->x, p->y)];
                    const int alpha = !hasAlpha ? -1 : (Is32() ? int(raw >> 24) : int((raw >> 16) & 0xFF));
                    uint32_t color = hasAlpha && !Is32() ? raw & 0xFFFF : raw;
                    if (graph->base->usePalette) {
                        // Indexed pictures key on the index and draw their palette entry's color.
                        const int entry = Is32() ? 4 : 2;
                        raw = graph->pixels[p->y * graph->base->pitch + p->x];
                        color = 0;
                        std::memcpy(&color, graph->base->palette + raw * entry, entry);
                    }
                    expected = zq::reference::Pixel(pc, d, raw, color, alpha);
                    if (!Is32()) expected &= 0xFFFF;
                }
                const uint32_t got =
                    observed_.empty() ? ReadPixel(Screen(), x, y) : observed_[size_t(y) * Screen().width + x];
                if (got != expected) {
                    ++mismatches;
                    ADD_FAILURE() << "pixel " << x << "," << y << " before " << std::hex << d << " got " << got
                                  << " expected " << expected;
                }
            }
        }
    }

    void ExpectScreenUnchanged(const std::string &what) {
        ExpectScreen(-1, 0, [](int, int) { return std::nullopt; }, {0, 0, 0, 0}, what);
    }

    // Writes the screen with WriteDrawTargetToFile and reads the file's pixels back, so that the
    // next ExpectScreen checks what the file holds (rows are stored bottom-up).
    void CheckTheWrittenFileNext() {
        observed_.clear();
        ASSERT_EQ(WriteDrawTargetToFile("target.bmp"), 0);
        std::ifstream file("target.bmp", std::ios::binary);
        const std::vector<uint8_t> bmp((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        const int bytes = Is32() ? 4 : 2;
        const size_t dataOffset = Is32() ? 54 : 66;
        const int width = Screen().width, height = Screen().height;
        ASSERT_EQ(bmp.size(), dataOffset + size_t(width) * height * bytes);
        observed_.resize(size_t(width) * height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                uint32_t v = 0;
                std::memcpy(&v, &bmp[dataOffset + (size_t(height - 1 - y) * width + x) * bytes], bytes);
                observed_[size_t(y) * width + x] = v;
            }
        }
    }

    static constexpr zq::MemImgRect kWholeScreen = {0, 0, 640, 480};
    std::vector<uint32_t> observed_;  // pixels read back from a written file; empty: the screen's
    int bits_ = 16;
    std::mt19937 rng_{2024};
    std::vector<uint32_t> before_;
};

// Each picture kind, with and without transparency, under each blend mode at a few parameters and
// under brightness, drawn at a position inside the screen.
TEST_F(DrawGraphTest, DrawGraphAtFollowsTheReferenceRuleForEveryKindAndSetting) {
    ForBothDepths([&] {
        struct Setting {
            int mode, param;
            int bright[3];  // red, green, blue
        };
        const Setting settings[] = {
            {BLEND_NONE, 0, {255, 255, 255}},     {BLEND_ALPHA, 128, {255, 255, 255}},
            {BLEND_ALPHA, 77, {255, 255, 255}},   {BLEND_ALPHA, 300, {255, 255, 255}},
            {BLEND_ADD, 255, {255, 255, 255}},    {BLEND_ADD, 100, {255, 255, 255}},
            {BLEND_SUBTRACT, 200, {255, 255, 255}}, {BLEND_MULTIPLY, 0, {255, 255, 255}},
            {BLEND_INVERT, 150, {255, 255, 255}}, {BLEND_MULTIPLY_ALPHA, 90, {255, 255, 255}},
            {7, 128, {255, 255, 255}},            {BLEND_NONE, 0, {200, 90, 31}},
            {BLEND_ALPHA, 160, {40, 255, 130}},
        };
        for (PictureKind kind : {kOpaque, kKeyed, kAlpha}) {
            const int graph = MakePicture(kind, 48, 40);
            for (const Setting &s : settings) {
                for (int trans : {0, 1}) {
                    SetBlendMode(s.mode, s.param);
                    SetDrawBrightness(s.bright[0], s.bright[1], s.bright[2]);
                    RandomizeScreen();
                    ASSERT_EQ(DrawGraphAt(37, 21, graph, trans), 0);
                    ExpectScreen(graph, trans, At(37, 21, 48, 40), kWholeScreen,
                                 std::string(kKindNames[kind]) + " mode " + std::to_string(s.mode) + " param " +
                                     std::to_string(s.param) + " bright " + std::to_string(s.bright[0]) + " trans " +
                                     std::to_string(trans));
                }
            }
            ReleaseGraph(graph);
        }
    });
}

// Pictures reaching past each edge of the screen and of a smaller draw area show only what lies
// inside; one wholly outside draws nothing and still succeeds.
TEST_F(DrawGraphTest, DrawingIsClippedAtEveryEdgeOfTheDrawArea) {
    ForBothDepths([&] {
        const int graph = MakePicture(kKeyed, 50, 30);
        struct Case {
            int x, y;
            zq::MemImgRect area;
        };
        const zq::MemImgRect inner = {100, 80, 300, 200};
        const Case cases[] = {
            {-10, 50, kWholeScreen}, {615, 50, kWholeScreen}, {50, -7, kWholeScreen}, {50, 465, kWholeScreen},
            {-40, -20, kWholeScreen}, {620, 470, kWholeScreen}, {-100, -100, kWholeScreen}, {700, 10, kWholeScreen},
            {80, 70, inner},          {270, 190, inner},       {150, 60, inner},        {90, 150, inner},
            {0, 0, inner},
        };
        for (const Case &c : cases) {
            SetClipArea(c.area.left, c.area.top, c.area.right, c.area.bottom);
            for (int trans : {0, 1}) {
                RandomizeScreen();
                ASSERT_EQ(DrawGraphAt(c.x, c.y, graph, trans), 0);
                ExpectScreen(graph, trans, At(c.x, c.y, 50, 30), c.area,
                             "at " + std::to_string(c.x) + "," + std::to_string(c.y) + " area " +
                                 std::to_string(c.area.left) + " trans " + std::to_string(trans));
            }
        }
    });
}

// Stretching by whole factors, reversed corners and DrawGraphMirrored, each with a blend mode.
TEST_F(DrawGraphTest, StretchedAndMirroredDrawsMapEveryPixel) {
    ForBothDepths([&] {
        const int graph = MakePicture(kKeyed, 30, 20);
        struct Case {
            const char *name;
            std::function<int()> draw;
            Mapping mapping;
        };
        const Case cases[] = {
            {"doubled", [&] { return DrawGraphStretched(10, 12, 70, 52, graph, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 10 || y < 12 || x >= 70 || y >= 52) return std::nullopt;
                 return SourcePoint{(x - 10) / 2, (y - 12) / 2};
             }},
            {"graph size", [&] { return DrawGraphStretched(5, 6, 35, 26, graph, 1); }, At(5, 6, 30, 20)},
            {"mirrored by corners", [&] { return DrawGraphStretched(130, 0, 100, 20, graph, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 100 || y < 0 || x >= 130 || y >= 20) return std::nullopt;
                 return SourcePoint{129 - x, y};
             }},
            {"upside down", [&] { return DrawGraphStretched(200, 60, 230, 40, graph, 0); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 200 || y < 40 || x >= 230 || y >= 60) return std::nullopt;
                 return SourcePoint{x - 200, 59 - y};
             }},
            {"DrawGraphMirrored at the left edge", [&] { return DrawGraphMirrored(-12, 300, graph, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < -12 || y < 300 || x >= 18 || y >= 320) return std::nullopt;
                 return SourcePoint{17 - x, y - 300};
             }},
        };
        for (int mode : {BLEND_NONE, BLEND_ADD}) {
            SetBlendMode(mode, 140);
            for (const Case &c : cases) {
                RandomizeScreen();
                ASSERT_EQ(c.draw(), 0) << c.name;
                ExpectScreen(graph, 1, c.mapping, kWholeScreen, std::string(c.name) + " mode " + std::to_string(mode));
            }
        }
    });
}

// A quad whose corners are the graph's rectangle (fractions dropped) maps the picture one to one.
TEST_F(DrawGraphTest, QuadOfTheGraphsRectangleDrawsItOneToOne) {
    ForBothDepths([&] {
        const int graph = MakePicture(kAlpha, 24, 18);
        SetBlendMode(BLEND_ALPHA, 200);
        RandomizeScreen();
        ASSERT_EQ(DrawGraphQuad(40.7f, 30.2f, 64.9f, 30.0f, 64.5f, 48.99f, 40.0f, 48.0f, graph, 1), 0);
        ExpectScreen(graph, 1, At(40, 30, 24, 18), kWholeScreen, "quad");
    });
}

// DrawGraphPart shows the part (mirrored: the part of the mirrored picture) and puts the draw area
// back; DrawGraphPartStretched scales the part onto its rectangle.
TEST_F(DrawGraphTest, PartialDrawsShowTheirPartAndKeepTheDrawArea) {
    ForBothDepths([&] {
        const int graph = MakePicture(kOpaque, 40, 30);
        SetClipArea(0, 0, 400, 300);
        struct Case {
            const char *name;
            std::function<int()> draw;
            Mapping mapping;
        };
        const Case cases[] = {
            {"part", [&] { return DrawGraphPart(100, 50, 10, 5, 12, 8, graph, 0, 0); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 100 || y < 50 || x >= 112 || y >= 58) return std::nullopt;
                 return SourcePoint{x - 90, y - 45};
             }},
            {"mirrored part", [&] { return DrawGraphPart(100, 50, 10, 5, 12, 8, graph, 0, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 // The same part of the picture, mirrored: columns 21 down to 10.
                 if (x < 100 || y < 50 || x >= 112 || y >= 58) return std::nullopt;
                 return SourcePoint{21 - (x - 100), y - 45};
             }},
            {"part past the area", [&] { return DrawGraphPart(390, 290, 0, 0, 20, 20, graph, 0, 0); },
             At(390, 290, 10, 10)},
            {"stretched part", [&] { return DrawGraphPartStretched(200, 100, 220, 116, 8, 4, 10, 8, graph, 0); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 200 || y < 100 || x >= 220 || y >= 116) return std::nullopt;
                 return SourcePoint{8 + (x - 200) / 2, 4 + (y - 100) / 2};
             }},
            {"stretched part mirrored",
             [&] { return DrawGraphPartStretched(220, 100, 200, 116, 8, 4, 10, 8, graph, 0); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 200 || y < 100 || x >= 220 || y >= 116) return std::nullopt;
                 return SourcePoint{8 + (219 - x) / 2, 4 + (y - 100) / 2};
             }},
        };
        for (const Case &c : cases) {
            RandomizeScreen();
            ASSERT_EQ(c.draw(), 0) << c.name;
            ExpectScreen(graph, 0, c.mapping, {0, 0, 400, 300}, c.name);
            const zq::MemImgRect area = zq::CurrentDrawArea();
            EXPECT_EQ(area.right, 400) << c.name;
            EXPECT_EQ(area.bottom, 300) << c.name;
        }
    });
}

// A blend image weighs every drawn pixel through the ramp of its position and range; one smaller
// than the graph, one released, or a graph that is no blend graph refuse the draw.
TEST_F(DrawGraphTest, BlendImageWeighsPixelsAndMustCoverTheGraph) {
    ForBothDepths([&] {
        const int graph = MakePicture(kOpaque, 32, 24);
        const int blend = MakeBlendGraph(40, 30);
        const int small = MakeBlendGraph(31, 30);
        EXPECT_EQ(SetBlendImage(graph, 0, 0), -1);
        for (int position : {0, 90, 255}) {
            ASSERT_EQ(SetBlendImage(blend, position, 70), 0);
            for (int mode : {BLEND_NONE, BLEND_ALPHA, BLEND_ADD}) {
                SetBlendMode(mode, 180);
                RandomizeScreen();
                ASSERT_EQ(DrawGraphAt(10, 10, graph, 0), 0);
                ExpectScreen(graph, 0, At(10, 10, 32, 24), kWholeScreen,
                             "position " + std::to_string(position) + " mode " + std::to_string(mode), blend);
            }
        }
        SetBlendMode(BLEND_NONE, 0);
        ASSERT_EQ(SetBlendImage(small, 90, 70), 0);
        RandomizeScreen();
        EXPECT_EQ(DrawGraphAt(10, 10, graph, 0), -1);
        ExpectScreenUnchanged("too small");
        ReleaseGraph(small);
        EXPECT_EQ(DrawGraphAt(10, 10, graph, 0), -1);
        ExpectScreenUnchanged("released blend graph");
        ASSERT_EQ(SetBlendImage(-1, 0, 0), 0);
        EXPECT_EQ(DrawGraphAt(10, 10, graph, 0), 0);
    });
}

// Stale, foreign and made-up handles give -1 from every operation and draw nothing; an empty draw
// area gives 0 and draws nothing.
TEST_F(DrawGraphTest, InvalidHandlesAndAnEmptyAreaDrawNothing) {
    ForBothDepths([&] {
        const int released = MakePicture(kOpaque, 8, 8);
        ReleaseGraph(released);
        const int reused = MakePicture(kOpaque, 8, 8);  // may take the released slot with a new check
        const int foreign = zq::MakeHandle(zq::HandleKind::Sound, zq::HandleSlot(reused), zq::HandleCheck(reused));
        RandomizeScreen();
        for (int handle : {released, foreign, -1, 12345}) {
            SCOPED_TRACE(handle);
            EXPECT_EQ(DrawGraphAt(0, 0, handle, 0), -1);
            EXPECT_EQ(DrawGraphStretched(0, 0, 20, 20, handle, 0), -1);
            EXPECT_EQ(DrawGraphMirrored(0, 0, handle, 0), -1);
            EXPECT_EQ(DrawGraphQuad(0, 0, 8, 0, 8, 8, 0, 8, handle, 0), -1);
            EXPECT_EQ(DrawGraphPart(0, 0, 0, 0, 4, 4, handle, 0, 0), -1);
            EXPECT_EQ(DrawGraphPartStretched(0, 0, 8, 8, 0, 0, 4, 4, handle, 0), -1);
            EXPECT_EQ(FillGraphColor(handle, 1, 2, 3, 4), -1);
            EXPECT_EQ(GetDrawScreenGraph(0, 0, 8, 8, handle), -1);
            EXPECT_EQ(SetDrawTarget(handle), -1);
        }
        ExpectScreenUnchanged("invalid handles");
        SetClipArea(100, 100, 100, 300);
        EXPECT_EQ(DrawGraphAt(100, 100, reused, 0), 0);
        EXPECT_EQ(DrawGraphStretched(100, 100, 140, 140, reused, 0), 0);
        EXPECT_EQ(DrawGraphQuad(100, 100, 108, 100, 108, 108, 100, 108, reused, 0), 0);
        ExpectScreenUnchanged("empty area");
    });
}

// FillGraphColor goes through the blend mode; GetDrawScreenGraph copies a rectangle of exactly the
// graph's size, which draws back unchanged.
TEST_F(DrawGraphTest, FillAndCopyFromTheScreen) {
    ForBothDepths([&] {
        const int graph = zq::MakeEmptyGraph(16, 12, 0);
        ASSERT_NE(graph, -1);
        MEMIMG &image = *zq::GraphImage(graph);
        EXPECT_EQ(FillGraphColor(graph, 300, 100, -5, 0), 0);
        const uint32_t color = MakeColor(255, 100, 0);
        EXPECT_EQ(ReadPixel(image, 0, 0), Is32() ? color : color & 0xFFFF);
        EXPECT_EQ(ReadPixel(image, 15, 11), ReadPixel(image, 0, 0));
        SetBlendMode(BLEND_ALPHA, 128);
        EXPECT_EQ(FillGraphColor(graph, 0, 0, 255, 0), 0);
        // The fill's rule is that of an opaque pixel of an alpha source.
        zq::reference::PixelCase pc{Is32(), BLEND_ALPHA, 128, {255, 255, 255}, true, false, 0, 0};
        uint32_t blue = MakeColor(0, 0, 255);
        if (!Is32()) blue &= 0xFFFF;
        uint32_t mixed = zq::reference::Pixel(pc, Is32() ? color : color & 0xFFFF, blue, blue, 255);
        EXPECT_EQ(ReadPixel(image, 7, 5), Is32() ? mixed : mixed & 0xFFFF);
        SetBlendMode(BLEND_NONE, 0);

        RandomizeScreen();
        EXPECT_EQ(GetDrawScreenGraph(10, 10, 25, 22, graph), -1);   // one column short
        EXPECT_EQ(GetDrawScreenGraph(630, 470, 646, 482, graph), -1);  // past the screen
        ASSERT_EQ(GetDrawScreenGraph(100, 200, 116, 212, graph), 0);
        for (int y = 0; y < 12; ++y)
            for (int x = 0; x < 16; ++x) ASSERT_EQ(ReadPixel(image, x, y), ReadPixel(Screen(), 100 + x, 200 + y));
        RandomizeScreen();
        ASSERT_EQ(DrawGraphAt(300, 300, graph, 0), 0);
        ExpectScreen(graph, 0, At(300, 300, 16, 12), kWholeScreen, "copied graph drawn");
    });
}

// A drawable graph becomes the target: draws, clipping and clearing work in its pixels; a graph
// that is not drawable is refused; releasing the target graph puts the back buffer back.
TEST_F(DrawGraphTest, DrawableGraphAsDrawTarget) {
    ForBothDepths([&] {
        const int sprite = MakePicture(kKeyed, 20, 20);
        EXPECT_EQ(SetDrawTarget(sprite), -1);
        EXPECT_EQ(zq::CurrentDrawTarget(), SCREEN_BACK);

        zq::GraphMakingSettings saved = zq::GetGraphMakingSettings(), drawable = saved;
        drawable.newGraphDrawable = 1;
        zq::SetGraphMakingSettings(drawable);
        const int canvas = zq::MakeEmptyGraph(64, 48, 0);
        zq::SetGraphMakingSettings(saved);
        ASSERT_NE(canvas, -1);
        int w = 0, h = 0;
        ASSERT_EQ(GetDrawTargetSize(canvas, &w, &h), 0);
        EXPECT_EQ(w, 64);
        EXPECT_EQ(h, 48);

        ASSERT_EQ(SetDrawTarget(canvas), 0);
        EXPECT_EQ(zq::DrawTargetImage(), zq::GraphImage(canvas));
        const zq::MemImgRect area = zq::CurrentDrawArea();
        EXPECT_EQ(area.right, 64);
        EXPECT_EQ(area.bottom, 48);
        SetBackgroundColor(0, 0, 255);
        ClearDrawTarget();
        ASSERT_EQ(DrawGraphAt(50, 40, sprite, 1), 0);  // clipped to the canvas
        MEMIMG &canvasImage = *zq::GraphImage(canvas);
        MEMIMG &spriteImage = *zq::GraphImage(sprite);
        const uint32_t background = ReadPixel(canvasImage, 0, 0);
        for (int y = 40; y < 48; ++y) {
            for (int x = 50; x < 64; ++x) {
                const uint32_t s = ReadPixel(spriteImage, x - 50, y - 40);
                ASSERT_EQ(ReadPixel(canvasImage, x, y), s == spriteImage.base->transColor ? background : s);
            }
        }
        ReleaseGraph(canvas);
        EXPECT_EQ(zq::CurrentDrawTarget(), SCREEN_BACK);
        EXPECT_EQ(zq::DrawTargetImage(), zq::ScreenImage());
        EXPECT_EQ(zq::CurrentDrawArea().right, 640);
        EXPECT_EQ(DrawGraphAt(0, 0, sprite, 1), 0);
    });
}

// The game's keyed 8-bit and 24-bit pictures and an alpha PNG, loaded from their files, drawn
// with each operation under a few settings and checked in the file WriteDrawTargetToFile writes.
TEST_F(DrawGraphTest, PicturesFromFilesMatchTheReferenceInTheWrittenTarget) {
    const std::string source = std::getenv("ZQ_SOURCE_DIR");
    const std::string assets = source + "/assets/GAZUMO/", data = source + "/tests/graphics/data/";
    ForBothDepths([&] {
        const int person = LoadGraphFile((assets + "hito.bmp").c_str(), 0);    // 32 x 41, 8-bit, green key
        const int sheet = LoadGraphFile((assets + "gazumo.bmp").c_str(), 0);   // 300 x 133, 24-bit
        const int alpha = LoadGraphFile((data + "rgba.png").c_str(), 0);       // 4 x 3, alpha 0..220
        ASSERT_NE(person, -1);
        ASSERT_NE(sheet, -1);
        ASSERT_NE(alpha, -1);
        ASSERT_TRUE(zq::GraphImage(person)->base->usePalette);
        struct Case {
            const char *name;
            int graph, trans, mode, param;
            int bright[3];
            std::function<int()> draw;
            Mapping mapping;
        };
        const Case cases[] = {
            {"keyed, clipped at the right and top", person, 1, BLEND_NONE, 0, {255, 255, 255},
             [&] { return DrawGraphAt(620, -10, person, 1); }, At(620, -10, 32, 41)},
            {"keyed, half blended, darkened", person, 1, BLEND_ALPHA, 128, {180, 255, 90},
             [&] { return DrawGraphAt(200, 200, person, 1); }, At(200, 200, 32, 41)},
            {"keyed, mirrored, added", person, 1, BLEND_ADD, 170, {255, 255, 255},
             [&] { return DrawGraphMirrored(300, 100, person, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 300 || y < 100 || x >= 332 || y >= 141) return std::nullopt;
                 return SourcePoint{331 - x, y - 100};
             }},
            {"opaque sheet, clipped at the left and bottom", sheet, 0, BLEND_NONE, 0, {255, 255, 255},
             [&] { return DrawGraphAt(-50, 400, sheet, 0); }, At(-50, 400, 300, 133)},
            {"sheet keyed, subtracted", sheet, 1, BLEND_SUBTRACT, 120, {255, 255, 255},
             [&] { return DrawGraphAt(100, 250, sheet, 1); }, At(100, 250, 300, 133)},
            {"sheet part, keyed", sheet, 1, BLEND_NONE, 0, {255, 255, 255},
             [&] { return DrawGraphPart(400, 20, 100, 0, 100, 133, sheet, 1, 0); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 400 || y < 20 || x >= 500 || y >= 153) return std::nullopt;
                 return SourcePoint{x - 300, y - 20};
             }},
            {"sheet as a quad", sheet, 1, BLEND_MULTIPLY, 0, {255, 255, 255},
             [&] { return DrawGraphQuad(10, 10, 310, 10, 310, 143, 10, 143, sheet, 1); }, At(10, 10, 300, 133)},
            {"alpha stretched eight times", alpha, 1, BLEND_NONE, 0, {255, 255, 255},
             [&] { return DrawGraphStretched(500, 300, 532, 324, alpha, 1); },
             [](int x, int y) -> std::optional<SourcePoint> {
                 if (x < 500 || y < 300 || x >= 532 || y >= 324) return std::nullopt;
                 return SourcePoint{(x - 500) / 8, (y - 300) / 8};
             }},
            {"alpha blended", alpha, 1, BLEND_ALPHA, 200, {255, 255, 255},
             [&] { return DrawGraphAt(636, 478, alpha, 1); }, At(636, 478, 4, 3)},
        };
        for (const Case &c : cases) {
            SetBlendMode(c.mode, c.param);
            SetDrawBrightness(c.bright[0], c.bright[1], c.bright[2]);
            RandomizeScreen();
            ASSERT_EQ(c.draw(), 0) << c.name;
            CheckTheWrittenFileNext();
            ExpectScreen(c.graph, c.trans, c.mapping, kWholeScreen, c.name);
            observed_.clear();
        }
    });
}

using DrawGraphBeforeStartTest = VirtualLibraryTest;

// Before the library starts there is nothing to draw with.
TEST_F(DrawGraphBeforeStartTest, DrawGraphAtFails) { EXPECT_EQ(DrawGraphAt(0, 0, 0, 0), -1); }

}  // namespace
