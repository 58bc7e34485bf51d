#include "molvex/front/run/lock_file.h"

#include <dirent.h>

#include <cerrno>

#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {
constexpr const char* kLockName = "kvto-tarn-main.lock";
constexpr const char* kDefaultLockFile = "/var/lock/kvto-tarn-main.lock";
}  // namespace

bool MolvexLockFileName(std::string& lock_file) {
  char folder[kPccMaxPath + 1];
  pcc_GetIniStringSize("pinpad.ini", "LockPath", folder, sizeof folder);
  if (folder[0] != '/') {
    lock_file = kDefaultLockFile;
    return true;
  }
  DIR* dir = opendir(folder);
  if (dir == nullptr) {
    if (errno == ENOENT) {
      ReportString("Can't open dir '%s'", folder);
    } else {
      ReportString("Wrong path '%s'", folder);
    }
    return false;
  }
  closedir(dir);
  lock_file = folder;
  if (lock_file.back() != '/') lock_file.push_back('/');
  lock_file += kLockName;
  return true;
}
