// The default file table: 512 open-file slots whose handles are 0xF0000000 | slot, each reading a
// plain file (or, once the archive layer exists, an entry of an archive); the current table that
// every loader goes through, replaceable slot by slot; FileStreamOps over it; the directory
// operations; and the layer's part in start-up and shutdown.
//
// The current table starts out as the default one, so the operations work before InitLibrary.
// The slot table is guarded by a lock of its own although the library calls it from the main
// thread only: tests and decoders may open files from other threads.
#include "core/file_layer.h"

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>
#include <mutex>
#include <string>

#include "core/file_stream.h"
#include "core/log.h"
#include "core/path_resolve.h"
#include "core/plain_file_stream.h"
#include "platform/sjis.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr uint32_t kSlotMask = 0x0FFFFFFFu;
constexpr int kDefaultDirectorySize = 256;

// One open file of the default table. The archive entry stream will be held here by value.
struct OpenFileSlot {
    int32_t isArchive;
    PlainFileStream *plain;
    int32_t archiveIndex;
};

struct DefaultTableState {
    OpenFileSlot *slots[kOpenFileSlots] = {};
    int openCount = 0;
    std::mutex lock;
};

DefaultTableState &TableState() {
    static DefaultTableState state;
    return state;
}

// The slot a handle names, or null for a handle that is not one of ours or an empty slot.
OpenFileSlot *SlotOf(uint32_t handle) {
    if ((handle & ~kSlotMask) != kStreamHandleTag) return nullptr;
    const uint32_t slot = handle & kSlotMask;
    if (slot >= static_cast<uint32_t>(kOpenFileSlots)) return nullptr;
    DefaultTableState &t = TableState();
    std::lock_guard<std::mutex> guard(t.lock);
    return t.slots[slot];
}

// Plain files only for now: a slot marked as archive has no entry stream to read yet.
PlainFileStream *PlainOf(uint32_t handle) {
    OpenFileSlot *slot = SlotOf(handle);
    return slot != nullptr && !slot->isArchive ? slot->plain : nullptr;
}

uint32_t DefaultOpen(const char *path, int useCache, int, int noWait) {
    if (path == nullptr) return 0;
    DefaultTableState &t = TableState();
    std::lock_guard<std::mutex> guard(t.lock);
    if (t.openCount >= kOpenFileSlots) {
        LogText("同時に開けるファイルの数が限界を超えました\n");
        return 0;
    }
    int slot = 0;
    while (t.slots[slot] != nullptr) ++slot;
    auto *record = static_cast<OpenFileSlot *>(TrackedAllocZero(static_cast<int>(sizeof(OpenFileSlot)), "", 0));
    if (record == nullptr) {
        LogText("ファイルの情報を格納するメモリの確保に失敗しました\n");
        return 0;
    }
    ArchivePathResolution inArchive;
    if (ResolveArchivePath(path, &inArchive)) {
        // Entries are opened by the archive layer; until it exists no path resolves into one.
        TrackedFree(record);
        return 0;
    }
    record->plain = OpenPlainFileStream(path, useCache, noWait);
    if (record->plain == nullptr) {
        TrackedFree(record);
        return 0;
    }
    t.slots[slot] = record;
    t.openCount += 1;
    return kStreamHandleTag | static_cast<uint32_t>(slot);
}

int DefaultClose(uint32_t handle) {
    if ((handle & ~kSlotMask) != kStreamHandleTag || (handle & kSlotMask) >= static_cast<uint32_t>(kOpenFileSlots)) return -1;
    DefaultTableState &t = TableState();
    OpenFileSlot *record;
    {
        std::lock_guard<std::mutex> guard(t.lock);
        record = t.slots[handle & kSlotMask];
        if (record == nullptr) return -1;
        t.slots[handle & kSlotMask] = nullptr;
        t.openCount -= 1;
    }
    if (!record->isArchive) ClosePlainFileStream(record->plain);
    TrackedFree(record);
    return 0;
}

int32_t DefaultTell(uint32_t handle) {
    PlainFileStream *s = PlainOf(handle);
    return s != nullptr ? PlainFileStreamTell(s) : -1;
}

int DefaultSeek(uint32_t handle, int32_t offset, int origin) {
    PlainFileStream *s = PlainOf(handle);
    return s != nullptr ? PlainFileStreamSeek(s, offset, origin) : -1;
}

size_t DefaultRead(void *buffer, size_t elementSize, size_t count, uint32_t handle) {
    PlainFileStream *s = PlainOf(handle);
    return s != nullptr ? PlainFileStreamRead(buffer, elementSize, count, s) : static_cast<size_t>(-1);
}

int DefaultEof(uint32_t handle) {
    PlainFileStream *s = PlainOf(handle);
    return s != nullptr ? PlainFileStreamEof(s) : -1;
}

int DefaultIdleCheck(uint32_t handle) {
    PlainFileStream *s = PlainOf(handle);
    return s != nullptr ? PlainFileStreamIdleCheck(s) : -1;
}

