// String drawing: the core that measures a string or writes its cached glyphs into a software
// image, the direct and work-image paths of drawing on the draw target, the calls with the default
// font, and the on-screen log drawn over each presented picture.
//
// Relies on the glyph cache (text/font.h), the draw state, the work images and PutMemImg.
#include "text/draw_string.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "core/log.h"
#include "core/window.h"
#include "graphics/draw_state.h"
#include "graphics/kernels.h"
#include "graphics/screen.h"
#include "text/font.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kFixedStringBytes = 256;
constexpr int kFormatBufferSize = 2048;
constexpr int kLogFontSize = 16;
constexpr int kLogLineHeight = 16;

struct DrawStringState {
    CharRecord records[kFixedStringBytes];
    char formatted[kFormatBufferSize];
    int logFont = -1;
};

DrawStringState &State() {
    static DrawStringState state;
    return state;
}

// Pixel layouts of the images strings are drawn into. Each stores a screen color with an alpha;
// images without alpha blend the color over what is there.
struct Rgb16 {
    using Pixel = uint16_t;
    static constexpr bool kAlpha = false;
    static constexpr int kShift[3] = {11, 5, 0};
    static constexpr int kMask[3] = {0x1F, 0x3F, 0x1F};
};
struct Rgb16Alpha {  // the 5-6-5 color in the low 16 bits, the alpha in the third byte
    using Pixel = uint32_t;
    static constexpr bool kAlpha = true;
    static constexpr int kAlphaShift = 16;
    static constexpr uint32_t kColorMask = 0xFFFF;
    static constexpr int kShift[3] = {11, 5, 0};
    static constexpr int kMask[3] = {0x1F, 0x3F, 0x1F};
};
struct Rgb32 {
    using Pixel = uint32_t;
    static constexpr bool kAlpha = false;
    static constexpr int kShift[3] = {16, 8, 0};
    static constexpr int kMask[3] = {0xFF, 0xFF, 0xFF};
};
struct Rgb32Alpha {
    using Pixel = uint32_t;
    static constexpr bool kAlpha = true;
    static constexpr int kAlphaShift = 24;
    static constexpr uint32_t kColorMask = 0xFFFFFF;
    static constexpr int kShift[3] = {16, 8, 0};
    static constexpr int kMask[3] = {0xFF, 0xFF, 0xFF};
};

// Each channel of `to` moved towards `from` by weight / 256, channel by channel of the layout.
template <class L>
uint32_t MixChannels(uint32_t to, uint32_t from, int weight) {
    uint32_t out = 0;
    for (int i = 0; i < 3; ++i) {
        const int a = static_cast<int>((to >> L::kShift[i]) & L::kMask[i]);
        const int b = static_cast<int>((from >> L::kShift[i]) & L::kMask[i]);
        out |= static_cast<uint32_t>(a + (((b - a) * weight) >> 8)) << L::kShift[i];
    }
    return out;
}

template <class L>
void Store(typename L::Pixel *p, uint32_t color, int alpha) {
    if constexpr (L::kAlpha) {
        *p = static_cast<typename L::Pixel>((color & L::kColorMask) | (static_cast<uint32_t>(alpha) << L::kAlphaShift));
    } else if (alpha == 255) {
        *p = static_cast<typename L::Pixel>(color);
    } else {
        *p = static_cast<typename L::Pixel>(MixChannels<L>(*p, color, alpha + (alpha >> 7)));
    }
}

struct GlyphColors {
    uint32_t text, edge;
};

