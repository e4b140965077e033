// Image file decoding: turns the bytes of a BMP, JPEG, PNG, raw BGRA, TGA or DDS file, read
// through a StreamSource, into a StandardImage in the format the file holds. The decoders are
// tried in a fixed order after any caller-registered ones. PNG and JPEG go through libpng and
// libjpeg; the rest are decoded here. Every buffer comes from the tracked allocator.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/file_stream.h"
#include "graphics/standard_image.h"

namespace zq {

// Fills the image and returns 0 when it recognised and decoded the data, anything else when it
// did not (the image is then left untouched and nothing stays allocated). May leave the stream
// anywhere.
using ImageDecoder = int (*)(StreamSource *source, StandardImage *image);

constexpr int kMaxUserDecoders = 10;
// Decoded pixel blocks (and whole-file reads) above this size are refused.
constexpr uint64_t kMaxDecodedBytes = uint64_t{1} << 28;

// Caller-registered decoders, tried before the built-in ones in registration order.
// 0, or -1 when the table is full or the decoder is null.
int RegisterImageDecoder(ImageDecoder decoder);
void ClearImageDecoders();

// Tries each decoder (after seeking to 0 and zeroing the image) until one accepts. 0 or -1.
int DecodeImage(StreamSource *source, StandardImage *image);

int DecodeBmp(StreamSource *source, StandardImage *image);
int DecodeJpeg(StreamSource *source, StandardImage *image);
int DecodePng(StreamSource *source, StandardImage *image);
int DecodeBgra(StreamSource *source, StandardImage *image);
int DecodeTga(StreamSource *source, StandardImage *image);
int DecodeDds(StreamSource *source, StandardImage *image);

// Decodes a file (opened with FileOpen) or a memory block; the mirror flag decompresses a
// block-compressed image and mirrors every row. The source is always closed. 0 or -1.
int LoadImage(const char *path, const void *data, int size, int fromMemory, int mirror,
              StandardImage *image);
// The main image as LoadImage, plus an alpha image: alpha mode 0 loads the file named like the
// main one with "_a" before the extension, mode 1 decodes the alpha memory block, others load
// none. -1 when the main image fails, 0 when both loaded, 1 when only the main one did (the
// alpha record is then zeroed). Both images are mirrored when the mirror flag is set.
int LoadImageWithAlpha(const char *path, const void *data, int size, int fromMemory,
                       const void *alphaData, int alphaSize, int alphaMode, StandardImage *image,
                       StandardImage *alphaImage, int mirror);

// Helpers shared by the decoders.
namespace decode {

inline uint16_t Le16(const uint8_t *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t *p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}

// True when exactly `size` bytes were read.
inline bool ReadExact(StreamSource *source, void *buffer, size_t size) {
    return size == 0 || source->ops.Read(buffer, 1, size, source->data) == size;
}
inline bool SeekTo(StreamSource *source, int32_t offset, int origin = 0) {
    return source->ops.Seek(source->data, offset, origin) == 0;
}
// The stream's total size (the stream is left at 0), or -1.
int32_t StreamSize(StreamSource *source);
// Exchanges two non-overlapping runs of bytes through a buffer of its own (a byte-wise swap loop
// is several times slower than copying).
struct SwapBytes {
    uint8_t buffer[4096];
    void operator()(uint8_t *a, uint8_t *b, size_t size) {
        while (size > 0) {
            const size_t n = size < sizeof buffer ? size : sizeof buffer;
            std::memcpy(buffer, a, n);
            std::memcpy(a, b, n);
            std::memcpy(b, buffer, n);
            a += n, b += n, size -= n;
        }
    }
};
// Reverses the order of `rows` rows of `pitch` bytes in place.
void FlipRows(uint8_t *pixels, size_t pitch, size_t rows);
// Reads `rows` rows of `pitch` bytes stored from `position` into `out`; bottom-up rows are put
// top to bottom as they are read, a few dozen kilobytes a read, so that no pass over the whole
// picture is added. False on a seek failure or a short read.
bool ReadRows(StreamSource *source, int32_t position, uint8_t *out, size_t pitch, size_t rows, bool bottomUp);
// A tracked block of `size` bytes (zero-filled on request), or null when the size is 0, above
// kMaxDecodedBytes, or the allocation fails.
uint8_t *AllocBlock(uint64_t size, bool zero);

}  // namespace decode
}  // namespace zq
