// Small text helpers shared by the update client's readers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace ferrow_text {

// The program's decimal conversion: every byte is taken as a digit
// (value * 10 + byte - '0', left to right, nothing validated); a negative
// result becomes 0.
int32_t DecimalToInt(std::string_view text);

// Splits at CR and LF: a CR LF or LF CR pair is one break, two equal breaks
// in a row give an empty line between them. A last line without a break is
// kept. NUL bytes are dropped.
std::vector<std::string> SplitLines(std::string_view text);

// Formats like printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ferrow_text
