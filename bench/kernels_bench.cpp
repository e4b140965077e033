// The software drawing kernels beside SDL2's blitters doing the same work on the same pixels:
// keyed sprites, opaque full-screen copies, fills, constant alpha, additive blending, per-pixel
// alpha and the skip-table path against SDL's run-length colour key. Rates in million pixels/s.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "graphics/blend_tables.h"
#include "graphics/kernels.h"
#include "graphics/memimg.h"

namespace {

constexpr int kScreenW = 640;
constexpr int kScreenH = 480;
constexpr uint32_t kKey16 = 0xF81F;
constexpr uint32_t kKey32 = 0xFFFF00FF;

void Rate(benchmark::State &state, int64_t pixels) {
    state.SetItemsProcessed(state.iterations() * pixels);
    state.counters["Mpixel/s"] = benchmark::Counter(double(pixels) / 1e6, benchmark::Counter::kIsIterationInvariantRate);
}

// A sprite: an ellipse of random opaque pixels (alpha sprites: a soft edge) inside the key color.
void PaintSprite(uint8_t *pixels, int pitch, int w, int h, int bytes, bool alpha) {
    std::mt19937 rng(7);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            double dx = (x + 0.5) / w - 0.5, dy = (y + 0.5) / h - 0.5, r = 4 * (dx * dx + dy * dy);
            uint32_t v = rng();
            if (bytes == 2) {
                v &= 0xFFFF;
                if (v == kKey16) v ^= 1;
                if (r > 1) v = kKey16;
            } else if (alpha) {
                uint32_t a = r > 1 ? 0 : (r > 0.7 ? uint32_t((1 - r) / 0.3 * 255) : 255);
                v = (v & 0xFFFFFF) | a << 24;
            } else {
                v |= 0xFF000000;
                if (v == kKey32) v ^= 1;
                if (r > 1) v = kKey32;
            }
            std::memcpy(pixels + y * pitch + x * bytes, &v, bytes);
        }
    }
}

void FillRandom(uint8_t *bytes, size_t size) {
    std::mt19937 rng(42);
    for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t(rng());
}

// ---- Ours ----------------------------------------------------------------------------------------

struct OurScene {
    zq::MEMIMG screen{}, sprite{};
    OurScene(bool is32, int w, int h, bool key, bool alpha = false, bool aux = false, bool opaque = false) {
        zq::BuildBlendTables();
        int type = is32 ? zq::MEMIMG_RGB32 : zq::MEMIMG_RGB16;
        zq::CreateMemImg(&screen, kScreenW, kScreenH, -1, 0, type, 0, 0, 0, nullptr);
        FillRandom(screen.pixels, size_t(screen.base->pitch) * kScreenH);
        zq::CreateMemImg(&sprite, w, h, -1, is32 ? kKey32 : kKey16, type, 0, alpha, aux, nullptr);
        if (opaque) {
            FillRandom(sprite.pixels, size_t(sprite.base->pitch) * h);
        } else {
            PaintSprite(sprite.pixels, sprite.base->pitch, w, h, zq::MemImgBytesPerPixel(*sprite.base), alpha);
        }
        if (aux) {
            zq::BuildSkipTable(sprite.base);
            sprite.base->skipValid = 1;
        }
        (void)key;
    }
    ~OurScene() {
        zq::ReleaseMemImg(&sprite);
        zq::ReleaseMemImg(&screen);
    }
};

zq::SoftDrawSettings Settings(int mode, int param) {
    return zq::SoftDrawSettings{mode, param, 255, 255, 255, {0, 0, kScreenW, kScreenH}};
}

void OursPut(benchmark::State &state, bool is32, int w, int h, int mode, int param, bool trans, bool alpha = false,
             bool skipTable = false) {
    OurScene scene(is32, w, h, trans, alpha, skipTable, w == kScreenW);
    zq::SoftDrawSettings s = Settings(mode, param);
    int x = (kScreenW - w) / 2, y = (kScreenH - h) / 2;
    for (auto _ : state) {
        zq::PutMemImg(s, &scene.screen, &scene.sprite, x, y, trans, nullptr);
        benchmark::ClobberMemory();
    }
    Rate(state, int64_t{w} * h);
}

