// The library's life cycle: the settings a program makes before start-up, InitLibrary with the
// fixed start-up order, EndLibrary with the shutdown order, and ErrorExit.
#include "core/lifecycle.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/api_lock.h"
#include "core/file_layer.h"
#include "core/log.h"
#include "core/system_info.h"
#include "core/window.h"
#include "graphics/screen.h"
#include "input/keyboard_mouse.h"
#include "platform/host.h"
#include "platform/sjis.h"
#include "sound/sound.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kTextSize = 256;
constexpr int kStartDirectorySize = 260;

struct CoreState {
    int initialised = 0;
    int initialising = 0;
    int windowMode = 0;
    int windowShownByModeChange = 0;
    char title[kTextSize] = "";
    char className[kTextSize] = "";
    char startDirectory[kStartDirectorySize] = "";
    ScreenModeSetting screenMode = {0, 0, 0, 0};
    int closeState = 0;
    char startupError[512] = "";
};

CoreState &State() {
    static CoreState state;
    return state;
}

void CopyText(char (&out)[kTextSize], const char *text) {
    std::snprintf(out, sizeof out, "%s", text != nullptr ? text : "");
}

bool IsValidColorBits(int bits) { return bits == 8 || bits == 16 || bits == 32; }

// Full screen needs a display mode of exactly the screen's size; otherwise run in a window.
void FallBackToWindowWithoutMode() {
    CoreState &s = State();
    if (s.windowMode) return;
    const int width = s.screenMode.width > 0 ? s.screenMode.width : 640;
    const int height = s.screenMode.height > 0 ? s.screenMode.height : 480;
    const int count = GetDisplayModeCount();
    for (int i = 0; i < count; ++i) {
        const DisplayMode mode = GetDisplayModeEntry(i);
        if (mode.width == width && mode.height == height) return;
    }
    ChangeWindowMode(1);
}

void CaptureStartDirectory() {
    CoreState &s = State();
    if (getcwd(s.startDirectory, sizeof s.startDirectory) == nullptr) s.startDirectory[0] = '\0';
}

// A desktop of packed 3-byte pixels cannot be drawn on, nor can a 24-bit screen be asked for.
bool IsTwentyFourBitRefused() {
    CoreState &s = State();
    if (s.screenMode.bits == 24) return true;
    DesktopInfo desktop;
    return s.windowMode && ActiveHost().ReadDesktop(&desktop) && desktop.bitsPerPixel == 24;
}

// The shutdown order. `force` runs it also for a start-up that failed half-way.
void ShutdownBody(bool force) {
    CoreState &s = State();
    if (!s.initialised && !force) return;
    s.closeState = 1;
    EndGraphics();
    EndInput();
    EndSound();
    CloseMainWindow();
    s.initialised = 0;
    if (s.startDirectory[0] != '\0' && chdir(s.startDirectory) != 0) {
        LogLine("作業ディレクトリを戻せませんでした: %s", s.startDirectory);
    }
    EndFileLayer();
    DumpAllocations();
}

int StartUp() {
    CoreState &s = State();
    if (s.initialised) return 0;
    s.initialising = 1;
    s.startupError[0] = '\0';
    s.closeState = 0;

    FallBackToWindowWithoutMode();
    ResetArchives();
    InstallDefaultFileOperations();
    CaptureStartDirectory();
    StartLog();
    if (IsTwentyFourBitRefused()) {
        LogText("ＺＱライブラリは２４ビットカラーモードに対応していません\n");
        SetStartupError("24-bit colour displays are not supported");
        s.initialising = 0;
        return -1;
    }
    RunSystemInfoStep();

    if (CreateMainWindow() == -1 || InitInput() == -1) {
        ShutdownBody(true);
        s.initialising = 0;
        return -1;
    }
    InitSound();
    if (InitGraphics() < 0) {
        if (s.startupError[0] == '\0') SetStartupError("graphics could not start");
        ShutdownBody(true);
        s.initialising = 0;
        return -1;
    }
    LogText("文字コードバッファの初期化を行います... ");
    LogText("完了しました\n");
    s.initialised = 1;
    if (!s.windowMode) ActiveHost().RaiseWindow();
    ResetOnScreenLog();
    SelectStartupDrawTarget();
    s.initialising = 0;
    return 0;
}

}  // namespace

