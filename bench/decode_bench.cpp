// Image decoding from memory through the decoder chain: the game's 640 x 480 24-bit and 8-bit
// BMPs and its PNG, in million decoded pixels per second. The pictures are read from
// $ZQ_SOURCE_DIR/assets/GAZUMO, else from assets/GAZUMO under the working directory.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "graphics/decode_image.h"

namespace {

struct BenchStream {
    const std::vector<uint8_t> *bytes;
    int32_t position;
};

zq::StreamOps BenchStreamOps() {
    zq::StreamOps ops{};
    ops.Tell = [](void *d) { return static_cast<BenchStream *>(d)->position; };
    ops.Seek = [](void *d, int32_t offset, int origin) {
        auto *s = static_cast<BenchStream *>(d);
        const int64_t size = static_cast<int64_t>(s->bytes->size());
        const int64_t target = origin == 0 ? offset : origin == 1 ? s->position + int64_t{offset} : size + offset;
        if (target < 0 || target > size) return -1;
        s->position = static_cast<int32_t>(target);
        return 0;
    };
    ops.Read = [](void *buffer, size_t elementSize, size_t count, void *d) -> size_t {
        auto *s = static_cast<BenchStream *>(d);
        if (elementSize == 0) return 0;
        const size_t left = s->bytes->size() - static_cast<size_t>(s->position);
        const size_t elements = count < left / elementSize ? count : left / elementSize;
        std::memcpy(buffer, s->bytes->data() + s->position, elements * elementSize);
        s->position += static_cast<int32_t>(elements * elementSize);
        return elements;
    };
    ops.Eof = [](void *d) {
        auto *s = static_cast<BenchStream *>(d);
        return static_cast<size_t>(s->position) >= s->bytes->size() ? 1 : 0;
    };
    ops.IdleCheck = [](void *) { return 1; };
    ops.Close = [](void *) { return 0; };
    return ops;
}

std::vector<uint8_t> ReadPicture(const char *name) {
    const char *root = std::getenv("ZQ_SOURCE_DIR");
    const std::string path = std::string(root != nullptr ? root : ".") + "/assets/GAZUMO/" + name;
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void DecodePicture(benchmark::State &state, const char *name) {
    const std::vector<uint8_t> bytes = ReadPicture(name);
    if (bytes.empty()) {
        state.SkipWithError("picture not found; set ZQ_SOURCE_DIR");
        return;
    }
    int64_t pixels = 0;
    for (auto _ : state) {
        BenchStream stream{&bytes, 0};
        zq::StreamSource source{BenchStreamOps(), &stream};
        zq::StandardImage image{};
        if (zq::DecodeImage(&source, &image) != 0) {
            state.SkipWithError("decode failed");
            return;
        }
        pixels = int64_t{image.width} * image.height;
        zq::ReleaseImage(&image);
    }
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Ours_DecodeBmp24_640x480(benchmark::State &state) { DecodePicture(state, "GO.bmp"); }
void BM_Ours_DecodeBmp8_640x480(benchmark::State &state) { DecodePicture(state, "mahi2.bmp"); }
void BM_Ours_DecodePng_38x35(benchmark::State &state) { DecodePicture(state, "ikenie.png"); }

BENCHMARK(BM_Ours_DecodeBmp24_640x480);
BENCHMARK(BM_Ours_DecodeBmp8_640x480);
BENCHMARK(BM_Ours_DecodePng_38x35);

}  // namespace
