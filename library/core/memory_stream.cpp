// Memory streams: a block of memory read through the same six operations as a file. Unlike a
// file, a seek is clamped to the block, and a read that finds less than one element left still
// delivers the remaining bytes (and counts as one element).
#include <cstring>

#include "core/file_stream.h"
#include "zqlib.h"

namespace zq {
namespace {

MemoryStream *AsMemory(void *data) { return static_cast<MemoryStream *>(data); }

int32_t MemoryTell(void *data) { return AsMemory(data)->position; }

int MemorySeek(void *data, int32_t offset, int origin) {
    MemoryStream *m = AsMemory(data);
    int64_t target;
    if (!SeekTarget(m->position, m->size, offset, origin, &target)) return -1;
    if (target < 0) target = 0;
    if (target > m->size) target = m->size;
    m->position = static_cast<int32_t>(target);
    m->endFlag = 0;
    return 0;
}

size_t MemoryRead(void *buffer, size_t elementSize, size_t count, void *data) {
    MemoryStream *m = AsMemory(data);
    if (elementSize == 0) return 0;
    if (m->position >= m->size) {
        m->endFlag = 1;
        return 0;
    }
    const size_t remaining = size_t(m->size - m->position);
    if (count > remaining / elementSize) count = remaining / elementSize;
    const size_t bytes = count > 0 ? elementSize * count : remaining;
    std::memcpy(buffer, m->data + m->position, bytes);
    m->position += static_cast<int32_t>(bytes);
    m->endFlag = 0;
    return count > 0 ? count : 1;
}

int MemoryEof(void *data) { return AsMemory(data)->endFlag; }

int MemoryIdleCheck(void *) { return 1; }

int MemoryClose(void *data) {
    TrackedFree(data);
    return 0;
}

constexpr StreamOps kMemoryStreamOps = {MemoryTell, MemorySeek, MemoryRead, MemoryEof, MemoryIdleCheck, MemoryClose};

}  // namespace

const StreamOps &GetMemoryStreamOps() { return kMemoryStreamOps; }

MemoryStream *CreateMemoryStream(const void *data, int32_t size) {
    auto *stream = static_cast<MemoryStream *>(TrackedAlloc(static_cast<int>(sizeof(MemoryStream)), "", 0));
    if (stream == nullptr) return nullptr;
    stream->data = static_cast<const uint8_t *>(data);
    stream->size = size < 0 ? 0 : size;
    stream->position = 0;
    stream->endFlag = 0;
    return stream;
}

}  // namespace zq
