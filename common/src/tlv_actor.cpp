#include "common/tlv_actor.h"

#include <cstring>

#include "common/byte_order.h"
#include "common/hex.h"

namespace common {

bool TlvActor::AddTagBinary(uint32_t tag, const void* value, uint16_t len, int mode) {
  // The value may live in our own storage, which growing() may move.
  const auto v = reinterpret_cast<uintptr_t>(value);
  const auto d = reinterpret_cast<uintptr_t>(data);
  if (len != 0 && data != nullptr && v < d + length && v + len > d) {
    uint8_t local[256];
    if (len > sizeof local) {
      TlvBufferDynamic copy;
      copy.Assign(static_cast<const uint8_t*>(value), len);
      return AddTagBinary(tag, copy.bytes(), len, mode);
    }
    std::memcpy(local, value, len);
    return AddTagBinary(tag, local, len, mode);
  }
  if (!growing(static_cast<uint32_t>(len) + 7u, length)) return false;
  const uint32_t room = capacity();
  // Without room there is no check to make: refuse rather than write blind.
  if (room == 0 || data == nullptr) return false;
  return AddTagBinarySize(*this, tag, value, len, mode, room) == 1;
}

bool TlvActor::AddTagByte(uint32_t tag, uint8_t value, int mode) { return AddTagBinary(tag, &value, 1, mode); }

bool TlvActor::AddTagWord(uint32_t tag, uint16_t value, int mode) {
  uint8_t b[2];
  WORD_MSB(value, b);
  return AddTagBinary(tag, b, 2, mode);
}

bool TlvActor::AddTagDword(uint32_t tag, uint32_t value, int mode) {
  uint8_t b[4];
  DWORD_MSB(value, b);
  return AddTagBinary(tag, b, 4, mode);
}

const uint8_t* TlvActor::GetBinaryPtr(uint32_t tag, uint16_t& len) {
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(*this, item)) {
    len = 0;
    return nullptr;
  }
  len = item.length;
  return item.value;
}

uint16_t TlvActor::GetBinary(uint32_t tag, void* out, uint16_t size) {
  uint16_t len = 0;
  const uint8_t* p = GetBinaryPtr(tag, len);
  if (p == nullptr || out == nullptr) return 0;
  const uint16_t n = len < size ? len : size;
  if (n != 0) std::memcpy(out, p, n);
  return n;
}

bool TlvActor::HasTag(uint32_t tag) {
  uint16_t len = 0;
  return GetBinaryPtr(tag, len) != nullptr;
}

bool TlvActor::DeleteTag(uint32_t tag) { return common::DeleteTag(*this, tag) == 1; }

void TlvActor::FreeData() {
  clear();
  data = nullptr;
  length = 0;
  position = 0;
}

TlvBufferDynamic::TlvBufferDynamic(const TlvBufferDynamic& other) : TlvActor(), InternalAllocator<char, 64u>() {
  Assign(other.data, other.length);
  position = other.position;
}

TlvBufferDynamic& TlvBufferDynamic::operator=(const TlvBufferDynamic& other) {
  if (this != &other) {
    Assign(other.data, other.length);
    position = other.position;
  }
  return *this;
}

TlvBufferDynamic::TlvBufferDynamic(TlvBufferDynamic&& other) noexcept
    : TlvActor(), InternalAllocator<char, 64u>(std::move(other)) {
  length = other.length;
  position = other.position;
  Sync();
  other.data = nullptr;
  other.length = 0;
  other.position = 0;
}

TlvBufferDynamic& TlvBufferDynamic::operator=(TlvBufferDynamic&& other) noexcept {
  if (this != &other) {
    InternalAllocator<char, 64u>::operator=(std::move(other));
    length = other.length;
    position = other.position;
    Sync();
    other.data = nullptr;
    other.length = 0;
    other.position = 0;
  }
  return *this;
}

bool TlvBufferDynamic::growing(uint32_t needed, uint32_t used) {
  Reserve(used + needed, used);
  Sync();
  return true;
}

bool TlvBufferDynamic::shrink(uint32_t size, uint32_t used) {
  const uint32_t keep = size > used ? size : used;
  if (blockSize() > keep + kStep) {
    Replace(keep + kStep, used);
    Sync();
  }
  return true;
}

void TlvBufferDynamic::clear() {
  Release();
  Sync();
}

bool TlvBufferDynamic::Assign(const uint8_t* bytes, uint16_t len) {
  if (bytes == nullptr) len = 0;
  if (len != 0) {
    if (blockSize() < len) {
      Release();
      Reserve(len, 0);
    }
    std::memmove(block(), bytes, len);
  }
  Sync();
  length = len;
  position = 0;
  return true;
}

bool DavizTlvBuffer::SetTlvData(uint32_t tag, const void* value, uint32_t len, uint32_t maxLen, int mode) {
  if (len == 0 || maxLen == 0) return false;
  uint32_t n = len < maxLen ? len : maxLen;
  if (n > 0xFFFFu) n = 0xFFFFu;
  return AddTagBinary(tag, value, static_cast<uint16_t>(n), mode);
}

size_t DavizTlvBuffer::GetBinaryAsString(uint32_t tag, char* out, uint32_t maxBytes) {
  if (out == nullptr) return 0;
  uint16_t len = 0;
  const uint8_t* p = GetBinaryPtr(tag, len);
  const uint32_t n = p == nullptr ? 0 : (len < maxBytes ? len : maxBytes);
  hex_2_ascii(p, out, n);
  return 2 * static_cast<size_t>(n);
}

}  // namespace common
