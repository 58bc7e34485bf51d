#include "molvex/services/host_relay.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"
#include "molvex/link/connection.h"
#include "molvex/link/sockets.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/services/command_packet.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr uint8_t kEthernet = 5;
constexpr uint32_t kMinRecvWaitMs = 100;
constexpr int kWaitSliceMs = 5;
constexpr uint16_t kRefused = 13;
constexpr uint16_t kNoConnection = 99;
constexpr uint8_t kLinkHighSpeed = 4;

// A byte of a body; bytes missing from a short body count as 0.
uint8_t At(const uint8_t* body, uint32_t length, uint32_t offset) {
  return body != nullptr && offset < length ? body[offset] : 0;
}
uint16_t Word(const uint8_t* body, uint32_t length, uint32_t offset) {
  return static_cast<uint16_t>(At(body, length, offset) | (At(body, length, offset + 1) << 8));
}
uint32_t Dword(const uint8_t* body, uint32_t length, uint32_t offset) {
  return static_cast<uint32_t>(Word(body, length, offset)) | (static_cast<uint32_t>(Word(body, length, offset + 2)) << 16);
}

// "ForceHostAddr" of pinpad.ini: a dotted address that replaces every
// host's address; false when it is not set or not an address.
bool ForcedAddress(uint8_t out[4]) {
  char text[32] = {};
  pcc_GetIniStringSize("pinpad.ini", "ForceHostAddr", text, sizeof text);
  in_addr parsed{};
  if (text[0] == '\0' || inet_pton(AF_INET, text, &parsed) != 1 || parsed.s_addr == 0) return false;
  std::memcpy(out, &parsed.s_addr, 4);  // network order: first octet first
  return true;
}

// "ForceHostPort<port>" of pinpad.ini: the port that replaces the requested one.
uint16_t ForcedPort(uint16_t port) {
  char key[32];
  std::snprintf(key, sizeof key, "ForceHostPort%u", static_cast<unsigned>(port));
  char text[16] = {};
  pcc_GetIniStringSize("pinpad.ini", key, text, sizeof text);
  unsigned long value = std::strtoul(text, nullptr, 10);
  return value > 0 && value <= 0xFFFF ? static_cast<uint16_t>(value) : port;
}

bool IsReal(IConnection* connection) {
  return connection != nullptr && dynamic_cast<NetworkInterfaceAdapter*>(connection) == nullptr &&
         dynamic_cast<StubConnection*>(connection) == nullptr;
}

// Still waiting for the host: an outgoing connection being made, or a
// listening one waiting for its peer.
bool Waiting(int32_t state) { return state == kConnConnecting || state == kConnListening; }

}  // namespace

StubLanInterface::StubLanInterface(const uint8_t* openBody, uint32_t bodyLength) {
  const uint8_t flags = At(openBody, bodyLength, 1);
  for (uint32_t i = 0; i < 4; ++i) address_[i] = At(openBody, bodyLength, 2 + i);
  port_ = Word(openBody, bodyLength, 6);
  connectWaitMs_ = bodyLength > 11 ? Dword(openBody, bodyLength, 8) : 0;
  if (connectWaitMs_ == 0) connectWaitMs_ = kDefaultHostConnectWaitMs;

  uint8_t forced[4];
  if (ForcedAddress(forced)) std::memcpy(address_, forced, 4);
  port_ = ForcedPort(port_);

  T_Addr_Params params;
  params.type = kEthernet;
  params.requestByte = At(openBody, bodyLength, 0);
  // The connection layer must never wait: the waiting happens here, where
  // the PIN pad's asynchronous open can be honoured.
  params.flags = static_cast<uint8_t>(flags | kAddrNoWait);
  std::memcpy(params.address, address_, 4);
  params.port = port_;
  params.connectWaitMs = connectWaitMs_;
  connection_ = InitializeConnection(&params, nullptr);
  if (!connection_) return;

  ReportString("Start connection");
  int32_t state = connection_->GetState();  // starts the pending connect or listen
  if (!(flags & kAddrNoWait)) {
    const drv_deadline_t deadline = drvSetTimer(connectWaitMs_);
    while (Waiting(state) && !drvCheckTimer(deadline)) {
      drvIdleWait(nullptr, 0, kWaitSliceMs);
      state = connection_->GetState();
    }
  }
  if (state == kConnConnected) {
    ReportString("Connect OK");
    return;
  }
  if ((flags & kAddrNoWait) && Waiting(state)) return;
  Close();
}

