#include "molvex/services/ui_calls.h"

#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/display_adapter.h"
#include "molvex/ui/key_tables.h"
#include "molvex/ui/printer_driver.h"

namespace {

constexpr SlvUiCalls kDefaultCalls = {
    termInitNewCheck, termReprintLastCheck, drvOpenPrinter, termWriteSpoolAndPrint,
    termDoneNewCheck, termSetPrintCounter,  drvGetKey,      auxGetStdKey,
};

}  // namespace

SlvUiCalls& slvUi() {
  static SlvUiCalls calls = kDefaultCalls;
  return calls;
}

void slvUiResetForTests() { slvUi() = kDefaultCalls; }
