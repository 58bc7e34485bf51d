#include "common/tlv.h"

#include <cstring>
#include <vector>

#include "common/byte_order.h"

namespace common {
namespace {

// Nesting deeper than this is not walked into: real lists nest two or three
// levels, and the walk must not be at the mercy of a hostile list.
constexpr int kMaxDepth = 32;

bool EndsAfterSecondByte(uint32_t twoBytes) {
  return (twoBytes >= 0xFFE0 && twoBytes <= 0xFFFF) ||
         (twoBytes >= 0x1F00 && twoBytes <= 0x1FFF && twoBytes != 0x1FB0);
}

// Reads a tag of 1 to 4 bytes at pos (below end). False when it runs past end
// or is longer than 4 bytes.
bool ReadTag(const uint8_t* d, uint32_t& pos, uint32_t end, uint32_t& tag) {
  if (pos >= end) return false;
  const uint8_t first = d[pos++];
  tag = first;
  if ((first & 0x1F) != 0x1F) return true;
  for (int count = 1;; ++count) {
    if (count == 4 || pos >= end) return false;
    const uint8_t b = d[pos++];
    tag = (tag << 8) | b;
    if (count == 1 && EndsAfterSecondByte(tag)) return true;
    if ((b & 0x80) == 0) return true;
  }
}

// Reads a length at pos; with the long form only the last two bytes count.
bool ReadLength(const uint8_t* d, uint32_t& pos, uint32_t end, uint32_t& length) {
  if (pos >= end) return false;
  const uint8_t first = d[pos++];
  if ((first & 0x80) == 0) {
    length = first;
    return true;
  }
  const uint32_t n = first & 0x7Fu;
  if (end - pos < n) return false;
  length = 0;
  for (uint32_t i = 0; i < n; ++i) length = ((length << 8) | d[pos++]) & 0xFFFFu;
  return true;
}

struct Parsed {
  uint32_t tag = 0;
  uint32_t start = 0;
  uint32_t valueStart = 0;
  uint32_t valueLength = 0;
  uint32_t end = 0;
  bool constructed = false;
};

// The item at pos inside [pos, end), padding skipped. False at the end of the
// list or at an item that does not fit.
bool ReadItem(const uint8_t* d, uint32_t pos, uint32_t end, Parsed& p) {
  while (pos < end && d[pos] == 0) ++pos;
  if (pos > end || end - pos < 2) return false;
  p.start = pos;
  p.constructed = (d[pos] & 0x20) != 0;
  if (!ReadTag(d, pos, end, p.tag)) return false;
  if (!ReadLength(d, pos, end, p.valueLength)) return false;
  if (end - pos < p.valueLength) return false;
  p.valueStart = pos;
  p.end = pos + p.valueLength;
  return true;
}

void Fill(const T_TLV_Buffer& b, const Parsed& p, T_TLV_Item& item) {
  item.tag = p.tag;
  item.value = b.data + p.valueStart;
  item.length = static_cast<uint16_t>(p.valueLength);
  item.start = b.data + p.start;
  item.total = static_cast<uint16_t>(p.end - p.start);
}

// The search shared by every reader. want 0 matches any tag; descend walks
// into constructed items depth first. A list inside a constructed item that
// ends or breaks off only ends the walk of that item: its bounds were checked
// against the enclosing list, so the walk goes on after it.
bool Search(const T_TLV_Buffer& b, uint32_t from, uint32_t want, bool descend, Parsed& hit) {
  if (b.data == nullptr) return false;
  uint32_t ends[kMaxDepth + 1];
  int depth = 0;
  ends[0] = b.length;
  uint32_t pos = from;
  for (;;) {
    Parsed p;
    if (pos > ends[depth] || !ReadItem(b.data, pos, ends[depth], p)) {
      if (depth == 0) return false;
      pos = ends[depth];
      --depth;
      continue;
    }
    if (want == 0 || p.tag == want) {
      hit = p;
      return true;
    }
    if (descend && p.constructed && depth < kMaxDepth && p.valueLength != 0) {
      ends[++depth] = p.end;
      pos = p.valueStart;
      continue;
    }
    pos = p.end;
  }
}

bool FindAndFill(T_TLV_Buffer& b, uint32_t from, uint32_t want, bool descend, T_TLV_Item& item) {
  Parsed p;
  if (!Search(b, from, want, descend, p)) return false;
  Fill(b, p, item);
  b.position = static_cast<uint16_t>(p.end);
  return true;
}

// Removes [start, start + size) from the used bytes, keeping the read
// position on the same following item.
void RemoveBytes(T_TLV_Buffer& b, uint32_t start, uint32_t size) {
  const uint32_t end = start + size;
  std::memmove(b.data + start, b.data + end, b.length - end);
  b.length = static_cast<uint16_t>(b.length - size);
  if (b.position >= end) {
    b.position = static_cast<uint16_t>(b.position - size);
  } else if (b.position > start) {
    b.position = static_cast<uint16_t>(start);
  }
}

uint32_t ReadLittle(const uint8_t* p, uint32_t len) {
  switch (len) {
    case 1: return p[0];
    case 2: return MSB_WORD(p);
    default: return MSB_DWORD(p);
  }
}

uint32_t ReadBig(const uint8_t* p, uint32_t len) {
  switch (len) {
    case 1: return p[0];
    case 2: return HSB_WORD_B(p);
    default: return HSB_DWORD_B(p);
  }
}

bool IsNumberLength(uint32_t len) { return len == 1 || len == 2 || len == 4; }

}  // namespace

uint32_t TlvTagSize(uint32_t tag) {
  if (tag == 0) return 0;
  if (tag <= 0xFF) return 1;
  if (tag <= 0xFFFF) return 2;
  if (tag <= 0xFFFFFF) return 3;
  return 4;
}

uint32_t TlvLengthSize(uint32_t length) {
  if (length <= 0x7F) return 1;
  if (length <= 0xFF) return 2;
  return 3;
}

bool TlvTagIsReadable(uint32_t tag) {
  const uint32_t size = TlvTagSize(tag);
  if (size == 0) return false;
  uint8_t bytes[4];
  for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(tag >> (8 * (size - 1 - i)));
  uint32_t pos = 0;
  uint32_t read = 0;
  return ReadTag(bytes, pos, size, read) && pos == size && read == tag;
}

uint32_t TlvItemSize(uint32_t tag, uint32_t length) {
  return TlvTagSize(tag) + TlvLengthSize(length) + length;
}

int AddTag(T_TLV_Buffer& buffer, const T_TLV_Item& item, uint32_t maxSize, int mode) {
  if (buffer.data == nullptr || !TlvTagIsReadable(item.tag)) return 0;
  if (mode != TLV_ADD && mode != TLV_REPLACE && mode != TLV_ADD_EMPTY) return 0;
  const uint32_t len = item.length;
  if (len == 0 && mode != TLV_ADD_EMPTY) return 0;
  if (len != 0 && item.value == nullptr) return 0;

  Parsed old;
  const bool replacing = mode == TLV_REPLACE && Search(buffer, 0, item.tag, false, old);
  const uint32_t oldSize = replacing ? old.end - old.start : 0;
  const uint32_t after = buffer.length - oldSize;
  const uint32_t need = TlvItemSize(item.tag, len);
  // Every check happens before anything moves: a refused replacement keeps
  // the old item. Besides the classic "used + len + 5 < maxSize" the whole
  // encoded item must fit, as a 4-byte tag with a 3-byte length takes 7.
  if (maxSize != 0 && (after + len + 5 >= maxSize || after + need > maxSize)) return 0;
  if (after + need > 0xFFFFu) return 0;

  // A value taken from this very buffer would move under our feet.
  const uint8_t* src = item.value;
  std::vector<uint8_t> copy;
  const auto v = reinterpret_cast<uintptr_t>(src);
  const auto d = reinterpret_cast<uintptr_t>(buffer.data);
  if (len != 0 && v < d + buffer.length && v + len > d) {
    copy.assign(src, src + len);
    src = copy.data();
  }

  if (replacing) RemoveBytes(buffer, old.start, oldSize);
  uint8_t* out = buffer.data + buffer.length;
  const uint32_t tagSize = TlvTagSize(item.tag);
  for (uint32_t i = 0; i < tagSize; ++i) *out++ = static_cast<uint8_t>(item.tag >> (8 * (tagSize - 1 - i)));
  if (len <= 0x7F) {
    *out++ = static_cast<uint8_t>(len);
  } else if (len <= 0xFF) {
    *out++ = 0x81;
    *out++ = static_cast<uint8_t>(len);
  } else {
    *out++ = 0x82;
    *out++ = static_cast<uint8_t>(len >> 8);
    *out++ = static_cast<uint8_t>(len);
  }
  if (len != 0) std::memmove(out, src, len);
  buffer.length = static_cast<uint16_t>(buffer.length + need);
  return 1;
}

int AddTagBinarySize(T_TLV_Buffer& buffer, uint32_t tag, const void* data, uint16_t len, int mode,
                     uint32_t maxSize) {
  T_TLV_Item item;
  item.tag = tag;
  item.value = static_cast<uint8_t*>(const_cast<void*>(data));
  item.length = len;
  return AddTag(buffer, item, maxSize, mode);
}

int AddTagBinary(T_TLV_Buffer& buffer, uint32_t tag, const void* data, uint16_t len, int mode) {
  return AddTagBinarySize(buffer, tag, data, len, mode, 0);
}

int tlvAddTagByte(T_TLV_Buffer& buffer, uint32_t tag, uint8_t value, int mode) {
  return AddTagBinary(buffer, tag, &value, 1, mode);
}

int tlvAddTagWord(T_TLV_Buffer& buffer, uint32_t tag, uint16_t value, int mode) {
  uint8_t b[2];
  WORD_MSB(value, b);
  return AddTagBinary(buffer, tag, b, 2, mode);
}

int tlvAddTagDword(T_TLV_Buffer& buffer, uint32_t tag, uint32_t value, int mode) {
  uint8_t b[4];
  DWORD_MSB(value, b);
  return AddTagBinary(buffer, tag, b, 4, mode);
}

int FindTag(T_TLV_Buffer& buffer, T_TLV_Item& item) {
  if (item.tag == 0) return 0;
  return FindAndFill(buffer, 0, item.tag, true, item) ? 1 : 0;
}

uint8_t* GetTagPtr(T_TLV_Buffer& buffer, uint32_t tag) {
  T_TLV_Item item;
  item.tag = tag;
  return FindTag(buffer, item) ? item.value : nullptr;
}

int FindFirstTag(T_TLV_Buffer& buffer, T_TLV_Item& item) {
  return FindAndFill(buffer, 0, 0, false, item) ? 1 : 0;
}

int FindNextTag(T_TLV_Buffer& buffer, T_TLV_Item& item) {
  return FindAndFill(buffer, buffer.position, 0, false, item) ? 1 : 0;
}

int DeleteTag(T_TLV_Buffer& buffer, uint32_t tag) {
  Parsed p;
  if (tag == 0 || !Search(buffer, 0, tag, false, p)) return 0;
  RemoveBytes(buffer, p.start, p.end - p.start);
  return 1;
}

uint32_t tlvDoGetTagDWORD(const T_TLV_Item& item, uint32_t def) {
  if (item.value == nullptr || !IsNumberLength(item.length)) return def;
  return ReadLittle(item.value, item.length);
}

uint32_t tlvDoGetTagValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def) {
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(buffer, item)) return def;
  return tlvDoGetTagDWORD(item, def);
}

