// The main window: creation with the double-start refusal, the handling of each host event (the
// window's messages), ProcessMessages with its five-message limit and its loop while the window is
// inactive, the wait while inactive, and closing at shutdown. Everything runs on the thread that
// created the window; message processing from another thread makes one pass and does not read the
// window's events, which belong to the main thread.
#include "core/window.h"

#include <cstdio>
#include <cstring>
#include <thread>

#include "core/api_lock.h"
#include "core/lifecycle.h"
#include "core/log.h"
#include "core/system_info.h"
#include "core/timing.h"
#include "graphics/screen.h"
#include "input/keyboard_mouse.h"
#include "platform/host.h"
#include "platform/sjis.h"
#include "sound/sound.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr const char *kDefaultClassName = "D123987X";
constexpr const char *kDefaultTitle = "ZqLib";
constexpr int kMessagesPerCall = 5;
// After creation, messages are processed until the window has settled on the desktop (mapped,
// exposed, focused): at most this long, and no longer than it takes the messages to stop coming.
constexpr int kSettleMilliseconds = 200;
constexpr int kSettleQuietMilliseconds = 20;
constexpr int kDefaultWidth = 640;
constexpr int kDefaultHeight = 480;

struct WindowState {
    bool hasWindow = false;
    std::thread::id mainThread;
    int active = 0;
    int quit = 0;
    int destroyed = 0;
    int closeRequested = 0;
    int closePosted = 0;  // the library's own close message waits to be handled
    int creating = 0;
    int inPaint = 0;
    double windowScale = 1.0;
    int clientX = 0, clientY = 0, clientWidth = 0, clientHeight = 0;
    ClickRecord clickLog[kClickLogSize] = {};
    int clickCount = 0;
    int wheelCount = 0;
    char *droppedFiles[kDroppedFileLimit] = {};
    int droppedCount = 0;
    int charSet = 1;
    int inactiveSince = 0;
    int reentry = 0;
    int instanceLocked = 0;
    unsigned messagesHandled = 0;  // counts every message dispatched, to see when they stop
};

WindowState &State() {
    static WindowState state;
    return state;
}

bool OnMainThread() {
    return State().hasWindow && std::this_thread::get_id() == State().mainThread;
}

void WantedClientSize(int *width, int *height) {
    const ScreenModeSetting mode = RequestedScreenMode();
    const double scale = State().windowScale;
    *width = static_cast<int>((mode.width > 0 ? mode.width : kDefaultWidth) * scale);
    *height = static_cast<int>((mode.height > 0 ? mode.height : kDefaultHeight) * scale);
}

void UpdateClientArea() {
    WindowState &w = State();
    ActiveHost().ClientOrigin(&w.clientX, &w.clientY);
    WantedClientSize(&w.clientWidth, &w.clientHeight);
}

// Keeps the client area at the screen size times the scale; the user cannot resize the window.
void FitWindow() {
    int width, height;
    WantedClientSize(&width, &height);
    ActiveHost().SetClientSize(width, height);
    UpdateClientArea();
}

void ReleaseInstanceLock() {
    WindowState &w = State();
    if (w.instanceLocked) ActiveHost().ReleaseInstanceLock();
    w.instanceLocked = 0;
}

// The window is destroyed: the program is to end.
void HandleDestroy() {
    WindowState &w = State();
    LogText("ウインドウが破棄されようとしています\n");
    ActiveHost().CloseWindow();
    ReleaseInstanceLock();
    w.destroyed = 1;
    w.quit = 1;
    LogText("ソフトを終了する準備が整いました\n");
}

void HandleClose() {
    LogText("ウインドウを閉じようとしています\n");
    HandleDestroy();
    if (CloseState() == 0) SetCloseState(4);
}

void HandleActivation(bool active) {
    WindowState &w = State();
    w.active = active ? 1 : 0;
    if (w.creating) return;
    if (active) {
        if (PresentOnActivation() != 0) RestoreGraphicsDevice();
        ReacquireInputDevices();
    }
}

void HandlePaint() {
    WindowState &w = State();
    if (WindowModeSetting() != 0) w.inPaint = 1;
    PaintWindow();
    w.inPaint = 0;
}

void HandleButtonDown(const HostEvent &event) {
    WindowState &w = State();
    if (w.clickCount < kClickLogSize) w.clickLog[w.clickCount++] = {event.button, event.x, event.y};
}

