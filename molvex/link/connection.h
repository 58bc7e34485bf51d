// A byte connection: a serial device or a TCP socket, behind one interface.
#pragma once

#include <cstdint>

// Connection states shared by every connection.
enum ConnectionState : int32_t {
  kConnConnecting = 1,   // outgoing connection in progress
  kConnListening = 2,    // listening, no peer yet
  kConnConnected = 3,
  kConnClosed = 4,       // failed or closed
  kConnNetworkDown = 5,  // network interface not yet up
};

class IConnection {
 public:
  virtual ~IConnection() = default;
  // Number of bytes written, or a negative value.
  virtual int32_t Send(const uint8_t* bytes, uint32_t count) = 0;
  // Bytes read; 0 when nothing arrived within the connection's wait; -2 when
  // the peer closed or the device went away; other negative values on error.
  virtual int32_t Receive(uint8_t* buffer, uint32_t size) = 0;
  virtual uint32_t GetPeerAddress() = 0;
  virtual int32_t GetState() = 0;
  virtual uint32_t GetLastError() = 0;
  virtual void SetRecvTimeout(uint32_t) {}
  virtual void SetSendTimeout(uint32_t) {}
  // The descriptor a waiting loop may poll for input; -1 when there is none.
  virtual int GetPollDescriptor() const { return -1; }
};

// A connection that is never made: what a pending connection becomes when
// the network came up but neither connecting nor listening worked.
class StubConnection : public IConnection {
 public:
  int32_t Send(const uint8_t*, uint32_t) override { return -1; }
  int32_t Receive(uint8_t*, uint32_t) override { return -1; }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return kConnClosed; }
  uint32_t GetLastError() override { return 251; }
};
