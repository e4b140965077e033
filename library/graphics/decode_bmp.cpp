// BMP decoding: 4- and 8-bit files (plain, RLE4, RLE8) become palette images, 24-bit files
// R8G8B8; every other kind (1-, 2-, 16- and 32-bit, bit fields) is converted to 24-bit top-down
// R8G8B8 rows by our own converter. Rows that RLE data or the file's size cannot fill are
// refused rather than read or written out of bounds.
#include <bit>
#include <climits>
#include <cstring>

#include "core/log.h"
#include "graphics/decode_image.h"
#include "zqlib.h"

namespace zq {
namespace {

using decode::Le16;
using decode::Le32;

constexpr int kFileHeaderSize = 14;
constexpr int kInfoHeaderSize = 40;
constexpr uint32_t kBmpRgb = 0;
constexpr uint32_t kBmpRle8 = 1;
constexpr uint32_t kBmpRle4 = 2;
constexpr uint32_t kBmpBitFields = 3;

// What the headers say, in our own terms.
struct BmpInfo {
    int32_t width;
    int32_t rows;          // |height|
    bool bottomUp;         // positive height: the first stored row is the bottom one
    uint16_t bitCount;
    uint32_t compression;
    uint64_t rowSize;      // stored row size, a multiple of 4
    uint32_t masks[3];     // red, green, blue for 16- and 32-bit pixels
    PaletteEntry palette[kPaletteSize];
};

// Output row of the n-th stored row.
inline int64_t OutputRow(const BmpInfo &info, int64_t storedRow) {
    return info.bottomUp ? info.rows - 1 - storedRow : storedRow;
}

// RLE4 and RLE8 into a zero-filled block of one byte per pixel. Runs are clipped at the image
// width (writes into the row padding are dropped); a run that would leave the row's pitch or
// pass the last row, or data cut inside a packet, refuses the file. Data that ends between
// packets without the end-of-bitmap escape is accepted.
bool DecodeRle(const BmpInfo &info, bool fourBit, const uint8_t *data, size_t size, uint8_t *out,
               int64_t pitch) {
    int64_t x = 0, y = 0;
    size_t pos = 0;
    auto put = [&](uint8_t value) {
        if (y >= info.rows || x >= pitch) return false;
        if (x < info.width) out[OutputRow(info, y) * pitch + x] = value;
        ++x;
        return true;
    };
    for (;;) {
        if (size - pos < 2) return pos == size;
        const uint8_t count = data[pos], value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i) {
                uint8_t pixel = fourBit ? ((i & 1) ? value & 0x0F : value >> 4) : value;
                if (!put(pixel)) return false;
            }
            continue;
        }
        switch (value) {
        case 0:
            x = 0;
            ++y;
            break;
        case 1:
            return true;
        case 2:
            if (size - pos < 2) return false;
            x += data[pos];
            y += data[pos + 1];
            pos += 2;
            break;
        default: {
            // A literal run of `value` pixels, padded to a 16-bit boundary.
            size_t bytes = fourBit ? (value + 1u) / 2 : value;
            if (size - pos < bytes) return false;
            for (int i = 0; i < value; ++i) {
                uint8_t pixel = fourBit ? ((i & 1) ? data[pos + i / 2] & 0x0F : data[pos + i / 2] >> 4)
                                        : data[pos + i];
                if (!put(pixel)) return false;
            }
            pos += bytes + (bytes & 1);
            if (pos > size) pos = size;
            break;
        }
        }
    }
}

// One channel of a bit-field pixel scaled to 8 bits.
inline uint8_t FieldToByte(uint32_t pixel, uint32_t mask) {
    if (mask == 0) return 0;
    const int shift = std::countr_zero(mask);
    const uint64_t max = mask >> shift;
    return static_cast<uint8_t>(((pixel & mask) >> shift) * 255 / max);
}