// Writes the cell rows of one glyph, already clipped: (srcX, srcY) in the cell, width x height
// pixels at dest. Cache values by type: 0 one bit; 1 body 1 / edge 2; 2 level - 1; 3 body level - 1
// in the low and edge level - 1 in the high 4 bits.
template <int Type, class L>
void DrawGlyphPixels(const FontRecord &font, const uint8_t *cell, int srcX, int srcY, int width, int height,
                     uint8_t *dest, int destPitch, GlyphColors colors) {
    for (int y = 0; y < height; ++y) {
        const uint8_t *src = cell + (srcY + y) * font.cachePitch;
        auto *out = reinterpret_cast<typename L::Pixel *>(dest + static_cast<ptrdiff_t>(y) * destPitch);
        for (int x = 0; x < width; ++x) {
            const int sx = srcX + x;
            if constexpr (Type == FONT_TYPE_NORMAL) {
                if ((src[sx >> 3] >> (7 - (sx & 7))) & 1) Store<L>(out + x, colors.text, 255);
            } else if constexpr (Type == FONT_TYPE_EDGE) {
                const uint8_t v = src[sx];
                if (v == 1) {
                    Store<L>(out + x, colors.text, 255);
                } else if (v == 2) {
                    // A 32-bit target receives the edge color without its alpha bits.
                    Store<L>(out + x, L::kMask[0] == 0xFF && !L::kAlpha ? colors.edge & 0xFFFFFF : colors.edge, 255);
                }
            } else if constexpr (Type == FONT_TYPE_ANTIALIAS) {
                const int level = src[sx];
                // Full coverage is opaque; 16 * 15 would leave it slightly see-through.
                if (level != 0) Store<L>(out + x, colors.text, level == 15 ? 255 : 16 * level);
            } else {
                const int v = src[sx];
                const int body = v & 0x0F, edge = v >> 4;
                if (body == 15) {
                    Store<L>(out + x, colors.text, 255);
                } else if (body > 0) {
                    const int alpha = edge * (15 - body) + 16 * body;
                    const int weight = (body * 4096) / alpha;
                    Store<L>(out + x, MixChannels<L>(colors.edge, colors.text, weight), alpha);
                } else if (edge > 0) {
                    Store<L>(out + x, colors.edge, 16 * edge);
                }
            }
        }
    }
}

using GlyphDrawer = void (*)(const FontRecord &, const uint8_t *, int, int, int, int, uint8_t *, int, GlyphColors);

template <class L>
GlyphDrawer DrawerForType(int type) {
    switch (type) {
        case FONT_TYPE_NORMAL: return DrawGlyphPixels<FONT_TYPE_NORMAL, L>;
        case FONT_TYPE_EDGE: return DrawGlyphPixels<FONT_TYPE_EDGE, L>;
        case FONT_TYPE_ANTIALIAS: return DrawGlyphPixels<FONT_TYPE_ANTIALIAS, L>;
        default: return DrawGlyphPixels<FONT_TYPE_ANTIALIAS_EDGE, L>;
    }
}

// The drawer for the font's type and the target's layout; null for a layout strings do not draw on.
GlyphDrawer ChooseDrawer(int type, const MEMIMG &target) {
    const MemImgBase &b = *target.base;
    if (b.usePalette) return nullptr;
    if (b.colorType == MEMIMG_RGB16) return b.hasAlpha ? DrawerForType<Rgb16Alpha>(type) : DrawerForType<Rgb16>(type);
    if (b.colorType == MEMIMG_RGB32) return b.hasAlpha ? DrawerForType<Rgb32Alpha>(type) : DrawerForType<Rgb32>(type);
    return nullptr;
}

// A color scaled channel by channel by the draw brightness, in the screen format.
uint32_t ScaleByBrightness(uint32_t color, const SoftDrawSettings &s) {
    int r, g, b;
    SplitColor(color, &r, &g, &b);
    return MakeColor(r * s.brightRed / 255, g * s.brightGreen / 255, b * s.brightBlue / 255);
}

MemImgRect Intersect(const MemImgRect &a, const MemImgRect &b) {
    MemImgRect r = {a.left > b.left ? a.left : b.left, a.top > b.top ? a.top : b.top,
                    a.right < b.right ? a.right : b.right, a.bottom < b.bottom ? a.bottom : b.bottom};
    if (r.right < r.left) r.right = r.left;
    if (r.bottom < r.top) r.bottom = r.top;
    return r;
}

