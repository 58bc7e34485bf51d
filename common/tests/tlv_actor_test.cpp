#include "common/base_array.h"
#include "common/tlv_actor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace common {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(TlvBufferDynamic, GrowsInStepsAndKeepsItems) {
  TlvBufferDynamic b;
  EXPECT_EQ(b.capacity(), 0u);
  ASSERT_TRUE(b.AddTagDword(0x9F02, 12345));
  const uint32_t first = b.capacity();
  EXPECT_GE(first, 64u + 4u);  // one item never reallocates per byte
  Bytes big(1000);
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<uint8_t>(i * 7);
  for (uint32_t tag = 0xDF01; tag < 0xDF01 + 30; ++tag) {
    ASSERT_TRUE(b.AddTagBinary(tag, big.data(), static_cast<uint16_t>(tag - 0xDF00), TLV_REPLACE));
  }
  ASSERT_TRUE(b.AddTagBinary(0x5F10, big.data(), 1000, TLV_REPLACE));
  EXPECT_LE(b.used(), b.capacity());
  EXPECT_EQ(tlvGetTagValue(b, 0x9F02), 12345u);
  uint16_t len = 0;
  const uint8_t* p = b.GetBinaryPtr(0x5F10, len);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(Bytes(p, p + len), big);

  uint8_t out[8];
  EXPECT_EQ(b.GetBinary(0xDF1E, out, sizeof out), 8);  // cut at the room given
  EXPECT_EQ(b.GetBinary(0xDF02, out, sizeof out), 2);
  EXPECT_EQ(b.GetBinary(0x77, out, sizeof out), 0);

  // Replacing with a value held in the list itself.
  p = b.GetBinaryPtr(0x5F10, len);
  ASSERT_TRUE(b.AddTagBinary(0x5F11, p, len, TLV_REPLACE));
  p = b.GetBinaryPtr(0x5F11, len);
  EXPECT_EQ(Bytes(p, p + len), big);

  // Copies are deep.
  TlvBufferDynamic copy = b;
  EXPECT_TRUE(copy.DeleteTag(0x9F02));
  EXPECT_EQ(tlvGetTagValue(b, 0x9F02), 12345u);
  TlvBufferDynamic moved = std::move(copy);
  EXPECT_EQ(copy.used(), 0);
  EXPECT_FALSE(moved.HasTag(0x9F02));
  EXPECT_TRUE(moved.HasTag(0x5F10));

  b.FreeData();
  EXPECT_EQ(b.used(), 0);
  EXPECT_EQ(b.capacity(), 0u);
  EXPECT_FALSE(b.HasTag(0x9F02));
  EXPECT_TRUE(b.AddTagByte(0x9A, 1));
}

TEST(DavizTlvBuffer, SetTlvDataAndHexText) {
  DavizTlvBuffer b;
  const uint8_t hash[] = {0x01, 0xAB, 0xFF, 0x10};
  EXPECT_FALSE(b.SetTlvData(0x5F36, hash, 0, 20));
  EXPECT_FALSE(b.SetTlvData(0x5F36, hash, 4, 0));
  EXPECT_FALSE(b.HasTag(0x5F36));
  EXPECT_TRUE(b.SetTlvData(0x5F36, hash, 4, 3));
  char text[16];
  EXPECT_EQ(b.GetBinaryAsString(0x5F36, text, 8), 6u);
  EXPECT_STREQ(text, "01ABFF");
  EXPECT_EQ(b.GetBinaryAsString(0x5F36, text, 2), 4u);
  EXPECT_STREQ(text, "01AB");
  EXPECT_EQ(b.GetBinaryAsString(0x5F37, text, 2), 0u);
  EXPECT_STREQ(text, "");
  EXPECT_TRUE(b.SetTlvData(0x5F36, hash, 4, 20));  // replaces by default
  uint16_t len = 0;
  b.GetBinaryPtr(0x5F36, len);
  EXPECT_EQ(len, 4);
}

// A stand-in message: 13 header bytes and data, as the link's messages have.
struct FakeMessage {
  std::vector<uint8_t> block = std::vector<uint8_t>(13 + 16);
  int allocations = 0;
  bool fixed = false;
};

struct FakeTraits {
  using Message = FakeMessage;
  static bool Allocate(Message& m, uint32_t dataBytes, uint32_t keepBytes) {
    (void)keepBytes;  // a vector keeps everything when it grows
    if (m.block.size() >= dataBytes + 13) return true;
    if (m.fixed) return false;
    ++m.allocations;
    m.block.resize(512 + dataBytes + 13);
    return true;
  }
  static bool Shrink(Message&, uint32_t, uint32_t) { return true; }
  static void Clear(Message& m) { m.block.resize(13 + 512); }
  static uint32_t Capacity(const Message& m) {
    return m.block.size() < 14 ? 0 : static_cast<uint32_t>(m.block.size() - 13);
  }
  static uint8_t* Data(Message& m) { return m.block.data() + 13; }
};

