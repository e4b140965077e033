// A manual-reset event: once set it stays set, releasing every waiter, until it is reset. The
// file-access threads are fed through two of them (request and done).
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zq {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled) : signalled_(signalled) {}
    ManualResetEvent(const ManualResetEvent &) = delete;
    ManualResetEvent &operator=(const ManualResetEvent &) = delete;

    void Set() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            signalled_ = true;
        }
        changed_.notify_all();
    }

    void Reset() {
        std::lock_guard<std::mutex> guard(lock_);
        signalled_ = false;
    }

    void Wait() {
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return signalled_; });
    }

    // True when the event was set within the time; false on a time-out.
    bool WaitFor(std::chrono::milliseconds timeout) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, timeout, [this] { return signalled_; });
    }

    bool IsSet() {
        std::lock_guard<std::mutex> guard(lock_);
        return signalled_;
    }

private:
    std::mutex lock_;
    std::condition_variable changed_;
    bool signalled_;
};

}  // namespace zq