void BM_Kernels_Ours_Keyed100x133_16(benchmark::State &s) { OursPut(s, false, 100, 133, 0, 0, true); }
void BM_Kernels_Ours_Keyed32x41_16(benchmark::State &s) { OursPut(s, false, 32, 41, 0, 0, true); }
void BM_Kernels_Ours_Opaque640x480_16(benchmark::State &s) { OursPut(s, false, kScreenW, kScreenH, 0, 0, false); }
void BM_Kernels_Ours_Alpha128_16(benchmark::State &s) { OursPut(s, false, 100, 133, 1, 128, false); }
void BM_Kernels_Ours_Alpha128_32(benchmark::State &s) { OursPut(s, true, 100, 133, 1, 128, false); }
void BM_Kernels_Ours_Alpha77_16(benchmark::State &s) { OursPut(s, false, 100, 133, 1, 77, false); }
void BM_Kernels_Ours_Alpha77_32(benchmark::State &s) { OursPut(s, true, 100, 133, 1, 77, false); }
void BM_Kernels_Ours_Add255_16(benchmark::State &s) { OursPut(s, false, 100, 133, 2, 255, false); }
void BM_Kernels_Ours_PixelAlpha_32(benchmark::State &s) { OursPut(s, true, 100, 133, 0, 0, true, true); }
void BM_Kernels_Ours_SkipTable64x64_16(benchmark::State &s) { OursPut(s, false, 64, 64, 0, 0, true, false, true); }
void BM_Kernels_Ours_SkipTable100x133_16(benchmark::State &s) { OursPut(s, false, 100, 133, 0, 0, true, false, true); }
void BM_Kernels_Ours_SkipTablePixelAlpha_32(benchmark::State &s) { OursPut(s, true, 100, 133, 0, 0, true, true, true); }

void BM_Kernels_Ours_Fill640x480_16(benchmark::State &state) {
    OurScene scene(false, 1, 1, false);
    zq::SoftDrawSettings s = Settings(0, 0);
    for (auto _ : state) {
        zq::FillMemImgRect(s, &scene.screen, nullptr, 0x1234);
        benchmark::ClobberMemory();
    }
    Rate(state, int64_t{kScreenW} * kScreenH);
}

void BM_Kernels_Memcpy640x480_16(benchmark::State &state) {
    OurScene a(false, kScreenW, kScreenH, false, false, false, true);
    size_t size = size_t(a.screen.base->pitch) * kScreenH;
    for (auto _ : state) {
        std::memcpy(a.screen.pixels, a.sprite.pixels, size);
        benchmark::ClobberMemory();
    }
    Rate(state, int64_t{kScreenW} * kScreenH);
}

// ---- SDL2 ----------------------------------------------------------------------------------------

struct SdlScene {
    SDL_Surface *screen, *sprite;
    SdlScene(uint32_t screenFormat, uint32_t spriteFormat, int w, int h, bool alpha, bool opaque = false) {
        screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 0, screenFormat);
        sprite = SDL_CreateRGBSurfaceWithFormat(0, w, h, 0, spriteFormat);
        FillRandom(static_cast<uint8_t *>(screen->pixels), size_t(screen->pitch) * kScreenH);
        int bytes = sprite->format->BytesPerPixel;
        if (opaque) FillRandom(static_cast<uint8_t *>(sprite->pixels), size_t(sprite->pitch) * h);
        else PaintSprite(static_cast<uint8_t *>(sprite->pixels), sprite->pitch, w, h, bytes, alpha);
    }
    ~SdlScene() {
        SDL_FreeSurface(sprite);
        SDL_FreeSurface(screen);
    }
    void Run(benchmark::State &state) {
        SDL_Rect dest{(kScreenW - sprite->w) / 2, (kScreenH - sprite->h) / 2, 0, 0};
        for (auto _ : state) {
            SDL_Rect d = dest;
            SDL_BlitSurface(sprite, nullptr, screen, &d);
            benchmark::ClobberMemory();
        }
        Rate(state, int64_t{sprite->w} * sprite->h);
    }
};

void SdlKeyed(benchmark::State &state, int w, int h, bool rle) {
    SdlScene scene(SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB565, w, h, false);
    SDL_SetColorKey(scene.sprite, SDL_TRUE, kKey16);
    SDL_SetSurfaceRLE(scene.sprite, rle ? 1 : 0);
    scene.Run(state);
}

void SdlBlend(benchmark::State &state, uint32_t format, int alphaMod, SDL_BlendMode mode) {
    SdlScene scene(format, format, 100, 133, false, true);
    SDL_SetSurfaceBlendMode(scene.sprite, mode);
    SDL_SetSurfaceAlphaMod(scene.sprite, uint8_t(alphaMod));
    scene.Run(state);
}

