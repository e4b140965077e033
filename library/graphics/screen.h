// The screen as the life cycle and the window see it: start and end of graphics, the screen mode
// change after start-up, and the presentations the window asks for.
#pragma once

namespace zq {

int InitGraphics();               // 0, or negative when graphics cannot start
int EndGraphics();
int ApplyScreenMode();            // re-creates the screen in the stored mode: 0, -2 (fallback) or -1
int RestoreGraphicsDevice();
int PresentOnActivation();        // shows the back buffer again when the window becomes active
void PaintWindow();               // the window must be painted again
void SelectStartupDrawTarget();   // start-up leaves the draw target on the front buffer

}  // namespace zq
