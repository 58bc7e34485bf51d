// The command client of one operation and its lifecycle: the restore of an
// operation that a crash cut off, the session file around the run, and the
// restore of the last transaction after a lost answer.
#pragma once

#include <cstdint>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"
#include "molvex/front/run/operation_run.h"

// Result codes of the command clients.
inline constexpr uint16_t kCodeOk = 0;
inline constexpr uint16_t kCodeFailure = 99;
inline constexpr uint16_t kCodeNoClient = 101;
inline constexpr uint16_t kCodeNotSupported = 252;
inline constexpr uint16_t kCodeInterrupted = 2000;
inline constexpr uint16_t kCodePinpadSilent = 2004;
inline constexpr uint16_t kCodeMalformedAnswer = 4104;
inline constexpr uint16_t kCodeReadinessWarning = 4181;
inline constexpr uint16_t kCodeHostLost = 4322;
inline constexpr uint16_t kCodeBadArgument = 4332;
inline constexpr uint16_t kCodeAnswerIncomplete = 4338;

// Operations the clients treat specially.
inline constexpr uint8_t kOpPurchase = 1;
inline constexpr uint8_t kOpTotals = 7;
inline constexpr uint8_t kOpStatus = 12;
inline constexpr uint8_t kOpDetailInfo = 36;
inline constexpr uint8_t kOpNoSession = 40;
inline constexpr uint8_t kOpStatusCheck = 41;
inline constexpr uint8_t kOpRestoreLast = 52;
inline constexpr uint8_t kOpText = 56;

// The tag that tells operation 52 which operation it restores.
inline constexpr uint32_t kTagRestoredOperation = 0x5F41;

class DavizCommand : public IOperationClient {
 public:
  DavizCommand() = default;
  DavizCommand(const DavizCommand&) = delete;
  DavizCommand& operator=(const DavizCommand&) = delete;
  ~DavizCommand() override = default;

  virtual uint16_t Perform(DavizParams& params, DavizResult& result) = 0;
  // Puts one 32-bit value into the PIN pad's big-data store.
  virtual uint16_t WriteBigData(uint32_t tag, uint32_t value) = 0;
  void SetDontCloseTerminalConnection() override {}
  virtual uint16_t BeforeRunComand(DavizParams& params, DavizResult& result);
  virtual uint16_t AfterRunCommand(DavizParams& params, DavizResult& result, uint16_t code);
  virtual void WaitForPinpad();
  virtual bool IsSessionRestoreSupported() { return true; }

  uint16_t Execute(DavizParams& params, DavizResult& result) override;

 protected:
  // True when the result of an operation cut off earlier was fetched into result.
  bool ResetAbortedSession(const DavizParams& params, DavizResult& result);
  // Operation 52 for the operation that has just ended with a lost answer.
  uint16_t RestoreLastTransaction(const DavizParams& params, DavizResult& result, uint16_t code);
};

// A client bound to the PIN pad's port.
class SerialPortPciDssClient : public DavizCommand {
 public:
  explicit SerialPortPciDssClient(uint8_t port) : port_(port) {}
  uint8_t port() const { return port_; }

 private:
  uint8_t port_;
};

// Whether the code after an operation that keeps a session means that its
// answer was lost, so that the last transaction must be restored.
bool IsLostAnswerCode(uint16_t code);
