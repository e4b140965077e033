// ConvertPixels: the one conversion engine between pixel formats.
//
// The options are settled first (which of alpha image, source alpha, key-to-alpha and skip-key
// take effect); then the first matching case does the work: palette remap, packing into or copying
// between palettes, the straight copy, key-to-alpha between equal layouts, the dedicated pairs of
// common layouts, and finally the general per-channel rule. Every loop is a template instantiated
// per combination of pixel sizes and options and chosen once per call, so no branch inside a pixel
// loop depends on the call's options.
#include "graphics/convert_pixels.h"

#include <cstddef>
#include <cstring>

#include "graphics/pixel_access.h"

namespace zq {
namespace {

constexpr uint32_t kEntryRedMask = 0x00FF0000;
constexpr uint32_t kEntryGreenMask = 0x0000FF00;
constexpr uint32_t kEntryBlueMask = 0x000000FF;
constexpr uint32_t k32AlphaMask = 0xFF000000;
constexpr uint16_t k16AlphaBit = 0x8000;

// The general rule works through a row in chunks of this many pixels, held in stack buffers.
constexpr int kChunkPixels = 256;

// 4x4 ordered-dither thresholds, indexed by (y & 3, x & 3) from the rectangle's top-left.
constexpr uint8_t kOrderedDither[4][4] = {
    {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// One call with its options settled.
struct ConvertCall {
    uint8_t *dest;
    ptrdiff_t destPitch;
    const PixelFormat *destFormat;
    const uint8_t *src;
    ptrdiff_t srcPitch;
    const PixelFormat *srcFormat;
    const uint8_t *alpha;  // null unless the alpha image takes effect
    ptrdiff_t alphaPitch;
    const PixelFormat *alphaFormat;
    int destX, destY, left, top, width, height;
    bool mirror, keyToAlpha, alphaOnly, redAsAlpha, skipKey;
    uint32_t key;
    int dither;
};

const uint8_t *SourceRow(const ConvertCall &c, int y) {
    return c.src + (c.top + y) * c.srcPitch + static_cast<ptrdiff_t>(c.left) * c.srcFormat->bytesPerPixel;
}

const uint8_t *AlphaRow(const ConvertCall &c, int y) {
    return c.alpha + (c.top + y) * c.alphaPitch +
           static_cast<ptrdiff_t>(c.left) * c.alphaFormat->bytesPerPixel;
}

uint8_t *DestRow(const ConvertCall &c, int y) {
    return c.dest + (c.destY + y) * c.destPitch +
           static_cast<ptrdiff_t>(c.destX) * c.destFormat->bytesPerPixel;
}

bool HasAlpha(const PixelFormat &f) { return f.alphaMask != 0; }

// ---- Layouts with dedicated loops -----------------------------------------------------------

enum class Layout { kOther, kPalette, kR5G6B5, kX1R5G5B5, kA1R5G5B5, kR8G8B8, kX8R8G8B8, kA8R8G8B8 };

bool HasMasks(const PixelFormat &f, int bytes, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    return f.bytesPerPixel == bytes && f.redMask == r && f.greenMask == g && f.blueMask == b &&
           f.alphaMask == a;
}

Layout Classify(const PixelFormat &f) {
    if (IsPaletteFormat(f))
        return HasMasks(f, 1, kEntryRedMask, kEntryGreenMask, kEntryBlueMask, 0) ? Layout::kPalette
                                                                                  : Layout::kOther;
    if (HasMasks(f, 2, 0xF800, 0x07E0, 0x001F, 0)) return Layout::kR5G6B5;
    if (HasMasks(f, 2, 0x7C00, 0x03E0, 0x001F, 0)) return Layout::kX1R5G5B5;
    if (HasMasks(f, 2, 0x7C00, 0x03E0, 0x001F, k16AlphaBit)) return Layout::kA1R5G5B5;
    if (HasMasks(f, 3, kEntryRedMask, kEntryGreenMask, kEntryBlueMask, 0)) return Layout::kR8G8B8;
    if (HasMasks(f, 4, kEntryRedMask, kEntryGreenMask, kEntryBlueMask, 0)) return Layout::kX8R8G8B8;
    if (HasMasks(f, 4, kEntryRedMask, kEntryGreenMask, kEntryBlueMask, k32AlphaMask))
        return Layout::kA8R8G8B8;
    return Layout::kOther;
}

// ---- The row driver --------------------------------------------------------------------------

// Runs op over every source pixel of the rectangle and stores its result; a mirrored call writes
// each row right to left, skip-key leaves pixels equal to the key unwritten.
template <int SrcBytes, int DestBytes, bool Mirror, bool SkipKey, class Op>
void ConvertRowsWith(const ConvertCall &c, Op &op) {
    constexpr ptrdiff_t step = Mirror ? -DestBytes : DestBytes;
    // 3-byte pixels are read four at a time as three 32-bit words.
    constexpr bool kPacked24 = SrcBytes == 3 && !Mirror && !SkipKey;
    const uint32_t key = c.key;
    for (int y = 0; y < c.height; ++y) {
        const uint8_t *s = SourceRow(c, y);
        uint8_t *d = DestRow(c, y) + (Mirror ? static_cast<ptrdiff_t>(c.width - 1) * DestBytes : 0);
        int x = 0;
        if constexpr (kPacked24) {
            for (; x + 4 <= c.width; x += 4, s += 12, d += 4 * DestBytes) {
                const uint32_t a = LoadPixel<4>(s), b = LoadPixel<4>(s + 4), e = LoadPixel<4>(s + 8);
                StorePixel<DestBytes>(d, op(a & 0xFFFFFF));
                StorePixel<DestBytes>(d + DestBytes, op((a >> 24) | ((b & 0xFFFF) << 8)));
                StorePixel<DestBytes>(d + 2 * DestBytes, op((b >> 16) | ((e & 0xFF) << 16)));
                StorePixel<DestBytes>(d + 3 * DestBytes, op(e >> 8));
            }
        }
        for (; x < c.width; ++x, s += SrcBytes, d += step) {
            uint32_t raw = LoadPixel<SrcBytes>(s);
            if constexpr (SkipKey) {
                if (raw == key) continue;
            }
            StorePixel<DestBytes>(d, op(raw));
        }
    }
}

template <int SrcBytes, int DestBytes, class Op>
void ConvertRows(const ConvertCall &c, Op op) {
    if (c.mirror)
        c.skipKey ? ConvertRowsWith<SrcBytes, DestBytes, true, true>(c, op)
                  : ConvertRowsWith<SrcBytes, DestBytes, true, false>(c, op);
    else
        c.skipKey ? ConvertRowsWith<SrcBytes, DestBytes, false, true>(c, op)
                  : ConvertRowsWith<SrcBytes, DestBytes, false, false>(c, op);
}

// Chooses the instantiation for pixel sizes known only at run time.
template <int SrcBytes, class Op>
void ConvertRowsToSize(const ConvertCall &c, int destBytes, Op op) {
    switch (destBytes) {
        case 1: ConvertRows<SrcBytes, 1>(c, op); break;
        case 2: ConvertRows<SrcBytes, 2>(c, op); break;
        case 3: ConvertRows<SrcBytes, 3>(c, op); break;
        default: ConvertRows<SrcBytes, 4>(c, op); break;
    }
}

template <class Op>
void ConvertRowsBySize(const ConvertCall &c, Op op) {
    switch (c.srcFormat->bytesPerPixel) {
        case 1: ConvertRowsToSize<1>(c, c.destFormat->bytesPerPixel, op); break;
        case 2: ConvertRowsToSize<2>(c, c.destFormat->bytesPerPixel, op); break;
        case 3: ConvertRowsToSize<3>(c, c.destFormat->bytesPerPixel, op); break;
        default: ConvertRowsToSize<4>(c, c.destFormat->bytesPerPixel, op); break;
    }
}

// ---- Palettes --------------------------------------------------------------------------------

// Indices through a 256-entry map (the identity when copying); returns the highest index written.
int MapIndices(const ConvertCall &c, const uint8_t (&map)[kPaletteSize]) {
    uint32_t highest = 0;
    ConvertRows<1, 1>(c, [&](uint32_t index) {
        uint32_t out = map[index];
        highest = out > highest ? out : highest;
        return out;
    });
    return static_cast<int>(highest);
}

int RemapPalette(const ConvertCall &c) {
    uint8_t map[kPaletteSize];
    for (int i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry &e = c.srcFormat->palette[i];
        map[i] = static_cast<uint8_t>(PackColor(c.destFormat, e.red, e.green, e.blue, 0));
    }
    MapIndices(c, map);
    return 0;
}

int CopyIndices(const ConvertCall &c) {
    uint8_t identity[kPaletteSize];
    for (int i = 0; i < kPaletteSize; ++i) identity[i] = static_cast<uint8_t>(i);
    return MapIndices(c, identity);
}

// A channel value of the given width scaled to 8 bits, as the width conversion widens it.
uint32_t ChannelTo8Bits(uint32_t v, int width) {
    if (width == 0) return 0;
    if (width >= 8) return v >> (width - 8);
    return v * 255 / ((1u << width) - 1);
}

// Direct colors into a palette: each pixel's channels, brought to 8 bits, take the nearest entry.
// Neighbouring pixels often repeat, so the last answer is kept.
int PackIntoPalette(const ConvertCall &c) {
    const PixelFormat &s = *c.srcFormat;
    uint32_t lastPixel = 0;
    uint32_t lastIndex = 0;
    bool haveLast = false;
    ConvertRowsBySize(c, [&](uint32_t pixel) {
        if (haveLast && pixel == lastPixel) return lastIndex;
        int r = static_cast<int>(ChannelTo8Bits((pixel & s.redMask) >> s.redShift, s.redWidth));
        int g = static_cast<int>(ChannelTo8Bits((pixel & s.greenMask) >> s.greenShift, s.greenWidth));
        int b = static_cast<int>(ChannelTo8Bits((pixel & s.blueMask) >> s.blueShift, s.blueWidth));
        lastPixel = pixel;
        lastIndex = PackColor(c.destFormat, r, g, b, 0);
        haveLast = true;
        return lastIndex;
    });
    return 0;
}

// ---- Straight copy and key-to-alpha between equal layouts -----------------------------------

int StraightCopy(const ConvertCall &c) {
    if (!c.mirror && !c.skipKey) {
        const size_t rowBytes = static_cast<size_t>(c.width) * c.srcFormat->bytesPerPixel;
        for (int y = 0; y < c.height; ++y) std::memmove(DestRow(c, y), SourceRow(c, y), rowBytes);
        return 0;
    }
    ConvertRowsBySize(c, [](uint32_t pixel) { return pixel; });
    return 0;
}

int KeyToAlphaSameLayout(const ConvertCall &c) {
    const PixelFormat &d = *c.destFormat;
    const uint32_t packedKey =
        PackColor(&d, (c.key >> 16) & 0xFF, (c.key >> 8) & 0xFF, c.key & 0xFF, 255);
    const uint32_t alphaMask = d.alphaMask;
    // A 32-bit source pixel has every bit outside its color channels set before the comparison.
    const uint32_t forceBits =
        d.bytesPerPixel == 4 ? ~(d.redMask | d.greenMask | d.blueMask) : 0;
    ConvertRowsBySize(c, [=](uint32_t pixel) {
        pixel |= forceBits;
        return pixel == packedKey ? pixel & ~alphaMask : pixel | alphaMask;
    });
    return 0;
}

// ---- Dedicated pairs -------------------------------------------------------------------------

uint32_t Rgb888To565(uint32_t v) {
    return ((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x001F);
}
uint32_t Rgb888To555(uint32_t v) {
    return ((v >> 9) & 0x7C00) | ((v >> 6) & 0x03E0) | ((v >> 3) & 0x001F);
}
// Green's lowest bit is dropped; bit 15 stays 0.
uint32_t Rgb565To555(uint32_t v) { return ((v >> 1) & 0x7FE0) | (v & 0x001F); }

struct PairContext {
    const ConvertCall &call;
    uint32_t table[kPaletteSize];  // palette sources: the result for every index
};

using PairFn = void (*)(PairContext &);

template <int SrcBytes, int DestBytes, class Op>
void RunPair(PairContext &p, Op op) {
    p.call.skipKey ? ConvertRowsWith<SrcBytes, DestBytes, false, true>(p.call, op)
                   : ConvertRowsWith<SrcBytes, DestBytes, false, false>(p.call, op);
}

// Palette sources look every index up in a table filled once per call.
template <int DestBytes, class EntryOp>
void PalettePair(PairContext &p, EntryOp entryOp) {
    for (int i = 0; i < kPaletteSize; ++i)
        p.table[i] = entryOp(PaletteValue(p.call.srcFormat->palette[i]));
    const uint32_t *table = p.table;
    RunPair<1, DestBytes>(p, [table](uint32_t index) { return table[index]; });
}

void PaletteTo565(PairContext &p) { PalettePair<2>(p, Rgb888To565); }
void PaletteTo555(PairContext &p) {
    PalettePair<2>(p, [](uint32_t e) { return Rgb888To555(e) | k16AlphaBit; });
}
void PaletteToX888(PairContext &p) {
    PalettePair<4>(p, [](uint32_t e) { return e | k32AlphaMask; });
}
void Rgb24To565(PairContext &p) { RunPair<3, 2>(p, Rgb888To565); }
void Rgb24To555(PairContext &p) {
    RunPair<3, 2>(p, [](uint32_t v) { return Rgb888To555(v) | k16AlphaBit; });
}
void Rgb24To32(PairContext &p) {
    RunPair<3, 4>(p, [](uint32_t v) { return v | k32AlphaMask; });
}
void Xrgb32To565(PairContext &p) { RunPair<4, 2>(p, Rgb888To565); }
// R5G6B5 widened without replicating the high bits: 31 becomes 248.
uint32_t Rgb565To888(uint32_t v) {
    return ((v & 0xF800) << 8) | ((v & 0x07E0) << 5) | ((v & 0x001F) << 3);
}
void Rgb565To24(PairContext &p) { RunPair<2, 3>(p, Rgb565To888); }
void Rgb565To32(PairContext &p) { RunPair<2, 4>(p, Rgb565To888); }
void Rgb565ToX555(PairContext &p) { RunPair<2, 2>(p, Rgb565To555); }
void X555To565(PairContext &p) {
    RunPair<2, 2>(p, [](uint32_t v) {
        uint32_t g5 = (v >> 5) & 0x1F;
        return ((v & 0x7C00) << 1) | (((g5 << 1) | (g5 & 1)) << 5) | (v & 0x001F);
    });
}

// Key-to-alpha pairs: the key is 0x00RRGGBB as given.
void PaletteToA555Keyed(PairContext &p) {
    const uint32_t key = p.call.key;
    PalettePair<2>(p, [key](uint32_t e) {
        return Rgb888To555(e) | (e == key ? 0 : k16AlphaBit);
    });
}
void PaletteToA888Keyed(PairContext &p) {
    const uint32_t key = p.call.key;
    PalettePair<4>(p, [key](uint32_t e) { return e == key ? e : e | k32AlphaMask; });
}
void Rgb24ToA555Keyed(PairContext &p) {
    const uint32_t key = p.call.key;
    RunPair<3, 2>(p, [key](uint32_t v) { return Rgb888To555(v) | (v == key ? 0 : k16AlphaBit); });
}
void Rgb24ToA888Keyed(PairContext &p) {
    const uint32_t key = p.call.key;
    RunPair<3, 4>(p, [key](uint32_t v) { return v | (v == key ? 0 : k32AlphaMask); });
}
void Rgb565ToA555Keyed(PairContext &p) {
    const uint32_t key555 = Rgb888To555(p.call.key);
    RunPair<2, 2>(p, [key555](uint32_t v) {
        uint32_t out = Rgb565To555(v);
        return out | (out == key555 ? 0 : k16AlphaBit);
    });
}

struct PairEntry {
    Layout source;
    Layout dest;
    bool keyToAlpha;
    PairFn run;
};

constexpr PairEntry kPairs[] = {
    {Layout::kPalette, Layout::kR5G6B5, false, PaletteTo565},
    {Layout::kPalette, Layout::kX1R5G5B5, false, PaletteTo555},
    {Layout::kPalette, Layout::kX8R8G8B8, false, PaletteToX888},
    {Layout::kR8G8B8, Layout::kR5G6B5, false, Rgb24To565},
    {Layout::kR8G8B8, Layout::kX1R5G5B5, false, Rgb24To555},
    {Layout::kR8G8B8, Layout::kX8R8G8B8, false, Rgb24To32},
    {Layout::kR8G8B8, Layout::kA8R8G8B8, false, Rgb24To32},
    {Layout::kX8R8G8B8, Layout::kR5G6B5, false, Xrgb32To565},
    {Layout::kR5G6B5, Layout::kR8G8B8, false, Rgb565To24},
    {Layout::kR5G6B5, Layout::kX8R8G8B8, false, Rgb565To32},
    {Layout::kR5G6B5, Layout::kX1R5G5B5, false, Rgb565ToX555},
    {Layout::kX1R5G5B5, Layout::kR5G6B5, false, X555To565},
    {Layout::kPalette, Layout::kA1R5G5B5, true, PaletteToA555Keyed},
    {Layout::kPalette, Layout::kA8R8G8B8, true, PaletteToA888Keyed},
    {Layout::kR8G8B8, Layout::kA1R5G5B5, true, Rgb24ToA555Keyed},
    {Layout::kR8G8B8, Layout::kA8R8G8B8, true, Rgb24ToA888Keyed},
    {Layout::kR5G6B5, Layout::kA1R5G5B5, true, Rgb565ToA555Keyed},
};

PairFn FindPair(const ConvertCall &c) {
    Layout source = Classify(*c.srcFormat);
    Layout dest = Classify(*c.destFormat);
    for (const PairEntry &e : kPairs)
        if (e.source == source && e.dest == dest && e.keyToAlpha == c.keyToAlpha) return e.run;
    return nullptr;
}

// ---- The general rule ------------------------------------------------------------------------

enum class AlphaKind { kNone, kFull, kSource, kImage, kKey, kSourceRed };

struct Channel {
    uint32_t srcMask;
    int srcShift, srcWidth;
    uint32_t destMask;
    int destShift, destWidth;
};

struct GeneralPlan {
    Channel ch[4];  // red, green, blue, alpha
    AlphaKind alphaKind;
    uint32_t keyChannels[3];  // the key packed into the source format, extracted
    uint32_t alphaImageMask;
    int alphaImageShift;
    bool alphaImagePalette;
    bool convertWidths;
    uint32_t accumulator[4];  // error-carry dither, kept over the whole call
};

using ReadFn = void (*)(const uint8_t *, int, const PixelFormat &, uint32_t *, uint32_t *);
using WriteFn = void (*)(uint8_t *, const uint32_t *, const uint32_t *, int, uint32_t);

// Reads n pixels: raw as stored (an index for a palette), value as decoded by masks (the entry).
template <int Bytes, bool Palette>
void ReadPixels(const uint8_t *s, int n, const PixelFormat &f, uint32_t *raw, uint32_t *value) {
    for (int i = 0; i < n; ++i, s += Bytes) {
        raw[i] = LoadPixel<Bytes>(s);
        if constexpr (Palette)
            value[i] = PaletteValue(f.palette[raw[i]]);
        else
            value[i] = raw[i];
    }
}

ReadFn ChooseReader(const PixelFormat &f) {
    if (IsPaletteFormat(f)) return ReadPixels<1, true>;
    switch (f.bytesPerPixel) {
        case 1: return ReadPixels<1, false>;
        case 2: return ReadPixels<2, false>;
        case 3: return ReadPixels<3, false>;
        default: return ReadPixels<4, false>;
    }
}

// Writes n composed pixels with a step of one pixel (negative when mirrored); skip-key compares
// the raw source pixel.
template <int Bytes, bool Mirror, bool SkipKey>
void WritePixels(uint8_t *d, const uint32_t *out, const uint32_t *raw, int n, uint32_t key) {
    constexpr ptrdiff_t step = Mirror ? -Bytes : Bytes;
    for (int i = 0; i < n; ++i, d += step) {
        if constexpr (SkipKey) {
            if (raw[i] == key) continue;
        }
        StorePixel<Bytes>(d, out[i]);
    }
}

template <int Bytes>
WriteFn ChooseWriterOfSize(bool mirror, bool skipKey) {
    if (mirror) return skipKey ? WritePixels<Bytes, true, true> : WritePixels<Bytes, true, false>;
    return skipKey ? WritePixels<Bytes, false, true> : WritePixels<Bytes, false, false>;
}

WriteFn ChooseWriter(int bytes, bool mirror, bool skipKey) {
    switch (bytes) {
        case 1: return ChooseWriterOfSize<1>(mirror, skipKey);
        case 2: return ChooseWriterOfSize<2>(mirror, skipKey);
        case 3: return ChooseWriterOfSize<3>(mirror, skipKey);
        default: return ChooseWriterOfSize<4>(mirror, skipKey);
    }
}

void ExtractChannel(const uint32_t *value, int n, uint32_t mask, int shift, uint32_t *out) {
    for (int i = 0; i < n; ++i) out[i] = (value[i] & mask) >> shift;
}

void FillChannel(uint32_t *out, int n, uint32_t v) {
    for (int i = 0; i < n; ++i) out[i] = v;
}

// Widening: (v << (d - s)) + v * (2^(d-s) - 1) / (2^s - 1), i.e. v * (2^d - 1) / (2^s - 1).
void WidenChannel(uint32_t *v, int n, int s, int d) {
    if (s == 0) {
        FillChannel(v, n, 0);
        return;
    }
    const uint64_t extra = (uint64_t{1} << (d - s)) - 1;
    const uint64_t divisor = (uint64_t{1} << s) - 1;
    for (int i = 0; i < n; ++i)
        v[i] = static_cast<uint32_t>((uint64_t{v[i]} << (d - s)) + v[i] * extra / divisor);
}

// Narrowing drops the low s - d bits; a dithered narrowing may add 1 from the dropped bits, and
// the channel is then clamped to its width.
template <int Dither>
void NarrowChannel(uint32_t *v, int n, int s, int d, int x0, int y, uint32_t &accumulator) {
    const int dropped = s - d;
    const uint32_t droppedMask = dropped >= 32 ? 0xFFFFFFFFu : (1u << dropped) - 1;
    const uint32_t maxValue = d >= 32 ? 0xFFFFFFFFu : (1u << d) - 1;
    const uint8_t *matrixRow = kOrderedDither[y & 3];
    for (int i = 0; i < n; ++i) {
        uint32_t bits = v[i] & droppedMask;
        uint32_t out = dropped >= 32 ? 0 : v[i] >> dropped;
        if constexpr (Dither == kDitherOrdered) {
            uint32_t threshold =
                static_cast<uint32_t>((uint64_t{matrixRow[(x0 + i) & 3]} << dropped) >> 4);
            out += bits > threshold ? 1 : 0;
            out = out > maxValue ? maxValue : out;
        } else if constexpr (Dither == kDitherErrorCarry) {
            accumulator += bits;
            if (accumulator > droppedMask) {
                ++out;
                accumulator &= droppedMask;
            }
            out = out > maxValue ? maxValue : out;
        }
        v[i] = out;
    }
}

void NarrowChannelWith(int dither, uint32_t *v, int n, int s, int d, int x0, int y,
                       uint32_t &accumulator) {
    switch (dither) {
        case kDitherOrdered: NarrowChannel<kDitherOrdered>(v, n, s, d, x0, y, accumulator); break;
        case kDitherErrorCarry:
            NarrowChannel<kDitherErrorCarry>(v, n, s, d, x0, y, accumulator);
            break;
        default: NarrowChannel<kDitherNone>(v, n, s, d, x0, y, accumulator); break;
    }
}

uint32_t FullValue(int width) { return width >= 32 ? 0xFFFFFFFFu : (1u << width) - 1; }

GeneralPlan MakePlan(const ConvertCall &c) {
    const PixelFormat &s = *c.srcFormat;
    const PixelFormat &d = *c.destFormat;
    GeneralPlan plan{};
    plan.ch[0] = {s.redMask, s.redShift, s.redWidth, d.redMask, d.redShift, d.redWidth};
    plan.ch[1] = {s.greenMask, s.greenShift, s.greenWidth, d.greenMask, d.greenShift, d.greenWidth};
    plan.ch[2] = {s.blueMask, s.blueShift, s.blueWidth, d.blueMask, d.blueShift, d.blueWidth};
    // The alpha channel's source width is the width of whatever supplies it; a full or keyed
    // alpha is made at the destination width already.
    plan.ch[3] = {s.alphaMask, s.alphaShift, d.alphaWidth, d.alphaMask, d.alphaShift, d.alphaWidth};
    int alphaImageWidth = d.alphaWidth;
    if (!HasAlpha(d)) {
        plan.alphaKind = AlphaKind::kNone;
    } else if (c.redAsAlpha) {
        plan.alphaKind = AlphaKind::kSourceRed;
        plan.ch[3].srcWidth = s.redWidth;
    } else if (c.alpha != nullptr) {
        plan.alphaKind = AlphaKind::kImage;
        const PixelFormat &a = *c.alphaFormat;
        plan.alphaImagePalette = IsPaletteFormat(a);
        plan.alphaImageMask = plan.alphaImagePalette ? kEntryRedMask : a.redMask;
        plan.alphaImageShift = plan.alphaImagePalette ? 16 : a.redShift;
        alphaImageWidth = plan.alphaImagePalette ? 8 : a.redWidth;
        plan.ch[3].srcWidth = alphaImageWidth;
    } else if (c.keyToAlpha) {
        plan.alphaKind = AlphaKind::kKey;
        uint32_t key = PackColor(&s, (c.key >> 16) & 0xFF, (c.key >> 8) & 0xFF, c.key & 0xFF, 255);
        if (IsPaletteFormat(s)) key = PaletteValue(s.palette[key & 0xFF]);
        for (int i = 0; i < 3; ++i) plan.keyChannels[i] = (key & plan.ch[i].srcMask) >> plan.ch[i].srcShift;
    } else if (HasAlpha(s)) {
        plan.alphaKind = AlphaKind::kSource;
        plan.ch[3].srcWidth = s.alphaWidth;
    } else {
        plan.alphaKind = AlphaKind::kFull;
    }
    plan.convertWidths = s.redWidth != d.redWidth || s.greenWidth != d.greenWidth ||
                         (plan.alphaKind == AlphaKind::kImage && alphaImageWidth != d.alphaWidth);
    return plan;
}

// Fills the alpha channel of one chunk.
void ComputeAlpha(const ConvertCall &c, const GeneralPlan &plan, ReadFn readAlpha, int y, int x0,
                  int n, uint32_t (&ch)[4][kChunkPixels]) {
    uint32_t *alpha = ch[3];
    const uint32_t full = FullValue(plan.ch[3].destWidth);
    switch (plan.alphaKind) {
        case AlphaKind::kNone: FillChannel(alpha, n, 0); break;
        case AlphaKind::kFull: FillChannel(alpha, n, full); break;
        case AlphaKind::kSource: break;  // extracted with the colors
        case AlphaKind::kSourceRed: std::memcpy(alpha, ch[0], sizeof(uint32_t) * n); break;
        case AlphaKind::kImage: {
            uint32_t raw[kChunkPixels];
            uint32_t value[kChunkPixels];
            readAlpha(AlphaRow(c, y) + static_cast<ptrdiff_t>(x0) * c.alphaFormat->bytesPerPixel, n,
                      *c.alphaFormat, raw, value);
            ExtractChannel(value, n, plan.alphaImageMask, plan.alphaImageShift, alpha);
            break;
        }
        case AlphaKind::kKey: {
            const uint32_t kr = plan.keyChannels[0], kg = plan.keyChannels[1], kb = plan.keyChannels[2];
            for (int i = 0; i < n; ++i)
                alpha[i] = (ch[0][i] == kr && ch[1][i] == kg && ch[2][i] == kb) ? 0 : full;
            break;
        }
    }
}

int GeneralRule(const ConvertCall &c) {
    GeneralPlan plan = MakePlan(c);
    const ReadFn readSource = ChooseReader(*c.srcFormat);
    const ReadFn readAlpha = c.alpha != nullptr ? ChooseReader(*c.alphaFormat) : nullptr;
    const PixelFormat &d = *c.destFormat;
    const int destBytes = d.bytesPerPixel;
    const WriteFn write = ChooseWriter(destBytes, c.mirror, c.skipKey);
    // 8-bit and 24-bit pixels are written without spare bits.
    const uint32_t spare = (destBytes == 2 || destBytes == 4) ? d.spareMask : 0;
    const int srcBytes = c.srcFormat->bytesPerPixel;

    uint32_t raw[kChunkPixels];
    uint32_t value[kChunkPixels];
    uint32_t ch[4][kChunkPixels];
    uint32_t out[kChunkPixels];
    for (int y = 0; y < c.height; ++y) {
        const uint8_t *srcRow = SourceRow(c, y);
        uint8_t *destRow = DestRow(c, y);
        for (int x0 = 0; x0 < c.width; x0 += kChunkPixels) {
            const int n = c.width - x0 < kChunkPixels ? c.width - x0 : kChunkPixels;
            readSource(srcRow + static_cast<ptrdiff_t>(x0) * srcBytes, n, *c.srcFormat, raw, value);
            for (int k = 0; k < 4; ++k)
                ExtractChannel(value, n, plan.ch[k].srcMask, plan.ch[k].srcShift, ch[k]);
            ComputeAlpha(c, plan, readAlpha, y, x0, n, ch);
            if (plan.convertWidths) {
                for (int k = 0; k < 4; ++k) {
                    const int s = plan.ch[k].srcWidth, dw = plan.ch[k].destWidth;
                    if (s > dw)
                        NarrowChannelWith(c.dither, ch[k], n, s, dw, x0, y, plan.accumulator[k]);
                    else if (dw > s)
                        WidenChannel(ch[k], n, s, dw);
                }
            }
            if (c.alphaOnly)
                for (int k = 0; k < 3; ++k) FillChannel(ch[k], n, 0);
            for (int i = 0; i < n; ++i) {
                uint32_t v = spare;
                for (int k = 0; k < 4; ++k)
                    v |= static_cast<uint32_t>(uint64_t{ch[k][i]} << plan.ch[k].destShift) &
                         plan.ch[k].destMask;
                out[i] = v;
            }
            const ptrdiff_t column = c.mirror ? c.width - 1 - x0 : x0;
            write(destRow + column * destBytes, out, raw, n, c.key);
        }
    }
    return 0;
}

bool ValidFormat(const PixelFormat *f) {
    return f != nullptr && f->compression == kCompressionNone && f->bytesPerPixel >= 1 &&
           f->bytesPerPixel <= 4;
}

bool SameMasks(const PixelFormat &a, const PixelFormat &b) {
    return a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask &&
           a.alphaMask == b.alphaMask;
}

bool SameColorMasks(const PixelFormat &a, const PixelFormat &b) {
    return a.redMask == b.redMask && a.greenMask == b.greenMask && a.blueMask == b.blueMask;
}

bool SameDepth(const PixelFormat &a, const PixelFormat &b) {
    return a.colorBitDepth == b.colorBitDepth && a.bytesPerPixel == b.bytesPerPixel;
}

}  // namespace

int ConvertPixels(void *destPixels, int destPitch, const PixelFormat *destFormat,
                  const void *srcPixels, int srcPitch, const PixelFormat *srcFormat,
                  const void *alphaPixels, int alphaPitch, const PixelFormat *alphaFormat,
                  int destX, int destY, int srcLeft, int srcTop, int srcRight, int srcBottom,
                  bool mirror, bool keyToAlpha, uint32_t colorKey, int ditherMode,
                  bool alphaOnly, bool redAsAlpha, bool skipKey, bool paletteRemap) {
    if (destPixels == nullptr || srcPixels == nullptr || !ValidFormat(destFormat) ||
        !ValidFormat(srcFormat))
        return -1;
    if (srcRight <= srcLeft || srcBottom <= srcTop || srcLeft < 0 || srcTop < 0 || destX < 0 ||
        destY < 0)
        return -1;
    if (ditherMode < kDitherNone || ditherMode > kDitherErrorCarry) return -1;
    if (alphaPixels != nullptr && !ValidFormat(alphaFormat)) return -1;

    const PixelFormat &d = *destFormat;
    const PixelFormat &s = *srcFormat;
    ConvertCall c{};
    c.dest = static_cast<uint8_t *>(destPixels);
    c.destPitch = destPitch;
    c.destFormat = destFormat;
    c.src = static_cast<const uint8_t *>(srcPixels);
    c.srcPitch = srcPitch;
    c.srcFormat = srcFormat;
    c.destX = destX;
    c.destY = destY;
    c.left = srcLeft;
    c.top = srcTop;
    c.width = srcRight - srcLeft;
    c.height = srcBottom - srcTop;
    c.mirror = mirror;
    c.dither = ditherMode;
    c.alphaOnly = alphaOnly;
    c.redAsAlpha = redAsAlpha;
    c.key = colorKey;

    // Settle the options.
    const bool destAlpha = HasAlpha(d);
    const bool useAlphaImage = alphaPixels != nullptr && destAlpha && !HasAlpha(s);
    if (useAlphaImage) {
        c.alpha = static_cast<const uint8_t *>(alphaPixels);
        c.alphaPitch = alphaPitch;
        c.alphaFormat = alphaFormat;
    }
    c.keyToAlpha = keyToAlpha;
    c.skipKey = skipKey;
    if (destAlpha && (HasAlpha(s) || useAlphaImage)) c.keyToAlpha = c.skipKey = false;
    if (!destAlpha || redAsAlpha) c.keyToAlpha = false;
    if (mirror) c.skipKey = false;
    if (!c.keyToAlpha && s.colorBitDepth < 32) c.key &= (1u << s.colorBitDepth) - 1;

    const bool srcPalette = IsPaletteFormat(s);
    const bool destPalette = IsPaletteFormat(d);
    if (paletteRemap && srcPalette && destPalette &&
        std::memcmp(s.palette, d.palette, sizeof(s.palette)) != 0)
        return RemapPalette(c);
    if (destPalette) return srcPalette ? CopyIndices(c) : PackIntoPalette(c);
    if (SameDepth(d, s) && SameMasks(d, s) && !c.keyToAlpha && !useAlphaImage && !alphaOnly &&
        !redAsAlpha)
        return StraightCopy(c);
    if (SameDepth(d, s) && SameColorMasks(d, s) && destAlpha && c.keyToAlpha && !alphaOnly &&
        !c.skipKey && !srcPalette)
        return KeyToAlphaSameLayout(c);
    if (ditherMode == kDitherNone && !alphaOnly && !redAsAlpha && !mirror && !useAlphaImage) {
        if (PairFn pair = FindPair(c)) {
            PairContext context{c, {}};
            pair(context);
            return 0;
        }
    }
    return GeneralRule(c);
}

}  // namespace zq
