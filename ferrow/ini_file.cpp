#include "ini_file.h"

#include <fcntl.h>
#include <unistd.h>

#include "text.h"

namespace {

bool IsSeparator(char c) { return c == ':' || c == ',' || c == '=' || c == ' ' || c == '\t'; }

std::string ReadWholeFile(const std::string& path) {
  std::string content;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return content;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got <= 0) break;
    content.append(buffer, static_cast<size_t>(got));
  }
  ::close(fd);
  return content;
}

bool IsHeader(const std::string& line) {
  return line.size() > 2 && line[0] == '[' && line.find(']') != std::string::npos;
}

}  // namespace

TIniFile::TIniFile(const std::string& name, int pathTo) : name_(name), pathTo_(pathTo) {
  content_ = ReadWholeFile(pcc_MakeFullPathTo(name, pathTo));
}

TIniFile TIniFile::FromContent(const std::string& content) {
  TIniFile ini;
  ini.content_ = content;
  return ini;
}

std::string TIniFile::GetSectionString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue) const {
  bool inside = section.empty();
  const std::string header = "[" + section + "]";
  for (const std::string& line : ferrow_text::SplitLines(content_)) {
    if (IsHeader(line)) {
      inside = !section.empty() && line.compare(0, header.size(), header) == 0;
      continue;
    }
    if (!inside || key.empty()) continue;
    if (line.size() <= key.size() || line.compare(0, key.size(), key) != 0) continue;
    if (!IsSeparator(line[key.size()])) continue;
    size_t start = key.size() + 1;
    while (start < line.size() && IsSeparator(line[start])) ++start;
    return line.substr(start);
  }
  return defaultValue;
}

std::string TIniFile::GetString(const std::string& key, const std::string& defaultValue) const {
  return GetSectionString("", key, defaultValue);
}

int32_t TIniFile::GetInteger(const std::string& key, int32_t defaultValue) const {
  return ferrow_text::DecimalToInt(GetString(key, std::to_string(defaultValue)));
}

std::vector<std::string> TIniFile::GetStringList(const std::string& key) const {
  std::vector<std::string> items;
  std::string current;
  for (char c : GetString(key, "")) {
    if (IsSeparator(c)) {
      if (!current.empty()) items.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) items.push_back(current);
  return items;
}

std::vector<int32_t> TIniFile::GetIntegerList(const std::string& key) const {
  std::vector<int32_t> numbers;
  for (const auto& item : GetStringList(key)) numbers.push_back(ferrow_text::DecimalToInt(item));
  return numbers;
}
