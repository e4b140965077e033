// The game driver: configures the library, starts it and runs the frame loop until
// the player presses Escape or closes the window.
#include <cstdio>

#include "game.h"
#include "zqlib.h"

namespace {

constexpr int kFrameMilliseconds = 17;

// Spins until a frame's 17 ms have passed. A negative difference means the 31-bit clock wrapped
// during the frame; the frame is then over, so the wait can never hang.
void WaitForFrameEnd(int frameStart) {
    for (;;) {
        const int elapsed = GetMillisecondCount() - frameStart;
        if (elapsed >= kFrameMilliseconds || elapsed < 0) return;
    }
}

}  // namespace

int RunGame() {
    char title[64];
    Utf8ToShiftJis("ガズモ", title, sizeof title);

    ChangeWindowMode(1);
    SetScreenMode(640, 480, 16, 60);
    SetWindowTitle(title);
    SetLogOutputEnabled(0);
    if (InitLibrary() == -1) {
        std::fprintf(stderr, "gazumo: %s\n", GetStartupError());
        return -1;
    }
    SetDrawTarget(SCREEN_BACK);
    SetMouseCursorVisible(0);

    for (;;) {
        const int frameStart = GetMillisecondCount();
        ClearDrawTarget();
        FlipScreen();
        if (ProcessMessages() < 0 || IsKeyDown(KEY_ESCAPE)) {
            EndLibrary();
            return 0;
        }
        WaitForFrameEnd(frameStart);
    }
}
