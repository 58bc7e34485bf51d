// What the platform itself asks of devices that layers above implement.
#pragma once

#include <cstdint>

#include "molvex/platform/device_layer.h"

// The printer's status query (0 = ready), for the status record.
class IPrinterStatusSource {
 public:
  virtual ~IPrinterStatusSource() = default;
  virtual uint16_t QueryStatus() = 0;
};

// A network interface's state (3 = up), for the status record.
class INetworkStateSource {
 public:
  virtual ~INetworkStateSource() = default;
  virtual int GetInterfaceState() = 0;
};

// Information devices 21 and 24: Get appends TLV items of one section at out
// (room: size bytes) and returns how many bytes it added.
class IInfoDevice : public IDevice {
 public:
  virtual uint16_t Get(uint16_t section, uint8_t* out, uint16_t size) = 0;
};
using ISwInfo = IInfoDevice;
using IHwInfo = IInfoDevice;

struct TUpdateParams {
  uint16_t kind = 0;  // 1 software, 2 system
};

class IUpdater : public IDevice {
 public:
  virtual uint16_t Update(const TUpdateParams* params) = 0;
  virtual const char* SoftwareVersion() = 0;
  virtual const char* SystemVersion() = 0;
};
