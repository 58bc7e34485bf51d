// The response file "e": its 33 lines byte for byte, the settling of the
// result code and the files written or removed beside it.
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/byte_order.h"
#include "front_fixture.h"
#include "molvex/front/model/error_messages.h"
#include "molvex/front/model/response_file.h"
#include "molvex/front/run/report_result.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

// "Одобрено" in cp866 and in KOI8-R.
const std::string kApprovedCp866 = "\x8E\xA4\xAE\xA1\xE0\xA5\xAD\xAE";
const std::string kApprovedKoi8 = "\xEF\xC4\xCF\xC2\xD2\xC5\xCE\xCF";

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (;;) {
    size_t end = text.find("\r\n", start);
    lines.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return lines;
    start = end + 2;
  }
}

void AddText(DavizResult& r, uint32_t tag, const std::string& text) {
  r.Tags().AddTagBinary(tag, text.data(), static_cast<uint16_t>(text.size()), common::TLV_REPLACE);
}

std::string Bytes(size_t n, uint8_t first) {
  std::string out;
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<char>(first + i));
  return out;
}

std::string UpperHex(const std::string& bytes) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : bytes) {
    out.push_back(digits[c >> 4]);
    out.push_back(digits[c & 15]);
  }
  return out;
}

DavizResult FullResult() {
  DavizResult r;
  r.resultCode = 0;
  DavizResultBase::SetText(r.authCode, "A1B2C3");
  DavizResultBase::SetText(r.rrn, "123456789012");
  DavizResultBase::SetText(r.slipNumber, "12");
  DavizResultBase::SetText(r.text6, "ABCDEF");
  r.numberA = 4000000000u;
  r.flagByte = 1;
  DavizResultBase::SetText(r.terminalId, "00012345");
  r.date = 20261211;
  r.time = 93005;
  DavizResultBase::SetText(r.textB, "TEXTB");
  r.cardTypeId = 4;  // POS card type 6
  r.answerOperation = 1;
  r.amount = 10000;
  r.operationFlags = 0x8000;
  r.numberE = 0x00002A00;
  r.requestId = 0x1A2B;
  AddText(r, kResTagMessage, kApprovedCp866 + "\rsecond line");
  AddText(r, kResTagCardNumber, "427600******1234");
  AddText(r, kResTagCardName, "Visa");
  AddText(r, kResTagCardHash, Bytes(20, 0xA0));
  AddText(r, kResTag5F32, "5F32 value");
  AddText(r, kResTag5F09, "5F09 value");
  AddText(r, kResTagCardUid, "\x04\xA2\x1B\x7F");
  AddText(r, kResTagVas, std::string("\xCF\x04TABC", 6));
  AddText(r, kResTagExtraHash, "h" + Bytes(32, 0x10));
  AddText(r, kResTagPar, "PAR0001");
  r.SetEntryMode(11);  // "P" and bit 0x8000 give "P"
  AddText(r, kResTagUrl, "https://pay.example/o/1");
  AddText(r, kResTagHashType, "H");
  AddText(r, kResTagTypedHash, Bytes(64, 0x01));
  AddText(r, kResTagExtLoyalty, "LOYAL-1");
  AddText(r, kResTag5F74, "Z");
  return r;
}

void WriteHostMessage(const std::string& path, int32_t n1, int32_t n2, const std::string& text) {
  std::string record(204, '\0');
  common::DWORD_MSB(static_cast<uint32_t>(n1), reinterpret_cast<uint8_t*>(record.data()));
  common::DWORD_MSB(static_cast<uint32_t>(n2), reinterpret_cast<uint8_t*>(record.data() + 4));
  record.replace(8, text.size(), text);
  WriteFile(path, record);
}

class ResponseFile : public FrontFixture {};

TEST_F(ResponseFile, FullResultLineByLine) {
  WriteHostMessage(Path("hmsg.d"), 5, 123, "HOST\r\n" + kApprovedCp866);
  DavizResult r = FullResult();
  EXPECT_EQ(returnErrCode(r, "e", 1, 0x1A2B), 0);
  const std::string text = ReadFile(Path("e"));
  ASSERT_NE(text.substr(text.size() - 1), "\n") << "no line break after the last line";
  const std::vector<std::string> expected = {
      "0," + kApprovedKoi8,
      "427600******1234",
      "ABCDEF",
      "A1B2C3",
      "  12",
      "Visa",
      "1",
      "00012345",
      "20261211093005",
      "123456789012",
      UpperHex(Bytes(20, 0xA0)),
      "5F32 value",
      "4000000000",
      "TEXTB",
      "05",
      "123",
      "HOST||" + kApprovedKoi8,
      "42",
      "5F09 value",
      "00001A2B",
      "00008000",
      "04A21B7F",
      "1",
      "h",
      UpperHex(Bytes(32, 0x10)),
      "PAR0001",
      "6",
      "P",
      "https://pay.example/o/1",
      "H",
      UpperHex(Bytes(64, 0x01)),
      "LOYAL-1",
      "Z",
  };
  EXPECT_EQ(SplitCrLf(text), expected);
  EXPECT_FALSE(FileExists(Path("hmsg.d")));
  EXPECT_NE(ReadFile(Path("vas.xml")).find("<valuables type=\"T\">ABC</valuables>"), std::string::npos);
}