// 1-, 2-, 16- and 32-bit rows (plain or bit fields) to 24-bit top-down rows padded to 4 bytes.
int ConvertToRgb24(const BmpInfo &info, const uint8_t *data, StandardImage *image) {
    const uint64_t pitch = (uint64_t{static_cast<uint32_t>(info.width)} * 3 + 3) & ~uint64_t{3};
    if (pitch * info.rows > kMaxDecodedBytes) {
        LogText("ＤＩＢの作成に失敗しました3\n");
        return -1;
    }
    uint8_t *out = decode::AllocBlock(pitch * info.rows, false);
    if (out == nullptr) {
        LogText("２４ビットカラー化したグラフィックを格納するメモリ領域の確保に失敗しました\n");
        return -1;
    }
    const int bits = info.bitCount;
    for (int64_t stored = 0; stored < info.rows; ++stored) {
        const uint8_t *src = data + stored * info.rowSize;
        uint8_t *dst = out + OutputRow(info, stored) * pitch;
        std::memset(dst + info.width * 3, 0, pitch - info.width * 3);
        for (int32_t x = 0; x < info.width; ++x, dst += 3) {
            if (bits <= 8) {
                const int bit = x * bits;
                const int index = (src[bit >> 3] >> (8 - bits - (bit & 7))) & ((1 << bits) - 1);
                const PaletteEntry &entry = info.palette[index];
                dst[0] = entry.blue;
                dst[1] = entry.green;
                dst[2] = entry.red;
            } else {
                const uint32_t pixel = bits == 16 ? Le16(src + x * 2) : Le32(src + x * 4);
                dst[0] = FieldToByte(pixel, info.masks[2]);
                dst[1] = FieldToByte(pixel, info.masks[1]);
                dst[2] = FieldToByte(pixel, info.masks[0]);
            }
        }
    }
    CreateFullColorFormat(&image->format);
    image->pitch = static_cast<int32_t>(pitch);
    image->pixels = out;
    return 0;
}

// Reads the headers, the palette or masks; false for anything not a BMP we can decode.
bool ReadHeaders(StreamSource *source, int32_t fileSize, BmpInfo *info, uint32_t *dataOffset) {
    uint8_t fileHeader[kFileHeaderSize], header[kInfoHeaderSize];
    if (!decode::ReadExact(source, fileHeader, sizeof fileHeader)) return false;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return false;
    if (!decode::ReadExact(source, header, sizeof header)) return false;
    *dataOffset = Le32(fileHeader + 10);
    const uint32_t headerSize = Le32(header);
    info->width = static_cast<int32_t>(Le32(header + 4));
    const int32_t height = static_cast<int32_t>(Le32(header + 8));
    info->bitCount = Le16(header + 14);
    info->compression = Le32(header + 16);
    if (headerSize < kInfoHeaderSize || headerSize > static_cast<uint32_t>(fileSize)) return false;
    if (info->width <= 0 || height == 0 || height == INT32_MIN) return false;
    if (info->bitCount == 0 || info->bitCount > 32) return false;
    info->bottomUp = height > 0;
    info->rows = height > 0 ? height : -height;
    info->rowSize = ((uint64_t{static_cast<uint32_t>(info->width)} * info->bitCount + 7) / 8 + 3) &
                    ~uint64_t{3};

    if (info->bitCount <= 8) {
        // The palette follows the whole info header; a short one leaves the rest black.
        if (!decode::SeekTo(source, kFileHeaderSize + static_cast<int32_t>(headerSize))) return false;
        size_t entries = size_t{1} << info->bitCount;
        source->ops.Read(info->palette, 1, entries * sizeof(PaletteEntry), source->data);
        for (PaletteEntry &entry : info->palette) entry.alpha = 0;
    } else if (info->compression == kBmpBitFields) {
        uint8_t masks[12];
        if (!decode::SeekTo(source, kFileHeaderSize + kInfoHeaderSize)) return false;
        if (!decode::ReadExact(source, masks, sizeof masks)) return false;
        for (int i = 0; i < 3; ++i) info->masks[i] = Le32(masks + 4 * i);
    } else if (info->bitCount == 16) {
        info->masks[0] = 0x7C00, info->masks[1] = 0x03E0, info->masks[2] = 0x001F;
    } else {
        info->masks[0] = 0xFF0000, info->masks[1] = 0xFF00, info->masks[2] = 0xFF;
    }
    return true;
}

bool IsStoredAsIs(const BmpInfo &info) {
    return info.compression == kBmpRgb && (info.bitCount == 8 || info.bitCount == 24);
}

