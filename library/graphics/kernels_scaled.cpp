// PutMemImgScaled: nearest-pixel scaling of a whole source into a rectangle, mirrored along an
// axis whose corners come reversed. Source columns and rows advance by 16.16 counters, so a target
// pixel costs additions only; the columns of a call are worked out once.
#include <algorithm>

#include "graphics/kernels_dispatch.h"
#include "zqlib.h"

namespace zq::kernel {
namespace {

// Source index of each of count target positions after skip clipped ones, for a source of size
// sourceSize stretched by factor (16.16) and walked backwards when mirrored.
struct Stepper {
    int64_t index;
    int64_t counter;
    int64_t factor;
    Stepper(int64_t skip, int64_t factor) : factor(factor) {
        index = (skip << 16) / factor;
        counter = factor - ((skip << 16) % factor);
    }
    void Next() {
        counter -= 0x10000;
        while (counter <= 0) {
            counter += factor;
            ++index;
        }
    }
};

int SourceIndex(const Stepper &s, int size, bool mirror) {
    // The truncated factor can carry the last position one past the end; stay inside the source.
    int i = int(std::min<int64_t>(s.index, size - 1));
    return mirror ? size - i - 1 : i;
}

}  // namespace
}  // namespace zq::kernel

namespace zq {

void PutMemImgScaled(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source, const int rect[4],
                     int trans, const MEMIMG *blendImage) {
    using namespace kernel;
    int64_t x1 = rect[0], y1 = rect[1], x2 = rect[2], y2 = rect[3];
    bool mirrorX = x2 < x1, mirrorY = y2 < y1;
    if (mirrorX) std::swap(x1, x2);
    if (mirrorY) std::swap(y1, y2);
    int64_t width = x2 - x1, height = y2 - y1;
    if (width == 0 || height == 0 || !MemImgIsValid(source)) return;
    if (width == source->width && height == source->height && !mirrorX && !mirrorY) {
        PutMemImg(settings, target, source, int(x1), int(y1), trans, blendImage);
        return;
    }
    Call call;
    MemImgRect area;
    if (!PrepareCall(settings, target, source, trans, blendImage, &call)) return;
    if (!TargetArea(settings, target, &area)) return;
    int64_t fx = (uint64_t(width) << 16) / uint64_t(source->width);
    int64_t fy = (uint64_t(height) << 16) / uint64_t(source->height);
    // A picture shrunk past the 16.16 precision has a factor of 0 and no pixel to show.
    if (fx == 0 || fy == 0) return;
    int64_t left = std::max<int64_t>(x1, area.left), top = std::max<int64_t>(y1, area.top);
    int64_t right = std::min<int64_t>(x2, area.right), bottom = std::min<int64_t>(y2, area.bottom);
    if (left >= right || top >= bottom) return;
    int n = int(right - left);

    auto *offsets = static_cast<int32_t *>(TrackedAlloc(int(sizeof(int32_t)) * 2 * n, "", 0));
    if (!offsets) return;
    int32_t *srcOffsets = offsets, *weightOffsets = offsets + n;
    Stepper column(left - x1, fx);
    for (int i = 0; i < n; ++i, column.Next()) {
        int sx = SourceIndex(column, source->width, mirrorX);
        srcOffsets[i] = sx * call.sourceBytes;
        weightOffsets[i] = sx;
    }
    GatherSpanFn span = GatherSpanAt(call.index);
    int destPitch = target->base->pitch;
    uint8_t *dest = target->pixels + top * destPitch + left * call.targetBytes;
    Stepper row(top - y1, fy);
    for (int64_t y = top; y < bottom; ++y, row.Next(), dest += destPitch) {
        int sy = SourceIndex(row, source->height, mirrorY);
        const uint8_t *src = source->pixels + int64_t{sy} * source->base->pitch;
        const uint8_t *weights = blendImage ? blendImage->pixels + int64_t{sy} * blendImage->base->pitch : nullptr;
        span(dest, src, srcOffsets, weights, weightOffsets, n, call.ctx);
    }
    TrackedFree(offsets);
}

}  // namespace zq
