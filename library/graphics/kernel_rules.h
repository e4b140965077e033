// The per-pixel rules of the software drawing kernels, written once per blend mode as templates
// over the pixel layout. A PixelRule combines a source kind (direct, indexed, alpha), a mode, and
// the trans, brightness and blend-image choices into one inline function; the kernels instantiate
// one loop per combination, so no test inside a pixel loop depends on the call's options.
//
// Channels are blue, green, red: bytes of a 32-bit pixel, the 5-6-5 fields of a 16-bit pixel.
// In 32 bits the rules that work per channel keep the target's top byte; the whole-value forms
// (copy, halving average, saturating add and subtract) set it as their formula does. A source's
// top byte survives brightness; a source rescaled per channel has a top byte of 0.
#pragma once

#include <cstdint>
#include <cstring>

#include "graphics/blend_tables.h"

namespace zq::kernel {

// Values of one call that the rules read: the tables' rows for the parameter and brightness.
struct Context {
    int param;
    const int *mulParam;      // MulTable row p
    const int *signedParam;   // SignedMulTable row p, indexed by -255..255
    const uint8_t *lerp6;     // Lerp6Table plane p >> 2
    const int *mulBright[3];  // MulTable rows of the blue, green and red brightness
    uint32_t transColor;
    const uint8_t *palette;   // the source's palette, or null
    const uint8_t *ramp;      // BlendImageRamp
};

struct Layout16 {
    static constexpr int kBytes = 2;
    static constexpr int kShift[3] = {0, 5, 11};
    static constexpr int kWidth[3] = {5, 6, 5};
    static constexpr uint32_t kColorMask = 0xFFFF;
    static uint32_t Load(const uint8_t *p) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    }
    static void Store(uint8_t *p, uint32_t v) {
        auto w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    }
};