StubLanInterface::~StubLanInterface() { Close(); }

void StubLanInterface::Close() {
  if (!connection_) return;
  ReportString("Close connection");
  IConnection* connection = connection_->connection();
  if (IsReal(connection)) {
    int32_t state = connection->GetState();
    if (state == 0 || state == kConnClosed) {
      connection_->ownedConnection().reset();
      if (connection_->network() != nullptr) connection_->network()->Close();
    }
  }
  connection_.reset();
}

uint8_t StubLanInterface::GetStatus() {
  if (!connection_) return kChannelNone;
  int32_t state = connection_->GetState();
  if (Waiting(state)) return kChannelConnecting;
  return state == kConnConnected ? kChannelConnected : kChannelNone;
}

int32_t StubLanInterface::Send(const uint8_t* bytes, uint32_t count) {
  if (!connection_ || connection_->connection() == nullptr) return -1;
  return connection_->connection()->Send(bytes, count);
}

int32_t StubLanInterface::InternalRecv(const uint8_t* requestBody, uint32_t bodyLength, uint8_t* buffer,
                                       uint32_t size) {
  if (!connection_) return -1;
  connection_->GetState();  // a pending connection starts here
  IConnection* connection = connection_->connection();
  if (connection == nullptr) return -1;
  uint32_t wait = kMinRecvWaitMs;
  if (bodyLength > 0 && At(requestBody, bodyLength, 6) == 0) wait = Dword(requestBody, bodyLength, 2);
  // The wait runs in short slices so that the screens stay live meanwhile.
  connection->SetRecvTimeout(kMinRecvWaitMs);
  const drv_deadline_t deadline = drvSetTimer(std::max(wait, kMinRecvWaitMs));
  for (;;) {
    int32_t got = connection->Receive(buffer, size);
    if (got != 0 || drvCheckTimer(deadline)) return got;
    drvIdleWait(nullptr, 0, 0);
  }
}

std::unique_ptr<StubLanInterface> GetStubConnection(uint8_t, const uint8_t* openBody, uint32_t bodyLength) {
  return std::make_unique<StubLanInterface>(openBody, bodyLength);
}

bool CommsNotifyHandler::IsNeedStop(const LongMessage* received) {
  if (sent_ > kMaxNotifications) return true;
  if (received == nullptr || received->msg() == nullptr) return false;
  const T_Message* msg = received->msg();
  if (msg->command == 0) return true;
  if (msg->command != kMasterCallCommand) return false;
  CmdPacketView packet = CmdPacketView::OfMessage(*received);
  return packet.device() != kHeartBeatDevice || MessageDataSize(*received) < 2;
}

bool CommsNotifyHandler::Notify(LongMessage& message, uint8_t operation) {
  if (timing_ && !drvCheckTimer(repeatAt_)) return false;
  if (!message.allocate(kCmdPacketHeader + 2, 0)) return false;
  T_Message* msg = message.msg();
  msg->command = kNotifyCommand;
  msg->length = kCmdPacketHeader + 2;
  uint8_t* data = msg->data();
  data[0] = operation;
  data[1] = static_cast<uint8_t>(key());
  data[2] = 0;
  common::WORD_MSB(2, data + 3);
  common::WORD_MSB(value_ < 0 ? 0xFFFF : static_cast<uint16_t>(value_), data + 5);
  ++sent_;
  repeatAt_ = drvSetTimer(kRepeatMs);
  timing_ = true;
  return true;
}

bool CommsOpenNotifyHandler::GetNotify(LongMessage& message) {
  if (value_ == kChannelConnecting) {
    value_ = *slot_ ? (*slot_)->GetStatus() : static_cast<uint8_t>(kChannelNone);
    if (value_ == kChannelConnected) ReportString("Connect OK");
  }
  if (value_ == kChannelConnecting) return false;
  return Notify(message, kSlvOpen);
}

bool CommsReadNotifyHandler::GetNotify(LongMessage& message) {
  if (value_ == 0 && *slot_ && (*slot_)->readAheadCount() == 0) {
    StubLanInterface& channel = **slot_;
    // The store is taken once at its working size; a channel that stays
    // silent must not make it grow pass after pass.
    std::vector<uint8_t>& store = channel.readAhead();
    if (store.size() < kReadAheadSize) store.resize(kReadAheadSize);
    int32_t got = channel.InternalRecv(nullptr, 0, store.data(), static_cast<uint32_t>(store.size()));
    value_ = got;
    if (got > 0) channel.readAheadCount() = static_cast<uint32_t>(got);
  }
  if (value_ == 0) return false;
  return Notify(message, kSlvRead);
}

