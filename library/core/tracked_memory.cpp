// The tracked allocator: every block of library memory carries a header in front of it, all live
// blocks form one chain (newest first, ending at a static sentinel), totals are kept, operations
// can be logged, headers can be checked for damage, and the blocks still held are dumped to the
// log at shutdown.
//
// On a 64-bit machine the two chain pointers make the header fields 40 bytes, so the header (the
// fields and a guard copy of them) is 80 bytes instead of 64; the caller's memory stays 16-byte
// aligned.
#include <cinttypes>
#include <climits>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "core/log.h"
#include "zqlib.h"

namespace zq {
namespace {

struct AllocFields {
    char tag[16];
    uint16_t id;
    int16_t line;
    int32_t size;
    struct AllocHeader *next;  // older block, or the sentinel
    struct AllocHeader *prev;  // newer block, null for the newest
};

struct AllocHeader {
    AllocFields fields;
    unsigned char guard[sizeof(AllocFields)];  // copy of the fields, compared by the check
};

constexpr size_t kHeaderSize = sizeof(AllocHeader);
static_assert(kHeaderSize % 16 == 0, "caller memory must stay 16-byte aligned");
constexpr int kShownDataBytes = 16;

struct Tracker {
    AllocHeader *newest = nullptr;
    AllocHeader sentinel = {};
    int totalSize = 0;
    int blockCount = 0;
    uint16_t nextId = 0;
    int watchSize = 0;
    int logAll = 0;
    int logTotals = 0;
    int checkAlways = 0;
    std::recursive_mutex lock;  // recursive: a failing allocation dumps under the same lock
};

Tracker &State() {
    static Tracker tracker;
    return tracker;
}

void RefreshGuard(AllocHeader *h) {
    std::memcpy(h->guard, &h->fields, sizeof h->fields);
}

AllocHeader *HeaderOf(void *memory) {
    return reinterpret_cast<AllocHeader *>(static_cast<unsigned char *>(memory) - kHeaderSize);
}

unsigned char *DataOf(AllocHeader *h) {
    return reinterpret_cast<unsigned char *>(h) + kHeaderSize;
}

void SetTagAndLine(AllocHeader *h, const char *tag, int line) {
    std::memset(h->fields.tag, 0, sizeof h->fields.tag);
    if (tag != nullptr) {
        const size_t length = std::strlen(tag);
        const size_t keep = length < 15 ? length : 15;
        std::memcpy(h->fields.tag, tag + length - keep, keep);
    }
    h->fields.line = static_cast<int16_t>(line);
    h->fields.id = State().nextId++;
}

// One line describing a block: size, tag, line, id, address and its first bytes as text and hex.
void WriteBlockLine(AllocHeader *h) {
    char text[512];
    const int size = h->fields.size;
    int n = std::snprintf(text, sizeof text,
                          "\tsize:%d(%.3fkb)  file:%s  line:%d  ID:%d  addr:%08" PRIxPTR "  data:<", size,
                          size / 1024.0, h->fields.tag, h->fields.line, h->fields.id,
                          reinterpret_cast<uintptr_t>(DataOf(h)));
    const unsigned char *data = DataOf(h);
    const int shown = size < kShownDataBytes ? (size < 0 ? 0 : size) : kShownDataBytes;
    for (int i = 0; i < shown; ++i) text[n++] = (data[i] < 0x20 || data[i] > 0x7F) ? '.' : static_cast<char>(data[i]);
    n += std::snprintf(text + n, sizeof text - n, "> ");
    if (shown == 0) {
        std::snprintf(text + n, sizeof text - n, "]\n");
    } else {
        text[n++] = '[';
        for (int i = 0; i < shown; ++i) n += std::snprintf(text + n, sizeof text - n, "%02x ", data[i]);
        std::snprintf(text + n - 1, sizeof text - n + 1, "]\n");
    }
    WriteLog(text);
}

void WriteTotalsLine() {
    const Tracker &t = State();
    WriteLogLine("\tTotal size:%d(%.3fkb)  Alloc num:%d", t.totalSize, t.totalSize / 1024.0, t.blockCount);
}

bool IsWatched(int size) {
    const Tracker &t = State();
    return t.watchSize < 0 || size == t.watchSize || t.logAll;
}

// Logging and checking after an allocation or reallocation.
void AfterAllocation(AllocHeader *h, const char *what) {
    Tracker &t = State();
    if (IsWatched(h->fields.size)) {
        WriteLog(what);
        WriteBlockLine(h);
    }
    if (t.logTotals) WriteTotalsLine();
    if (t.checkAlways) CheckAllocations();
}

// Negative sizes fail, and so do sizes whose request with the header does not fit an int: the
// heap request would overflow, and the int totals could not count such a block.
bool HeapSize(int size, size_t *out) {
    if (size < 0 || size > INT_MAX - static_cast<int>(kHeaderSize)) return false;
    *out = static_cast<size_t>(size) + kHeaderSize;
    return true;
}

}  // namespace
}  // namespace zq

