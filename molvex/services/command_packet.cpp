#include "molvex/services/command_packet.h"

#include <algorithm>

#include "common/byte_order.h"

uint32_t MessageDataSize(const LongMessage& message) {
  if (message.msg() == nullptr) return 0;
  return std::min<uint32_t>(message.msg()->length, message.capacity());
}

CmdPacketView CmdPacketView::OfMessage(const LongMessage& message, uint32_t offset) {
  uint32_t size = MessageDataSize(message);
  if (offset >= size) return {};
  return CmdPacketView(message.msg()->data() + offset, size - offset);
}

uint16_t CmdPacketView::declaredLength() const {
  return complete() ? common::MSB_WORD(data_ + 3) : 0;
}

uint16_t CmdPacketView::length() const {
  if (!complete()) return 0;
  return static_cast<uint16_t>(std::min<uint32_t>(declaredLength(), size_ - kCmdPacketHeader));
}

uint8_t CmdPacketView::byte(uint32_t offset) const { return offset < length() ? body()[offset] : 0; }

uint16_t CmdPacketView::word(uint32_t offset) const {
  return static_cast<uint16_t>(byte(offset) | (byte(offset + 1) << 8));
}

uint32_t CmdPacketView::dword(uint32_t offset) const {
  return static_cast<uint32_t>(word(offset)) | (static_cast<uint32_t>(word(offset + 2)) << 16);
}

bool LongMessageCmdPacketShell::Prepare(const CmdPacketView& request) {
  if (!message_.allocate(kCmdPacketHeader, 0) || message_.capacity() < kCmdPacketHeader) return false;
  uint8_t* data = message_.msg()->data();
  data[0] = request.operation();
  data[1] = request.device();
  data[2] = request.extra();
  SetBodyLength(0);
  return true;
}

uint8_t* LongMessageCmdPacketShell::Reserve(uint32_t n) {
  if (n > kMaxBody) return nullptr;
  uint16_t kept = bodyLength() == kNoBodyMarker ? 0 : bodyLength();
  int32_t keep = static_cast<int32_t>(kCmdPacketHeader + kept);
  if (!message_.allocate(static_cast<int32_t>(kCmdPacketHeader + n), keep)) return nullptr;
  if (message_.capacity() < kCmdPacketHeader + n) return nullptr;
  return message_.msg()->data() + kCmdPacketHeader;
}

uint32_t LongMessageCmdPacketShell::Room() const {
  uint32_t capacity = message_.capacity();
  return capacity > kCmdPacketHeader ? std::min(capacity - kCmdPacketHeader, kMaxBody) : 0;
}

void LongMessageCmdPacketShell::SetBodyLength(uint16_t length) {
  T_Message* msg = message_.msg();
  common::WORD_MSB(length, msg->data() + 3);
  msg->length = static_cast<uint16_t>(kCmdPacketHeader + (length == kNoBodyMarker ? 0 : length));
}

uint16_t LongMessageCmdPacketShell::bodyLength() const {
  const T_Message* msg = message_.msg();
  if (msg->length < kCmdPacketHeader) return 0;
  return common::MSB_WORD(msg->data() + 3);
}

uint8_t* LongMessageCmdPacketShell::body() { return message_.msg()->data() + kCmdPacketHeader; }

void LongMessageCmdPacketShell::Finish(uint16_t status) {
  T_Message* msg = message_.msg();
  msg->command = static_cast<uint8_t>(status);
  if (status != 0) msg->length = 0;
}
