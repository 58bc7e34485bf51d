#include <gtest/gtest.h>

#include "molvex/platform/device_layer.h"

namespace {

int g_made = 0;

struct CountedDevice : IDevice {
  explicit CountedDevice(uint16_t n) : number(n) { ++g_made; }
  ~CountedDevice() override { --g_made; }
  uint16_t number;
};

std::unique_ptr<IDevice> MakeCounted(uint16_t number) { return std::make_unique<CountedDevice>(number); }
std::unique_ptr<IDevice> MakeNothing(uint16_t) { return nullptr; }

TEST(DeviceLayer, MakesEachDeviceOnceAndDestroysThemAll) {
  UnregisterDeviceFactoriesForTests();
  RegisterDeviceFactory(DEVICE_ETHERNET, MakeCounted);
  {
    TLinStubExeDeviceLayer layer;
    IDevice* a = layer.GetDevice(DEVICE_ETHERNET, 0);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(layer.GetDevice(DEVICE_ETHERNET, 0), a);
    IDevice* b = layer.GetDevice(DEVICE_ETHERNET, 1);
    EXPECT_NE(b, a);
    EXPECT_EQ(static_cast<CountedDevice*>(b)->number, 1);
    EXPECT_EQ(g_made, 2);
    EXPECT_EQ(layer.GetDevice(7, 0), nullptr);  // nobody makes device 7
    EXPECT_EQ(layer.GetDevice(DEVICE_CONTACTLESS, 0), nullptr);
    unsigned out = 5;
    EXPECT_EQ(layer.Test(DEVICE_ETHERNET, &out), 252);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(layer.GetLastError(), 252);
  }
  EXPECT_EQ(g_made, 0);
}

TEST(DeviceLayer, FailedCreationIsTriedAgain) {
  UnregisterDeviceFactoriesForTests();
  RegisterDeviceFactory(DEVICE_PRINTER, MakeNothing);
  TLinStubExeDeviceLayer layer;
  EXPECT_EQ(layer.GetDevice(DEVICE_PRINTER, 0), nullptr);
  RegisterDeviceFactory(DEVICE_PRINTER, MakeCounted);
  EXPECT_NE(layer.GetDevice(DEVICE_PRINTER, 0), nullptr);
  UnregisterDeviceFactoriesForTests();
}

}  // namespace
