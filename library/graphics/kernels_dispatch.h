// How the kernels choose their loops: the blend mode and parameter pick a kernel mode, the call's
// options pick an entry of a table that holds one instantiated loop per combination, and a call
// record carries the context the rules read. Shared by the kernel sources only.
#pragma once

#include <array>
#include <cstdint>
#include <type_traits>
#include <utility>

#include "graphics/kernel_rules.h"
#include "graphics/kernels.h"

namespace zq::kernel {

// Blend modes after the parameter cases: 255 turns BLEND_ALPHA into BLEND_NONE, 128 picks the
// halving average, 255 picks the exact saturating forms of add and subtract.
enum KernelMode {
    kmNone, kmAlpha, kmAlphaHalf, kmAdd, kmAddFull, kmSubtract, kmSubtractFull, kmMultiply, kmInvert,
    kmMultiplyAlpha, kKernelModeCount
};
enum SourceKind { kDirect, kIndexed, kAlphaSource, kSourceKindCount };

constexpr int kTableSize = 2 * kSourceKindCount * kKernelModeCount * 8;

constexpr int TableIndex(bool is32, int source, int mode, bool trans, bool bright, bool blend) {
    return ((((int(is32) * kSourceKindCount + source) * kKernelModeCount + mode) * 2 + int(trans)) * 2 +
            int(bright)) * 2 + int(blend);
}
constexpr int kTransIndexBit = TableIndex(false, 0, 0, true, false, false);

// The kernel mode of a call, or -1 when nothing is drawn (modes 5..9, unknown modes, p = 0 in
// alpha, add and subtract).
int SelectKernelMode(int blendMode, int param, bool sourceAlpha, bool blendImage);

template <int M, class L, bool B> struct ModeFor;
template <class L, bool B> struct ModeFor<kmNone, L, B> { using type = ModeNone<L, B>; };
template <class L, bool B> struct ModeFor<kmAlpha, L, B> { using type = ModeAlpha<L, B>; };
template <class L, bool B> struct ModeFor<kmAlphaHalf, L, B> { using type = ModeAlphaHalf<L, B>; };
template <class L, bool B> struct ModeFor<kmAdd, L, B> { using type = ModeAdd<L, B>; };
template <class L, bool B> struct ModeFor<kmAddFull, L, B> { using type = ModeAddFull<L, B>; };
template <class L, bool B> struct ModeFor<kmSubtract, L, B> { using type = ModeSubtract<L, B>; };
template <class L, bool B> struct ModeFor<kmSubtractFull, L, B> { using type = ModeSubtractFull<L, B>; };
template <class L, bool B> struct ModeFor<kmMultiply, L, B> { using type = ModeMultiply<L, B>; };
template <class L, bool B> struct ModeFor<kmInvert, L, B> { using type = ModeInvert<L, B>; };
template <class L, bool B> struct ModeFor<kmMultiplyAlpha, L, B> { using type = ModeMultiplyAlpha<L, B>; };

template <bool Is32, int S, int M, bool Trans, bool Bright, bool Blend>
struct RuleFor {
    using L = std::conditional_t<Is32, Layout32, Layout16>;
    using Src = std::conditional_t<S == kDirect, DirectSource<L>,
                                   std::conditional_t<S == kIndexed, IndexedSource<L>, AlphaSource<L>>>;
    using type = std::conditional_t<S == kAlphaSource && M == kmNone && !Trans && !Bright && !Blend,
                                    AlphaCopyRule<L>,
                                    PixelRule<L, Src, typename ModeFor<M, L, Bright>::type, Trans, Bright, Blend>>;
};

// Decodes a table index into the template arguments of Entry and takes Entry<...>::fn.
template <template <bool, int, int, bool, bool, bool> class Entry, int I>
constexpr auto EntryAt() {
    constexpr bool blend = I & 1;
    constexpr bool bright = (I >> 1) & 1;
    constexpr bool trans = (I >> 2) & 1;
    constexpr int mode = (I >> 3) % kKernelModeCount;
    constexpr int source = ((I >> 3) / kKernelModeCount) % kSourceKindCount;
    constexpr bool is32 = ((I >> 3) / kKernelModeCount) / kSourceKindCount;
    return Entry<is32, source, mode, trans, bright, blend>::fn;
}

template <template <bool, int, int, bool, bool, bool> class Entry, size_t... I>
constexpr auto MakeTable(std::index_sequence<I...>) {
    return std::array{EntryAt<Entry, int(I)>()...};
}

template <template <bool, int, int, bool, bool, bool> class Entry>
constexpr auto MakeKernelTable() {
    return MakeTable<Entry>(std::make_index_sequence<kTableSize>());
}

// Draws n contiguous pixels; weights is the blend-image row under the source (null without one).
using PutSpanFn = void (*)(uint8_t *dest, const uint8_t *src, const uint8_t *weights, int n, const Context &c);
// Draws n pixels whose source and weight bytes lie at the given offsets; a negative source offset
// leaves the target pixel alone.
using GatherSpanFn = void (*)(uint8_t *dest, const uint8_t *src, const int32_t *srcOffsets,
                              const uint8_t *weights, const int32_t *weightOffsets, int n, const Context &c);

template <class Rule>
void PutSpanGeneric(uint8_t *dest, const uint8_t *src, const uint8_t *weights, int n, const Context &c) {
    constexpr int db = Rule::Layout::kBytes;
    constexpr int sb = Rule::Source::kBytes;
    for (int i = 0; i < n; ++i) {
        const uint8_t *w = nullptr;
        if constexpr (Rule::kBlend) w = weights + i;
        Rule::Apply(dest + i * db, src + i * sb, w, c);
    }
}

template <class Rule>
void GatherSpanGeneric(uint8_t *dest, const uint8_t *src, const int32_t *srcOffsets, const uint8_t *weights,
                       const int32_t *weightOffsets, int n, const Context &c) {
    constexpr int db = Rule::Layout::kBytes;
    for (int i = 0; i < n; ++i) {
        if (srcOffsets[i] < 0) continue;
        const uint8_t *w = nullptr;
        if constexpr (Rule::kBlend) w = weights + weightOffsets[i];
        Rule::Apply(dest + i * db, src + srcOffsets[i], w, c);
    }
}

template <bool Is32, int S, int M, bool Trans, bool Bright, bool Blend>
struct GatherEntry {
    static constexpr GatherSpanFn fn = &GatherSpanGeneric<typename RuleFor<Is32, S, M, Trans, Bright, Blend>::type>;
};

// The gather loop of a table entry (one table for the scaled and triangle kernels).
GatherSpanFn GatherSpanAt(int index);

// Everything a kernel call needs after its checks.
struct Call {
    Context ctx;
    int index;          // table entry
    int sourceBytes;
    int targetBytes;
    int mode;           // KernelMode
    bool sourceAlpha;
};

// Checks the images and settings and fills the call; false when nothing is to be drawn.
bool PrepareCall(const SoftDrawSettings &settings, const MEMIMG *target, const MEMIMG *source, int trans,
                 const MEMIMG *blendImage, Call *call);
// The draw area clipped to the target; false when it is empty.
bool TargetArea(const SoftDrawSettings &settings, const MEMIMG *target, MemImgRect *area);

}  // namespace zq::kernel
