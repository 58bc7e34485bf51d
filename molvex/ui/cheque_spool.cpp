#include "molvex/ui/cheque_spool.h"

#include <cstring>
#include <memory>

#include "molvex/platform/file_system.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/system.h"
#include "molvex/ui/printer_driver.h"

namespace {

constexpr uint32_t kHeaderSize = 4;

struct ChequeState {
  std::unique_ptr<IFileWritable> spool;
  uint8_t print_counter = 0;
};

ChequeState& State() {
  static ChequeState state;
  return state;
}

IFileSystem* CurrentFolder() { return ISystem::Instance()->GetDefaultFileSystem(); }

std::unique_ptr<IFileWritable> OpenSpool() {
  IFileSystem* fs = CurrentFolder();
  if (fs == nullptr) return nullptr;
  return fs->OpenFilePointer(kSpoolFileName, FILE_MODE_CREATE);
}

void RaiseCounter(uint8_t& counter) {
  if (counter < 0xFF) ++counter;
}

void AppendRecord(IFileWritable& spool, uint8_t attributes, const char* text, uint16_t length) {
  uint8_t head[3] = {attributes, static_cast<uint8_t>(length & 0xFF), static_cast<uint8_t>(length >> 8)};
  spool.Seek(spool.GetLength());
  spool.Write(head, sizeof head);
  spool.Write(text, length);
}

// Prints each complete record until the end, a short record or an
// oversized length.
void Replay(IFileReadable& spool) {
  char text[kMaxSpoolRecord + 1];
  for (;;) {
    uint8_t head[3];
    if (spool.Read(head, sizeof head) != sizeof head) return;
    uint16_t length = static_cast<uint16_t>(head[1] | (head[2] << 8));
    if (length >= kMaxSpoolRecord) return;
    if (length > 0 && spool.Read(text, length) != length) return;
    text[length] = '\0';
    // The printer takes C strings, so a stored zero byte ends the line there.
    if (length > 0) drvPrintLine(text, head[0]);
  }
}

}  // namespace

extern "C" int termInitNewCheck() {
  ChequeState& state = State();
  state.spool.reset();
  state.print_counter = 0;
  if (IFileSystem* fs = CurrentFolder()) fs->EraseFile(kSpoolFileName);
  state.spool = OpenSpool();
  if (state.spool) {
    const uint8_t header[kHeaderSize] = {0x01, 0xFF, 0xFF, state.print_counter};
    state.spool->Seek(0);
    state.spool->Write(header, sizeof header);
  }
  return drvOpenPrinter(0);
}

extern "C" void termWriteSpoolAndPrint(const char* text, uint8_t attributes) {
  if (text == nullptr) text = "";
  ChequeState& state = State();
  if (state.spool) {
    // An overlong line is stored in pieces that a replay accepts; printed one
    // after another they give the same text, as the printer adds no line end.
    size_t left = std::strlen(text);
    const char* piece = text;
    do {
      uint16_t length = static_cast<uint16_t>(left < kMaxSpoolRecord - 1u ? left : kMaxSpoolRecord - 1u);
      AppendRecord(*state.spool, attributes, piece, length);
      piece += length;
      left -= length;
    } while (left > 0);
  }
  if (text[0] != '\0') drvPrintLine(text, attributes);
  drvIdleWait(nullptr, 0, 0);
}

extern "C" void termDoneNewCheck() {
  State().spool.reset();
  drvClosePrinter();
}

extern "C" int termReprintLastCheck(int mode) {
  int result = drvOpenPrinter(mode);
  if (result != 0) return result;
  ChequeState& state = State();
  bool has_header = false;
  if (auto spool = OpenSpool()) {
    uint8_t header[kHeaderSize] = {};
    if (spool->Read(header, sizeof header) == sizeof header && (header[0] & 0x01) != 0) {
      has_header = true;
      uint8_t counter = header[3];
      RaiseCounter(counter);
      state.print_counter = counter;
      spool->Seek(3);
      spool->Write(&counter, 1);
      spool->Seek(kHeaderSize);
    } else {
      RaiseCounter(state.print_counter);
      spool->Seek(0);
    }
    Replay(*spool);
  }
  drvClosePrinter();
  if (!has_header && OpenSpool()) RaiseCounter(state.print_counter);
  return result;
}

extern "C" void termEraseSpoolFile() {
  ChequeState& state = State();
  state.spool.reset();
  if (IFileSystem* fs = CurrentFolder()) fs->EraseFile(kSpoolFileName);
  state.print_counter = 0;
}

extern "C" uint8_t termGetPrintCounter() { return State().print_counter; }
extern "C" void termSetPrintCounter(uint8_t counter) { State().print_counter = counter; }

void termResetChequeForTests() {
  State().spool.reset();
  State().print_counter = 0;
}
