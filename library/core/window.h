// The main window inside the library: creation and closing for the life cycle, the message
// processing body, the wait while the window is inactive, and the window facts other subsystems
// read (client area, activity, scale).
#pragma once

namespace zq {

int CreateMainWindow();        // 0, or -1 with the reason logged and recorded
void CloseMainWindow();        // shutdown: asks the window to close and processes until it is gone
void RestyleMainWindow();      // after a window-mode change: full screen or window, resized

// The body of ProcessMessages without the lock: 0 to go on, -1 when the program must end.
int ProcessMessagesBody();
// Drawing and input operations call this first: while the window is inactive it processes
// messages until the window is active again or the program must end.
void WaitWhileInactive();

bool MainWindowExists();
bool IsWindowActive();
bool IsWindowCloseRequested();   // the library itself asked the window to close
bool IsQuitRequested();          // the window was destroyed or the program asked to end
void ClientArea(int *x, int *y, int *width, int *height);  // in desktop coordinates
double WindowScale();

struct ClickRecord {
    int button, x, y;
};
constexpr int kClickLogSize = 32;
constexpr int kDroppedFileLimit = 1000;
int ClickLogCount();
ClickRecord ClickLogEntry(int index);
int WheelCount();
int DroppedFileCount();
const char *DroppedFile(int index);

}  // namespace zq
