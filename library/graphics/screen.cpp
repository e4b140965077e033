// The screen's part in start-up and shutdown. No screen image exists yet: graphics start with
// nothing to make, so start-up goes on, and every presentation has nothing to show.
#include "graphics/screen.h"

namespace zq {

int InitGraphics() { return 0; }
int EndGraphics() { return 0; }
int ApplyScreenMode() { return 0; }
int RestoreGraphicsDevice() { return 0; }
int PresentOnActivation() { return 0; }
void PaintWindow() {}
void SelectStartupDrawTarget() {}

}  // namespace zq
