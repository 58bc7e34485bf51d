#include "common/tlv.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace common {
namespace {

using Bytes = std::vector<uint8_t>;

// A list in caller memory with room to spare after the used bytes.
struct List {
  explicit List(Bytes initial = {}, size_t room = 1024) : mem(room, 0xEE) {
    std::copy(initial.begin(), initial.end(), mem.begin());
    buf = TlvBufferOver(mem.data(), static_cast<uint16_t>(initial.size()));
  }
  Bytes used() const { return Bytes(mem.begin(), mem.begin() + buf.length); }
  Bytes mem;
  T_TLV_Buffer buf;
};

Bytes Value(const T_TLV_Item& item) { return Bytes(item.value, item.value + item.length); }

TEST(TlvEncoding, TagAndLengthForms) {
  struct Case {
    uint32_t tag;
    size_t len;
    Bytes head;
  };
  const Case cases[] = {
      {0x5F2A, 2, {0x5F, 0x2A, 0x02}},
      {0x17, 127, {0x17, 0x7F}},
      {0xDF805F, 128, {0xDF, 0x80, 0x5F, 0x81, 0x80}},
      {0x9E, 200, {0x9E, 0x81, 0xC8}},
      {0x5F10, 300, {0x5F, 0x10, 0x82, 0x01, 0x2C}},
      {0xDF818203, 256, {0xDF, 0x81, 0x82, 0x03, 0x82, 0x01, 0x00}},
  };
  for (const auto& c : cases) {
    List l;
    Bytes value(c.len);
    for (size_t i = 0; i < c.len; ++i) value[i] = static_cast<uint8_t>(i);
    ASSERT_EQ(AddTagBinary(l.buf, c.tag, value.data(), static_cast<uint16_t>(c.len), TLV_ADD), 1);
    Bytes expected = c.head;
    expected.insert(expected.end(), value.begin(), value.end());
    EXPECT_EQ(l.used(), expected) << std::hex << c.tag;

    T_TLV_Item item;
    item.tag = c.tag;
    ASSERT_EQ(FindTag(l.buf, item), 1) << std::hex << c.tag;
    EXPECT_EQ(Value(item), value);
    EXPECT_EQ(item.total, expected.size());
    EXPECT_EQ(item.start, l.mem.data());
  }

  List l;
  const uint8_t cur[] = {0x43, 0x06};
  AddTagBinary(l.buf, 0x5F2A, cur, 2, TLV_ADD);
  EXPECT_EQ(l.used(), (Bytes{0x5F, 0x2A, 0x02, 0x43, 0x06}));
}

TEST(TlvEncoding, NumbersAreLittleEndian) {
  List l;
  tlvAddTagByte(l.buf, 0x81, 0x12, TLV_ADD);
  tlvAddTagWord(l.buf, 0x82, 0x3456, TLV_ADD);
  tlvAddTagDword(l.buf, 0x83, 0x789ABCDE, TLV_ADD);
  EXPECT_EQ(l.used(), (Bytes{0x81, 1, 0x12, 0x82, 2, 0x56, 0x34, 0x83, 4, 0xDE, 0xBC, 0x9A, 0x78}));
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x81), 0x12u);
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x82), 0x3456u);
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x83), 0x789ABCDEu);
  EXPECT_EQ(tlvDoGetBitmaskValue(l.buf, 0x82, 7), 0x5634u);
  EXPECT_EQ(tlvDoGetBitmaskValue(l.buf, 0x83, 7), 0xDEBC9A78u);
}

