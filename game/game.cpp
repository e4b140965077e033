// The game driver: the library's settings, its start, the assets, and the frame loop (clear, scene
// work, flip, messages, Escape, and a busy wait to 17 ms per frame).
#include "game.h"

#include <cstdio>

#include "zqlib.h"

namespace gazumo {
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

// The game state lives for the whole run; it is too big for the stack.
GameState gameState;

}  // namespace

void RunScenes(GameState &state) {
    if (state.scene == SCENE_TITLE) TitleWork(state);
    if (state.scene == SCENE_PLAY) PlayWork(state);
    if (state.scene == SCENE_RESULT) ResultWork(state);
}

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
    GameState &state = gameState;
    StartGame(state);

    for (;;) {
        state.frameStart = GetMillisecondCount();
        ClearDrawTarget();
        GetMousePosition(&state.mouseX, &state.mouseY);
        RunScenes(state);
        FlipScreen();
        if (ProcessMessages() < 0 || IsKeyDown(KEY_ESCAPE)) {
            EndLibrary();
            return 0;
        }
        WaitForFrameEnd(state.frameStart);
    }
}

}  // namespace gazumo