uint32_t tlvGetTagValue(T_TLV_Buffer& buffer, uint32_t tag) { return tlvDoGetTagValue(buffer, tag, 0); }

uint64_t tlvDoGetTagValue64(T_TLV_Buffer& buffer, uint32_t tag, uint64_t def) {
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(buffer, item)) return def;
  if (item.length == 8) return MSB_QWORD(item.value);
  if (!IsNumberLength(item.length)) return def;
  return ReadLittle(item.value, item.length);
}

uint32_t tlvValueToBitmask(const T_TLV_Item& item, uint32_t def) {
  if (item.value == nullptr || !IsNumberLength(item.length)) return def;
  return ReadBig(item.value, item.length);
}

uint32_t tlvDoGetBitmaskValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def) {
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(buffer, item)) return def;
  return tlvValueToBitmask(item, def);
}

uint32_t auxDoGetOperMaskValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def) {
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(buffer, item) || item.length < 2) return def;
  uint32_t mask = HSB_WORD_B(item.value);
  if (item.length >= 4) mask |= static_cast<uint32_t>(HSB_WORD_B(item.value + 2)) << 16;
  return mask;
}

size_t tlvValueToString(const T_TLV_Item& item, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  size_t n = item.value == nullptr ? 0 : item.length;
  if (n > size - 1) n = size - 1;
  if (n != 0) std::memcpy(out, item.value, n);
  out[n] = '\0';
  return n;
}

