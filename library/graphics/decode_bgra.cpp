// The library's raw "BGRA" files: a 16-byte header ("BGRA", a marker of 8 or 16 bits per
// channel, width, height) and the pixels top to bottom, blue, green, red, alpha per pixel.
// 16-bit channels are little-endian; only their high byte is kept.
#include <cstring>

#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr uint32_t kBgraMarker8 = 0x08080808;
constexpr uint32_t kBgraMarker16 = 0x10101010;

}  // namespace

int DecodeBgra(StreamSource *source, StandardImage *image) {
    uint8_t header[16];
    if (!decode::ReadExact(source, header, sizeof header)) return -1;
    if (std::memcmp(header, "BGRA", 4) != 0) return -1;
    const uint32_t marker = decode::Le32(header + 4);
    if (marker != kBgraMarker8 && marker != kBgraMarker16) return -1;
    const int32_t width = static_cast<int32_t>(decode::Le32(header + 8));
    const int32_t height = static_cast<int32_t>(decode::Le32(header + 12));
    if (width <= 0 || height <= 0) return -1;

    const uint64_t pitch = uint64_t{static_cast<uint32_t>(width)} * 4;
    // Refuse sizes the file cannot hold before allocating for them.
    const uint64_t dataSize = pitch * static_cast<uint32_t>(height) * (marker == kBgraMarker8 ? 1 : 2);
    const int32_t fileSize = decode::StreamSize(source);
    if (fileSize < 0 || dataSize > static_cast<uint64_t>(fileSize) - sizeof header) return -1;
    if (!decode::SeekTo(source, sizeof header)) return -1;
    uint8_t *pixels = decode::AllocBlock(pitch * static_cast<uint32_t>(height), false);
    if (pixels == nullptr) return -1;
    if (marker == kBgraMarker8) {
        if (!decode::ReadExact(source, pixels, pitch * height)) {
            TrackedFree(pixels);
            return -1;
        }
    } else {
        uint8_t *row = decode::AllocBlock(pitch * 2, false);
        bool ok = row != nullptr;
        for (int32_t y = 0; ok && y < height; ++y) {
            ok = decode::ReadExact(source, row, pitch * 2);
            uint8_t *dst = pixels + y * pitch;
            for (uint64_t i = 0; ok && i < pitch; ++i) dst[i] = row[i * 2 + 1];
        }
        TrackedFree(row);
        if (!ok) {
            TrackedFree(pixels);
            return -1;
        }
    }
    StandardImage result{};
    CreateARGB8Format(&result.format);
    result.width = width;
    result.height = height;
    result.pitch = static_cast<int32_t>(pitch);
    result.pixels = pixels;
    *image = result;
    return 0;
}

}  // namespace zq
