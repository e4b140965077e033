// Helpers for the pixel tests: formats by masks, pixel buffers that know their format, and
// seeded random fills.
#pragma once

#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "graphics/pixel_format.h"

namespace zqtest {

inline zq::PixelFormat FormatFromMasks(int depth, uint32_t r, uint32_t g, uint32_t b, uint32_t a) {
    zq::PixelFormat f{};
    zq::CreateFormatFromMasks(&f, depth, r, g, b, a);
    return f;
}

inline zq::PixelFormat R5G6B5() { return FormatFromMasks(16, 0xF800, 0x07E0, 0x001F, 0); }
inline zq::PixelFormat X1R5G5B5() { return FormatFromMasks(16, 0x7C00, 0x03E0, 0x001F, 0); }
inline zq::PixelFormat A1R5G5B5() { return FormatFromMasks(16, 0x7C00, 0x03E0, 0x001F, 0x8000); }
inline zq::PixelFormat A4R4G4B4() { return FormatFromMasks(16, 0x0F00, 0x00F0, 0x000F, 0xF000); }
inline zq::PixelFormat R3G3B2() { return FormatFromMasks(8, 0xE0, 0x1C, 0x03, 0); }
inline zq::PixelFormat A2R10G10B10() {
    return FormatFromMasks(32, 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000);
}
inline zq::PixelFormat A8B8G8R8() {
    return FormatFromMasks(32, 0x000000FF, 0x0000FF00, 0x00FF0000, 0xFF000000);
}
inline zq::PixelFormat R8G8B8() {
    zq::PixelFormat f{};
    zq::CreateFullColorFormat(&f);
    return f;
}
inline zq::PixelFormat X8R8G8B8() {
    zq::PixelFormat f{};
    zq::CreateXRGB8Format(&f);
    return f;
}
inline zq::PixelFormat A8R8G8B8() {
    zq::PixelFormat f{};
    zq::CreateARGB8Format(&f);
    return f;
}
// A palette of random colors (fourth byte 0), seeded.
inline zq::PixelFormat RandomPalette(uint32_t seed) {
    zq::PixelFormat f{};
    zq::CreatePaletteFormat(&f);
    std::mt19937 rng(seed);
    for (auto &e : f.palette) {
        uint32_t v = rng();
        e = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16), 0};
    }
    return f;
}

// A pixel buffer with its format; rows padded to 4 bytes.
struct Pixels {
    zq::PixelFormat format{};
    int width = 0, height = 0, pitch = 0;
    std::vector<uint8_t> bytes;

    Pixels() = default;
    Pixels(const zq::PixelFormat &f, int w, int h) : format(f), width(w), height(h) {
        pitch = (w * f.bytesPerPixel + 3) / 4 * 4;
        bytes.assign(static_cast<size_t>(pitch) * h, 0);
    }
    uint8_t *At(int x, int y) { return bytes.data() + y * pitch + x * format.bytesPerPixel; }
    const uint8_t *At(int x, int y) const {
        return bytes.data() + y * pitch + x * format.bytesPerPixel;
    }
    uint32_t Get(int x, int y) const {
        uint32_t v = 0;
        std::memcpy(&v, At(x, y), format.bytesPerPixel);
        return v;
    }
    void Set(int x, int y, uint32_t v) { std::memcpy(At(x, y), &v, format.bytesPerPixel); }
    void FillRandom(std::mt19937 &rng) {
        for (auto &b : bytes) b = static_cast<uint8_t>(rng());
    }
};

}  // namespace zqtest
