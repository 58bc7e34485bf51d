// The serial port service: ports addressed by a one-byte number, each in a
// slot of a small table, opened again by themselves after the device was lost.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/link/connection.h"
#include "molvex/platform/timer.h"

namespace adapter::rs232 {

// One port: its timer runs while a reopen must wait.
struct PortSlot : public TARN::Common::Timer {
  uint8_t reopenPending = 0;
  std::unique_ptr<IConnection> connection;
  uint8_t port = 0;
  uint8_t highSpeed = 0;
  uint8_t speedIndex = 4;
};

class IPortMapper {
 public:
  virtual ~IPortMapper() = default;
  // The slot of the port, made (closed, no flags) when there is none and a
  // slot is free; nullptr when all slots are taken.
  virtual PortSlot* getPort(uint8_t port, uint8_t speedIndex) = 0;
  virtual void closeAll() = 0;
  static IPortMapper* Instance();
};

class PortMapperNoStl : public IPortMapper {
 public:
  static constexpr int kMaxSlots = 15;
  PortSlot* getPort(uint8_t port, uint8_t speedIndex) override;
  void closeAll() override;
  int count() const { return count_; }

 private:
  std::unique_ptr<PortSlot> slots_[kMaxSlots];
  int count_ = 0;
};

}  // namespace adapter::rs232

// Bits per second of a speed index (0 = 300 ... 9 = 115,200; above: 0).
uint32_t SpeedIndexToBps(uint8_t speedIndex);

extern "C" {

// 0 when the port is open afterwards; -3 no slot or the device did not open;
// -2 when the serial interface answered 254. An open port keeps its settings.
int drvOpenComPort(int8_t port, uint8_t speedIndex, uint8_t flags);
void drvCloseComPort(int8_t port);
int32_t drvSendData(int8_t port, const void* bytes, uint32_t count);
int32_t drvReceiveData(int8_t port, void* buffer, uint32_t size);
bool drvIsUsbPort(int8_t port);
bool drvIsHighSpeedConnection(int8_t port);
void drvSetHighSpeedTagByModelName(int8_t port, const char* modelName);

}

// Closes every port and forgets every slot (the platform's shutdown calls it).
void CloseAllComPorts();

// The descriptor of an open port for waiting loops to poll; -1 when none.
int drvGetPortPollDescriptor(int8_t port);

// Puts a ready-made connection into the port's slot (tests and fuzzing only).
bool drvAttachConnectionForTests(int8_t port, std::unique_ptr<IConnection> connection);
// The pause after a failed read or write (50 ms); tests and fuzzing shorten it.
void drvSetErrorPauseForTests(uint32_t ms);
