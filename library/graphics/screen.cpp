// The screen: graphics start-up with the renderer choice, the screen image in the screen's layout
// and the two work images of string drawing, screen mode changes with their fallbacks, presentation
// through the host (1:1, stretched, or the top-left quarter doubled under 320 x 240 emulation)
// after the vertical blank, the 32 ms timer that keeps the front buffer on screen, and the device
// restore. The screen image is handed to the host as it is: no conversion pass here.
#include "graphics/screen.h"

#include <cstring>

#include "core/handles.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/window.h"
#include "graphics/blend_tables.h"
#include "graphics/draw_state.h"
#include "graphics/graph.h"
#include "graphics/pixel_format.h"
#include "input/keyboard_mouse.h"
#include "platform/host.h"
#include "text/font.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;
constexpr int kDefaultBits = 16;
constexpr int kPresentationPeriodMs = 32;
constexpr int kMaxDisplayModes = 256;

enum class Renderer { Software, Hardware };

struct ScreenState {
    int up = 0;
    Renderer renderer = Renderer::Software;
    int vsyncWait = 1;
    int emulate320x240 = 0;
    int (*restoreHook)(void) = ReloadAllGraphs;
    int softwareOnly = 0;
    MEMIMG screen = {};
    MEMIMG workPlain = {};
    MEMIMG workAlpha = {};
    DisplayMode modes[kMaxDisplayModes] = {};
    int modeCount = -1;  // the list is read on first use
    int presentationTimer = 0;
    uint32_t presentationDue = 0;
    int lastVerticalBlank = 0;
    OnScreenLogDrawer logDrawer = nullptr;
};

ScreenState &State() {
    static ScreenState state;
    return state;
}

// The screen mode in force, with 0 read as the defaults.
ScreenModeSetting ModeInForce() {
    ScreenModeSetting mode = RequestedScreenMode();
    if (mode.width == 0) mode.width = kDefaultWidth;
    if (mode.height == 0) mode.height = kDefaultHeight;
    if (mode.bits == 0) mode.bits = kDefaultBits;
    return mode;
}

void ReadDisplayModes() {
    ScreenState &s = State();
    if (s.modeCount >= 0) return;
    s.modeCount = 0;
    DisplayModeInfo info;
    for (int i = 0; s.modeCount < kMaxDisplayModes && ActiveHost().DisplayModeAt(i, &info); ++i) {
        if (info.bitsPerPixel > 15) s.modes[s.modeCount++] = {info.width, info.height, info.bitsPerPixel, info.refreshRate};
    }
}

bool DisplayHasSize(int width, int height) {
    ReadDisplayModes();
    const ScreenState &s = State();
    for (int i = 0; i < s.modeCount; ++i) {
        if (s.modes[i].width == width && s.modes[i].height == height) return true;
    }
    return false;
}

// The renderer choice: the hardware renderer when it is allowed and available, else software.
Renderer ChooseRenderer() {
    if (State().softwareOnly) {
        LogText("ソフトウエアレンダリングが指定されています\n");
        return Renderer::Software;
    }
    // No hardware renderer is built into this library: every picture is drawn in software.
    LogText("ハードウエアレンダラーは使用できません、ソフトウエアレンダラーを使用します\n");
    return Renderer::Software;
}

// What the host must provide before graphics can start: a display to present on, and the full
// screen mode when not running in a window.
int SetupDisplayDevices() {
    ScreenState &s = State();
    DesktopInfo desktop;
    if (!ActiveHost().ReadDesktop(&desktop)) {
        LogLine("画面の情報を取得できませんでした: %s", ActiveHost().LastError());
        return -1;
    }
    s.renderer = ChooseRenderer();
    ScreenModeSetting mode = ModeInForce();
    if (WindowModeSetting() != 0) {
        // A change to a window larger than the desktop is refused: it could not be seen whole.
        if (IsLibraryInitialised() && (mode.width > desktop.width || mode.height > desktop.height)) {
            LogLine("画面モードの変更に失敗しました (%d x %d はデスクトップより大きい)", mode.width, mode.height);
            return -1;
        }
        return 0;
    }
    LogText("画面モードの変更処理を開始します ");
    LogLine("%u x %u  %u bit ", mode.width, mode.height, mode.bits);
    if (mode.bits != 16 && mode.bits != 32) return -1;
    LogText("画面解像度を変更します... ");
    if (!DisplayHasSize(mode.width, mode.height)) {
        if (mode.width == 320 && mode.height == 240 && DisplayHasSize(kDefaultWidth, kDefaultHeight)) {
            mode.width = kDefaultWidth;
            mode.height = kDefaultHeight;
            StoreScreenMode(mode);
            s.emulate320x240 = 1;
        } else {
            LogText("画面モードの変更に失敗しました\n");
            return -1;
        }
    }
    ActiveHost().SetClientSize(mode.width, mode.height);
    ActiveHost().SetFullScreen(true);
    LogText("成功しました\n");
    return 0;
}

