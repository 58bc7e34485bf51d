#include "molvex/front/run/platform_start.h"

#include <string>

#include "src/pc/comm_log.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

std::string g_default_root;

const char* DefaultRoot() { return g_default_root.c_str(); }

const PccFileSystemHooks kStartupHooks{DefaultRoot, nullptr, nullptr, nullptr};

}  // namespace

void InstallStartupFileSystem() {
  g_default_root = pcc_GetPath(PathToProgram);
  pcc_InstallFileSystemHooks(&kStartupHooks);
}

void StartPlatform() {
  g_default_root = pccValidateFolderPath(pcc_GetPath(PathToCurrent));
  pplogToggleLogMode(Ini_IsPinpadLog());
  pplogToggleStatisticMode(Ini_IsPinpadLogStatistic());
  Ini_SwitchBit(pcc_GetUImode(), 0x0004, "LeftTopCorner");
  EnableReportString(Ini_IsKernelLog());
}

void ShutdownPlatform() {}