void HandleDropFile(const HostEvent &event) {
    WindowState &w = State();
    if (w.droppedCount >= kDroppedFileLimit) return;
    // Dropped names arrive in UTF-8; the program reads Shift-JIS.
    char sjis[kHostPathSize];
    Utf8ToSjis(event.path, sjis, sizeof sjis);
    const int size = static_cast<int>(std::strlen(sjis)) + 1;
    char *copy = static_cast<char *>(TrackedAlloc(size, "", 0));
    if (copy == nullptr) return;
    std::memcpy(copy, sjis, static_cast<size_t>(size));
    w.droppedFiles[w.droppedCount++] = copy;
}

void ReleaseDroppedFiles() {
    WindowState &w = State();
    for (int i = 0; i < w.droppedCount; ++i) TrackedFree(w.droppedFiles[i]);
    w.droppedCount = 0;
}

void Dispatch(const HostEvent &event) {
    WindowState &w = State();
    ++w.messagesHandled;
    switch (event.type) {
    case HostEventType::Close: HandleClose(); break;
    case HostEventType::Quit: w.quit = 1; break;
    case HostEventType::FocusGained: HandleActivation(true); break;
    case HostEventType::FocusLost: HandleActivation(false); break;
    case HostEventType::Exposed: HandlePaint(); break;
    case HostEventType::Moved: UpdateClientArea(); break;
    case HostEventType::ButtonDown: HandleButtonDown(event); break;
    case HostEventType::Wheel: w.wheelCount += event.wheel > 0 ? 1 : -1; break;
    case HostEventType::DropFile: HandleDropFile(event); break;
    }
}

// The next message: the library's own close request first, then the host's events.
bool NextMessage(HostEvent *event) {
    WindowState &w = State();
    if (w.closePosted) {
        w.closePosted = 0;
        event->type = HostEventType::Close;
        return true;
    }
    return ActiveHost().PollEvent(event);
}

// Processes messages while the new window appears. The host has shown the window before it
// returns from opening it; what follows (exposure, focus) arrives within milliseconds, so a pause
// with no message ends the wait well before its limit.
void SettleNewWindow() {
    WindowState &w = State();
    const int start = GetMillisecondCount();
    int lastMessage = start;
    unsigned seen = w.messagesHandled;
    for (;;) {
        if (ProcessMessagesBody() != 0) return;
        const int now = GetMillisecondCount();
        if (w.messagesHandled != seen) {
            seen = w.messagesHandled;
            lastMessage = now;
        }
        if (now - start >= kSettleMilliseconds || now - lastMessage >= kSettleQuietMilliseconds) return;
        ActiveHost().Sleep(1);
    }
}

void PostClose() {
    WindowState &w = State();
    if (w.closeRequested) return;
    w.closeRequested = 1;
    w.closePosted = 1;
}

}  // namespace

int CreateMainWindow() {
    Host &host = ActiveHost();
    WindowState &w = State();
    ReleaseDroppedFiles();
    w = WindowState{};

    if (ClassNameSetting()[0] == '\0') {
        SetClassNameSetting(TitleSetting()[0] != '\0' ? TitleSetting() : kDefaultClassName);
    }
    w.mainThread = std::this_thread::get_id();
    const MemoryStatus memory = ReadMemoryStatus();
    LogLine("メモリ総量:%.2fMB  空きメモリ領域:%.2fMB ", memory.totalBytes / 1048576.0, memory.availableBytes / 1048576.0);

    DesktopInfo desktop;
    if (!host.ReadDesktop(&desktop)) {
        LogText("ウインドウの作成に失敗しました\n");
        SetStartupError("cannot open a window: %s", host.LastError());
        w.quit = 1;
        return -1;
    }

    SelectTimer();
    host.SetScreenSaver(false);

    LogText("ソフトの二重起動検査... ");
    char className[512];
    SjisToUtf8(ClassNameSetting(), className, sizeof className);
    if (!host.AcquireInstanceLock(className)) {
        LogText("二重起動されています、ソフトを終了します\n");
        SetStartupError("another copy of this program is already running");
        host.SetScreenSaver(true);
        w.quit = 1;
        return -1;
    }
    w.instanceLocked = 1;
    LogText("二重起動はされていませんでした\n");

    w.creating = 1;
    if (TitleSetting()[0] == '\0') SetTitleSetting(kDefaultTitle);
    char caption[1024];
    SjisToUtf8(TitleSetting(), caption, sizeof caption);

    const bool fullScreen = WindowModeSetting() == 0;
    if (fullScreen) w.windowScale = 1.0;
    WindowRequest request = {caption, 0, 0, fullScreen};
    WantedClientSize(&request.clientWidth, &request.clientHeight);
    LogText(fullScreen ? "フルスクリーンモード用のウインドウを作成します\n" : "ウインドウモード起動用のウインドウを作成します\n");
    if (!host.OpenWindow(request)) {
        LogText("ウインドウの作成に失敗しました\n");
        SetStartupError("cannot open a window: %s", host.LastError());
        ReleaseInstanceLock();
        host.SetScreenSaver(true);
        w.quit = 1;
        w.creating = 0;
        return -1;
    }
    LogText("ウインドウの作成に成功しました\n");
    w.hasWindow = true;
    w.closeRequested = 0;
    w.destroyed = 0;
    w.active = 1;

    if (fullScreen) LogText("カーソルを不可視にしました\n");
    UpdateClientArea();
    w.charSet = 1;
    ApplyCursorForNewWindow(fullScreen);

    host.RaiseWindow();
    SettleNewWindow();
    FitWindow();
    w.creating = 0;
    return 0;
}

