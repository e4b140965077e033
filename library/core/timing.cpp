// Clocks and waiting: the 31-bit millisecond count, microseconds from the time-stamp counter, the
// high-resolution counter (the host's nanosecond clock) or the millisecond clock, the choice
// between the last two at window creation, the local date, and the wait for a key.
#include "core/timing.h"

#include <ctime>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define ZQ_HAVE_TSC 1
#endif

#include "core/lifecycle.h"
#include "core/log.h"
#include "core/system_info.h"
#include "core/window.h"
#include "platform/host.h"
#include "zqlib.h"

namespace zq {
namespace {

constexpr int kTimerProbeUpdates = 60;
constexpr uint32_t kTimerProbeMilliseconds = 1000;
constexpr int64_t kNanosecondsPerSecond = 1000000000;

struct TimerState {
    int perfCounterUsable = 0;
    int64_t perfFrequency = 0;
};

TimerState &State() {
    static TimerState state;
    return state;
}

}  // namespace

void SelectTimer() {
    TimerState &t = State();
    Host &host = ActiveHost();
    t.perfFrequency = kNanosecondsPerSecond;
    t.perfCounterUsable = 1;

    LogText("タイマーの精度を検査します\n");
    int clockUpdates = 0, counterUpdates = 0;
    uint32_t lastClock = host.Milliseconds();
    int64_t lastCounter = host.Nanoseconds();
    const uint32_t start = host.Milliseconds();
    if (ProcessMessagesBody() == 0) {
        while (clockUpdates < kTimerProbeUpdates && counterUpdates < kTimerProbeUpdates &&
               host.Milliseconds() - start < kTimerProbeMilliseconds) {
            const int64_t counter = host.Nanoseconds();
            if (counter != lastCounter) {
                ++counterUpdates;
                lastCounter = counter;
            }
            const uint32_t clock = host.Milliseconds();
            if (clock != lastClock) {
                ++clockUpdates;
                lastClock = clock;
            }
            if (ProcessMessagesBody() != 0) break;
        }
    }
    LogLine("精度結果 更新回数 マルチメディアタイマー：%d  パフォーマンスカウンター：%d", clockUpdates, counterUpdates);
    LogText(" ");
    if (clockUpdates > counterUpdates) {
        LogLine("マルチメディアタイマーを使用します タイマー分解能 : %d.00 ms ", 1);
        t.perfCounterUsable = 0;
    } else {
        LogLine("パフォーマンスカウンターを使用します タイマー分解能 : %lf KHz ", t.perfFrequency / 1000.0);
    }
    LogText(" ");
    SeedRandom(static_cast<int>(host.Milliseconds() & 0x7FFFFFFFu));
}

void DateFromTime(int64_t seconds, DateRecord *out) {
    const time_t when = static_cast<time_t>(seconds);
    struct tm local;
    if (localtime_r(&when, &local) == nullptr) {
        *out = DateRecord{0, 0, 0, 0, 0, 0};
        return;
    }
    *out = DateRecord{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

bool IsPerformanceCounterUsable() { return State().perfCounterUsable != 0; }
int64_t PerformanceFrequency() { return State().perfFrequency; }

}  // namespace zq

extern "C" int GetMillisecondCount(void) {
    return static_cast<int>(zq::ActiveHost().Milliseconds() & 0x7FFFFFFFu);
}

extern "C" int64_t GetMicrosecondCount(int useTimeStampCounter) {
    using zq::ActiveHost;
    // Products are formed in 128 bits so that no reading can overflow before the division.
#ifdef ZQ_HAVE_TSC
    const zq::SystemInfo &info = zq::GetSystemInfo();
    if (useTimeStampCounter == 1 && info.hasTimeStampCounter && info.cyclesPerSecond > 0 && zq::IsLibraryInitialised()) {
        return static_cast<int64_t>(static_cast<__int128>(__rdtsc()) * 1000000 / info.cyclesPerSecond);
    }
#else
    (void)useTimeStampCounter;
#endif
    if (zq::IsPerformanceCounterUsable()) {
        return static_cast<int64_t>(static_cast<__int128>(ActiveHost().Nanoseconds()) * 1000000 / zq::PerformanceFrequency());
    }
    return static_cast<int64_t>(ActiveHost().Milliseconds()) * 1000;
}

extern "C" int ReadLocalDate(DateRecord *out) {
    if (out == nullptr) return -1;
    zq::DateFromTime(static_cast<int64_t>(time(nullptr)), out);
    return 0;
}

extern "C" int WaitForKey(void) {
    zq::Host &host = zq::ActiveHost();
    while (ProcessMessages() == 0 && CheckAnyInput(7) != 0) host.Sleep(1);
    int result = 0;
    while (ProcessMessages() == 0) {
        result = CheckAnyInput(7);
        if (result != 0) break;
        host.Sleep(1);
    }
    return result;
}
