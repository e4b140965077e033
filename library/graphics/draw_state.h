// The draw state inside the library: what the drawing operations read (target image, software
// draw settings, blend image) and the reset at every graphics start-up.
#pragma once

#include "graphics/kernels.h"
#include "graphics/memimg.h"

namespace zq {

// Zeroes the draw state and sets its defaults: no blending, white brightness, the front buffer as
// target (which starts its presentation timer) and the whole screen as draw area.
void ResetDrawSettings();
int CurrentDrawTarget();
MEMIMG *DrawTargetImage();
// Blend mode, parameter, brightness and draw area, as the kernels take them.
const SoftDrawSettings &CurrentSoftDrawSettings();
bool IsDrawAreaEmpty();
// The background colour that clears the screen (black unless set).
void BackgroundColor(int *red, int *green, int *blue);

}  // namespace zq
