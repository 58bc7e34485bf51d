#include "molvex/ui/print_template.h"

#include <strings.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "molvex/platform/system.h"

namespace {

void AddEntry(T_Print_Info* info, const char* name, const char* value) {
  info->entries[info->count].name = name;
  info->entries[info->count].value = value;
  ++info->count;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The value of a field: the list first, then the built-in date and time.
std::string FieldValue(const T_Print_Info* info, const char* name) {
  if (const char* value = termFindValueInList(info, name)) return value;
  bool is_date = strcasecmp(name, "date") == 0;
  if (is_date || strcasecmp(name, "time") == 0) {
    uint32_t date = 0, time_of_day = 0;
    drvGetDateAndTime(&date, &time_of_day);
    char text[32];
    if (is_date) {
      std::snprintf(text, sizeof text, "%02lu.%02lu.%02lu", static_cast<unsigned long>(date % 100),
                    static_cast<unsigned long>(date / 100 % 100), static_cast<unsigned long>(date / 10000 % 100));
    } else {
      std::snprintf(text, sizeof text, "%02lu:%02lu", static_cast<unsigned long>(time_of_day / 10000),
                    static_cast<unsigned long>(time_of_day / 100 % 100));
    }
    return text;
  }
  return {};
}

enum class Align { kLeft, kRight, kCentre };

std::string FixedField(std::string value, size_t width, Align align) {
  value.resize(width, ' ');
  if (align == Align::kLeft) return value;
  size_t text_end = value.find_last_not_of(' ');
  size_t blanks = text_end == std::string::npos ? width : width - (text_end + 1);
  size_t front = align == Align::kRight ? blanks : blanks / 2;
  std::string text = value.substr(0, width - blanks);
  return std::string(front, ' ') + text + std::string(blanks - front, ' ');
}

// Breaks the value into lines of width characters; every break is a line
// end and blanks up to column, so that the lines stand under the field.
std::string WrappedField(const std::string& value, size_t width, size_t column) {
  std::string out;
  std::string indent = "\r\n" + std::string(column, ' ');
  size_t line = 0;
  auto append = [&out](const std::string& piece) {
    size_t room = kMaxWrappedText - out.size();
    out.append(piece, 0, piece.size() < room ? piece.size() : room);
  };
  for (size_t i = 0; i < value.size() && out.size() < kMaxWrappedText; ++i) {
    char c = value[i];
    if (c == '\r') {
      if (i + 1 < value.size() && value[i + 1] == '\n') ++i;
      if (i + 1 >= value.size()) break;  // a line end closing the value is dropped
      append(indent);
      line = 0;
      continue;
    }
    if (line == width) {
      append(indent);
      line = 0;
    }
    append(std::string(1, c));
    ++line;
  }
  return out;
}

size_t CurrentColumn(const std::string& out) {
  size_t last = out.find_last_of("\r\n");
  return last == std::string::npos ? out.size() : out.size() - last - 1;
}

}  // namespace

extern "C" T_Print_Info* termInitPrintInfo() {
  auto* info = new (std::nothrow) T_Print_Info;
  if (info != nullptr) termResetPrintInfo(info);
  return info;
}

extern "C" void termDonePrintInfo(T_Print_Info* info) { delete info; }

extern "C" void termResetPrintInfo(T_Print_Info* info) {
  if (info == nullptr) return;
  std::memset(info, 0, sizeof *info);
}

extern "C" void termAddPrintDataN(T_Print_Info* info, const char* name, const char* value, size_t length) {
  if (info == nullptr || name == nullptr || value == nullptr) return;
  if (info->count >= kPrintInfoEntries) return;
  length = strnlen(value, length);
  // One byte of the store stays unused, so the values always fit with their terminators.
  if (length == 0 || info->used + length + 1 > kPrintInfoStore - 1) return;
  char* copy = info->store + info->used;
  std::memcpy(copy, value, length);
  copy[length] = '\0';
  info->used = static_cast<uint16_t>(info->used + length + 1);
  AddEntry(info, name, copy);
}

extern "C" void termAddPrintData(T_Print_Info* info, const char* name, const char* value) {
  if (value == nullptr) return;
  termAddPrintDataN(info, name, value, std::strlen(value));
}

extern "C" void termAddPrintVolData(T_Print_Info* info, const char* name, const char* value) {
  if (info == nullptr || name == nullptr || value == nullptr || info->count >= kPrintInfoEntries) return;
  AddEntry(info, name, value);
}

extern "C" const char* termFindValueInList(const T_Print_Info* info, const char* name) {
  if (info == nullptr || name == nullptr) return nullptr;
  for (int i = 0; i < info->count && i < kPrintInfoEntries; ++i) {
    const T_Print_Info_Entry& entry = info->entries[i];
    if (entry.name != nullptr && strcasecmp(entry.name, name) == 0) return entry.value;
  }
  return nullptr;
}

std::string ProcessPrintTemplate(std::string_view text, const T_Print_Info* info) {
  std::string out;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '<') {
      out += text[i++];
      continue;
    }
    size_t close = text.find_first_of(">}]", i + 1);
    if (close == std::string_view::npos) {
      out.append(text.substr(i));
      break;
    }
    std::string_view inner = text.substr(i + 1, close - i - 1);
    char name[kPrintFieldName + 1] = {};
    size_t name_length = 0;
    for (char c : inner) {
      if (!IsBlank(c) && name_length < kPrintFieldName) name[name_length++] = c;
    }
    Align align = Align::kLeft;
    if (!inner.empty() && IsBlank(inner.front())) {
      align = IsBlank(inner.back()) && inner.size() > 1 ? Align::kCentre : Align::kRight;
    }
    size_t width = close - i + 1;
    size_t next = close + 1;
    std::string value = FieldValue(info, name);
    char closer = text[close];
    if (closer == '>') {
      out += FixedField(value, width, align);
    } else if (closer == ']') {
      if (!value.empty()) out += WrappedField(value, width, CurrentColumn(out));
    } else if (next < text.size() && text[next] >= '0' && text[next] <= '9') {
      out += FixedField(value, static_cast<size_t>(text[next] - '0'), align);
      ++next;
    } else {
      out += value;
    }
    i = next;
  }
  return out;
}

extern "C" void termProcessPrintLine(char* text, size_t size, const T_Print_Params* params) {
  if (text == nullptr || size == 0) return;
  std::string filled = ProcessPrintTemplate(std::string_view(text, strnlen(text, size - 1)),
                                            params != nullptr ? params->info : nullptr);
  size_t n = filled.size() < size - 1 ? filled.size() : size - 1;
  std::memcpy(text, filled.data(), n);
  text[n] = '\0';
}