TEST_F(ResponseFile, Cp866ModeAndMissingHostMessage) {
  pcc_GetUImode() = 0x40;
  DavizResult r = FullResult();
  r.Tags().DeleteTag(kResTagVas);
  WriteFile(Path("vas.xml"), "stale");
  returnErrCode(r, "e", 1, 0);
  auto lines = SplitCrLf(ReadFile(Path("e")));
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[0], "0," + kApprovedCp866);
  EXPECT_EQ(lines[14], "00");
  EXPECT_EQ(lines[15], "00");
  EXPECT_EQ(lines[16], "");
  EXPECT_EQ(lines[22], "0");
  EXPECT_FALSE(FileExists(Path("vas.xml")));
}

TEST_F(ResponseFile, EmptyResultStillHas33Lines) {
  DavizResult r;
  r.resultCode = 4301;
  EXPECT_EQ(returnErrCode(r, "e", 0, 0), 99);
  const std::vector<std::string> expected = {"4301,", "", "", "", "    ", "", "0", "", "00000000000000", "", "",
                                             "", "0", "", "00", "00", "", "0", "", "00000000", "00000000", "",
                                             "0", "0", "", "", "0", " ", "", "", "", "", ""};
  EXPECT_EQ(SplitCrLf(ReadFile(Path("e"))), expected);
}

TEST_F(ResponseFile, SecondHashAndTypedHashVariants) {
  struct {
    std::string extra;  // tag 0x5F55, empty: missing
    std::string letter;
    std::string hash;
  } cases[] = {
      {"H" + Bytes(64, 0x20), "H", UpperHex(Bytes(64, 0x20))},
      {"h" + Bytes(40, 0x20), "h", UpperHex(Bytes(32, 0x20))},
      {"N" + Bytes(32, 0x20), "N", UpperHex(Bytes(32, 0x20))},
      {"H" + Bytes(10, 0x20), "H", UpperHex(Bytes(10, 0x20))},
      {"X" + Bytes(32, 0x20), "0", ""},
      {"", "0", ""},
  };
  for (const auto& c : cases) {
    DavizResult r;
    if (!c.extra.empty()) AddText(r, kResTagExtraHash, c.extra);
    auto lines = SplitCrLf(BuildResponseText(r, HostMessage{}, 0));
    ASSERT_EQ(lines.size(), 33u);
    EXPECT_EQ(lines[23], c.letter) << c.letter;
    EXPECT_EQ(lines[24], c.hash) << c.letter;
  }
  // Line 31 follows the letter of tag 0x5F69: 32 bytes for "h", nothing for another letter.
  DavizResult typed;
  AddText(typed, kResTagHashType, "h");
  AddText(typed, kResTagTypedHash, Bytes(64, 0x01));
  auto lines = SplitCrLf(BuildResponseText(typed, HostMessage{}, 0));
  EXPECT_EQ(lines[29], "h");
  EXPECT_EQ(lines[30], UpperHex(Bytes(32, 0x01)));
  AddText(typed, kResTagHashType, "Q");
  lines = SplitCrLf(BuildResponseText(typed, HostMessage{}, 0));
  EXPECT_EQ(lines[29], "Q");
  EXPECT_EQ(lines[30], "");
}

TEST_F(ResponseFile, LineBreaksInsideValuesNeverAddLines) {
  DavizResult r;
  AddText(r, kResTagCardNumber, "4276\r\n9999");
  AddText(r, kResTag5F09, "a\nb");
  AddText(r, kResTag5F74, "\r");
  AddText(r, kResTag5F61, "ORDER-7");
  DavizResultBase::SetText(r.authCode, "12\n34");
  auto lines = SplitCrLf(BuildResponseText(r, HostMessage{1, -1, "x"}, 0));
  ASSERT_EQ(lines.size(), 33u);
  EXPECT_EQ(lines[1], "4276");
  EXPECT_EQ(lines[3], "12");
  EXPECT_EQ(lines[15], "-1");
  EXPECT_EQ(lines[18], "a");
  EXPECT_EQ(lines[28], "ORDER-7");  // no URL: tag 0x5F61 takes its place
  EXPECT_EQ(lines[32], "");
}

TEST(ResponseTables, CardTypeMapping) {
  const uint8_t expected[] = {0, 2, 3, 1, 6, 4, 5, 7, 8, 0, 0, 0, 0, 0, 12, 13, 0, 10, 11, 10, 0, 14, 0, 0, 0};
  for (uint8_t id = 0; id < sizeof expected; ++id) EXPECT_EQ(GetDavizCardTypeById(id), expected[id]) << int(id);
  EXPECT_EQ(GetDavizCardTypeById(255), 0);
}

