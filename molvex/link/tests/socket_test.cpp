// TCP connections and the numbered connection table, on real sockets on 127.0.0.1.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <memory>

#include "link_test_env.h"

using namespace linktest;

namespace {

// A plain listening socket on 127.0.0.1 with an ephemeral port.
class Server {
 public:
  Server() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    listen(fd_, 16);
    socklen_t l = sizeof a;
    getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &l);
    port_ = ntohs(a.sin_port);
  }
  ~Server() { close(fd_); }
  uint16_t port() const { return port_; }
  int Accept(int timeout_ms = 3000) {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return -1;
    return accept(fd_, nullptr, nullptr);
  }

 private:
  int fd_;
  uint16_t port_;
};

T_Addr_Params Address(uint16_t port, uint8_t flags = 0, uint8_t type = 5) {
  T_Addr_Params a;
  a.type = type;
  a.flags = flags;
  a.address[0] = 127;
  a.address[3] = 1;
  a.port = port;
  a.connectWaitMs = 3000;
  return a;
}

int ConnectTo(uint16_t port) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
  return fd;
}

uint16_t FreePort() {
  Server probe;
  return probe.port();
}

class SocketTest : public LinkTest {
 protected:
  TLinEthernetInterface iface_;
  std::unique_ptr<IConnection> Connected(Server& server, int* peer) {
    std::unique_ptr<IConnection> c;
    EXPECT_EQ(iface_.Call(Address(server.port()), &c), 0);
    *peer = server.Accept();
    for (int i = 0; i < 20 && c->GetState() != kConnConnected; ++i) {
    }
    return c;
  }
};

TEST_F(SocketTest, PeerClosedGivesMinusTwoOnceThenStaysClosed) {
  Server server;
  int peer = -1;
  auto c = Connected(server, &peer);
  ASSERT_EQ(c->GetState(), kConnConnected);
  ASSERT_EQ(write(peer, "hi", 2), 2);
  uint8_t buffer[8];
  EXPECT_EQ(c->Receive(buffer, sizeof buffer), 2);
  close(peer);
  EXPECT_EQ(c->Receive(buffer, sizeof buffer), -2);
  EXPECT_EQ(c->GetState(), kConnClosed);
  EXPECT_EQ(c->GetLastError(), 253u);
  EXPECT_EQ(c->Receive(buffer, sizeof buffer), -1);
}

TEST_F(SocketTest, SendOfNothingFailsAndLargeBlocksRaiseTheBuffer) {
  Server server;
  int peer = -1;
  auto c = Connected(server, &peer);
  ASSERT_EQ(c->GetState(), kConnConnected);
  std::vector<uint8_t> block(20000, 0x55);
  EXPECT_EQ(c->Send(block.data(), static_cast<uint32_t>(block.size())), 20000);
  EXPECT_EQ(static_cast<TSocketConnection*>(c.get())->sendBufferSize(), 20000u);
  EXPECT_EQ(c->Send(block.data(), 0), -1);
  EXPECT_EQ(c->GetState(), kConnClosed);
  close(peer);
}

TEST_F(SocketTest, WaitsAreAtLeast100Ms) {
  Server server;
  int peer = -1;
  auto c = Connected(server, &peer);
  auto* s = static_cast<TSocketConnection*>(c.get());
  s->SetRecvTimeout(10);
  s->SetSendTimeout(0);
  EXPECT_EQ(s->recvWaitMs(), 100u);
  EXPECT_EQ(s->sendWaitMs(), 100u);
  s->SetRecvTimeout(750);
  EXPECT_EQ(s->recvWaitMs(), 750u);
  close(peer);
}

TEST_F(SocketTest, ListeningSocketIsKeptForTheNextListen) {
  uint16_t port = FreePort();
  std::unique_ptr<IConnection> first;
  ASSERT_EQ(iface_.Listen(port, &first), 0);
  EXPECT_EQ(first->GetState(), kConnListening);
  int client = ConnectTo(port);
  int state = first->GetState();
  for (int i = 0; i < 20 && state != kConnConnected; ++i) state = first->GetState();
  ASSERT_EQ(state, kConnConnected);
  EXPECT_EQ(first->GetPeerAddress(), htonl(INADDR_LOOPBACK));
  ASSERT_EQ(iface_.listeningSockets().count(port), 1u);
  int listening = iface_.listeningSockets().at(port);
  first.reset();
  close(client);

  std::unique_ptr<IConnection> second;
  ASSERT_EQ(iface_.Listen(port, &second), 0);
  EXPECT_EQ(iface_.listeningSockets().at(port), listening);
  int client2 = ConnectTo(port);
  state = second->GetState();
  for (int i = 0; i < 20 && state != kConnConnected; ++i) state = second->GetState();
  EXPECT_EQ(state, kConnConnected);
  close(client2);
  second.reset();
  iface_.Close();
  EXPECT_TRUE(iface_.listeningSockets().empty());
}