struct Layout32 {
    static constexpr int kBytes = 4;
    static constexpr int kShift[3] = {0, 8, 16};
    static constexpr int kWidth[3] = {8, 8, 8};
    static constexpr uint32_t kColorMask = 0xFFFFFF;
    static uint32_t Load(const uint8_t *p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static void Store(uint8_t *p, uint32_t v) { std::memcpy(p, &v, 4); }
};

template <class L, int I>
inline constexpr int kMax = (1 << L::kWidth[I]) - 1;

template <class L, int I>
inline int Ch(uint32_t v) {
    return static_cast<int>((v >> L::kShift[I]) & kMax<L, I>);
}

// Applies f(targetChannel, sourceChannel, width, index) to the three channels; keeps d's other bits.
template <class L, class F>
inline uint32_t PerChannel(uint32_t d, uint32_t s, F f) {
    return (d & ~L::kColorMask) | (uint32_t(f(Ch<L, 0>(d), Ch<L, 0>(s), L::kWidth[0], 0)) << L::kShift[0]) |
           (uint32_t(f(Ch<L, 1>(d), Ch<L, 1>(s), L::kWidth[1], 1)) << L::kShift[1]) |
           (uint32_t(f(Ch<L, 2>(d), Ch<L, 2>(s), L::kWidth[2], 2)) << L::kShift[2]);
}

// (2^S * d + (x - d) * f) >> S; never negative because f < 2^S.
template <int S>
inline int LerpChannel(int d, int x, int64_t f) {
    return static_cast<int>(((int64_t{d} << S) + (x - d) * f) >> S);
}

// ---- Saturating add and subtract on whole pixels with guard bits --------------------------------

inline uint32_t AddBytesSaturated(uint32_t d, uint32_t s) {
    uint32_t r = 0;
    for (int i = 0; i < 32; i += 8) {
        uint32_t v = ((d >> i) & 0xFF) + ((s >> i) & 0xFF);
        r |= (v > 255 ? 255 : v) << i;
    }
    return r;
}

inline uint32_t SubtractBytesSaturated(uint32_t d, uint32_t s) {
    uint32_t r = 0;
    for (int i = 0; i < 32; i += 8) {
        int v = int((d >> i) & 0xFF) - int((s >> i) & 0xFF);
        r |= uint32_t(v < 0 ? 0 : v) << i;
    }
    return r;
}

// Full: the parameter is 255 (32 bits: exact bytes; 16 bits: no low-bit restoring term).
template <class L, bool Full>
inline uint32_t SaturatingAdd(uint32_t d, uint32_t s) {
    if constexpr (L::kBytes == 4) {
        if constexpr (Full) return AddBytesSaturated(d, s);
        uint32_t sum = (d & 0xFEFEFF) + (s & 0xFEFEFF);
        uint32_t c = sum & 0x1010100;
        return (c - (c >> 8)) | sum | ((d | s) & 0x10100);
    } else {
        // One pixel in the low half: guard bits at 5, 11 and 16; no carry leaves bit 31.
        uint32_t sum = (d & 0xF7DEF7DF) + (s & 0xF7DEF7DF);
        uint32_t c = sum & 0x08210820;
        uint32_t r = (c - (c >> 5)) | sum;
        if constexpr (!Full) r |= (d | s) & 0x0820;
        return r & 0xFFFF;
    }
}

template <class L, bool Full>
inline uint32_t SaturatingSubtract(uint32_t d, uint32_t s) {
    if constexpr (L::kBytes == 4) {
        if constexpr (Full) return SubtractBytesSaturated(d, s);
        uint32_t x = (d | 0x1010100) - (s & 0xFEFEFEFF);
        uint32_t c = x & 0x1010100;
        return x & (c - (c >> 8));
    } else {
        uint32_t x = (d | 0x08210820) - (s & 0xF7DEF7DF);
        uint32_t c = x & 0x08210820;
        return (x & (c - (c >> 5))) & 0xFFFF;
    }
}

// ---- Source kinds ----------------------------------------------------------------------------------

template <class L>
struct DirectSource {
    static constexpr bool kAlpha = false;
    static constexpr int kBytes = L::kBytes;
    static uint32_t Raw(const uint8_t *p) { return L::Load(p); }
    static uint32_t Color(uint32_t raw, const Context &) { return raw; }
};

template <class L>
struct IndexedSource {
    static constexpr bool kAlpha = false;
    static constexpr int kBytes = 1;
    static uint32_t Raw(const uint8_t *p) { return *p; }
    static uint32_t Color(uint32_t raw, const Context &c) { return L::Load(c.palette + raw * L::kBytes); }
};

// 16-bit pixels with alpha are 4 bytes: the 5-6-5 color in the low word, alpha in byte 2.
template <class L>
struct AlphaSource {
    static constexpr bool kAlpha = true;
    static constexpr int kBytes = 4;
    static uint32_t Raw(const uint8_t *p) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
    static uint32_t Color(uint32_t raw, const Context &) { return L::kBytes == 4 ? raw : raw & 0xFFFF; }
    static int Alpha(uint32_t raw) { return L::kBytes == 4 ? int(raw >> 24) : int((raw >> 16) & 0xFF); }
};

// Inversion (BLEND_INVERT) then brightness, channel by channel.
template <class L, bool Invert, bool Bright>
inline uint32_t PrepareSource(uint32_t s, const Context &c) {
    if constexpr (!Invert && !Bright) {
        return s;
    } else {
        return PerChannel<L>(s, s, [&](int, int v, int width, int i) {
            if constexpr (Invert) v = ((1 << width) - 1) - v;
            if constexpr (Bright) v = c.mulBright[i][v];
            return v;
        });
    }
}

// ---- Blend modes --------------------------------------------------------------------------------
// Each mode gives the rule for a source without alpha (Opaque), the one an alpha source uses for
// alpha 255 under trans (OpaqueOfAlphaSource), for other alpha values (Alpha), and the forms with
// a blend-image weight t (Weight, WeightAlpha).

template <class L, bool Bright>
struct ModeNone {
    static constexpr bool kSkipsZeroAlpha = true;
    static constexpr bool kInvert = false;
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &) {
        if constexpr (Bright) return (d & ~L::kColorMask) | (s & L::kColorMask);
        return s;
    }
    static uint32_t OpaqueOfAlphaSource(uint32_t d, uint32_t s, const Context &c) { return Opaque(d, s, c); }
    static uint32_t Alpha(uint32_t d, uint32_t s, int a, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<8>(dc, sc, a); });
    }
    static uint32_t Weight(uint32_t d, uint32_t s, int t, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<8>(dc, sc, t); });
    }
    static uint32_t WeightAlpha(uint32_t d, uint32_t s, int t, int a, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<16>(dc, sc, t * a); });
    }
};

template <class L, bool Bright>
struct ModeAlpha {
    static constexpr bool kSkipsZeroAlpha = true;
    static constexpr bool kInvert = false;
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &c) {
        if constexpr (L::kBytes == 4) {
            return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<8>(dc, sc, c.param); });
        } else {
            return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return int(c.lerp6[sc * kLerp6Size + dc]); });
        }
    }
    static uint32_t OpaqueOfAlphaSource(uint32_t d, uint32_t s, const Context &c) {
        if constexpr (L::kBytes == 4) {
            return Opaque(d, s, c);
        } else {
            return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return dc + c.signedParam[sc - dc]; });
        }
    }
    static uint32_t Alpha(uint32_t d, uint32_t s, int a, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<16>(dc, sc, a * c.param); });
    }
    static uint32_t Weight(uint32_t d, uint32_t s, int t, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) { return LerpChannel<16>(dc, sc, t * c.param); });
    }
    static uint32_t WeightAlpha(uint32_t d, uint32_t s, int t, int a, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int, int) {
            return LerpChannel<24>(dc, sc, int64_t{t} * a * c.param);
        });
    }
};