TEST(DavizOutMessageShell, WritesAfterThePrefixAndGrowsTheMessage) {
  FakeMessage m;
  DavizOutMessageShellTemplate<FakeTraits> shell(m);
  EXPECT_EQ(shell.capacity(), 12u);
  std::memcpy(shell.prefix(), "\xFA\xFA\xFF\xFF", 4);
  ASSERT_TRUE(shell.AddTagDword(0x9F02, 500));
  ASSERT_TRUE(shell.AddTagBinary(0x5F10, std::string(100, 'x').data(), 100, TLV_ADD));
  EXPECT_EQ(m.allocations, 1);
  EXPECT_EQ(shell.messageLength(), 4u + 7u + 103u);
  const uint8_t* d = FakeTraits::Data(m);
  EXPECT_EQ(Bytes(d, d + 11), (Bytes{0xFA, 0xFA, 0xFF, 0xFF, 0x9F, 0x02, 0x04, 0xF4, 0x01, 0x00, 0x00}));
  EXPECT_EQ(tlvGetTagValue(shell, 0x9F02), 500u);

  // A message that cannot grow refuses the item and stays intact.
  FakeMessage small;
  small.fixed = true;
  DavizOutMessageShellTemplate<FakeTraits> tight(small);
  EXPECT_TRUE(tight.AddTagByte(0x9A, 1));  // 3 bytes, 1 + 7 asked for within 12
  EXPECT_FALSE(tight.AddTagBinary(0x5F10, "0123456789", 10, TLV_ADD));
  EXPECT_EQ(tight.used(), 3);

  // A message without room for a single byte after the prefix.
  FakeMessage none;
  none.block.resize(13 + 4);
  none.fixed = true;
  DavizOutMessageShellTemplate<FakeTraits> empty(none);
  EXPECT_EQ(empty.capacity(), 0u);
  EXPECT_FALSE(empty.AddTagByte(0x9A, 1));
}

TEST(UBaseArray, OwningGrowth) {
  UBaseArrayT<unsigned char> a;
  EXPECT_TRUE(a.IsOwner());
  EXPECT_EQ(a.Append(reinterpret_cast<const unsigned char*>("abc"), 3), 3u);
  EXPECT_EQ(a.Capacity(), 24u);
  std::string big(30, 'z');
  a.Append(reinterpret_cast<const unsigned char*>(big.data()), 30);
  EXPECT_EQ(a.Capacity(), 36u);  // 24 + 12 is more than the 33 needed
  a.Append(reinterpret_cast<const unsigned char*>(big.data()), 30);
  EXPECT_EQ(a.Capacity(), 63u);  // the 63 needed beat 36 + 18
  EXPECT_EQ(a.Length(), 63u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.Data()), 3), "abc");

  // Appending the array's own bytes while it grows.
  a.Append(a.Data(), a.Length());
  EXPECT_EQ(a.Length(), 126u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(a.Data()) + 63, 3), "abc");

  a.Remove(0, 63);
  EXPECT_EQ(a.Length(), 63u);
  unsigned char out[4] = {};
  EXPECT_EQ(a.Read(0, out, 3), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(out), 3), "abc");
  EXPECT_EQ(a.Read(62, out, 4), 1u);
  EXPECT_EQ(a.Read(63, out, 4), 0u);

  UBaseArrayT<unsigned char> copy = a;
  a.Reset();
  EXPECT_EQ(a.Length(), 0u);
  EXPECT_EQ(a.Capacity(), 0u);
  EXPECT_TRUE(a.IsOwner());
  EXPECT_EQ(copy.Length(), 63u);
}

TEST(UBaseArray, ViewsNeverGrowAndClip) {
  unsigned char mem[10];
  std::memset(mem, '.', sizeof mem);
  UBaseArrayT<unsigned char> v(mem, 8, 2);
  EXPECT_FALSE(v.IsOwner());
  EXPECT_EQ(v.Append(reinterpret_cast<const unsigned char*>("0123456789"), 10), 6u);
  EXPECT_EQ(v.Length(), 8u);
  EXPECT_EQ(mem[8], '.');
  EXPECT_EQ(v.Write(20, reinterpret_cast<const unsigned char*>("x"), 1), 0u);
  EXPECT_FALSE(v.Reserve(9));
  EXPECT_EQ(v.SetLength(50), 8u);

  uint32_t offset = 9;
  uint32_t length = 4;
  v.align_offset_and_length(offset, length);
  EXPECT_EQ(offset, 8u);
  EXPECT_EQ(length, 0u);
  offset = 5;
  length = 4;
  v.align_offset_and_length(offset, length);
  EXPECT_EQ(length, 3u);

  v.Reset();  // a view reset becomes an empty owning array, the memory untouched
  EXPECT_TRUE(v.IsOwner());
  EXPECT_EQ(mem[0], '.');
}

}  // namespace
}  // namespace common
