// Frame bytes, CRC, Base64, legacy frames, message blocks and the readiness record.
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "molvex/link/base64.h"
#include "molvex/link/crc16.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"
#include "molvex/link/message.h"
#include "molvex/link/readiness.h"

using namespace pplink;

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

TEST(Crc16, CheckValueAndTable) {
  auto digits = Bytes("123456789");
  EXPECT_EQ(Crc16Ccitt(digits.data(), digits.size()), 0x29B1);
  EXPECT_EQ(Crc16Table()[1], 0x1021);
  EXPECT_EQ(Crc16Table()[255], 0x1EF0);
}

TEST(DataFrame, AbcFrameHasTheKnownInnerBytesAndWireForm) {
  common::UBaseArrayT<uint8_t> array;
  const uint8_t abc[] = {'a', 'b', 'c'};
  ASSERT_TRUE(tspMakeNewFrame(array, 0, abc, 3));
  // Inner frame 00 03 61 62 63 06 17 is "AANhYmMGFw==" in Base64.
  std::string wire(array.Data(), array.Data() + array.Length());
  EXPECT_EQ(wire, std::string("\x02#AANhYmMGFw==\x03"));
  uint8_t sequence = 9;
  uint8_t payload[255];
  ASSERT_EQ(DecodeTypedFrameText(array.Data() + 2, array.Length() - 3, &sequence, payload), 3);
  EXPECT_EQ(sequence, 0);
  EXPECT_EQ(std::memcmp(payload, abc, 3), 0);
}

TEST(DataFrame, DamagedTextsAreRefused) {
  struct Case {
    const char* name;
    std::string text;
  } cases[] = {
      {"crc low byte changed", "AANhYmMHFw=="},
      {"not a multiple of 4", "AANhYmMGFw="},
      {"outside the alphabet", "AANhYm*GFw=="},
      {"size differs from n + 4", "AARhYmMGFw=="},
      {"too short", "AA=="},
      {"more than the work area", std::string(540, 'A')},
  };
  for (const auto& c : cases) {
    uint8_t sequence = 0;
    uint8_t payload[255];
    EXPECT_EQ(DecodeTypedFrameText(reinterpret_cast<const uint8_t*>(c.text.data()), c.text.size(), &sequence, payload),
              -1)
        << c.name;
  }
}

TEST(Base64, RoundTripsEveryRemainderAndRefusesBadPadding) {
  for (size_t length : {0u, 1u, 2u, 3u, 4u, 254u, 255u}) {
    std::vector<uint8_t> data(length);
    for (size_t i = 0; i < length; ++i) data[i] = static_cast<uint8_t>(i * 37 + 1);
    std::string text(Base64EncodedLength(length), '\0');
    ASSERT_EQ(Base64Encode(data.data(), length, text.data(), text.size()), text.size());
    std::vector<uint8_t> back(length + 3);
    ASSERT_EQ(Base64Decode(reinterpret_cast<const uint8_t*>(text.data()), text.size(), back.data(), back.size()),
              static_cast<long>(length));
    EXPECT_TRUE(std::equal(data.begin(), data.end(), back.begin()));
  }
  uint8_t out[16];
  for (const char* bad : {"A=AA", "AB=C", "====", "QUJD", "QUJDRA=="}) {
    long expected = std::string(bad) == "QUJD" ? 3 : std::string(bad) == "QUJDRA==" ? 4 : -1;
    EXPECT_EQ(Base64Decode(reinterpret_cast<const uint8_t*>(bad), std::strlen(bad), out, sizeof out), expected) << bad;
  }
  // Never more than the room offered.
  EXPECT_EQ(Base64Decode(reinterpret_cast<const uint8_t*>("QUJDRA=="), 8, out, 3), -1);
}

TEST(LegacyFrame, SizesAndLrc) {
  std::vector<uint8_t> frame;
  MakeLegacyFrame(nullptr, 0, frame);
  EXPECT_EQ(std::string(frame.begin(), frame.end()), "\x02" "02\x03\x03");
  std::vector<uint8_t> piece(120, 0x5A);
  MakeLegacyFrame(piece.data(), piece.size(), frame);
  EXPECT_EQ(frame.size(), 245u);
  const uint8_t code[] = {0x26, 0, 0};
  MakeLegacyFrame(code, 3, frame);
  EXPECT_EQ(std::string(frame.begin(), frame.end()), "\x02" "26000024\x03\x03");
}

