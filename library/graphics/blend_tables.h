// The arithmetic tables of the software renderer: products scaled by 1/255, signed products, the
// 6-bit interpolation table of 16-bit alpha blending, and the weight ramp of the blend image.
// Built once when graphics start; the kernels only read them.
#pragma once

#include <cstdint>

namespace zq {

constexpr int kMulTableRows = 256;
constexpr int kSignedMulTableWidth = 511;  // differences -255..255
constexpr int kLerp6Size = 64;
constexpr int kBlendImageRampSize = 256;

// Fills MulTable, SignedMulTable and Lerp6Table. Returns 0.
int BuildBlendTables();
// Fills BlendImageRamp for a border position and range, both 0..255.
void BuildBlendImageRamp(int position, int range);

// MulTable row r: entry k is trunc(k * r / 255).
const int *MulTableRow(int r);
// SignedMulTable row p, pointing at its middle: entry d (-255..255) is trunc(p * d / 255).
const int *SignedMulTableRow(int p);
// Lerp6Table plane k: entry [a * 64 + b] is trunc((a * k + b * (63 - k)) / 63).
const uint8_t *Lerp6Plane(int k);
// The 256 blend-image weights of the last BuildBlendImageRamp.
const uint8_t *BlendImageRamp();

}  // namespace zq