bool IsEmpty(const MemImgRect &r) { return r.right <= r.left || r.bottom <= r.top; }

int DrawStringSoftware(int x, int y, const char *text, uint32_t color, int handle, uint32_t edgeColor) {
    const FontRecord *font = ValidFont(handle);
    MEMIMG *target = DrawTargetImage();
    if (font == nullptr || target == nullptr) return -1;
    const SoftDrawSettings &settings = CurrentSoftDrawSettings();
    const bool antialias = (font->type & FONT_TYPE_ANTIALIAS) != 0;
    const bool opaque = settings.blendMode == BLEND_NONE || (settings.blendMode == BLEND_ALPHA && settings.blendParam == 255);
    if (!antialias && opaque) {
        return DrawStringCore(1, x, y, text, color, target, &settings.drawArea, handle, edgeColor, -1, nullptr) < 0 ? -1 : 0;
    }

    int size[2];
    if (DrawStringCore(0, x, y, text, color, nullptr, nullptr, handle, edgeColor, -1, size) < 0) return -1;
    MEMIMG *work = WorkImage(antialias);
    if (work == nullptr) return -1;
    const MemImgRect area = Intersect({0, 0, size[0], size[1]}, {0, 0, work->width, work->height});
    if (IsEmpty(area)) return 0;
    uint32_t key = 0;
    if (!antialias) {
        const uint32_t mask = work->base->colorType == MEMIMG_RGB16 ? 0xFFFF : 0xFFFFFFFF;
        key = work->base->transColor & mask;
        while (key == (color & mask) || key == (edgeColor & mask)) key = (key + 1) & mask;
    }
    work->base->transColor = key;
    FillMemImg(work, &area, key);
    DrawStringCore(1, 0, 0, text, color, work, &area, handle, edgeColor, -1, nullptr);

    // The whole string goes on the target at once, so blending applies to it as one picture.
    SoftDrawSettings put = settings;
    put.drawArea = Intersect({x, y, x + area.right, y + area.bottom}, settings.drawArea);
    put.brightRed = put.brightGreen = put.brightBlue = 255;
    if (!IsEmpty(put.drawArea)) PutMemImg(put, target, work, x, y, 1, nullptr);
    return 0;
}

void DrawOnScreenLog(MEMIMG *screen) {
    DrawStringState &s = State();
    if (!IsFontHandleValid(s.logFont)) s.logFont = CreateFontToHandle(nullptr, kLogFontSize, -1, FONT_TYPE_EDGE, -1, 1, 0, -1, -1);
    if (s.logFont < 0) return;
    const MemImgRect clip = {0, 0, screen->width, screen->height};
    const uint32_t white = MakeColor(255, 255, 255), black = MakeColor(0, 0, 0);
    for (int i = 0; i < OnScreenLogCount() && kLogLineHeight * (i + 1) <= screen->height; ++i) {
        DrawStringCore(1, 0, kLogLineHeight * i, OnScreenLogLine(i), white, screen, &clip, s.logFont, black, -1, nullptr);
    }
}

}  // namespace

