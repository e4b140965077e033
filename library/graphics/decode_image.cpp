// The decoder chain (caller-registered decoders first, then the built-in ones in a fixed order),
// loading from a file or a memory block with an optional companion alpha image, and the helpers
// every decoder shares.
#include "graphics/decode_image.h"

#include <cstring>

#include "zqlib.h"

namespace zq {
namespace {

struct DecoderTable {
    ImageDecoder user[kMaxUserDecoders];
    int userCount;
};

DecoderTable g_decoders = {};

constexpr ImageDecoder kBuiltInDecoders[] = {DecodeBmp, DecodeJpeg, DecodePng,
                                             DecodeBgra, DecodeTga, DecodeDds};

// Seeks to 0, zeroes the image and runs one decoder.
bool TryDecoder(ImageDecoder decoder, StreamSource *source, StandardImage *image) {
    source->ops.Seek(source->data, 0, 0);
    std::memset(image, 0, sizeof *image);
    return decoder(source, image) == 0;
}

// The companion alpha file's name: "_a" before the extension's '.', or appended when the last
// component has no '.' (a '.' in a directory name is not an extension). False when it is too long.
bool MakeAlphaPath(const char *path, char (&out)[kFilePathSize]) {
    if (path == nullptr) return false;
    const size_t length = std::strlen(path);
    if (length + 3 > sizeof out) return false;
    // Forward over Shift-JIS: a double-byte character's second byte may be 0x5C, which is no
    // separator.
    size_t insertAt = length;
    for (size_t i = 0; i < length; ++i) {
        const auto c = static_cast<unsigned char>(path[i]);
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) {
            ++i;
        } else if (c == '\\' || c == '/') {
            insertAt = length;
        } else if (c == '.') {
            insertAt = i;
        }
    }
    std::memcpy(out, path, insertAt);
    std::memcpy(out + insertAt, "_a", 2);
    std::memcpy(out + insertAt + 2, path + insertAt, length - insertAt + 1);
    return true;
}

}  // namespace

int RegisterImageDecoder(ImageDecoder decoder) {
    if (decoder == nullptr || g_decoders.userCount >= kMaxUserDecoders) return -1;
    g_decoders.user[g_decoders.userCount++] = decoder;
    return 0;
}

void ClearImageDecoders() { g_decoders = {}; }

int DecodeImage(StreamSource *source, StandardImage *image) {
    if (source == nullptr || image == nullptr) return -1;
    for (int i = 0; i < g_decoders.userCount; ++i) {
        if (TryDecoder(g_decoders.user[i], source, image)) return 0;
    }
    for (ImageDecoder decoder : kBuiltInDecoders) {
        if (TryDecoder(decoder, source, image)) return 0;
    }
    std::memset(image, 0, sizeof *image);
    return -1;
}

int LoadImage(const char *path, const void *data, int size, int fromMemory, int mirror,
              StandardImage *image) {
    if (image == nullptr) return -1;
    StreamSource source;
    if (fromMemory) {
        MemoryStream *stream = CreateMemoryStream(data, size);
        if (stream == nullptr) return -1;
        source = MemorySource(stream);
    } else {
        const uint32_t handle = path != nullptr ? FileOpen(path, 0, 1, 0) : 0;
        if (handle == 0) return -1;
        source = FileSource(handle);
    }
    const int result = DecodeImage(&source, image);
    source.ops.Close(source.data);
    if (result != 0) return -1;
    // Mirroring every row in place gives the same pixels as a mirrored copy.
    if (mirror && (DecompressImage(image) != 0 || MirrorImage(image) != 0)) {
        ReleaseImage(image);
        return -1;
    }
    return 0;
}

int LoadImageWithAlpha(const char *path, const void *data, int size, int fromMemory,
                       const void *alphaData, int alphaSize, int alphaMode, StandardImage *image,
                       StandardImage *alphaImage, int mirror) {
    if (LoadImage(path, data, size, fromMemory, mirror, image) != 0) return -1;
    if (alphaImage == nullptr) return 1;
    std::memset(alphaImage, 0, sizeof *alphaImage);
    if (alphaMode == 0) {
        char alphaPath[kFilePathSize];
        if (!MakeAlphaPath(path, alphaPath)) return 1;
        return LoadImage(alphaPath, nullptr, 0, 0, mirror, alphaImage) == 0 ? 0 : 1;
    }
    if (alphaMode == 1 && alphaData != nullptr && alphaSize > 0) {
        return LoadImage(nullptr, alphaData, alphaSize, 1, mirror, alphaImage) == 0 ? 0 : 1;
    }
    return 1;
}

namespace decode {

int32_t StreamSize(StreamSource *source) {
    if (!SeekTo(source, 0, 2)) return -1;
    int32_t size = source->ops.Tell(source->data);
    if (!SeekTo(source, 0)) return -1;
    return size;
}

void FlipRows(uint8_t *pixels, size_t pitch, size_t rows) {
    if (rows < 2) return;
    SwapBytes swap;
    uint8_t *top = pixels;
    uint8_t *bottom = pixels + (rows - 1) * pitch;
    for (; top < bottom; top += pitch, bottom -= pitch) swap(top, bottom, pitch);
}

bool ReadRows(StreamSource *source, int32_t position, uint8_t *out, size_t pitch, size_t rows, bool bottomUp) {
    constexpr size_t kChunkBytes = 64 * 1024;
    if (bottomUp && source->ops.Read == GetMemoryStreamOps().Read) {
        // A memory block costs nothing per read: each row goes straight to its place.
        for (size_t i = 0; i < rows; ++i) {
            if (!SeekTo(source, static_cast<int32_t>(position + i * pitch)) ||
                !ReadExact(source, out + (rows - 1 - i) * pitch, pitch)) {
                return false;
            }
        }
        return true;
    }
    if (!bottomUp || rows < 2 || pitch * rows <= kChunkBytes) {
        // A small picture is reversed in place while it is still in the cache.
        if (!SeekTo(source, position) || !ReadExact(source, out, pitch * rows)) return false;
        if (bottomUp) FlipRows(out, pitch, rows);
        return true;
    }
    // The last stored rows are the first output rows: read them a chunk at a time from the end
    // into a block that stays in the cache, and copy its rows to their places from there.
    const size_t chunkRows = pitch < kChunkBytes ? kChunkBytes / pitch : 1;
    uint8_t *chunk = AllocBlock(chunkRows * pitch, false);
    if (chunk == nullptr) return false;
    bool ok = true;
    for (size_t done = 0; ok && done < rows;) {
        const size_t n = rows - done < chunkRows ? rows - done : chunkRows;
        ok = SeekTo(source, static_cast<int32_t>(position + (rows - done - n) * pitch)) &&
             ReadExact(source, chunk, n * pitch);
        for (size_t i = 0; ok && i < n; ++i) std::memcpy(out + (done + n - 1 - i) * pitch, chunk + i * pitch, pitch);
        done += n;
    }
    TrackedFree(chunk);
    return ok;
}

uint8_t *AllocBlock(uint64_t size, bool zero) {
    if (size == 0 || size > kMaxDecodedBytes) return nullptr;
    void *block = zero ? TrackedAllocZero(static_cast<int>(size), "", 0)
                       : TrackedAlloc(static_cast<int>(size), "", 0);
    return static_cast<uint8_t *>(block);
}

}  // namespace decode
}  // namespace zq
