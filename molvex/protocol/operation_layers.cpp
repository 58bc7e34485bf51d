#include "molvex/protocol/operation_layers.h"

#include <cstdlib>
#include <memory>

#include "molvex/front/run/operation_run.h"
#include "molvex/link/device_access.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/system.h"
#include "molvex/protocol/client_factory.h"
#include "molvex/protocol/heartbeat.h"
#include "molvex/protocol/idle_processing.h"
#include "molvex/protocol/protocol_timings.h"
#include "molvex/services/registration.h"
#include "molvex/services/slave_hooks.h"
#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/console_display.h"
#include "molvex/ui/printer_driver.h"
#include "molvex/ui/ui_registration.h"

namespace {

void OpenPrinter(int canvas) { drvOpenPrinter(canvas); }
void DoneNewCheck() { termDoneNewCheck(); }

void OpenConsoleDisplay() {
  ISystem* system = ISystem::Instance();
  if (system == nullptr) return;
  if (auto* display = dynamic_cast<TLinConsoleDisplay*>(system->GetDevice(DEVICE_DISPLAY))) display->Open();
}

std::unique_ptr<IOperationClient> CreateClient(DavizParams& params, uint16_t& code) {
  return CreatePciDssClient(params, code);
}

const OperationRunHooks kHooks = [] {
  OperationRunHooks hooks;
  hooks.open_printer = OpenPrinter;
  hooks.done_new_check = DoneNewCheck;
  hooks.open_console_display = OpenConsoleDisplay;
  hooks.create_client = CreateClient;
  return hooks;
}();

}  // namespace

void InstallOperationLayers() {
  RegisterLinkDevices();
  RegisterUiDevices();
  RegisterSlaveServices();
  slvSetHeartBeatHook([](uint8_t status, uint32_t ms) { HeartBeatObject::Instance().SetHeartBeatTimeout(status, ms); });
  drvSetIdleHook(DoIdleProcessing);
  if (const char* divisor = std::getenv(kWaitDivisorVariable)) {
    long value = std::strtol(divisor, nullptr, 10);
    if (value > 1 && value <= 1000) ScaleProtocolTimings(static_cast<uint32_t>(value));
  }
}

const OperationRunHooks* OperationLayerHooks() { return &kHooks; }
