#include "common/byte_order.h"
#include "common/hex.h"

#include <gtest/gtest.h>

#include <string>

namespace common {
namespace {

TEST(Hex, BytesToText) {
  const uint8_t data[] = {0x00, 0x1F, 0xA5, 0xFF};
  char out[9] = "xxxxxxxx";
  BytesToHex(data, out, 4, kHexUpper);
  EXPECT_EQ(std::string(out, 8), "001FA5FF");
  BytesToHex(data, out, 4, kHexColon);
  EXPECT_EQ(std::string(out, 8), "001?:5??");
  char z[9];
  hex_2_ascii(data, z, 4);
  EXPECT_STREQ(z, "001FA5FF");
  hex_2_ascii(data, z, 0);
  EXPECT_STREQ(z, "");
}

TEST(Hex, TextToBytes) {
  uint8_t out[4] = {};
  ascii_2_hex("a5Ff01", out, 6);
  EXPECT_EQ(out[0], 0xA5);
  EXPECT_EQ(out[1], 0xFF);
  EXPECT_EQ(out[2], 0x01);

  struct Case {
    const char* text;
    size_t len;
    size_t left;
    std::basic_string<uint8_t> bytes;
  };
  const Case cases[] = {
      {"A5ff", 4, 0, {0xA5, 0xFF}},
      {"A5fG12", 6, 4, {0xA5}},  // stops at the pair holding G
      {"A5f", 3, 1, {0xA5}},     // a lone last character is not consumed
      {"", 0, 0, {}},
      {"zz", 2, 2, {}},
  };
  for (const auto& c : cases) {
    uint8_t buf[8] = {};
    EXPECT_EQ(HexToBytes(c.text, buf, c.len), c.left) << c.text;
    EXPECT_EQ(std::basic_string<uint8_t>(buf, c.bytes.size()), c.bytes) << c.text;
  }
}

TEST(Bcd, CurrencyCodes) {
  struct Case {
    const char* text;
    uint8_t b0, b1;
    const char* back;
  };
  const Case cases[] = {
      {"643", 0x06, 0x43, "643"},
      {"978", 0x09, 0x78, "978"},
      {"840", 0x08, 0x40, "840"},
      {"43", 0x00, 0x43, "043"},
      {"6430", 0x06, 0x43, "643"},  // only three digits count
  };
  for (const auto& c : cases) {
    uint8_t packed[2];
    termPackCurCode(packed, c.text);
    EXPECT_EQ(packed[0], c.b0) << c.text;
    EXPECT_EQ(packed[1], c.b1) << c.text;
    char text[4];
    termUnpackCurCode(text, packed);
    EXPECT_STREQ(text, c.back);
  }
}

TEST(ByteOrder, BothOrdersAllWidths) {
  uint8_t b[8];
  DWORD_MSB(0x11223344u, b);
  EXPECT_EQ(std::basic_string<uint8_t>(b, 4), (std::basic_string<uint8_t>{0x44, 0x33, 0x22, 0x11}));
  EXPECT_EQ(MSB_DWORD(b), 0x11223344u);
  EXPECT_EQ(HSB_DWORD_B(b), 0x44332211u);
  EXPECT_EQ(MSB_WORD(b), 0x3344u);
  EXPECT_EQ(HSB_WORD_B(b), 0x4433u);

  WORD_MSB(0xFAFB, b);
  EXPECT_EQ(b[0], 0xFB);
  EXPECT_EQ(b[1], 0xFA);
  WORD_HSB_B(0xFAFB, b);
  EXPECT_EQ(b[0], 0xFA);
  EXPECT_EQ(b[1], 0xFB);

  QWORD_MSB(0x0102030405060708ull, b);
  EXPECT_EQ(b[0], 0x08);
  EXPECT_EQ(b[7], 0x01);
  EXPECT_EQ(MSB_QWORD(b), 0x0102030405060708ull);
  EXPECT_EQ(HSB_QWORD_B(b), 0x0807060504030201ull);
  DWORD_HSB_B(0xFFFFFAFAu, b);
  EXPECT_EQ(HSB_DWORD_B(b), 0xFFFFFAFAu);
}

}  // namespace
}  // namespace common
