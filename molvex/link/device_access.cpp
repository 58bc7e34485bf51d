#include "molvex/link/device_access.h"

#include <time.h>

#include <cerrno>
#include <memory>

#include "molvex/link/port_service.h"
#include "molvex/link/rs232.h"
#include "molvex/platform/system.h"
#include "molvex/link/sockets.h"

namespace {

std::unique_ptr<TLinStubExeDeviceLayer>& OwnLayer() {
  static std::unique_ptr<TLinStubExeDeviceLayer> layer;
  return layer;
}

IDeviceLayer*& InstalledLayer() {
  static IDeviceLayer* layer = nullptr;
  return layer;
}

LinkKeyReader& KeyReader() {
  static LinkKeyReader reader;
  return reader;
}

std::unique_ptr<IDevice> MakeSerialInterface(uint16_t) { return std::make_unique<TLinRS232Interface>(); }
std::unique_ptr<IDevice> MakeEthernetInterface(uint16_t) { return std::make_unique<TLinEthernetInterface>(); }

}  // namespace

IDeviceLayer* LinkDeviceLayer() {
  if (InstalledLayer() != nullptr) return InstalledLayer();
  if (!OwnLayer()) OwnLayer() = std::make_unique<TLinStubExeDeviceLayer>();
  return OwnLayer().get();
}

void SetLinkDeviceLayer(IDeviceLayer* layer) { InstalledLayer() = layer; }

void ResetLinkDeviceLayerForTests() {
  InstalledLayer() = nullptr;
  OwnLayer().reset();
}

void RegisterLinkDevices() {
  RegisterDeviceFactory(DEVICE_RS232, MakeSerialInterface);
  RegisterDeviceFactory(DEVICE_ETHERNET, MakeEthernetInterface);
  RegisterDeviceFactory(DEVICE_WIFI, MakeEthernetInterface);
  RegisterDeviceFactory(DEVICE_GPRS, MakeEthernetInterface);
  RegisterDeviceFactory(DEVICE_ETHERNET2, MakeEthernetInterface);
  // The platform closes every port slot when it shuts down or reboots.
  drvPlatformHooks().close_all_ports = CloseAllComPorts;
}

void SetLinkKeyReader(LinkKeyReader reader) { KeyReader() = std::move(reader); }

int LinkReadKey() { return KeyReader() ? KeyReader()() : 0; }

void LinkWait(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