TEST(LongMessageDynamic, GrowsKeepsAndShrinksAsSized) {
  LongMessageDynamic message;
  EXPECT_EQ(message.blockSize(), 1718u);
  EXPECT_EQ(message.capacity(), 1705u);
  message.msg()->command = 0x42;
  message.msg()->data()[0] = 7;
  message.allocate(1705, 0);
  EXPECT_EQ(message.blockSize(), 1718u);  // already big enough
  message.allocate(5000, 1);
  EXPECT_EQ(message.blockSize(), 512u + 5013u);
  EXPECT_EQ(message.msg()->command, 0x42);
  EXPECT_EQ(message.msg()->data()[0], 7);
  message.shrink(1193, 1);
  EXPECT_EQ(message.blockSize(), 512u + 1206u);
  EXPECT_EQ(message.msg()->data()[0], 7);
  message.clear();
  EXPECT_EQ(message.blockSize(), 525u);
  EXPECT_EQ(message.msg()->command, 0x42);
}

TEST(LongMessageStatic, OnlyAnswersWhetherItFits) {
  T_MessageBuf<10> buffer;
  LongMessageStatic message(buffer.bytes, sizeof buffer.bytes);
  EXPECT_EQ(message.capacity(), 10u);
  EXPECT_TRUE(message.allocate(10, 0));
  EXPECT_FALSE(message.allocate(11, 0));
  LongMessageStatic tiny(buffer.bytes, 13);
  EXPECT_EQ(tiny.capacity(), 0u);
}

std::string Record(const std::string& name, const std::string& tail) {
  std::string r(66, '.');
  r.replace(0, 10, "BGS1234567");
  r[10] = 'P';
  r[11] = 'Y';
  r[14] = 'Y';
  r.replace(16, 2, "21");
  r.replace(19, 2, "03");
  r.replace(22, 2, "07");
  r.replace(46, 12, "SERIAL000001");
  return r + name + tail;
}

TEST(Readiness, RecordFieldsAndShortTails) {
  T_PinpadProperties p;
  std::string full = Record("KOZEN P5", std::string("=*=") + "030" + "3" + "0" + "1200" + "4321" + std::string(64, 'b'));
  ParsePinpadReadiness(reinterpret_cast<const uint8_t*>(full.data()), full.size(), &p);
  EXPECT_STREQ(p.identifier, "BGS1234567");
  EXPECT_EQ(p.modelLetter, 'P');
  EXPECT_TRUE(p.flags[0]);
  EXPECT_FALSE(p.flags[1]);
  EXPECT_TRUE(p.flags[2]);
  EXPECT_STREQ(p.serial, "SERIAL000001");
  EXPECT_EQ(p.versionMajor, 21);
  EXPECT_EQ(p.versionMinor, 3);
  EXPECT_EQ(p.versionBuild, 7);
  EXPECT_STREQ(p.modelName, "KOZEN P5");
  EXPECT_EQ(p.statusTimeoutSeconds, 30);
  EXPECT_EQ(p.capabilities, 7);
  EXPECT_FALSE(p.answersFunctionQuestions);
  EXPECT_EQ(p.number4a, 1200);
  EXPECT_EQ(p.number4b, 4321);
  EXPECT_TRUE(p.hasBlock);

  std::string no_marker = Record("A VERY LONG MODEL NAME THAT GOES ON", "");
  ParsePinpadReadiness(reinterpret_cast<const uint8_t*>(no_marker.data()), no_marker.size(), &p);
  EXPECT_STREQ(p.modelName, "A VERY LONG MODEL NAM");
  EXPECT_EQ(p.statusTimeoutSeconds, 0);

  std::string other = "XYZ" + Record("M", "=*=005").substr(3);
  ParsePinpadReadiness(reinterpret_cast<const uint8_t*>(other.data()), other.size(), &p);
  EXPECT_STREQ(p.identifier, "?");
  EXPECT_EQ(p.statusTimeoutSeconds, 5);
  EXPECT_EQ(p.capabilities, 0);
}

}  // namespace
