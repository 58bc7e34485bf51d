// TLV lists from outside parties: searching, walking, deleting and adding on
// arbitrary bytes must stay inside the used length and keep the list sound.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "common/tlv.h"
#include "common/tlv_actor.h"

using namespace common;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

void CheckInside(const T_TLV_Buffer& b, const T_TLV_Item& item) {
  Check(item.start >= b.data && item.start + item.total <= b.data + b.length);
  Check(item.value >= item.start && item.value + item.length == item.start + item.total);
}

uint32_t TagFrom(const uint8_t* p, size_t n) {
  uint32_t t = 0;
  for (size_t i = 0; i < n && i < 4; ++i) t = (t << 8) | p[i];
  return t;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  // Control bytes: a tag to look for, a tag to add and the room to leave.
  const uint32_t want = TagFrom(data, 1 + (data[0] & 3));
  const uint32_t addTag = TagFrom(data + 1, 1 + (data[1] >> 6));
  const uint32_t slack = data[5];
  const uint8_t flags = data[4];
  data += 6;
  size -= 6;
  if (size > 0xFFFF - 512) size = 0xFFFF - 512;

  // The list sits in memory that ends exactly where the used bytes end, so
  // any read past them is caught.
  auto exact = std::make_unique<uint8_t[]>(size + 1);
  std::memcpy(exact.get(), data, size);
  T_TLV_Buffer b = TlvBufferOver(exact.get(), static_cast<uint16_t>(size));

  T_TLV_Item item;
  item.tag = want;
  if (FindTag(b, item)) {
    Check(item.tag == want);
    CheckInside(b, item);
  }
  int walked = 0;
  for (int ok = FindFirstTag(b, item); ok; ok = FindNextTag(b, item)) {
    CheckInside(b, item);
    Check(++walked <= static_cast<int>(size));
  }
  (void)tlvDoGetTagValue64(b, want, 0);
  (void)auxDoGetOperMaskValue(b, want, 0);
  char text[16];
  (void)tlvGetTagStringPtrSize(b, want, text, sizeof text);

  T_TLV_Item dol[64];
  Check(ParseDol(b, dol, 64, (flags & 1) != 0) <= 64);

  const uint16_t before = b.length;
  if (DeleteTag(b, want)) Check(b.length < before);

  // Adding into memory with room: the list never outgrows maxSize, and a
  // well-formed tag added in replace mode is found at the end of a walk.
  // maxSize 0 would mean "no check", so the room is never 0 here.
  const uint32_t room = b.length + slack + 1;
  auto roomy = std::make_unique<uint8_t[]>(room + 1);
  T_TLV_Buffer r = TlvBufferOver(roomy.get(), b.length);
  Check(CopyBufferFromSize(r, b, room));
  const uint16_t valueLen = static_cast<uint16_t>(size < 300 ? size : 300);
  const int mode = flags % 3;
  if (AddTagBinarySize(r, addTag, data, valueLen, mode, room)) {
    Check(r.length <= room);
    Check(TlvTagIsReadable(addTag));
  }

  // The heap list grows and keeps everything it accepted.
  DavizTlvBuffer dyn;
  dyn.Assign(exact.get(), b.length);
  if (dyn.AddTagBinary(addTag, data, valueLen, mode == 0 ? TLV_ADD_EMPTY : mode)) {
    Check(dyn.used() <= dyn.capacity());
  }
  dyn.DeleteTag(want);
  char hex[2 * 8 + 1];
  dyn.GetBinaryAsString(want, hex, 8);
  return 0;
}