void RestyleMainWindow() {
    WindowState &w = State();
    if (!w.hasWindow) return;
    const bool fullScreen = WindowModeSetting() == 0;
    if (fullScreen) w.windowScale = 1.0;
    ActiveHost().SetFullScreen(fullScreen);
    FitWindow();
}

void CloseMainWindow() {
    WindowState &w = State();
    if (!w.hasWindow) return;
    Host &host = ActiveHost();
    host.SetScreenSaver(true);
    RestoreCursorForClosing();
    PostClose();
    while (ProcessMessagesBody() == 0 && !w.destroyed) host.Sleep(1);
    if (!w.destroyed) HandleDestroy();
    ReleaseDroppedFiles();
    w.hasWindow = false;
}

int ProcessMessagesBody() {
    WindowState &w = State();
    if (w.reentry) return 0;
    if (!w.hasWindow) return w.quit ? -1 : 0;

    Host &host = ActiveHost();
    const bool mainThread = OnMainThread();
    int handled = 0;
    bool emptyPass = false;
    bool inactiveRecorded = false;
    for (;;) {
        if ((w.closeRequested || w.active) && (emptyPass || w.quit)) break;
        if (!w.active) {
            if (!inactiveRecorded) w.inactiveSince = GetMillisecondCount();
            inactiveRecorded = true;
            host.Sleep(1);
        }
        emptyPass = true;
        if (mainThread) StepPresentationTimer();
        HostEvent event;
        bool leave = false;
        while (mainThread && NextMessage(&event)) {
            if (w.quit) {
                leave = true;
                break;
            }
            Dispatch(event);
            emptyPass = false;
            if (++handled == kMessagesPerCall) {
                handled = 0;
                emptyPass = true;
                break;
            }
        }
        if (leave) break;
        if (!w.active) {
            StepSoundStreams();
            host.Sleep(1);
        }
        if (w.quit || !mainThread) break;
    }

    StepSoundStreams();
    return w.quit ? -1 : 0;
}

void WaitWhileInactive() {
    WindowState &w = State();
    if (w.inPaint || w.active || !w.hasWindow) return;
    w.inactiveSince = GetMillisecondCount();
    while (ProcessMessages() == 0 && !w.active) ActiveHost().Sleep(1);
}

bool MainWindowExists() { return State().hasWindow; }
bool IsWindowActive() { return State().active != 0; }
bool IsWindowCloseRequested() { return State().closeRequested != 0; }
bool IsQuitRequested() { return State().quit != 0; }

void ClientArea(int *x, int *y, int *width, int *height) {
    const WindowState &w = State();
    *x = w.clientX;
    *y = w.clientY;
    *width = w.clientWidth;
    *height = w.clientHeight;
}

double WindowScale() { return State().windowScale; }
int ClickLogCount() { return State().clickCount; }
ClickRecord ClickLogEntry(int index) { return index >= 0 && index < State().clickCount ? State().clickLog[index] : ClickRecord{}; }
int WheelCount() { return State().wheelCount; }
int DroppedFileCount() { return State().droppedCount; }
const char *DroppedFile(int index) { return index >= 0 && index < State().droppedCount ? State().droppedFiles[index] : ""; }

}  // namespace zq

extern "C" int ProcessMessages(void) {
    zq::ApiLockScope lock;
    return zq::ProcessMessagesBody();
}
