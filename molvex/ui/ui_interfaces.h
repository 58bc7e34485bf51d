// The devices molvex offers the PIN pad on the cash desk: a printer, a
// graphic display with its canvas, and a keyboard. The console and cheque
// file implementations live beside this header; the print engine and the
// screens use only these interfaces.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "molvex/platform/device_layer.h"

class IPrinter : public IDevice {
 public:
  enum OpenMode : uint16_t {
    kOpenNew = 0,     // new output
    kOpenAgain = 1,   // output again (or count a copy)
    kOpenDelete = 2,  // delete the output
    kOpenClose = 3,   // close without writing
  };
  enum OpenFlags : uint16_t {
    kCountCopies = 0x01,
    kOpenFile = 0x02,
    kRawText = 0x04,
  };
  enum Style : uint8_t {
    kStyleInverse = 0x01,
    kStyleWide = 0x02,
    kStyleHigh = 0x04,
    kStyleBold = 0x08,
  };

  uint16_t Open() { return Open(kOpenNew, 0); }
  virtual void Close() = 0;
  virtual uint16_t Open(uint16_t mode, uint16_t flags) = 0;
  // One line; the text carries its own line end. Absent text prints nothing.
  virtual uint16_t StartTextPrinting(const char* text, uint8_t style) = 0;
  virtual uint16_t IsStillPrinting() = 0;
  virtual uint16_t IsPaperMissing() = 0;
  virtual void FeedPaperAfterPrinting() = 0;
};

// A drawing surface of the display. Pixel colours are 0xRRGGBB.
class ICanvas {
 public:
  virtual ~ICanvas() = default;
  virtual int GetWidth() const = 0;
  virtual int GetHeight() const = 0;
  virtual void TSetPixel(int x, int y, uint32_t colour) = 0;
  virtual uint32_t TGetPixel(int x, int y) const = 0;
  virtual void Fill(uint32_t colour) = 0;
  virtual const uint8_t* GetRawData() const = 0;
  virtual size_t GetRawSize() const = 0;
};

class IGraphicDisplay : public IDevice {
 public:
  virtual uint16_t Open() = 0;
  virtual void Close() = 0;
  virtual void PaintCanvas(ICanvas* canvas) = 0;
  virtual std::unique_ptr<ICanvas> CreateCanvas() = 0;
};

class IKeyboard : public IDevice {
 public:
  virtual uint16_t Open() = 0;
  virtual void Close() = 0;
  // A keyboard code, 0 when no key is waiting.
  virtual int GetKey() = 0;
  virtual void SetKeyPress(uint8_t key) = 0;
  virtual void Flush() = 0;
  virtual void ShowKeyBoard() {}
  virtual void HideKeyBoard() {}
  virtual int ScanKey() = 0;
};
