// One message of the PIN pad link in one contiguous block: a 13-byte header
// (numbers in host order, then the wire image's command, length and id) and
// the data bytes. The owners of such blocks form the LongMessage family.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/byte_order.h"

#pragma pack(push, 1)
struct T_Message {
  uint32_t id;           // host order
  uint16_t length;       // host order: data bytes after the header
  uint8_t command;       // first byte of the wire image
  uint8_t wireLength[2]; // little-endian copy of length
  uint8_t wireId[4];     // little-endian copy of id
  // length data bytes follow.

  uint8_t* data() { return reinterpret_cast<uint8_t*>(this) + sizeof(T_Message); }
  const uint8_t* data() const { return reinterpret_cast<const uint8_t*>(this) + sizeof(T_Message); }
  // The wire image of the current protocol begins at the command.
  uint8_t* image() { return &command; }
  const uint8_t* image() const { return &command; }
  void FillWire() {
    common::WORD_MSB(length, wireLength);
    common::DWORD_MSB(id, wireId);
  }
  void TakeWire() {
    length = common::MSB_WORD(wireLength);
    id = common::MSB_DWORD(wireId);
  }
};
#pragma pack(pop)
static_assert(sizeof(T_Message) == 13);

inline constexpr uint32_t kMessageHeaderSize = 13;
// Offset of the wire image inside the block.
inline constexpr uint32_t kImageOffset = 6;
// Bytes of the wire image in front of the data (command, length, id).
inline constexpr uint32_t kImageHeader = 7;

// A message block on the stack: header and room for N data bytes.
template <size_t N>
struct T_MessageBuf {
  alignas(4) uint8_t bytes[kMessageHeaderSize + N] = {};
  T_Message* msg() { return reinterpret_cast<T_Message*>(bytes); }
  static constexpr size_t kSize = kMessageHeaderSize + N;
};

class LongMessage {
 public:
  virtual ~LongMessage() = default;
  // Makes sure the block holds dataBytes data bytes, keeping the header and
  // the first keepBytes data bytes; false when it cannot.
  virtual bool allocate(int32_t dataBytes, int32_t keepBytes) = 0;
  // Like allocate, but also gives memory back when the block is much larger.
  virtual bool shrink(int32_t dataBytes, int32_t keepBytes) = 0;
  // Back to the basic size, keeping the header.
  virtual void clear() = 0;
  // Data bytes the block can hold (0 for a block smaller than 14 bytes).
  virtual uint32_t capacity() const = 0;

  T_Message* msg() { return reinterpret_cast<T_Message*>(block_); }
  const T_Message* msg() const { return reinterpret_cast<const T_Message*>(block_); }
  uint8_t* block() { return block_; }

 protected:
  uint8_t* block_ = nullptr;
};

// The block lives on the heap and grows in steps of 512 bytes.
class LongMessageDynamic : public LongMessage {
 public:
  static constexpr uint32_t kStep = 512;
  static constexpr uint32_t kInitialData = 1193;

  LongMessageDynamic();
  ~LongMessageDynamic() override;
  LongMessageDynamic(const LongMessageDynamic&) = delete;
  LongMessageDynamic& operator=(const LongMessageDynamic&) = delete;

  bool allocate(int32_t dataBytes, int32_t keepBytes) override;
  bool shrink(int32_t dataBytes, int32_t keepBytes) override;
  void clear() override;
  uint32_t capacity() const override { return size_ < 14 ? 0 : size_ - kMessageHeaderSize; }
  uint32_t blockSize() const { return size_; }

 private:
  void Replace(uint32_t size, int32_t keepBytes);

  uint32_t size_ = 0;
};

// Wraps a block the caller owns; it never grows.
class LongMessageStatic : public LongMessage {
 public:
  LongMessageStatic(void* block, uint32_t size) : size_(size) { block_ = static_cast<uint8_t*>(block); }
  bool allocate(int32_t dataBytes, int32_t) override {
    return dataBytes < 0 || static_cast<uint64_t>(dataBytes) + kMessageHeaderSize <= size_;
  }
  bool shrink(int32_t, int32_t) override { return true; }
  void clear() override {}
  uint32_t capacity() const override { return size_ < 14 ? 0 : size_ - kMessageHeaderSize; }

 private:
  uint32_t size_;
};