size_t tlvDoGetTagStringSize(T_TLV_Buffer& buffer, uint32_t tag, char* out, size_t size) {
  if (out == nullptr || size == 0) return 0;
  T_TLV_Item item;
  item.tag = tag;
  if (!FindTag(buffer, item)) {
    out[0] = '\0';
    return 0;
  }
  return tlvValueToString(item, out, size);
}

char* tlvGetTagStringPtrSize(T_TLV_Buffer& buffer, uint32_t tag, char* out, size_t size) {
  tlvDoGetTagStringSize(buffer, tag, out, size);
  return out;
}

uint32_t ParseDol(const T_TLV_Buffer& buffer, T_TLV_Item* items, uint32_t count, bool tagsOnly) {
  if (buffer.data == nullptr) return 0;
  const uint8_t* d = buffer.data;
  const uint32_t end = buffer.length;
  uint32_t pos = 0;
  while (pos < end && d[pos] == 0) ++pos;
  uint32_t n = 0;
  while (pos < end && (count == 0 || n < count)) {
    const uint32_t start = pos;
    uint32_t tag = 0;
    uint32_t length = 0;
    if (!ReadTag(d, pos, end, tag)) break;
    if (!tagsOnly && !ReadLength(d, pos, end, length)) break;
    if (items != nullptr) {
      T_TLV_Item& it = items[n];
      it.tag = tag;
      it.value = nullptr;
      it.length = static_cast<uint16_t>(length);
      it.start = buffer.data + start;
      it.total = static_cast<uint16_t>(pos - start);
    }
    ++n;
  }
  return n;
}

void CopyBufferFrom(T_TLV_Buffer& dst, const T_TLV_Buffer& src) {
  if (dst.data == nullptr) return;
  const uint16_t len = src.data == nullptr ? 0 : src.length;
  if (len != 0) std::memmove(dst.data, src.data, len);
  dst.length = len;
  dst.position = 0;
}

bool CopyBufferFromSize(T_TLV_Buffer& dst, const T_TLV_Buffer& src, uint32_t dstSize) {
  if (dst.data == nullptr) return false;
  const uint32_t len = src.data == nullptr ? 0 : src.length;
  if (len > dstSize) return false;
  CopyBufferFrom(dst, src);
  return true;
}

}  // namespace common
