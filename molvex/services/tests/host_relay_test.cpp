#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "molvex/link/device_access.h"
#include "molvex/link/numbered_connections.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/services/host_relay.h"
#include "services_fixture.h"

namespace {

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(Fd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  Fd& operator=(Fd&& other) noexcept {
    reset();
    fd_ = other.fd_;
    other.fd_ = -1;
    return *this;
  }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// The bank host: a listening socket on 127.0.0.1 and the connection it accepted.
class TestHost {
 public:
  TestHost() : listener_(socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int on = 1;
    setsockopt(listener_.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_.get(), 4);
    socklen_t length = sizeof address;
    getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
  }
  uint16_t port() const { return port_; }
  // Takes the waiting connection (a generous bound; it is normally there at once).
  bool Accept() {
    pollfd p{listener_.get(), POLLIN, 0};
    if (poll(&p, 1, 5000) != 1) return false;
    peer_ = Fd(accept(listener_.get(), nullptr, nullptr));
    return peer_.get() >= 0;
  }
  void Send(const std::string& bytes) { ASSERT_EQ(write(peer_.get(), bytes.data(), bytes.size()), ssize_t(bytes.size())); }
  std::string Receive(size_t count) {
    std::string got;
    while (got.size() < count) {
      pollfd p{peer_.get(), POLLIN, 0};
      if (poll(&p, 1, 5000) != 1) break;
      char buffer[256];
      ssize_t n = read(peer_.get(), buffer, std::min(sizeof buffer, count - got.size()));
      if (n <= 0) break;
      got.append(buffer, static_cast<size_t>(n));
    }
    return got;
  }
  void Hangup() { peer_.reset(); }

 private:
  Fd listener_;
  Fd peer_;
  uint16_t port_ = 0;
};

// A port nobody listens on.
uint16_t ClosedPort() {
  TestHost host;
  return host.port();
}

std::vector<uint8_t> OpenBody(uint16_t port, uint8_t flags = 0, uint32_t waitMs = 0, uint32_t address = 0x0100007F) {
  std::vector<uint8_t> body = {0x11, flags};
  std::vector<uint8_t> a = Le32(address);  // first octet first
  body.insert(body.end(), a.begin(), a.end());
  body.push_back(static_cast<uint8_t>(port));
  body.push_back(static_cast<uint8_t>(port >> 8));
  if (waitMs != 0) {
    std::vector<uint8_t> w = Le32(waitMs);
    body.insert(body.end(), w.begin(), w.end());
  }
  return body;
}

std::vector<uint8_t> ReadBody(uint16_t count, uint32_t waitMs, uint8_t flags) {
  return Cat({{static_cast<uint8_t>(count), static_cast<uint8_t>(count >> 8)}, Le32(waitMs), {flags}});
}

class Collector : public INotifyEnvironment {
 public:
  void Send(LongMessage& message) override {
    const T_Message* msg = message.msg();
    std::vector<uint8_t> data(msg->data(), msg->data() + msg->length);
    data.insert(data.begin(), msg->command);
    sent.push_back(data);
  }
  std::vector<std::vector<uint8_t>> sent;
};

class HostRelayTest : public ServicesFixture {
 protected:
  void SetUp() override {
    ServicesFixture::SetUp();
    RegisterLinkDevices();
    ResetLinkDeviceLayerForTests();
    tdrv_HangupAll();
  }
  void TearDown() override {
    relay_.CloseAll();
    tdrv_HangupAll();
    ResetLinkDeviceLayerForTests();
    ServicesFixture::TearDown();
  }
  Answer Call(uint8_t operation, uint8_t device, const std::vector<uint8_t>& body = {}) {
    LongMessageDynamic request;
    LongMessageDynamic reply;
    FillRequest(request, operation, device, body);
    uint16_t status = slvMasterCall(relay_, reply, request);
    return ReadAnswer(status, reply);
  }
  // Runs the session's notification passes until one is sent or a generous bound passes.
  bool PumpNotifications(Collector& env, uint32_t boundMs = 5000) {
    const size_t before = env.sent.size();
    drv_deadline_t deadline = drvSetTimer(boundMs);
    while (env.sent.size() == before && !drvCheckTimer(deadline)) {
      relay_.notifications().RefreshNotifications(nullptr);
      relay_.notifications().SendNotifications(env);
    }
    return env.sent.size() > before;
  }

  HostRelay relay_;
};

TEST_F(HostRelayTest, OpenWriteReadClose) {
  TestHost host;
  Answer open = Call(1, 21, OpenBody(host.port()));
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.bodyLength, 0);  // no notifications: nothing to report
  ASSERT_TRUE(host.Accept());
  EXPECT_EQ(relay_.channel(21)->connectWaitMs(), 20000u);

  Answer write = Call(3, 21, Bytes("ISO8583 request"));
  EXPECT_EQ(write.status, 0);
  EXPECT_EQ(write.body, (std::vector<uint8_t>{15, 0}));
  EXPECT_EQ(host.Receive(15), "ISO8583 request");

  host.Send("answer");
  Answer read = Call(2, 21, ReadBody(100, 3000, 0));
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(std::string(read.body.begin(), read.body.end()), "answer");

  EXPECT_EQ(Call(2, 21, ReadBody(100, 0, 0)).bodyLength, 0);  // nothing waiting
  EXPECT_EQ(Call(4, 21).status, 0);
  EXPECT_EQ(relay_.channel(21), nullptr);
}

TEST_F(HostRelayTest, RequestsThatCannotBeServed) {
  struct Case {
    uint8_t operation, device;
    std::vector<uint8_t> body;
    uint16_t status;
  } cases[] = {
      {2, 20, ReadBody(10, 0, 0), 13},  // read on an empty channel
      {3, 22, Bytes("data"), 13},       // write on an empty channel
      {7, 23, {}, 13},                  // unknown operation
      {4, 24, {}, 0},                   // closing an empty channel is fine
      {1, 25, OpenBody(ClosedPort()), 99},
  };
  for (const Case& c : cases) {
    Answer answer = Call(c.operation, c.device, c.body);
    EXPECT_EQ(answer.status, c.status) << int(c.operation) << "/" << int(c.device);
    EXPECT_EQ(answer.length, c.status == 0 ? 5 : 0);
  }
  // Device 26 is not a host channel: the relay refuses it when asked directly.
  LongMessageDynamic request;
  LongMessageDynamic reply;
  FillRequest(request, 1, 26, OpenBody(1));
  EXPECT_EQ(relay_.MasterCallComms(reply, request), 13);
  request.msg()->length = 4;
  EXPECT_EQ(relay_.MasterCallComms(reply, request), 13);
}

TEST_F(HostRelayTest, ReadAfterTheHostHungUp) {
  TestHost host;
  ASSERT_EQ(Call(1, 20, OpenBody(host.port())).status, 0);
  ASSERT_TRUE(host.Accept());
  host.Hangup();
  Answer read = Call(2, 20, ReadBody(10, 2000, 0));
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.bodyLength, 0xFFFF);
  EXPECT_EQ(read.length, 5);
}

