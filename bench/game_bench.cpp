// The game on the offscreen host: start-up to the first title frame, and one frame of each scene
// (clear, scene work, flip; the busy wait left out), with the resident memory after start-up.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>

#include "game.h"
#include "zqlib.h"

namespace {

using gazumo::GameState;

// Runs in a scratch copy of nothing but the assets folder, with score files present so that no
// message waits for a key.
struct GameFixture {
    std::filesystem::path home = std::filesystem::current_path();
    std::filesystem::path work = std::filesystem::temp_directory_path() / "zq-game-bench";
    std::unique_ptr<GameState> state = std::make_unique<GameState>();
    double startupSeconds = 0;

    GameFixture() {
        setenv("SDL_VIDEODRIVER", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const char *source = std::getenv("ZQ_SOURCE_DIR");
        std::filesystem::path assets = std::filesystem::path(source ? source : ".") / "assets" / "GAZUMO";
        std::filesystem::remove_all(work);
        std::filesystem::create_directories(work / "save");
        std::filesystem::copy(assets, work / "GAZUMO", std::filesystem::copy_options::recursive);
        for (const char *name : {"s.dat", "s2.dat"}) {
            FILE *f = std::fopen((work / "save" / name).c_str(), "wb");
            const int zero = 0;
            std::fwrite(&zero, 4, 1, f);
            std::fclose(f);
        }
        std::filesystem::current_path(work);
        const auto begin = std::chrono::steady_clock::now();
        ChangeWindowMode(1);
        SetScreenMode(640, 480, 16, 60);
        SetLogOutputEnabled(0);
        InitLibrary();
        gazumo::StartGame(*state);
        ClearDrawTarget();
        gazumo::RunScenes(*state);
        FlipScreen();
        startupSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
        SetVSyncWait(0);
    }

    ~GameFixture() {
        EndLibrary();
        std::filesystem::current_path(home);
        std::filesystem::remove_all(work);
    }
};


// A "Name:   value kB" line of /proc/self/status, in megabytes; 0 when it cannot be read.
double StatusMegabytes(const char *name) {
    FILE *f = std::fopen("/proc/self/status", "r");
    if (f == nullptr) return 0;
    char line[256];
    long kilobytes = 0;
    const size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, f) != nullptr) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            kilobytes = std::strtol(line + length + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return kilobytes / 1024.0;
}

// Memory the library holds in tracked blocks, from the allocation totals it keeps.
double TrackedMegabytes() {
    int bytes = 0;
    GetAllocationTotals(&bytes, nullptr);
    return bytes / 1048576.0;
}

void BM_GameStartupToFirstTitleFrame(benchmark::State &state) {
    for (auto _ : state) {
        GameFixture f;
        state.counters["startup_ms"] = f.startupSeconds * 1000;
        // Resident memory, split into anonymous memory (heap, mappings, stacks) and mapped files
        // (program and shared libraries), and the part of it the library tracks.
        state.counters["resident_MB"] = StatusMegabytes("VmRSS");
        state.counters["anon_MB"] = StatusMegabytes("RssAnon");
        state.counters["files_MB"] = StatusMegabytes("RssFile");
        state.counters["tracked_MB"] = TrackedMegabytes();
    }
}
BENCHMARK(BM_GameStartupToFirstTitleFrame)->Iterations(1)->Unit(benchmark::kMillisecond);

// One frame of a scene; the state is put back after each frame so every frame is alike.
void BM_GameSceneFrame(benchmark::State &state) {
    GameFixture f;
    GameState &s = *f.state;
    const int scene = static_cast<int>(state.range(0));
    gazumo::ResetGameState(s);
    s.scene = scene;
    s.clickLatch = 1;
    s.speed = scene == gazumo::SCENE_PLAY ? 10 : 1;  // every group of targets runs
    s.mouseX = 300;
    s.mouseY = 200;
    for (auto _ : state) {
        s.hitPoints = 500;
        s.scene = scene;
        ClearDrawTarget();
        gazumo::RunScenes(s);
        FlipScreen();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GameSceneFrame)->Arg(gazumo::SCENE_TITLE)->Arg(gazumo::SCENE_PLAY)->Arg(gazumo::SCENE_RESULT)->Unit(benchmark::kMicrosecond);

}  // namespace
