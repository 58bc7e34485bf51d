// Small helpers of the launcher and scheduler end-to-end tests.
#pragma once

#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

#include "test_support.h"

namespace e2e {

// The monthly main log name for a prefix, e.g. "tarn2612.log".
inline std::string MonthlyLogName(const std::string& prefix) {
  time_t now = time(nullptr);
  tm parts{};
  localtime_r(&now, &parts);
  char name[64];
  std::snprintf(name, sizeof name, "%s%02d%02d.log", prefix.c_str(), parts.tm_year % 100, parts.tm_mon + 1);
  return name;
}

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