HostRelay::~HostRelay() { CloseAll(); }

StubLanInterface* HostRelay::channel(uint8_t device) {
  if (device < kFirstHostChannel || device >= kFirstHostChannel + kHostChannels) return nullptr;
  return Slot(device).get();
}

void HostRelay::CloseAll() {
  holder_.Clear();
  for (auto& slot : channels_) slot.reset();
}

uint16_t HostRelay::MasterCallComms(LongMessage& reply, const LongMessage& request) {
  if (reply.msg() == nullptr) return kRefused;
  reply.msg()->command = 0;
  reply.msg()->length = 0;
  LongMessageCmdPacketShell shell(reply);
  CmdPacketView packet = CmdPacketView::OfMessage(request);
  const uint8_t device = packet.device();
  if (!packet.complete() || device < kFirstHostChannel || device >= kFirstHostChannel + kHostChannels ||
      !shell.Prepare(packet)) {
    shell.Finish(kRefused);
    return kRefused;
  }
  // A new request on a channel cancels whatever was pending on it.
  holder_.RemoveHandler(kCommsNotifyType, device);
  HostChannelSlot& slot = Slot(device);
  const uint8_t* body = packet.body();
  const uint16_t b = packet.length();
  uint16_t status = kRefused;
  uint16_t bodyLength = 0;

  switch (packet.operation()) {
    case kSlvOpen: {
      std::vector<uint8_t> openBody(body, body + b);
      if (!NotificationsAllowed() && openBody.size() > 1) openBody[1] = 0;
      slot.reset();  // the old connection goes before the new one is made
      slot = GetStubConnection(device, openBody.data(), static_cast<uint32_t>(openBody.size()));
      const uint8_t channelStatus = slot->GetStatus();
      if (channelStatus == kChannelConnecting || channelStatus == kChannelConnected) {
        if (NotificationsAllowed()) {
          uint8_t* out = shell.Reserve(2);
          if (out != nullptr) {
            out[0] = channelStatus;
            out[1] = highSpeed_ ? kLinkHighSpeed : 0;
            bodyLength = 2;
          }
          if (channelStatus == kChannelConnecting) {
            holder_.SetHandler(std::make_unique<CommsOpenNotifyHandler>(device, &slot));
          }
        }
        status = 0;
      } else {
        slot.reset();
        status = kNoConnection;
      }
      break;
    }
    case kSlvRead: {
      if (!slot) break;
      const uint32_t wanted = std::min<uint32_t>(Word(body, b, 0), LongMessageCmdPacketShell::kMaxBody);
      uint8_t* out = shell.Reserve(wanted);
      if (out == nullptr) {
        status = kNoConnection;
        break;
      }
      int32_t got = 0;
      uint32_t& held = slot->readAheadCount();
      if (held > 0) {
        std::vector<uint8_t>& store = slot->readAhead();
        const uint32_t taken = std::min(wanted, held);
        std::memcpy(out, store.data(), taken);
        std::memmove(store.data(), store.data() + taken, held - taken);
        held -= taken;
        got = static_cast<int32_t>(taken);
      } else if (wanted > 0) {
        got = slot->InternalRecv(body, b, out, wanted);
      }
      bodyLength = got < 0 ? LongMessageCmdPacketShell::kNoBodyMarker : static_cast<uint16_t>(got);
      if (got == 0 && (At(body, b, 6) & 0x01) && NotificationsAllowed()) {
        holder_.SetHandler(std::make_unique<CommsReadNotifyHandler>(device, &slot));
      }
      status = 0;
      break;
    }
    case kSlvWrite: {
      if (!slot) break;
      int32_t sent = slot->Send(body, b);
      if (sent < 0) {
        status = kNoConnection;
        break;
      }
      uint8_t* out = shell.Reserve(2);
      if (out == nullptr) {
        status = kNoConnection;
        break;
      }
      common::WORD_MSB(static_cast<uint16_t>(sent), out);
      bodyLength = 2;
      status = 0;
      break;
    }
    case kSlvClose:
      slot.reset();
      status = 0;
      break;
    default:
      break;
  }
  shell.SetBodyLength(bodyLength);
  shell.Finish(status);
  return status;
}
