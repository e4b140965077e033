// String drawing: the core that measures a string or writes its cached glyphs into a software
// image, the direct and work-image paths of drawing on the draw target, the calls with the default
// font, and the on-screen log drawn over each presented picture.
//
// Relies on the glyph cache (text/font.h), the draw state, the work images and PutMemImg.
#include "text/draw_string.h"

#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "core/log.h"
#include "core/window.h"
#include "graphics/draw_state.h"
#include "graphics/kernel_rules.h"
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

template <class L>
uint32_t MixChannels(uint32_t to, uint32_t from, int weight);

// The alpha of an anti-aliased cache level 1..15: full coverage is opaque, as 16 * 15 would leave
// it slightly see-through.
constexpr int LevelAlpha(int level) { return level == 15 ? 255 : 16 * level; }

// Pixel layouts of the images strings are drawn into. Each stores a screen color with an alpha;
// images without alpha blend the color over what is there.
struct Rgb16 {
    using Pixel = uint16_t;
    static constexpr bool kAlpha = false;
    static constexpr int kShift[3] = {11, 5, 0};
    static constexpr int kMask[3] = {0x1F, 0x3F, 0x1F};
    static void Put(Pixel *p, uint32_t color, int alpha);
    static void PutLevel(Pixel *p, uint32_t color, int level) { Put(p, color, LevelAlpha(level)); }
};
struct Rgb16Alpha {  // the 5-6-5 color in the low 16 bits, the alpha in the third byte
    using Pixel = uint32_t;
    static constexpr bool kAlpha = true;
    static constexpr int kAlphaShift = 16;
    static constexpr uint32_t kColorMask = 0xFFFF;
    static constexpr int kShift[3] = {11, 5, 0};
    static constexpr int kMask[3] = {0x1F, 0x3F, 0x1F};
    static void Put(Pixel *p, uint32_t color, int alpha) { *p = Pack(color, alpha); }
    static void PutLevel(Pixel *p, uint32_t color, int level) { Put(p, color, LevelAlpha(level)); }
    static uint32_t Pack(uint32_t color, int alpha) {
        return (color & kColorMask) | (static_cast<uint32_t>(alpha) << kAlphaShift);
    }
};
struct Rgb32 {
    using Pixel = uint32_t;
    static constexpr bool kAlpha = false;
    static constexpr int kShift[3] = {16, 8, 0};
    static constexpr int kMask[3] = {0xFF, 0xFF, 0xFF};
    static void Put(Pixel *p, uint32_t color, int alpha);
    static void PutLevel(Pixel *p, uint32_t color, int level) { Put(p, color, LevelAlpha(level)); }
};
struct Rgb32Alpha {
    using Pixel = uint32_t;
    static constexpr bool kAlpha = true;
    static constexpr int kAlphaShift = 24;
    static constexpr uint32_t kColorMask = 0xFFFFFF;
    static constexpr int kShift[3] = {16, 8, 0};
    static constexpr int kMask[3] = {0xFF, 0xFF, 0xFF};
    static void Put(Pixel *p, uint32_t color, int alpha) { *p = Pack(color, alpha); }
    static void PutLevel(Pixel *p, uint32_t color, int level) { Put(p, color, LevelAlpha(level)); }
    static uint32_t Pack(uint32_t color, int alpha) {
        return (color & kColorMask) | (static_cast<uint32_t>(alpha) << kAlphaShift);
    }
};

