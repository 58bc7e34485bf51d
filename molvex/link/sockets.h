// TCP connections over non-blocking IPv4 sockets, and the Ethernet interface
// (devices 9, 10, 11 and 13) that makes them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>

#include "molvex/link/connection.h"
#include "molvex/platform/device_layer.h"

// The address of a connection to open (the fields used here; the rest of
// the 204-byte record stays zero).
#pragma pack(push, 1)
struct T_Addr_Params {
  uint8_t type = 0;          // 4 GPRS, 5 Ethernet, 6 none, 7 WiFi
  uint8_t requestByte = 0;   // taken over from the request, not used here
  uint8_t flags = 0;         // 0x10 listen, 0x40 return at once
  uint8_t reserved = 0;
  uint8_t address[4] = {};   // IPv4, first octet first
  uint16_t port = 0;         // host order
  uint8_t unused[190] = {};
  uint32_t connectWaitMs = 0;  // 0: 20,300
};
#pragma pack(pop)
static_assert(sizeof(T_Addr_Params) == 204);
static_assert(offsetof(T_Addr_Params, connectWaitMs) == 200);

inline constexpr uint8_t kAddrListen = 0x10;
inline constexpr uint8_t kAddrNoWait = 0x40;

// The PC's own network settings (36 bytes).
struct T_Self_Params {
  uint32_t address = 0;  // network order, as the interface list gives it
  uint32_t mask = 0;
  uint8_t rest[28] = {};
};
static_assert(sizeof(T_Self_Params) == 36);

class INetworkInterface : public IDevice {
 public:
  virtual uint16_t Open() = 0;
  virtual void Close() = 0;
  virtual int32_t GetCurrentState() = 0;
  virtual uint16_t GetNetworkError() = 0;
  virtual uint16_t SetSelfParams(const T_Self_Params* params) = 0;
  virtual uint16_t GetSelfParams(T_Self_Params* params) = 0;
  virtual uint16_t Call(const T_Addr_Params& address, std::unique_ptr<IConnection>* connection) = 0;
  virtual uint16_t Listen(uint16_t port, std::unique_ptr<IConnection>* connection) = 0;
  virtual uint16_t Ping(const uint8_t* address) = 0;
  virtual uint16_t ResolveAddressUsingDNS(const char* name, uint8_t* address) = 0;
};

class TSocketConnection : public IConnection {
 public:
  ~TSocketConnection() override;
  TSocketConnection(const TSocketConnection&) = delete;
  TSocketConnection& operator=(const TSocketConnection&) = delete;

  int32_t Send(const uint8_t* bytes, uint32_t count) override;
  int32_t Receive(uint8_t* buffer, uint32_t size) override;
  uint32_t GetPeerAddress() override { return peerAddress_; }
  int32_t GetState() override;
  uint32_t GetLastError() override { return lastError_; }
  void SetRecvTimeout(uint32_t ms) override { recvWaitMs_ = ms < 100 ? 100 : ms; }
  void SetSendTimeout(uint32_t ms) override { sendWaitMs_ = ms < 100 ? 100 : ms; }
  int GetPollDescriptor() const override { return socket_; }

  uint32_t recvWaitMs() const { return recvWaitMs_; }
  uint32_t sendWaitMs() const { return sendWaitMs_; }
  uint32_t sendBufferSize() const { return sendBufferSize_; }

  // Polls the socket for receiving (0) or sending (1) and sets the flags.
  void CheckSocketState(int direction);

 protected:
  // Takes over the socket; outgoing: state 1, else 2 (listening).
  TSocketConnection(int socket, bool outgoing);

 private:
  uint32_t recvWaitMs_ = 200;
  uint32_t sendWaitMs_ = 200;
  uint16_t lastError_ = 0;
  int32_t socket_;
  int32_t listenSocket_ = -1;  // owned by the interface's map, never closed here
  uint8_t errorFlag_ = 0;
  uint8_t readyToSend_ = 0;
  uint8_t readyToReceive_ = 0;
  int32_t state_;
  uint32_t peerAddress_ = 0;
  uint32_t sendBufferSize_ = 8192;
};

class TLinEthernetConnection : public TSocketConnection {
 public:
  TLinEthernetConnection(int socket, bool outgoing) : TSocketConnection(socket, outgoing) {}
  int GetSystemError() const;
};

class TSocketInterface : public INetworkInterface {
 public:
  ~TSocketInterface() override;
  void Close() override;
  int32_t GetCurrentState() override { return kConnConnected; }
  uint16_t GetNetworkError() override { return 0; }
  uint16_t SetSelfParams(const T_Self_Params*) override { return 252; }
  uint16_t Call(const T_Addr_Params& address, std::unique_ptr<IConnection>* connection) override;
  uint16_t Listen(uint16_t port, std::unique_ptr<IConnection>* connection) override;
  uint16_t Ping(const uint8_t*) override { return 252; }
  uint16_t ResolveAddressUsingDNS(const char*, uint8_t*) override { return 252; }

  virtual void SetNonblockingMode(int socket) = 0;
  virtual std::unique_ptr<IConnection> CreateSocketConnection(int socket, bool outgoing, const char* name,
                                                              void* fileSystem) = 0;
  virtual int GetSystemError() = 0;

  // The listening sockets by port (tests look at it).
  const std::map<uint16_t, int>& listeningSockets() const { return listening_; }

 private:
  int CreateSocket();

  std::map<uint16_t, int> listening_;
  char name_[100] = {};
};

class TLinEthernetInterface : public TSocketInterface {
 public:
  uint16_t Open() override { return 0; }
  uint16_t GetSelfParams(T_Self_Params* params) override;
  void SetNonblockingMode(int socket) override;
  std::unique_ptr<IConnection> CreateSocketConnection(int socket, bool outgoing, const char* name,
                                                      void* fileSystem) override;
  int GetSystemError() override;
};
