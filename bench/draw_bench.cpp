// Graph drawing: one frame of the game's shape (clear, three 640-wide opaque pictures, 30 keyed
// sprites of 32 x 41 and three keyed 100 x 133 cells of one sheet), with and without presenting
// it through the real host on SDL's offscreen video driver, for both screen depths, from pictures
// made here and from the game's own files. Items are frames, so items per second are frames per
// second.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

#include "graphics/graph.h"
#include "graphics/standard_image.h"
#include "offscreen_library.h"
#include "zqlib.h"

namespace {

// A picture of colors; keyed ones are pure green outside an ellipse, as the game's sprites are.
int MakePicture(int width, int height, bool keyed) {
    zq::StandardImage image{};
    if (zq::CreateImageXRGB8(width, height, &image) != 0) return -1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double dx = (x - width / 2.0) / (width / 2.0), dy = (y - height / 2.0) / (height / 2.0);
            const bool outside = keyed && dx * dx + dy * dy > 1.0;
            zq::SetImagePixel(&image, x, y, outside ? 0 : (x * 7) & 0xFF, outside ? 255 : (y * 3) & 0xFF,
                              outside ? 0 : (x + y) & 0xFF, 255);
        }
    }
    const int handle = zq::MakeGraphFromImage(&image, nullptr);
    zq::ReleaseImage(&image);
    return handle;
}

// The game's pictures: the background, two bands, a sprite and the sheet cut into three cells.
struct FramePictures {
    int background, band, sprite;
    int cells[3];
};

// Pictures of colors shaped like the game's.
bool MakeFramePictures(FramePictures *p) {
    p->background = MakePicture(640, 480, false);
    p->band = MakePicture(640, 150, false);
    p->sprite = MakePicture(32, 41, true);
    const int sheet = MakePicture(300, 133, true);
    for (int i = 0; i < 3; ++i) p->cells[i] = zq::CutGraph(i * 100, 0, 100, 133, sheet);
    ReleaseGraph(sheet);
    return p->cells[2] != -1;
}

// The game's own files, found beside this source.
bool LoadFramePictures(FramePictures *p) {
    std::string dir = __FILE__;
    dir = dir.substr(0, dir.find_last_of('/')) + "/../assets/GAZUMO/";
    p->background = LoadGraphFile((dir + "GO.bmp").c_str(), 0);
    p->band = LoadGraphFile((dir + "mahi.bmp").c_str(), 0);
    p->sprite = LoadGraphFile((dir + "hito.bmp").c_str(), 0);
    return LoadDividedGraphFile((dir + "gazumo.bmp").c_str(), 3, 3, 1, 100, 133, p->cells, 0) == 0 &&
           p->background != -1 && p->band != -1 && p->sprite != -1;
}

// range(0): screen depth; range(1): 1 presents each frame; range(2): 1 draws the game's files.
void BM_GameFrame(benchmark::State &state) {
    const bool flip = state.range(1) != 0;
    if (!StartOffscreenLibrary(state, static_cast<int>(state.range(0)))) return;
    SetTransparentColor(0, 255, 0);
    FramePictures p;
    if (!(state.range(2) ? LoadFramePictures(&p) : MakeFramePictures(&p))) {
        state.SkipWithError("the pictures could not be made");
        EndLibrary();
        return;
    }

    int frame = 0;
    for (auto _ : state) {
        ClearDrawTarget();
        DrawGraphAt(0, 0, p.background, 0);
        DrawGraphAt(0, 0, p.band, 0);
        DrawGraphAt(0, 330, p.band, 0);
        for (int i = 0; i < 30; ++i) DrawGraphAt((i * 53 + frame) % 620, 150 + (i * 37) % 280, p.sprite, 1);
        for (int i = 0; i < 3; ++i) DrawGraphAt(100 + i * 150, 200, p.cells[(i + frame) % 3], 1);
        if (flip) FlipScreen();
        ++frame;
    }
    state.SetItemsProcessed(state.iterations());
    state.SetLabel(flip ? "frames, presented" : "frames, drawn only");
    SetVSyncWait(1);
    EndLibrary();
}

}  // namespace

BENCHMARK(BM_GameFrame)
    ->ArgsProduct({{16, 32}, {1, 0}, {0, 1}})
    ->ArgNames({"bits", "flip", "files"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();
