// The file access layer's shared records: the twelve file operations every loader reaches files
// through (replaceable as a whole), and the six-operation source decoders read from, which works
// on a file (FileStreamOps) or on a block of memory (MemoryStreamOps) alike.
//
// Paths are Shift-JIS; '\' and '/' both separate components, and a name that does not exist
// exactly is matched case-insensitively within its directory. Positions and sizes are 32-bit.
#pragma once

#include <cstddef>
#include <cstdint>

#include "zqlib.h"

namespace zq {

constexpr int kFilePathSize = 260;
constexpr int kOpenFileSlots = 512;
constexpr uint32_t kStreamHandleTag = 0xF0000000u;
constexpr int kReadCacheSize = 0x20000;

// What a find operation reports about one file.
struct FileInfo {
    char name[kFilePathSize];
    int isDirectory;
    uint32_t sizeLow, sizeHigh;
    DateRecord created;
    DateRecord lastWritten;
};

// The twelve file operations, in slot order. Stream handles are nonzero; 0 means failure.
struct FileStreamTable {
    uint32_t (*Open)(const char *path, int useCache, int unused, int noWait);
    int (*Close)(uint32_t handle);
    int32_t (*Tell)(uint32_t handle);
    int (*Seek)(uint32_t handle, int32_t offset, int origin);   // origin: 0 start, 1 current, 2 end
    size_t (*Read)(void *buffer, size_t elementSize, size_t count, uint32_t handle);
    int (*Eof)(uint32_t handle);
    int (*IdleCheck)(uint32_t handle);                           // 1 when no read is pending
    int (*SetDir)(const char *path);
    int (*GetDir)(char *buffer);                                 // at most 256 characters
    intptr_t (*FindFirst)(const char *pattern, FileInfo *out);   // -1 when nothing matches
    int (*FindNext)(intptr_t search, FileInfo *out);             // -1 when no further match
    int (*FindEnd)(intptr_t search);
};

// The six operations a decoder reads through; `data` is the stream handle or the memory stream.
struct StreamOps {
    int32_t (*Tell)(void *data);
    int (*Seek)(void *data, int32_t offset, int origin);
    size_t (*Read)(void *buffer, size_t elementSize, size_t count, void *data);
    int (*Eof)(void *data);
    int (*IdleCheck)(void *data);
    int (*Close)(void *data);
};

struct StreamSource {
    StreamOps ops;
    void *data;
};

// A block of memory read as a stream; the data is not owned.
struct MemoryStream {
    const uint8_t *data;
    int32_t size;
    int32_t position;
    int32_t endFlag;
};

// The position a seek asks for: offset from the start (origin 0), from the position (1) or from the
// size (2); false for any other origin.
inline bool SeekTarget(int32_t position, int32_t size, int32_t offset, int origin, int64_t *target) {
    switch (origin) {
    case 0: *target = offset; return true;
    case 1: *target = int64_t(position) + offset; return true;
    case 2: *target = int64_t(size) + offset; return true;
    default: return false;
    }
}

// With a table, copies its twelve slots over the current ones; null installs the default table.
void SetFileStreamTable(const FileStreamTable *table);
const FileStreamTable &CurrentFileStreamTable();
const StreamOps &GetFileStreamOps();
const StreamOps &GetMemoryStreamOps();
// A memory stream at position 0 (tracked allocation; its Close frees it), or null.
MemoryStream *CreateMemoryStream(const void *data, int32_t size);

// Forwarders to the current table's slots.
uint32_t FileOpen(const char *path, int useCache, int unused, int noWait);
int FileClose(uint32_t handle);
int32_t FileTell(uint32_t handle);
int FileSeek(uint32_t handle, int32_t offset, int origin);
size_t FileRead(void *buffer, size_t elementSize, size_t count, uint32_t handle);
int FileEof(uint32_t handle);
int FileIdleCheck(uint32_t handle);
int FileSetDir(const char *path);                                // 0, or -1
int FileGetDir(char *buffer);                                    // 0, or -1; see GetDir
intptr_t FileFindFirst(const char *pattern, FileInfo *out);
int FileFindNext(intptr_t search, FileInfo *out);
int FileFindEnd(intptr_t search);

// A source over an open file handle or over a memory stream.
inline StreamSource FileSource(uint32_t handle) {
    return StreamSource{GetFileStreamOps(), reinterpret_cast<void *>(static_cast<uintptr_t>(handle))};
}
inline StreamSource MemorySource(MemoryStream *stream) { return StreamSource{GetMemoryStreamOps(), stream}; }

}  // namespace zq
