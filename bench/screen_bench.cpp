// The screen: a frame's clear and presentation (ClearDrawTarget + FlipScreen) through the real
// host on SDL's offscreen video driver, without the vertical-blank wait, for both depths; and, for
// comparison in the same run, the same clear with the screen image presented through an SDL
// software renderer and a streaming texture into a second window (a copy into the texture, then
// one into the window).
#include <benchmark/benchmark.h>

#include <SDL.h>

#include "graphics/memimg.h"
#include "graphics/screen.h"
#include "offscreen_library.h"

static void BM_ClearAndFlipOffscreen(benchmark::State &state) {
    if (!StartOffscreenLibrary(state, static_cast<int>(state.range(0)))) return;
    for (auto _ : state) {
        ClearDrawTarget();
        FlipScreen();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel("frames");
    SetVSyncWait(1);
    EndLibrary();
}
BENCHMARK(BM_ClearAndFlipOffscreen)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();

static void BM_ClearAndPresentThroughSdlRenderer(benchmark::State &state) {
    const int bits = static_cast<int>(state.range(0));
    if (!StartOffscreenLibrary(state, bits)) return;
    const zq::MEMIMG &screen = *zq::ScreenImage();
    SDL_Window *window = SDL_CreateWindow("reference", 0, 0, screen.width, screen.height, 0);
    SDL_Renderer *renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE) : nullptr;
    SDL_Texture *texture =
        renderer ? SDL_CreateTexture(renderer, bits == 16 ? SDL_PIXELFORMAT_RGB565 : SDL_PIXELFORMAT_RGB888,
                                     SDL_TEXTUREACCESS_STREAMING, screen.width, screen.height)
                 : nullptr;
    if (texture == nullptr) {
        state.SkipWithError(SDL_GetError());
    } else {
        for (auto _ : state) {
            ClearDrawTarget();
            SDL_UpdateTexture(texture, nullptr, screen.pixels, screen.base->pitch);
            SDL_RenderCopy(renderer, texture, nullptr, nullptr);
            SDL_RenderPresent(renderer);
        }
        state.SetItemsProcessed(state.iterations());
        state.SetLabel("frames, reference");
    }
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SetVSyncWait(1);
    EndLibrary();
}
BENCHMARK(BM_ClearAndPresentThroughSdlRenderer)->Arg(16)->Arg(32)->Unit(benchmark::kMicrosecond)->UseRealTime();
