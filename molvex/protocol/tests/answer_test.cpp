// Reading the final answer: the fixed record, the tagged list and the short forms.
#include <cstring>
#include <string>
#include <vector>

#include "common/tlv.h"
#include "molvex/protocol/msb_answer.h"
#include "molvex/protocol/session_file.h"
#include "molvex/protocol/ttk_reader.h"
#include "protocol_fixture.h"

namespace {

class FinalAnswer : public ProtocolFixture {};

void Put(std::vector<uint8_t>& d, size_t at, const std::string& text) { std::memcpy(d.data() + at, text.data(), text.size()); }
void Put32(std::vector<uint8_t>& d, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

std::vector<uint8_t> Tagged(const std::vector<std::pair<uint32_t, std::string>>& tags) {
  std::vector<uint8_t> room(2048);
  common::T_TLV_Buffer list = common::TlvBufferOver(room.data(), 0);
  for (const auto& [tag, value] : tags) {
    common::AddTagBinarySize(list, tag, value.data(), static_cast<uint16_t>(value.size()), common::TLV_ADD, 2048);
  }
  return std::vector<uint8_t>(room.begin(), room.begin() + list.length);
}

TEST_F(FinalAnswer, ResponseCodes) {
  const struct {
    const char* text;
    uint16_t code;
  } cases[] = {{"00", 0},    {"05", 4405}, {"A1", 4561}, {"UN", 4172}, {"FD", 4172},
               {"CE", 4119}, {"1F", 4134}, {"B4", 4118}, {"ZZ", 4104}, {"0", 4104}};
  for (const auto& c : cases) {
    EXPECT_EQ(TtkResponseCode(reinterpret_cast<const uint8_t*>(c.text), std::strlen(c.text)), c.code) << c.text;
  }
}

TEST_F(FinalAnswer, TaggedAnswerFillsFieldsAndTags) {
  std::vector<uint8_t> tlv = Tagged({{0x9B, "05"}, {0xA5, "0"}, {0x8C, "AB12345"}, {0x98, "612345678901"},
                                     {0x8B, "51"}, {0x8D, "3112"}, {0x8E, "2359"}, {0x84, "10000"},
                                     {0x9D, "0001234599"}, {0x89, "****1234"}, {0x5F05, "OK"},
                                     {0x5F0A, std::string("\x2B\x1A", 2)}, {0x5F0D, std::string("\x02", 1)},
                                     {0xA3, std::string(40, 'a')}, {0x42, "ignored"}});
  DavizTtkReader reader(tlv.data(), tlv.size());
  DavizResult r;
  r.Read(reader);
  EXPECT_TRUE(reader.ok());
  EXPECT_TRUE(reader.hadRequestId());
  EXPECT_EQ(r.GetResultCode(), 4405);  // the first of 9B and A5 counts
  EXPECT_EQ(DavizResultBase::Text(r.authCode), "AB1234");
  EXPECT_EQ(DavizResultBase::Text(r.rrn), "612345678901");
  EXPECT_EQ(DavizResultBase::Text(r.slipNumber), "0051");
  EXPECT_EQ(r.date % 10000, 1231u);
  EXPECT_EQ(r.time, 235900u);
  EXPECT_EQ(r.amount, 10000u);
  EXPECT_EQ(DavizResultBase::Text(r.terminalId), "00012345");
  EXPECT_EQ(r.GetTagText(0x89, 64), "****1234");
  EXPECT_EQ(r.GetTagText(0x5F05, 64), "OK");
  EXPECT_FALSE(r.HasTag(0x42));
  EXPECT_EQ(r.requestId, 0x1A2Bu);
  EXPECT_EQ(r.cardTypeId, 2);
  EXPECT_EQ(r.GetHashAsString(), std::string(40, 'A'));
}

TEST_F(FinalAnswer, TaggedAnswerWithoutCodeOrTags) {
  std::vector<uint8_t> noCode = Tagged({{0x8C, "123456"}});
  DavizTtkReader reader(noCode.data(), noCode.size());
  DavizResult r;
  r.Read(reader);
  EXPECT_EQ(r.GetResultCode(), 4104);
  const uint8_t garbage[] = {0x00, 0x00};
  DavizTtkReader empty(garbage, sizeof garbage);
  r.Read(empty);
  EXPECT_FALSE(empty.ok());
  EXPECT_EQ(r.GetResultCode(), 253);
}

TEST_F(FinalAnswer, FixedRecordFieldsAppearWithTheLength) {
  std::vector<uint8_t> d(350, 0);
  Put(d, 2, "AUTH01");
  Put(d, 9, "612345678901");
  Put(d, 22, "0042");
  Put(d, 27, "************1234");
  Put(d, 53, "APPROVED");
  Put32(d, 85, 20260102);
  Put32(d, 89, 131415);
  d[93] = 7;
  Put(d, 94, "00012345");
  Put(d, 103, "VISA");
  d[187] = 2;
  d[192] = 1;
  Put32(d, 193, 10000);
  Put32(d, 203, 0x8000);
  Put(d, 243, "long text");

  DavizResult full;
  ASSERT_TRUE(ReadFixedAnswer(d.data(), d.size(), full));
  EXPECT_EQ(DavizResultBase::Text(full.authCode), "AUTH01");
  EXPECT_EQ(DavizResultBase::Text(full.slipNumber), "0042");
  EXPECT_EQ(full.GetTagText(0x89, 64), "************1234");
  EXPECT_EQ(full.GetTagText(0x5F05, 64), "APPROVED");
  EXPECT_EQ(full.date, 20260102u);
  EXPECT_EQ(full.time, 131415u);
  EXPECT_EQ(full.flagByte, 7);
  EXPECT_EQ(DavizResultBase::Text(full.terminalId), "00012345");
  EXPECT_EQ(full.GetTagText(0x8F, 64), "VISA");
  EXPECT_EQ(full.amount, 10000u);
  EXPECT_EQ(full.operationFlags, 0x8000u);
  EXPECT_EQ(full.GetTagText(0x5F32, 200), "long text");
  EXPECT_FALSE(full.HasTag(0x5F36));  // an all-zero hash is no hash

  // 89 bytes: the date is read, the time (which needs 93) is not.
  DavizResult shorter;
  ASSERT_TRUE(ReadFixedAnswer(d.data(), 89, shorter));
  EXPECT_EQ(shorter.date, 20260102u);
  EXPECT_EQ(shorter.time, 0u);
  EXPECT_EQ(shorter.amount, 0u);
  DavizResult tooShort;
  EXPECT_FALSE(ReadFixedAnswer(d.data(), 84, tooShort));
}

struct AnswerCase {
  uint8_t command;
  std::vector<uint8_t> data;
  bool rebooted;
  uint16_t code;
};

TEST_F(FinalAnswer, CodesOfTheShortForms) {
  std::vector<uint8_t> approved(100, 0);
  const AnswerCase cases[] = {
      {14, {0xD0, 0x07}, false, 2000},          // command 14 carries its code
      {0, {0, 0, 0, 0, 0xB5, 0x10}, false, 4277},  // six bytes: the code in the last two
      {0x63, {}, false, 0x63},                  // any other command is the code
      {0, {1, 2, 3}, false, 4104},              // too short for the record
      {0, {}, true, 0},                         // nothing after a reboot
      {0, {}, false, 4104},
      {0, approved, false, 0},
  };
  for (const AnswerCase& c : cases) {
    LongMessageDynamic m;
    m.allocate(static_cast<int32_t>(c.data.size()), 0);
    m.msg()->command = c.command;
    m.msg()->length = static_cast<uint16_t>(c.data.size());
    if (!c.data.empty()) std::memcpy(m.msg()->data(), c.data.data(), c.data.size());
    DavizParams params;
    params.SetOperType(1);
    params.SetAmount(100);
    params.SetRequestID(0x77);
    tspMarkSessionStatus(params, false);
    DavizResult result;
    EXPECT_EQ(RecvPinpadMMCommand(params, result, m, c.rebooted), c.code) << int(c.command) << " " << c.data.size();
    if (c.data.size() == 100) {
      // Read successfully: the request's identifier stands in, the session is finished.
      EXPECT_EQ(result.GetRequestID(), 0x77u);
      EXPECT_EQ(tspReadSessionStatus().requestId, 0u);
    }
  }
}

TEST_F(FinalAnswer, TaggedMarkerSelectsTheTaggedReader) {
  std::vector<uint8_t> d = {0xFF, 0xFE};
  std::vector<uint8_t> tlv = Tagged({{0x9B, "00"}, {0x8C, "XYZ123"}});
  d.insert(d.end(), tlv.begin(), tlv.end());
  LongMessageDynamic m;
  m.allocate(static_cast<int32_t>(d.size()), 0);
  m.msg()->command = 0;
  m.msg()->length = static_cast<uint16_t>(d.size());
  std::memcpy(m.msg()->data(), d.data(), d.size());
  DavizParams params;
  DavizResult result;
  EXPECT_EQ(RecvPinpadMMCommand(params, result, m, false), 0);
  EXPECT_EQ(DavizResultBase::Text(result.authCode), "XYZ123");
}

}  // namespace
