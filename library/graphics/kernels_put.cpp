// PutMemImg: draws a whole source image at a position, clipped to the draw area, by the per-pixel
// path or, for a whole unclipped keyed or alpha image, by walking its skip table.
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

// Walks the source's skip table: transparent runs are stepped over unread, neighbouring runs of
// one kind are drawn together. Keyed sources draw their opaque runs with the loop without the key
// test; alpha sources keep the trans loop, which tells opaque from translucent pixels itself.
void PutBySkipTable(const Call &call, uint8_t *dest, int destPitch, const MEMIMG *source,
                    const MEMIMG *blendImage, int index) {
    PutSpanFn span = kPutSpans[index];
    // Opaque runs of a keyed direct source in BLEND_NONE without brightness are plain copies.
    bool copy = index == TableIndex(call.targetBytes == 4, kDirect, kmNone, false, false, false);
    const MemImgBase &sb = *source->base;
    const uint8_t *code = sb.skipTable;
    const uint8_t *src = source->pixels;
    const uint8_t *weights = blendImage ? blendImage->pixels : nullptr;
    int weightPitch = blendImage ? blendImage->base->pitch : 0;
    for (int y = 0; y < source->height; ++y) {
        int x = 0;
        while (*code != kSkipLineEnd) {
            uint8_t kind = *code & 0xC0;
            int n = 0;
            while (*code != kSkipLineEnd && (*code & 0xC0) == kind) n += (*code++ & 0x3F) + 1;
            if (kind != kSkipTransparent && copy) {
                CopyRun(dest + x * call.targetBytes, src + x * call.sourceBytes, size_t(n) * call.targetBytes);
            } else if (kind != kSkipTransparent) {
                span(dest + x * call.targetBytes, src + x * call.sourceBytes, weights ? weights + x : nullptr, n,
                     call.ctx);
            }
            x += n;
        }
        ++code;
        dest += destPitch;
        src += sb.pitch;
        if (weights) weights += weightPitch;
    }
}

}  // namespace

// The skip table describes the whole store; a view that is a part of it cannot use it.
static bool CanUseSkipTable(const Call &call, const MEMIMG *source) {
    const MemImgBase &sb = *source->base;
    if (!sb.skipValid || !sb.skipTable) return false;
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
        int index = call.sourceAlpha ? call.index : call.index & ~kTransIndexBit;
        PutBySkipTable(call, dest, destPitch, source, blendImage, index);
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
