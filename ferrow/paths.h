// The update client's folder registry: six folders every file name is
// resolved against. Folder values are prefixes that end in "/".
#pragma once

#include <string>

enum PathTo {
  PathToCurrent = 0,
  PathToIni = 1,
  PathToProgram = 2,
  PathToLog = 3,
  PathToResult = 4,
  PathToLock = 5,
};

constexpr size_t kMaxFolderPath = 269;

void pcc_SetPath(int slot, const std::string& path);
// The slot's folder; an unset slot resolves to the current folder when that
// is set, else to the program folder.
std::string pcc_GetPath(int slot);
bool pcc_IsPathSet(int slot);
std::string pcc_MakeFullPathTo(const std::string& name, int slot);
// The folder of the running executable with a trailing "/", empty when
// /proc/self/exe cannot be read.
std::string pcc_FillCurrentPath();
// Sets the ini folder (from the "/f=" value, or from IniDir of
// "redirect.ini" when value is null), then the current, log, result and
// lock folders from "pinpad.ini".
void pcc_IniDirectory(const std::string* value);
// Forgets every folder; used by tests that set up folders per case.
void pcc_ResetPathsForTest();
