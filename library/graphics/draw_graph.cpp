// The graph drawing operations: the checks every draw makes (library started, draw area, handle,
// blend image, inactive window), then the renderer that holds the graph's picture draws it. The
// software renderer draws with the MEMIMG kernels into the draw target; a hardware renderer
// installs its own table of the same operations.
#include "graphics/draw_graph.h"

#include <algorithm>
#include <cmath>

#include "core/lifecycle.h"
#include "core/window.h"
#include "graphics/draw_state.h"
#include "graphics/graph.h"
#include "graphics/kernels.h"
#include "graphics/pixel_format.h"
#include "graphics/screen.h"
#include "zqlib.h"

namespace zq {
namespace {

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

int SoftDrawAt(GraphRecord &graph, int x, int y, int trans, MEMIMG *blendImage) {
    PutMemImg(CurrentSoftDrawSettings(), DrawTargetImage(), &graph.view, x, y, trans, blendImage);
    return 0;
}

int SoftDrawStretched(GraphRecord &graph, const int rect[4], int trans, MEMIMG *blendImage) {
    PutMemImgScaled(CurrentSoftDrawSettings(), DrawTargetImage(), &graph.view, rect, trans, blendImage);
    return 0;
}

// Two triangles: (top-left, top-right, bottom-left) and (top-right, bottom-left, bottom-right),
// corners truncated to whole pixels.
int SoftDrawQuad(GraphRecord &graph, const float corners[8], int trans, MEMIMG *blendImage) {
    const int w = graph.width, h = graph.height;
    TriangleVertex topLeft = {int(corners[0]), int(corners[1]), 0, 0};
    TriangleVertex topRight = {int(corners[2]), int(corners[3]), w, 0};
    TriangleVertex bottomRight = {int(corners[4]), int(corners[5]), w, h};
    TriangleVertex bottomLeft = {int(corners[6]), int(corners[7]), 0, h};
    const TriangleVertex first[3] = {topLeft, topRight, bottomLeft};
    const TriangleVertex second[3] = {topRight, bottomLeft, bottomRight};
    PutMemImgTriangle(CurrentSoftDrawSettings(), DrawTargetImage(), &graph.view, first, trans, blendImage);
    PutMemImgTriangle(CurrentSoftDrawSettings(), DrawTargetImage(), &graph.view, second, trans, blendImage);
    return 0;
}

// The blend mode and brightness apply; the draw area belongs to the draw target, not to the graph.
int SoftFill(GraphRecord &graph, int red, int green, int blue, int alpha) {
    (void)alpha;
    SoftDrawSettings settings = CurrentSoftDrawSettings();
    settings.drawArea = {0, 0, graph.width, graph.height};
    const PixelFormat *format = graph.view.base->format;
    FillMemImgRect(settings, &graph.view, nullptr, PackColor(format, red, green, blue, 255));
    MarkGraphPixelsChanged(graph);
    return 0;
}

int SoftCopyFromTarget(GraphRecord &graph, const MemImgRect &rect) {
    const int result = CopyMemImg(&graph.view, DrawTargetImage(), &rect, 0, 0) < 0 ? -1 : 0;
    MarkGraphPixelsChanged(graph);
    return result;
}

const GraphRendererOps kSoftwareOps = {SoftDrawAt, SoftDrawStretched, SoftDrawQuad, SoftFill, SoftCopyFromTarget};

const GraphRendererOps *&HardwareOps() {
    static const GraphRendererOps *ops = nullptr;
    return ops;
}

// The renderer that holds the graph's picture, or null when that renderer is not there.
const GraphRendererOps *RendererOf(const GraphRecord &graph) {
    if (graph.picture == nullptr) return nullptr;
    if (graph.picture->renderer == GraphRenderer::Software) return MemImgIsValid(&graph.view) ? &kSoftwareOps : nullptr;
    return HardwareOps();
}

// The checks before a graph is drawn. Returns the graph to draw, or null with *result the
// operation's result (0 for an empty draw area, -1 for the failures).
GraphRecord *PrepareGraphDraw(int handle, int *result, MEMIMG **blendImage, const GraphRendererOps **ops) {
    *result = -1;
    if (!IsLibraryInitialised() || !AreGraphicsUp()) return nullptr;
    if (IsDrawAreaEmpty()) {
        *result = 0;
        return nullptr;
    }
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return nullptr;
    bool blendValid;
    *blendImage = CurrentBlendImage(&blendValid);
    if (!blendValid) return nullptr;
    if (*blendImage != nullptr && ((*blendImage)->width < graph->width || (*blendImage)->height < graph->height)) {
        return nullptr;
    }
    WaitWhileInactive();
    *ops = RendererOf(*graph);
    return *ops != nullptr ? graph : nullptr;
}

MemImgRect Intersect(const MemImgRect &a, const MemImgRect &b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

// Along one axis: where the whole graph must be stretched to so that the part starting at
// sourcePos lands on [low, high) at scale; reversed runs from high back, mirroring the picture.
void StretchAxis(int low, int high, bool reversed, double scale, int sourcePos, int graphSize, int *from, int *to) {
    const int before = int(std::trunc(scale * sourcePos));
    const int after = int(std::trunc(scale * (graphSize - sourcePos)));
    *from = reversed ? high + before : low - before;
    *to = reversed ? high - after : low + after;
}

}  // namespace

void SetHardwareGraphRenderer(const GraphRendererOps *ops) { HardwareOps() = ops; }

}  // namespace zq

using namespace zq;

extern "C" int DrawGraphAt(int x, int y, int handle, int trans) {
    int result;
    MEMIMG *blend = nullptr;
    const GraphRendererOps *ops = nullptr;
    GraphRecord *graph = PrepareGraphDraw(handle, &result, &blend, &ops);
    return graph != nullptr ? ops->drawAt(*graph, x, y, trans, blend) : result;
}

extern "C" int DrawGraphStretched(int x1, int y1, int x2, int y2, int handle, int trans) {
    int result;
    MEMIMG *blend = nullptr;
    const GraphRendererOps *ops = nullptr;
    GraphRecord *graph = PrepareGraphDraw(handle, &result, &blend, &ops);
    const int rect[4] = {x1, y1, x2, y2};
    return graph != nullptr ? ops->drawStretched(*graph, rect, trans, blend) : result;
}

extern "C" int DrawGraphMirrored(int x, int y, int handle, int trans) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    return DrawGraphStretched(x + graph->width, y, x, y + graph->height, handle, trans);
}

