// TGA decoding: true-color (types 2 and 10) and color-mapped (types 1 and 9, 8-bit indices)
// images of 16, 24 or 32 bits, raw or run-length encoded, any orientation. 16-bit pixels come
// out as X1R5G5B5, 24-bit as R8G8B8, 32-bit as A8R8G8B8, rows top to bottom.
#include <cstring>

#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

using decode::Le16;
using decode::Le32;

constexpr int kTgaHeaderSize = 18;
constexpr int kTgaFooterSize = 26;
constexpr int kTgaMaxSide = 8192;
constexpr char kTgaSignature[] = "TRUEVISION-XFILE";

// Expands run-length packets into `count` elements of `elementSize` bytes. False when the data
// ends before all elements are produced; a packet running past the last element is cut.
bool ExpandRle(const uint8_t *data, size_t size, int elementSize, uint8_t *out, uint64_t count) {
    size_t pos = 0;
    uint64_t produced = 0;
    while (produced < count) {
        if (pos >= size) return false;
        const uint8_t header = data[pos++];
        const uint64_t run = (header & 0x7F) + 1u;
        const uint64_t take = run < count - produced ? run : count - produced;
        if (header & 0x80) {
            if (size - pos < static_cast<size_t>(elementSize)) return false;
            for (uint64_t i = 0; i < take; ++i) {
                std::memcpy(out + (produced + i) * elementSize, data + pos, elementSize);
            }
            pos += elementSize;
        } else {
            if ((size - pos) / elementSize < run) return false;
            std::memcpy(out + produced * elementSize, data + pos, take * elementSize);
            pos += run * elementSize;
        }
        produced += take;
    }
    return true;
}

// Puts the rows top to bottom, left to right, in place: the descriptor says bottom-up (bit 5
// clear) or right-to-left (bit 4 set).
void OrientPixels(uint8_t *pixels, int width, int height, int pixelBytes, int descriptor) {
    const size_t pitch = size_t{static_cast<uint32_t>(width)} * pixelBytes;
    if ((descriptor & 0x20) == 0) decode::FlipRows(pixels, pitch, static_cast<size_t>(height));
    if ((descriptor & 0x10) == 0) return;
    decode::SwapBytes swap;
    for (int y = 0; y < height; ++y) {
        uint8_t *left = pixels + y * pitch;
        uint8_t *right = left + pitch - pixelBytes;
        for (; left < right; left += pixelBytes, right -= pixelBytes) swap(left, right, pixelBytes);
    }
}

// The stored pixels or indices from `position`, `rows` rows of them: raw ones exactly (put top
// to bottom as they are read when `bottomUp`), run-length ones expanded from the data up to
// `dataEnd` (in their stored order). Null when the file is too short or the runs are cut.
uint8_t *ReadStored(StreamSource *source, int32_t position, int32_t dataEnd, bool rle,
                    int elementSize, uint64_t count, int rows, bool bottomUp) {
    if (position > dataEnd) return nullptr;
    const uint64_t available = static_cast<uint64_t>(dataEnd - position);
    const uint64_t size = count * elementSize;
    // A packet yields at most 128 elements, so shorter data cannot be enough.
    if (rle ? count > available * 128 : size > available) return nullptr;
    if (!decode::SeekTo(source, position)) return nullptr;
    uint8_t *out = decode::AllocBlock(size, false);
    if (out == nullptr) return nullptr;
    bool ok;
    if (!rle) {
        ok = decode::ReadRows(source, position, out, size / rows, rows, bottomUp);
    } else {
        uint8_t *data = decode::AllocBlock(available, false);
        ok = data != nullptr && decode::ReadExact(source, data, available) &&
             ExpandRle(data, available, elementSize, out, count);
        TrackedFree(data);
    }
    if (!ok) {
        TrackedFree(out);
        return nullptr;
    }
    return out;
}

}  // namespace