TEST(TlvAdd, ModesAndEmptyValues) {
  const uint8_t two[] = {1, 2};
  const uint8_t four[] = {3, 4, 5, 6};
  {
    List l;
    AddTagBinary(l.buf, 0x5F2A, two, 2, TLV_ADD);
    AddTagBinary(l.buf, 0x9A, two, 1, TLV_ADD);
    ASSERT_EQ(AddTagBinary(l.buf, 0x5F2A, four, 4, TLV_REPLACE), 1);
    // The old item is gone and the new one sits at the end.
    EXPECT_EQ(l.used(), (Bytes{0x9A, 1, 1, 0x5F, 0x2A, 4, 3, 4, 5, 6}));
  }
  {
    List l;
    AddTagBinary(l.buf, 0x5F2A, two, 2, TLV_ADD);
    ASSERT_EQ(AddTagBinary(l.buf, 0x5F2A, four, 4, TLV_ADD), 1);
    T_TLV_Item item;
    item.tag = 0x5F2A;
    ASSERT_EQ(FindTag(l.buf, item), 1);
    EXPECT_EQ(Value(item), (Bytes{1, 2}));  // both kept, the first wins
    EXPECT_EQ(l.buf.length, 12);
  }
  {
    List l;
    EXPECT_EQ(AddTagBinary(l.buf, 0x9A, two, 0, TLV_ADD), 0);
    EXPECT_EQ(AddTagBinary(l.buf, 0x9A, two, 0, TLV_REPLACE), 0);
    EXPECT_EQ(l.buf.length, 0);
    EXPECT_EQ(AddTagBinary(l.buf, 0x9A, nullptr, 0, TLV_ADD_EMPTY), 1);
    EXPECT_EQ(l.used(), (Bytes{0x9A, 0x00}));
    T_TLV_Item item;
    item.tag = 0x9A;
    EXPECT_EQ(FindTag(l.buf, item), 1);
    EXPECT_EQ(item.length, 0);
  }
  {
    List l;
    EXPECT_EQ(AddTagBinary(l.buf, 0, two, 2, TLV_ADD), 0);
    EXPECT_EQ(AddTagBinary(l.buf, 0x9A, two, 2, 3), 0);
    // Tags whose bytes would not read back as themselves.
    for (uint32_t bad : {0x9Fu, 0x1234u, 0x5F0101u, 0x1F8501u, 0xDF818283u}) {
      EXPECT_EQ(AddTagBinary(l.buf, bad, two, 2, TLV_ADD), 0) << std::hex << bad;
    }
    EXPECT_EQ(l.buf.length, 0);
    T_TLV_Buffer none;
    EXPECT_EQ(AddTagBinary(none, 0x9A, two, 2, TLV_ADD), 0);
  }
}

TEST(TlvAdd, RoomCheckNeverLetsTheListOutgrowItsMemory) {
  const Bytes value(10, 0xAB);
  // used + len + 5 < maxSize: 0 + 10 + 5 < 16 fits, < 15 does not.
  {
    List l({}, 16);
    EXPECT_EQ(AddTagBinarySize(l.buf, 0x9A, value.data(), 10, TLV_ADD, 15), 0);
    EXPECT_EQ(AddTagBinarySize(l.buf, 0x9A, value.data(), 10, TLV_ADD, 16), 1);
  }
  // A 4-byte tag with a 3-byte length takes 7 bytes beyond the value: the
  // classic check alone would let it overrun by one.
  {
    const Bytes big(300, 0x11);
    List l({}, 512);
    const uint32_t maxSize = 306;  // 300 + 5 < 306, but the item needs 307
    EXPECT_EQ(AddTagBinarySize(l.buf, 0xDF818203, big.data(), 300, TLV_ADD, maxSize), 0);
    EXPECT_EQ(l.buf.length, 0);
    EXPECT_EQ(AddTagBinarySize(l.buf, 0xDF818203, big.data(), 300, TLV_ADD, 307 + 1), 1);
  }
  // A refused replacement keeps the old item.
  {
    List l({}, 64);
    AddTagBinary(l.buf, 0x9A, value.data(), 10, TLV_ADD);
    const Bytes before = l.used();
    const Bytes larger(50, 0xCD);
    EXPECT_EQ(AddTagBinarySize(l.buf, 0x9A, larger.data(), 50, TLV_REPLACE, 40), 0);
    EXPECT_EQ(l.used(), before);
    // The room of the removed item counts: 12 used, item of 12 replaced by 12.
    EXPECT_EQ(AddTagBinarySize(l.buf, 0x9A, value.data(), 10, TLV_REPLACE, 16), 1);
  }
  // Without a room check the list still never passes 65,535 bytes.
  {
    Bytes mem(70000);
    T_TLV_Buffer b = TlvBufferOver(mem.data(), 65530);
    EXPECT_EQ(AddTagBinary(b, 0x9A, value.data(), 10, TLV_ADD), 0);
    EXPECT_EQ(b.length, 65530);
  }
}

