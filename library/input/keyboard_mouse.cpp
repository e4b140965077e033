// Mouse and keyboard: the key state in key codes (read from the host at most once a millisecond),
// mouse buttons and position relative to the client area, the cursor's visibility and the check
// for any input. There is one input path; joypads answer that nothing is pressed.
#include "input/keyboard_mouse.h"

#include <cstring>

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/window.h"
#include "platform/host.h"
#include "zqlib.h"

namespace zq {
namespace {

// Toggle keys that do not count as input for CheckAnyInput.
constexpr int kCapsLockCode = 0x3A;
constexpr int kKanaCode = 0x70;
constexpr int kKanjiCode = 0x94;
constexpr int kF10Code = 0x44;
constexpr int kPadCount = 0;

struct InputState {
    int initialised = 0;
    uint32_t lastRefresh = 0;
    uint8_t keys[kKeyCodeCount] = {};
    int f10Flag = 0;
    int cursorRequested = 1;
    int cursorApplied = 1;
};

InputState &State() {
    static InputState state;
    return state;
}

// Shared start of IsKeyDown and CheckAnyInput: the inactive wait, then the lazy start. Returns
// false with *result set when the call must answer without reading.
bool PrepareRead(int *result) {
    WaitWhileInactive();
    if (State().initialised) return true;
    *result = (IsWindowCloseRequested() || CloseState() != 0) ? 0 : InitInput();
    return false;
}

}  // namespace

int InitInput() {
    InputState &s = State();
    if (s.initialised) return 0;
    const int requested = s.cursorRequested, applied = s.cursorApplied;
    s = InputState{};
    s.cursorRequested = requested;
    s.cursorApplied = applied;
    LogLine("パッドの数は %d 個です", kPadCount);
    s.lastRefresh = ActiveHost().Milliseconds() - 1;
    s.initialised = 1;
    LogText("入力関連の初期化をしました\n");
    return 0;
}

int EndInput() {
    InputState &s = State();
    if (!s.initialised) return 0;
    LogText("入力関連の終了処理... 完了\n");
    s.initialised = 0;
    return 0;
}

int ReacquireInputDevices() {
    // Keys held while the window was inactive were never seen as released: read afresh.
    State().lastRefresh = ActiveHost().Milliseconds() - 1;
    return 0;
}

int RefreshKeyboardState() {
    InputState &s = State();
    Host &host = ActiveHost();
    const uint32_t now = host.Milliseconds();
    if (now == s.lastRefresh) return 0;
    s.lastRefresh = now;
    if (ProcessMessagesBody() != 0) return 0;
    host.ReadKeyboard(s.keys);
    return 1;
}

void ApplyCursorForNewWindow(bool fullScreen) {
    InputState &s = State();
    if (fullScreen) s.cursorRequested = 0;
    s.cursorApplied = -1;  // nothing applied to the new window yet
    SetMouseCursorVisible(-1);
}

void RestoreCursorForClosing() {
    InputState &s = State();
    if (s.cursorApplied == 0) ActiveHost().ShowCursor(true);
    s.cursorApplied = 1;
}

}  // namespace zq

using namespace zq;

extern "C" int IsKeyDown(int keyCode) {
    int result;
    if (!PrepareRead(&result)) return result;
    RefreshKeyboardState();
    if (keyCode < 0 || keyCode >= kKeyCodeCount) return 0;
    return (State().keys[keyCode] & 0x80) ? 1 : 0;
}

extern "C" int GetMouseButtons(void) {
    return ActiveHost().MouseButtons();
}

extern "C" int GetMousePosition(int *x, int *y) {
    int px, py;
    ActiveHost().GlobalMousePosition(&px, &py);
    if (WindowModeSetting() != 0) {
        int left, top, width, height;
        ClientArea(&left, &top, &width, &height);
        const double scale = WindowScale();
        px = static_cast<int>((px - left) / scale);
        py = static_cast<int>((py - top) / scale);
    }
    if (x != nullptr) *x = px;
    if (y != nullptr) *y = py;
    return 0;
}

extern "C" int SetMouseCursorVisible(int flag) {
    InputState &s = State();
    if (flag != -1) s.cursorRequested = flag;
    const int visible = s.cursorRequested == 1 ? 1 : 0;
    if (flag != -1 && visible == s.cursorApplied) return 0;
    if (MainWindowExists()) ActiveHost().ShowCursor(visible != 0);
    s.cursorApplied = visible;
    return 0;
}

extern "C" int CheckAnyInput(int what) {
    int result;
    if (!PrepareRead(&result)) return result;
    InputState &s = State();
    if (what & 1) {
        RefreshKeyboardState();
        for (int code = 0; code < kKeyCodeCount; ++code) {
            if (code == kCapsLockCode || code == kKanaCode || code == kKanjiCode) continue;
            if (s.keys[code] & 0x80) return code;
        }
        if (s.f10Flag) return kF10Code;
    }
    if (what & 4) {
        int x, y, left, top, width, height;
        GetMousePosition(&x, &y);
        ClientArea(&left, &top, &width, &height);
        if (x >= 0 && y >= 0 && IsWindowActive() && x <= width && y <= height && GetMouseButtons() != 0) return -1;
    }
    return 0;
}