int DecodeTga(StreamSource *source, StandardImage *image) {
    const int32_t fileSize = decode::StreamSize(source);
    if (fileSize < kTgaHeaderSize) return -1;

    // A footer ends the area run-length data is read from.
    int32_t dataEnd = fileSize;
    if (fileSize >= kTgaHeaderSize + kTgaFooterSize) {
        uint8_t footer[kTgaFooterSize];
        if (decode::SeekTo(source, fileSize - kTgaFooterSize) &&
            decode::ReadExact(source, footer, sizeof footer) &&
            std::memcmp(footer + 8, kTgaSignature, 16) == 0 && Le32(footer) == 0) {
            dataEnd = fileSize - kTgaFooterSize;
        }
    }
    uint8_t header[kTgaHeaderSize];
    if (!decode::SeekTo(source, 0) || !decode::ReadExact(source, header, sizeof header)) return -1;
    const int idLength = header[0];
    const int mapType = header[1];
    const int imageType = header[2];
    const int mapFirst = Le16(header + 3);
    const int mapLength = Le16(header + 5);
    const int mapEntryBits = header[7];
    const int width = Le16(header + 12);
    const int height = Le16(header + 14);
    const int descriptor = header[17];

    const bool mapped = imageType == 1 || imageType == 9;
    const bool rle = imageType == 9 || imageType == 10;
    if (!mapped && imageType != 2 && imageType != 10) return -1;
    if (Le16(header + 8) != 0 || Le16(header + 10) != 0) return -1;
    if (width == 0 || height == 0 || width > kTgaMaxSide || height > kTgaMaxSide) return -1;
    const int pixelBits = mapped ? mapEntryBits : header[16];
    if (pixelBits != 16 && pixelBits != 24 && pixelBits != 32) return -1;
    if (mapped && (mapType != 1 || header[16] != 8)) return -1;
    const int pixelBytes = pixelBits / 8;

    int32_t position = kTgaHeaderSize + idLength;
    // Color-map entries go to their indices from the first-entry index; those past 255 are
    // dropped, and indices that no entry fills read black.
    uint8_t table[kPaletteSize * 4] = {};
    if (mapType != 0) {
        const int32_t mapSize = mapLength * ((mapEntryBits + 7) / 8);
        if (mapped) {
            uint8_t *entries = mapSize > 0 ? decode::AllocBlock(mapSize, false) : nullptr;
            if (mapSize > 0 && entries == nullptr) return -1;
            const bool ok = decode::SeekTo(source, position) && decode::ReadExact(source, entries, mapSize);
            for (int i = 0; ok && i < mapLength && mapFirst + i < kPaletteSize; ++i) {
                std::memcpy(table + (mapFirst + i) * pixelBytes, entries + i * pixelBytes, pixelBytes);
            }
            TrackedFree(entries);
            if (!ok) return -1;
        }
        position += mapSize;
    }

    const uint64_t count = uint64_t{static_cast<uint32_t>(width)} * static_cast<uint32_t>(height);
    uint8_t *pixels = ReadStored(source, position, rle ? dataEnd : fileSize, rle,
                                 mapped ? 1 : pixelBytes, count, height, (descriptor & 0x20) == 0);
    // Raw rows were read top to bottom already.
    const int orientation = rle ? descriptor : descriptor | 0x20;
    if (pixels == nullptr) return -1;
    if (mapped) {
        uint8_t *colors = decode::AllocBlock(count * pixelBytes, false);
        if (colors != nullptr) {
            for (uint64_t i = 0; i < count; ++i) {
                std::memcpy(colors + i * pixelBytes, table + pixels[i] * pixelBytes, pixelBytes);
            }
        }
        TrackedFree(pixels);
        pixels = colors;
    }
    if (pixels == nullptr) return -1;
    OrientPixels(pixels, width, height, pixelBytes, orientation);

    StandardImage result{};
    if (pixelBytes == 2) {
        CreateFormatFromMasks(&result.format, 16, 0x7C00, 0x03E0, 0x001F, 0);
    } else if (pixelBytes == 3) {
        CreateFullColorFormat(&result.format);
    } else {
        CreateARGB8Format(&result.format);
    }
    result.width = width;
    result.height = height;
    result.pitch = width * pixelBytes;
    result.pixels = pixels;
    *image = result;
    return 0;
}

}  // namespace zq
