// Pixel conversion and opaque blits on a 640 x 480 image: ours (ConvertPixels, BlitImage) beside
// SDL2's surface conversion and blit doing the same work, in million pixels per second.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <random>

#include "graphics/standard_image.h"
#include "zqlib.h"

namespace {

constexpr int kWidth = 640;
constexpr int kHeight = 480;
constexpr int kPixels = kWidth * kHeight;

void CountPixels(benchmark::State &state) {
    state.SetItemsProcessed(state.iterations() * kPixels);
    state.counters["Mpixel/s"] =
        benchmark::Counter(kPixels / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

void FillRandom(uint8_t *bytes, size_t size) {
    std::mt19937 rng(42);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(rng());
}

zq::PixelFormat Rgb565() {
    zq::PixelFormat f{};
    zq::CreateFormatFromMasks(&f, 16, 0xF800, 0x07E0, 0x001F, 0);
    return f;
}

void BM_Ours_ConvertPixels_Rgb24To565(benchmark::State &state) {
    zq::StandardImage src{}, dest{};
    zq::StandardImage model{};
    zq::CreateFullColorFormat(&model.format);
    zq::CreateImageLike(kWidth, kHeight, &model, &src);
    model.format = Rgb565();
    zq::CreateImageLike(kWidth, kHeight, &model, &dest);
    FillRandom(src.pixels, static_cast<size_t>(src.pitch) * kHeight);
    for (auto _ : state) {
        zq::ConvertPixels(dest.pixels, dest.pitch, &dest.format, src.pixels, src.pitch, &src.format,
                          nullptr, 0, nullptr, 0, 0, 0, 0, kWidth, kHeight, false, false, 0,
                          zq::kDitherNone, false, false, false, false);
        benchmark::DoNotOptimize(dest.pixels);
        benchmark::ClobberMemory();
    }
    CountPixels(state);
    zq::ReleaseImage(&src);
    zq::ReleaseImage(&dest);
}
BENCHMARK(BM_Ours_ConvertPixels_Rgb24To565);

// SDL's BGR24 has our 24-bit layout in memory (blue, green, red); RGB24 the reverse byte order.
void SdlConvertSurface(benchmark::State &state, Uint32 sourceFormat) {
    SDL_Surface *src = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 24, sourceFormat);
    if (src == nullptr) {
        state.SkipWithError(SDL_GetError());
        return;
    }
    FillRandom(static_cast<uint8_t *>(src->pixels), static_cast<size_t>(src->pitch) * kHeight);
    for (auto _ : state) {
        SDL_Surface *out = SDL_ConvertSurfaceFormat(src, SDL_PIXELFORMAT_RGB565, 0);
        benchmark::DoNotOptimize(out);
        SDL_FreeSurface(out);
    }
    CountPixels(state);
    SDL_FreeSurface(src);
}

void BM_SDL_ConvertSurface_Bgr24To565(benchmark::State &state) {
    SdlConvertSurface(state, SDL_PIXELFORMAT_BGR24);
}
BENCHMARK(BM_SDL_ConvertSurface_Bgr24To565);

void BM_SDL_ConvertSurface_Rgb24To565(benchmark::State &state) {
    SdlConvertSurface(state, SDL_PIXELFORMAT_RGB24);
}
BENCHMARK(BM_SDL_ConvertSurface_Rgb24To565);

// The same conversion as a blit into an existing surface (no allocation per call).
void BM_SDL_BlitSurface_Bgr24To565(benchmark::State &state) {
    SDL_Surface *src = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 24, SDL_PIXELFORMAT_BGR24);
    SDL_Surface *dest = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, 16, SDL_PIXELFORMAT_RGB565);
    FillRandom(static_cast<uint8_t *>(src->pixels), static_cast<size_t>(src->pitch) * kHeight);
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    for (auto _ : state) {
        SDL_BlitSurface(src, nullptr, dest, nullptr);
        benchmark::ClobberMemory();
    }
    CountPixels(state);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dest);
}
BENCHMARK(BM_SDL_BlitSurface_Bgr24To565);

// Opaque blits between images of the same layout: 16-bit 5-6-5 and 32-bit.
void OursBlit(benchmark::State &state, int bits) {
    zq::StandardImage model{}, src{}, dest{};
    if (bits == 16)
        model.format = Rgb565();
    else
        zq::CreateXRGB8Format(&model.format);
    zq::CreateImageLike(kWidth, kHeight, &model, &src);
    zq::CreateImageLike(kWidth, kHeight, &model, &dest);
    FillRandom(src.pixels, static_cast<size_t>(src.pitch) * kHeight);
    for (auto _ : state) {
        zq::BlitImage(0, 0, kWidth, kHeight, 0, 0, &src, &dest);
        benchmark::ClobberMemory();
    }
    CountPixels(state);
    zq::ReleaseImage(&src);
    zq::ReleaseImage(&dest);
}

void SdlBlit(benchmark::State &state, Uint32 format, int bits) {
    SDL_Surface *src = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, bits, format);
    SDL_Surface *dest = SDL_CreateRGBSurfaceWithFormat(0, kWidth, kHeight, bits, format);
    FillRandom(static_cast<uint8_t *>(src->pixels), static_cast<size_t>(src->pitch) * kHeight);
    SDL_SetSurfaceBlendMode(src, SDL_BLENDMODE_NONE);
    for (auto _ : state) {
        SDL_BlitSurface(src, nullptr, dest, nullptr);
        benchmark::ClobberMemory();
    }
    CountPixels(state);
    SDL_FreeSurface(src);
    SDL_FreeSurface(dest);
}

void BM_Ours_BlitImage_Opaque565(benchmark::State &state) { OursBlit(state, 16); }
BENCHMARK(BM_Ours_BlitImage_Opaque565);
void BM_SDL_BlitSurface_Opaque565(benchmark::State &state) {
    SdlBlit(state, SDL_PIXELFORMAT_RGB565, 16);
}
BENCHMARK(BM_SDL_BlitSurface_Opaque565);
void BM_Ours_BlitImage_OpaqueXrgb8(benchmark::State &state) { OursBlit(state, 32); }
BENCHMARK(BM_Ours_BlitImage_OpaqueXrgb8);
void BM_SDL_BlitSurface_OpaqueXrgb8(benchmark::State &state) {
    SdlBlit(state, SDL_PIXELFORMAT_XRGB8888, 32);
}
BENCHMARK(BM_SDL_BlitSurface_OpaqueXrgb8);

}  // namespace
