// BER-TLV lists (as used by EMV) in a caller-owned byte buffer.
//
// A tag is handled as a 32-bit number whose bytes are the tag bytes without
// leading zeros (0x5F2A is 5F 2A). Lengths use the shortest form on writing
// (one byte up to 127, 81 xx up to 255, 82 xx xx up to 65,535). Zero bytes
// between items are padding: skipped when reading, never written.
//
// Reading never goes past the used length: a search stops, without a result,
// at the first item that does not fit.
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

struct tag_T_TLV_Buffer {
  uint8_t* data = nullptr;  // owned by the caller, who knows its size
  uint16_t length = 0;      // used bytes
  uint16_t position = 0;    // read position of FindNextTag
};
using T_TLV_Buffer = tag_T_TLV_Buffer;

struct T_TLV_Item {
  uint32_t tag = 0;
  uint8_t* value = nullptr;
  uint16_t length = 0;      // value length
  uint8_t* start = nullptr;  // first byte of the item (its tag)
  uint16_t total = 0;        // tag, length and value bytes
};

enum TLVREPLACEMODE : int {
  TLV_ADD = 0,          // append; an existing item with the tag stays
  TLV_REPLACE = 1,      // remove an existing top-level item with the tag first
  TLV_ADD_EMPTY = 2,    // append even when the value is empty
};

// A buffer over caller memory with used bytes.
inline T_TLV_Buffer TlvBufferOver(uint8_t* data, uint16_t used) {
  T_TLV_Buffer b;
  b.data = data;
  b.length = used;
  return b;
}

// Number of bytes of the tag (1 to 4; 0 for tag 0) and of the encoded length.
uint32_t TlvTagSize(uint32_t tag);
uint32_t TlvLengthSize(uint32_t length);
// Whether the tag's bytes read back as this very tag (0x9F alone does not: its
// low five bits announce a further byte). Other tags are refused by AddTag, as
// they would swallow the bytes of the item behind them.
bool TlvTagIsReadable(uint32_t tag);
// Encoded size of an item with this tag and value length.
uint32_t TlvItemSize(uint32_t tag, uint32_t length);

// Appends item.tag / item.value / item.length at the used end. maxSize is the
// size of the buffer's memory; 0 means the caller guarantees the room. Returns
// 1 on success, 0 when refused (no data pointer, tag 0 or unreadable, unknown mode, empty
// value outside mode 2, no room); nothing is changed when refused. The value
// may lie inside the buffer itself.
int AddTag(T_TLV_Buffer& buffer, const T_TLV_Item& item, uint32_t maxSize, int mode);
int AddTagBinary(T_TLV_Buffer& buffer, uint32_t tag, const void* data, uint16_t len, int mode);
int AddTagBinarySize(T_TLV_Buffer& buffer, uint32_t tag, const void* data, uint16_t len, int mode,
                     uint32_t maxSize);
// 1-, 2- and 4-byte little-endian numbers (no room check, as AddTagBinary).
int tlvAddTagByte(T_TLV_Buffer& buffer, uint32_t tag, uint8_t value, int mode);
int tlvAddTagWord(T_TLV_Buffer& buffer, uint32_t tag, uint16_t value, int mode);
int tlvAddTagDword(T_TLV_Buffer& buffer, uint32_t tag, uint32_t value, int mode);

// First item with item.tag from the start, depth first through constructed
// items. Fills item and leaves the read position after it. Returns 1 / 0.
int FindTag(T_TLV_Buffer& buffer, T_TLV_Item& item);
// The value of that item, or null.
uint8_t* GetTagPtr(T_TLV_Buffer& buffer, uint32_t tag);
// Top level only, any tag: the first item, then the one at the read position.
int FindFirstTag(T_TLV_Buffer& buffer, T_TLV_Item& item);
int FindNextTag(T_TLV_Buffer& buffer, T_TLV_Item& item);
// Removes the first top-level item with the tag; the bytes after it move up.
int DeleteTag(T_TLV_Buffer& buffer, uint32_t tag);

// Numbers: 1, 2 or 4 bytes little-endian; any other length or a missing tag
// gives the default.
uint32_t tlvGetTagValue(T_TLV_Buffer& buffer, uint32_t tag);
uint32_t tlvDoGetTagValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def);
uint32_t tlvDoGetTagDWORD(const T_TLV_Item& item, uint32_t def);
// 1, 2, 4 or 8 bytes little-endian.
uint64_t tlvDoGetTagValue64(T_TLV_Buffer& buffer, uint32_t tag, uint64_t def);
// Bit masks are stored big-endian: 1, 2 or 4 bytes.
uint32_t tlvValueToBitmask(const T_TLV_Item& item, uint32_t def = 0);
uint32_t tlvDoGetBitmaskValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def);
// Operation mask: one big-endian word, or two (the second is the high half)
// from a value of 4 or more bytes; shorter than 2 bytes gives the default.
uint32_t auxDoGetOperMaskValue(T_TLV_Buffer& buffer, uint32_t tag, uint32_t def);

// Copies the value and a terminating zero into out of size bytes (at most
// size - 1 characters). Size 0 writes nothing. Returns the characters copied.
size_t tlvValueToString(const T_TLV_Item& item, char* out, size_t size);
// Finds the tag and copies as above; out becomes "" when it is missing.
char* tlvGetTagStringPtrSize(T_TLV_Buffer& buffer, uint32_t tag, char* out, size_t size);
size_t tlvDoGetTagStringSize(T_TLV_Buffer& buffer, uint32_t tag, char* out, size_t size);

// Splits a data object list (tags with lengths, or tags only) into at most
// count items (count 0: no limit, so items must have room for one per byte of
// the list). Items get tag, declared length, start and encoded size; value is
// null. Leading zero bytes are skipped once. Returns the number of items.
uint32_t ParseDol(const T_TLV_Buffer& buffer, T_TLV_Item* items, uint32_t count, bool tagsOnly);

// Copies the used bytes of src into dst's memory (dst must be large enough).
void CopyBufferFrom(T_TLV_Buffer& dst, const T_TLV_Buffer& src);
// The same, refusing (false, dst unchanged) when src does not fit dstSize.
bool CopyBufferFromSize(T_TLV_Buffer& dst, const T_TLV_Buffer& src, uint32_t dstSize);

}  // namespace common
