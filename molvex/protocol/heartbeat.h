// The heartbeat of a command session: the PIN pad must show a sign of life
// within a time-out, or the operation ends with 2004.
#pragma once

#include <cstdint>

#include "molvex/platform/msec_counter.h"

class HeartBeatObject {
 public:
  static constexpr uint32_t kDefaultTimeoutMs = 140000;
  static constexpr uint32_t kSlackMs = 200;

  static HeartBeatObject& Instance();
  void ResetForTests();

  // The PIN pad reports its status interval: the time-out follows it.
  void SetDynamic(bool on) { dynamic_ = on; }
  bool dynamic() const { return dynamic_; }
  // The "lost" limit (0: off); logs it and restarts the "last" time.
  void SetHeartBeatLostSeconds(int32_t seconds);
  uint32_t lostLimitMs() const { return lostLimitMs_; }
  void SetLostLimitMs(uint32_t ms) { lostLimitMs_ = ms; }
  // Heartbeat data from the PIN pad.
  void SetHeartBeatTimeout(uint8_t status, uint32_t ms);

  uint32_t timeoutMs() const { return timeoutMs_; }
  void SetTimeoutMs(uint32_t ms) { timeoutMs_ = ms; }
  // The timer runs for the time-out plus a small slack.
  void Restart() { timer_ = drvSetTimer(timeoutMs_ + kSlackMs); }
  void RestartWith(uint32_t ms) { timer_ = drvSetTimer(ms); }
  bool Expired() const { return drvCheckTimer(timer_); }
  void TouchLast() { last_ = drvGetTimeMSec64(); }
  uint64_t SinceLastMs() const { return drvGetTimeMSec64() - last_; }

 private:
  uint32_t timeoutMs_ = kDefaultTimeoutMs;
  uint32_t lostLimitMs_ = 0;
  bool dynamic_ = false;
  uint64_t last_ = 0;
  drv_deadline_t timer_ = 0;
};
