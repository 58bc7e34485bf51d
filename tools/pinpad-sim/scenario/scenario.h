// A PIN pad scenario: what the PIN pad expects of the PC's request, what it
// asks of the PC step by step, and how it answers in the end. One scenario
// is one small text file, one step per line:
//
//   # comment
//   expect op=1 amount=10000
//   print text="ИТОГ" attr=0x10
//   answer code=0 auth=A1B2C3 message="ОДОБРЕНО"
//
// Values are words or double-quoted UTF-8 texts (\" and \n escaped);
// ${NAME} is replaced by a value given on the command line.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pinpadsim {

struct Step {
  int line = 0;
  std::string keyword;
  std::map<std::string, std::string> args;

  bool Has(const std::string& key) const { return args.count(key) != 0; }
  std::string Text(const std::string& key, const std::string& fallback = "") const;
  // Decimal or 0x-hexadecimal; fallback when missing or not a number.
  int64_t Number(const std::string& key, int64_t fallback = 0) const;
};

struct Scenario {
  std::string name;
  std::vector<Step> steps;
};

// Parses a scenario text; false with a message naming the line on error.
bool ParseScenario(const std::string& text, const std::map<std::string, std::string>& variables, Scenario& out,
                   std::string* error);
bool LoadScenario(const std::string& path, const std::map<std::string, std::string>& variables, Scenario& out,
                  std::string* error);

// The keywords a scenario may use, with a line of help each.
struct KeywordHelp {
  const char* keyword;
  const char* help;
};
const std::vector<KeywordHelp>& ScenarioKeywords();

}  // namespace pinpadsim
