#include "molvex/protocol/daviz_command.h"

#include <cstdio>

#include "molvex/link/message_link.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/protocol/session_file.h"
#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/printer_driver.h"
#include "src/pc/report.h"

namespace {
constexpr int kChequeCanvas = 2;
}

bool IsLostAnswerCode(uint16_t code) { return code == kCodeHostLost || code == kCodeAnswerIncomplete || code == 12; }

uint16_t DavizCommand::BeforeRunComand(DavizParams& params, DavizResult&) {
  if (params.GetOperType() != kOpNoSession) {
    DavizSessionWriter writer;
    params.Write(writer);
  }
  return kCodeOk;
}

uint16_t DavizCommand::AfterRunCommand(DavizParams& params, DavizResult& result, uint16_t code) {
  if (!tspNeedSaveSessionStatus(params) || !IsLostAnswerCode(code)) return code;
  ReportString("Result:%d. Try to restore transaction", code);
  return RestoreLastTransaction(params, result, code);
}

uint16_t DavizCommand::RestoreLastTransaction(const DavizParams& params, DavizResult& result, uint16_t) {
  drvCloseComPort(static_cast<int8_t>(PINPAD_PORT));
  // The cheque of the lost operation is discarded: operation 52 prints its own.
  termDoneNewCheck();
  drvOpenPrinter(kChequeCanvas);

  DavizParams restore;
  restore.SetOperType(kOpRestoreLast);
  restore.SetRequestID(params.GetRequestID());
  restore.AddFlags(kDavizFlagExecuting);
  char track2[16];
  int n = std::snprintf(track2, sizeof track2, "%x", static_cast<unsigned>(params.GetRequestID()));
  restore.SetTrack2(track2, n > 0 ? static_cast<size_t>(n) : 0);
  restore.AddByteToExtraData(kTagRestoredOperation, params.GetOperType());
  result.Clear();
  WaitForPinpad();
  return Perform(restore, result);
}

void DavizCommand::WaitForPinpad() {
  drv_deadline_t deadline = drvSetTimer(1000);
  while (!drvCheckTimer(deadline)) drvIdleWait(nullptr, 0, 20);
}

bool DavizCommand::ResetAbortedSession(const DavizParams& params, DavizResult& result) {
  if (!IsSessionRestoreSupported()) return false;
  uint32_t id = tspReadRequestIDAbortedSession(params);
  if (id == 0) return false;
  ReportString("Session %d was aborted. Try to restore last session result.", static_cast<int>(id));
  DavizParams status(params);
  status.SetOperType(kOpStatus);
  status.SetRequestID(id);
  uint16_t code = Perform(status, result);
  if (code == kCodeOk) {
    tspResetSessionStatus();
    ReportString("Result of the session %d was restored succesfully.", static_cast<int>(id));
    return true;
  }
  ReportString("Found session %d with result %d will be cancelled.", static_cast<int>(id), code);
  // Whatever the status request left in the result belongs to no operation.
  result.Clear();
  return false;
}

uint16_t DavizCommand::Execute(DavizParams& params, DavizResult& result) {
  if (ResetAbortedSession(params, result)) return kCodeOk;
  uint16_t code = BeforeRunComand(params, result);
  if (code == kCodeOk) code = Perform(params, result);
  return AfterRunCommand(params, result, code);
}
