#include "molvex/ui/ui_registration.h"

#include <memory>

#include "molvex/platform/device_layer.h"
#include "molvex/platform/system.h"
#include "molvex/ui/console_display.h"
#include "molvex/ui/console_keyboard.h"
#include "molvex/ui/display_adapter.h"
#include "molvex/ui/text_printer.h"

namespace {

std::unique_ptr<IDevice> MakeDisplay(uint16_t) { return std::make_unique<TLinConsoleDisplay>(); }

std::unique_ptr<IDevice> MakePrinter(uint16_t) { return std::make_unique<TLinStubTextPrinter>(); }

std::unique_ptr<IDevice> MakeKeyboard(uint16_t) {
  auto* display = dynamic_cast<TLinConsoleDisplay*>(ISystem::Instance()->GetDevice(DEVICE_DISPLAY));
  return std::make_unique<TLinConsoleKeyboard>(display);
}

}  // namespace

void RegisterUiDevices() {
  RegisterDeviceFactory(DEVICE_DISPLAY, MakeDisplay);
  RegisterDeviceFactory(DEVICE_PRINTER, MakePrinter);
  RegisterDeviceFactory(DEVICE_KEYBOARD, MakeKeyboard);
  drvPlatformHooks().display_init = adapter::graphics::Display::init;
}