TEST_F(HostRelayTest, ReopeningAChannelClosesTheOldConnection) {
  TestHost first;
  TestHost second;
  ASSERT_EQ(Call(1, 22, OpenBody(first.port())).status, 0);
  ASSERT_TRUE(first.Accept());
  ASSERT_EQ(Call(1, 22, OpenBody(second.port(), 0, 1500)).status, 0);
  ASSERT_TRUE(second.Accept());
  EXPECT_EQ(first.Receive(1), "");  // the first host sees its peer go
  EXPECT_EQ(relay_.channel(22)->port(), second.port());
  EXPECT_EQ(relay_.channel(22)->connectWaitMs(), 1500u);
}

TEST_F(HostRelayTest, IniOverridesTheHostAddressAndPort) {
  TestHost host;
  const uint16_t asked = ClosedPort();
  WriteIni("ForceHostAddr=127.0.0.1\nForceHostPort" + std::to_string(asked) + "=" + std::to_string(host.port()) +
           "\n");
  Answer open = Call(1, 23, OpenBody(asked, 0, 2000, 0));
  ASSERT_EQ(open.status, 0);
  ASSERT_TRUE(host.Accept());
  const uint8_t* address = relay_.channel(23)->address();
  EXPECT_EQ(std::vector<uint8_t>(address, address + 4), (std::vector<uint8_t>{127, 0, 0, 1}));
  EXPECT_EQ(relay_.channel(23)->port(), host.port());
}

TEST_F(HostRelayTest, WithoutNotificationsAnAsynchronousOpenStillWaits) {
  TestHost host;
  Answer open = Call(1, 24, OpenBody(host.port(), 0x40));
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.bodyLength, 0);
  EXPECT_EQ(relay_.channel(24)->GetStatus(), kChannelConnected);
  EXPECT_EQ(relay_.notifications().size(), 0u);
}

TEST_F(HostRelayTest, OpenReportsTheChannelAndTheLink) {
  relay_.SetSessionFlags(kSessionNotificationsAllowed);
  relay_.SetHighSpeedLink(true);
  TestHost host;
  Answer open = Call(1, 20, OpenBody(host.port()));
  EXPECT_EQ(open.status, 0);
  EXPECT_EQ(open.body, (std::vector<uint8_t>{3, 4}));
}

