// The screen: graphics start and end with the renderer choice, the screen image and the two work
// images, screen mode changes while running, presentation in the window (with the vertical blank
// wait, 320 x 240 emulation and the 32 ms timer for drawing on the front buffer), and the device
// restore after the display was lost.
#pragma once

#include "graphics/memimg.h"

namespace zq {

int InitGraphics();               // 0, or -1 when the display cannot be used
int EndGraphics();
// Re-creates the screen in a new mode (each -1 keeps the current value; force re-creates even when
// nothing changed). 0; the last fallback failing ends the process.
int ApplyScreenMode(int width, int height, int bits, int force, int refresh);
bool AreGraphicsUp();
int PresentOnActivation();        // shows the back buffer again when the window becomes active
void PaintWindow();               // the window must be painted again
void SelectStartupDrawTarget();   // start-up leaves the draw target on the front buffer
// The 32 ms presentation timer of the front buffer: started by selecting it, stepped by message
// processing.
void StartPresentationTimer();
void StepPresentationTimer();

// The screen image and the work images of string drawing (null while graphics are down).
MEMIMG *ScreenImage();
MEMIMG *WorkImage(bool withAlpha);
// The screen's size in force.
void ScreenSize(int *width, int *height);

// Draws the on-screen log over the picture before it is presented; set by the text subsystem.
using OnScreenLogDrawer = void (*)(MEMIMG *screen);
void SetOnScreenLogDrawer(OnScreenLogDrawer drawer);

}  // namespace zq
