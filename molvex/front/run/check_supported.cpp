#include "molvex/front/run/check_supported.h"

#include <unistd.h>

#include <cstdio>

#include "molvex/front/model/last_error.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"

namespace {

constexpr const char* kCacheFile = "check_sup.ini";
constexpr const char* kSection = "kernel";

}  // namespace

bool CheckSupportedHandler::FillFromLocalCash() {
  const uint32_t function = params_.GetAdditionalAmount();
  if (params_.GetOperType() != 26 || function == 0) return false;
  char key[16];
  std::snprintf(key, sizeof key, "%u", static_cast<unsigned>(function));
  char value[8];
  pcc_GetIniSectionStringSize(kCacheFile, kSection, key, value, sizeof value);
  if (value[0] != '1' && value[0] != '0') return false;
  if (value[0] == '1') result_.SetAmount(function);
  answered_ = true;
  return true;
}

CheckSupportedHandler::~CheckSupportedHandler() {
  if (answered_ || LastError() != 0) return;
  switch (params_.GetOperType()) {
    case 7:
    case 10:
    case 11:
      // New PIN pad software may support other functions.
      unlink(pcc_MakeFullPath(kCacheFile, PathToIni).c_str());
      break;
    case 26: {
      // Only an answer that names the very function asked for is a "supported";
      // any other answer is reported as not supported and must not be cached.
      const uint32_t function = params_.GetAdditionalAmount();
      if (function != 0 && result_.GetAmount() == function) {
        char key[16];
        std::snprintf(key, sizeof key, "%u", static_cast<unsigned>(function));
        pcc_SetIniSectionString(kCacheFile, kSection, key, "1");
      }
      break;
    }
    default:
      break;
  }
}
