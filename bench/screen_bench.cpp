// The screen: a frame's clear and presentation (ClearDrawTarget + FlipScreen) through the real
// host on SDL's offscreen video driver, without the vertical-blank wait, for both depths.
#include <benchmark/benchmark.h>

#include <cstdlib>

#include "zqlib.h"

static void BM_ClearAndFlipOffscreen(benchmark::State &state) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ChangeWindowMode(1);
    SetScreenMode(640, 480, static_cast<int>(state.range(0)), 60);
    SetLogOutputEnabled(0);
    if (InitLibrary() != 0) {
        state.SkipWithError(GetStartupError());
        return;
    }
    SetDrawTarget(SCREEN_BACK);
    SetVSyncWait(0);
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