int DefaultSetDir(const char *path) {
    if (path == nullptr) return -1;
    if (chdir(FileSystemPath(path).c_str()) == 0) return 0;
    if (errno != ENOENT && errno != ENOTDIR) return -1;
    return chdir(ResolveFilePath(path).c_str()) == 0 ? 0 : -1;
}

// The current directory in Shift-JIS; a directory longer than 256 characters gives "" and -1.
int DefaultGetDir(char *buffer) {
    if (buffer == nullptr) return -1;
    buffer[0] = '\0';
    char utf8[PATH_MAX];
    if (getcwd(utf8, sizeof utf8) == nullptr) return -1;
    char sjis[PATH_MAX];
    Utf8ToSjis(utf8, sjis, sizeof sjis);
    if (std::strlen(sjis) > static_cast<size_t>(kDefaultDirectorySize)) return -1;
    std::strcpy(buffer, sjis);
    return 0;
}

constexpr FileStreamTable kDefaultFileStreamTable = {
    DefaultOpen,   DefaultClose,  DefaultTell,      DefaultSeek,      DefaultRead,     DefaultEof,
    DefaultIdleCheck, DefaultSetDir, DefaultGetDir, DefaultFindFirst, DefaultFindNext, DefaultFindEnd,
};

FileStreamTable g_currentTable = kDefaultFileStreamTable;

uint32_t HandleOf(void *data) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(data)); }

int32_t FileOpsTell(void *data) { return FileTell(HandleOf(data)); }
int FileOpsSeek(void *data, int32_t offset, int origin) { return FileSeek(HandleOf(data), offset, origin); }
size_t FileOpsRead(void *buffer, size_t elementSize, size_t count, void *data) {
    return FileRead(buffer, elementSize, count, HandleOf(data));
}
int FileOpsEof(void *data) { return FileEof(HandleOf(data)); }
int FileOpsIdleCheck(void *data) { return FileIdleCheck(HandleOf(data)); }
int FileOpsClose(void *data) { return FileClose(HandleOf(data)); }

constexpr StreamOps kFileStreamOps = {FileOpsTell, FileOpsSeek, FileOpsRead, FileOpsEof, FileOpsIdleCheck, FileOpsClose};

}  // namespace

// Until the archive layer answers this, no path lies in an archive.
bool ResolveArchivePath(const char *, ArchivePathResolution *) { return false; }

void ResetArchives() {}

void InstallDefaultFileOperations() { SetFileStreamTable(nullptr); }

// Open streams belong to their callers and stay open; archives that no open file uses are closed
// here once the archive layer exists.
void EndFileLayer() {}

void SetFileStreamTable(const FileStreamTable *table) {
    g_currentTable = table != nullptr ? *table : kDefaultFileStreamTable;
}

const FileStreamTable &CurrentFileStreamTable() { return g_currentTable; }
const StreamOps &GetFileStreamOps() { return kFileStreamOps; }

uint32_t FileOpen(const char *path, int useCache, int unused, int noWait) {
    return g_currentTable.Open != nullptr ? g_currentTable.Open(path, useCache, unused, noWait) : 0;
}
int FileClose(uint32_t handle) { return g_currentTable.Close != nullptr ? g_currentTable.Close(handle) : -1; }
int32_t FileTell(uint32_t handle) { return g_currentTable.Tell != nullptr ? g_currentTable.Tell(handle) : -1; }
int FileSeek(uint32_t handle, int32_t offset, int origin) {
    return g_currentTable.Seek != nullptr ? g_currentTable.Seek(handle, offset, origin) : -1;
}
size_t FileRead(void *buffer, size_t elementSize, size_t count, uint32_t handle) {
    return g_currentTable.Read != nullptr ? g_currentTable.Read(buffer, elementSize, count, handle) : 0;
}
int FileEof(uint32_t handle) { return g_currentTable.Eof != nullptr ? g_currentTable.Eof(handle) : -1; }
int FileIdleCheck(uint32_t handle) { return g_currentTable.IdleCheck != nullptr ? g_currentTable.IdleCheck(handle) : -1; }
int FileSetDir(const char *path) { return g_currentTable.SetDir != nullptr ? g_currentTable.SetDir(path) : -1; }
int FileGetDir(char *buffer) { return g_currentTable.GetDir != nullptr ? g_currentTable.GetDir(buffer) : -1; }
intptr_t FileFindFirst(const char *pattern, FileInfo *out) {
    return g_currentTable.FindFirst != nullptr ? g_currentTable.FindFirst(pattern, out) : -1;
}
int FileFindNext(intptr_t search, FileInfo *out) {
    return g_currentTable.FindNext != nullptr ? g_currentTable.FindNext(search, out) : -1;
}
int FileFindEnd(intptr_t search) { return g_currentTable.FindEnd != nullptr ? g_currentTable.FindEnd(search) : -1; }

}  // namespace zq