TEST_F(SocketTest, NumberedConnectionsRoundTripAndBadHandles) {
  Server server;
  T_Addr_Params a = Address(server.port());
  uint32_t handle = tdrv_Call(&a, nullptr);
  ASSERT_GE(handle, 1u);
  ASSERT_LE(handle, 8u);
  EXPECT_EQ(tdrv_GetCallStatus(handle), 3u);
  int peer = server.Accept();
  EXPECT_EQ(tdrv_Send(handle, reinterpret_cast<const uint8_t*>("ping"), 4), 4);
  char got[8] = {};
  EXPECT_EQ(read(peer, got, sizeof got), 4);
  EXPECT_EQ(write(peer, "pong", 4), 4);
  uint8_t buffer[8];
  EXPECT_EQ(tdrv_RecvTmo(handle, buffer, sizeof buffer, 1000), 4);
  close(peer);
  EXPECT_EQ(tdrv_RecvTmo(handle, buffer, sizeof buffer, 1000), -2);
  EXPECT_EQ(tdrv_GetCallStatus(handle), 0u);
  EXPECT_EQ(tdrv_Hangup(handle), 0u);
  EXPECT_EQ(tdrv_Hangup(handle), handle);

  struct Bad {
    uint32_t handle;
  } bad[] = {{0}, {9}, {handle}};
  for (const auto& b : bad) {
    EXPECT_EQ(tdrv_Send(b.handle, buffer, 1), 0);
    EXPECT_EQ(tdrv_RecvTmo(b.handle, buffer, 1, 100), -1);
    EXPECT_EQ(tdrv_GetCallStatus(b.handle), 0u);
  }
}

TEST_F(SocketTest, FullTableRefusesAndClosesTheNewConnection) {
  Server server;
  T_Addr_Params a = Address(server.port());
  std::vector<int> peers;
  for (uint32_t i = 1; i <= 8; ++i) {
    EXPECT_EQ(tdrv_Call(&a, nullptr), i);
    peers.push_back(server.Accept());
  }
  EXPECT_EQ(tdrv_Call(&a, nullptr), 0u);
  int ninth = server.Accept();
  ASSERT_GE(ninth, 0);
  char byte;
  pollfd p{ninth, POLLIN, 0};
  ASSERT_EQ(poll(&p, 1, 3000), 1);
  EXPECT_EQ(read(ninth, &byte, 1), 0) << "the refused connection is closed, not left open";
  close(ninth);
  for (int fd : peers) close(fd);
}

TEST_F(SocketTest, FailedOrUnknownConnectionsGiveNoHandle) {
  uint16_t closed_port = FreePort();
  T_Addr_Params refused = Address(closed_port);
  EXPECT_EQ(tdrv_Call(&refused, nullptr), 0u);
  for (uint8_t type : {4, 6, 7, 0}) {
    T_Addr_Params other = Address(closed_port, 0, type);
    EXPECT_EQ(tdrv_Call(&other, nullptr), 0u) << int(type);
  }
}

// An Ethernet interface that comes up only when the test says so.
class SlowNetwork : public TLinEthernetInterface {
 public:
  static inline int32_t state = 1;
  int32_t GetCurrentState() override { return state; }
};

TEST_F(SocketTest, PendingConnectionReportsNetworkDownThenConnects) {
  UnregisterDeviceFactoriesForTests();
  RegisterDeviceFactory(DEVICE_ETHERNET, [](uint16_t) -> std::unique_ptr<IDevice> {
    return std::make_unique<SlowNetwork>();
  });
  ResetLinkDeviceLayerForTests();
  SlowNetwork::state = 1;
  Server server;
  T_Addr_Params a = Address(server.port(), kAddrNoWait);
  uint32_t handle = tdrv_Call(&a, nullptr);
  ASSERT_NE(handle, 0u);
  EXPECT_EQ(tdrv_GetCallStatus(handle), 8u);
  SlowNetwork::state = 3;
  uint32_t status = tdrv_GetCallStatus(handle);
  for (int i = 0; i < 20 && status != 3; ++i) status = tdrv_GetCallStatus(handle);
  EXPECT_EQ(status, 3u);
  int peer = server.Accept();
  EXPECT_GE(peer, 0);
  close(peer);
  EXPECT_EQ(tdrv_Hangup(handle), 0u);
}

}  // namespace
