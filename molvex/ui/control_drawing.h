// How each screen control looks on the console canvas. The screens fill a
// TConsoleControl from their control and its attached parameter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "molvex/ui/console_canvas.h"

enum TarnControlType : uint16_t {
  kControlStatic = 0,
  kControlButton = 1,
  kControlEditor = 2,
  kControlStatus = 3,
  kControlClock = 4,
  kControlPicture = 6,
  kControlMenu = 7,
  kControlAction = 8,
  kControlCheckbox = 10,
  kControlStatic2 = 12,
  kControlQrCode = 13,
};

constexpr uint32_t kControlFlagShortClock = 0x0004;
constexpr uint32_t kParamFlagMasked = 0x0100;
constexpr uint32_t kParamFlagClock = 0x08000000;
constexpr uint32_t kParamFlagHex = 0x10000000;

struct TConsoleControl {
  uint16_t type = kControlStatic;
  // The rectangle in display pixels, after layout.
  int left = 0, top = 0, right = 0, bottom = 0;
  uint8_t alignment = 0;  // 1 right, 2 centred, anything else left
  uint32_t flags = 0;     // control flags
  // Static text: the current text frame; button, checkbox: the text;
  // editor: the text being edited.
  std::string text;

  bool has_param = false;
  uint32_t param_flags = 0;
  int param_selected = 0;  // checkbox state

  // Menu: the item texts, the first item shown and the selected one.
  std::vector<std::string> items;
  int first_visible = 0;
  int selected = 0;

  // Status line: 255 means unknown.
  uint8_t power = 255;
  uint8_t signal = 255;
  // Clock: the status date (YYYYMMDD) and time (hhmmss).
  uint32_t date = 0;
  uint32_t time = 0;
};

// The DrawText flags of a control's alignment property.
unsigned ControlTextFlags(uint8_t alignment);
// An editor's text as it is shown (hexadecimal, clock or masked entry).
std::string EditorDisplayText(const std::string& text, uint32_t param_flags);

void drawControl(TConsoleCanvas& canvas, const TConsoleControl& control);
