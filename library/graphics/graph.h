// Graph handles as the rest of the graphics see them: released all together when graphics end.
#pragma once

namespace zq {

// Releases every graph (graphics shutdown and screen mode changes).
void ReleaseAllGraphs();

}  // namespace zq
