// Helpers for the decoder tests: a memory StreamOps over a byte vector (reads as the library's
// memory streams make them, seeks that fail outside the data), little-endian byte builders,
// fixture files and pixel reads.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "graphics/decode_image.h"
#include "graphics/standard_image.h"

namespace zqtest {

using Bytes = std::vector<uint8_t>;

struct VectorStream {
    const Bytes *bytes;
    int32_t position;
    int closeCount;
};

inline zq::StreamOps VectorStreamOps() {
    zq::StreamOps ops{};
    ops.Tell = [](void *d) { return static_cast<VectorStream *>(d)->position; };
    ops.Seek = [](void *d, int32_t offset, int origin) {
        auto *s = static_cast<VectorStream *>(d);
        const int64_t size = static_cast<int64_t>(s->bytes->size());
        int64_t target = origin == 0 ? offset : origin == 1 ? s->position + int64_t{offset} : size + offset;
        if (target < 0 || target > size) return -1;
        s->position = static_cast<int32_t>(target);
        return 0;
    };
    ops.Read = [](void *buffer, size_t elementSize, size_t count, void *d) -> size_t {
        auto *s = static_cast<VectorStream *>(d);
        if (elementSize == 0) return 0;
        const size_t left = s->bytes->size() - static_cast<size_t>(s->position);
        // Like the library's memory streams, a read finding less than one element left still
        // delivers the remaining bytes and counts them as one element.
        const size_t elements = std::min(count, left / elementSize);
        const size_t bytes = elements > 0 ? elements * elementSize : left;
        std::memcpy(buffer, s->bytes->data() + s->position, bytes);
        s->position += static_cast<int32_t>(bytes);
        return elements > 0 ? elements : (left > 0 ? 1 : 0);
    };
    ops.Eof = [](void *d) {
        auto *s = static_cast<VectorStream *>(d);
        return static_cast<size_t>(s->position) >= s->bytes->size() ? 1 : 0;
    };
    ops.IdleCheck = [](void *) { return 1; };
    ops.Close = [](void *d) {
        ++static_cast<VectorStream *>(d)->closeCount;
        return 0;
    };
    return ops;
}

// Runs one decoder (or DecodeImage) over the bytes.
inline int DecodeBytes(zq::ImageDecoder decoder, const Bytes &bytes, zq::StandardImage *image) {
    VectorStream stream{&bytes, 0, 0};
    zq::StreamSource source{VectorStreamOps(), &stream};
    return decoder(&source, image);
}

inline void Put16(Bytes &b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
inline void Put32(Bytes &b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}
inline void PutBytes(Bytes &b, std::initializer_list<int> values) {
    for (int v : values) b.push_back(static_cast<uint8_t>(v));
}

inline std::string SourceDir() {
    const char *dir = std::getenv("ZQ_SOURCE_DIR");
    return dir != nullptr ? dir : ".";
}

inline Bytes ReadFileBytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline Bytes Fixture(const char *name) { return ReadFileBytes(SourceDir() + "/tests/graphics/data/" + name); }

// 0xRRGGBB of a pixel (through the palette for palette images).
inline uint32_t Rgb(zq::StandardImage &image, int x, int y) {
    int r = 0, g = 0, b = 0;
    zq::GetImagePixel(&image, x, y, &r, &g, &b, nullptr);
    return static_cast<uint32_t>(r << 16 | g << 8 | b);
}

// A released image on scope exit.
struct ImageHolder {
    zq::StandardImage image{};
    ~ImageHolder() { zq::ReleaseImage(&image); }
};

}  // namespace zqtest