TEST(ResponseTables, EntryModeCharacter) {
  struct {
    uint32_t flags;
    uint32_t mode;
    uint8_t op;
    char expected;
  } cases[] = {
      {0, 0, 1, 'D'},      {0, 1, 1, 'M'},       {0, 7, 1, ' '},      {0, 12, 1, 'T'},  {0, 13, 1, ' '},
      {0, 13, 63, 'L'},    {0, 99, 63, 'L'},     {0, 6, 90, 'Q'},     {0, 1, 92, 'Q'},  {0, 1, 93, 'M'},
      {0x8000, 1, 1, 'P'}, {0x8000, 11, 1, 'P'}, {0, 11, 1, 'P'},     {0, 2, 63, 'L'},  {0x8000, 2, 1, 'C'},
      {0x8000, 6, 1, 'I'}, {0, 0xFFFFFFFF, 1, ' '},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(GetCustomerEntryChar(c.flags, c.mode, c.op), c.expected) << c.flags << " " << c.mode << " " << int(c.op);
  }
}

TEST_F(ResponseFile, Operation47PollingWritesNothing) {
  WriteFile(Path("e"), "previous");
  WriteHostMessage(Path("hmsg.d"), 1, 2, "kept");
  DavizResult r;
  EXPECT_EQ(returnErrCode(r, "e", 47, 3), 0);
  EXPECT_EQ(ReadFile(Path("e")), "previous");
  EXPECT_TRUE(FileExists(Path("hmsg.d")));
  returnErrCode(r, "e", 47, 5);
  EXPECT_EQ(SplitCrLf(ReadFile(Path("e"))).size(), 33u);
}

TEST_F(ResponseFile, UnwritableResultFolderStillGivesTheExitCode) {
  pcc_SetPath(PathToResult, (Folder() + "missing/").c_str());
  DavizResult r;
  r.resultCode = 5;
  EXPECT_EQ(returnErrCode(r, "e", 1, 0), 99);
  EXPECT_FALSE(FileExists(Path("missing/e")));
}

TEST_F(ResponseFile, CleanupStepsRunAfterWriting) {
  static int calls = 0;
  calls = 0;
  SetResponseCleanup(kCleanupEndWallpaper, [] { ++calls; });
  SetResponseCleanup(kCleanupFileService, [] { ++calls; });
  DavizResult r;
  returnErrCode(r, "e", 1, 0);
  SetResponseCleanup(kCleanupEndWallpaper, nullptr);
  SetResponseCleanup(kCleanupFileService, nullptr);
  EXPECT_EQ(calls, 2);
}

TEST_F(ResponseFile, ReturnCodeSettlesCodeMessageAndCheque) {
  // A host decline without a message of its own gets the default text.
  DavizParams purchase;
  purchase.SetOperType(1);
  purchase.SetRequestID(0x77);
  purchase.AttachMerchantCheque("slip", 4);
  DavizResult declined;
  EXPECT_EQ(DoReturnDavizCode(4405, declined, "e", purchase), 99);
  EXPECT_EQ(purchase.GetMerchantCheque(), nullptr);
  EXPECT_EQ(purchase.GetFlags() & kDavizFlagMerchantCheque, 0u);
  auto lines = SplitCrLf(ReadFile(Path("e")));
  EXPECT_EQ(lines[0], "4405,\xEF\xD0\xC5\xD2\xC1\xC3\xC9\xD1 \xCF\xD4\xCB\xCC\xCF\xCE\xC5\xCE\xC1");
  EXPECT_EQ(lines[19], "00000077");  // no identifier in the answer: the request's

  // The message tables of the screen layer take precedence once installed.
  SetErrorMessageLookup([](uint16_t code, std::string& text) {
    if (code != 99) return false;
    text = "FAILED";
    return true;
  });
  DavizResult failed;
  DoReturnDavizCode(99, failed, "e", purchase);
  EXPECT_EQ(SplitCrLf(ReadFile(Path("e")))[0], "99,FAILED");
  SetErrorMessageLookup(nullptr);
  EXPECT_EQ(termGetErrorMsg(99), "");

  // Operation 26 is supported only when the answer names the function asked for.
  DavizParams check;
  check.SetOperType(26);
  check.SetAdditionalValue(4000);
  DavizResult other;
  other.SetAmount(4001);
  EXPECT_EQ(DoReturnDavizCode(0, other, "e", check), 99);
  EXPECT_EQ(SplitCrLf(ReadFile(Path("e")))[0], "252,");
  DavizResult same;
  same.SetAmount(4000);
  EXPECT_EQ(DoReturnDavizCode(0, same, "e", check), 0);
}

}  // namespace
