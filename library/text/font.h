// The font system as graphics start and end see it.
#pragma once

namespace zq {

int InitFontSystem();   // the font system at its defaults (graphics start-up)
int EndFontSystem();    // every font released (graphics shutdown)

}  // namespace zq
