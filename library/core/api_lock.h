// The lock that serialises the life-cycle entry points (start-up, shutdown, message processing):
// re-entrant for its owner, and waiting threads are served strictly in the order they arrived.
#pragma once

namespace zq {

constexpr int kApiLockQueueSize = 4096;

void ApiLockEnter();
void ApiLockLeave();
// Releases the queue's events (shutdown); the lock is rebuilt on its next use.
void ApiLockDestroy();
// Number of threads waiting in the queue (for tests and diagnostics).
int ApiLockWaiterCount();

// Holds the lock for one scope.
class ApiLockScope {
public:
    ApiLockScope() { ApiLockEnter(); }
    ~ApiLockScope() { ApiLockLeave(); }
    ApiLockScope(const ApiLockScope &) = delete;
    ApiLockScope &operator=(const ApiLockScope &) = delete;
};

}  // namespace zq
