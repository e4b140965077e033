// Loading and storing pixels of 1 to 4 bytes at any alignment (little-endian values), shared by
// the conversion engine and the image operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace zq {

template <int Bytes>
inline uint32_t LoadPixel(const uint8_t *p) {
    if constexpr (Bytes == 1) {
        return p[0];
    } else if constexpr (Bytes == 2) {
        uint16_t v;
        std::memcpy(&v, p, 2);
        return v;
    } else if constexpr (Bytes == 3) {
        return p[0] | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16);
    } else {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v;
    }
}

template <int Bytes>
inline void StorePixel(uint8_t *p, uint32_t v) {
    if constexpr (Bytes == 1) {
        p[0] = static_cast<uint8_t>(v);
    } else if constexpr (Bytes == 2) {
        uint16_t w = static_cast<uint16_t>(v);
        std::memcpy(p, &w, 2);
    } else if constexpr (Bytes == 3) {
        p[0] = static_cast<uint8_t>(v);
        p[1] = static_cast<uint8_t>(v >> 8);
        p[2] = static_cast<uint8_t>(v >> 16);
    } else {
        std::memcpy(p, &v, 4);
    }
}

// The same for a byte size known only at run time (1 to 4).
inline uint32_t LoadPixelOfSize(const uint8_t *p, int bytes) {
    switch (bytes) {
        case 1: return LoadPixel<1>(p);
        case 2: return LoadPixel<2>(p);
        case 3: return LoadPixel<3>(p);
        default: return LoadPixel<4>(p);
    }
}

inline void StorePixelOfSize(uint8_t *p, int bytes, uint32_t v) {
    switch (bytes) {
        case 1: StorePixel<1>(p, v); break;
        case 2: StorePixel<2>(p, v); break;
        case 3: StorePixel<3>(p, v); break;
        default: StorePixel<4>(p, v); break;
    }
}

// A palette entry read as the 32-bit value 0xAARRGGBB.
template <class Entry>
inline uint32_t PaletteValue(const Entry &e) {
    return e.blue | (uint32_t{e.green} << 8) | (uint32_t{e.red} << 16) | (uint32_t{e.alpha} << 24);
}

}  // namespace zq
