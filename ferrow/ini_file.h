// The update client's INI reader: the whole file is read once; keys are
// looked up line by line in the text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "paths.h"

class TIniFile {
 public:
  TIniFile(const std::string& name, int pathTo);
  // Reads nothing from disk: the content is given (used by tests and by
  // callers that already hold the text).
  static TIniFile FromContent(const std::string& content);

  std::string GetString(const std::string& key, const std::string& defaultValue) const;
  std::string GetSectionString(const std::string& section, const std::string& key,
                               const std::string& defaultValue) const;
  int32_t GetInteger(const std::string& key, int32_t defaultValue) const;
  std::vector<std::string> GetStringList(const std::string& key) const;
  std::vector<int32_t> GetIntegerList(const std::string& key) const;

  const std::string& GetFileName() const { return name_; }

 private:
  TIniFile() = default;
  std::string name_;
  std::string content_;
  int pathTo_ = PathToIni;
};