// The PIN pad asks the PC to listen and not to wait; the open answers at
// once and a notification follows when the host has connected.
TEST_F(HostRelayTest, AsynchronousOpenIsNotified) {
  relay_.SetSessionFlags(kSessionNotificationsAllowed);
  const uint16_t port = ClosedPort();
  Answer open = Call(1, 25, OpenBody(port, 0x10 | 0x40));
  ASSERT_EQ(open.status, 0);
  EXPECT_EQ(open.body, (std::vector<uint8_t>{2, 0}));
  ASSERT_NE(relay_.notifications().GetHandler(kCommsNotifyType, 25), nullptr);

  Collector env;
  relay_.notifications().SendNotifications(env);
  EXPECT_TRUE(env.sent.empty());  // nobody has connected yet

  Fd client(socket(AF_INET, SOCK_STREAM, 0));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  ASSERT_EQ(connect(client.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_TRUE(PumpNotifications(env));
  EXPECT_EQ(env.sent.back(), (std::vector<uint8_t>{0xA8, 1, 25, 0, 2, 0, 3, 0}));

  // Repeated until the PIN pad answers with a master call.
  ASSERT_TRUE(PumpNotifications(env));
  EXPECT_EQ(env.sent.size(), 2u);
  LongMessageDynamic pinpad;
  FillRequest(pinpad, 2, 25, ReadBody(10, 0, 0));
  relay_.notifications().RefreshNotifications(&pinpad);
  EXPECT_EQ(relay_.notifications().size(), 0u);

  ASSERT_EQ(write(client.get(), "hi", 2), 2);
  Answer read = Call(2, 25, ReadBody(10, 2000, 0));
  EXPECT_EQ(std::string(read.body.begin(), read.body.end()), "hi");
}

TEST_F(HostRelayTest, DataArrivingLaterIsNotifiedAndReadAhead) {
  relay_.SetSessionFlags(kSessionNotificationsAllowed);
  TestHost host;
  ASSERT_EQ(Call(1, 21, OpenBody(host.port())).status, 0);
  ASSERT_TRUE(host.Accept());
  Answer empty = Call(2, 21, ReadBody(2, 5000, 0x01));
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.bodyLength, 0);
  ASSERT_NE(relay_.notifications().GetHandler(kCommsNotifyType, 21), nullptr);

  host.Send("xyz");
  Collector env;
  ASSERT_TRUE(PumpNotifications(env));
  EXPECT_EQ(env.sent.back(), (std::vector<uint8_t>{0xA8, 2, 21, 0, 2, 0, 3, 0}));
  relay_.notifications().SendNotifications(env);
  EXPECT_EQ(env.sent.size(), 1u);  // the next one only after 400 ms

  // Heartbeat data do not count as the PIN pad's reaction.
  LongMessageDynamic heartbeat;
  FillRequest(heartbeat, 3, 45, Cat({Le32(60), {0}}));
  relay_.notifications().RefreshNotifications(&heartbeat);
  EXPECT_EQ(relay_.notifications().size(), 1u);

  Answer first = Call(2, 21, ReadBody(2, 0, 0));
  EXPECT_EQ(std::string(first.body.begin(), first.body.end()), "xy");
  EXPECT_EQ(relay_.notifications().size(), 0u);  // a new request cancels it
  Answer second = Call(2, 21, ReadBody(10, 0, 0));
  EXPECT_EQ(std::string(second.body.begin(), second.body.end()), "z");
}

TEST_F(HostRelayTest, NotificationsEndAfterThirty) {
  relay_.SetSessionFlags(kSessionNotificationsAllowed);
  TestHost host;
  ASSERT_EQ(Call(1, 20, OpenBody(host.port())).status, 0);
  ASSERT_TRUE(host.Accept());
  Call(2, 20, ReadBody(2, 0, 0x01));
  host.Hangup();
  Collector env;
  ASSERT_TRUE(PumpNotifications(env));
  EXPECT_EQ(env.sent.back(), (std::vector<uint8_t>{0xA8, 2, 20, 0, 2, 0, 0xFF, 0xFF}));
  // Thirty-one sent, the holder lets the handler go (the repeat wait is
  // shortened by moving the clock instead of sitting through it).
  for (int i = 0; i < 40 && relay_.notifications().size() > 0; ++i) {
    drvSetClockOffsetForTests(int64_t{401} * (i + 1));
    relay_.notifications().RefreshNotifications(nullptr);
    if (relay_.notifications().size() == 0) break;
    relay_.notifications().SendNotifications(env);
  }
  drvSetClockOffsetForTests(0);
  EXPECT_EQ(relay_.notifications().size(), 0u);
  EXPECT_EQ(env.sent.size(), 31u);
}

}  // namespace
