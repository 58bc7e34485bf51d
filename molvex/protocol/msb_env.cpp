#include "molvex/protocol/msb_env.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>
#include <string>

#include "molvex/link/message_link.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/platform/system.h"
#include "molvex/protocol/msb_session.h"
#include "molvex/protocol/terminating.h"
#include "molvex/services/slave_dispatcher.h"
#include "molvex/ui/console_display.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

bool OperationHidesScreens(uint8_t op) { return op == 29 || op == 30 || op == 31 || op == 47 || op == 53; }

void OpenConsoleDisplay() {
  ISystem* system = ISystem::Instance();
  if (system == nullptr) return;
  if (auto* display = dynamic_cast<TLinConsoleDisplay*>(system->GetDevice(DEVICE_DISPLAY))) display->Open();
}

void PauseWithIdle(uint32_t ms) {
  drv_deadline_t deadline = drvSetTimer(ms);
  while (!drvCheckTimer(deadline)) drvIdleWait(nullptr, 0, 10);
}

}  // namespace

MsbDavizEnv::MsbDavizEnv(char modelLetter, uint8_t capabilities)
    : modelLetter_(modelLetter), capabilities_(capabilities) {
  relay_.SetSessionFlags(capabilities & kCapNotifications);
}

void MsbDavizEnv::Send(LongMessage& message) {
  tspFixLongMessageID(message.msg());
  tspSendInfoMessage(static_cast<int8_t>(PINPAD_PORT), &message);
}

uint16_t MsbDavizEnv::MasterCall(const LongMessage& request, LongMessage& reply) {
  return slvMasterCall(relay_, reply, request);
}

uint16_t MsbDavizEnv::MasterCallComms(const LongMessage& request, LongMessage& reply) {
  return relay_.MasterCallComms(reply, request);
}

void MsbDavizEnv::MasterCallReturnError(uint16_t code, LongMessage& reply) {
  reply.msg()->command = static_cast<uint8_t>(code);
  if (code != 0) reply.msg()->length = 0;
}

uint16_t MsbDavizEnv::Run(DavizParams& params, DavizResult& result) {
  if ((params.GetFlags() & kDavizFlagShowScreens) == 0 && !OperationHidesScreens(params.GetOperType()) &&
      Ini_IsShowScreens()) {
    params.AddFlags(kDavizFlagShowScreens);
    OpenConsoleDisplay();
  }
  relay_.SetHighSpeedLink(drvIsHighSpeedConnection(static_cast<int8_t>(PINPAD_PORT)));
  return tspRunDavizCommandMsb(params, result, *this);
}

void MsbDavizEnv::ProcessTerminatingFlag(uint8_t flag) {
  const TerminatingKind* kind = GetTerminatingKind(flag);
  if (kind == nullptr) return;
  ReportString("Run %s notify (retry %d times)", kind->name, static_cast<int>(kind->tries));
  notifications().SetHandler(std::make_unique<AbortNotifyHandler>(*kind));
}

void MsbDavizEnv::ProcessTerminatingFlags() {
  TerminatingController& controller = TerminatingController::instance();
  const uint8_t current = controller.getCurrentOperation();
  if (current >= kTerminateCancel && current <= kTerminateLoan) {
    ProcessTerminatingFlag(current);
    controller.reset();
    return;
  }
  const std::string off = pcc_MakeFullPath(kPollingOffFile, PathToCurrent);
  struct stat info {};
  if (stat(off.c_str(), &info) != 0) {
    // Gone: a new invalid text is worth a new warning.
    warnedInvalidText_ = false;
    return;
  }
  bool readable = false;
  const uint8_t flag = GetTerminatingFlag(off.c_str(), &readable);
  if (!readable) {
    PauseWithIdle(100);
    ReportString("Error reading file %s", kPollingOffFile);
    return;
  }
  if (flag == kTerminateNone) {
    if (!warnedInvalidText_) {
      char text[101] = {};
      if (FILE* f = std::fopen(off.c_str(), "rb")) {
        size_t n = std::fread(text, 1, 100, f);
        std::fclose(f);
        while (n > 0 && static_cast<unsigned char>(text[n - 1]) < 0x20) --n;
        text[n] = '\0';
      }
      ReportString("WARNING! Invalid text in %s: '%s'", kPollingOffFile, text);
      warnedInvalidText_ = true;
    }
    return;
  }
  ProcessTerminatingFlag(flag);
  const std::string ok = pcc_MakeFullPath(kPollingOkFile, PathToCurrent);
  std::remove(ok.c_str());
  std::rename(off.c_str(), ok.c_str());
  ReportString("Operation terminated by file %s", kPollingOffFile);
}

void MsbDavizEnv::EndSession() {
  relay_.CloseAll();
  notifications().Clear();
}
