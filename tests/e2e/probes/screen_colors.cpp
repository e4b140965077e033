// A small program for the end-to-end tests: fills the four quarters of the screen with red, green,
// blue and white through the drawing kernel, then shows them either by FlipScreen on the back
// buffer or by the front buffer's own timer, prints "ready" and runs until the window closes.
// Arguments: the screen depth (16 or 32) and "flip", "front", "keyed" or "emulated"; "keyed" also
// draws the game's person sprite with its green key at (304, 220), over the corner of all four
// quarters, before flipping; "emulated" turns the 320 x 240 emulation on and fills the quarters of
// the top-left 320 x 240 instead, which the flip doubles over the whole window.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "graphics/draw_state.h"
#include "graphics/kernels.h"
#include "zqlib.h"

int main(int argc, char **argv) {
    const int bits = argc > 1 ? std::atoi(argv[1]) : 16;
    const bool flip = argc <= 2 || std::strcmp(argv[2], "front") != 0;
    const bool keyed = argc > 2 && std::strcmp(argv[2], "keyed") == 0;
    const bool emulated = argc > 2 && std::strcmp(argv[2], "emulated") == 0;
    ChangeWindowMode(1);
    SetScreenMode(640, 480, bits, 60);
    SetWindowTitle("screen colors");
    SetLogOutputEnabled(0);
    if (InitLibrary() == -1) {
        std::fprintf(stderr, "screen_colors: %s\n", GetStartupError());
        return -1;
    }
    if (flip) SetDrawTarget(SCREEN_BACK);
    if (emulated) SetEmulate320x240(1);
    const int quarter = emulated ? 160 : 320, quarterHeight = emulated ? 120 : 240;
    SetTransparentColor(0, 255, 0);
    const int sprite = keyed ? LoadGraphFile("GAZUMO\\hito.bmp", 0) : -1;
    if (keyed && sprite == -1) {
        std::fprintf(stderr, "screen_colors: the sprite did not load\n");
        EndLibrary();
        return -1;
    }
    const uint32_t colors[4] = {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255), MakeColor(255, 255, 255)};
    for (int i = 0; i < 4; ++i) {
        const zq::MemImgRect rect = {(i % 2) * quarter, (i / 2) * quarterHeight, (i % 2 + 1) * quarter,
                                     (i / 2 + 1) * quarterHeight};
        zq::FillMemImgRect(zq::CurrentSoftDrawSettings(), zq::DrawTargetImage(), &rect, colors[i]);
    }
    if (keyed) DrawGraphAt(304, 220, sprite, 1);
    if (flip) FlipScreen();
    std::printf("ready\n");
    std::fflush(stdout);
    while (ProcessMessages() == 0) {
        if (flip) FlipScreen();
    }
    EndLibrary();
    return 0;
}
