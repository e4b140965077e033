// SSE2 forms of the most used put loops. Each computes exactly the rule of kernel_rules.h for
// its combination (8 16-bit or 4 32-bit pixels per step, the rest pixel by pixel through the
// rule), so the dispatch table can hold them in place of the generic loops.
#pragma once

#include <cstring>

#include "graphics/kernel_rules.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#define ZQ_KERNELS_SSE2 1
#endif

namespace zq::kernel {

// Whole-line copy: BLEND_NONE, white brightness, no trans, no blend image.
template <int Bytes>
void CopySpan(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &) {
    std::memcpy(dest, src, size_t(n) * Bytes);
}

#if ZQ_KERNELS_SSE2

inline __m128i Load128(const uint8_t *p) { return _mm_loadu_si128(reinterpret_cast<const __m128i *>(p)); }
inline void Store128(uint8_t *p, __m128i v) { _mm_storeu_si128(reinterpret_cast<__m128i *>(p), v); }

// Runs Op over 16 bytes at a time and Rule over the tail. With Trans, source pixels equal to the
// color key keep the target.
template <class Rule, bool Trans, class Op>
inline void Sse2Span(uint8_t *dest, const uint8_t *src, int n, const Context &c, Op op) {
    constexpr int bytes = Rule::Layout::kBytes;
    constexpr int step = 16 / bytes;
    __m128i key = bytes == 2 ? _mm_set1_epi16(short(c.transColor)) : _mm_set1_epi32(int(c.transColor));
    int i = 0;
    for (; i + step <= n; i += step) {
        __m128i s = Load128(src + i * bytes);
        __m128i d = Load128(dest + i * bytes);
        __m128i r = op(d, s);
        if constexpr (Trans) {
            __m128i keyed = bytes == 2 ? _mm_cmpeq_epi16(s, key) : _mm_cmpeq_epi32(s, key);
            r = _mm_or_si128(_mm_and_si128(keyed, d), _mm_andnot_si128(keyed, r));
        }
        Store128(dest + i * bytes, r);
    }
    for (; i < n; ++i) Rule::Apply(dest + i * bytes, src + i * bytes, nullptr, c);
}

// Fields of eight 5-6-5 pixels.
inline __m128i Blue16(__m128i v) { return _mm_and_si128(v, _mm_set1_epi16(0x1F)); }
inline __m128i Green16(__m128i v) { return _mm_and_si128(_mm_srli_epi16(v, 5), _mm_set1_epi16(0x3F)); }
inline __m128i Red16(__m128i v) { return _mm_srli_epi16(v, 11); }
inline __m128i Pack565(__m128i b, __m128i g, __m128i r) {
    return _mm_or_si128(_mm_or_si128(b, _mm_slli_epi16(g, 5)), _mm_slli_epi16(r, 11));
}
// trunc(x / 255) for any 16-bit x: (x * 0x8081) >> 23.
inline __m128i Div255(__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(short(0x8081))), 7); }
// trunc(x / 63) for x <= 4032: (x * 4162) >> 18; equals the Lerp6Table entries.
inline __m128i Div63(__m128i x) { return _mm_srli_epi16(_mm_mulhi_epu16(x, _mm_set1_epi16(4162)), 2); }

template <class Rule, bool Trans>
void KeyedCopySpan(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    Sse2Span<Rule, Trans>(dest, src, n, c, [](__m128i, __m128i s) { return s; });
}

template <class Rule, bool Trans>
void HalveSpan16(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i mask = _mm_set1_epi16(0x7BEF);
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        return _mm_add_epi16(_mm_and_si128(_mm_srli_epi16(s, 1), mask), _mm_and_si128(_mm_srli_epi16(d, 1), mask));
    });
}

template <class Rule, bool Trans>
void HalveSpan32(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i mask = _mm_set1_epi32(0x7F7F7F);
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        return _mm_add_epi32(_mm_and_si128(_mm_srli_epi32(s, 1), mask), _mm_and_si128(_mm_srli_epi32(d, 1), mask));
    });
}

// Lerp6Table[k][s][d] = trunc((s * k + d * (63 - k)) / 63), field by field.
template <class Rule, bool Trans>
void AlphaSpan16(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i k = _mm_set1_epi16(short(c.param >> 2));
    const __m128i k1 = _mm_set1_epi16(short(63 - (c.param >> 2)));
    auto lerp = [&](__m128i s, __m128i d) {
        return Div63(_mm_add_epi16(_mm_mullo_epi16(s, k), _mm_mullo_epi16(d, k1)));
    };
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        return Pack565(lerp(Blue16(s), Blue16(d)), lerp(Green16(s), Green16(d)), lerp(Red16(s), Red16(d)));
    });
}

