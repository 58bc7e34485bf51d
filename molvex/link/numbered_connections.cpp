#include "molvex/link/numbered_connections.h"

#include <cstring>

#include "molvex/link/device_access.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "src/pc/report.h"

namespace {

constexpr uint32_t kNetworkUpWaitMs = 60000;
constexpr uint32_t kDefaultConnectWaitMs = 20300;
constexpr int kEscape = 27;
constexpr int kNoDevice = 0;

struct NumberedTable {
  CommonMapper<U1ConnectionAdapter, 8l> mapper;
  int lastDevice = kNoDevice;
  INetworkInterface* network = nullptr;
};

NumberedTable& Table() {
  static NumberedTable table;
  return table;
}

int DeviceOfType(uint8_t type) {
  switch (type) {
    case 4: return DEVICE_GPRS;
    case 5: return DEVICE_ETHERNET;
    case 7: return DEVICE_WIFI;
    default: return kNoDevice;
  }
}

// Listen or connect as the flags ask; nullptr when no connection object results.
std::unique_ptr<IConnection> StartConnection(INetworkInterface* network, const uint8_t* address, uint16_t port,
                                             uint8_t flags) {
  std::unique_ptr<IConnection> connection;
  if (flags & kAddrListen) {
    if (network->Listen(port, &connection) != 0) return nullptr;
  } else {
    ReportString("Connecting to port %d", port);
    T_Addr_Params target;
    std::memcpy(target.address, address, 4);
    target.port = port;
    if (network->Call(target, &connection) != 0) return nullptr;
  }
  return connection;
}

bool IsReal(IConnection* connection) {
  return connection != nullptr && dynamic_cast<NetworkInterfaceAdapter*>(connection) == nullptr &&
         dynamic_cast<StubConnection*>(connection) == nullptr;
}

// Idle work and the keyboard for one pass of a wait; true when Esc was pressed.
bool IdlePass() {
  drvIdleWait(nullptr, 0, 0);
  return LinkReadKey() == kEscape;
}

U1ConnectionAdapter* Entry(uint32_t handle) {
  if (handle < 1 || handle > 8) return nullptr;
  return Table().mapper.entries[handle - 1].get();
}

}  // namespace

int32_t NetworkInterfaceAdapter::GetState() {
  if (network_ == nullptr) return kConnClosed;
  int32_t state = network_->GetCurrentState();
  if (state < 0) return kConnClosed;
  if (state < 3) return kConnNetworkDown;
  if (state == 3) return kConnConnected;
  return kConnClosed;
}

U1ConnectionAdapter::U1ConnectionAdapter(std::unique_ptr<IConnection> connection, const T_Addr_Params& address,
                                         INetworkInterface* network)
    : connection_(std::move(connection)),
      port_(address.port),
      flags_(address.flags),
      connectWaitMs_(address.connectWaitMs),
      network_(network) {
  std::memcpy(address_, address.address, 4);
}

bool U1ConnectionAdapter::IsPending() const {
  return dynamic_cast<NetworkInterfaceAdapter*>(connection_.get()) != nullptr;
}

int32_t U1ConnectionAdapter::GetState() {
  if (!connection_) return kConnClosed;
  if (IsPending() && connection_->GetState() == kConnConnected) {
    std::unique_ptr<IConnection> made;
    if (network_ != nullptr) made = StartConnection(network_, address_, port_, flags_);
    connection_ = made ? std::move(made) : std::make_unique<StubConnection>();
  }
  return connection_->GetState();
}

