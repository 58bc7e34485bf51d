#include "paths.h"

#include <unistd.h>

#include <array>
#include <optional>

#include "ini_file.h"

namespace {

std::array<std::optional<std::string>, 6>& Slots() {
  static std::array<std::optional<std::string>, 6> slots;
  return slots;
}

bool IsAbsolute(const std::string& value) {
  return !value.empty() && (value[0] == '/' || value[0] == '\\' || (value.size() > 1 && value[1] == ':'));
}

std::string ProgramFolder() { return Slots()[PathToProgram].value_or(""); }

void ReadDirectory(int slot, const TIniFile& pinpad, const char* key) {
  const std::string value = pinpad.GetString(key, "");
  if (value.empty()) return;
  pcc_SetPath(slot, IsAbsolute(value) ? value : ProgramFolder() + value);
}

}  // namespace

void pcc_SetPath(int slot, const std::string& path) {
  if (slot < 0 || slot > 5) return;
  Slots()[static_cast<size_t>(slot)] = path.substr(0, kMaxFolderPath);
}

bool pcc_IsPathSet(int slot) { return slot >= 0 && slot <= 5 && Slots()[static_cast<size_t>(slot)].has_value(); }

std::string pcc_GetPath(int slot) {
  if (pcc_IsPathSet(slot)) return *Slots()[static_cast<size_t>(slot)];
  if (Slots()[PathToCurrent]) return *Slots()[PathToCurrent];
  return ProgramFolder();
}

std::string pcc_MakeFullPathTo(const std::string& name, int slot) { return pcc_GetPath(slot) + name; }

std::string pcc_FillCurrentPath() {
  char buffer[4096];
  const ssize_t got = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (got <= 0) return "";
  std::string path(buffer, static_cast<size_t>(got));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "" : path.substr(0, slash + 1);
}

void pcc_IniDirectory(const std::string* value) {
  std::string ini;
  if (value != nullptr) {
    ini = *value;
  } else {
    ini = TIniFile("redirect.ini", PathToProgram).GetString("IniDir", "").substr(0, kMaxFolderPath);
  }
  if (ini.empty()) {
    pcc_SetPath(PathToIni, ProgramFolder());
  } else {
    pcc_SetPath(PathToIni, IsAbsolute(ini) ? ini : ProgramFolder() + ini);
  }
  const TIniFile pinpad("pinpad.ini", PathToIni);
  ReadDirectory(PathToCurrent, pinpad, "CurrentDir");
  ReadDirectory(PathToLog, pinpad, "LogDir");
  ReadDirectory(PathToResult, pinpad, "ResultDir");
  ReadDirectory(PathToLock, pinpad, "LockPath");
}

void pcc_ResetPathsForTest() {
  for (auto& slot : Slots()) slot.reset();
}
