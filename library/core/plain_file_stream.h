// One opened plain file, read either directly on the caller's thread or through a file-access
// thread of its own (with a 128 KiB read cache and read-ahead, or with reads that do not wait).
// The default file table opens plain files through this; so does the archive layer, for the
// archive files themselves (no-wait, so that a file-access thread serves them).
#pragma once

#include <cstddef>
#include <cstdint>

namespace zq {

struct PlainFileStream;

// Opens a file (Shift-JIS path, resolved as the file access layer resolves paths). Threaded when
// useCache or noWait is set. Null on failure; a missing or unreadable file logs nothing.
PlainFileStream *OpenPlainFileStream(const char *path, int useCache, int noWait);
int ClosePlainFileStream(PlainFileStream *stream);                // 0
int32_t PlainFileStreamTell(PlainFileStream *stream);
int PlainFileStreamSeek(PlainFileStream *stream, int32_t offset, int origin);  // 0, or -1
// Whole elements only; a no-wait read returns its count at once and its data is valid once
// PlainFileStreamIdleCheck returns 1.
size_t PlainFileStreamRead(void *buffer, size_t elementSize, size_t count, PlainFileStream *stream);
int PlainFileStreamEof(PlainFileStream *stream);                  // -1 once a read hit the end, else 0
int PlainFileStreamIdleCheck(PlainFileStream *stream);            // 1 when no read is pending

// For tests: how many bytes the read cache has handed out so far (0 without a cache), and a hold
// that makes every file-access thread wait before serving a read, so a pending read can be seen.
uint32_t PlainFileStreamCacheBytesServed(PlainFileStream *stream);
void HoldFileAccessReads(bool hold);

}  // namespace zq
