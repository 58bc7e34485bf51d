// The keyboard: keys typed on the console while the display is open,
// translated into keyboard codes, with one key that can be pushed back.
#pragma once

#include <cstdint>

#include "molvex/ui/ui_interfaces.h"

class TLinConsoleDisplay;

class TKeyboard : public IKeyboard {
 public:
  // The pushed-back key if there is one, otherwise ScanKey.
  int GetKey() override;
  void SetKeyPress(uint8_t key) override { pushed_ = key; }
  void Flush() override { pushed_ = 0; }

 private:
  uint8_t pushed_ = 0;
};

class TPCKeyboard : public TKeyboard {
 public:
  uint16_t Open() override {
    enabled_ = true;
    return 0;
  }
  void Close() override { enabled_ = false; }
  int ScanKey() override { return enabled_ ? ReadKey() : 0; }
  virtual int ReadKey() = 0;

 private:
  bool enabled_ = false;
};

class TLinConsoleKeyboard : public TPCKeyboard {
 public:
  // display: the console the keys come from; none means no keys.
  explicit TLinConsoleKeyboard(TLinConsoleDisplay* display) : display_(display) {}
  int ReadKey() override;

 private:
  TLinConsoleDisplay* display_;
};
