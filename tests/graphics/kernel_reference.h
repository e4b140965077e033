// Plain, slow forms of the software renderer's pixel rules, written channel by channel from the
// rules' own words, for tests to compare the kernels against. One pixel at a time, no tables.
#pragma once

#include <cstdint>

namespace zq::reference {

struct PixelCase {
    bool is32;
    int mode;                 // blend mode 0..11
    int param;                // 0..255
    int bright[3];            // blue, green, red
    bool trans;
    bool blend;               // a blend image is present; weight below
    int weight;               // BlendImageRamp value of the blend-image pixel
    uint32_t transColor;
};

inline int Width(bool is32, int ch) { return is32 ? 8 : (ch == 1 ? 6 : 5); }
inline int Shift(bool is32, int ch) { return is32 ? 8 * ch : (ch == 0 ? 0 : (ch == 1 ? 5 : 11)); }
inline int Max(bool is32, int ch) { return (1 << Width(is32, ch)) - 1; }
inline int Get(uint32_t v, bool is32, int ch) { return int((v >> Shift(is32, ch)) & uint32_t(Max(is32, ch))); }
inline uint32_t Set(uint32_t v, bool is32, int ch, int x) {
    return (v & ~(uint32_t(Max(is32, ch)) << Shift(is32, ch))) | (uint32_t(x) << Shift(is32, ch));
}

// (2^shift * d + (x - d) * f) >> shift, arithmetic shift.
inline int Lerp(int d, int x, int64_t f, int shift) { return int(((int64_t{d} << shift) + (x - d) * f) >> shift); }

// Saturating add and subtract with guard bits, one pixel (16 bits: in the low half of the word).
inline uint32_t Add(bool is32, bool full, uint32_t d, uint32_t s) {
    if (is32) {
        if (full) {
            uint32_t r = 0;
            for (int i = 0; i < 4; ++i) {
                int v = int((d >> (8 * i)) & 0xFF) + int((s >> (8 * i)) & 0xFF);
                r |= uint32_t(v > 255 ? 255 : v) << (8 * i);
            }
            return r;
        }
        uint32_t sum = (d & 0xFEFEFF) + (s & 0xFEFEFF);
        uint32_t c = sum & 0x1010100;
        return ((c - (c >> 8)) | sum) | ((d | s) & 0x10100);
    }
    uint32_t sum = (d & 0xF7DEF7DF) + (s & 0xF7DEF7DF);
    uint32_t c = sum & 0x08210820;
    uint32_t k = 0;  // a single pixel never carries out of bit 31
    uint32_t r = (c - ((c >> 5) | k)) | sum;
    if (!full) r |= (d | s) & 0x0820;
    return r & 0xFFFF;
}

inline uint32_t Subtract(bool is32, bool full, uint32_t d, uint32_t s) {
    if (is32) {
        if (full) {
            uint32_t r = 0;
            for (int i = 0; i < 4; ++i) {
                int v = int((d >> (8 * i)) & 0xFF) - int((s >> (8 * i)) & 0xFF);
                r |= uint32_t(v < 0 ? 0 : v) << (8 * i);
            }
            return r;
        }
        uint32_t x = (d | 0x1010100) - (s & 0xFEFEFEFF);
        uint32_t c = x & 0x1010100;
        return x & (c - (c >> 8));
    }
    uint32_t x = (d | 0x08210820) - (s & 0xF7DEF7DF);
    uint32_t c = x & 0x08210820;
    return x & (c - (c >> 5)) & 0xFFFF;
}

// The new target pixel d for a source pixel: raw is the stored value (an index for an indexed
// source), color the value it stands for (the palette entry), alpha -1 for a source without alpha.
inline uint32_t Pixel(const PixelCase &k, uint32_t d, uint32_t raw, uint32_t color, int alpha) {
    bool is32 = k.is32;
    int p = k.param, mode = k.mode, t = k.weight;
    bool hasAlpha = alpha >= 0;
    if (!(mode <= 4 || mode == 10 || mode == 11)) return d;
    if ((mode == 1 || mode == 2 || mode == 3) && p == 0) return d;
    if (mode == 1 && p == 255) mode = 0;
    if (k.trans && !hasAlpha && raw == k.transColor) return d;
    bool white = k.bright[0] == 255 && k.bright[1] == 255 && k.bright[2] == 255;
    if (hasAlpha && mode == 0 && white && !k.blend && !k.trans) return color;
    if (hasAlpha && k.trans && alpha == 0 && mode <= 3) return d;
    bool useAlpha = hasAlpha && !(k.trans && alpha == 255);
    int a = alpha;

    int s[3];
    for (int ch = 0; ch < 3; ++ch) {
        s[ch] = Get(color, is32, ch);
        if (mode == 10) s[ch] = Max(is32, ch) - s[ch];
        if (!white) s[ch] = s[ch] * k.bright[ch] / 255;
    }
    uint32_t sColor = color;
    for (int ch = 0; ch < 3; ++ch) sColor = Set(sColor, is32, ch, s[ch]);
    bool plain = !k.blend && !useAlpha;
    int extraShift = 8 * ((k.blend ? 1 : 0) + (useAlpha ? 1 : 0));
    int64_t factor = int64_t{k.blend ? t : 1} * (useAlpha ? a : 1);

    if (mode == 0 && plain) return (is32 && !white) ? ((d & 0xFF000000) | (sColor & 0xFFFFFF)) : sColor;
    if (mode == 1 && plain && p == 128 && !hasAlpha) {
        return is32 ? ((sColor >> 1) & 0x7F7F7F) + ((d >> 1) & 0x7F7F7F) : ((sColor >> 1) & 0x7BEF) + ((d >> 1) & 0x7BEF);
    }
    if (mode == 2 || mode == 3) {
        uint32_t scaled = 0;
        for (int ch = 0; ch < 3; ++ch) {
            int v;
            if (plain) v = p == 255 ? s[ch] : s[ch] * p / 255;
            else if (!k.blend) v = is32 ? (s[ch] * a * p) >> 16 : ((s[ch] * a) >> 8) * p / 255;
            else v = int((int64_t{s[ch]} * factor * p) >> (8 + extraShift));
            scaled = Set(scaled, is32, ch, v);
        }
        if (plain && p == 255) scaled = sColor;
        return mode == 2 ? Add(is32, p == 255, d, scaled) : Subtract(is32, p == 255, d, scaled);
    }
    uint32_t out = d;
    for (int ch = 0; ch < 3; ++ch) {
        int dc = Get(d, is32, ch), n = Width(is32, ch), v;
        if (mode == 0) {
            v = Lerp(dc, s[ch], factor, extraShift);
        } else if (mode == 4) {
            v = int((int64_t{dc} * s[ch] * factor) >> (n + extraShift));
        } else {
            int goal = mode == 1 ? s[ch] : (mode == 10 ? s[ch] : (s[ch] * dc) >> n);
            if (!plain) {
                v = Lerp(dc, goal, factor * p, 8 + extraShift);
            } else if (is32) {
                v = Lerp(dc, goal, p, 8);
            } else if (mode == 1 && !hasAlpha) {
                int kk = p >> 2;
                v = (goal * kk + dc * (63 - kk)) / 63;
            } else {
                v = dc + p * (goal - dc) / 255;
            }
        }
        out = Set(out, is32, ch, v);
    }
    return out;
}

}  // namespace zq::reference
