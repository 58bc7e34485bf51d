// Small helpers of the launcher and scheduler end-to-end tests.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "test_support.h"

namespace e2e {

// The monthly main log name for a prefix, e.g. "tarn2612.log".
inline std::string MonthlyLogName(const std::string& prefix) { return testsupport::MonthlyLogName(prefix); }

// Log lines without their time stamp, each as "TAG: message".
inline std::vector<std::string> LogMessages(const std::string& path) {
  std::vector<std::string> out;
  for (const auto& line : testsupport::ReadLines(path)) {
    // "dd.mm hh:mm:ss.mmm " is 19 characters.
    out.push_back(line.size() > 19 ? line.substr(19) : line);
  }
  return out;
}

// A shell-quoted text for the fake programs' bodies.
inline std::string Quoted(const std::string& text) { return "'" + text + "'"; }

}  // namespace e2e
