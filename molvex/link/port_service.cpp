#include "molvex/link/port_service.h"

#include <cctype>
#include <cstring>
#include <string>

#include "molvex/link/device_access.h"
#include "molvex/link/rs232.h"

namespace adapter::rs232 {

PortSlot* PortMapperNoStl::getPort(uint8_t port, uint8_t speedIndex) {
  for (int i = 0; i < count_; ++i) {
    if (slots_[i]->port == port) return slots_[i].get();
  }
  if (count_ >= kMaxSlots) return nullptr;
  auto slot = std::make_unique<PortSlot>();
  slot->port = port;
  slot->speedIndex = speedIndex;
  slots_[count_] = std::move(slot);
  return slots_[count_++].get();
}

void PortMapperNoStl::closeAll() {
  for (int i = 0; i < count_; ++i) slots_[i].reset();
  count_ = 0;
}

IPortMapper* IPortMapper::Instance() {
  static PortMapperNoStl mapper;
  return &mapper;
}

}  // namespace adapter::rs232

namespace {

using adapter::rs232::IPortMapper;
using adapter::rs232::PortSlot;

constexpr uint32_t kReopenDelayMs = 600;
constexpr uint8_t kDefaultSpeedIndex = 4;

uint32_t& ErrorPauseMs() {
  static uint32_t ms = 50;
  return ms;
}

void ErrorPause() {
  if (ErrorPauseMs() != 0) LinkWait(ErrorPauseMs());
}

TLinRS232Interface* SerialInterface() {
  return dynamic_cast<TLinRS232Interface*>(LinkDeviceLayer()->GetDevice(DEVICE_RS232, 0));
}

PortSlot* FindSlot(int8_t port) {
  return IPortMapper::Instance()->getPort(static_cast<uint8_t>(port), kDefaultSpeedIndex);
}

int OpenSlot(PortSlot* slot, uint8_t speedIndex, uint8_t flags) {
  TLinRS232Interface* serial = SerialInterface();
  if (serial == nullptr) return -3;
  TRs232Params params;
  params.port = slot->port;
  params.speed = SpeedIndexToBps(speedIndex);
  params.dataBits = (flags & 0x01) ? 7 : 8;
  params.parity = (flags & 0x02) ? 'E' : (flags & 0x04) ? 'O' : 'N';
  params.stopBits = 1;
  std::unique_ptr<IConnection> connection;
  uint16_t answer = serial->Connect(params, &connection);
  if (answer != 0 || !connection) return answer == 254 ? -2 : -3;
  slot->connection = std::move(connection);
  slot->reopenPending = 0;
  return 0;
}

// Shared tail of reads and writes: a lost device closes the port and arms
// the reopen, other failures pause so that callers looping on errors do not spin.
int32_t AfterTransfer(PortSlot* slot, int8_t port, int32_t result) {
  if (result == -2) {
    drvCloseComPort(port);
    slot->reopenPending = 1;
    slot->Restart(kReopenDelayMs);
    ErrorPause();
    return -1;
  }
  if (result < 0) ErrorPause();
  return result;
}

int32_t WithoutConnection(PortSlot* slot) {
  if (slot != nullptr && slot->reopenPending && !slot->CheckTimer()) {
    OpenSlot(slot, slot->speedIndex, 0);
  }
  ErrorPause();
  return -1;
}

}  // namespace

uint32_t SpeedIndexToBps(uint8_t speedIndex) {
  static constexpr uint32_t kSpeeds[] = {300, 1200, 2400, 4800, 9600, 14400, 19200, 38400, 57600, 115200};
  return speedIndex < 10 ? kSpeeds[speedIndex] : 0;
}

extern "C" {

int drvOpenComPort(int8_t port, uint8_t speedIndex, uint8_t flags) {
  if (SerialInterface() == nullptr) return -3;
  PortSlot* slot = IPortMapper::Instance()->getPort(static_cast<uint8_t>(port), speedIndex);
  if (slot == nullptr) return -3;
  if (slot->connection) return 0;
  slot->speedIndex = speedIndex;
  return OpenSlot(slot, speedIndex, flags);
}

void drvCloseComPort(int8_t port) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr || !slot->connection) return;
  slot->connection.reset();
  slot->reopenPending = 0;
}

int32_t drvSendData(int8_t port, const void* bytes, uint32_t count) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr || !slot->connection) return WithoutConnection(slot);
  return AfterTransfer(slot, port, slot->connection->Send(static_cast<const uint8_t*>(bytes), count));
}

int32_t drvReceiveData(int8_t port, void* buffer, uint32_t size) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr || !slot->connection) return WithoutConnection(slot);
  return AfterTransfer(slot, port, slot->connection->Receive(static_cast<uint8_t*>(buffer), size));
}

bool drvIsUsbPort(int8_t port) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr || !slot->connection) return false;
  auto* serial = dynamic_cast<TRS232Connection*>(slot->connection.get());
  return serial != nullptr && serial->IsUsb();
}

bool drvIsHighSpeedConnection(int8_t port) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr) return false;
  return slot->highSpeed != 0 || drvIsUsbPort(port);
}

void drvSetHighSpeedTagByModelName(int8_t port, const char* modelName) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr) return;
  bool high = false;
  if (modelName != nullptr) {
    std::string upper(modelName);
    for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    high = upper.find("KOZEN") != std::string::npos;
  }
  slot->highSpeed = high ? 1 : 0;
}

}  // extern "C"

void CloseAllComPorts() { IPortMapper::Instance()->closeAll(); }

int drvGetPortPollDescriptor(int8_t port) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr || !slot->connection) return -1;
  return slot->connection->GetPollDescriptor();
}

bool drvAttachConnectionForTests(int8_t port, std::unique_ptr<IConnection> connection) {
  PortSlot* slot = FindSlot(port);
  if (slot == nullptr) return false;
  slot->connection = std::move(connection);
  slot->reopenPending = 0;
  return true;
}

void drvSetErrorPauseForTests(uint32_t ms) { ErrorPauseMs() = ms; }
