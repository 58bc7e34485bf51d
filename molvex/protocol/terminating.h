// Requests to end the operation early: from the POS through the file
// "POLLING.OFF", or from a wallpaper screen. Each becomes a notification that
// the PC repeats to the PIN pad until the PIN pad has had enough of them.
#pragma once

#include <cstdint>

#include "molvex/platform/msec_counter.h"
#include "molvex/services/notifications.h"

enum TerminatingFlag : uint8_t {
  kTerminateNone = 0,
  kTerminateCancel = 1,
  kTerminateAbort = 2,
  kTerminateManual = 3,
  kTerminateBiometry = 4,
  kTerminateLoan = 5,
  kTerminateRemoteState = 6,  // the terminal reported its state: counts as no request
};

struct TerminatingKind {
  const char* name;
  uint32_t code;   // 0: command 0x50 without data
  uint32_t tries;  // further notifications after the first
};
// The kind of flags 1 to 5; nullptr for any other.
const TerminatingKind* GetTerminatingKind(uint8_t flag);

class TerminatingController {
 public:
  static constexpr uint32_t kMaxTries = 100;

  static TerminatingController& instance();

  // Refused while an earlier request is being repeated (mode 1) and has tries left.
  bool setCurrentOperation(uint8_t flag, uint8_t repeatMode);
  uint8_t getCurrentOperation() const { return current_; }
  void setRepeatMode(uint8_t mode) { repeatMode_ = mode; }
  void reset();
  bool isAbortActive() const;
  void nextTryNotificate() { ++tries_; }

 private:
  uint8_t current_ = kTerminateNone;
  uint8_t repeatMode_ = 0;
  uint32_t tries_ = 0;
};

inline constexpr const char* kPollingOffFile = "POLLING.OFF";
inline constexpr const char* kPollingOkFile = "POLLING.OK";

// 2 for "ABORT", 1 for "CANCEL" (case ignored, trailing control characters
// dropped), 0 for any other text. readable receives whether the file could be read.
uint8_t GetTerminatingFlag(const char* fileName, bool* readable = nullptr);

inline constexpr uint8_t kAbortNotifyType = 1;
inline constexpr uint8_t kAbortNotifyCommand = 0x5B;
inline constexpr uint8_t kCancelNotifyCommand = 0x50;

// Sends the termination notification at most every 650 ms, until it has sent
// one more than its tries.
class AbortNotifyHandler : public INotifyHandler {
 public:
  static constexpr uint32_t kRepeatMs = 650;

  explicit AbortNotifyHandler(const TerminatingKind& kind) : INotifyHandler(kAbortNotifyType, 0), kind_(kind) {}
  bool GetNotify(LongMessage& message) override;
  bool IsNeedStop(const LongMessage* received) override;
  uint32_t sent() const { return sent_; }

 private:
  TerminatingKind kind_;
  uint32_t sent_ = 0;
  bool timing_ = false;
  drv_deadline_t next_ = 0;
};
