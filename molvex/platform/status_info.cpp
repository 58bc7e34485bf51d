#include "molvex/platform/status_info.h"

#include <cstring>

#include "molvex/platform/device_interfaces.h"
#include "molvex/platform/system.h"

extern "C" void drvGetStatusInfo(T_CUR_STATUS_INFO* record) {
  if (record == nullptr) return;
  std::memset(record, 0, sizeof *record);
  std::memset(record, 0xFF, 7);  // fields 0 to 6 start unknown
  ISystem* system = ISystem::Instance();
  // No battery, wireless or mobile device exists on a PC: their fields stay unknown.
  if (auto* printer = dynamic_cast<IPrinterStatusSource*>(system->GetDevice(DEVICE_PRINTER))) {
    record->printer_ready = printer->QueryStatus() == 0 ? 1 : 0;
  }
  if (auto* network = dynamic_cast<INetworkStateSource*>(system->GetDevice(DEVICE_ETHERNET))) {
    record->network_up = network->GetInterfaceState() == 3 ? 1 : 0;
  }
}
