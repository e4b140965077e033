// The one conversion engine between pixel formats: copies a rectangle of pixels from one format
// into another, applying a color key, a separate alpha image, mirroring and dithering.
#pragma once

#include <cstdint>

#include "graphics/pixel_format.h"

namespace zq {

constexpr int kDitherNone = 0;
constexpr int kDitherOrdered = 1;
constexpr int kDitherErrorCarry = 2;

// Converts source rectangle [srcLeft, srcRight) x [srcTop, srcBottom) to (destX, destY).
// The alpha image (may be null) is read at the same coordinates as the source. colorKey is
// 0x00RRGGBB. Does not clip: callers pass rectangles that fit both images.
// Returns 0, or -1 for an empty rectangle or bad arguments; when both formats are 8-bit and the
// indices are copied, the highest index copied.
int ConvertPixels(void *destPixels, int destPitch, const PixelFormat *destFormat,
                  const void *srcPixels, int srcPitch, const PixelFormat *srcFormat,
                  const void *alphaPixels, int alphaPitch, const PixelFormat *alphaFormat,
                  int destX, int destY, int srcLeft, int srcTop, int srcRight, int srcBottom,
                  bool mirror, bool keyToAlpha, uint32_t colorKey, int ditherMode,
                  bool alphaOnly, bool redAsAlpha, bool skipKey, bool paletteRemap);

}  // namespace zq