// (256 d + (s - d) p) >> 8 = (d (256 - p) + s p) >> 8 per byte; the target keeps its top byte.
template <class Rule, bool Trans>
void AlphaSpan32(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i p = _mm_set1_epi16(short(c.param));
    const __m128i q = _mm_set1_epi16(short(256 - c.param));
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi32(int(0xFF000000u));
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        __m128i lo = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(d, zero), q),
                                                  _mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), p)), 8);
        __m128i hi = _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(d, zero), q),
                                                  _mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), p)), 8);
        __m128i r = _mm_packus_epi16(lo, hi);
        return _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
    });
}

// MulTable[p][f] per field.
inline __m128i ScaleFields16(__m128i s, __m128i p) {
    return Pack565(Div255(_mm_mullo_epi16(Blue16(s), p)), Div255(_mm_mullo_epi16(Green16(s), p)),
                   Div255(_mm_mullo_epi16(Red16(s), p)));
}

// The one-pixel guard-bit add in 16-bit lanes: the carry out of bit 15 stands for guard bit 16.
template <class Rule, bool Trans, bool Full>
void AddSpan16(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i p = _mm_set1_epi16(short(c.param));
    const __m128i mask = _mm_set1_epi16(short(0xF7DF));
    const __m128i guards = _mm_set1_epi16(0x0820);
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        if constexpr (!Full) s = ScaleFields16(s, p);
        __m128i dm = _mm_and_si128(d, mask), sm = _mm_and_si128(s, mask);
        __m128i sum = _mm_add_epi16(dm, sm);
        __m128i carry = _mm_or_si128(_mm_and_si128(dm, sm), _mm_andnot_si128(sum, _mm_or_si128(dm, sm)));
        __m128i k = _mm_slli_epi16(_mm_srli_epi16(carry, 15), 11);
        __m128i g = _mm_and_si128(sum, guards);
        __m128i r = _mm_or_si128(_mm_sub_epi16(g, _mm_or_si128(_mm_srli_epi16(g, 5), k)), sum);
        if constexpr (!Full) r = _mm_or_si128(r, _mm_and_si128(_mm_or_si128(d, s), guards));
        return r;
    });
}

// The one-pixel guard-bit subtract in 16-bit lanes: "no borrow out of bit 15" stands for guard 16.
template <class Rule, bool Trans, bool Full>
void SubtractSpan16(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i p = _mm_set1_epi16(short(c.param));
    const __m128i mask = _mm_set1_epi16(short(0xF7DF));
    const __m128i guards = _mm_set1_epi16(0x0820);
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        if constexpr (!Full) s = ScaleFields16(s, p);
        __m128i dg = _mm_or_si128(d, guards), sm = _mm_and_si128(s, mask);
        __m128i x = _mm_sub_epi16(dg, sm);
        __m128i noBorrow = _mm_cmpeq_epi16(_mm_subs_epu16(sm, dg), _mm_setzero_si128());
        __m128i k = _mm_and_si128(noBorrow, _mm_set1_epi16(0x0800));
        __m128i g = _mm_and_si128(x, guards);
        return _mm_and_si128(x, _mm_sub_epi16(g, _mm_or_si128(_mm_srli_epi16(g, 5), k)));
    });
}

// MulTable[p][byte] for the three color bytes; the top byte becomes 0.
inline __m128i ScaleBytes32(__m128i s, __m128i p) {
    const __m128i zero = _mm_setzero_si128();
    __m128i lo = Div255(_mm_mullo_epi16(_mm_unpacklo_epi8(s, zero), p));
    __m128i hi = Div255(_mm_mullo_epi16(_mm_unpackhi_epi8(s, zero), p));
    return _mm_and_si128(_mm_packus_epi16(lo, hi), _mm_set1_epi32(0xFFFFFF));
}

template <class Rule, bool Trans, bool Full>
void AddSpan32(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i p = _mm_set1_epi16(short(c.param));
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        if constexpr (Full) {
            return _mm_adds_epu8(d, s);
        } else {
            s = ScaleBytes32(s, p);
            const __m128i mask = _mm_set1_epi32(0xFEFEFF);
            __m128i sum = _mm_add_epi32(_mm_and_si128(d, mask), _mm_and_si128(s, mask));
            __m128i g = _mm_and_si128(sum, _mm_set1_epi32(0x1010100));
            __m128i r = _mm_or_si128(_mm_sub_epi32(g, _mm_srli_epi32(g, 8)), sum);
            return _mm_or_si128(r, _mm_and_si128(_mm_or_si128(d, s), _mm_set1_epi32(0x10100)));
        }
    });
}