// BLEND_ALPHA at parameter 128 for sources without alpha and without a blend image.
template <class L, bool Bright>
struct ModeAlphaHalf : ModeAlpha<L, Bright> {
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &) {
        if constexpr (L::kBytes == 4) return ((s >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F);
        return ((s >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
    }
};

// Scaled source for add and subtract: s' = s at parameter 255, else MulTable[p][s] per channel.
template <class L, bool Full>
inline uint32_t ScaleByParam(uint32_t s, const Context &c) {
    if constexpr (Full) return s;
    return PerChannel<L>(0, s, [&](int, int sc, int, int) { return c.mulParam[sc]; });
}

template <class L>
inline uint32_t ScaleByAlphaParam(uint32_t s, int a, const Context &c) {
    if constexpr (L::kBytes == 4) {
        return PerChannel<L>(0, s, [&](int, int sc, int, int) { return (sc * a * c.param) >> 16; });
    } else {
        return PerChannel<L>(0, s, [&](int, int sc, int, int) { return c.mulParam[(sc * a) >> 8]; });
    }
}

template <class L>
inline uint32_t ScaleByWeight(uint32_t s, int t, const Context &c) {
    return PerChannel<L>(0, s, [&](int, int sc, int, int) { return (sc * t * c.param) >> 16; });
}

template <class L>
inline uint32_t ScaleByWeightAlpha(uint32_t s, int t, int a, const Context &c) {
    return PerChannel<L>(0, s, [&](int, int sc, int, int) {
        return int((uint32_t(sc) * uint32_t(t) * uint32_t(a) * uint32_t(c.param)) >> 24);
    });
}

// Add (Subtract false) or subtract; Full when the parameter is 255.
template <class L, bool Bright, bool Subtract, bool Full>
struct ModeAddSubtract {
    static constexpr bool kSkipsZeroAlpha = true;
    static constexpr bool kInvert = false;
    static uint32_t Apply(uint32_t d, uint32_t s) {
        if constexpr (Subtract) return SaturatingSubtract<L, Full>(d, s);
        return SaturatingAdd<L, Full>(d, s);
    }
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &c) { return Apply(d, ScaleByParam<L, Full>(s, c)); }
    static uint32_t OpaqueOfAlphaSource(uint32_t d, uint32_t s, const Context &c) { return Opaque(d, s, c); }
    static uint32_t Alpha(uint32_t d, uint32_t s, int a, const Context &c) { return Apply(d, ScaleByAlphaParam<L>(s, a, c)); }
    static uint32_t Weight(uint32_t d, uint32_t s, int t, const Context &c) { return Apply(d, ScaleByWeight<L>(s, t, c)); }
    static uint32_t WeightAlpha(uint32_t d, uint32_t s, int t, int a, const Context &c) {
        return Apply(d, ScaleByWeightAlpha<L>(s, t, a, c));
    }
};

template <class L, bool Bright>
using ModeAdd = ModeAddSubtract<L, Bright, false, false>;
template <class L, bool Bright>
using ModeAddFull = ModeAddSubtract<L, Bright, false, true>;
template <class L, bool Bright>
using ModeSubtract = ModeAddSubtract<L, Bright, true, false>;
template <class L, bool Bright>
using ModeSubtractFull = ModeAddSubtract<L, Bright, true, true>;

// d * s scaled back by the channel width; alpha and weight add eight bits of shift each.
template <class L, bool Bright>
struct ModeMultiply {
    static constexpr bool kSkipsZeroAlpha = false;
    static constexpr bool kInvert = false;
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) { return (dc * sc) >> n; });
    }
    static uint32_t OpaqueOfAlphaSource(uint32_t d, uint32_t s, const Context &c) { return Opaque(d, s, c); }
    static uint32_t Alpha(uint32_t d, uint32_t s, int a, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) { return (dc * sc * a) >> (n + 8); });
    }
    static uint32_t Weight(uint32_t d, uint32_t s, int t, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) { return (dc * sc * t) >> (n + 8); });
    }
    static uint32_t WeightAlpha(uint32_t d, uint32_t s, int t, int a, const Context &) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) {
            return int((uint32_t(dc) * uint32_t(sc) * uint32_t(t) * uint32_t(a)) >> (n + 16));
        });
    }
};

