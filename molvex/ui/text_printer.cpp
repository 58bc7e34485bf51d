#include "molvex/ui/text_printer.h"

#include <strings.h>

#include <cstring>
#include <vector>

#include "common/codepage.h"
#include "common/hex.h"
#include "molvex/platform/system.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"

namespace {

constexpr uint16_t kPrinterRefused = 253;
constexpr size_t kMaxSequenceDigits = 64;
constexpr size_t kMaxPrinterFileName = 269;

const char* const kSequenceKeys[TTextPrinter::kSequenceCount] = {
    "PrinterInit", "PrinterInverse", "PrinterWide", "PrinterHigh", "PrinterBold", "PrinterEnd",
};

std::unique_ptr<IFileSystem> MountResultFolder() {
  IFileSystem* fs = nullptr;
  ISystem::Instance()->MountFileSystem(pcc_GetPath(PathToResult), &fs);
  return std::unique_ptr<IFileSystem>(fs);
}

}  // namespace

std::string PrinterSequenceFromHex(const char* digits) {
  if (digits == nullptr) return {};
  size_t even = std::strlen(digits) & ~static_cast<size_t>(1);
  std::string bytes(even / 2, '\0');
  if (!bytes.empty()) common::ascii_2_hex(digits, reinterpret_cast<uint8_t*>(bytes.data()), even);
  return bytes;
}

TTextPrinter::TTextPrinter() = default;

TTextPrinter::~TTextPrinter() { CloseQuietly(); }

void TTextPrinter::OpenChequeFile() {
  file_.reset();
  folder_ = MountResultFolder();
  if (!folder_) return;
  // Created 0666 when missing; every write goes to the end (see WriteToFile),
  // so the copy count at the start can still be changed in place.
  file_ = folder_->OpenFilePointer(GetPrinterFileName().c_str(), FILE_MODE_CREATE);
}

void TTextPrinter::WriteToFile(const void* bytes, size_t length) {
  if (!file_ || length == 0) return;
  file_->Seek(file_->GetLength());
  file_->Write(bytes, static_cast<uint32_t>(length));
}

bool TTextPrinter::WriteSequence(int name) {
  const std::string& sequence = sequences_[name];
  if (sequence.empty()) return false;
  onWrite(reinterpret_cast<const uint8_t*>(sequence.data()), sequence.size());
  WriteToFile(sequence.data(), sequence.size());
  return true;
}

void TTextPrinter::WriteCopiesNumber() {
  if (!file_) return;
  file_->Seek(0);
  uint8_t first = 0;
  if (file_->Read(&first, 1) == 0) {
    file_->Seek(0);
    file_->Write("1\r\n", 3);
  } else if (first >= '0' && first <= '8') {
    uint8_t next = static_cast<uint8_t>(first + 1);
    file_->Seek(0);
    file_->Write(&next, 1);
  }
  file_->Seek(file_->GetLength());
}

uint16_t TTextPrinter::Open(uint16_t mode, uint16_t flags) {
  if (mode == kOpenDelete) {
    CloseQuietly();
    if (auto folder = MountResultFolder()) folder->EraseFile(GetPrinterFileName().c_str());
    return 0;
  }
  if (mode == kOpenClose) {
    CloseQuietly();
    return 0;
  }
  if (open_) return 0;
  if (flags & kOpenFile) OpenChequeFile();
  if (flags & kCountCopies) {
    WriteCopiesNumber();
    if (mode == kOpenAgain) {
      // Only the copy is counted; the caller must not replay the cheque.
      CloseQuietly();
      return kPrinterRefused;
    }
  } else if (mode == kOpenAgain && file_) {
    file_->Seek(file_->GetLength());
  }
  raw_ = (flags & kRawText) != 0;
  InitControlSecuences();
  open_ = true;
  WriteSequence(kInit);
  return 0;
}

uint16_t TTextPrinter::StartTextPrinting(const char* text, uint8_t style) {
  if (!open_) return kPrinterRefused;
  if (text == nullptr) text = "";
  // At most one style sequence, the first configured one in this order.
  bool styled = false;
  if (style & kStyleWide) styled = WriteSequence(kWide);
  if (!styled && (style & kStyleHigh)) styled = WriteSequence(kHigh);
  if (!styled && (style & kStyleInverse)) styled = WriteSequence(kInverse);
  if (!styled && (style & kStyleBold)) styled = WriteSequence(kBold);
  size_t length = std::strlen(text);
  onWrite(reinterpret_cast<const uint8_t*>(text), length);
  if (file_) {
    if (raw_) {
      WriteToFile(text, length);
    } else {
      std::string converted = Convert(text);
      WriteToFile(converted.data(), converted.size());
    }
  }
  if (styled) WriteSequence(kInit);
  return 0;
}

void TTextPrinter::CloseQuietly() {
  for (auto& sequence : sequences_) sequence.clear();
  file_.reset();
  folder_.reset();
  open_ = false;
}

void TTextPrinter::Close() {
  if (open_) WriteSequence(kEnd);
  CloseQuietly();
}

uint16_t TTextPrinter::RenameChequeFile(const char* new_name) {
  auto folder = MountResultFolder();
  if (!folder || new_name == nullptr || new_name[0] == '\0') return kFsFailed;
  std::string cheque = GetPrinterFileName();
  if (strcasecmp(cheque.c_str(), new_name) == 0) {
    // Renaming onto itself must not end in deleting the cheque below.
    CloseQuietly();
    return 0;
  }
  folder->EraseFile(new_name);
  uint16_t result = folder->RenameFile(cheque.c_str(), new_name);
  if (result == 0) {
    CloseQuietly();
    result = folder->EraseFile(cheque.c_str());
  }
  Open(kOpenDelete, 0);
  return result;
}

void TStubTextPrinter::InitControlSecuences() {
  for (int i = 0; i < kSequenceCount; ++i) {
    char digits[kMaxSequenceDigits + 1];
    pcc_GetIniStringSize("pinpad.ini", kSequenceKeys[i], digits, sizeof digits);
    if (digits[0] != '\0') sequences_[i] = PrinterSequenceFromHex(digits);
  }
}

std::string TStubTextPrinter::GetPrinterFileName() {
  char name[kMaxPrinterFileName + 1];
  pcc_GetIniStringSize("pinpad.ini", "PrinterFile", name, sizeof name);
  return name[0] != '\0' ? name : "p";
}

std::string TLinStubTextPrinter::Convert(const char* text) {
  size_t length = std::strlen(text);
  std::vector<char> out(length + 1);
  size_t written = common::cp866Translate(out.data(), text, out.size(), common::kCp866ToKoi8r);
  return std::string(out.data(), written);
}
