// PutMemImg: draws a whole source image at a position, clipped to the draw area, by the per-pixel
// path or, for a whole unclipped keyed or alpha image, by the span lists derived from its skip
// table.
#include <algorithm>

#include "graphics/kernels_dispatch.h"
#include "graphics/kernels_simd.h"

namespace zq::kernel {
namespace {

template <bool Is32, int S, int M, bool Trans, bool Bright, bool Blend>
struct PutEntry {
    static constexpr PutSpanFn fn = &PutSpanGeneric<typename RuleFor<Is32, S, M, Trans, Bright, Blend>::type>;
};

template <bool Is32>
struct PutEntry<Is32, kDirect, kmNone, false, false, false> {
    static constexpr PutSpanFn fn = &CopySpan<Is32 ? 4 : 2>;
};

#if ZQ_KERNELS_SSE2
template <bool Is32, int M, bool Trans>
using DirectRule = typename RuleFor<Is32, kDirect, M, Trans, false, false>::type;

template <bool Is32>
struct PutEntry<Is32, kDirect, kmNone, true, false, false> {
    static constexpr PutSpanFn fn = &KeyedCopySpan<DirectRule<Is32, kmNone, true>, true>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmAlphaHalf, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &HalveSpan32<DirectRule<true, kmAlphaHalf, Trans>, Trans>
                                         : &HalveSpan16<DirectRule<false, kmAlphaHalf, Trans>, Trans>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmAlpha, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &AlphaSpan32<DirectRule<true, kmAlpha, Trans>, Trans>
                                         : &AlphaSpan16<DirectRule<false, kmAlpha, Trans>, Trans>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmAdd, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &AddSpan32<DirectRule<true, kmAdd, Trans>, Trans, false>
                                         : &AddSpan16<DirectRule<false, kmAdd, Trans>, Trans, false>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmAddFull, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &AddSpan32<DirectRule<true, kmAddFull, Trans>, Trans, true>
                                         : &AddSpan16<DirectRule<false, kmAddFull, Trans>, Trans, true>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmSubtract, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &SubtractSpan32<DirectRule<true, kmSubtract, Trans>, Trans, false>
                                         : &SubtractSpan16<DirectRule<false, kmSubtract, Trans>, Trans, false>;
};
template <bool Is32, bool Trans>
struct PutEntry<Is32, kDirect, kmSubtractFull, Trans, false, false> {
    static constexpr PutSpanFn fn = Is32 ? &SubtractSpan32<DirectRule<true, kmSubtractFull, Trans>, Trans, true>
                                         : &SubtractSpan16<DirectRule<false, kmSubtractFull, Trans>, Trans, true>;
};
template <>
struct PutEntry<true, kAlphaSource, kmNone, true, false, false> {
    static constexpr PutSpanFn fn = &AlphaSourceSpan32<RuleFor<true, kAlphaSource, kmNone, true, false, false>::type>;
};
#endif

constexpr auto kPutSpans = MakeKernelTable<PutEntry>();

// The loops for the opaque spans of alpha sources drawn with trans; the other entries are unused.
template <bool Is32, int S, int M, bool Trans, bool Bright, bool Blend>
struct OpaqueAlphaEntry {
    static constexpr PutSpanFn fn = nullptr;
};

template <bool Is32, int M, bool Bright, bool Blend>
struct OpaqueAlphaEntry<Is32, kAlphaSource, M, true, Bright, Blend> {
    using L = std::conditional_t<Is32, Layout32, Layout16>;
    using Rule = OpaqueAlphaPixelRule<L, typename ModeFor<M, L, Bright>::type, Bright, Blend>;
    static constexpr PutSpanFn fn = &PutSpanGeneric<Rule>;
};

#if ZQ_KERNELS_SSE2
template <>
struct OpaqueAlphaEntry<false, kAlphaSource, kmNone, true, false, false> {
    using Rule = OpaqueAlphaPixelRule<Layout16, ModeNone<Layout16, false>, false, false>;
    static constexpr PutSpanFn fn = &ColorWordsSpan<Rule>;
};
#endif

constexpr auto kOpaqueAlphaSpans = MakeKernelTable<OpaqueAlphaEntry>();

// The loops a span-list draw uses.
struct SpanLoops {
    PutSpanFn opaque;       // opaque spans: keyed sources without the key test, alpha sources at 255
    PutSpanFn translucent;  // translucent spans: the trans loop, which reads each pixel's alpha
};

// Walks the source's span lists: transparent stretches are stepped over unread. Copy: the opaque
// spans are straight copies of Bytes-byte pixels, done inline.
template <bool Copy, int Bytes>
void PutBySpans(const Call &call, const SpanLoops &loops, uint8_t *dest, int destPitch, const MEMIMG *source,
                const MEMIMG *blendImage) {
    const MemImgBase &sb = *source->base;
    const int32_t *span = sb.skipSpans;
    const uint8_t *src = source->pixels;
    const uint8_t *weights = blendImage ? blendImage->pixels : nullptr;
    int weightPitch = blendImage ? blendImage->base->pitch : 0;
    // Locals, so that the stores through dest do not make the compiler reload them per line.
    int db = call.targetBytes, srcBytes = call.sourceBytes, srcPitch = sb.pitch, height = source->height;
    for (int y = 0; y < height; ++y) {
        const int32_t *end = span + 1 + 2 * span[0];
        for (++span; span != end; span += 2) {
            int x = span[0];
            if constexpr (Copy) {
                CopyRun(dest + x * Bytes, src + x * Bytes, size_t(span[1]) * Bytes);
            } else {
                loops.opaque(dest + x * db, src + x * srcBytes, weights ? weights + x : nullptr, span[1], call.ctx);
            }
        }
        end = span + 1 + 2 * span[0];
        for (++span; span != end; span += 2) {
            int x = span[0];
            loops.translucent(dest + x * db, src + x * srcBytes, weights ? weights + x : nullptr, span[1], call.ctx);
        }
        dest += destPitch;
        src += srcPitch;
        if (weights) weights += weightPitch;
    }
}

// Keyed sources draw their opaque spans with the loop without the key test, alpha sources with
// the rule for alpha 255; a keyed direct source or a 32-bit alpha source in BLEND_NONE without
// brightness or blend image copies them.
void PutBySkipSpans(const Call &call, uint8_t *dest, int destPitch, const MEMIMG *source, const MEMIMG *blendImage) {
    int plain = call.index & ~kTransIndexBit;
    SpanLoops loops{call.sourceAlpha ? kOpaqueAlphaSpans[call.index] : kPutSpans[plain], kPutSpans[call.index]};
    bool is32 = call.targetBytes == 4;
    bool copy = call.sourceBytes == call.targetBytes &&
                plain == TableIndex(is32, call.sourceAlpha ? kAlphaSource : kDirect, kmNone, false, false, false);
    if (copy && is32) {
        PutBySpans<true, 4>(call, loops, dest, destPitch, source, blendImage);
    } else if (copy) {
        PutBySpans<true, 2>(call, loops, dest, destPitch, source, blendImage);
    } else {
        PutBySpans<false, 0>(call, loops, dest, destPitch, source, blendImage);
    }
}

}  // namespace

// The skip table describes the whole store; a view that is a part of it cannot use it. Its span
// lists are missing when memory for them ran out.
static bool CanUseSkipTable(const Call &call, const MEMIMG *source) {
    const MemImgBase &sb = *source->base;
    if (!sb.skipValid || !sb.skipTable || !sb.skipSpans) return false;
    if (source->pixels != sb.pixelBuffer || source->width != sb.width || source->height != sb.height) return false;
    // In BLEND_MULTIPLY a pixel of alpha 0 turns the target black, so its run cannot be skipped.
    return !(call.sourceAlpha && call.mode == kmMultiply);
}

}  // namespace zq::kernel