void BM_Kernels_Sdl_Keyed100x133_16(benchmark::State &s) { SdlKeyed(s, 100, 133, false); }
void BM_Kernels_Sdl_Keyed32x41_16(benchmark::State &s) { SdlKeyed(s, 32, 41, false); }
void BM_Kernels_Sdl_KeyedRle64x64_16(benchmark::State &s) { SdlKeyed(s, 64, 64, true); }
void BM_Kernels_Sdl_KeyedRle100x133_16(benchmark::State &s) { SdlKeyed(s, 100, 133, true); }
void BM_Kernels_Sdl_Opaque640x480_16(benchmark::State &state) {
    SdlScene scene(SDL_PIXELFORMAT_RGB565, SDL_PIXELFORMAT_RGB565, kScreenW, kScreenH, false, true);
    SDL_SetSurfaceBlendMode(scene.sprite, SDL_BLENDMODE_NONE);
    scene.Run(state);
}
void BM_Kernels_Sdl_Alpha128_16(benchmark::State &s) { SdlBlend(s, SDL_PIXELFORMAT_RGB565, 128, SDL_BLENDMODE_BLEND); }
void BM_Kernels_Sdl_Alpha128_32(benchmark::State &s) { SdlBlend(s, SDL_PIXELFORMAT_XRGB8888, 128, SDL_BLENDMODE_BLEND); }
void BM_Kernels_Sdl_Alpha77_16(benchmark::State &s) { SdlBlend(s, SDL_PIXELFORMAT_RGB565, 77, SDL_BLENDMODE_BLEND); }
void BM_Kernels_Sdl_Alpha77_32(benchmark::State &s) { SdlBlend(s, SDL_PIXELFORMAT_XRGB8888, 77, SDL_BLENDMODE_BLEND); }
void BM_Kernels_Sdl_Add255_16(benchmark::State &s) { SdlBlend(s, SDL_PIXELFORMAT_RGB565, 255, SDL_BLENDMODE_ADD); }
void BM_Kernels_Sdl_PixelAlpha_32(benchmark::State &state) {
    SdlScene scene(SDL_PIXELFORMAT_XRGB8888, SDL_PIXELFORMAT_ARGB8888, 100, 133, true);
    SDL_SetSurfaceBlendMode(scene.sprite, SDL_BLENDMODE_BLEND);
    scene.Run(state);
}
void BM_Kernels_Sdl_Fill640x480_16(benchmark::State &state) {
    SDL_Surface *screen = SDL_CreateRGBSurfaceWithFormat(0, kScreenW, kScreenH, 0, SDL_PIXELFORMAT_RGB565);
    for (auto _ : state) {
        SDL_FillRect(screen, nullptr, 0x1234);
        benchmark::ClobberMemory();
    }
    Rate(state, int64_t{kScreenW} * kScreenH);
    SDL_FreeSurface(screen);
}

}  // namespace

BENCHMARK(BM_Kernels_Ours_Keyed100x133_16);
BENCHMARK(BM_Kernels_Sdl_Keyed100x133_16);
BENCHMARK(BM_Kernels_Ours_Keyed32x41_16);
BENCHMARK(BM_Kernels_Sdl_Keyed32x41_16);
BENCHMARK(BM_Kernels_Ours_Opaque640x480_16);
BENCHMARK(BM_Kernels_Sdl_Opaque640x480_16);
BENCHMARK(BM_Kernels_Memcpy640x480_16);
BENCHMARK(BM_Kernels_Ours_Fill640x480_16);
BENCHMARK(BM_Kernels_Sdl_Fill640x480_16);
BENCHMARK(BM_Kernels_Ours_Alpha128_16);
BENCHMARK(BM_Kernels_Sdl_Alpha128_16);
BENCHMARK(BM_Kernels_Ours_Alpha128_32);
BENCHMARK(BM_Kernels_Sdl_Alpha128_32);
BENCHMARK(BM_Kernels_Ours_Alpha77_16);
BENCHMARK(BM_Kernels_Sdl_Alpha77_16);
BENCHMARK(BM_Kernels_Ours_Alpha77_32);
BENCHMARK(BM_Kernels_Sdl_Alpha77_32);
BENCHMARK(BM_Kernels_Ours_Add255_16);
BENCHMARK(BM_Kernels_Sdl_Add255_16);
BENCHMARK(BM_Kernels_Ours_PixelAlpha_32);
BENCHMARK(BM_Kernels_Sdl_PixelAlpha_32);
BENCHMARK(BM_Kernels_Ours_SkipTablePixelAlpha_32);
BENCHMARK(BM_Kernels_Ours_SkipTable64x64_16);
BENCHMARK(BM_Kernels_Sdl_KeyedRle64x64_16);
BENCHMARK(BM_Kernels_Ours_SkipTable100x133_16);
BENCHMARK(BM_Kernels_Sdl_KeyedRle100x133_16);
