// The life-cycle lock: re-entrant for its owner; other threads queue in arrival order, each on its
// own manual-reset event, and the head of the queue is woken when the owner lets go. The queue
// holds 4,096 threads; a further thread polls every millisecond until a slot is free.
#include "core/api_lock.h"

#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace zq {
namespace {

// A manual-reset event: stays signalled until reset, so a wake that comes before the wait is kept.
struct ManualResetEvent {
    std::mutex mutex;
    std::condition_variable changed;
    bool signalled = false;

    void Set() {
        std::lock_guard<std::mutex> guard(mutex);
        signalled = true;
        changed.notify_all();
    }
    void Reset() {
        std::lock_guard<std::mutex> guard(mutex);
        signalled = false;
    }
    void Wait() {
        std::unique_lock<std::mutex> guard(mutex);
        changed.wait(guard, [this] { return signalled; });
    }
};

struct QueueEntry {
    long threadId;
    ManualResetEvent *event;
};

struct ApiLockState {
    int lockCount = 0;
    int locked = 0;
    long owner = -1;
    QueueEntry queue[kApiLockQueueSize] = {};
    int waiterCount = 0;
    int created = 0;
    std::mutex guard;
    ManualResetEvent events[kApiLockQueueSize];
};

ApiLockState &State() {
    static ApiLockState state;
    return state;
}

long CurrentThreadId() {
    return static_cast<long>(syscall(SYS_gettid));
}

// Gives every queue slot its own event (first use, and again after ApiLockDestroy).
void CreateIfNeeded(ApiLockState &s) {
    if (s.created) return;
    for (int i = 0; i < kApiLockQueueSize; ++i) {
        s.queue[i] = {0, &s.events[i]};
        s.events[i].Reset();
    }
    s.created = 1;
}

void TakeLock(ApiLockState &s, long self) {
    s.lockCount += 1;
    s.locked = 1;
    s.owner = self;
}

}  // namespace

void ApiLockEnter() {
    ApiLockState &s = State();
    const long self = CurrentThreadId();
    for (;;) {
        std::unique_lock<std::mutex> guard(s.guard);
        CreateIfNeeded(s);
        if ((s.locked && s.owner == self) || (!s.locked && (s.waiterCount == 0 || s.owner == self))) {
            TakeLock(s, self);
            return;
        }
        if (!s.locked && s.queue[0].threadId == self) {
            // Leave the queue: the others move up, this entry's event goes to the freed last slot.
            ManualResetEvent *event = s.queue[0].event;
            for (int i = 1; i < s.waiterCount; ++i) s.queue[i - 1] = s.queue[i];
            s.queue[s.waiterCount - 1] = {0, event};
            s.waiterCount -= 1;
            TakeLock(s, self);
            return;
        }
        if (s.waiterCount == kApiLockQueueSize) {
            guard.unlock();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            continue;
        }
        QueueEntry &entry = s.queue[s.waiterCount];
        entry.threadId = self;
        ManualResetEvent *event = entry.event;
        s.waiterCount += 1;
        guard.unlock();
        event->Wait();
        event->Reset();
    }
}

void ApiLockLeave() {
    ApiLockState &s = State();
    ManualResetEvent *wake = nullptr;
    {
        std::lock_guard<std::mutex> guard(s.guard);
        if (s.lockCount <= 0) return;
        if (s.lockCount == 1) {
            s.locked = 0;
            s.owner = -1;
            if (s.waiterCount > 0) wake = s.queue[0].event;
        }
        s.lockCount -= 1;
    }
    if (wake != nullptr) {
        wake->Set();
        std::this_thread::yield();
    }
}

void ApiLockDestroy() {
    ApiLockState &s = State();
    std::lock_guard<std::mutex> guard(s.guard);
    // Threads still queued keep their entries; the events stay valid storage either way.
    if (s.waiterCount == 0) s.created = 0;
}

int ApiLockWaiterCount() {
    ApiLockState &s = State();
    std::lock_guard<std::mutex> guard(s.guard);
    return s.waiterCount;
}

}  // namespace zq