using namespace zq;

extern "C" void *TrackedAlloc(int size, const char *tag, int line) {
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    size_t bytes;
    AllocHeader *h = HeapSize(size, &bytes) ? static_cast<AllocHeader *>(std::malloc(bytes)) : nullptr;
    if (h == nullptr) {
        DumpAllocations();
        CheckAllocations();
        return nullptr;
    }
    SetTagAndLine(h, tag, line);
    h->fields.size = size;

    AllocHeader *older = t.newest != nullptr ? t.newest : &t.sentinel;
    older->fields.prev = h;
    h->fields.next = older;
    h->fields.prev = nullptr;
    t.newest = h;
    RefreshGuard(h);
    RefreshGuard(older);

    t.totalSize += size;
    t.blockCount += 1;
    AfterAllocation(h, "mem alloc  ");
    return DataOf(h);
}

extern "C" void *TrackedAllocZero(int size, const char *tag, int line) {
    void *memory = TrackedAlloc(size, tag, line);
    if (memory != nullptr) std::memset(memory, 0, static_cast<size_t>(size));
    return memory;
}

extern "C" void TrackedFree(void *memory) {
    if (memory == nullptr) return;
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    AllocHeader *h = HeaderOf(memory);
    t.totalSize -= h->fields.size;
    t.blockCount -= 1;
    if (t.checkAlways) CheckAllocations();

    AllocHeader *older = h->fields.next;
    AllocHeader *newer = h->fields.prev;
    older->fields.prev = newer;
    RefreshGuard(older);
    if (newer != nullptr) {
        newer->fields.next = older;
        RefreshGuard(newer);
    }
    if (t.newest == h) t.newest = older;

    if (IsWatched(h->fields.size)) {
        WriteLog("mem free  ");
        WriteBlockLine(h);
    }
    if (t.logTotals) WriteTotalsLine();
    std::free(h);
}

extern "C" void *TrackedRealloc(void *memory, int size, const char *tag, int line) {
    if (memory == nullptr) return TrackedAlloc(size, tag, line);
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    AllocHeader *old = HeaderOf(memory);
    const int oldSize = old->fields.size;
    size_t bytes;
    AllocHeader *h = HeapSize(size, &bytes) ? static_cast<AllocHeader *>(std::realloc(old, bytes)) : nullptr;
    if (h == nullptr) {
        DumpAllocations();
        return nullptr;
    }
    if (size > oldSize) std::memset(DataOf(h) + oldSize, 0, static_cast<size_t>(size - oldSize));
    SetTagAndLine(h, tag, line);

    AllocHeader *older = h->fields.next;
    AllocHeader *newer = h->fields.prev;
    older->fields.prev = h;
    RefreshGuard(older);
    if (newer != nullptr) {
        newer->fields.next = h;
        RefreshGuard(newer);
    }
    if (t.newest == old) t.newest = h;

    t.totalSize += size - oldSize;
    h->fields.size = size;
    RefreshGuard(h);
    AfterAllocation(h, "mem realloc  ");
    return DataOf(h);
}

extern "C" void DumpAllocations(void) {
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    WriteLog("\n");
    WriteLog("Alloc memory dump\n");
    if (t.newest != nullptr) {
        for (AllocHeader *h = t.newest; h != &t.sentinel; h = h->fields.next) WriteBlockLine(h);
    }
    WriteTotalsLine();
    WriteLog("\n");
}

extern "C" int CheckAllocations(void) {
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    if (t.newest == nullptr) return 0;
    for (AllocHeader *h = t.newest; h != &t.sentinel; h = h->fields.next) {
        if (std::memcmp(h->guard, &h->fields, sizeof h->fields) != 0) {
            LogText("以下のメモリ確保情報が破損しました");
            WriteBlockLine(h);
            return -1;
        }
    }
    return 0;
}

extern "C" int GetAllocationTotals(int *totalSize, int *blockCount) {
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    if (totalSize != nullptr) *totalSize = t.totalSize;
    if (blockCount != nullptr) *blockCount = t.blockCount;
    return 0;
}

extern "C" int SetAllocationTracking(int watchSize, int logAll, int logTotals, int checkAlways) {
    Tracker &t = State();
    std::lock_guard<std::recursive_mutex> guard(t.lock);
    t.watchSize = watchSize;
    t.logAll = logAll;
    t.logTotals = logTotals;
    t.checkAlways = checkAlways;
    return 0;
}
