// The device layer: device objects made by number on first use and kept
// until the platform shuts down. Layers above register the devices they
// implement; a number nobody makes yields no device.
#pragma once

#include <cstdint>
#include <map>
#include <memory>

enum DEVICE : uint16_t {
  DEVICE_CONTACTLESS = 1,
  DEVICE_DISPLAY = 3,
  DEVICE_PRINTER = 4,
  DEVICE_KEYBOARD = 5,
  DEVICE_BATTERY = 7,
  DEVICE_ETHERNET = 9,
  DEVICE_WIFI = 10,
  DEVICE_GPRS = 11,
  DEVICE_RS232 = 12,
  DEVICE_ETHERNET2 = 13,
  DEVICE_SWINFO = 21,
  DEVICE_UPDATER = 23,
  DEVICE_HWINFO = 24,
};

class IDevice {
 public:
  virtual ~IDevice() = default;
};

using DeviceFactory = std::unique_ptr<IDevice> (*)(uint16_t number);

// Makes device objects of one number from now on (the later registration wins).
void RegisterDeviceFactory(uint16_t device, DeviceFactory factory);
void UnregisterDeviceFactoriesForTests();

class IDeviceLayer {
 public:
  virtual ~IDeviceLayer() = default;
  // Nothing can be tested here: the output becomes 0 and the last error 252.
  virtual uint16_t Test(uint16_t device, unsigned* result) = 0;
  virtual IDevice* GetDevice(uint16_t device, uint16_t number) = 0;
  virtual std::unique_ptr<IDevice> CreateDevice(uint16_t device, uint16_t number) = 0;
  virtual uint16_t GetLastError() = 0;
};

class TDeviceLayer : public IDeviceLayer {
 public:
  uint16_t Test(uint16_t device, unsigned* result) override;
  IDevice* GetDevice(uint16_t device, uint16_t number) override;
  uint16_t GetLastError() override { return last_error_; }

 protected:
  uint16_t last_error_ = 0;

 private:
  std::map<uint32_t, std::unique_ptr<IDevice>> devices_;  // key: device * 65536 + number
};

class TLinDeviceLayer : public TDeviceLayer {};

class TLinStubExeDeviceLayer : public TLinDeviceLayer {
 public:
  std::unique_ptr<IDevice> CreateDevice(uint16_t device, uint16_t number) override;
};
