// PutMemImgTriangle: a triangle of the target textured from the source, walked scanline by
// scanline in fixed point with 18 fraction bits. Pixels whose source position falls outside the
// source are left alone; there is no wrapping and no filtering.
#include <algorithm>
#include <cmath>

#include "graphics/kernels_dispatch.h"
#include "zqlib.h"

namespace zq::kernel {
namespace {

constexpr int kFraction = 18;
constexpr int64_t kOne = int64_t{1} << kFraction;
constexpr int64_t kHalf = kOne / 2;

// An edge from top to bottom: its x (fixed point) at each row, stepped by a fixed slope.
struct Edge {
    int64_t x;
    int64_t slope;
    Edge(const TriangleVertex &a, const TriangleVertex &b, int firstRow) {
        int64_t ax = a.x * kOne + kHalf, bx = b.x * kOne + kHalf;
        int dy = b.y - a.y;
        slope = dy ? (bx - ax) / dy : 0;
        x = ax + slope * (firstRow - a.y);
    }
};

// First pixel column whose centre is at or right of fixed-point position x.
int64_t ColumnAt(int64_t x) {
    int64_t v = x - kHalf;
    return v >= 0 ? (v + kOne - 1) >> kFraction : -((-v) >> kFraction);
}

}  // namespace
}  // namespace zq::kernel

namespace zq {

void PutMemImgTriangle(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source,
                       const TriangleVertex vertices[3], int trans, const MEMIMG *blendImage) {
    using namespace kernel;
    Call call;
    MemImgRect area;
    if (!PrepareCall(settings, target, source, trans, blendImage, &call)) return;
    if (!TargetArea(settings, target, &area)) return;

    TriangleVertex v[3] = {vertices[0], vertices[1], vertices[2]};
    std::stable_sort(v, v + 3, [](const TriangleVertex &a, const TriangleVertex &b) { return a.y < b.y; });
    int64_t e1x = v[1].x - v[0].x, e1y = v[1].y - v[0].y, e2x = v[2].x - v[0].x, e2y = v[2].y - v[0].y;
    int64_t det = e1x * e2y - e2x * e1y;
    if (det == 0) return;
    double e1u = v[1].u - v[0].u, e1v = v[1].v - v[0].v, e2u = v[2].u - v[0].u, e2v = v[2].v - v[0].v;
    double scale = double(kOne) / double(det);
    auto dudx = int64_t((e1u * double(e2y) - e2u * double(e1y)) * scale);
    auto dvdx = int64_t((e1v * double(e2y) - e2v * double(e1y)) * scale);
    auto dudy = int64_t((e2u * double(e1x) - e1u * double(e2x)) * scale);
    auto dvdy = int64_t((e2v * double(e1x) - e1v * double(e2x)) * scale);

    int firstRow = std::max(v[0].y, area.top), endRow = std::min(v[2].y, area.bottom);
    if (firstRow >= endRow) return;
    int maxSpan = area.right - area.left;
    auto *offsets = static_cast<int32_t *>(TrackedAlloc(int(sizeof(int32_t)) * 2 * maxSpan, "", 0));
    if (!offsets) return;
    int32_t *srcOffsets = offsets, *weightOffsets = offsets + maxSpan;

    GatherSpanFn span = GatherSpanAt(call.index);
    int srcPitch = source->base->pitch;
    int weightPitch = blendImage ? blendImage->base->pitch : 0;
    uint64_t uLimit = uint64_t(source->width) << kFraction, vLimit = uint64_t(source->height) << kFraction;
    int64_t u0 = v[0].u * kOne, v0 = v[0].v * kOne;

    Edge longEdge(v[0], v[2], firstRow);
    bool upper = firstRow < v[1].y;
    Edge shortEdge = upper ? Edge(v[0], v[1], firstRow) : Edge(v[1], v[2], firstRow);
    for (int y = firstRow; y < endRow; ++y) {
        if (upper && y == v[1].y) {
            shortEdge = Edge(v[1], v[2], y);
            upper = false;
        }
        int64_t xa = std::min(longEdge.x, shortEdge.x), xb = std::max(longEdge.x, shortEdge.x);
        int64_t start = std::max<int64_t>(ColumnAt(xa), area.left);
        int64_t end = std::min<int64_t>(ColumnAt(xb), area.right);
        longEdge.x += longEdge.slope;
        shortEdge.x += shortEdge.slope;
        if (start >= end) continue;
        int n = int(end - start);
        // The plane equation at the span's first pixel, from the top vertex.
        int64_t u = u0 + dudx * (start - v[0].x) + dudy * (y - v[0].y);
        int64_t w = v0 + dvdx * (start - v[0].x) + dvdy * (y - v[0].y);
        for (int i = 0; i < n; ++i, u += dudx, w += dvdx) {
            if (uint64_t(u) < uLimit && uint64_t(w) < vLimit) {
                int64_t sx = u >> kFraction, sy = w >> kFraction;
                srcOffsets[i] = int32_t(sy * srcPitch + sx * call.sourceBytes);
                weightOffsets[i] = int32_t(sy * weightPitch + sx);
            } else {
                srcOffsets[i] = -1;
            }
        }
        uint8_t *dest = target->pixels + int64_t{y} * target->base->pitch + start * call.targetBytes;
        span(dest, source->pixels, srcOffsets, blendImage ? blendImage->pixels : nullptr, weightOffsets, n, call.ctx);
    }
    TrackedFree(offsets);
}

}  // namespace zq
