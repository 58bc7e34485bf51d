#include "molvex/platform/device_layer.h"

namespace {

std::map<uint16_t, DeviceFactory>& Factories() {
  static std::map<uint16_t, DeviceFactory> factories;
  return factories;
}

constexpr uint16_t kFunctionNotSupported = 252;

}  // namespace

void RegisterDeviceFactory(uint16_t device, DeviceFactory factory) { Factories()[device] = factory; }

void UnregisterDeviceFactoriesForTests() { Factories().clear(); }

uint16_t TDeviceLayer::Test(uint16_t, unsigned* result) {
  if (result != nullptr) *result = 0;
  last_error_ = kFunctionNotSupported;
  return kFunctionNotSupported;
}

IDevice* TDeviceLayer::GetDevice(uint16_t device, uint16_t number) {
  uint32_t key = static_cast<uint32_t>(device) * 65536u + number;
  auto found = devices_.find(key);
  if (found != devices_.end()) return found->second.get();
  std::unique_ptr<IDevice> made = CreateDevice(device, number);
  if (!made) return nullptr;  // a later call tries again
  IDevice* raw = made.get();
  devices_.emplace(key, std::move(made));
  return raw;
}

std::unique_ptr<IDevice> TLinStubExeDeviceLayer::CreateDevice(uint16_t device, uint16_t number) {
  auto found = Factories().find(device);
  if (found == Factories().end() || found->second == nullptr) return nullptr;
  return found->second(number);
}