bool IsLibraryInitialised() { return State().initialised != 0; }
bool IsLibraryInitialising() { return State().initialising != 0; }
int WindowModeSetting() { return State().windowMode; }
bool WindowShownByModeChange() { return State().windowShownByModeChange != 0; }
const char *TitleSetting() { return State().title; }
const char *ClassNameSetting() { return State().className; }
void SetClassNameSetting(const char *name) { CopyText(State().className, name); }
void SetTitleSetting(const char *title) { CopyText(State().title, title); }
ScreenModeSetting RequestedScreenMode() { return State().screenMode; }
void StoreScreenMode(const ScreenModeSetting &mode) { State().screenMode = mode; }
const char *StartDirectory() { return State().startDirectory; }
int CloseState() { return State().closeState; }
void SetCloseState(int state) { State().closeState = state; }

void SetStartupError(const char *format, ...) {
    CoreState &s = State();
    va_list args;
    va_start(args, format);
    std::vsnprintf(s.startupError, sizeof s.startupError, format, args);
    va_end(args);
}

void RunShutdownBody() { ShutdownBody(false); }

}  // namespace zq

using namespace zq;

extern "C" int ChangeWindowMode(int flag) {
    CoreState &s = State();
    LogText("ChangeWindowMode実行 \n");
    if (flag == s.windowMode) return 0;
    s.windowShownByModeChange = 1;
    s.windowMode = flag;
    LogText(flag ? "ウインドウモードフラグが立てられました\n" : "ウインドウモードフラグが倒されました\n");
    if (!s.initialised) return 0;
    RestyleMainWindow();
    return ApplyScreenMode(-1, -1, -1, 1, -1);
}

extern "C" int SetScreenMode(int width, int height, int bits, int refresh) {
    CoreState &s = State();
    if (width == 0 || height == 0 || !IsValidColorBits(bits)) return -1;
    if (!s.initialised) {
        s.screenMode = {width, height, bits, refresh};
        return 0;
    }
    ApplyScreenMode(width, height, bits, 0, refresh);
    const ScreenModeSetting now = s.screenMode;
    if (now.width == width && now.height == height && now.bits == bits && now.refresh == refresh) return 0;
    if (now.width == 640 && now.height == 480 && now.bits == 16 && now.refresh == 0) return -2;
    return -1;
}

extern "C" int SetWindowTitle(const char *text) {
    CoreState &s = State();
    CopyText(s.title, text);
    if (MainWindowExists()) {
        char caption[1024];
        SjisToUtf8(s.title, caption, sizeof caption);
        ActiveHost().SetCaption(caption);
    }
    return 0;
}

extern "C" int InitLibrary(void) {
    if (State().initialised) return 0;
    ApiLockScope lock;
    return StartUp();
}

extern "C" int EndLibrary(void) {
    if (!State().initialised) return 0;
    {
        ApiLockScope lock;
        ShutdownBody(false);
    }
    ApiLockDestroy();
    return 0;
}

extern "C" void ErrorExit(const char *message) {
    WriteLog(message != nullptr ? message : "");
    WriteLog("\n");
    // The log may be off: the user still learns why the program ended.
    char text[1024];
    SjisToUtf8(message != nullptr ? message : "", text, sizeof text);
    std::fprintf(stderr, "fatal: %s\n", text);
    ShutdownBody(false);
    ApiLockDestroy();
    std::exit(-1);
}

extern "C" const char *GetStartupError(void) { return State().startupError; }
