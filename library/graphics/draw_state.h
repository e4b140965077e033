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

// The blend image's graph handle (-1: none), and its weights for the software renderer: null
// when none is set; *valid false when the set handle is no longer a live blend graph.
int CurrentBlendImageHandle();
MEMIMG *CurrentBlendImage(bool *valid);
// The draw area as it is, set without the clamping of SetClipArea (partial draws set it to a part
// of the current one and put it back afterwards).
MemImgRect CurrentDrawArea();
void SetDrawAreaDirect(const MemImgRect &area);
// A graph being released stops being the draw target: the back buffer takes its place.
void ForgetDrawTargetGraph(int handle);

}  // namespace zq
