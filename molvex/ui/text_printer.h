// The text printer: writes the cheque into the cheque file of the result
// folder, in KOI8-R (or unchanged in raw mode), framed by the control
// sequences configured for the cash desk's printer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "molvex/platform/device_interfaces.h"
#include "molvex/platform/file_system.h"
#include "molvex/ui/ui_interfaces.h"

class TTextPrinter : public IPrinter, public IPrinterStatusSource {
 public:
  enum ControlSequenceName : int {
    kInit = 0,
    kInverse = 1,
    kWide = 2,
    kHigh = 3,
    kBold = 4,
    kEnd = 5,
    kSequenceCount = 6,
  };

  TTextPrinter();
  ~TTextPrinter() override;
  TTextPrinter(const TTextPrinter&) = delete;
  TTextPrinter& operator=(const TTextPrinter&) = delete;

  using IPrinter::Open;
  void Close() override;
  uint16_t Open(uint16_t mode, uint16_t flags) override;
  uint16_t StartTextPrinting(const char* text, uint8_t style) override;
  uint16_t IsStillPrinting() override { return 0; }
  uint16_t IsPaperMissing() override { return 0; }
  void FeedPaperAfterPrinting() override {}
  uint16_t QueryStatus() override { return 0; }

  virtual void WriteCopiesNumber();
  virtual void InitControlSecuences() {}
  virtual std::string Convert(const char* text) { return text; }
  virtual void onWrite(const uint8_t* /*data*/, size_t /*length*/) {}
  virtual std::string GetPrinterFileName() { return "p"; }

  // Renames the cheque file inside the result folder; 0 or the file system's error.
  uint16_t RenameChequeFile(const char* new_name);

  bool is_open() const { return open_; }
  const std::string& sequence(int name) const { return sequences_[name]; }

 protected:
  std::string sequences_[kSequenceCount];

 private:
  // Closes without the End sequence.
  void CloseQuietly();
  void OpenChequeFile();
  bool WriteSequence(int name);
  void WriteToFile(const void* bytes, size_t length);

  std::unique_ptr<IFileSystem> folder_;  // the result folder while the file is open
  std::unique_ptr<IFileWritable> file_;
  bool open_ = false;
  bool raw_ = false;
};

class TStubTextPrinter : public TTextPrinter {
 public:
  using TTextPrinter::Open;
  // The cheque file is always opened: on a PC the file is the printer.
  uint16_t Open(uint16_t mode, uint16_t flags) override { return TTextPrinter::Open(mode, flags | kOpenFile); }
  void FeedPaperAfterPrinting() override {}
  void InitControlSecuences() override;
  std::string GetPrinterFileName() override;
};

class TLinStubTextPrinter : public TStubTextPrinter {
 public:
  std::string Convert(const char* text) override;
};

// The printer option value ("1B0E") as bytes; an odd last digit is ignored.
std::string PrinterSequenceFromHex(const char* digits);