// A screen-format image without alpha that receives, pixel by pixel, what the alpha work image
// Work would hold, blended at once by the renderer's own rule for drawing an alpha image with
// BLEND_NONE, the key in use and white brightness. Where no two glyphs share a pixel this gives
// the pixels of drawing the string into the work image and the work image onto the target.
template <class Work, class KernelLayout>
struct BlendOnto : Work {
    using Pixel = std::conditional_t<KernelLayout::kBytes == 2, uint16_t, uint32_t>;
    using Rule = kernel::PixelRule<KernelLayout, kernel::AlphaSource<KernelLayout>, kernel::ModeNone<KernelLayout, false>,
                                   true, false, false>;
    static void Put(Pixel *p, uint32_t color, int alpha) {
        static constexpr kernel::Context kUnread = {};  // BLEND_NONE without brightness reads nothing
        const uint32_t raw = Work::Pack(color, alpha);
        Rule::Apply(reinterpret_cast<uint8_t *>(p), reinterpret_cast<const uint8_t *>(&raw), nullptr, kUnread);
    }
    // The rule's blend d + ((s - d) * a >> 8) per channel, for a = 16 * level below 255, is
    // (d * (16 - level) + s * level) >> 4: worked out for all channels at once, in spread fields.
    static void PutLevel(Pixel *p, uint32_t color, int level) {
        if (level == 15) return Put(p, color, 255);
        const uint32_t d = *p, s = color & Work::kColorMask;
        const uint32_t keep = 16 - static_cast<uint32_t>(level), take = static_cast<uint32_t>(level);
        if constexpr (KernelLayout::kBytes == 2) {
            constexpr uint32_t kFields = 0x07E0F81F;  // green moved to bits 21..26, 4 spare bits above each
            const uint32_t sum = ((d | d << 16) & kFields) * keep + ((s | s << 16) & kFields) * take;
            const uint32_t mixed = (sum >> 4) & kFields;
            *p = static_cast<Pixel>(mixed | mixed >> 16);
        } else {
            const uint32_t redBlue = (((d & 0xFF00FF) * keep + (s & 0xFF00FF) * take) >> 4) & 0xFF00FF;
            const uint32_t green = (((d & 0xFF00) * keep + (s & 0xFF00) * take) >> 4) & 0xFF00;
            *p = (d & 0xFF000000) | redBlue | green;
        }
    }
};
using Rgb16BlendOnto = BlendOnto<Rgb16Alpha, kernel::Layout16>;
using Rgb32BlendOnto = BlendOnto<Rgb32Alpha, kernel::Layout32>;

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

void Rgb16::Put(Pixel *p, uint32_t color, int alpha) {
    *p = static_cast<Pixel>(alpha == 255 ? color : MixChannels<Rgb16>(*p, color, alpha + (alpha >> 7)));
}
void Rgb32::Put(Pixel *p, uint32_t color, int alpha) {
    *p = alpha == 255 ? color : MixChannels<Rgb32>(*p, color, alpha + (alpha >> 7));
}

struct GlyphColors {
    uint32_t text, edge;
};

// The bits of pixels first .. first + n - 1 of a 1-bit cell row (most significant bit leftmost),
// the first pixel in bit 63; n is at most 57, so they come from at most 8 bytes of the row.
inline uint64_t RowBits(const uint8_t *row, int first, int n) {
    const uint8_t *p = row + (first >> 3);
    const int bytes = ((first & 7) + n + 7) >> 3;
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i) v |= uint64_t{p[i]} << (56 - 8 * i);
    return (v << (first & 7)) & (~uint64_t{0} << (64 - n));
}

