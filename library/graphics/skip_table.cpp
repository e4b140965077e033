// The structures derived from a whole image: the skip table (run lengths of transparent, opaque
// and translucent pixels per line) and the premultiplied copy of an alpha image.
#include <cstring>

#include "graphics/memimg.h"

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
