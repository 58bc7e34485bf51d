#include "molvex/platform/timer.h"

#include "molvex/platform/msec_counter.h"

namespace {
// The millisecond counter runs from 0 to 999,999,999.
constexpr uint32_t kCounterSpan = 1000000000u;

// The end may lie beyond the counter's range: such a timer expires when the counter wraps.
uint32_t CounterPlus(uint32_t counter, uint32_t ms) { return counter + ms; }
}  // namespace

bool TimerSpanExpired(uint32_t start, uint32_t end, uint32_t counter) {
  if (end >= start) return counter >= end || counter < start;
  return counter >= end && counter < start;
}

bool TPCTimer::IsExpired() { return TimerSpanExpired(start_, end_, drvGetTimeMSec()); }

void TPCTimer::Restart(uint32_t ms) {
  start_ = drvGetTimeMSec();
  end_ = CounterPlus(start_, ms);
}

uint32_t TPCTimer::GetElapsedMsec() {
  uint32_t now = drvGetTimeMSec();
  return now >= start_ ? now - start_ : now + (kCounterSpan - start_);
}

uint32_t TPCTimer::GetMsecCounter() { return drvGetTimeMSec(); }

namespace TARN::Common {

void Timer::Restart(uint32_t ms) {
  start_ = drvGetTimeMSec();
  end_ = CounterPlus(start_, ms);
}

bool Timer::CheckTimer() const { return !TimerSpanExpired(start_, end_, drvGetTimeMSec()); }

}  // namespace TARN::Common
