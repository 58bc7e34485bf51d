// The table of numbered TCP connections (handles 1 to 8) used by the TCP
// command session and the host relay.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/link/connection.h"
#include "molvex/link/sockets.h"

// Stands for a connection whose network interface is open but not yet up.
class NetworkInterfaceAdapter : public IConnection {
 public:
  explicit NetworkInterfaceAdapter(INetworkInterface* network) : network_(network) {}
  int32_t Send(const uint8_t*, uint32_t) override { return -1; }
  int32_t Receive(uint8_t*, uint32_t) override { return -1; }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override;
  uint32_t GetLastError() override { return network_ != nullptr ? network_->GetNetworkError() : 251; }

 private:
  INetworkInterface* network_;
};

// One entry of the table.
class U1ConnectionAdapter {
 public:
  U1ConnectionAdapter(std::unique_ptr<IConnection> connection, const T_Addr_Params& address,
                      INetworkInterface* network);
  // The connection's state; a pending connection is started here once its
  // network interface has come up.
  int32_t GetState();
  IConnection* connection() { return connection_.get(); }
  std::unique_ptr<IConnection>& ownedConnection() { return connection_; }
  INetworkInterface* network() { return network_; }
  bool IsPending() const;

 private:
  std::unique_ptr<IConnection> connection_;
  uint8_t address_[4] = {};
  uint16_t port_ = 0;
  uint8_t flags_ = 0;
  uint32_t connectWaitMs_ = 0;
  INetworkInterface* network_;
};

template <typename T, long N>
class CommonMapper {
 public:
  static constexpr long kSize = N;
  std::unique_ptr<T> entries[N];
};

// A new entry for the address, or none (every failure ends here).
std::unique_ptr<U1ConnectionAdapter> InitializeConnection(const T_Addr_Params* address,
                                                          const T_Self_Params* selfParams);

extern "C" {

// Handle 1 to 8, or 0 when nothing could be opened or the table is full.
uint32_t tdrv_Call(const T_Addr_Params* address, const T_Self_Params* selfParams);
int32_t tdrv_Send(uint32_t handle, const uint8_t* bytes, uint32_t count);
int32_t tdrv_RecvTmo(uint32_t handle, uint8_t* buffer, uint32_t size, uint32_t ms);
// 2 connecting or listening, 3 connected, 8 network not up, 0 otherwise.
uint32_t tdrv_GetCallStatus(uint32_t handle);
// 0 when an entry was freed, else the handle.
uint32_t tdrv_Hangup(uint32_t handle);

}

// Frees every entry and forgets the network interface (tests; the end of a run).
void tdrv_HangupAll();
