// The command line: tokens, named arguments and every check that refuses an
// operation before the PIN pad is asked.
#include <sys/stat.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "front_fixture.h"
#include "molvex/front/model/command_line.h"
#include "molvex/front/model/operation_table.h"
#include "molvex/platform/msec_counter.h"
#include "src/pc/paths.h"

using testsupport::WriteFile;

namespace {

std::string Hex(const uint8_t* data, size_t len) {
  static const char digits[] = "0123456789ABCDEF";
  std::string out;
  for (size_t i = 0; i < len; ++i) {
    out.push_back(digits[data[i] >> 4]);
    out.push_back(digits[data[i] & 15]);
  }
  return out;
}

std::string TagHex(const DavizParams& params, uint32_t tag) {
  uint16_t len = 0;
  const uint8_t* value = params.FindExtraTag(tag, len);
  return value == nullptr ? "<none>" : Hex(value, len);
}

std::string TextHex(const std::string& text) {
  return Hex(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

std::vector<std::string> Tokens(std::string text, unsigned max = kMaxCmdTokens) {
  std::vector<char*> tokens(max + 1);
  unsigned count = davizCmdLineToArgs(text.data(), tokens.data(), max);
  return std::vector<std::string>(tokens.begin(), tokens.begin() + count);
}

class CommandLine : public FrontFixture {};

TEST(CommandLineTokens, QuotesGroupBlanksAndAreDropped) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Tokens("  1   10000 "), (V{"1", "10000"}));
  EXPECT_EQ(Tokens("1 \"a b\" c"), (V{"1", "a b", "c"}));
  EXPECT_EQ(Tokens("1 /n=\"two words\" x"), (V{"1", "/n=\"two words\"", "x"}));
  EXPECT_EQ(Tokens("x\"y z\"w"), (V{"x\"y z\"w"}));
  // Without a closing quote only the quote itself joins the token.
  EXPECT_EQ(Tokens("\"abc def"), (V{"abc", "def"}));
  EXPECT_EQ(Tokens("\"\" x"), (V{"", "x"}));
  EXPECT_EQ(Tokens("\t\n"), V{});
  EXPECT_EQ(Tokens("1 2 3 4 5 6 7 8 9 10 11 12 13 14"),
            (V{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}));
}

TEST(CommandLineTokens, NamedArguments) {
  std::string text = "1 /n=\"two words\" /l=x /L=y /g=z 100";
  char* tokens[kMaxCmdTokens];
  int count = static_cast<int>(davizCmdLineToArgs(text.data(), tokens, kMaxCmdTokens));
  EXPECT_EQ(davizGetNamedArgsCount(count, tokens), 4);
  EXPECT_STREQ(davizGetNamedParamNoCpy(count, tokens, "/n="), "two words");
  EXPECT_STREQ(davizGetNamedParamNoCpy(count, tokens, "/n="), "two words");  // the quotes are gone once
  EXPECT_STREQ(davizGetNamedParamNoCpy(count, tokens, "/l="), "x");
  EXPECT_STREQ(davizGetNamedParamNoCpy(count, tokens, "/L="), "y");
  EXPECT_EQ(davizGetNamedParamNoCpy(count, tokens, "/q="), nullptr);
  char small[4];
  EXPECT_TRUE(davizGetNamedParam(count, tokens, "/n=", small, sizeof small));
  EXPECT_STREQ(small, "two");
  EXPECT_FALSE(davizGetNamedParam(count, tokens, "/x=", small, sizeof small));
}

TEST(OperationTable, EntriesAsTabled) {
  EXPECT_STREQ(davizGetOperationLetters(1), "actr");
  EXPECT_STREQ(davizGetOperationLetters(7), "Acsr");
  EXPECT_STREQ(davizGetOperationLetters(57), "Ec");
  EXPECT_STREQ(davizGetOperationLetters(103), "Atr");
  EXPECT_EQ(davizGetOperation(93).argCount, 3);
  EXPECT_EQ(davizGetOperation(14).argCount, 2);
  EXPECT_EQ(davizGetOperation(1).argCount, 1);
  EXPECT_EQ(davizGetKernelOperType(26), 13);
  EXPECT_EQ(davizGetKernelOperType(108), 4000);
  EXPECT_EQ(davizGetKernelOperType(5), 0);
  EXPECT_EQ(davizGetOperation(200).kernelType, 0);
  EXPECT_EQ(davizGetOperation(37).flags & kOperNotFromCommandLine, kOperNotFromCommandLine);
  int needs_id = 0;
  for (uint32_t code = 0; code <= kMaxOperationCode; ++code) {
    if (davizGetOperation(code).flags & kOperNeedsRequestId) ++needs_id;
  }
  EXPECT_EQ(needs_id, 45);
}

struct Case {
  const char* line;
  uint16_t code;
  uint32_t amount;
  uint8_t operation;
  std::map<uint32_t, std::string> tags;  // hexadecimal values; "<none>" for a missing tag
};

TEST_F(CommandLine, CasesFromCommandStrings) {
  const Case cases[] = {
      {"1 10000 ", 0, 10000, 1, {}},
      {"1 100.00", 0, 10000, 1, {}},
      {"1 100.5", 0, 10050, 1, {}},
      {"1 100.555", 4319, 0, 1, {}},
      {"1 -500", 0, 500, 1, {}},
      {"1 42949673.00", 4319, 0, 1, {}},
      {"1", 0, 0, 1, {}},
      {"", 4300, 0, 0, {}},
      {"27", 4300, 0, 27, {}},
      {"93 1", 4300, 0, 93, {}},
      {"93 1 2", 0, 1, 93, {}},
      {"14", 4300, 0, 14, {}},
      {"23", 4301, 0, 23, {}},
      {"37 1", 4301, 0, 37, {}},
      {"109", 4301, 0, 109, {}},
      {"0", 4301, 0, 0, {}},
      {"x", 4301, 0, 0, {}},
      // Never folded onto a low byte: 257 is no purchase.
      {"257 100", 4301, 0, 0, {}},
      {"99999999999999999999 100", 4301, 0, 0, {}},
      {"1 100 x", 4302, 100, 1, {}},
      {"1 /r=643 100", 4319, 0, 1, {}},
      {"1 100 /r=643", 0, 100, 1, {{0x5F2A, "8302"}}},
      {"1 100 /r=0", 0, 100, 1, {{0x5F2A, "<none>"}}},
      {"26 garbage", 0, 0, 26, {}},
      {"57 EXTRA", 0, 0, 57, {{0xDF57, TextHex("EXTRA")}}},
      {"1 100 /a=5.00", 0, 100, 1, {{0xDF50, "F4010000"}}},
      {"1 100 /a=x /w=zz", 4394, 100, 1, {{0xDF50, "<none>"}}},
      {"1 100 /w=30", 0, 100, 1, {{0xDF55, "1E000000"}}},
      {"1 100 /w=zz", 4332, 100, 1, {}},
      {"1 100 /w=99999999999", 4332, 100, 1, {}},
      {"1 100 /s=value", 0, 100, 1, {{0xDF52, TextHex("DF27")}, {0xDF51, TextHex("value")}}},
      {"1 100 /s=value /t=DF28", 0, 100, 1, {{0xDF52, TextHex("DF28")}}},
      {"1 100 /s=value /t=", 4332, 100, 1, {{0xDF51, "<none>"}}},
      {"1 100 /s=", 4332, 100, 1, {}},
      {"1 100 /b=B1 /l=L2", 0, 100, 1, {{0x5F56, TextHex("B1")}, {0x5F57, TextHex("L2")}}},
      {"1 100 /v=1 /p=10", 4328, 100, 1, {{0xC1, "<none>"}}},
      {"1 100 /c=ABC", 4328, 100, 1, {}},
      {"1 100 /v=0 /p=10 /c=ABC", 4328, 100, 1, {}},
      {"1 100 /v=1.5 /p=10.00 /c=ABC /n=Milk",
       0,
       100,
       1,
       {{0xC1, "01"}, {0xDF33, "DC050000"}, {0xDF60, "E8030000"}, {0xDF805F, TextHex("ABC")},
        {0xDF5F, TextHex("Milk")}}},
      {"1 100 /n=Milk", 0, 100, 1, {{0xC1, "<none>"}}},
      {"1 100 /o=log20240101-20240131235959",
       0,
       100,
       1,
       {{0x5F11, "10000000"}, {0x5F12, "E5D63401"}, {0x5F13, "03D73401"}, {0x5F14, "<none>"},
        {0x5F15, "B7990300"}}},
      {"1 /o=LOG20240101120000", 0, 0, 1, {{0x5F12, "E5D63401"}, {0x5F14, "C0D40100"}, {0x5F13, "<none>"}}},
      {"1 /o=log", 0, 0, 1, {{0x5F11, "10000000"}, {0x5F12, "<none>"}}},
      {"1 /o=log-20240101", 0, 0, 1, {{0x5F13, "<none>"}}},
      {"1 /o=text,log", 249, 0, 1, {{0x5F11, "30000000"}}},
      {"1 /o=log2024", 249, 0, 1, {}},
      {"1 /o=log20240101-2024013", 249, 0, 1, {}},
      {"1 /o=log2024010x", 249, 0, 1, {}},
      {"1 /o=bogus,as-email", 249, 0, 1, {{0xDF3A, "<none>"}, {0x5F11, "<none>"}}},
      {"1 /o=AS-EMAIL,On-Closed-Day,as-phone,", 0, 0, 1, {{0xDF3A, "02"}, {0xDF46, "01"}}},
      {"1 /o=as-phone", 0, 0, 1, {{0xDF3A, "01"}}},
      {"1 /o=cp-utf8,log", 0, 0, 1, {{0x5F11, "50000000"}}},
      {"1 /q=FFFFFFFF", 4332, 0, 1, {}},
      {"1 /q=12x", 4332, 0, 1, {}},
      {"1 /i=BIOMETRY", 0, 0, 1, {{0x5F53, TextHex("BIOMETRY") + std::string(24, '0')}}},
      {"1 /i=biometry", 0, 0, 1, {{0x5F53, TextHex("BIOMETRY") + std::string(24, '0')}}},
      {"2 /i=BIOMETRY", 4332, 0, 2, {}},
      {"17 0 0 0 123456789012", 0, 0, 42, {}},
      {"17 0 0 0", 0, 0, 17, {}},
      {"18", 0, 0, 43, {}},
      {"18 100", 0, 100, 18, {}},
      {"18 0 /w=x", 4332, 0, 18, {}},
      {"26 /x=1", 0, 0, 26, {}},
      {"26 /x=5", 252, 0, 26, {}},
      {"26 /x=abc", 252, 0, 26, {}},
      {"26 /x=261", 252, 0, 26, {}},  // the low byte names operation 5
      {"26 /x=257", 0, 0, 26, {}},
      {"1 /x=abc", 0, 0, 1, {}},
      {"26 /x=5 /v=1", 4328, 0, 26, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    DavizParams params;
    EXPECT_EQ(TranslateCmdLine(params, c.line), c.code);
    EXPECT_EQ(params.GetOperType(), c.operation);
    EXPECT_EQ(params.GetAmount(), c.amount);
    for (const auto& [tag, value] : c.tags) EXPECT_EQ(TagHex(params, tag), value) << std::hex << tag;
  }
}

TEST_F(CommandLine, FieldsFromLettersAndNamedArguments) {
  DavizParams params;
  ASSERT_EQ(TranslateCmdLine(params, "1 100 7 4276000012345678=2512 123456789012345 /d=300 /r=933 "
                                     "/h=0123456789ABCDEF /e=emp /L=loyal /B=1.25 /u=\"http://a b\""),
            0);
  EXPECT_EQ(params.GetCardType(), 7);
  EXPECT_STREQ(params.GetTrack2(), "4276000012345678=2512");
  EXPECT_STREQ(params.GetRrn(), "123456789012");  // cut to 12
  EXPECT_EQ(params.GetDepartment(), 300 & 0xFF);
  EXPECT_EQ(params.GetCurrencyType(), 933);
  EXPECT_STREQ(params.GetHmacId(), "0123456789AB");
  EXPECT_STREQ(params.GetTipsEmployeeId(), "emp");
  EXPECT_STREQ(params.GetExtLoyaltyId(), "loyal");
  EXPECT_EQ(params.GetLoyaltyBonusAmount(), 125u);
  EXPECT_STREQ(params.GetUrlOrOrderId(), "http://a b");

  DavizParams cp1251;
  // Letter S converts the text from cp1251 to cp866; "t" ignores a one-character argument.
  ASSERT_EQ(TranslateCmdLine(cp1251, "29 0 0 \xC0\xE1\xE2"), 0);
  EXPECT_STREQ(cp1251.GetTrack2(), "\x80\xA1\xA2");
  DavizParams short_track;
  ASSERT_EQ(TranslateCmdLine(short_track, "1 0 0 9"), 0);
  EXPECT_STREQ(short_track.GetTrack2(), "");
}

TEST_F(CommandLine, RequestIdentifier) {
  drvSetClockOffsetForTests(5000);
  DavizParams given;
  ASSERT_EQ(TranslateCmdLine(given, "1 100 /q=1A2B"), 0);
  EXPECT_EQ(given.GetRequestID(), 0x1A2Bu);
  DavizParams pushed;
  ASSERT_EQ(TranslateCmdLine(pushed, "1 \"/q=  123456789\""), 0);
  EXPECT_EQ(pushed.GetRequestID(), 0x23456789u);
  // Without "/q=" the run makes one later; an operation of the table's kind gets one from the clock.
  DavizParams none;
  ASSERT_EQ(TranslateCmdLine(none, "1 100"), 0);
  EXPECT_EQ(none.GetRequestID(), 0u);
  none.GenerateRequestID();
  EXPECT_NE(none.GetRequestID(), 0u);
  DavizParams totals;
  totals.SetOperType(7);
  totals.GenerateRequestID();
  EXPECT_EQ(totals.GetRequestID(), 0u);
  DavizParams stale;
  stale.SetRequestID(0xFFFFFFFFu);
  stale.SetOperType(99);
  stale.GenerateRequestID();
  EXPECT_NE(stale.GetRequestID(), 0xFFFFFFFFu);
  drvSetClockOffsetForTests(0);
}

TEST_F(CommandLine, MerchantChequeFile) {
  WriteFile(Path("cheque.txt"), "MERCHANT COPY\n");
  DavizParams params;
  ASSERT_EQ(TranslateCmdLine(params, ("1 100 /m=" + Path("cheque.txt")).c_str()), 0);
  EXPECT_STREQ(params.GetMerchantCheque(), "MERCHANT COPY\n");
  EXPECT_NE(params.GetFlags() & kDavizFlagMerchantCheque, 0u);

  WriteFile(Path("big.txt"), std::string(70000, 'x'));
  DavizParams big;
  ASSERT_EQ(TranslateCmdLine(big, ("1 100 /m=" + Path("big.txt")).c_str()), 0);
  EXPECT_EQ(std::strlen(big.GetMerchantCheque()), 63488u);
  EXPECT_NE(Log().find("Too big file " + Path("big.txt") + " (max size is 63488)"), std::string::npos);

  for (std::string name : {Path("missing.txt"), std::string("/dev/zero"), Folder()}) {
    DavizParams missing;
    ASSERT_EQ(TranslateCmdLine(missing, ("1 100 /m=" + name).c_str()), 0) << name;
    EXPECT_EQ(missing.GetMerchantCheque(), nullptr);
    EXPECT_EQ(missing.GetFlags() & kDavizFlagMerchantCheque, 0u);
    EXPECT_NE(Log().find("cannot open file " + name), std::string::npos);
  }
}

TEST_F(CommandLine, BiometricImageFile) {
  WriteFile(Path("face.jpg"), "abc");
  DavizParams params;
  ASSERT_EQ(TranslateCmdLine(params, ("108 /i=" + Path("face.jpg")).c_str()), 0);
  EXPECT_EQ(TagHex(params, 0x5F53), "A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_FALSE(params.HasTagBiometryInExtraData());

  DavizParams other_operation;
  EXPECT_EQ(TranslateCmdLine(other_operation, ("2 /i=" + Path("face.jpg")).c_str()), 4332);

  DavizParams missing;
  EXPECT_EQ(TranslateCmdLine(missing, ("1 /i=" + Path("none.jpg")).c_str()), 4332);
  EXPECT_NE(Log().find("File " + Path("none.jpg") + " is not found"), std::string::npos);

  WriteFile(Path("huge.jpg"), std::string(350000, 'x'));
  DavizParams huge;
  EXPECT_EQ(TranslateCmdLine(huge, ("1 /i=" + Path("huge.jpg")).c_str()), 4332);
  EXPECT_NE(Log().find("File " + Path("huge.jpg") + " is too large. File size 350000 is more then 350000"),
            std::string::npos);

  // The digest needs 23 bytes of room: a nearly full extra data refuses it.
  DavizParams full;
  std::string goods = "1 /i=" + Path("face.jpg") + " /v=1 /p=1 /c=" + std::string(220, 'G');
  EXPECT_EQ(TranslateCmdLine(full, goods.c_str()), 4332);
  EXPECT_NE(Log().find("Error add " + Path("face.jpg") + "  hash to ExtraData. Not enough space"),
            std::string::npos);
}

TEST_F(CommandLine, JsonTextFile) {
  WriteFile(Path("order.json"), "{\"name\":\"\xD0\x9C\xD0\xB8\xD1\x80\"}");
  DavizParams params;
  ASSERT_EQ(TranslateCmdLine(params, ("1 /j=" + Path("order.json")).c_str()), 0);
  EXPECT_STREQ(params.GetJsonText(), "{\"name\":\"\x8C\xA8\xE0\"}");

  WriteFile(Path("empty.json"), "");
  DavizParams empty;
  ASSERT_EQ(TranslateCmdLine(empty, ("1 /j=" + Path("empty.json")).c_str()), 0);
  EXPECT_EQ(empty.GetJsonText(), nullptr);
  EXPECT_NE(Log().find("File " + Path("empty.json") + " is empty"), std::string::npos);

  for (std::string name : {Path("none.json"), std::string("/dev/zero"), Folder()}) {
    DavizParams missing;
    EXPECT_EQ(TranslateCmdLine(missing, ("1 /j=" + name).c_str()), 4332) << name;
  }
  WriteFile(Path("huge.json"), std::string(1024 * 1024 + 1, ' '));
  DavizParams huge;
  EXPECT_EQ(TranslateCmdLine(huge, ("1 /j=" + Path("huge.json")).c_str()), 4332);
}

TEST_F(CommandLine, IniFolderIsSetUpOnceEvenForARefusedOperation) {
  mkdir(Path("alt").c_str(), 0755);
  mkdir(Path("results").c_str(), 0755);
  WriteFile(Path("alt/pinpad.ini"), "ResultDir=" + Path("results") + "/\n");
  DavizParams params;
  EXPECT_EQ(TranslateCmdLine(params, ("999 /f=" + Path("alt") + "/").c_str()), 4301);
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Path("alt") + "/");
  EXPECT_EQ(std::string(pcc_GetPath(PathToResult)), Path("results") + "/");

  // Without "/f=" the folder comes from redirect.ini in the program folder.
  WriteFile(Path("redirect.ini"), "IniDir=alt/\n");
  DavizParams plain;
  EXPECT_EQ(TranslateCmdLine(plain, "1 100"), 0);
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Path("alt") + "/");
}

TEST_F(CommandLine, HostileCommandStrings) {
  // Long, unbalanced and oversized inputs end in a code; nothing is written past a field.
  std::string long_text = "1 100 0 " + std::string(3000, 'T') + " " + std::string(500, 'R') + " /h=\"" +
                          std::string(900, 'H');
  DavizParams params;
  EXPECT_EQ(TranslateCmdLine(params, long_text.c_str()), 0);
  EXPECT_EQ(std::strlen(params.GetTrack2()), 179u);
  DavizParams quotes;
  EXPECT_EQ(TranslateCmdLine(quotes, "\"1 \"\"\" /q=\" 1A"), 4319);
  DavizParams null_text;
  EXPECT_EQ(TranslateCmdLine(null_text, nullptr), 4300);
  DavizParams many_e;
  std::string tags = "57 " + std::string(260, 'E');
  EXPECT_EQ(TranslateCmdLine(many_e, tags.c_str()), 0);
  EXPECT_EQ(TagHex(many_e, 0xDF57), "<none>");  // no room: dropped, not cut
}

TEST(DavizParamsObject, CopiesOwnTheirTexts) {
  DavizParams original;
  original.SetScreenText("screen");
  original.SetCashierFIO("cashier");
  original.SetJsonText("{}");
  original.AttachMerchantCheque("slip\0tail", 9);
  DavizParams copy(original);
  original.SetScreenText("changed");
  original.FreeMerchantCheque();
  EXPECT_STREQ(copy.GetScreenText(), "screen");
  EXPECT_STREQ(copy.GetCashierFIO(), "cashier");
  EXPECT_STREQ(copy.GetJsonText(), "{}");
  EXPECT_EQ(std::memcmp(copy.GetMerchantCheque(), "slip\0tail", 10), 0);
  EXPECT_NE(copy.GetFlags() & kDavizFlagMerchantCheque, 0u);
  EXPECT_NE(copy.OldStruct().screenText, original.OldStruct().screenText);

  DavizParams assigned;
  assigned.SetPassportData("old");
  assigned = copy;
  EXPECT_STREQ(assigned.GetScreenText(), "screen");
  EXPECT_EQ(assigned.GetPassportData(), nullptr);
  EXPECT_EQ(assigned.OldStruct().merchantCheque, assigned.GetMerchantCheque());
  EXPECT_NE(assigned.GetMerchantCheque(), copy.GetMerchantCheque());
  assigned = assigned;  // self-assignment keeps everything
  EXPECT_STREQ(assigned.GetScreenText(), "screen");
  assigned.Clear();
  EXPECT_EQ(assigned.GetScreenText(), nullptr);
  EXPECT_EQ(assigned.GetFlags(), 0u);
}

TEST(DavizParamsObject, ExtraDataMembersAndLimits) {
  DavizParams params;
  params.SetCurrencyType(643);
  params.SetAdditionalAmount(500);
  params.SetInputTextLength(12);
  EXPECT_EQ(params.GetInputTextLength(), 12u);
  uint8_t saved[255];
  size_t len = params.GetExtraData(saved, sizeof saved);

  DavizParams other;
  other.SetExtraData(saved, len);
  EXPECT_EQ(other.GetCurrencyType(), 643);
  EXPECT_EQ(other.GetAdditionalAmount(), 500u);
  other.SetCurrencyType(0);
  EXPECT_FALSE(other.HasExtraTag(0x5F2A));

  // A length byte and a list: the new list goes first, the old one behind it.
  DavizParams hex;
  hex.AddByteToExtraData(0xDF46, 1);
  EXPECT_TRUE(hex.AddExtraDataFromString("05DF50021234", 12));
  EXPECT_EQ(hex.ExtraDataLength(), 9u);
  EXPECT_EQ(hex.GetAdditionalAmount(), 0x3412u);
  EXPECT_EQ(TagHex(hex, 0xDF46), "01");
  EXPECT_FALSE(hex.AddExtraDataFromString("0XZZ", 4));
  EXPECT_FALSE(hex.AddExtraDataFromString(std::string(514, '0').c_str(), 514));

  // The list never grows beyond 255 bytes.
  DavizParams full;
  const std::string block(120, 'x');
  EXPECT_TRUE(full.AddStringToExtraData(0xDF01, block.c_str()));
  EXPECT_TRUE(full.AddStringToExtraData(0xDF02, block.c_str()));
  EXPECT_FALSE(full.AddStringToExtraData(0xDF03, block.c_str()));
  EXPECT_LE(full.ExtraDataLength(), 255u);

  params.SetRecvCard("12345678901234567890123");
  EXPECT_EQ(std::strlen(params.GetRecvCard()), 19u);
}

TEST(DavizParamsObject, OnlyByBiometry) {
  struct {
    uint8_t operation;
    bool tagged;
    bool expected;
  } cases[] = {{39, false, true},  {97, false, true}, {98, false, true}, {108, false, true}, {1, false, false},
               {1, true, true},    {3, true, true},   {8, true, true},   {2, true, false}};
  for (const auto& c : cases) {
    DavizParams params;
    params.SetOperType(c.operation);
    if (c.tagged) params.AddToExtraData(0x5F53, "BIOMETRY\0\0\0\0", 12);
    EXPECT_EQ(params.OnlyByBiometry(), c.expected) << int(c.operation) << c.tagged;
  }
}

}  // namespace