template <class Rule, bool Trans, bool Full>
void SubtractSpan32(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i p = _mm_set1_epi16(short(c.param));
    Sse2Span<Rule, Trans>(dest, src, n, c, [&](__m128i d, __m128i s) {
        if constexpr (Full) {
            return _mm_subs_epu8(d, s);
        } else {
            s = ScaleBytes32(s, p);
            __m128i x = _mm_sub_epi32(_mm_or_si128(d, _mm_set1_epi32(0x1010100)),
                                      _mm_and_si128(s, _mm_set1_epi32(int(0xFEFEFEFFu))));
            __m128i g = _mm_and_si128(x, _mm_set1_epi32(0x1010100));
            return _mm_and_si128(x, _mm_sub_epi32(g, _mm_srli_epi32(g, 8)));
        }
    });
}

// BLEND_NONE with a 32-bit alpha source under trans: alpha 0 keeps the target (the formula gives
// it unchanged), 255 copies the source, others (256 d + (s - d) a) >> 8 with the target's top byte.
template <class Rule>
void AlphaSourceSpan32(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i top = _mm_set1_epi32(int(0xFF000000u));
    const __m128i c256 = _mm_set1_epi16(256);
    auto half = [&](__m128i d, __m128i s) {
        __m128i a = _mm_shufflehi_epi16(_mm_shufflelo_epi16(s, _MM_SHUFFLE(3, 3, 3, 3)), _MM_SHUFFLE(3, 3, 3, 3));
        return _mm_srli_epi16(_mm_add_epi16(_mm_mullo_epi16(d, _mm_sub_epi16(c256, a)), _mm_mullo_epi16(s, a)), 8);
    };
    int i = 0;
    for (; i + 4 <= n; i += 4) {
        __m128i s = Load128(src + i * 4);
        __m128i d = Load128(dest + i * 4);
        __m128i r = _mm_packus_epi16(half(_mm_unpacklo_epi8(d, zero), _mm_unpacklo_epi8(s, zero)),
                                     half(_mm_unpackhi_epi8(d, zero), _mm_unpackhi_epi8(s, zero)));
        r = _mm_or_si128(_mm_andnot_si128(top, r), _mm_and_si128(top, d));
        __m128i opaque = _mm_cmpeq_epi32(_mm_and_si128(s, top), top);
        Store128(dest + i * 4, _mm_or_si128(_mm_and_si128(opaque, s), _mm_andnot_si128(opaque, r)));
    }
    for (; i < n; ++i) Rule::Apply(dest + i * 4, src + i * 4, nullptr, c);
}

// Opaque pixels of a 16-bit alpha source in BLEND_NONE without brightness: the low color words.
// Sign-extending each word makes the saturating pack exact.
template <class Rule>
void ColorWordsSpan(uint8_t *dest, const uint8_t *src, const uint8_t *, int n, const Context &c) {
    int i = 0;
    for (; i + 8 <= n; i += 8) {
        __m128i lo = _mm_srai_epi32(_mm_slli_epi32(Load128(src + i * 4), 16), 16);
        __m128i hi = _mm_srai_epi32(_mm_slli_epi32(Load128(src + i * 4 + 16), 16), 16);
        Store128(dest + i * 2, _mm_packs_epi32(lo, hi));
    }
    for (; i < n; ++i) Rule::Apply(dest + i * 2, src + i * 4, nullptr, c);
}

#endif  // ZQ_KERNELS_SSE2

// Copies a run of bytes that is short and of any length, without a library call: 32-byte pieces
// with an overlapping last piece, smaller pieces below 32 bytes.
inline void CopyRun(uint8_t *dest, const uint8_t *src, size_t size) {
#if ZQ_KERNELS_SSE2
    if (size >= 32) {
        size_t i = 0;
        for (; i + 32 < size; i += 32) {
            __m128i a = Load128(src + i), b = Load128(src + i + 16);
            Store128(dest + i, a);
            Store128(dest + i + 16, b);
        }
        __m128i a = Load128(src + size - 32), b = Load128(src + size - 16);
        Store128(dest + size - 32, a);
        Store128(dest + size - 16, b);
        return;
    }
    if (size >= 16) {
        __m128i a = Load128(src), b = Load128(src + size - 16);
        Store128(dest, a);
        Store128(dest + size - 16, b);
        return;
    }
#endif
    if (size >= 8) {
        uint64_t a, b;
        std::memcpy(&a, src, 8);
        std::memcpy(&b, src + size - 8, 8);
        std::memcpy(dest, &a, 8);
        std::memcpy(dest + size - 8, &b, 8);
    } else {
        for (size_t i = 0; i < size; ++i) dest[i] = src[i];
    }
}

}  // namespace zq::kernel
