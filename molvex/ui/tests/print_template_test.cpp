#include "molvex/ui/print_template.h"

#include <gtest/gtest.h>

#include <cstring>
#include <ctime>
#include <memory>

namespace {

struct InfoDeleter {
  void operator()(T_Print_Info* info) const { termDonePrintInfo(info); }
};
using InfoPtr = std::unique_ptr<T_Print_Info, InfoDeleter>;

InfoPtr MakeInfo() { return InfoPtr(termInitPrintInfo()); }

struct TemplateCase {
  const char* text;
  std::string expected;
};

TEST(PrintTemplate, FieldForms) {
  InfoPtr info = MakeInfo();
  termAddPrintData(info.get(), "tn", "000123");
  termAddPrintData(info.get(), "v", "ABCDEFGHIJKLMNOPQRST");
  termAddPrintData(info.get(), "lines", "one\r\ntwo\rthree\r\n");
  const TemplateCase cases[] = {
      {"SIG_<tn}.PNG", "SIG_000123.PNG"},
      {"<tn>", "0001"},
      {"<TN>", "0001"},  // names ignore case
      {"<     tn>", "   000123"},
      {"< tn     >", "  000123  "},
      {"< tn    >", " 000123  "},
      {"<tn}8|", "000123  |"},
      {"< tn}8|", "  000123|"},
      {"< tn }9|", " 000123  |"},
      {"<tn}0|", "|"},
      {"<x}|", "|"},
      {"<x>|", "   |"},
      {"a<x]b", "ab"},
      {"abc <v      ]", "abc ABCDEFGHI\r\n    JKLMNOPQR\r\n    ST"},
      {"1\r\nab<v      ]", "1\r\nabABCDEFGHI\r\n  JKLMNOPQR\r\n  ST"},
      {"<lines    ]", "one\r\ntwo\r\nthree"},
      {"<tn} <tn}", "000123 000123"},
      {"a < b", "a < b"},  // no closing character: left as it is
      {"<tn", "<tn"},
      {"<>", "  "},
      {"<tn}<v}", "000123ABCDEFGHIJKLMNOPQRST"},  // values are not scanned again
  };
  for (const TemplateCase& c : cases) {
    EXPECT_EQ(ProcessPrintTemplate(c.text, info.get()), c.expected) << c.text;
  }
}

TEST(PrintTemplate, DateAndTimeDefaultsAndListValuesWin) {
  std::time_t now = std::time(nullptr);
  std::tm parts {};
  localtime_r(&now, &parts);
  char date[16], hour[8];
  std::snprintf(date, sizeof date, "%02d.%02d.%02d", parts.tm_mday, parts.tm_mon + 1, parts.tm_year % 100);
  std::snprintf(hour, sizeof hour, "%02d:", parts.tm_hour);
  EXPECT_EQ(ProcessPrintTemplate("<date}", nullptr), date);
  std::string time_text = ProcessPrintTemplate("<TIME}", nullptr);
  ASSERT_EQ(time_text.size(), 5u);
  EXPECT_EQ(time_text.substr(0, 3), hour);
  InfoPtr info = MakeInfo();
  termAddPrintData(info.get(), "date", "01.01.99");
  EXPECT_EQ(ProcessPrintTemplate("<date}", info.get()), "01.01.99");
}

TEST(PrintTemplate, WrappedTextStopsAt400Bytes) {
  std::string value(2000, 'w');
  InfoPtr info = MakeInfo();
  termAddPrintVolData(info.get(), "v", value.c_str());
  std::string out = ProcessPrintTemplate("<v  ]", info.get());
  EXPECT_EQ(out.size(), kMaxWrappedText);
  EXPECT_EQ(out.substr(0, 10), "wwwww\r\nwww");
}

TEST(PrintTemplate, InPlaceFillingIsBoundedByTheBuffer) {
  InfoPtr info = MakeInfo();
  termAddPrintData(info.get(), "name", "a value longer than the buffer");
  T_Print_Params params{info.get(), 0};
  char text[16] = "[<name}]";
  termProcessPrintLine(text, sizeof text, &params);
  EXPECT_STREQ(text, "[a value longer");
  char fixed[32] = "<name   >|";
  termProcessPrintLine(fixed, sizeof fixed, &params);
  EXPECT_STREQ(fixed, "a value l|");
}

TEST(PrintValueList, StoreAndEntryLimits) {
  InfoPtr info = MakeInfo();
  termAddPrintData(info.get(), "empty", "");
  termAddPrintData(info.get(), "big", std::string(1023, 'b').c_str());  // needs 1024 bytes: dropped
  termAddPrintDataN(info.get(), "cut", "abcdef", 3);
  EXPECT_EQ(termFindValueInList(info.get(), "empty"), nullptr);
  EXPECT_EQ(termFindValueInList(info.get(), "big"), nullptr);
  EXPECT_STREQ(termFindValueInList(info.get(), "CUT"), "abc");
  // Fills the store: 1019 usable bytes are left after "abc".
  std::string fill(1018, 'f');
  termAddPrintData(info.get(), "fill", fill.c_str());
  EXPECT_NE(termFindValueInList(info.get(), "fill"), nullptr);
  termAddPrintData(info.get(), "more", "m");
  EXPECT_EQ(termFindValueInList(info.get(), "more"), nullptr);

  termResetPrintInfo(info.get());
  EXPECT_EQ(termFindValueInList(info.get(), "cut"), nullptr);
  static const char* const names[] = {"n0", "n1", "n2", "n3", "n4", "n5", "n6", "n7"};
  for (int i = 0; i < 64; ++i) termAddPrintVolData(info.get(), names[i % 8], "v");
  termAddPrintData(info.get(), "late", "x");
  EXPECT_EQ(info->count, 64);
  EXPECT_EQ(termFindValueInList(info.get(), "late"), nullptr);
  // The first entry of a name wins.
  termResetPrintInfo(info.get());
  termAddPrintData(info.get(), "k", "first");
  termAddPrintData(info.get(), "K", "second");
  EXPECT_STREQ(termFindValueInList(info.get(), "k"), "first");
}

}  // namespace