TEST(TlvAdd, ValueTakenFromTheSameBuffer) {
  List l;
  const uint8_t v[] = {1, 2, 3, 4, 5, 6};
  AddTagBinary(l.buf, 0x81, v, 6, TLV_ADD);
  AddTagBinary(l.buf, 0x82, v, 2, TLV_ADD);
  T_TLV_Item item;
  item.tag = 0x81;
  ASSERT_EQ(FindTag(l.buf, item), 1);
  // Replacing a tag with its own value moves the bytes it points at.
  item.tag = 0x81;
  ASSERT_EQ(AddTag(l.buf, item, 0, TLV_REPLACE), 1);
  EXPECT_EQ(l.used(), (Bytes{0x82, 2, 1, 2, 0x81, 6, 1, 2, 3, 4, 5, 6}));
}

TEST(TlvSearch, ConstructedItemsDepthFirst) {
  // E1 { 9F02 (6 bytes), E2 { 5A (2) } }, 5A (1), 9F02 (1)
  List l({0xE1, 0x0F, 0x9F, 0x02, 0x06, 1, 2, 3, 4, 5, 6, 0xE2, 0x04, 0x5A, 0x02, 0xAA, 0xBB,
          0x5A, 0x01, 0xCC, 0x9F, 0x02, 0x01, 0x07});
  T_TLV_Item item;
  item.tag = 0x5A;
  ASSERT_EQ(FindTag(l.buf, item), 1);
  EXPECT_EQ(Value(item), (Bytes{0xAA, 0xBB}));  // the nested one comes first
  item.tag = 0x9F02;
  ASSERT_EQ(FindTag(l.buf, item), 1);
  EXPECT_EQ(item.length, 6);
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x9F02), 0u);  // 6 bytes is no number

  // Delete works on the top level only.
  EXPECT_EQ(DeleteTag(l.buf, 0x5A), 1);
  item.tag = 0x5A;
  ASSERT_EQ(FindTag(l.buf, item), 1);
  EXPECT_EQ(Value(item), (Bytes{0xAA, 0xBB}));
  EXPECT_EQ(DeleteTag(l.buf, 0x5A), 0);
  EXPECT_EQ(DeleteTag(l.buf, 0xE2), 0);
  EXPECT_EQ(DeleteTag(l.buf, 0xE1), 1);
  EXPECT_EQ(l.used(), (Bytes{0x9F, 0x02, 0x01, 0x07}));

  // A broken list inside a constructed item only ends the walk of that item.
  List broken({0xE1, 0x03, 0x5A, 0x09, 0x00, 0x9A, 0x01, 0x05});
  EXPECT_EQ(tlvGetTagValue(broken.buf, 0x9A), 5u);
}

TEST(TlvSearch, DeepNestingIsBounded) {
  // 40 constructed levels around a 5A item, and a 9A behind them all.
  auto nested = [](int depth) {
    Bytes inner = {0x5A, 0x01, 0x42};
    for (int i = 0; i < depth; ++i) {
      Bytes outer = {0xE1, static_cast<uint8_t>(inner.size())};
      outer.insert(outer.end(), inner.begin(), inner.end());
      inner = outer;
    }
    inner.insert(inner.end(), {0x9A, 0x01, 0x07});
    return inner;
  };
  List shallow(nested(3));
  EXPECT_EQ(tlvGetTagValue(shallow.buf, 0x5A), 0x42u);
  List deep(nested(40));
  EXPECT_EQ(tlvGetTagValue(deep.buf, 0x5A), 0u);  // below the walked depth
  EXPECT_EQ(tlvGetTagValue(deep.buf, 0x9A), 7u);
}

