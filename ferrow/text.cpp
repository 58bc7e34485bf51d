#include "text.h"

#include <cstdarg>
#include <cstdio>

namespace ferrow_text {

int32_t DecimalToInt(std::string_view text) {
  // Unsigned arithmetic wraps instead of overflowing; the sign is looked at
  // only at the end, as the conversion always did.
  uint32_t value = 0;
  for (unsigned char c : text) value = value * 10u + static_cast<uint32_t>(c) - static_cast<uint32_t>('0');
  const int32_t result = static_cast<int32_t>(value);
  return result < 0 ? 0 : result;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::string current;
  bool pending = false;  // some text or a break has been seen for the current line
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      lines.push_back(current);
      current.clear();
      pending = false;
      const char other = c == '\r' ? '\n' : '\r';
      if (i + 1 < text.size() && text[i + 1] == other) ++i;
      continue;
    }
    if (c == '\0') continue;
    current.push_back(c);
    pending = true;
  }
  if (pending) lines.push_back(current);
  return lines;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    out.resize(static_cast<size_t>(needed) + 1);
    std::vsnprintf(out.data(), out.size(), format, args);
    out.resize(static_cast<size_t>(needed));
  }
  va_end(args);
  return out;
}

}  // namespace ferrow_text