void ReleaseScreenImages() {
    ScreenState &s = State();
    ReleaseMemImg(&s.workAlpha);
    ReleaseMemImg(&s.workPlain);
    ReleaseMemImg(&s.screen);
    SetScreenPixelFormat(nullptr);
}

// The screen image in the screen's depth, filled with the background colour, and the two work images.
int CreateScreenImages() {
    ScreenState &s = State();
    const ScreenModeSetting mode = ModeInForce();
    const int colorType = mode.bits == 16 ? MEMIMG_RGB16 : MEMIMG_RGB32;
    if (CreateMemImg(&s.screen, mode.width, mode.height, -1, 0, colorType, 0, 0, 0, nullptr) != 0) {
        return LogText("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    SetScreenPixelFormat(s.screen.base->format);
    int red, green, blue;
    BackgroundColor(&red, &green, &blue);
    FillMemImg(&s.screen, nullptr, PackColor(s.screen.base->format, red, green, blue, 0));
    if (CreateMemImg(&s.workPlain, mode.width, mode.height, -1, 0, colorType, 0, 0, 0, nullptr) != 0 ||
        CreateMemImg(&s.workAlpha, mode.width, mode.height, -1, 0, colorType, 0, 1, 0, nullptr) != 0) {
        ReleaseScreenImages();
        return LogText("プライマリサーフェス用の MEMIMG の作成に失敗しました\n");
    }
    return 0;
}

bool SameMode(const ScreenModeSetting &a, const ScreenModeSetting &b) {
    return a.width == b.width && a.height == b.height && a.bits == b.bits && a.refresh == b.refresh;
}

// One attempt at a mode: graphics down, the mode stored, graphics up again.
bool TryMode(const ScreenModeSetting &mode) {
    if (State().up) EndGraphics();
    StoreScreenMode(mode);
    return InitGraphics() == 0;
}

void WaitVerticalBlank() {
    Host &host = ActiveHost();
    host.Sleep(0);
    if (!host.InVerticalBlank()) host.WaitVerticalBlank();
    State().lastVerticalBlank = GetMillisecondCount();
}

}  // namespace

int InitGraphics() {
    ScreenState &s = State();
    if (s.up) return 0;
    StoreScreenMode(ModeInForce());
    if (SetupDisplayDevices() == -1) {
        EndGraphics();
        return -1;
    }
    s.up = 1;
    // Without a screen image start-up fails, and a mode change goes on to its next fallback.
    if (CreateScreenImages() != 0) {
        s.up = 0;
        return -1;
    }
    ResetGraphTable();
    ResetDrawSettings();
    BuildBlendTables();
    InitFontSystem();
    return 0;
}

int EndGraphics() {
    ScreenState &s = State();
    EndFontSystem();
    if (!s.up) return 0;
    ReleaseAllGraphs();
    s.presentationTimer = 0;
    ReleaseScreenImages();
    s.modeCount = -1;
    s.up = 0;
    return 0;
}

bool AreGraphicsUp() { return State().up != 0; }

int ApplyScreenMode(int width, int height, int bits, int force, int refresh) {
    ScreenState &s = State();
    const ScreenModeSetting previous = ModeInForce();
    const ScreenModeSetting wanted = {width == -1 ? previous.width : width, height == -1 ? previous.height : height,
                                      bits == -1 ? previous.bits : bits, refresh == -1 ? previous.refresh : refresh};
    if (SameMode(wanted, previous) && !force && s.up) return 0;

    LogText("画面モード変更処理を開始します\n");
    RaiseLogIndent();
    if (!TryMode(wanted)) {
        const ScreenModeSetting emulated = {kDefaultWidth, kDefaultHeight, wanted.bits, wanted.refresh};
        const ScreenModeSetting fallback = {kDefaultWidth, kDefaultHeight, kDefaultBits, 0};
        bool done = false;
        if (wanted.width == 320 && wanted.height == 240) {
            s.emulate320x240 = 1;
            done = TryMode(emulated);
            if (!done) s.emulate320x240 = 0;
        }
        if (!done) done = TryMode(previous);
        if (!done) done = TryMode(fallback);
        if (!done) {
            char message[256];
            Utf8ToShiftJis("予期せぬ画面モード変更不能現象が起きました2\n", message, sizeof message);
            ErrorExit(message);
        }
    }
    if (WindowModeSetting() != 0) RestyleMainWindow();
    LowerLogIndent();
    LogText("画面モード変更処理は正常に終了しました\n");
    ProcessMessagesBody();
    return 0;
}

int PresentOnActivation() { return FlipScreen(); }

void PaintWindow() {
    if (!IsLibraryInitialised() || !State().up || CurrentDrawTarget() != SCREEN_BACK) return;
    ScreenState &s = State();
    const int wait = s.vsyncWait;
    s.vsyncWait = 0;
    FlipScreen();
    s.vsyncWait = wait;
}

void SelectStartupDrawTarget() {
    SetDrawTarget(SCREEN_BACK);
    SetDrawTarget(SCREEN_FRONT);
}

void StartPresentationTimer() {
    ScreenState &s = State();
    s.presentationTimer = 1;
    s.presentationDue = ActiveHost().Milliseconds() + kPresentationPeriodMs;
}

void StepPresentationTimer() {
    ScreenState &s = State();
    if (!s.presentationTimer) return;
    const uint32_t now = ActiveHost().Milliseconds();
    if (static_cast<int32_t>(now - s.presentationDue) < 0) return;
    s.presentationTimer = 0;
    if (!s.up || CurrentDrawTarget() != SCREEN_FRONT) return;
    FlipScreen();
    StartPresentationTimer();
}

MEMIMG *ScreenImage() { return State().up ? &State().screen : nullptr; }
MEMIMG *WorkImage(bool withAlpha) { return State().up ? (withAlpha ? &State().workAlpha : &State().workPlain) : nullptr; }

void ScreenSize(int *width, int *height) {
    const ScreenModeSetting mode = ModeInForce();
    if (width) *width = mode.width;
    if (height) *height = mode.height;
}

void SetOnScreenLogDrawer(OnScreenLogDrawer drawer) { State().logDrawer = drawer; }

}  // namespace zq