TEST(TlvSearch, ItemsThatDoNotFitEndEverySearch) {
  struct Case {
    const char* what;
    Bytes list;
  };
  const Case cases[] = {
      {"value past the end", {0x9A, 0x01, 0x05, 0x5A, 0x05, 1, 2}},
      {"long length past the end", {0x9A, 0x01, 0x05, 0x5A, 0x82, 0x01}},
      {"long length claims too much", {0x9A, 0x01, 0x05, 0x5A, 0x81, 0x10, 1}},
      {"tag cut short", {0x9A, 0x01, 0x05, 0x5F, 0x81}},
      {"tag of five bytes", {0x9A, 0x01, 0x05, 0xDF, 0x81, 0x82, 0x83, 0x84, 0x01, 0x00}},
      {"one byte left", {0x9A, 0x01, 0x05, 0x00, 0x5A}},
  };
  for (const auto& c : cases) {
    List l(c.list, c.list.size());  // memory ends exactly at the used end
    T_TLV_Item item;
    item.tag = 0x9A;
    EXPECT_EQ(FindTag(l.buf, item), 1) << c.what;
    item.tag = 0x5A;
    EXPECT_EQ(FindTag(l.buf, item), 0) << c.what;
    EXPECT_EQ(DeleteTag(l.buf, 0x5A), 0) << c.what;
    int count = 0;
    for (int ok = FindFirstTag(l.buf, item); ok; ok = FindNextTag(l.buf, item)) ++count;
    EXPECT_EQ(count, 1) << c.what;
  }
  // Only the last two bytes of a long length count.
  List l({0x5A, 0x83, 0x01, 0x00, 0x02, 0xAA, 0xBB});
  T_TLV_Item item;
  item.tag = 0x5A;
  ASSERT_EQ(FindTag(l.buf, item), 1);
  EXPECT_EQ(item.length, 2);
}

TEST(TlvSearch, WalkSkipsPaddingAndStaysOnTopLevel) {
  List l({0x00, 0x00, 0x9A, 0x01, 0x01, 0x00, 0xE1, 0x03, 0x5A, 0x01, 0x02, 0x9F, 0x1F, 0x01, 0x03});
  std::vector<uint32_t> tags;
  T_TLV_Item item;
  for (int ok = FindFirstTag(l.buf, item); ok; ok = FindNextTag(l.buf, item)) tags.push_back(item.tag);
  EXPECT_EQ(tags, (std::vector<uint32_t>{0x9A, 0xE1, 0x9F1F}));
}

TEST(TlvSearch, TagsEndingAfterTheirSecondByte) {
  // 1F 85 ends after two bytes although 0x85 has its high bit set; 1F B0
  // does not, and FF F0 does again.
  List l({0x1F, 0x85, 0x01, 0x11, 0x1F, 0xB0, 0x01, 0x01, 0x22, 0xFF, 0xF0, 0x01, 0x33});
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x1F85), 0x11u);
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x1FB001), 0x22u);
  EXPECT_EQ(tlvGetTagValue(l.buf, 0xFFF0), 0x33u);
}

TEST(TlvDelete, KeepsTheRestAndTheWalkPosition) {
  List l({0x81, 0x01, 0x01, 0x82, 0x01, 0x02, 0x83, 0x01, 0x03});
  T_TLV_Item item;
  ASSERT_EQ(FindFirstTag(l.buf, item), 1);
  ASSERT_EQ(FindNextTag(l.buf, item), 1);  // at 0x82, position before 0x83
  EXPECT_EQ(DeleteTag(l.buf, 0x81), 1);
  ASSERT_EQ(FindNextTag(l.buf, item), 1);
  EXPECT_EQ(item.tag, 0x83u);
  EXPECT_EQ(l.used(), (Bytes{0x82, 0x01, 0x02, 0x83, 0x01, 0x03}));
}

