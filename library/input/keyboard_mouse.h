// Mouse and keyboard inside the library: start and end for the life cycle, re-acquisition when the
// window becomes active, and the cursor the window applies.
#pragma once

namespace zq {

int InitInput();                 // 0; lazily called by the reads as well
int EndInput();
int ReacquireInputDevices();
int RefreshKeyboardState();      // 1 when the key state was read afresh
void ApplyCursorForNewWindow(bool fullScreen);
void RestoreCursorForClosing();

}  // namespace zq
