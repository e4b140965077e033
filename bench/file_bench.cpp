// File reads through the default table: a 1 MiB file read whole in chunks of 4 bytes (how a
// decoder reads headers) and of 64 KiB (how it reads pixel data), read directly, through a
// file-access thread with the read cache, and with stdio's fread for comparison.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/file_stream.h"

namespace {

constexpr int kFileSize = 1 << 20;

// A 1 MiB file in a temporary directory, made once and removed at exit.
struct TemporaryFile {
    std::string directory;
    std::string path;
    ~TemporaryFile() {
        unlink(path.c_str());
        if (!directory.empty()) rmdir(directory.c_str());
    }
};

const std::string &BenchFile() {
    static TemporaryFile file;
    if (!file.path.empty()) return file.path;
    char dir[] = "/tmp/zq_file_bench_XXXXXX";
    if (mkdtemp(dir) != nullptr) file.directory = dir;
    file.path = file.directory.empty() ? "zq_file_bench.bin" : file.directory + "/data.bin";
    std::vector<unsigned char> bytes(kFileSize);
    for (int i = 0; i < kFileSize; ++i) bytes[i] = static_cast<unsigned char>(i * 31 + (i >> 8));
    FILE *f = std::fopen(file.path.c_str(), "wb");
    if (f != nullptr) {
        std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
    }
    return file.path;
}

// Arguments: chunk size, use-cache flag.
void BM_FileStreamRead(benchmark::State &state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    const int useCache = static_cast<int>(state.range(1));
    std::vector<unsigned char> buffer(chunk);
    for (auto _ : state) {
        const uint32_t h = zq::FileOpen(BenchFile().c_str(), useCache, 1, 0);
        if (h == 0) {
            state.SkipWithError("open failed");
            break;
        }
        while (zq::FileRead(buffer.data(), chunk, 1, h) == 1) benchmark::DoNotOptimize(buffer.data());
        zq::FileClose(h);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_FileStreamRead)->ArgNames({"chunk", "cache"})->Args({4, 0})->Args({4, 1})->Args({65536, 0})->Args({65536, 1})
    ->Unit(benchmark::kMillisecond);

void BM_StdioRead(benchmark::State &state) {
    const size_t chunk = static_cast<size_t>(state.range(0));
    std::vector<unsigned char> buffer(chunk);
    for (auto _ : state) {
        FILE *f = std::fopen(BenchFile().c_str(), "rb");
        if (f == nullptr) {
            state.SkipWithError("open failed");
            break;
        }
        while (std::fread(buffer.data(), chunk, 1, f) == 1) benchmark::DoNotOptimize(buffer.data());
        std::fclose(f);
    }
    state.SetBytesProcessed(state.iterations() * kFileSize);
}
BENCHMARK(BM_StdioRead)->ArgNames({"chunk"})->Arg(4)->Arg(65536)->Unit(benchmark::kMillisecond);

}  // namespace
