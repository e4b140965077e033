// The screen: a frame's clear and presentation (ClearDrawTarget + FlipScreen) through the real
// host on SDL's offscreen video driver, without the vertical-blank wait, for both depths.
#include <benchmark/benchmark.h>

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
