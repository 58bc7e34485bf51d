#include "molvex/platform/msec_counter.h"

#include <time.h>

namespace {

int64_t g_offset_ms = 0;

uint64_t MonotonicMs() {
  timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec / 1000000) +
         static_cast<uint64_t>(g_offset_ms);
}

}  // namespace

uint64_t drvGetTimeMSec64() { return MonotonicMs(); }

extern "C" uint32_t drvGetTimeMSec() {
  uint64_t ms = MonotonicMs();
  return static_cast<uint32_t>(((ms / 1000) % 1000000) * 1000 + ms % 1000);
}

extern "C" drv_deadline_t drvSetTimer(uint32_t ms) { return drvGetTimeMSec64() + ms; }
extern "C" bool drvCheckTimer(drv_deadline_t deadline) { return drvGetTimeMSec64() > deadline; }
extern "C" drv_deadline_t drvAddTimeToTimer(drv_deadline_t deadline, uint32_t ms) { return deadline + ms; }
extern "C" void drvResetTimer() {}

void drvSetClockOffsetForTests(int64_t offset_ms) { g_offset_ms = offset_ms; }
