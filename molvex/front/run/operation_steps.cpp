#include "molvex/front/run/operation_steps.h"

#include <cstring>
#include <string>

#include "src/pc/paths.h"

namespace {

// Result code of an operation this build cannot carry out yet.
constexpr int kFunctionNotSupported = 252;

}  // namespace

int TranslateCmdLine(const char* command, DavizParams& params) {
  // Only the folder set-up and the operation code are read here.
  const char* ini_folder = nullptr;
  std::string value;
  for (const char* p = std::strstr(command, "/f="); p != nullptr; p = std::strstr(p + 1, "/f=")) {
    const char* end = std::strchr(p, ' ');
    value.assign(p + 3, end != nullptr ? static_cast<size_t>(end - p - 3) : std::strlen(p + 3));
    ini_folder = value.c_str();
  }
  pcc_IniDirectory(ini_folder);
  params.SetOperType(static_cast<uint8_t>(std::atoi(command)));
  return 0;
}

int DoRunStub(DavizParams&, DavizResult&) { return kFunctionNotSupported; }

int DoReturnDavizCode(int code, DavizResult&, const char*, DavizParams&) { return code == 0 ? 0 : 99; }