using namespace zq;

extern "C" int FlipScreen(void) {
    ScreenState &s = State();
    if (!IsLibraryInitialised() || IsQuitRequested() || !s.up) return -1;
    if (OnScreenLogCount() > 0 && s.logDrawer != nullptr) s.logDrawer(&s.screen);

    const int width = s.screen.width, height = s.screen.height;
    PresentRequest request = {s.screen.pixels, width, height, s.screen.base->pitch,
                              MemImgBytesPerPixel(*s.screen.base) * 8, 0, 0, width, height};
    if (s.emulate320x240 && width == kDefaultWidth && height == kDefaultHeight) {
        request.srcWidth = 320;
        request.srcHeight = 240;
    }
    if (s.vsyncWait) WaitVerticalBlank();
    if (!ActiveHost().Present(request)) {
        LogLine("画面の表示に失敗しました: %s", ActiveHost().LastError());
        return -1;
    }
    return 0;
}

extern "C" int SetVSyncWait(int flag) {
    State().vsyncWait = flag != 0;
    return 0;
}

extern "C" int GetVSyncWait(void) { return State().vsyncWait; }

extern "C" int SetEmulate320x240(int flag) {
    State().emulate320x240 = flag != 0;
    return 0;
}

extern "C" int SetGraphicsRestoreHook(int (*hook)(void)) {
    State().restoreHook = hook != nullptr ? hook : ReloadAllGraphs;
    return 0;
}

extern "C" int RestoreGraphicsDevice(void) {
    // The software renderer keeps its pictures in the library's memory: only the display side is
    // set up again, and input comes back on its next use.
    EndInput();
    State().modeCount = -1;
    if (SetupDisplayDevices() == 0 && State().restoreHook != nullptr) State().restoreHook();
    return 0;
}

extern "C" int GetDisplayModeCount(void) {
    ReadDisplayModes();
    return State().modeCount;
}

extern "C" DisplayMode GetDisplayModeEntry(int index) {
    ReadDisplayModes();
    const ScreenState &s = State();
    if (index < 0 || index >= s.modeCount) return DisplayMode{-1, -1, -1, -1};
    return s.modes[index];
}

extern "C" int SetHardwareRendering(int flag) {
    if (IsLibraryInitialised()) return -1;
    State().softwareOnly = flag == 0;
    return 0;
}

extern "C" int SetDeviceDialogBoxMode(int flag) {
    (void)flag;  // only a hardware device has a dialog box mode
    return 0;
}