int DrawStringCore(int draw, int x, int y, const char *text, uint32_t color, MEMIMG *target, const MemImgRect *clip,
                   int handle, uint32_t edgeColor, int length, int size[2]) {
    FontRecord *font = ValidFont(handle);
    if (!AreGraphicsUp() || font == nullptr) return -1;
    const SoftDrawSettings &settings = CurrentSoftDrawSettings();
    const GlyphColors colors = {ScaleByBrightness(color, settings), ScaleByBrightness(edgeColor, settings)};
    if (target == nullptr) target = DrawTargetImage();
    if (clip == nullptr) clip = &settings.drawArea;
    if (text == nullptr || text[0] == '\0') {
        if (size != nullptr) size[0] = 0, size[1] = font->cellHeight;
        return 0;
    }
    int textLength = static_cast<int>(std::strlen(text));
    if (length >= 0 && length < textLength) textLength = length;

    DrawStringState &s = State();
    CharRecord *records = s.records;
    if (textLength > kFixedStringBytes) {
        records = static_cast<CharRecord *>(TrackedAlloc(textLength * static_cast<int>(sizeof(CharRecord)), "", 0));
        if (records == nullptr) return -1;
    }
    int count = 0;
    int result = PrepareStringGlyphs(textLength, 0, text, handle, records, &count);

    const GlyphDrawer drawer = (draw && target != nullptr) ? ChooseDrawer(font->type, *target) : nullptr;
    const MemImgRect bounds =
        target != nullptr ? Intersect(*clip, {0, 0, target->width, target->height}) : MemImgRect{0, 0, 0, 0};
    const int bytesPerPixel = target != nullptr ? MemImgBytesPerPixel(*target->base) : 0;
    double advance = 0;
    for (int i = 0; i < count && result == 0; ++i) {
        const CharRecord &c = records[i];
        const GlyphEntry *entry = CachedEntry(*font, CharKey(c));
        if (entry == nullptr) entry = CacheGlyphs(handle, 1, &c);
        if (entry == nullptr) {
            LogText("テキストキャッシュの作成に失敗しました");
            result = -1;
            break;
        }
        if (drawer != nullptr && !IsSpace(c) && (entry->width != 0 || entry->height != 0)) {
            const int left = x + static_cast<int>(advance) + entry->xOffset;
            const int top = y + entry->yOffset;
            const MemImgRect box = Intersect({left, top, left + entry->width, top + entry->height}, bounds);
            if (!IsEmpty(box)) {
                const uint8_t *cell = font->cachePixels +
                                      static_cast<ptrdiff_t>((entry->slot % font->cellsPerColumn) * font->cellWidth) *
                                          font->cachePitch;
                uint8_t *dest = target->pixels + static_cast<ptrdiff_t>(box.top) * target->base->pitch +
                                static_cast<ptrdiff_t>(box.left) * bytesPerPixel;
                drawer(*font, cell, box.left - left, box.top - top, box.right - box.left, box.bottom - box.top, dest,
                       target->base->pitch, colors);
            }
        }
        advance += entry->advance + font->charSpacing;
    }
    if (records != s.records) TrackedFree(records);
    if (result < 0) return -1;
    if (size != nullptr) size[0] = static_cast<int>(advance), size[1] = font->cellHeight;
    return static_cast<int>(advance);
}

void StartOnScreenLogDrawing() {
    State().logFont = -1;
    SetOnScreenLogDrawer(DrawOnScreenLog);
}

void EndOnScreenLogDrawing() {
    SetOnScreenLogDrawer(nullptr);
    DeleteFontHandle(State().logFont);
    State().logFont = -1;
}

}  // namespace zq

using namespace zq;

extern "C" int DrawStringWithFont(int x, int y, const char *text, uint32_t color, int fontHandle, uint32_t edgeColor) {
    if (text == nullptr || text[0] == '\0' || !AreGraphicsUp() || IsDrawAreaEmpty()) return 0;
    if (ValidFont(fontHandle) == nullptr) {
        LogText("フォントハンドル値が異常です\n");
        return -1;
    }
    WaitWhileInactive();
    DrawStringSoftware(x, y, text, color, fontHandle, edgeColor);
    return 0;
}

extern "C" int DrawStringAt(int x, int y, const char *text, uint32_t color, uint32_t edgeColor) {
    RefreshDefaultFont();
    return DrawStringWithFont(x, y, text, color, GetDefaultFontHandle(), edgeColor);
}

extern "C" int DrawFormattedString(int x, int y, uint32_t color, const char *format, ...) {
    if (format == nullptr) return 0;
    char *buffer = State().formatted;
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, kFormatBufferSize, format, args);
    va_end(args);
    RefreshDefaultFont();
    return DrawStringWithFont(x, y, buffer, color, GetDefaultFontHandle(), 0);
}
