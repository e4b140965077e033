// The vertical blank as hosts without access to it derive it: from the display's refresh rate and
// a monotonic clock. Each refresh period begins with a short blank.
#pragma once

#include <cstdint>

namespace zq {

class VerticalBlankClock {
public:
    // A refresh rate of 0 (unknown, as a virtual X server reports) counts as 60 Hz.
    void SetRefreshRate(int hertz) { periodNs_ = 1000000000 / (hertz > 0 ? hertz : 60); }
    int64_t PeriodNs() const { return periodNs_; }
    // In the blank during the first sixteenth of each period.
    bool InBlank(int64_t nowNs) const { return nowNs % periodNs_ < periodNs_ / 16; }
    // Nanoseconds until the next period begins.
    int64_t UntilNextBlank(int64_t nowNs) const { return periodNs_ - nowNs % periodNs_; }

private:
    int64_t periodNs_ = 1000000000 / 60;
};

}  // namespace zq
