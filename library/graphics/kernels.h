// The software drawing kernels: put one MEMIMG onto another at a position, scaled (and mirrored)
// into a rectangle, or through a textured triangle, and fill a rectangle, under the software draw
// settings (blend mode and parameter, brightness, draw area). Every pixel rule is integer-only and
// bit-exact; the arithmetic tables of blend_tables.h must have been built.
#pragma once

#include <cstdint>

#include "graphics/memimg.h"

namespace zq {

// Blend modes of the software renderer (5..9 are hardware-only: nothing is drawn).
constexpr int kBlendNone = 0;
constexpr int kBlendAlpha = 1;
constexpr int kBlendAdd = 2;
constexpr int kBlendSubtract = 3;
constexpr int kBlendMultiply = 4;
constexpr int kBlendInvert = 10;
constexpr int kBlendMultiplyAlpha = 11;

// The part of the draw state the kernels read.
struct SoftDrawSettings {
    int blendMode;
    int blendParam;                        // 0..255
    uint8_t brightRed, brightGreen, brightBlue;
    MemImgRect drawArea;                   // target pixels, right and bottom exclusive
};

struct TriangleVertex {
    int x, y;  // target position
    int u, v;  // source position
};

// Nothing is drawn when source and target color types differ, the target is indexed or has alpha,
// the target is not 16- or 32-bit color, or the blend image (a MEMIMG_GRAY8 read at the source's
// coordinates) is smaller than the source. Drawing is clipped to the draw area and the target.
void PutMemImg(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source, int x, int y,
               int trans, const MEMIMG *blendImage);
// rect {x1, y1, x2, y2}: x2 < x1 or y2 < y1 mirrors that axis. Nearest-pixel scaling.
void PutMemImgScaled(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source,
                     const int rect[4], int trans, const MEMIMG *blendImage);
void PutMemImgTriangle(const SoftDrawSettings &settings, MEMIMG *target, const MEMIMG *source,
                       const TriangleVertex vertices[3], int trans, const MEMIMG *blendImage);
// Fills the rectangle (whole target when null) with a color in the target's layout.
void FillMemImgRect(const SoftDrawSettings &settings, MEMIMG *target, const MemImgRect *rect,
                    uint32_t color);

}  // namespace zq
