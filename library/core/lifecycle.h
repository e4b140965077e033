// The library's life cycle inside the library: the settings made before start-up and the state of
// start-up and shutdown, for the other subsystems to read.
#pragma once

namespace zq {

struct ScreenModeSetting {
    int width, height, bits, refresh;  // 0 = the default 640, 480, 16 and "any"
};

bool IsLibraryInitialised();
bool IsLibraryInitialising();
int WindowModeSetting();               // 1 window, 0 full screen
bool WindowShownByModeChange();        // ChangeWindowMode changed the mode before start-up
const char *TitleSetting();            // Shift-JIS, possibly empty
const char *ClassNameSetting();        // Shift-JIS; filled by window creation
void SetClassNameSetting(const char *name);
void SetTitleSetting(const char *title);
ScreenModeSetting RequestedScreenMode();
void StoreScreenMode(const ScreenModeSetting &mode);
const char *StartDirectory();          // "" before start-up captured it

// 0 running, 1 once shutdown has begun, 4 once a close message arrived.
int CloseState();
void SetCloseState(int state);

// Records why start-up failed, for GetStartupError (UTF-8, one line).
void SetStartupError(const char *format, ...) __attribute__((format(printf, 1, 2)));

// The shutdown body: every subsystem down in order; also used by ErrorExit and a failed start-up.
void RunShutdownBody();

}  // namespace zq