// Blend toward a per-channel goal x(d, s) by the parameter: the inverted source (BLEND_INVERT,
// whose source arrives inverted) or d * s (BLEND_MULTIPLY_ALPHA).
template <class L, bool Bright, bool MultiplyGoal>
struct ModeTowardGoal {
    static constexpr bool kSkipsZeroAlpha = false;
    static constexpr bool kInvert = !MultiplyGoal;
    static int Goal(int dc, int sc, int n) {
        if constexpr (MultiplyGoal) return (sc * dc) >> n;
        return sc;
    }
    static uint32_t Opaque(uint32_t d, uint32_t s, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) {
            int x = Goal(dc, sc, n);
            if constexpr (L::kBytes == 4) return LerpChannel<8>(dc, x, c.param);
            return dc + c.signedParam[x - dc];
        });
    }
    static uint32_t OpaqueOfAlphaSource(uint32_t d, uint32_t s, const Context &c) { return Opaque(d, s, c); }
    static uint32_t Alpha(uint32_t d, uint32_t s, int a, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) {
            return LerpChannel<16>(dc, Goal(dc, sc, n), a * c.param);
        });
    }
    static uint32_t Weight(uint32_t d, uint32_t s, int t, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) {
            return LerpChannel<16>(dc, Goal(dc, sc, n), t * c.param);
        });
    }
    static uint32_t WeightAlpha(uint32_t d, uint32_t s, int t, int a, const Context &c) {
        return PerChannel<L>(d, s, [&](int dc, int sc, int n, int) {
            return LerpChannel<24>(dc, Goal(dc, sc, n), int64_t{t} * a * c.param);
        });
    }
};

template <class L, bool Bright>
using ModeInvert = ModeTowardGoal<L, Bright, false>;
template <class L, bool Bright>
using ModeMultiplyAlpha = ModeTowardGoal<L, Bright, true>;

// ---- One pixel ------------------------------------------------------------------------------------

template <class L, class Src, class Mode, bool Trans, bool Bright, bool Blend>
struct PixelRule {
    using Layout = L;
    using Source = Src;
    static constexpr bool kBlend = Blend;

    // weight: the blend-image byte under the source pixel (read only with a blend image).
    static inline void Apply(uint8_t *dp, const uint8_t *sp, const uint8_t *weight, const Context &c) {
        uint32_t raw = Src::Raw(sp);
        if constexpr (Trans && !Src::kAlpha) {
            if (raw == c.transColor) return;
        }
        uint32_t s = PrepareSource<L, Mode::kInvert, Bright>(Src::Color(raw, c), c);
        uint32_t d = L::Load(dp);
        int t = 0;
        if constexpr (Blend) t = c.ramp[*weight];
        if constexpr (Src::kAlpha) {
            int a = Src::Alpha(raw);
            if constexpr (Trans) {
                if (Mode::kSkipsZeroAlpha && a == 0) return;
                if (a == 255) {
                    if constexpr (Blend) {
                        L::Store(dp, Mode::Weight(d, s, t, c));
                    } else {
                        L::Store(dp, Mode::OpaqueOfAlphaSource(d, s, c));
                    }
                    return;
                }
            }
            if constexpr (Blend) {
                L::Store(dp, Mode::WeightAlpha(d, s, t, a, c));
            } else {
                L::Store(dp, Mode::Alpha(d, s, a, c));
            }
        } else if constexpr (Blend) {
            L::Store(dp, Mode::Weight(d, s, t, c));
        } else {
            L::Store(dp, Mode::Opaque(d, s, c));
        }
    }
};

// A pixel of an alpha source known to have alpha 255, drawn with trans: what PixelRule gives it,
// without reading the alpha. The span path uses it for the opaque spans of alpha sources.
template <class L, class Mode, bool Bright, bool Blend>
struct OpaqueAlphaPixelRule {
    using Layout = L;
    using Source = AlphaSource<L>;
    static constexpr bool kBlend = Blend;
    static inline void Apply(uint8_t *dp, const uint8_t *sp, const uint8_t *weight, const Context &c) {
        uint32_t s = PrepareSource<L, Mode::kInvert, Bright>(Source::Color(Source::Raw(sp), c), c);
        uint32_t d = L::Load(dp);
        if constexpr (Blend) {
            L::Store(dp, Mode::Weight(d, s, c.ramp[*weight], c));
        } else {
            L::Store(dp, Mode::OpaqueOfAlphaSource(d, s, c));
        }
    }
};

// BLEND_NONE with an alpha source, white brightness, no blend image and trans off: the source is
// copied unchanged (32 bits: all four bytes; 16 bits: the color word).
template <class L>
struct AlphaCopyRule {
    using Layout = L;
    using Source = AlphaSource<L>;
    static constexpr bool kBlend = false;
    static inline void Apply(uint8_t *dp, const uint8_t *sp, const uint8_t *, const Context &c) {
        L::Store(dp, Source::Color(Source::Raw(sp), c));
    }
};

}  // namespace zq::kernel
