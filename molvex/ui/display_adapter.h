// The process-wide display set-up: the screen geometry the layouts work
// in, the canvas they draw on, and the drv entry points that reach the
// display and keyboard devices.
#pragma once

#include <cstdint>

#include "molvex/ui/ui_interfaces.h"

// The platform's screen: 174 by 88 pixels, monochrome unless set otherwise.
extern uint16_t nDisplayWidth;
extern uint16_t nDisplayHeight;
extern bool bColorDisplay;

namespace adapter::graphics {

class Display {
 public:
  // Takes the geometry, makes the display's canvas the process-wide one
  // (replacing an older one) and opens the keyboard. Run by drvInit.
  static void init();
  // The process-wide canvas; nullptr before init or without a display device.
  static ICanvas* canvas();
  // Drops the canvas (tests only).
  static void ResetForTests();
};

}  // namespace adapter::graphics

extern "C" {

void drvFlushDisplay();
void drvRefreshScreen();
void drvSetPixel(int x, int y, uint32_t colour);
uint32_t drvGetPixel(int x, int y);
// A keyboard code; -2 when no key is waiting or there is no keyboard.
int drvGetKey();
void drvShowVirtualKeyboard();
void drvHideVirtualKeyboard();

}
