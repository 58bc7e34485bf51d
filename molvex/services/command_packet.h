// The command packet of a master call: operation, device, extra byte, body
// length and body, all little-endian, on the data of a link message. Every
// access is bounded by the bytes the message really holds, so a packet that
// claims more than it carries is never read past its end.
#pragma once

#include <cstdint>

#include "molvex/link/message.h"

inline constexpr uint32_t kCmdPacketHeader = 5;

// Operations of a command packet.
enum SlvOperation : uint8_t {
  kSlvOpen = 1,
  kSlvRead = 2,
  kSlvWrite = 3,
  kSlvClose = 4,
};

// A read-only view of one packet inside a byte range.
class CmdPacketView {
 public:
  CmdPacketView() = default;
  CmdPacketView(const uint8_t* data, uint32_t size) : data_(data), size_(data != nullptr ? size : 0) {}
  // The packet at offset of the message's data (empty past its end).
  static CmdPacketView OfMessage(const LongMessage& message, uint32_t offset = 0);

  // At least the 5 header bytes are there.
  bool complete() const { return size_ >= kCmdPacketHeader; }
  uint8_t operation() const { return size_ > 0 ? data_[0] : 0; }
  uint8_t device() const { return size_ > 1 ? data_[1] : 0; }
  uint8_t extra() const { return size_ > 2 ? data_[2] : 0; }
  // The body length the packet announces.
  uint16_t declaredLength() const;
  // The body length that can be read: the announced one, cut to what is there.
  uint16_t length() const;
  const uint8_t* body() const { return complete() ? data_ + kCmdPacketHeader : nullptr; }
  // Body bytes and numbers at an offset of the body; bytes missing count as 0.
  uint8_t byte(uint32_t offset) const;
  uint16_t word(uint32_t offset) const;
  uint32_t dword(uint32_t offset) const;

 private:
  const uint8_t* data_ = nullptr;
  uint32_t size_ = 0;
};

// The writable packet of a reply message: it keeps the message's length in
// step with the body length and never writes past the message's room.
class LongMessageCmdPacketShell {
 public:
  // Largest body a reply carries; 0xFFFF is the "connection failed" marker.
  static constexpr uint32_t kMaxBody = 0xFFFFu - kCmdPacketHeader - 1;
  static constexpr uint16_t kNoBodyMarker = 0xFFFF;

  explicit LongMessageCmdPacketShell(LongMessage& message) : message_(message) {}

  // Room for the header, operation, device and extra byte copied from the
  // request, body length 0. False when the message cannot hold 5 bytes.
  bool Prepare(const CmdPacketView& request);
  // Body room for n bytes (keeping what is there), or nullptr when the
  // message cannot grow that far.
  uint8_t* Reserve(uint32_t n);
  // Body bytes the message can hold without growing.
  uint32_t Room() const;
  // Sets the body length (0xFFFF: the marker, no bytes) and the message length.
  void SetBodyLength(uint16_t length);
  uint16_t bodyLength() const;
  uint8_t* body();
  // Status in the command byte; a status other than 0 empties the reply.
  void Finish(uint16_t status);

  LongMessage& message() { return message_; }

 private:
  LongMessage& message_;
};

// Data bytes a message really holds (its length, cut to its room).
uint32_t MessageDataSize(const LongMessage& message);