namespace zq {

void PutMemImg(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source, int x, int y, int trans,
               const MEMIMG *blendImage) {
    using namespace kernel;
    Call call;
    MemImgRect area;
    if (!PrepareCall(settings, target, source, trans, blendImage, &call)) return;
    if (!TargetArea(settings, target, &area)) return;
    int64_t right = int64_t{x} + source->width, bottom = int64_t{y} + source->height;
    int64_t left = std::max<int64_t>(x, area.left), top = std::max<int64_t>(y, area.top);
    right = std::min<int64_t>(right, area.right);
    bottom = std::min<int64_t>(bottom, area.bottom);
    if (left >= right || top >= bottom) return;
    bool clipped = left != x || top != y || right - left != source->width || bottom - top != source->height;

    int destPitch = target->base->pitch;
    uint8_t *dest = target->pixels + top * destPitch + left * call.targetBytes;
    if (trans && !clipped && CanUseSkipTable(call, source)) {
        PutBySkipSpans(call, dest, destPitch, source, blendImage);
        return;
    }
    int dx = int(left - x), dy = int(top - y), n = int(right - left);
    int srcPitch = source->base->pitch;
    const uint8_t *src = source->pixels + int64_t{dy} * srcPitch + int64_t{dx} * call.sourceBytes;
    const uint8_t *weights = nullptr;
    int weightPitch = 0;
    if (blendImage) {
        weightPitch = blendImage->base->pitch;
        weights = blendImage->pixels + int64_t{dy} * weightPitch + dx;
    }
    PutSpanFn span = kPutSpans[call.index];
    for (int64_t row = top; row < bottom; ++row) {
        span(dest, src, weights, n, call.ctx);
        dest += destPitch;
        src += srcPitch;
        if (weights) weights += weightPitch;
    }
}

}  // namespace zq
