// The arithmetic tables shared by the software drawing kernels. All divisions truncate, as the
// kernels' bit-exact rules require.
#include "graphics/blend_tables.h"

namespace zq {
namespace {

struct BlendTables {
    int mul[kMulTableRows][256];
    int signedMul[kMulTableRows][kSignedMulTableWidth];
    uint8_t lerp6[kLerp6Size][kLerp6Size * kLerp6Size];
    uint8_t ramp[kBlendImageRampSize];
};

BlendTables g_tables;

}  // namespace

int BuildBlendTables() {
    for (int p = 0; p < kMulTableRows; ++p) {
        for (int j = 0; j < kSignedMulTableWidth; ++j) {
            g_tables.signedMul[p][j] = p * (j - 255) / 255;  // C++ division truncates toward zero
        }
    }
    for (int r = 0; r < kMulTableRows; ++r) {
        for (int k = 0; k < 256; ++k) g_tables.mul[r][k] = k * r / 255;
    }
    for (int k = 0; k < kLerp6Size; ++k) {
        for (int a = 0; a < kLerp6Size; ++a) {
            for (int b = 0; b < kLerp6Size; ++b) {
                g_tables.lerp6[k][a * kLerp6Size + b] = static_cast<uint8_t>((a * k + b * (63 - k)) / 63);
            }
        }
    }
    return 0;
}

void BuildBlendImageRamp(int position, int range) {
    int r1 = range + 1;
    int q = 65536 / r1 + 256;
    int off = position * q / 256;
    for (int i = 0; i < kBlendImageRampSize; ++i) {
        int w = (256 * i) / r1 + 256 - off;
        g_tables.ramp[i] = static_cast<uint8_t>(w < 0 ? 0 : (w > 255 ? 255 : w));
    }
}

const int *MulTableRow(int r) { return g_tables.mul[r]; }
const int *SignedMulTableRow(int p) { return g_tables.signedMul[p] + 255; }
const uint8_t *Lerp6Plane(int k) { return g_tables.lerp6[k]; }
const uint8_t *BlendImageRamp() { return g_tables.ramp; }

}  // namespace zq
