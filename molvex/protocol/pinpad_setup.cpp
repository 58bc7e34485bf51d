#include "molvex/protocol/pinpad_setup.h"

#include <string>

#include "molvex/platform/device_layer.h"
#include "molvex/platform/system.h"
#include "molvex/protocol/daviz_command.h"
#include "molvex/protocol/msb_env.h"
#include "molvex/ui/text_printer.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {
const PinpadLoadJobs* g_jobs = nullptr;
}

void SetPinpadLoadJobs(const PinpadLoadJobs* jobs) { g_jobs = jobs; }

uint16_t termUpdatePinpadLogo() {
  if (g_jobs == nullptr || g_jobs->updateLogo == nullptr) return 0;
  return g_jobs->updateLogo();
}

uint16_t termUpdatePinpadSoft(char modelLetter) {
  if (g_jobs == nullptr || g_jobs->updateSoft == nullptr) return 0;
  return g_jobs->updateSoft(modelLetter);
}

uint16_t GetPinpadDetailInfo(const char* nameFormat, char modelLetter, uint8_t capabilities) {
  DavizParams params;
  params.SetOperType(kOpDetailInfo);
  DavizResult result;
  MsbDavizEnv env(modelLetter, capabilities);
  uint16_t code = env.Run(params, result);
  if (code != kCodeOk) return code;

  ISystem* system = ISystem::Instance();
  auto* printer = system != nullptr ? dynamic_cast<TTextPrinter*>(system->GetDevice(DEVICE_PRINTER)) : nullptr;
  if (printer == nullptr) return kCodeNoClient;
  // The format is the cash desk's own setting; it gets the terminal identifier as its only value.
  std::string terminal = DavizResultBase::Text(result.terminalId);
  // Only its first "%s" is filled: the text is never handed to printf as a format.
  const std::string format(nameFormat != nullptr ? nameFormat : "");
  const size_t at = format.find("%s");
  const std::string target = at == std::string::npos ? format : format.substr(0, at) + terminal + format.substr(at + 2);
  uint16_t renamed = printer->RenameChequeFile(target.c_str());
  if (renamed != 0) ReportString("Failed to rename cheque to %s error %d", target.c_str(), renamed);
  return kCodeOk;
}

uint16_t DoSpecificProcessingForTotals(char modelLetter, uint8_t capabilities) {
  char format[256];
  pcc_GetIniStringSize("pinpad.ini", "DailyReport", format, sizeof format);
  if (format[0] == '\0') return kCodeOk;
  return GetPinpadDetailInfo(format, modelLetter, capabilities);
}