std::unique_ptr<U1ConnectionAdapter> InitializeConnection(const T_Addr_Params* address,
                                                          const T_Self_Params* selfParams) {
  if (address == nullptr) return nullptr;
  NumberedTable& table = Table();
  int device = DeviceOfType(address->type);
  if (device != table.lastDevice && table.network != nullptr) table.network->Close();
  table.lastDevice = device;
  table.network = nullptr;

  // WiFi and GPRS interfaces do not exist on this platform.
  if (device != DEVICE_ETHERNET) return nullptr;
  auto* network = dynamic_cast<INetworkInterface*>(LinkDeviceLayer()->GetDevice(DEVICE_ETHERNET, 0));
  if (network == nullptr) return nullptr;
  table.network = network;

  if (selfParams != nullptr) {
    uint16_t answer = network->SetSelfParams(selfParams);
    if (answer != 0 && answer != 252) return nullptr;
  }
  if (network->GetCurrentState() != kConnConnected) network->Close();
  if (network->Open() != 0) {
    network->Close();
    return nullptr;
  }
  if (address->flags & kAddrNoWait) {
    return std::make_unique<U1ConnectionAdapter>(std::make_unique<NetworkInterfaceAdapter>(network), *address,
                                                 network);
  }

  drv_deadline_t up_deadline = drvSetTimer(kNetworkUpWaitMs);
  for (;;) {
    int32_t state = network->GetCurrentState();
    if (state == kConnConnected) break;
    if (state == kConnClosed || drvCheckTimer(up_deadline) || IdlePass()) {
      network->Close();
      return nullptr;
    }
  }
  std::unique_ptr<IConnection> connection = StartConnection(network, address->address, address->port, address->flags);
  if (!connection) {
    network->Close();
    return nullptr;
  }

  auto adapter = std::make_unique<U1ConnectionAdapter>(std::move(connection), *address, network);
  bool listening = (address->flags & kAddrListen) != 0;
  drv_deadline_t deadline = drvSetTimer(address->connectWaitMs != 0 ? address->connectWaitMs : kDefaultConnectWaitMs);
  int32_t state = 0;
  bool escaped = false;
  for (;;) {
    state = adapter->GetState();
    if (state == kConnListening || state == kConnConnected || state == kConnClosed) break;
    if (drvCheckTimer(deadline)) break;
    if (IdlePass()) {
      escaped = true;
      break;
    }
  }
  if (listening) return adapter;
  if (state == kConnConnected && !escaped) return adapter;
  bool failed = state == 0 || state == kConnClosed;
  bool real = IsReal(adapter->connection());
  adapter.reset();
  if (failed && real) network->Close();
  return nullptr;
}

namespace {

void FreeEntry(std::unique_ptr<U1ConnectionAdapter>& entry) {
  if (!entry) return;
  IConnection* connection = entry->connection();
  if (connection != nullptr && IsReal(connection)) {
    int32_t state = connection->GetState();
    if (state == 0 || state == kConnClosed) {
      entry->ownedConnection().reset();
      if (entry->network() != nullptr) entry->network()->Close();
    }
  }
  entry.reset();
}

}  // namespace

extern "C" {

uint32_t tdrv_Call(const T_Addr_Params* address, const T_Self_Params* selfParams) {
  std::unique_ptr<U1ConnectionAdapter> made = InitializeConnection(address, selfParams);
  if (!made) return 0;
  auto& entries = Table().mapper.entries;
  for (uint32_t i = 0; i < 8; ++i) {
    if (!entries[i]) {
      entries[i] = std::move(made);
      return i + 1;
    }
  }
  // The table is full: the connection just opened is closed again here, as
  // nobody else could ever reach it.
  FreeEntry(made);
  return 0;
}

int32_t tdrv_Send(uint32_t handle, const uint8_t* bytes, uint32_t count) {
  U1ConnectionAdapter* entry = Entry(handle);
  if (entry == nullptr || entry->connection() == nullptr) return 0;
  return entry->connection()->Send(bytes, count);
}

int32_t tdrv_RecvTmo(uint32_t handle, uint8_t* buffer, uint32_t size, uint32_t ms) {
  U1ConnectionAdapter* entry = Entry(handle);
  if (entry == nullptr || entry->connection() == nullptr) return -1;
  entry->connection()->SetRecvTimeout(ms);
  return entry->connection()->Receive(buffer, size);
}

uint32_t tdrv_GetCallStatus(uint32_t handle) {
  U1ConnectionAdapter* entry = Entry(handle);
  if (entry == nullptr) return 0;
  switch (entry->GetState()) {
    case kConnConnecting:
    case kConnListening: return 2;
    case kConnConnected: return 3;
    case kConnNetworkDown: return 8;
    default: return 0;
  }
}

uint32_t tdrv_Hangup(uint32_t handle) {
  if (Entry(handle) == nullptr) return handle;
  FreeEntry(Table().mapper.entries[handle - 1]);
  return 0;
}

}  // extern "C"

void tdrv_HangupAll() {
  for (auto& entry : Table().mapper.entries) FreeEntry(entry);
  Table().network = nullptr;
  Table().lastDevice = kNoDevice;
}
