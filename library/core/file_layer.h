// The file access layer as the life cycle sees it: installed at start-up, ended at shutdown.
#pragma once

namespace zq {

void ResetArchives();
void InstallDefaultFileOperations();
void EndFileLayer();

}  // namespace zq