extern "C" int DrawGraphQuad(float x1, float y1, float x2, float y2, float x3, float y3, float x4, float y4,
                             int handle, int trans) {
    int result;
    MEMIMG *blend = nullptr;
    const GraphRendererOps *ops = nullptr;
    GraphRecord *graph = PrepareGraphDraw(handle, &result, &blend, &ops);
    const float corners[8] = {x1, y1, x2, y2, x3, y3, x4, y4};
    return graph != nullptr ? ops->drawQuad(*graph, corners, trans, blend) : result;
}

extern "C" int DrawGraphPart(int x, int y, int srcX, int srcY, int width, int height, int handle, int trans,
                             int mirror) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    const int graphWidth = graph->width;
    const MemImgRect saved = CurrentDrawArea();
    SetDrawAreaDirect(Intersect(saved, {x, y, x + width, y + height}));
    const int result = mirror ? DrawGraphMirrored(x + srcX + width - graphWidth, y - srcY, handle, trans)
                              : DrawGraphAt(x - srcX, y - srcY, handle, trans);
    SetDrawAreaDirect(saved);
    return result;
}

extern "C" int DrawGraphPartStretched(int x1, int y1, int x2, int y2, int srcX, int srcY, int srcWidth,
                                      int srcHeight, int handle, int trans) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    // A part of no width or height would scale by infinity.
    if (srcWidth <= 0 || srcHeight <= 0) return -1;
    const int graphWidth = graph->width, graphHeight = graph->height;
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    int rect[4];
    StretchAxis(left, right, x2 < x1, double(right - left) / srcWidth, srcX, graphWidth, &rect[0], &rect[2]);
    StretchAxis(top, bottom, y2 < y1, double(bottom - top) / srcHeight, srcY, graphHeight, &rect[1], &rect[3]);
    const MemImgRect saved = CurrentDrawArea();
    SetDrawAreaDirect(Intersect(saved, {left, top, right, bottom}));
    const int result = DrawGraphStretched(rect[0], rect[1], rect[2], rect[3], handle, trans);
    SetDrawAreaDirect(saved);
    return result;
}

extern "C" int FillGraphColor(int handle, int red, int green, int blue, int alpha) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    const GraphRendererOps *ops = RendererOf(*graph);
    if (ops == nullptr) return -1;
    return ops->fill(*graph, Clamp(red, 0, 255), Clamp(green, 0, 255), Clamp(blue, 0, 255), Clamp(alpha, 0, 255));
}

extern "C" int GetDrawScreenGraph(int x1, int y1, int x2, int y2, int handle) {
    GraphRecord *graph = GraphFromHandle(handle);
    if (graph == nullptr) return -1;
    int width, height;
    const int target = CurrentDrawTarget();
    if (GetDrawTargetSize(target == SCREEN_FRONT ? SCREEN_FRONT : (target < 0 ? SCREEN_BACK : target), &width,
                          &height) != 0) {
        return -1;
    }
    if (x1 < 0 || x1 >= x2 || x2 > width || y1 < 0 || y1 >= y2 || y2 > height) return -1;
    if (graph->width != x2 - x1 || graph->height != y2 - y1) return -1;
    // Copying a graph onto itself would read the pixels it writes.
    if (target == handle) return -1;
    const GraphRendererOps *ops = RendererOf(*graph);
    if (ops == nullptr) return -1;
    return ops->copyFromTarget(*graph, MemImgRect{x1, y1, x2, y2});
}
