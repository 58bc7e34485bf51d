#include "molvex/front/run/layer_wiring.h"

#include "molvex/front/run/operation_run.h"
#include "molvex/platform/system.h"
#include "molvex/protocol/operation_layers.h"
#include "molvex/services/registration.h"
#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/printer_driver.h"
#include "molvex/ui/ui_interfaces.h"
#include "molvex/ui/ui_registration.h"

namespace {

void OpenPrinter(int canvas) { drvOpenPrinter(canvas); }

void OpenConsoleDisplay() {
  // Without a terminal the display does not open; the operation goes on without screens.
  if (auto* display = dynamic_cast<IGraphicDisplay*>(ISystem::Instance()->GetDevice(DEVICE_DISPLAY))) {
    display->Open();
  }
}

}  // namespace

void InstallMolvexLayers() {
  RegisterUiDevices();
  RegisterSlaveServices();
  InstallOperationLayers();
  static OperationRunHooks hooks;
  hooks.open_printer = OpenPrinter;
  hooks.done_new_check = termDoneNewCheck;
  hooks.open_console_display = OpenConsoleDisplay;
  hooks.create_client = CreateOperationClient;
  InstallOperationRunHooks(&hooks);
}
