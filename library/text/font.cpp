// The font system: no font can be made yet, so starting and ending it has nothing to do.
#include "text/font.h"

namespace zq {

int InitFontSystem() { return 0; }
int EndFontSystem() { return 0; }

}  // namespace zq
