// FillMemImgRect: fills a rectangle of the target with one color under the blend mode, parameter
// and brightness. The color is the source of every pixel, so brightness (here (c * b) >> 8) and
// inversion are applied to it once; one loop per layout and mode does the rest.
#include <algorithm>
#include <array>

#include "graphics/kernels_dispatch.h"
#include "graphics/kernels_simd.h"

namespace zq::kernel {
namespace {

using FillSpanFn = void (*)(uint8_t *dest, int n, uint32_t color, const Context &c);

template <class L>
void FillSpanPlain(uint8_t *dest, int n, uint32_t color, const Context &) {
    int i = 0;
#if ZQ_KERNELS_SSE2
    __m128i v = L::kBytes == 2 ? _mm_set1_epi16(short(color)) : _mm_set1_epi32(int(color));
    for (; i + 16 / L::kBytes <= n; i += 16 / L::kBytes) Store128(dest + i * L::kBytes, v);
#endif
    for (; i < n; ++i) L::Store(dest + i * L::kBytes, color);
}

// BLEND_ALPHA in a fill uses the signed-product form in 16 bits, not the 6-bit table.
template <class L, class Mode, bool SignedAlpha>
void FillSpanBlend(uint8_t *dest, int n, uint32_t color, const Context &c) {
    for (int i = 0; i < n; ++i) {
        uint8_t *p = dest + i * L::kBytes;
        uint32_t d = L::Load(p);
        L::Store(p, SignedAlpha ? Mode::OpaqueOfAlphaSource(d, color, c) : Mode::Opaque(d, color, c));
    }
}

template <class L>
constexpr std::array<FillSpanFn, kKernelModeCount> FillTable() {
    return {&FillSpanPlain<L>,
            &FillSpanBlend<L, ModeAlpha<L, false>, true>,
            &FillSpanBlend<L, ModeAlpha<L, false>, true>,
            &FillSpanBlend<L, ModeAdd<L, false>, false>,
            &FillSpanBlend<L, ModeAddFull<L, false>, false>,
            &FillSpanBlend<L, ModeSubtract<L, false>, false>,
            &FillSpanBlend<L, ModeSubtractFull<L, false>, false>,
            &FillSpanBlend<L, ModeMultiply<L, false>, false>,
            &FillSpanBlend<L, ModeInvert<L, false>, false>,
            &FillSpanBlend<L, ModeMultiplyAlpha<L, false>, false>};
}

constexpr auto kFill16 = FillTable<Layout16>();
constexpr auto kFill32 = FillTable<Layout32>();

// (c * b) >> 8 per channel, then the inversion of BLEND_INVERT.
template <class L>
uint32_t PrepareFillColor(uint32_t color, const SoftDrawSettings &s, bool invert) {
    const int bright[3] = {s.brightBlue, s.brightGreen, s.brightRed};
    bool white = bright[0] == 255 && bright[1] == 255 && bright[2] == 255;
    return PerChannel<L>(color, color, [&](int, int v, int width, int i) {
        if (!white) v = (v * bright[i]) >> 8;
        if (invert) v = ((1 << width) - 1) - v;
        return v;
    });
}

}  // namespace
}  // namespace zq::kernel

namespace zq {

void FillMemImgRect(const SoftDrawSettings &settings, MEMIMG *target, const MemImgRect *rect, uint32_t color) {
    using namespace kernel;
    if (!MemImgIsValid(target)) return;
    const MemImgBase &tb = *target->base;
    if (tb.usePalette || tb.hasAlpha || (tb.colorType != MEMIMG_RGB16 && tb.colorType != MEMIMG_RGB32)) return;
    int param = std::clamp(settings.blendParam, 0, 255);
    int mode = SelectKernelMode(settings.blendMode, param, false, false);
    if (mode < 0) return;
    if (mode == kmAlphaHalf) mode = kmAlpha;  // the fill has no halving special case

    MemImgRect area;
    if (!TargetArea(settings, target, &area)) return;
    MemImgRect r = rect ? *rect : MemImgRect{0, 0, target->width, target->height};
    if (r.left > r.right) std::swap(r.left, r.right);
    if (r.top > r.bottom) std::swap(r.top, r.bottom);
    int left = std::max(r.left, area.left), top = std::max(r.top, area.top);
    int right = std::min(r.right, area.right), bottom = std::min(r.bottom, area.bottom);
    if (left >= right || top >= bottom) return;

    bool is32 = tb.colorType == MEMIMG_RGB32;
    bool invert = mode == kmInvert;
    color = is32 ? PrepareFillColor<Layout32>(color, settings, invert)
                 : PrepareFillColor<Layout16>(color & 0xFFFF, settings, invert);
    Context c{};
    c.param = param;
    c.mulParam = MulTableRow(param);
    c.signedParam = SignedMulTableRow(param);
    c.lerp6 = Lerp6Plane(param >> 2);
    FillSpanFn span = is32 ? kFill32[mode] : kFill16[mode];
    int bytes = is32 ? 4 : 2;
    for (int y = top; y < bottom; ++y) {
        span(target->pixels + int64_t{y} * tb.pitch + int64_t{left} * bytes, right - left, color, c);
    }
}

}  // namespace zq
