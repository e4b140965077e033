// String drawing inside the library: the measuring and drawing core over a font's memory cache, and
// the on-screen log's drawer that the font system starts and ends.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"

namespace zq {

// draw 0 only measures. Draws into target (null: the current draw target) within clip (null: the
// current draw area). length -1 takes the whole string. Returns the total advance, or -1; size
// (may be null) receives the width and the font's cell height.
int DrawStringCore(int draw, int x, int y, const char *text, uint32_t color, MEMIMG *target, const MemImgRect *clip,
                   int handle, uint32_t edgeColor, int length, int size[2]);

// The on-screen log drawer: registered with the screen at font-system start; its font is made on
// first use and released at the end.
void StartOnScreenLogDrawing();
void EndOnScreenLogDrawing();

}  // namespace zq
