// The file access layer as the life cycle sees it (installed at start-up, ended at shutdown), and
// what its default table asks of the archive layer.
#pragma once

#include <cstdint>

#include "core/file_stream.h"

namespace zq {

void ResetArchives();
void InstallDefaultFileOperations();
void EndFileLayer();

// Where the archive layer places a path: the archive's slot and the path inside the archive.
struct ArchivePathResolution {
    int32_t archiveSlot;
    char pathInArchive[kFilePathSize];
};

// True when the path names something inside an archive; a true answer holds one reference on that
// archive. The archive layer answers this; until it exists every path is "not in an archive".
bool ResolveArchivePath(const char *path, ArchivePathResolution *out);

// The default table's find operations (file_find.cpp).
intptr_t DefaultFindFirst(const char *pattern, FileInfo *out);
int DefaultFindNext(intptr_t search, FileInfo *out);
int DefaultFindEnd(intptr_t search);

}  // namespace zq
