#include "molvex/front/run/operation_run.h"

#include <unistd.h>

#include "molvex/front/model/last_error.h"
#include "molvex/front/model/result_codes.h"
#include "molvex/front/model/vas_xml.h"
#include "molvex/front/run/check_supported.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"
#include "src/pc/schedule.h"

namespace {

const OperationRunHooks kNoHooks{};
const OperationRunHooks* g_hooks = &kNoHooks;

constexpr int kChequeCanvas = 2;

bool ShowsScreens(uint8_t operation) {
  switch (operation) {
    case 29:
    case 30:
    case 31:
    case 47:
    case 53: return false;
    default: return true;
  }
}

// What the previous run left for the POS must not be taken for this run's.
void RemovePreviousResults() {
  unlink(pcc_MakeFullPath("e", PathToResult).c_str());
  unlink(pcc_MakeFullPath("LW.BMP", PathToCurrent).c_str());
  unlink(pcc_MakeFullPath("LW.PNG", PathToCurrent).c_str());
  ClearVasXmlFile();
}

}  // namespace

void InstallOperationRunHooks(const OperationRunHooks* hooks) { g_hooks = hooks != nullptr ? hooks : &kNoHooks; }

bool ClearChequeOnError(const DavizParams& params, uint16_t code) {
  switch (code) {
    case 99:
    case 2000:
    case 2002:
    case 2004:
    case 4322:
    case 4338:
    case 12:
    case 4140: break;
    default: return false;
  }
  switch (params.GetOperType()) {
    case 1:
    case 2:
    case 3:
    case 4:
    case 6:
    case 8:
    case 17:
    case 18:
    case 52: return true;
    default: return false;
  }
}

uint16_t DoRunStub(DavizParams& params, DavizResult& result) {
  const OperationRunHooks& hooks = *g_hooks;
  const uint8_t operation = params.GetOperType();
  params.GenerateRequestID();
  if (params.GetCurrencyType() != 0) params.AddWordToExtraData(0x5F2A, params.GetCurrencyType());
  // Outside the scheduled time the totals run without the parameter download.
  if (operation == 7 && !pcc_IsTimeForRDL()) params.AddByteToExtraData(0xDF45, 1);

  const bool prints = operation != 26;
  if (prints && hooks.open_printer != nullptr) hooks.open_printer(kChequeCanvas);
  RemovePreviousResults();
  if (hooks.has_no_indexed_optional_params != nullptr && hooks.load_optional_params != nullptr &&
      hooks.has_no_indexed_optional_params()) {
    hooks.load_optional_params();
  }

  CheckSupportedHandler check_supported(params, result);
  if (check_supported.FillFromLocalCash()) return kResultOk;

  if (ShowsScreens(operation) && Ini_IsShowScreens() != 0) {
    params.AddFlags(kDavizFlagShowScreens);
    if (hooks.open_console_display != nullptr) hooks.open_console_display();
  }

  uint16_t code = kResultNotSupported;
  std::unique_ptr<IOperationClient> client;
  if (hooks.create_client != nullptr) client = hooks.create_client(params, code);
  if (client != nullptr && code == kResultOk) {
    client->SetDontCloseTerminalConnection();
    params.AddFlags(kDavizFlagExecuting);
    code = client->Execute(params, result);
  }
  if (prints) {
    if (hooks.done_new_check != nullptr) hooks.done_new_check();
    if (ClearChequeOnError(params, code)) {
      ReportString("Clear cheque on error %d", code);
      if (hooks.open_printer != nullptr) hooks.open_printer(kChequeCanvas);
    }
  }
  client.reset();
  LastError() = code;
  return code;
}
