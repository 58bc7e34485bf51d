#include <gtest/gtest.h>

#include "molvex/platform/msec_counter.h"
#include "molvex/platform/timer.h"

namespace {

class Timers : public ::testing::Test {
 protected:
  void TearDown() override { drvSetClockOffsetForTests(0); }
  // Moves the clock so that the millisecond counter stands at `counter` now.
  void SetCounter(uint32_t counter) {
    drvSetClockOffsetForTests(0);
    int64_t now = static_cast<int64_t>(drvGetTimeMSec64() % 1000000000ull);
    offset_ = static_cast<int64_t>(counter) - now + 1000000000ll * 3;
    drvSetClockOffsetForTests(offset_);
  }
  // Lets ms pass on both counters at once.
  void Advance(int64_t ms) {
    offset_ += ms;
    drvSetClockOffsetForTests(offset_);
  }
  int64_t offset_ = 0;
};

TEST_F(Timers, CounterRunsModuloAMillionSeconds) {
  SetCounter(999999000u);
  uint32_t c = drvGetTimeMSec();
  EXPECT_GE(c, 999999000u);
  EXPECT_LT(c, 1000000000u);
  SetCounter(5u);
  EXPECT_LT(drvGetTimeMSec(), 1000u);
}

TEST_F(Timers, SpanRules) {
  struct Case {
    uint32_t start, end, counter;
    bool expired;
  } cases[] = {
      {100, 200, 150, false}, {100, 200, 200, true}, {100, 200, 99, true},
      {900, 100, 950, false}, {900, 100, 50, false},  // end below start: it wrapped with the counter
      {900, 100, 100, true},  {900, 100, 899, true},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TimerSpanExpired(c.start, c.end, c.counter), c.expired) << c.start << " " << c.end << " " << c.counter;
  }
}

TEST_F(Timers, DeadlineSetBeforeTheWrapIsReachedInTime) {
  SetCounter(999999900u);  // 100 ms before the counter wraps
  drv_deadline_t deadline = drvSetTimer(300);
  drv_deadline_t later = drvAddTimeToTimer(deadline, 60000);
  EXPECT_FALSE(drvCheckTimer(deadline));
  Advance(350);
  EXPECT_LT(drvGetTimeMSec(), 1000u);  // the counter has wrapped
  EXPECT_TRUE(drvCheckTimer(deadline));
  EXPECT_FALSE(drvCheckTimer(later));
}

TEST_F(Timers, TimerObjectsExpireWhenTheCounterWraps) {
  SetCounter(999999900u);
  TLinTimer timer(60000);
  TARN::Common::Timer running(60000);
  EXPECT_FALSE(timer.IsExpired());
  EXPECT_TRUE(running.CheckTimer());
  SetCounter(10u);
  EXPECT_TRUE(timer.IsExpired());
  EXPECT_FALSE(running.CheckTimer());
  timer.Restart(60000);
  EXPECT_FALSE(timer.IsExpired());
}

}  // namespace
