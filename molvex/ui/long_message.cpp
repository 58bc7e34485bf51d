#include "molvex/ui/long_message.h"

#include <cstring>
#include <string>

namespace {

bool IsBreakBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool EndsPortion(char c) { return IsBreakBlank(c) || c == ',' || c == '-' || c == '.' || c == ';'; }

// Skips blanks and tabs, then one CR, then one LF.
const char* SkipAfterPortion(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  if (*p == '\r') ++p;
  if (*p == '\n') ++p;
  return p;
}

int CountPortions(const char* p, int columns) {
  int count = 0;
  while (*p != '\0') {
    p = SkipAfterPortion(p + auxGetDspPortion(p, columns));
    ++count;
  }
  return count;
}

}  // namespace

extern "C" size_t auxGetDspPortion(const char* text, int columns) {
  if (text == nullptr) return 0;
  if (columns < 1) columns = 1;
  size_t width = static_cast<size_t>(columns);
  for (size_t i = 0; i <= width; ++i) {
    if (text[i] == '\0' || text[i] == '\r' || text[i] == '\n') return i;
  }
  // The whole first width + 1 characters are there: break at the last blank or punctuation.
  for (size_t i = width; i >= 1; --i) {
    if (EndsPortion(text[i])) return i + 1;
  }
  return width;
}

int auxDoDisplayLongMessage(int alignment, int columns, int rows, const char* text, int first_line,
                            const LongMessageDraw& draw) {
  if (text == nullptr) return 0;
  if (columns < 1) columns = 1;
  if (rows < 1) rows = 1;
  const char* start = text;
  while (CountPortions(start, columns) > rows) {
    start = SkipAfterPortion(start + auxGetDspPortion(start, columns));
  }
  int lines = 0;
  for (const char* p = start; *p != '\0';) {
    size_t length = auxGetDspPortion(p, columns);
    std::string line(p, length);
    if (!line.empty() && IsBreakBlank(line.back())) line.pop_back();
    size_t width = static_cast<size_t>(columns);
    if (!line.empty() && line.size() < width && (alignment == 1 || alignment == 2)) {
      size_t pad = alignment == 1 ? width - line.size() : (width - line.size()) / 2;
      std::string padded(width, ' ');
      padded.replace(pad, line.size(), line);
      line = std::move(padded);
    }
    if (draw) draw(first_line + lines, line.data(), line.size());
    ++lines;
    p = SkipAfterPortion(p + length);
  }
  return lines;
}
