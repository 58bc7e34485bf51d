// The registry of the six working folders every file name is resolved
// against. Folder values are prefixes that end in "/".
#pragma once

#include <cstddef>
#include <string>

enum PathTo {
  PathToCurrent = 0,
  PathToIni = 1,
  PathToProgram = 2,
  PathToLog = 3,
  PathToResult = 4,
  PathToLock = 5,
};

constexpr size_t kPccMaxPath = 269;

// The file-system layer of molvex installs these so that unset folders follow
// its default file system; quillet and zordel run without them.
struct PccFileSystemHooks {
  // Root of the default file system, ending in "/".
  const char* (*default_root)();
  // Root of the file system saved by a living CurrentFolderKeeper, or nullptr.
  const char* (*saved_root)();
  // Make folder the default file system for a while; false when it cannot be mounted.
  bool (*push_current_folder)(const char* folder);
  void (*pop_current_folder)();
};
void pcc_InstallFileSystemHooks(const PccFileSystemHooks* hooks);

extern "C" {

void pcc_SetPath(int path_to, const char* path);
void pcc_InitDirs(const char* path, int path_to);
const char* pcc_GetPath(int path_to);
// Folder of path_to followed by name, cut to size - 1 (size 0: at most 4095).
void pcc_MakeFullPathTo(char* out, size_t size, const char* name, int path_to);
void pcc_IniDirectory(const char* ini_folder);
void pcc_PathIni(const char* ini_folder);
void pcc_ReadDirectory(int path_to, const char* key);
// The program folder from /proc/self/exe (out holds 270 bytes); "" when unreadable.
void pcc_FillCurrentPath(char* out);

}

std::string pcc_MakeFullPath(const char* name, int path_to);

// Creates every folder on the way; a folder path gets its final "/".
std::string pccValidatePath(const std::string& path, bool is_folder);
inline std::string pccValidateFolderPath(const std::string& path) { return pccValidatePath(path, true); }
inline std::string pccValidateFilePath(const std::string& path) { return pccValidatePath(path, false); }

// Moves the default file system to another folder for the length of a scope.
class CurrentFolderKeeper {
 public:
  explicit CurrentFolderKeeper(const char* folder);
  ~CurrentFolderKeeper();
  CurrentFolderKeeper(const CurrentFolderKeeper&) = delete;
  CurrentFolderKeeper& operator=(const CurrentFolderKeeper&) = delete;
  bool active() const { return active_; }

 private:
  bool active_ = false;
};

// Empties every slot (tests only).
void pcc_ResetPathsForTests();
