// Timer objects: a start and an end on the wrapping millisecond counter. A
// counter that has wrapped below the start counts as expired.
#pragma once

#include <cstdint>

class ITimer {
 public:
  virtual ~ITimer() = default;
  virtual bool IsExpired() = 0;
  virtual void Restart(uint32_t ms) = 0;
  virtual uint32_t GetElapsedMsec() = 0;
  virtual uint32_t GetMsecCounter() = 0;
};

class TPCTimer : public ITimer {
 public:
  explicit TPCTimer(uint32_t ms) { Restart(ms); }
  bool IsExpired() override;
  void Restart(uint32_t ms) override;
  uint32_t GetElapsedMsec() override;
  uint32_t GetMsecCounter() override;

 protected:
  uint32_t start_ = 0;
  uint32_t end_ = 0;
};

class TLinTimer : public TPCTimer {
 public:
  using TPCTimer::TPCTimer;
};

// Whether counter lies outside the running span [start, end) of a timer.
bool TimerSpanExpired(uint32_t start, uint32_t end, uint32_t counter);

namespace TARN::Common {

// The start/end timer used by the port slots, the command session and the
// notification handlers: CheckTimer() is true while it runs.
class Timer {
 public:
  explicit Timer(uint32_t ms = 0) { Restart(ms); }
  void Restart(uint32_t ms);
  bool CheckTimer() const;

 private:
  uint32_t start_ = 0;
  uint32_t end_ = 0;
};

}  // namespace TARN::Common
