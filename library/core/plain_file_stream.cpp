// Plain file streams. Direct mode reads with pread() at the stream's position on the caller's
// thread. Threaded mode (read cache or no-wait reads) hands every system call to a file-access
// thread of the stream's own, through two manual-reset events: the caller touches the command
// fields only while `done` is set, re-arms `done` and then sets `request`; the thread takes the
// command and sets `done` when it has finished. With a cache the thread reads ahead into it while
// it waits for commands.
#include "core/plain_file_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <thread>

#include "core/file_stream.h"
#include "core/log.h"
#include "core/manual_reset_event.h"
#include "core/path_resolve.h"
#include "zqlib.h"

namespace zq {

enum FileAccessCommand : int {
    kCommandOpen = 0,
    kCommandCloseFile = 1,
    kCommandRead = 2,
    kCommandSeek = 3,
    kCommandEnd = 4,
};

constexpr int kResolvedPathSize = 4096;
constexpr auto kReadAheadInterval = std::chrono::milliseconds(100);

// The part of a threaded stream that the file-access thread works on.
struct FileAccessShared {
    std::thread thread;
    int fd = -1;
    ManualResetEvent request{false};
    ManualResetEvent done{true};
    int command = kCommandOpen;
    std::atomic<int> threadEnded{0};
    int openFailed = 0;
    char path[kResolvedPathSize] = "";
    uint8_t *readDestination = nullptr;
    int32_t readPosition = 0;
    int32_t readByteCount = 0;  // bytes wanted; the thread writes back the bytes read
    int32_t seekPosition = 0;
    uint8_t *cache = nullptr;
    int32_t cachePosition = 0;  // file offset of the first valid cache byte
    int32_t cacheFill = 0;      // valid bytes
    int32_t cacheStart = 0;     // where the valid bytes begin in the cache block
    std::atomic<uint32_t> cacheBytesServed{0};
};

struct PlainFileStream {
    int fd;
    int threaded;
    int useCache;
    int noWait;
    int endFlag;
    int32_t position;
    int32_t size;
    FileAccessShared *shared;
};

namespace {

std::atomic<bool> g_holdReads{false};

// Opens the file read-only under its exact name, else under its case-insensitive resolution.
int OpenResolved(const char *path, std::string *resolved) {
    *resolved = FileSystemPath(path);
    int fd = open(resolved->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && (errno == ENOENT || errno == ENOTDIR)) {
        std::string other = ResolveFilePath(path);
        if (other != *resolved) {
            *resolved = std::move(other);
            fd = open(resolved->c_str(), O_RDONLY | O_CLOEXEC);
        }
    }
    return fd;
}

// The size of an opened regular file below 2 GiB; false for anything else (a directory cannot be
// opened as a file).
bool ReadableSize(int fd, int32_t *size) {
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > INT32_MAX) return false;
    *size = static_cast<int32_t>(st.st_size);
    return true;
}

// Reads up to `bytes` at `offset`; the count read, 0 at the end, -1 when nothing could be read.
int32_t ReadAt(int fd, uint8_t *destination, int32_t bytes, int64_t offset) {
    int32_t total = 0;
    while (total < bytes) {
        const ssize_t n = pread(fd, destination + total, static_cast<size_t>(bytes - total), offset + total);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return total > 0 ? total : -1;
        if (n == 0) break;
        total += static_cast<int32_t>(n);
    }
    return total;
}

void CloseThreadFile(FileAccessShared *s) {
    if (s->fd >= 0) close(s->fd);
    s->fd = -1;
}

// Fills the cache after its valid bytes, moving them to the front first when they do not start there.
void ReadAhead(FileAccessShared *s) {
    if (s->fd < 0 || s->cacheFill >= kReadCacheSize) return;
    if (s->cacheStart > 0) {
        std::memmove(s->cache, s->cache + s->cacheStart, static_cast<size_t>(s->cacheFill));
        s->cacheStart = 0;
    }
    const int32_t n = ReadAt(s->fd, s->cache + s->cacheFill, kReadCacheSize - s->cacheFill,
                             int64_t(s->cachePosition) + s->cacheFill);
    if (n > 0) s->cacheFill += n;
}

// Copies the front of the cache into the read's destination, as far as both go; the count copied.
int32_t TakeFromCache(FileAccessShared *s, int32_t wanted) {
    const int32_t n = s->cacheFill < wanted ? s->cacheFill : wanted;
    std::memcpy(s->readDestination, s->cache + s->cacheStart, static_cast<size_t>(n));
    s->readDestination += n;
    s->readPosition += n;
    s->cachePosition += n;
    s->cacheStart += n;
    s->cacheFill -= n;
    if (s->cacheFill == 0) s->cacheStart = 0;
    s->cacheBytesServed.fetch_add(static_cast<uint32_t>(n), std::memory_order_relaxed);
    return n;
}

// Command 2: the front of the cache first when the read continues where the cache starts, the
// rest from the file. A short read (under half the cache) the cache cannot serve refills the whole
// cache from the read position first, so that small sequential reads cost one file read per cache
// block rather than one each; a long one gains nothing from a copy through the cache and goes
// straight to the file, moving the cache to where it ended.
void ServeRead(FileAccessShared *s) {
    int32_t wanted = s->readByteCount;
    int32_t delivered = 0;
    if (s->cache != nullptr && s->readPosition == s->cachePosition && s->cacheFill > 0) {
        const int32_t n = TakeFromCache(s, wanted);
        wanted -= n;
        delivered = n;
    }
    if (wanted > 0 && wanted < kReadCacheSize / 2 && s->cache != nullptr && s->fd >= 0 && s->readPosition >= 0) {
        const int32_t n = ReadAt(s->fd, s->cache, kReadCacheSize, s->readPosition);
        s->cachePosition = s->readPosition;
        s->cacheStart = 0;
        s->cacheFill = n > 0 ? n : 0;
        // What the cache did not get of the read lies past the end of the file (or failed).
        delivered += TakeFromCache(s, wanted);
    } else if (wanted > 0) {
        const int32_t n = s->fd >= 0 && s->readPosition >= 0 ? ReadAt(s->fd, s->readDestination, wanted, s->readPosition) : -1;
        const int32_t got = n > 0 ? n : 0;
        delivered += got;
        if (s->cache != nullptr) {
            s->cacheFill = 0;
            s->cacheStart = 0;
            s->cachePosition = s->readPosition + got;
        }
    }
    s->readByteCount = delivered;
}

void FileAccessThread(FileAccessShared *s) {
    for (;;) {
        if (s->cache != nullptr) {
            while (!s->request.WaitFor(kReadAheadInterval)) ReadAhead(s);
        } else {
            s->request.Wait();
        }
        if (s->command == kCommandRead) {
            while (g_holdReads.load()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        s->request.Reset();
        s->done.Reset();
        bool end = false;
        switch (s->command) {
        case kCommandOpen:
            s->fd = open(s->path, O_RDONLY | O_CLOEXEC);
            if (s->fd < 0) {
                s->openFailed = 1;
                end = true;
            }
            break;
        case kCommandCloseFile:
            CloseThreadFile(s);
            break;
        case kCommandRead:
            ServeRead(s);
            break;
        case kCommandSeek:
            if (s->cache != nullptr) {
                s->cacheFill = 0;
                s->cacheStart = 0;
                s->cachePosition = s->seekPosition;
            }
            break;
        case kCommandEnd:
        default:
            CloseThreadFile(s);
            end = true;
            break;
        }
        if (end) break;
        s->done.Set();
    }
    s->done.Set();
    s->threadEnded.store(1);
}

// Waits until the previous command has finished, then hands over the one the caller filled in.
template <typename Fill>
void PostCommand(FileAccessShared *s, int command, Fill fill) {
    s->done.Wait();
    s->command = command;
    fill(s);
    s->done.Reset();
    s->request.Set();
}

void FreeShared(FileAccessShared *s) {
    if (s == nullptr) return;
    TrackedFree(s->cache);
    s->~FileAccessShared();
    TrackedFree(s);
}

PlainFileStream *OpenDirect(PlainFileStream *stream, const char *path) {
    std::string resolved;
    stream->fd = OpenResolved(path, &resolved);
    if (stream->fd < 0 || !ReadableSize(stream->fd, &stream->size)) {
        if (stream->fd >= 0) close(stream->fd);
        TrackedFree(stream);
        return nullptr;
    }
    return stream;
}

PlainFileStream *OpenThreaded(PlainFileStream *stream, const char *path) {
    std::string resolved;
    const int probe = OpenResolved(path, &resolved);
    const bool readable = probe >= 0 && ReadableSize(probe, &stream->size);
    if (probe >= 0) close(probe);
    if (!readable || resolved.size() >= kResolvedPathSize) {
        TrackedFree(stream);
        return nullptr;
    }
    uint8_t *cache = nullptr;
    if (stream->useCache) {
        cache = static_cast<uint8_t *>(TrackedAlloc(kReadCacheSize, "", 0));
        if (cache == nullptr) {
            LogText("ファイル読み込みキャッシュ用メモリの確保に失敗しました\n");
            TrackedFree(stream);
            return nullptr;
        }
    }
    void *memory = TrackedAlloc(static_cast<int>(sizeof(FileAccessShared)), "", 0);
    if (memory == nullptr) {
        TrackedFree(cache);
        TrackedFree(stream);
        return nullptr;
    }
    FileAccessShared *s = new (memory) FileAccessShared;
    s->cache = cache;
    try {
        s->thread = std::thread(FileAccessThread, s);
    } catch (const std::system_error &) {
        FreeShared(s);
        TrackedFree(stream);
        LogText("ファイルアクセス専用スレッドの作成に失敗しました\n");
        return nullptr;
    }
    stream->shared = s;

    PostCommand(s, kCommandOpen, [&](FileAccessShared *t) {
        std::memcpy(t->path, resolved.c_str(), resolved.size() + 1);
    });
    s->done.Wait();
    if (s->openFailed) {
        s->thread.join();
        FreeShared(s);
        TrackedFree(stream);
        LogText("ファイルのオープンに失敗しました\n");
        return nullptr;
    }
    return stream;
}

}  // namespace

PlainFileStream *OpenPlainFileStream(const char *path, int useCache, int noWait) {
    if (path == nullptr) return nullptr;
    auto *stream = static_cast<PlainFileStream *>(TrackedAllocZero(static_cast<int>(sizeof(PlainFileStream)), "", 0));
    if (stream == nullptr) return nullptr;
    stream->fd = -1;
    stream->useCache = useCache != 0;
    stream->noWait = noWait != 0;
    stream->threaded = stream->useCache || stream->noWait;
    return stream->threaded ? OpenThreaded(stream, path) : OpenDirect(stream, path);
}

int ClosePlainFileStream(PlainFileStream *stream) {
    if (stream == nullptr) return -1;
    if (stream->threaded) {
        FileAccessShared *s = stream->shared;
        PostCommand(s, kCommandEnd, [](FileAccessShared *) {});
        s->done.Wait();
        s->thread.join();
        FreeShared(s);
    } else {
        close(stream->fd);
    }
    TrackedFree(stream);
    return 0;
}

int32_t PlainFileStreamTell(PlainFileStream *stream) { return stream->position; }

int PlainFileStreamSeek(PlainFileStream *stream, int32_t offset, int origin) {
    int64_t target;
    if (!SeekTarget(stream->position, stream->size, offset, origin, &target)) return -1;
    if (target > INT32_MAX || target < INT32_MIN) return -1;
    const int32_t position = static_cast<int32_t>(target);
    if (stream->threaded) {
        PostCommand(stream->shared, kCommandSeek, [&](FileAccessShared *s) { s->seekPosition = position; });
    } else if (lseek(stream->fd, position, SEEK_SET) == static_cast<off_t>(-1)) {
        return -1;
    }
    stream->position = position;
    stream->endFlag = 0;
    return 0;
}

size_t PlainFileStreamRead(void *buffer, size_t elementSize, size_t count, PlainFileStream *stream) {
    if (elementSize == 0) return 0;
    if (stream->position == stream->size) {
        stream->endFlag = 1;
        return 0;
    }
    // A position before the start (a seek there is only possible in threaded mode) reads nothing.
    if (stream->position < 0) return 0;
    const size_t remaining = stream->position < stream->size ? size_t(stream->size - stream->position) : 0;
    if (count > remaining / elementSize) count = remaining / elementSize;
    if (count == 0) {
        stream->endFlag = 1;
        return 0;
    }
    const int32_t bytes = static_cast<int32_t>(elementSize * count);
    size_t result = count;
    if (stream->threaded) {
        FileAccessShared *s = stream->shared;
        PostCommand(s, kCommandRead, [&](FileAccessShared *t) {
            t->readDestination = static_cast<uint8_t *>(buffer);
            t->readPosition = stream->position;
            t->readByteCount = bytes;
        });
        if (!stream->noWait) s->done.Wait();
    } else {
        const int32_t got = ReadAt(stream->fd, static_cast<uint8_t *>(buffer), bytes, stream->position);
        result = got < 0 ? 0 : size_t(got) / elementSize;
    }
    stream->position += bytes;
    return result;
}

int PlainFileStreamEof(PlainFileStream *stream) { return stream->endFlag ? -1 : 0; }

int PlainFileStreamIdleCheck(PlainFileStream *stream) {
    if (!stream->threaded) return 1;
    return stream->shared->done.IsSet() ? 1 : 0;
}

uint32_t PlainFileStreamCacheBytesServed(PlainFileStream *stream) {
    if (stream == nullptr || !stream->threaded) return 0;
    return stream->shared->cacheBytesServed.load(std::memory_order_relaxed);
}

void HoldFileAccessReads(bool hold) { g_holdReads.store(hold); }

}  // namespace zq
