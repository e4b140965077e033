// Starts the library for a benchmark on SDL's offscreen video driver and its dummy audio driver:
// a 640 x 480 window of the given depth, drawing on the back buffer, no vertical-blank wait.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdlib>

#include "zqlib.h"

inline bool StartOffscreenLibrary(benchmark::State &state, int bits) {
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    ChangeWindowMode(1);
    SetScreenMode(640, 480, bits, 60);
    SetLogOutputEnabled(0);
    if (InitLibrary() != 0) {
        state.SkipWithError(GetStartupError());
        return false;
    }
    SetDrawTarget(SCREEN_BACK);
    SetVSyncWait(0);
    return true;
}
