// Image decoding from memory, ours (DecodeImage over a memory stream) beside SDL2_image
// (IMG_Load_RW, or IMG_LoadTyped_RW for TGA, which has no signature to find it by) on the same
// bytes: the game's 640 x 480 24-bit BMP (GO.bmp), an RLE8 BMP and two 24-bit TGAs (raw and
// run-length) made from its pictures at start, and its PNG. Counters: million decoded pixels
// per second. The pictures are read from $ZQ_SOURCE_DIR/assets/GAZUMO, else from assets/GAZUMO
// under the working directory.
#include <SDL.h>
#include <SDL_image.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "core/file_stream.h"
#include "graphics/decode_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

Bytes ReadPicture(const char *name) {
    const char *root = std::getenv("ZQ_SOURCE_DIR");
    const std::string path = std::string(root != nullptr ? root : ".") + "/assets/GAZUMO/" + name;
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool DecodeOurs(const Bytes &bytes, zq::StandardImage *image) {
    zq::MemoryStream *stream = zq::CreateMemoryStream(bytes.data(), static_cast<int32_t>(bytes.size()));
    zq::StreamSource source = zq::MemorySource(stream);
    const bool ok = zq::DecodeImage(&source, image) == 0;
    source.ops.Close(source.data);
    return ok;
}

void Put16(Bytes &b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes &b, uint32_t v) {
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// An 8-bit BMP's rows run-length encoded (RLE8): runs of equal pixels, literal runs of at least
// three, a line end after every row.
Bytes MakeRle8Bmp(const Bytes &bmp) {
    zq::StandardImage image{};
    if (!DecodeOurs(bmp, &image) || image.format.bytesPerPixel != 1) return {};
    Bytes data;
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t *row = image.pixels + y * image.pitch;
        int x = 0;
        while (x < image.width) {
            int run = 1;
            while (x + run < image.width && run < 255 && row[x + run] == row[x]) ++run;
            if (run >= 2) {
                data.insert(data.end(), {static_cast<uint8_t>(run), row[x]});
                x += run;
                continue;
            }
            // A literal up to the next pair of equal pixels.
            int end = x + 1;
            while (end < image.width && end - x < 255 && !(end + 1 < image.width && row[end] == row[end + 1])) ++end;
            const int n = end - x;
            if (n < 3) {
                for (int i = 0; i < n; ++i) data.insert(data.end(), {1, row[x + i]});
            } else {
                data.insert(data.end(), {0, static_cast<uint8_t>(n)});
                data.insert(data.end(), row + x, row + end);
                if (n & 1) data.push_back(0);
            }
            x = end;
        }
        data.insert(data.end(), {0, 0});
    }
    data.back() = 1;  // the last line end becomes the end of the bitmap
    Bytes out(bmp.begin(), bmp.begin() + 54 + 1024);
    const uint32_t offset = 54 + 1024;
    Bytes sizes;
    Put32(sizes, offset + static_cast<uint32_t>(data.size()));
    std::memcpy(&out[2], sizes.data(), 4);
    out[30] = 1;  // compression: RLE8
    Put32(sizes, static_cast<uint32_t>(data.size()));
    std::memcpy(&out[34], sizes.data() + 4, 4);  // image size
    out.insert(out.end(), data.begin(), data.end());
    zq::ReleaseImage(&image);
    return out;
}

// A 24-bit BMP's pixels as a bottom-up TGA, raw (type 2) or run-length encoded (type 10).
Bytes MakeTga(const Bytes &bmp, bool rle) {
    zq::StandardImage image{};
    if (!DecodeOurs(bmp, &image) || image.format.bytesPerPixel != 3) return {};
    Bytes out = {0, 0, static_cast<uint8_t>(rle ? 10 : 2), 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Put16(out, static_cast<uint32_t>(image.width));
    Put16(out, static_cast<uint32_t>(image.height));
    out.insert(out.end(), {24, 0});
    for (int y = image.height - 1; y >= 0; --y) {
        const uint8_t *row = image.pixels + y * image.pitch;
        if (!rle) {
            out.insert(out.end(), row, row + image.width * 3);
            continue;
        }
        for (int x = 0; x < image.width;) {
            int run = 1;
            while (x + run < image.width && run < 128 && std::memcmp(row + (x + run) * 3, row + x * 3, 3) == 0) ++run;
            if (run >= 2) {
                out.push_back(static_cast<uint8_t>(0x80 | (run - 1)));
                out.insert(out.end(), row + x * 3, row + x * 3 + 3);
                x += run;
                continue;
            }
            int end = x + 1;
            while (end < image.width && end - x < 128 &&
                   !(end + 1 < image.width && std::memcmp(row + end * 3, row + (end + 1) * 3, 3) == 0)) {
                ++end;
            }
            out.push_back(static_cast<uint8_t>(end - x - 1));
            out.insert(out.end(), row + x * 3, row + end * 3);
            x = end;
        }
    }
    zq::ReleaseImage(&image);
    return out;
}

// The benchmark files, made once.
const Bytes &Picture(const std::string &name) {
    static std::map<std::string, Bytes> files;
    auto found = files.find(name);
    if (found != files.end()) return found->second;
    Bytes bytes;
    if (name == "mahi2_rle8.bmp") {
        bytes = MakeRle8Bmp(ReadPicture("mahi2.bmp"));
    } else if (name == "GO.tga") {
        bytes = MakeTga(ReadPicture("GO.bmp"), false);
    } else if (name == "GO_rle.tga") {
        bytes = MakeTga(ReadPicture("GO.bmp"), true);
    } else {
        bytes = ReadPicture(name.c_str());
    }
    return files.emplace(name, std::move(bytes)).first->second;
}

void SetPixelRate(benchmark::State &state, int64_t pixels) {
    state.counters["Mpixel/s"] =
        benchmark::Counter(static_cast<double>(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void Ours(benchmark::State &state, const char *name) {
    const Bytes &bytes = Picture(name);
    if (bytes.empty()) {
        state.SkipWithError("picture not found; set ZQ_SOURCE_DIR");
        return;
    }
    int64_t pixels = 0;
    for (auto _ : state) {
        zq::StandardImage image{};
        if (!DecodeOurs(bytes, &image)) {
            state.SkipWithError("decode failed");
            return;
        }
        pixels = int64_t{image.width} * image.height;
        zq::ReleaseImage(&image);
    }
    SetPixelRate(state, pixels);
}

void Sdl(benchmark::State &state, const char *name, const char *type) {
    const Bytes &bytes = Picture(name);
    if (bytes.empty()) {
        state.SkipWithError("picture not found; set ZQ_SOURCE_DIR");
        return;
    }
    static const bool started = (IMG_Init(IMG_INIT_PNG) & IMG_INIT_PNG) != 0;
    (void)started;
    int64_t pixels = 0;
    for (auto _ : state) {
        SDL_RWops *rw = SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size()));
        SDL_Surface *surface = type != nullptr ? IMG_LoadTyped_RW(rw, 1, type) : IMG_Load_RW(rw, 1);
        if (surface == nullptr) {
            state.SkipWithError(IMG_GetError());
            return;
        }
        pixels = int64_t{surface->w} * surface->h;
        SDL_FreeSurface(surface);
    }
    SetPixelRate(state, pixels);
}

void BM_Ours_DecodeBmp24_640x480(benchmark::State &state) { Ours(state, "GO.bmp"); }
void BM_Sdl2Image_DecodeBmp24_640x480(benchmark::State &state) { Sdl(state, "GO.bmp", nullptr); }
void BM_Ours_DecodeBmp8_640x480(benchmark::State &state) { Ours(state, "mahi2.bmp"); }
void BM_Sdl2Image_DecodeBmp8_640x480(benchmark::State &state) { Sdl(state, "mahi2.bmp", nullptr); }
void BM_Ours_DecodeBmpRle8_640x480(benchmark::State &state) { Ours(state, "mahi2_rle8.bmp"); }
void BM_Sdl2Image_DecodeBmpRle8_640x480(benchmark::State &state) { Sdl(state, "mahi2_rle8.bmp", nullptr); }
void BM_Ours_DecodeTga24_640x480(benchmark::State &state) { Ours(state, "GO.tga"); }
void BM_Sdl2Image_DecodeTga24_640x480(benchmark::State &state) { Sdl(state, "GO.tga", "TGA"); }
void BM_Ours_DecodeTga24Rle_640x480(benchmark::State &state) { Ours(state, "GO_rle.tga"); }
void BM_Sdl2Image_DecodeTga24Rle_640x480(benchmark::State &state) { Sdl(state, "GO_rle.tga", "TGA"); }
void BM_Ours_DecodePng_38x35(benchmark::State &state) { Ours(state, "ikenie.png"); }
void BM_Sdl2Image_DecodePng_38x35(benchmark::State &state) { Sdl(state, "ikenie.png", nullptr); }

BENCHMARK(BM_Ours_DecodeBmp24_640x480);
BENCHMARK(BM_Sdl2Image_DecodeBmp24_640x480);
BENCHMARK(BM_Ours_DecodeBmp8_640x480);
BENCHMARK(BM_Sdl2Image_DecodeBmp8_640x480);
BENCHMARK(BM_Ours_DecodeBmpRle8_640x480);
BENCHMARK(BM_Sdl2Image_DecodeBmpRle8_640x480);
BENCHMARK(BM_Ours_DecodeTga24_640x480);
BENCHMARK(BM_Sdl2Image_DecodeTga24_640x480);
BENCHMARK(BM_Ours_DecodeTga24Rle_640x480);
BENCHMARK(BM_Sdl2Image_DecodeTga24Rle_640x480);
BENCHMARK(BM_Ours_DecodePng_38x35);
BENCHMARK(BM_Sdl2Image_DecodePng_38x35);

}  // namespace
