// Serial devices: the settings of a port, the termios connection and the
// serial interface (device 12) that opens it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "molvex/link/connection.h"
#include "molvex/platform/device_layer.h"

struct TRs232Params {
  uint16_t port = 0;
  uint8_t dataBits = 8;     // 7 or 8
  uint32_t parity = 'N';    // 'N', 'E' or 'O'
  uint32_t stopBits = 1;    // 1 (2 is understood as well)
  uint32_t speed = 9600;    // bits per second
  uint32_t extraFlag = 0;   // carried, not used by the port
};

class TRS232Connection : public IConnection {
 public:
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return kConnConnected; }
  uint32_t GetLastError() override { return lastError_; }
  bool IsUsb() const { return usb_ != 0; }

 protected:
  uint32_t lastError_ = 0;
  uint8_t usb_ = 0;
};

class TLinRS232Connection : public TRS232Connection {
 public:
  // Takes over fd (closed by the destructor).
  TLinRS232Connection(int fd, uint16_t port);
  ~TLinRS232Connection() override;
  TLinRS232Connection(const TLinRS232Connection&) = delete;
  TLinRS232Connection& operator=(const TLinRS232Connection&) = delete;

  int32_t Send(const uint8_t* bytes, uint32_t count) override;
  int32_t Receive(uint8_t* buffer, uint32_t size) override;
  int GetPollDescriptor() const override { return fd_; }
  uint16_t port() const { return port_; }

 private:
  void ReportFailure(int error, const char* what);

  int fd_;
  uint16_t port_;
};

class TLinRS232Interface : public IDevice {
 public:
  // 0 and a new connection, or 253.
  uint16_t Connect(const TRs232Params& params, std::unique_ptr<IConnection>* connection);
  // The device path of a port number; false (and "") when it has none.
  static bool GetDevicePort(uint16_t port, char* buffer, size_t size);
};

// The read wait of serial connections ("SockTimeout" of "pinpad.ini", 0 to
// 999 ms), read on first use and kept for the run.
uint32_t SerialReadTimeoutMs();
// Forgets the value read (tests only).
void ResetSerialReadTimeoutForTests();