TEST(TlvGetters, DefaultsAndStrings) {
  List l({0x81, 0x03, 1, 2, 3, 0x82, 0x08, 1, 0, 0, 0, 0, 0, 0, 0x80, 0x83, 0x04, 0x00, 0x01, 0x80, 0x00,
          0x84, 0x02, 0x12, 0x34, 0x50, 0x05, 'h', 'e', 'l', 'l', 'o'});
  EXPECT_EQ(tlvGetTagValue(l.buf, 0x81), 0u);
  EXPECT_EQ(tlvDoGetTagValue(l.buf, 0x81, 9), 9u);
  EXPECT_EQ(tlvDoGetTagValue(l.buf, 0x99, 9), 9u);
  EXPECT_EQ(tlvDoGetTagValue64(l.buf, 0x82, 9), 0x8000000000000001ull);
  EXPECT_EQ(tlvDoGetTagValue64(l.buf, 0x81, 9), 9u);
  EXPECT_EQ(auxDoGetOperMaskValue(l.buf, 0x83, 9), 0x80000001u);
  EXPECT_EQ(auxDoGetOperMaskValue(l.buf, 0x84, 9), 0x1234u);
  EXPECT_EQ(auxDoGetOperMaskValue(l.buf, 0x99, 9), 9u);
  EXPECT_EQ(tlvDoGetBitmaskValue(l.buf, 0x81, 9), 9u);

  char out[4] = "xyz";
  EXPECT_EQ(tlvDoGetTagStringSize(l.buf, 0x50, out, sizeof out), 3u);
  EXPECT_STREQ(out, "hel");
  char big[16];
  EXPECT_STREQ(tlvGetTagStringPtrSize(l.buf, 0x50, big, sizeof big), "hello");
  EXPECT_STREQ(tlvGetTagStringPtrSize(l.buf, 0x99, big, sizeof big), "");
  EXPECT_EQ(tlvDoGetTagStringSize(l.buf, 0x50, out, 0), 0u);
  EXPECT_EQ(out[0], 'h');  // size 0: nothing written
  EXPECT_EQ(GetTagPtr(l.buf, 0x99), nullptr);
  EXPECT_EQ(*GetTagPtr(l.buf, 0x50), 'h');
}

TEST(TlvDol, TagsWithLengthsAndTagsOnly) {
  List dol({0x00, 0x9F, 0x02, 0x06, 0x5F, 0x2A, 0x02, 0x9A, 0x03});
  T_TLV_Item items[8];
  ASSERT_EQ(ParseDol(dol.buf, items, 0, false), 3u);
  EXPECT_EQ(items[0].tag, 0x9F02u);
  EXPECT_EQ(items[0].length, 6);
  EXPECT_EQ(items[1].tag, 0x5F2Au);
  EXPECT_EQ(items[2].tag, 0x9Au);
  EXPECT_EQ(items[2].length, 3);
  EXPECT_EQ(ParseDol(dol.buf, items, 2, false), 2u);

  List tags({0x9F, 0x02, 0x5F, 0x2A, 0x9A});
  ASSERT_EQ(ParseDol(tags.buf, items, 8, true), 3u);
  EXPECT_EQ(items[2].tag, 0x9Au);
  EXPECT_EQ(items[2].length, 0);

  List cut({0x9F, 0x02, 0x06, 0x5F});
  EXPECT_EQ(ParseDol(cut.buf, items, 8, false), 1u);
}

TEST(TlvCopy, CopiesUsedBytes) {
  List src({0x9A, 0x01, 0x05});
  List dst({}, 3);
  EXPECT_FALSE(CopyBufferFromSize(dst.buf, src.buf, 2));
  EXPECT_EQ(dst.buf.length, 0);
  EXPECT_TRUE(CopyBufferFromSize(dst.buf, src.buf, 3));
  EXPECT_EQ(dst.used(), src.used());
}

}  // namespace
}  // namespace common
