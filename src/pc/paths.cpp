#include "src/pc/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "src/pc/ini_access.h"
#include "src/pc/minini.h"

namespace {

constexpr int kSlots = 6;

struct Slot {
  bool set = false;
  char path[kPccMaxPath + 1] = {};
};

Slot g_slots[kSlots];
// Without a file-system layer an unset folder is the one last stored in slot 0 or 2.
char g_fallback_root[kPccMaxPath + 1] = {};
const PccFileSystemHooks* g_hooks = nullptr;

void CopyCut(char* dst, const char* src, size_t max) {
  size_t n = std::strlen(src);
  if (n > max) n = max;
  std::memcpy(dst, src, n);
  dst[n] = '\0';
}

const char* DefaultRoot() {
  if (g_hooks != nullptr && g_hooks->default_root != nullptr) return g_hooks->default_root();
  return g_fallback_root;
}

const char* SavedRoot() {
  if (g_hooks != nullptr && g_hooks->saved_root != nullptr) return g_hooks->saved_root();
  return nullptr;
}

bool IsAbsolute(const char* path) {
  return path[0] == '/' || path[0] == '\\' || (path[0] != '\0' && path[1] == ':');
}

// An absolute value as it stands, anything else below the program folder.
void SetFromValue(int path_to, const char* value) {
  if (IsAbsolute(value)) {
    pcc_SetPath(path_to, value);
    return;
  }
  std::string joined = std::string(pcc_GetPath(PathToProgram)) + value;
  pcc_SetPath(path_to, joined.c_str());
}

}  // namespace

void pcc_InstallFileSystemHooks(const PccFileSystemHooks* hooks) { g_hooks = hooks; }

extern "C" void pcc_SetPath(int path_to, const char* path) {
  if (path_to < 0 || path_to >= kSlots || path == nullptr) return;
  CopyCut(g_slots[path_to].path, path, kPccMaxPath);
  g_slots[path_to].set = true;
  if (path_to == PathToCurrent || path_to == PathToProgram) CopyCut(g_fallback_root, path, kPccMaxPath);
}

extern "C" void pcc_InitDirs(const char* path, int path_to) {
  if (path != nullptr) pcc_SetPath(path_to, path);
}

extern "C" const char* pcc_GetPath(int path_to) {
  if (path_to >= 0 && path_to < kSlots && g_slots[path_to].set) return g_slots[path_to].path;
  if (path_to != PathToCurrent) {
    const char* saved = SavedRoot();
    if (saved != nullptr) return saved;
  }
  return DefaultRoot();
}

extern "C" void pcc_MakeFullPathTo(char* out, size_t size, const char* name, int path_to) {
  if (out == nullptr) return;
  if (size == 0) size = 4096;
  std::string full = pcc_MakeFullPath(name, path_to);
  CopyCut(out, full.c_str(), size - 1);
}

std::string pcc_MakeFullPath(const char* name, int path_to) {
  return std::string(pcc_GetPath(path_to)) + (name != nullptr ? name : "");
}

extern "C" void pcc_PathIni(const char* ini_folder) {
  if (ini_folder == nullptr || ini_folder[0] == '\0') {
    pcc_SetPath(PathToIni, pcc_GetPath(PathToProgram));
    return;
  }
  SetFromValue(PathToIni, ini_folder);
}

extern "C" void pcc_IniDirectory(const char* ini_folder) {
  if (ini_folder == nullptr) {
    char value[kPccMaxPath + 1];
    std::string redirect = std::string(pcc_GetPath(PathToProgram)) + "redirect.ini";
    ini_gets("", "IniDir", "", value, sizeof value, redirect.c_str());
    pcc_PathIni(value);
  } else {
    pcc_PathIni(ini_folder);
  }
  pcc_ReadDirectory(PathToCurrent, "CurrentDir");
  pcc_ReadDirectory(PathToLog, "LogDir");
  pcc_ReadDirectory(PathToResult, "ResultDir");
  pcc_ReadDirectory(PathToLock, "LockPath");
}

extern "C" void pcc_ReadDirectory(int path_to, const char* key) {
  char value[kPccMaxPath + 1];
  pcc_GetIniStringSize("pinpad.ini", key, value, sizeof value);
  if (value[0] != '\0') SetFromValue(path_to, value);
}

extern "C" void pcc_FillCurrentPath(char* out) {
  char link[kPccMaxPath + 1];
  out[0] = '\0';
  ssize_t n = readlink("/proc/self/exe", link, sizeof link - 1);
  if (n <= 0) return;
  link[n] = '\0';
  char* slash = std::strrchr(link, '/');
  if (slash == nullptr) return;
  slash[1] = '\0';
  CopyCut(out, link, kPccMaxPath);
}

std::string pccValidatePath(const std::string& path, bool is_folder) {
  std::string p = path;
  for (size_t i = 0; i < p.size(); ++i) {
    if (p[i] != '/' && p[i] != '\\') continue;
    if (i > 0) mkdir(p.substr(0, i).c_str(), 0777);  // an existing folder is fine
    p[i] = '/';
  }
  if (is_folder && !p.empty() && p.back() != '/') {
    mkdir(p.c_str(), 0777);
    p.push_back('/');
  }
  return p;
}

CurrentFolderKeeper::CurrentFolderKeeper(const char* folder) {
  if (g_hooks == nullptr || g_hooks->push_current_folder == nullptr || folder == nullptr) return;
  active_ = g_hooks->push_current_folder(folder);
}

CurrentFolderKeeper::~CurrentFolderKeeper() {
  if (active_ && g_hooks->pop_current_folder != nullptr) g_hooks->pop_current_folder();
}

void pcc_ResetPathsForTests() {
  for (Slot& slot : g_slots) slot = Slot{};
  g_fallback_root[0] = '\0';
  g_hooks = nullptr;
}
