// The information devices (21 software, 24 hardware) and the updater (23).
#pragma once

#include <cstddef>
#include <cstdint>

#include "molvex/platform/device_interfaces.h"

class TPCSwInfo : public IInfoDevice {
 public:
  uint16_t Get(uint16_t section, uint8_t* out, uint16_t size) override;
};

class TLinHwInfo : public IInfoDevice {
 public:
  uint16_t Get(uint16_t section, uint8_t* out, uint16_t size) override;
};

class TLinUpdater : public IUpdater {
 public:
  uint16_t Update(const TUpdateParams* params) override;
  const char* SoftwareVersion() override { return "34.09.04"; }
  const char* SystemVersion() override;

 private:
  char system_version_[16] = {};
};

// Registers devices 21, 23 and 24 with the device layer.
void RegisterPlatformDevices();

extern "C" {
uint16_t drvGetExtendedHWInfo(uint16_t section, uint8_t* out, uint16_t size);
uint16_t drvGetExtendedSWInfo(uint16_t section, uint8_t* out, uint16_t size);
int drvGetOsVersion(char* text, size_t size);
uint16_t drvLaunch(uint16_t code);
}
