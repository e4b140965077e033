// Clocks: the 31-bit millisecond count and the choice between the millisecond clock and the
// high-resolution counter (the host's nanosecond clock) for finer readings.
#include "core/timing.h"

#include "core/log.h"
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
}

bool IsPerformanceCounterUsable() { return State().perfCounterUsable != 0; }
int64_t PerformanceFrequency() { return State().perfFrequency; }

}  // namespace zq

extern "C" int GetMillisecondCount(void) {
    return static_cast<int>(zq::ActiveHost().Milliseconds() & 0x7FFFFFFFu);
}
