// The file access layer's part in start-up and shutdown. Files are read straight from the file
// system; there are no archives and no open streams to reset or close yet.
#include "core/file_layer.h"

namespace zq {

void ResetArchives() {}
void InstallDefaultFileOperations() {}
void EndFileLayer() {}

}  // namespace zq
