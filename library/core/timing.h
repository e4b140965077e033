// Clocks inside the library: which counter measures microseconds, chosen at window creation.
#pragma once

#include <cstdint>

#include "zqlib.h"

namespace zq {

// Compares how often the millisecond clock and the high-resolution counter change over at most a
// second and keeps the finer one (window creation).
void SelectTimer();
bool IsPerformanceCounterUsable();
int64_t PerformanceFrequency();   // counts per second of the high-resolution counter

// A file time (seconds since 1970) as a local date, for the file functions.
void DateFromTime(int64_t seconds, DateRecord *out);

}  // namespace zq