// 8- and 24-bit rows are the image's rows: read straight into the pixel block, top-down.
int ReadStoredRows(StreamSource *source, const BmpInfo &info, uint32_t dataOffset, size_t dataSize,
                   StandardImage *image) {
    const uint64_t storedSize = info.rowSize * info.rows;
    if (storedSize > dataSize) return -1;
    uint8_t *out = decode::AllocBlock(storedSize, false);
    if (out == nullptr) return -1;
    if (!decode::ReadRows(source, static_cast<int32_t>(dataOffset), out, info.rowSize, info.rows, info.bottomUp)) {
        TrackedFree(out);
        return -1;
    }
    if (info.bitCount == 8) {
        CreatePaletteFormat(&image->format);
        std::memcpy(image->format.palette, info.palette, sizeof info.palette);
    } else {
        CreateFullColorFormat(&image->format);
    }
    image->pitch = static_cast<int32_t>(info.rowSize);
    image->pixels = out;
    return 0;
}

int DecodePixels(const BmpInfo &info, const uint8_t *data, size_t dataSize, StandardImage *image) {
    const bool rle8 = info.compression == kBmpRle8 && info.bitCount == 8;
    const bool rle4 = info.compression == kBmpRle4 && info.bitCount == 4;
    const bool plain = info.compression == kBmpRgb;
    const uint64_t storedSize = info.rowSize * info.rows;
    if (!rle8 && !rle4 && storedSize > dataSize) return -1;

    if (rle8 || rle4 || (plain && info.bitCount == 4)) {
        const uint64_t pitch = rle8 ? info.rowSize : (uint64_t{static_cast<uint32_t>(info.width)} + 3) & ~uint64_t{3};
        uint8_t *out = decode::AllocBlock(pitch * info.rows, true);
        if (out == nullptr) return -1;
        if (plain) {
            for (int64_t stored = 0; stored < info.rows; ++stored) {
                const uint8_t *src = data + stored * info.rowSize;
                uint8_t *dst = out + OutputRow(info, stored) * pitch;
                for (int32_t x = 0; x < info.width; ++x) {
                    dst[x] = (x & 1) ? src[x >> 1] & 0x0F : src[x >> 1] >> 4;
                }
            }
        } else if (!DecodeRle(info, rle4, data, dataSize, out, static_cast<int64_t>(pitch))) {
            TrackedFree(out);
            return -1;
        }
        CreatePaletteFormat(&image->format);
        std::memcpy(image->format.palette, info.palette, sizeof info.palette);
        image->pitch = static_cast<int32_t>(pitch);
        image->pixels = out;
        return 0;
    }

    const bool convertible =
        (plain && (info.bitCount == 1 || info.bitCount == 2 || info.bitCount == 16 ||
                   info.bitCount == 32)) ||
        (info.compression == kBmpBitFields && (info.bitCount == 16 || info.bitCount == 32));
    if (!convertible) return -1;
    return ConvertToRgb24(info, data, image);
}

}  // namespace

int DecodeBmp(StreamSource *source, StandardImage *image) {
    const int32_t fileSize = decode::StreamSize(source);
    if (fileSize < kFileHeaderSize + kInfoHeaderSize) return -1;
    BmpInfo info{};
    uint32_t dataOffset = 0;
    if (!ReadHeaders(source, fileSize, &info, &dataOffset)) return -1;
    if (dataOffset >= static_cast<uint32_t>(fileSize)) return -1;

    const size_t dataSize = static_cast<size_t>(fileSize) - dataOffset;
    StandardImage result{};
    if (IsStoredAsIs(info)) {
        if (ReadStoredRows(source, info, dataOffset, dataSize, &result) != 0) return -1;
        result.width = info.width;
        result.height = info.rows;
        *image = result;
        return 0;
    }
    uint8_t *data = decode::AllocBlock(dataSize, false);
    if (data == nullptr) return -1;
    if (!decode::SeekTo(source, static_cast<int32_t>(dataOffset)) ||
        !decode::ReadExact(source, data, dataSize)) {
        TrackedFree(data);
        return -1;
    }
    const int status = DecodePixels(info, data, dataSize, &result);
    TrackedFree(data);
    if (status != 0) return -1;
    result.width = info.width;
    result.height = info.rows;
    *image = result;
    return 0;
}

}  // namespace zq
