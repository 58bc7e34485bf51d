// The request that starts an operation, in its three kinds and two forms.
#include <map>
#include <string>
#include <vector>

#include "common/tlv.h"
#include "molvex/link/message_link.h"
#include "molvex/protocol/msb_request.h"
#include "molvex/protocol/screen_request.h"
#include "protocol_fixture.h"

namespace {

class PinpadRequest : public ProtocolFixture {
 protected:
  void TearDown() override {
    bUseNewProtocol = 0;
    ProtocolFixture::TearDown();
  }
};

std::map<uint32_t, std::vector<uint8_t>> TagsOf(std::vector<uint8_t> data) {
  std::map<uint32_t, std::vector<uint8_t>> tags;
  common::T_TLV_Buffer list = common::TlvBufferOver(data.data() + 4, static_cast<uint16_t>(data.size() - 4));
  common::T_TLV_Item item;
  for (int f = common::FindFirstTag(list, item); f; f = common::FindNextTag(list, item)) {
    tags[item.tag].assign(item.value, item.value + item.length);
  }
  return tags;
}

std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

TEST_F(PinpadRequest, TaggedFormCarriesOnlyWhatIsSet) {
  DavizParams p;
  p.SetOperType(1);
  p.SetAmount(10000);
  p.SetRequestID(0x1A2B);
  p.SetRRN("123456789012", 12);
  p.AddByteToExtraData(0xDF45, 1);
  p.SetJsonText("{}");
  uint8_t command = 0;
  std::vector<uint8_t> data;
  ASSERT_EQ(BuildPinpadRequest(p, true, &command, data), 0);
  EXPECT_EQ(command, 0x6D);
  ASSERT_GE(data.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(data.begin(), data.begin() + 4), (std::vector<uint8_t>{0xFA, 0xFA, 0xFF, 0xFF}));
  auto tags = TagsOf(data);
  EXPECT_EQ(tags[0x5F34], (std::vector<uint8_t>{0x10, 0x27, 0, 0}));
  EXPECT_EQ(tags[0x5F07], (std::vector<uint8_t>{1}));
  EXPECT_EQ(tags[0x5F0A], (std::vector<uint8_t>{0x2B, 0x1A, 0, 0}));
  EXPECT_EQ(Text(tags[0x18]), "123456789012");
  EXPECT_EQ(tags[0x19], (std::vector<uint8_t>{4, 0xDF, 0x45, 1, 1}));
  EXPECT_EQ(Text(tags[0x5F60]), "{}");
  for (uint32_t absent : {0x5F0Du, 0x5F02u, 0x17u, 0x5F4Du, 0x5F46u, 0x5F73u}) EXPECT_EQ(tags.count(absent), 0u) << absent;
}

TEST_F(PinpadRequest, CardReaderTrackGoesWith33Characters) {
  const struct {
    uint8_t op;
    std::string track2;
    size_t sent;
  } cases[] = {
      {1, "E1234", 33},
      {1, "E" + std::string(39, 'A'), 40},  // a 40-digit hexadecimal token goes whole
      {1, "E" + std::string(39, 'Z'), 33},
      {52, "E1234", 5},
      {1, "1234567890123456=2512", 21},
  };
  for (const auto& c : cases) {
    DavizParams p;
    p.SetOperType(c.op);
    p.SetTrack2(c.track2.c_str(), c.track2.size());
    uint8_t command = 0;
    std::vector<uint8_t> data;
    BuildPinpadRequest(p, true, &command, data);
    EXPECT_EQ(TagsOf(data)[0x17].size(), c.sent) << c.track2;
  }
}

TEST_F(PinpadRequest, OverlongJsonIsRefused) {
  DavizParams p;
  p.SetOperType(1);
  std::string json(20481, 'x');
  p.SetJsonText(json.c_str());
  uint8_t command = 0;
  std::vector<uint8_t> data;
  EXPECT_EQ(BuildPinpadRequest(p, true, &command, data), 4332);
  LongMessageDynamic m;
  EXPECT_EQ(SendPinpadMMCommand(p, m, true), 4332);
}

TEST_F(PinpadRequest, FixedFormLayout) {
  DavizParams p;
  p.SetOperType(3);
  p.SetAmount(0x01020304);
  p.SetCardType(2);
  p.SetDepartment(5);
  p.SetRequestID(0x11223344);
  p.SetTrack2("4111", 4);
  p.SetRRN("RRN1", 4);
  p.AddByteToExtraData(0xDF45, 1);
  uint8_t command = 0;
  std::vector<uint8_t> data;
  bUseNewProtocol = 0;
  BuildPinpadRequest(p, false, &command, data);
  ASSERT_EQ(data.size(), 69u + 4);
  EXPECT_EQ(data[0], 0x04);
  EXPECT_EQ(data[3], 0x01);
  EXPECT_EQ(data[4], 2);
  EXPECT_EQ(data[5], 5);
  EXPECT_EQ(data[6], 3);
  EXPECT_EQ(std::string(data.begin() + 7, data.begin() + 11), "4111");
  EXPECT_EQ(data[47], 0);  // the legacy protocol does not carry the request identifier
  EXPECT_EQ(std::string(data.begin() + 51, data.begin() + 55), "RRN1");
  EXPECT_EQ(data[68], 4);
  bUseNewProtocol = 5;
  BuildPinpadRequest(p, false, &command, data);
  EXPECT_EQ(data[47], 0x44);
  EXPECT_EQ(data[50], 0x11);
}

TEST_F(PinpadRequest, StatusAndTextRequests) {
  DavizParams p;
  p.SetOperType(12);
  p.SetAmount(10000);
  p.SetRequestID(0x1A2B);
  uint8_t command = 0;
  std::vector<uint8_t> data;
  BuildPinpadRequest(p, true, &command, data);
  EXPECT_EQ(command, 0xA6);
  EXPECT_EQ(data, (std::vector<uint8_t>{0x2B, 0x1A, 0, 0, 1, 0x10, 0x27, 0, 0}));
  p.SetOperType(41);
  BuildPinpadRequest(p, true, &command, data);
  EXPECT_EQ(data[4], 0);
  p.SetOperType(56);
  p.SetTrack2("hello", 5);
  BuildPinpadRequest(p, true, &command, data);
  EXPECT_EQ(command, 0x24);
  EXPECT_EQ(data, (std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', 0}));
}

TEST_F(PinpadRequest, ScreensWithoutAScreenLayer) {
  auto run = [](const std::vector<uint8_t>& data, LongMessageDynamic& reply) {
    LongMessageDynamic request;
    request.allocate(static_cast<int32_t>(data.size()), 0);
    request.msg()->length = static_cast<uint16_t>(data.size());
    std::memcpy(request.msg()->data(), data.data(), data.size());
    return tspcmdRunScreen(request, reply);
  };
  LongMessageDynamic reply;
  EXPECT_EQ(run({0, 0, 0, 1}, reply), 13);
  EXPECT_EQ(reply.msg()->length, 0);
  // Background: answered at once with 8201 (0x2009).
  EXPECT_EQ(run({0, 0, 0, 5, 0, 0, 0, 0, 1, 0, 0, 0}, reply), 0);
  EXPECT_EQ(std::vector<uint8_t>(reply.msg()->data(), reply.msg()->data() + reply.msg()->length),
            (std::vector<uint8_t>{0, 0, 0x20, 0x09}));
  // Modal with one editable parameter: 8213 (0x2015) and the parameter handed back.
  std::vector<uint8_t> modal = {0, 0, 0, 5, 0, 0, 0, 0, 0, 0, 0, 30,
                                0, 0, 0, 7, 0, 0, 0x02, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 0, 0};
  EXPECT_EQ(run(modal, reply), 0);
  EXPECT_EQ(std::vector<uint8_t>(reply.msg()->data(), reply.msg()->data() + reply.msg()->length),
            (std::vector<uint8_t>{0, 0, 0x20, 0x15, 0, 0, 0, 7, 0, 0, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 0, 'a', 'b', 0, 0}));
}

}  // namespace
