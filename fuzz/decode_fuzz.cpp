// Fuzz target for the image decoders: every input goes through the whole decoder chain from a
// memory source; a decoded image must have a sane size and be fully readable, and a
// block-compressed one is decompressed too. `make fuzz` runs it on fuzz/corpus/decode/; every
// test run replays that corpus and fuzz/crashes/decode/ (make_decode_corpus.py refills the
// corpus).
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "graphics/decode_image.h"

namespace {

struct FuzzStream {
    const uint8_t *data;
    int32_t size;
    int32_t position;
};

zq::StreamOps FuzzStreamOps() {
    zq::StreamOps ops{};
    ops.Tell = [](void *d) { return static_cast<FuzzStream *>(d)->position; };
    ops.Seek = [](void *d, int32_t offset, int origin) {
        auto *s = static_cast<FuzzStream *>(d);
        const int64_t target = origin == 0 ? offset : origin == 1 ? int64_t{s->position} + offset : int64_t{s->size} + offset;
        if (target < 0 || target > s->size) return -1;
        s->position = static_cast<int32_t>(target);
        return 0;
    };
    ops.Read = [](void *buffer, size_t elementSize, size_t count, void *d) -> size_t {
        auto *s = static_cast<FuzzStream *>(d);
        if (elementSize == 0) return 0;
        const size_t left = static_cast<size_t>(s->size - s->position);
        const size_t elements = count < left / elementSize ? count : left / elementSize;
        std::memcpy(buffer, s->data + s->position, elements * elementSize);
        s->position += static_cast<int32_t>(elements * elementSize);
        return elements;
    };
    ops.Eof = [](void *d) {
        auto *s = static_cast<FuzzStream *>(d);
        return s->position >= s->size ? 1 : 0;
    };
    ops.IdleCheck = [](void *) { return 1; };
    ops.Close = [](void *) { return 0; };
    return ops;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size > (1u << 24)) return 0;
    FuzzStream stream{data, static_cast<int32_t>(size), 0};
    zq::StreamSource source{FuzzStreamOps(), &stream};
    zq::StandardImage image{};
    if (zq::DecodeImage(&source, &image) == 0) {
        if (image.format.compression != zq::kCompressionNone) zq::DecompressImage(&image);
        // Touch every byte the image claims to own.
        volatile uint8_t sink = 0;
        const uint64_t bytes = image.pitch != 0 ? uint64_t(image.pitch) * image.height : 0;
        for (uint64_t i = 0; i < bytes; ++i) sink = sink ^ image.pixels[i];
        zq::ReleaseImage(&image);
    }
    return 0;
}
