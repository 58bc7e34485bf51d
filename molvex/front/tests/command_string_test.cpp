#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "molvex/front/run/command_string.h"

namespace {

CommandString Build(std::vector<std::string> args) {
  std::vector<const char*> argv{"molvex"};
  for (const auto& a : args) argv.push_back(a.c_str());
  return BuildCommandString(static_cast<int>(argv.size()), argv.data());
}

TEST(CommandString, JoinsArgumentsWithQuotesAroundBlanks) {
  struct Case {
    std::vector<std::string> args;
    std::string expected;
  } cases[] = {
      {{"1", "10000"}, "1 10000 "},
      {{"a b"}, "\"a b\" "},
      {{"26", "/x=5", "/n=two words"}, "26 /x=5 \"/n=two words\" "},
      {{}, ""},
      {{""}, " "},
  };
  for (const auto& c : cases) {
    CommandString s = Build(c.args);
    EXPECT_EQ(s.text, c.expected);
    EXPECT_TRUE(s.complete);
  }
}

TEST(CommandString, RefusesWhatDoesNotFit) {
  CommandString exact = Build({std::string(254, 'x')});
  EXPECT_TRUE(exact.complete);
  EXPECT_EQ(exact.text.size(), 255u);
  CommandString over = Build({"1", std::string(300, 'x')});
  EXPECT_FALSE(over.complete);
  EXPECT_EQ(over.text, "1 ");
  EXPECT_LE(over.text.size(), kMaxCommandString);
}

}  // namespace
