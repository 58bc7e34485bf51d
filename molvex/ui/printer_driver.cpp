#include "molvex/ui/printer_driver.h"

#include "molvex/platform/idle.h"
#include "molvex/platform/system.h"
#include "molvex/ui/text_printer.h"
#include "molvex/ui/ui_interfaces.h"
#include "src/pc/ini_access.h"

namespace {

constexpr int kNoPrinter = -3;
constexpr int kBusyStepMs = 50;
constexpr uint16_t kNotSupported = 252;

IPrinter* Printer() { return dynamic_cast<IPrinter*>(ISystem::Instance()->GetDevice(DEVICE_PRINTER)); }

}  // namespace

uint8_t PrinterStyleFromAttributes(uint8_t attributes) {
  uint8_t style = 0;
  if (attributes & 0x80) style |= IPrinter::kStyleInverse;
  if (attributes & 0x40) style |= IPrinter::kStyleWide;
  if (attributes & 0x20) style |= IPrinter::kStyleHigh;
  if (attributes & 0x10) style |= IPrinter::kStyleBold;
  return style;
}

uint16_t PrinterOpenFlagsFromUiMode(uint16_t ui_mode) {
  uint16_t flags = 0;
  if (ui_mode & 0x0020) flags |= IPrinter::kCountCopies;
  if (ui_mode & 0x0040) flags |= IPrinter::kRawText;
  return flags;
}

extern "C" int drvOpenPrinter(int mode) {
  IPrinter* printer = Printer();
  if (printer == nullptr) return kNoPrinter;
  if (mode != IPrinter::kOpenAgain && mode != IPrinter::kOpenDelete && mode != IPrinter::kOpenClose) {
    mode = IPrinter::kOpenNew;
  }
  return printer->Open(static_cast<uint16_t>(mode), PrinterOpenFlagsFromUiMode(pcc_GetUImode()));
}

extern "C" void drvPrintLine(const char* text, uint8_t attributes) {
  if (text == nullptr || text[0] == '\0') return;
  IPrinter* printer = Printer();
  if (printer == nullptr) return;
  while (printer->IsStillPrinting() != 0) drvIdleWait(nullptr, 0, kBusyStepMs);
  printer->StartTextPrinting(text, PrinterStyleFromAttributes(attributes));
}

extern "C" void drvClosePrinter() {
  if (IPrinter* printer = Printer()) printer->Close();
}

uint16_t RenameChequeFile(const char* new_name) {
  auto* printer = dynamic_cast<TTextPrinter*>(ISystem::Instance()->GetDevice(DEVICE_PRINTER));
  return printer != nullptr ? printer->RenameChequeFile(new_name) : kNotSupported;
}

extern "C" int prnOpenPrinter(int mode) { return drvOpenPrinter(mode); }
extern "C" void prnPrintLine(const char* text, uint8_t attributes) { drvPrintLine(text, attributes); }
extern "C" void prnClosePrinter() { drvClosePrinter(); }