// Eight pixels of an anti-aliased type's cache levels 0..15 onto out, as PutLevel does each.
template <class L>
inline void PutEightLevels(typename L::Pixel *out, const uint8_t *levels, uint32_t color) {
#if defined(__SSE2__)
    if constexpr (std::is_same_v<L, Rgb16BlendOnto>) {
        // PutLevel's (d * (16 - w) + s * w) >> 4 per field in 16-bit lanes, with weight w = level,
        // except 16 for level 15 (the color itself); level 0 keeps the pixel, as its weight is 0.
        const __m128i zero = _mm_setzero_si128();
        const __m128i level = _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i *>(levels)), zero);
        const __m128i take = _mm_sub_epi16(level, _mm_cmpeq_epi16(level, _mm_set1_epi16(15)));
        const __m128i keep = _mm_sub_epi16(_mm_set1_epi16(16), take);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(out));
        const __m128i five = _mm_set1_epi16(0x1F), six = _mm_set1_epi16(0x3F);
        auto mix = [&](__m128i field, int fieldColor) {
            const __m128i sum = _mm_add_epi16(_mm_mullo_epi16(field, keep),
                                              _mm_mullo_epi16(_mm_set1_epi16(static_cast<int16_t>(fieldColor)), take));
            return _mm_srli_epi16(sum, 4);
        };
        const __m128i blue = mix(_mm_and_si128(d, five), color & 0x1F);
        const __m128i green = mix(_mm_and_si128(_mm_srli_epi16(d, 5), six), (color >> 5) & 0x3F);
        const __m128i red = mix(_mm_srli_epi16(d, 11), (color >> 11) & 0x1F);
        const __m128i mixed = _mm_or_si128(_mm_or_si128(_mm_slli_epi16(red, 11), _mm_slli_epi16(green, 5)), blue);
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), mixed);
        return;
    }
#endif
    for (int i = 0; i < 8; ++i) {
        if (levels[i] != 0) L::PutLevel(out + i, color, levels[i]);
    }
}

// Eight pixels of a 1-bit cache row onto out: the text color where bits (most significant bit
// leftmost) has a bit set.
template <class L>
inline void PutEightBits(typename L::Pixel *out, unsigned bits, uint32_t color) {
#if defined(__SSE2__)
    if constexpr (std::is_same_v<L, Rgb16>) {
        const __m128i select = _mm_setr_epi16(0x80, 0x40, 0x20, 0x10, 0x08, 0x04, 0x02, 0x01);
        const __m128i set = _mm_cmpeq_epi16(_mm_and_si128(_mm_set1_epi16(static_cast<int16_t>(bits)), select), select);
        const __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i *>(out));
        const __m128i text = _mm_set1_epi16(static_cast<int16_t>(color));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(out), _mm_or_si128(_mm_and_si128(set, text), _mm_andnot_si128(set, d)));
        return;
    }
#endif
    for (int i = 0; i < 8; ++i) {
        if (bits & (0x80u >> i)) L::Put(out + i, color, 255);
    }
}

// Whether the 8 cache bytes from p are all 0, which no font type draws.
inline bool EightEmpty(const uint8_t *p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v == 0;
}

// One pixel of a byte-per-pixel cache value v (types 1..3) onto out.
template <int Type, class L>
inline void DrawCacheByte(typename L::Pixel *out, int v, GlyphColors colors) {
    if constexpr (Type == FONT_TYPE_EDGE) {
        if (v == 1) {
            L::Put(out, colors.text, 255);
        } else if (v == 2) {
            // A 32-bit target receives the edge color without its alpha bits.
            L::Put(out, L::kMask[0] == 0xFF && !L::kAlpha ? colors.edge & 0xFFFFFF : colors.edge, 255);
        }
    } else if constexpr (Type == FONT_TYPE_ANTIALIAS) {
        if (v != 0) L::PutLevel(out, colors.text, v);
    } else {
        const int body = v & 0x0F, edge = v >> 4;
        if (body == 15) {
            L::Put(out, colors.text, 255);
        } else if (body > 0) {
            const int alpha = edge * (15 - body) + 16 * body;
            const int weight = (body * 4096) / alpha;
            L::Put(out, MixChannels<L>(colors.edge, colors.text, weight), alpha);
        } else if (edge > 0) {
            L::Put(out, colors.edge, 16 * edge);
        }
    }
}

