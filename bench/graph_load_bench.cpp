// The game's picture loading through the library on the offscreen host, as its start-up does it:
// the three 640-pixel pictures, then thirteen small pictures for each of 256 target slots, slot
// by slot, each LoadGraphFile its own file read, decode and graph (3,328 loads), the creature's
// sheet in three cells and its two overlays: 3,334 loads, 3,336 handles. Each load also looks
// for the "_a" companion file beside the picture. Runs in a scratch copy of the pictures whose
// folder is dated an hour back, as an installed game's is; the graphs are released between
// iterations, untimed.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "offscreen_library.h"
#include "zqlib.h"

namespace {

constexpr int kSlots = 256;
const char *const kSlotPictures[] = {
    "GAZUMO\\hito.bmp", "GAZUMO\\hito2.bmp", "GAZUMO\\he.bmp",     "GAZUMO\\he-2.bmp",   "GAZUMO\\he2.bmp",
    "GAZUMO\\he2-2.bmp", "GAZUMO\\he3.bmp",  "GAZUMO\\he3-2.bmp", "GAZUMO\\he.bmp",     "GAZUMO\\he-2.bmp",
    "GAZUMO\\quluma.bmp", "GAZUMO\\hikoki.bmp", "GAZUMO\\ikenie.png",
};

// Loads what the game loads; false when any load failed.
bool LoadGamePictures(std::vector<int> *handles) {
    for (const char *path : {"GAZUMO\\GO.bmp", "GAZUMO\\mahi.bmp", "GAZUMO\\mahi2.bmp"}) {
        handles->push_back(LoadGraphFile(path, 0));
    }
    for (int slot = 0; slot < kSlots; ++slot) {
        for (const char *path : kSlotPictures) handles->push_back(LoadGraphFile(path, 0));
    }
    int cells[3];
    if (LoadDividedGraphFile("GAZUMO\\gazumo.bmp", 3, 3, 1, 100, 133, cells, 0) != 0) return false;
    handles->insert(handles->end(), cells, cells + 3);
    handles->push_back(LoadGraphFile("GAZUMO\\gazumo2.bmp", 0));
    handles->push_back(LoadGraphFile("GAZUMO\\gazumo3.bmp", 0));
    for (int handle : *handles) {
        if (handle == -1) return false;
    }
    return true;
}

void BM_GraphLoadGameStartupPictures(benchmark::State &state) {
    namespace fs = std::filesystem;
    const fs::path home = fs::current_path();
    const char *source = std::getenv("ZQ_SOURCE_DIR");
    const fs::path work = fs::temp_directory_path() / "zq-graph-load-bench";
    fs::remove_all(work);
    fs::create_directories(work / "GAZUMO");
    for (const fs::directory_entry &entry : fs::directory_iterator(fs::path(source ? source : ".") / "assets" / "GAZUMO")) {
        const fs::path ext = entry.path().extension();
        if (ext == ".bmp" || ext == ".png") fs::copy(entry.path(), work / "GAZUMO" / entry.path().filename());
    }
    // As installed, the folder was last changed long before the game starts.
    fs::last_write_time(work / "GAZUMO", fs::file_time_type::clock::now() - std::chrono::hours(1));
    fs::current_path(work);
    if (StartOffscreenLibrary(state, 16)) {
        SetTransparentColor(0, 255, 0);
        std::vector<int> handles;
        handles.reserve(3400);
        for (auto _ : state) {
            const bool ok = LoadGamePictures(&handles);
            state.PauseTiming();
            for (int handle : handles) ReleaseGraph(handle);
            const size_t made = handles.size();
            handles.clear();
            state.ResumeTiming();
            if (!ok) {
                state.SkipWithError("a picture did not load");
                break;
            }
            state.counters["handles"] = static_cast<double>(made);
        }
        EndLibrary();
    }
    fs::current_path(home);
    fs::remove_all(work);
}
BENCHMARK(BM_GraphLoadGameStartupPictures)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace
