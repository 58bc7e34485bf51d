// The program's arguments joined into the one command string that the
// command-line parser reads and the start line of the log shows.
#pragma once

#include <cstddef>
#include <string>

constexpr size_t kMaxCommandString = 255;

struct CommandString {
  std::string text;
  // An argument list longer than the limit is refused rather than cut, so a
  // payment never runs with a truncated argument.
  bool complete = true;
};

// Each argument followed by one blank; an argument holding a blank in double quotes.
CommandString BuildCommandString(int argc, const char* const argv[]);
