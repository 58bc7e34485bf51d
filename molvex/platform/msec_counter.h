// Time as the rest of molvex sees it: a millisecond counter, deadlines and
// the idle hook that every waiting loop calls on each pass.
#pragma once

#include <cstdint>

// Deadlines live on a counter that does not wrap within a run, so a deadline
// set shortly before the millisecond counter wraps is still reached in time.
using drv_deadline_t = uint64_t;

extern "C" {

// Seconds of the monotonic clock modulo 1,000,000, times 1,000, plus the
// milliseconds of the current second: 0 to 999,999,999, then it wraps.
uint32_t drvGetTimeMSec();

drv_deadline_t drvSetTimer(uint32_t ms);
// True once the deadline has passed.
bool drvCheckTimer(drv_deadline_t deadline);
drv_deadline_t drvAddTimeToTimer(drv_deadline_t deadline, uint32_t ms);
void drvResetTimer();

}

// Milliseconds of the monotonic clock; never wraps within a run.
uint64_t drvGetTimeMSec64();

// Shifts both counters (tests only), to bring a wrap of the millisecond counter near.
void drvSetClockOffsetForTests(int64_t offset_ms);
