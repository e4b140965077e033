// A manual-reset event: once set it stays set, releasing every waiter, until it is reset. The
// file-access threads are fed through two of them (request and done).
//
// A waiter first watches the flag for a few microseconds before it sleeps: a command and its
// answer usually follow each other that closely, and a sleep and wake-up per hand-over would
// cost far more than the work handed over (a small read served from the cache).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace zq {

class ManualResetEvent {
public:
    explicit ManualResetEvent(bool signalled) : signalled_(signalled) {}
    ManualResetEvent(const ManualResetEvent &) = delete;
    ManualResetEvent &operator=(const ManualResetEvent &) = delete;

    void Set() {
        {
            std::lock_guard<std::mutex> guard(lock_);
            signalled_.store(true, std::memory_order_release);
        }
        changed_.notify_all();
    }

    void Reset() {
        std::lock_guard<std::mutex> guard(lock_);
        signalled_.store(false, std::memory_order_release);
    }

    void Wait() {
        if (SpinUntilSet()) return;
        std::unique_lock<std::mutex> guard(lock_);
        changed_.wait(guard, [this] { return IsSetNow(); });
    }

    // True when the event was set within the time; false on a time-out.
    bool WaitFor(std::chrono::milliseconds timeout) {
        if (SpinUntilSet()) return true;
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, timeout, [this] { return IsSetNow(); });
    }

    bool IsSet() { return IsSetNow(); }

private:
    static constexpr auto kSpinTime = std::chrono::microseconds(20);
    static constexpr int kSpinsBetweenClockReads = 64;

    bool IsSetNow() const { return signalled_.load(std::memory_order_acquire); }

    // Watches the flag for up to kSpinTime; true when it was seen set.
    bool SpinUntilSet() const {
        const auto end = std::chrono::steady_clock::now() + kSpinTime;
        for (;;) {
            for (int i = 0; i < kSpinsBetweenClockReads; ++i) {
                if (IsSetNow()) return true;
#if defined(__x86_64__) || defined(__i386__)
                _mm_pause();
#endif
            }
            if (std::chrono::steady_clock::now() >= end) return IsSetNow();
        }
    }

    std::mutex lock_;
    std::condition_variable changed_;
    std::atomic<bool> signalled_;
};

}  // namespace zq
