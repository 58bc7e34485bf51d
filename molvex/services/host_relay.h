// The host relay: the PIN pad's six host channels (devices 20 to 25), each
// carried over a TCP connection that the PC opens for it. Opens and reads
// that cannot finish at once may be answered at once, with a notification
// later, when the command session allows it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "molvex/link/message.h"
#include "molvex/link/numbered_connections.h"
#include "molvex/services/notifications.h"

inline constexpr uint8_t kFirstHostChannel = 20;
inline constexpr uint8_t kHostChannels = 6;
inline constexpr uint32_t kDefaultHostConnectWaitMs = 20000;
// Bit of the session flags: the PIN pad understands answers given at once
// and the notifications that follow them.
inline constexpr uint32_t kSessionNotificationsAllowed = 0x02;

// Channel statuses as the PIN pad sees them.
enum HostChannelStatus : uint8_t {
  kChannelNone = 0,
  kChannelConnecting = 2,
  kChannelConnected = 3,
};

class IStubConnectionInterface {
 public:
  // Reads into buffer (at most its size) as the read request body asks;
  // -1 without a connection.
  virtual int32_t InternalRecv(const uint8_t* requestBody, uint32_t bodyLength, uint8_t* buffer, uint32_t size) = 0;
  virtual ~IStubConnectionInterface() = default;
  // Bytes sent, or a negative value.
  virtual int32_t Send(const uint8_t* bytes, uint32_t count) = 0;
  virtual uint8_t GetStatus() = 0;
  virtual bool IsOpen() const = 0;
};

// One host channel's TCP connection and the bytes read ahead for a notification.
class StubLanInterface : public IStubConnectionInterface {
 public:
  // Opens the connection the open request body asks for (see GetStubConnection).
  StubLanInterface(const uint8_t* openBody, uint32_t bodyLength);
  ~StubLanInterface() override;
  StubLanInterface(const StubLanInterface&) = delete;
  StubLanInterface& operator=(const StubLanInterface&) = delete;

  int32_t InternalRecv(const uint8_t* requestBody, uint32_t bodyLength, uint8_t* buffer, uint32_t size) override;
  int32_t Send(const uint8_t* bytes, uint32_t count) override;
  uint8_t GetStatus() override;
  bool IsOpen() const override { return connection_ != nullptr; }
  void Close();

  // The read-ahead store: capacity (its size) and the bytes it holds.
  std::vector<uint8_t>& readAhead() { return readAhead_; }
  uint32_t& readAheadCount() { return readAheadCount_; }

  // Where the connection went after the overrides of "pinpad.ini".
  const uint8_t* address() const { return address_; }
  uint16_t port() const { return port_; }
  uint32_t connectWaitMs() const { return connectWaitMs_; }

 private:
  std::vector<uint8_t> readAhead_;
  uint32_t readAheadCount_ = 0;
  std::unique_ptr<U1ConnectionAdapter> connection_;
  uint8_t address_[4] = {};
  uint16_t port_ = 0;
  uint32_t connectWaitMs_ = kDefaultHostConnectWaitMs;
};

// A connection for an open request body: 1 byte passed on, flags (0x10
// listen, 0x40 do not wait), IPv4 address, port, connect wait.
std::unique_ptr<StubLanInterface> GetStubConnection(uint8_t channel, const uint8_t* openBody, uint32_t bodyLength);

using HostChannelSlot = std::unique_ptr<StubLanInterface>;

// Notifies the PIN pad of an open that completed or data that arrived on a
// channel, every 400 ms, until it reacts.
class CommsNotifyHandler : public INotifyHandler {
 public:
  static constexpr uint32_t kRepeatMs = 400;
  static constexpr uint32_t kMaxNotifications = 30;
  static constexpr uint8_t kHeartBeatDevice = 45;

  CommsNotifyHandler(uint8_t device, HostChannelSlot* slot, int32_t start)
      : INotifyHandler(kCommsNotifyType, device), slot_(slot), value_(start) {}
  bool IsNeedStop(const LongMessage* received) override;

  int32_t value() const { return value_; }
  uint32_t sent() const { return sent_; }

 protected:
  // Fills the notification and starts the repeat timer, unless it runs.
  bool Notify(LongMessage& message, uint8_t operation);

  HostChannelSlot* slot_;
  int32_t value_;
  uint32_t sent_ = 0;
  uint64_t repeatAt_ = 0;
  bool timing_ = false;
};

class CommsOpenNotifyHandler : public CommsNotifyHandler {
 public:
  CommsOpenNotifyHandler(uint8_t device, HostChannelSlot* slot)
      : CommsNotifyHandler(device, slot, kChannelConnecting) {}
  bool GetNotify(LongMessage& message) override;
};

class CommsReadNotifyHandler : public CommsNotifyHandler {
 public:
  static constexpr uint32_t kReadAheadSize = 1024;
  CommsReadNotifyHandler(uint8_t device, HostChannelSlot* slot) : CommsNotifyHandler(device, slot, 0) {}
  bool GetNotify(LongMessage& message) override;
};

// The six channels of a command session and its notification holder.
class HostRelay {
 public:
  HostRelay() = default;
  ~HostRelay();
  HostRelay(const HostRelay&) = delete;
  HostRelay& operator=(const HostRelay&) = delete;

  // Serves one host channel request; the status is also the reply's command byte.
  uint16_t MasterCallComms(LongMessage& reply, const LongMessage& request);

  // The command session's flags (bit 0x02: notifications allowed).
  void SetSessionFlags(uint32_t flags) { sessionFlags_ = flags; }
  uint32_t sessionFlags() const { return sessionFlags_; }
  // The PIN pad link is a high-speed link.
  void SetHighSpeedLink(bool on) { highSpeed_ = on; }

  StubNotifyHolder& notifications() { return holder_; }
  StubLanInterface* channel(uint8_t device);
  // Closes every channel and forgets every notification (end of the session).
  void CloseAll();

 private:
  bool NotificationsAllowed() const { return (sessionFlags_ & kSessionNotificationsAllowed) != 0; }
  HostChannelSlot& Slot(uint8_t device) { return channels_[device - kFirstHostChannel]; }

  HostChannelSlot channels_[kHostChannels];
  StubNotifyHolder holder_;  // after the channels: its handlers go first
  uint32_t sessionFlags_ = 0;
  bool highSpeed_ = false;
};
