// The structures derived from a whole image: the skip table (run lengths of transparent, opaque
// and translucent pixels per line), the span lists the kernels draw from, and the premultiplied
// copy of an alpha image. Memory comes from the tracked allocator.
#include <climits>
#include <cstring>

#include "graphics/memimg.h"
#include "zqlib.h"

namespace zq {
namespace {

uint32_t Load32(const uint8_t *p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

// The run kind of pixel x of a line.
uint8_t PixelKind(const MemImgBase &base, const uint8_t *line, int x) {
    if (base.hasAlpha) {
        uint32_t v = Load32(line + 4 * x);
        int a = base.colorType == MEMIMG_RGB32 ? int(v >> 24) : int((v >> 16) & 0xFF);
        return a == 0 ? kSkipTransparent : (a == 255 ? kSkipOpaque : kSkipTranslucent);
    }
    uint32_t value;
    if (base.usePalette) {
        value = line[x];
    } else if (base.colorType == MEMIMG_RGB32) {
        value = Load32(line + 4 * x);
    } else {
        uint16_t v;
        std::memcpy(&v, line + 2 * x, 2);
        value = v;
    }
    return value == base.transColor ? kSkipTransparent : kSkipOpaque;
}

// Writes the spans of one kind of a skip-table line (neighbouring runs merged) after their count;
// with out null only counts. Returns the number of int32 entries.
int64_t LineSpans(const uint8_t *code, uint8_t kind, int32_t *out) {
    int64_t entries = 1, spans = 0;
    int x = 0;
    while (*code != kSkipLineEnd) {
        uint8_t k = *code & 0xC0;
        int n = 0;
        while (*code != kSkipLineEnd && (*code & 0xC0) == k) n += (*code++ & 0x3F) + 1;
        if (k == kind) {
            if (out) {
                out[entries] = x;
                out[entries + 1] = n;
            }
            entries += 2;
            ++spans;
        }
        x += n;
    }
    if (out) out[0] = int32_t(spans);
    return entries;
}

const uint8_t *NextLine(const uint8_t *code) {
    while (*code != kSkipLineEnd) ++code;
    return code + 1;
}

// Re-encodes the skip table as span lists: a span is a stretch of one kind however many 64-pixel
// runs it took, so drawing needs no decoding. The block is kept when it is large enough.
void BuildSkipSpans(MemImgBase *base) {
    int64_t entries = 0;
    const uint8_t *code = base->skipTable;
    for (int y = 0; y < base->height; ++y, code = NextLine(code)) {
        entries += LineSpans(code, kSkipOpaque, nullptr) + LineSpans(code, kSkipTranslucent, nullptr);
    }
    if (entries > base->skipSpansCapacity) {
        TrackedFree(base->skipSpans);
        base->skipSpansCapacity = 0;
        base->skipSpans = nullptr;
        if (entries * int64_t{sizeof(int32_t)} > INT_MAX) return;
        base->skipSpans = static_cast<int32_t *>(TrackedAlloc(int(entries * sizeof(int32_t)), "", 0));
        if (!base->skipSpans) return;
        base->skipSpansCapacity = int(entries);
    }
    int32_t *out = base->skipSpans;
    code = base->skipTable;
    for (int y = 0; y < base->height; ++y, code = NextLine(code)) {
        out += LineSpans(code, kSkipOpaque, out);
        out += LineSpans(code, kSkipTranslucent, out);
    }
}

}  // namespace

void BuildSkipTable(MemImgBase *base) {
    uint8_t *out = base->skipTable;
    for (int y = 0; y < base->height; ++y) {
        const uint8_t *line = base->pixelBuffer + int64_t{y} * base->pitch;
        int x = 0;
        while (x < base->width) {
            uint8_t kind = PixelKind(*base, line, x);
            int n = 1;
            while (x + n < base->width && n < kSkipMaxRun && PixelKind(*base, line, x + n) == kind) ++n;
            *out++ = uint8_t(kind | (n - 1));
            x += n;
        }
        *out++ = kSkipLineEnd;
    }
    BuildSkipSpans(base);
}

void BuildPremultipliedCopy(MemImgBase *base) {
    bool is32 = base->colorType == MEMIMG_RGB32;
    for (int y = 0; y < base->height; ++y) {
        const uint8_t *src = base->pixelBuffer + int64_t{y} * base->pitch;
        uint8_t *dst = base->premulBuffer + int64_t{y} * base->pitch;
        for (int x = 0; x < base->width; ++x) {
            uint32_t v = Load32(src + 4 * x), out;
            if (is32) {
                uint32_t a = v >> 24;
                out = (a << 24) | ((((v >> 16) & 0xFF) * a >> 8) << 16) | ((((v >> 8) & 0xFF) * a >> 8) << 8) |
                      ((v & 0xFF) * a >> 8);
            } else {
                uint32_t a = (v >> 16) & 0xFF;
                out = (a << 16) | ((((v >> 11) & 0x1F) * a >> 8) << 11) | ((((v >> 5) & 0x3F) * a >> 8) << 5) |
                      ((v & 0x1F) * a >> 8);
            }
            std::memcpy(dst + 4 * x, &out, 4);
        }
    }
}

}  // namespace zq