// Writes the cell rows of one glyph, already clipped: (srcX, srcY) in the cell, width x height
// pixels at dest. Cache values by type: 0 one bit; 1 body 1 / edge 2; 2 level - 1; 3 body level - 1
// in the low and edge level - 1 in the high 4 bits. Value 0 leaves a pixel alone, so bits are
// taken eight at a time, and bytes skip eight empty ones at a time.
template <int Type, class L>
void DrawGlyphPixels(const FontRecord &font, const uint8_t *cell, int srcX, int srcY, int width, int height,
                     uint8_t *dest, int destPitch, GlyphColors colors) {
    const int cachePitch = font.cachePitch;
    for (int y = 0; y < height; ++y) {
        const uint8_t *src = cell + (srcY + y) * cachePitch;
        auto *out = reinterpret_cast<typename L::Pixel *>(dest + static_cast<ptrdiff_t>(y) * destPitch);
        if constexpr (Type == FONT_TYPE_NORMAL) {
            int x = 0;
            for (; x + 8 <= width; x += 8) {
                const auto bits = static_cast<unsigned>(RowBits(src, srcX + x, 8) >> 56);
                if (bits != 0) PutEightBits<L>(out + x, bits, colors.text);
            }
            if (x < width) {
                uint64_t bits = RowBits(src, srcX + x, width - x);
                while (bits != 0) {
                    const int i = __builtin_clzll(bits);
                    L::Put(out + x + i, colors.text, 255);
                    bits &= ~(uint64_t{1} << (63 - i));
                }
            }
        } else {
            src += srcX;
            int x = 0;
            for (; x + 8 <= width; x += 8) {
                if (EightEmpty(src + x)) continue;
                if constexpr (Type == FONT_TYPE_ANTIALIAS) {
                    PutEightLevels<L>(out + x, src + x, colors.text);
                } else {
                    for (int i = x; i < x + 8; ++i) DrawCacheByte<Type, L>(out + i, src[i], colors);
                }
            }
            for (; x < width; ++x) DrawCacheByte<Type, L>(out + x, src[x], colors);
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

// The drawer that blends an anti-aliased type's pixels straight onto a target without alpha, as
// drawing them through the alpha work image `work` would; null when that draw would not be
// BLEND_NONE onto such a target, so the string takes the work image.
GlyphDrawer ChooseBlendDrawer(int type, const SoftDrawSettings &settings, const MEMIMG &target, const MEMIMG &work) {
    const bool none = settings.blendMode == BLEND_NONE || (settings.blendMode == BLEND_ALPHA && settings.blendParam == 255);
    if (!none || !(type & FONT_TYPE_ANTIALIAS) || !MemImgIsValid(&target) || !MemImgIsValid(&work)) return nullptr;
    const MemImgBase &t = *target.base, &w = *work.base;
    if (t.usePalette || t.hasAlpha || !w.hasAlpha || w.usePalette || t.colorType != w.colorType) return nullptr;
    const bool edge = (type & FONT_TYPE_EDGE) != 0;
    if (t.colorType == MEMIMG_RGB16) {
        return edge ? DrawGlyphPixels<FONT_TYPE_ANTIALIAS_EDGE, Rgb16BlendOnto> : DrawGlyphPixels<FONT_TYPE_ANTIALIAS, Rgb16BlendOnto>;
    }
    if (t.colorType == MEMIMG_RGB32) {
        return edge ? DrawGlyphPixels<FONT_TYPE_ANTIALIAS_EDGE, Rgb32BlendOnto> : DrawGlyphPixels<FONT_TYPE_ANTIALIAS, Rgb32BlendOnto>;
    }
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

// One run of the core over a string (see DrawStringCore). drawer, when given, draws each glyph in
// place of the one for the font type and target; disjoint, when given, receives whether no two of
// the glyph boxes that are drawn (or would be) overlap, left to right.
struct CoreRun {
    int draw, x, y;
    const char *text;
    uint32_t color, edgeColor;
    MEMIMG *target;
    const MemImgRect *clip;
    int handle, length;
    int *size;
    GlyphDrawer drawer;
    bool *disjoint;
};

int RunStringCore(const CoreRun &run) {
    FontRecord *font = ValidFont(run.handle);
    if (!AreGraphicsUp() || font == nullptr) return -1;
    const SoftDrawSettings &settings = CurrentSoftDrawSettings();
    const GlyphColors colors = {ScaleByBrightness(run.color, settings), ScaleByBrightness(run.edgeColor, settings)};
    MEMIMG *target = run.target != nullptr ? run.target : DrawTargetImage();
    const MemImgRect *clip = run.clip != nullptr ? run.clip : &settings.drawArea;
    const char *text = run.text;
    if (run.disjoint != nullptr) *run.disjoint = true;
    if (text == nullptr || text[0] == '\0') {
        if (run.size != nullptr) run.size[0] = 0, run.size[1] = font->cellHeight;
        return 0;
    }
    int textLength = static_cast<int>(std::strlen(text));
    if (run.length >= 0 && run.length < textLength) textLength = run.length;

    DrawStringState &s = State();
    CharRecord *records = s.records;
    if (textLength > kFixedStringBytes) {
        records = static_cast<CharRecord *>(TrackedAlloc(textLength * static_cast<int>(sizeof(CharRecord)), "", 0));
        if (records == nullptr) return -1;
    }
    int count = 0;
    int result = PrepareStringGlyphs(textLength, 0, text, run.handle, records, &count);

    GlyphDrawer drawer = nullptr;
    if (run.draw && target != nullptr) drawer = run.drawer != nullptr ? run.drawer : ChooseDrawer(font->type, *target);
    const MemImgRect bounds =
        target != nullptr ? Intersect(*clip, {0, 0, target->width, target->height}) : MemImgRect{0, 0, 0, 0};
    const int bytesPerPixel = target != nullptr ? MemImgBytesPerPixel(*target->base) : 0;
    double advance = 0;
    int inkRight = INT_MIN;
    for (int i = 0; i < count && result == 0; ++i) {
        const CharRecord &c = records[i];
        const GlyphEntry *entry = CachedEntry(*font, CharKey(c));
        if (entry == nullptr) entry = CacheGlyphs(run.handle, 1, &c);
        if (entry == nullptr) {
            LogText("テキストキャッシュの作成に失敗しました");
            result = -1;
            break;
        }
        if (!IsSpace(c) && (entry->width != 0 || entry->height != 0)) {
            const int left = run.x + static_cast<int>(advance) + entry->xOffset;
            const int top = run.y + entry->yOffset;
            if (run.disjoint != nullptr) {
                if (left < inkRight) *run.disjoint = false;
                if (left + entry->width > inkRight) inkRight = left + entry->width;
            }
            const MemImgRect box = Intersect({left, top, left + entry->width, top + entry->height}, bounds);
            if (drawer != nullptr && !IsEmpty(box)) {
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
    if (run.size != nullptr) run.size[0] = static_cast<int>(advance), run.size[1] = font->cellHeight;
    return static_cast<int>(advance);
}

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
    bool disjoint = false;
    if (RunStringCore({0, x, y, text, color, edgeColor, nullptr, nullptr, handle, -1, size, nullptr, &disjoint}) < 0) {
        return -1;
    }
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
    // Where the work image would go on the target.
    const MemImgRect onTarget = Intersect({x, y, x + area.right, y + area.bottom}, settings.drawArea);

    // Anti-aliased glyphs that share no pixel, drawn with BLEND_NONE, need no work image: each
    // pixel is blended onto the target as the work image's pixel would be.
    const GlyphDrawer blend = disjoint ? ChooseBlendDrawer(font->type, settings, *target, *work) : nullptr;
    if (blend != nullptr) {
        RunStringCore({1, x, y, text, color, edgeColor, target, &onTarget, handle, -1, nullptr, blend, nullptr});
        return 0;
    }

    FillMemImg(work, &area, key);
    DrawStringCore(1, 0, 0, text, color, work, &area, handle, edgeColor, -1, nullptr);
    // The whole string goes on the target at once, so blending applies to it as one picture.
    SoftDrawSettings put = settings;
    put.drawArea = onTarget;
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
    return RunStringCore({draw, x, y, text, color, edgeColor, target, clip, handle, length, size, nullptr, nullptr});
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
