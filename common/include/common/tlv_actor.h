// TLV lists whose storage is managed by a policy: on the heap
// (TlvBufferDynamic, DavizTlvBuffer) or inside an outgoing link message
// (DavizOutMessageShellTemplate).
#pragma once

#include <cstddef>
#include <cstdint>

#include "common/internal_allocator.h"
#include "common/tlv.h"

namespace common {

class TlvActor : public T_TLV_Buffer {
 public:
  TlvActor() = default;
  virtual ~TlvActor() = default;

  // Makes room for needed more bytes beyond the used ones.
  virtual bool growing(uint32_t needed, uint32_t used) = 0;
  virtual bool shrink(uint32_t size, uint32_t used) = 0;
  // Frees the storage.
  virtual void clear() = 0;
  virtual uint32_t capacity() const = 0;

  // Grows by len + 7 and adds with a room check against capacity(). False
  // when either step fails (the list is then unchanged).
  bool AddTagBinary(uint32_t tag, const void* data, uint16_t len, int mode);
  bool AddTagByte(uint32_t tag, uint8_t value, int mode = TLV_REPLACE);
  bool AddTagWord(uint32_t tag, uint16_t value, int mode = TLV_REPLACE);
  bool AddTagDword(uint32_t tag, uint32_t value, int mode = TLV_REPLACE);
  // The value of the first item with the tag (depth first), null and 0 when missing.
  const uint8_t* GetBinaryPtr(uint32_t tag, uint16_t& len);
  // Copies min(value length, size) bytes; returns that count (0 when missing).
  uint16_t GetBinary(uint32_t tag, void* out, uint16_t size);
  bool HasTag(uint32_t tag);
  bool DeleteTag(uint32_t tag);
  // Frees the storage and leaves an empty list.
  void FreeData();

  uint16_t used() const { return length; }
  const uint8_t* bytes() const { return data; }

 protected:
  TlvActor(const TlvActor&) = default;
  TlvActor& operator=(const TlvActor&) = default;
};

// Heap storage growing in steps of at least 64 bytes; growth never fails.
class TlvBufferDynamic : public TlvActor, protected InternalAllocator<char, 64u> {
 public:
  TlvBufferDynamic() = default;
  ~TlvBufferDynamic() override = default;
  TlvBufferDynamic(const TlvBufferDynamic& other);
  TlvBufferDynamic& operator=(const TlvBufferDynamic& other);
  TlvBufferDynamic(TlvBufferDynamic&& other) noexcept;
  TlvBufferDynamic& operator=(TlvBufferDynamic&& other) noexcept;

  bool growing(uint32_t needed, uint32_t used) override;
  bool shrink(uint32_t size, uint32_t used) override;
  void clear() override;
  uint32_t capacity() const override { return blockSize(); }

  // Replaces the whole list by a copy of bytes (a list read from a file or a message).
  bool Assign(const uint8_t* bytes, uint16_t len);

 private:
  void Sync() { data = reinterpret_cast<uint8_t*>(block()); }
};

// The tag store of an operation's answer.
class DavizTlvBuffer : public TlvBufferDynamic {
 public:
  // Nothing happens when len or maxLen is 0; otherwise stores at most maxLen
  // bytes of data. Returns whether the tag was stored.
  bool SetTlvData(uint32_t tag, const void* data, uint32_t len, uint32_t maxLen, int mode = TLV_REPLACE);
  // At most maxBytes bytes of the value as upper-case hexadecimal and a zero
  // (out holds 2 * maxBytes + 1 bytes); "" when the tag is missing. Returns
  // the number of characters written.
  size_t GetBinaryAsString(uint32_t tag, char* out, uint32_t maxBytes);
};

// A TLV list written straight into the data part of an outgoing message,
// after a 4-byte prefix that the user fills. Traits adapt the message type:
//   using Message = ...;
//   static bool Allocate(Message&, uint32_t dataBytes, uint32_t keepBytes);
//   static bool Shrink(Message&, uint32_t dataBytes, uint32_t keepBytes);
//   static void Clear(Message&);
//   static uint32_t Capacity(const Message&);   // data bytes the message holds
//   static uint8_t* Data(Message&);
template <typename Traits>
class DavizOutMessageShellTemplate : public TlvActor {
 public:
  using Message = typename Traits::Message;
  static constexpr uint32_t kPrefix = 4;

  explicit DavizOutMessageShellTemplate(Message& message) : message_(message) { Sync(); }

  bool growing(uint32_t needed, uint32_t used) override {
    const bool ok = Traits::Allocate(message_, kPrefix + used + needed, kPrefix + used);
    Sync();
    return ok;
  }
  bool shrink(uint32_t size, uint32_t used) override {
    const bool ok = Traits::Shrink(message_, kPrefix + size, kPrefix + used);
    Sync();
    return ok;
  }
  void clear() override {
    Traits::Clear(message_);
    Sync();
  }
  uint32_t capacity() const override {
    const uint32_t c = Traits::Capacity(message_);
    return c < kPrefix + 1 ? 0 : c - kPrefix;
  }

  uint8_t* prefix() { return Traits::Data(message_); }
  // Data bytes of the message: the prefix and the list.
  uint32_t messageLength() const { return kPrefix + length; }

 private:
  void Sync() { data = capacity() == 0 ? nullptr : Traits::Data(message_) + kPrefix; }

  Message& message_;
};

}  // namespace common
