// The renderer dispatch of the graph drawing operations: each renderer provides the same five
// operations on the graphs whose pictures it holds. The software renderer's table is built in; a
// hardware renderer installs its own when it starts.
#pragma once

#include "graphics/graph.h"
#include "graphics/memimg.h"

namespace zq {

struct GraphRendererOps {
    // Top-left corner at (x, y), clipped to the draw area.
    int (*drawAt)(GraphRecord &graph, int x, int y, int trans, MEMIMG *blendImage);
    // The whole graph into {x1, y1, x2, y2}; reversed corners mirror that axis.
    int (*drawStretched)(GraphRecord &graph, const int rect[4], int trans, MEMIMG *blendImage);
    // Corners x, y of the picture's top-left, top-right, bottom-right and bottom-left.
    int (*drawQuad)(GraphRecord &graph, const float corners[8], int trans, MEMIMG *blendImage);
    // Components already clamped to 0..255.
    int (*fill)(GraphRecord &graph, int red, int green, int blue, int alpha);
    // Copies the rectangle of the draw target (checked to fit) into the graph.
    int (*copyFromTarget)(GraphRecord &graph, const MemImgRect &rect);
};

// The table for graphs held by a hardware renderer (null: none; such graphs then fail to draw).
void SetHardwareGraphRenderer(const GraphRendererOps *ops);

}  // namespace zq
