#include "molvex/ui/control_drawing.h"

#include <cstdio>

#include "molvex/ui/long_message.h"

namespace {

constexpr size_t kMaxStaticText = 1023;
constexpr size_t kMaxButtonText = 126;
constexpr size_t kMaxCheckboxText = 124;

struct Cells {
  int col, row, width, height;
};

Cells CellsOf(const TConsoleControl& c) {
  return {TConsoleCanvas::PixelsToCols(c.left), TConsoleCanvas::PixelsToRows(c.top),
          TConsoleCanvas::PixelsToCols(c.right - c.left + 1), TConsoleCanvas::PixelsToRows(c.bottom - c.top + 1)};
}

void DrawString(TConsoleCanvas& canvas, const Cells& at, int row, const std::string& text, unsigned flags) {
  canvas.DrawText(at.col, row, at.width, text.c_str(), static_cast<int>(text.size()), flags);
}

// Lays text out over the control's rows, each line left-aligned at its left column.
void DrawLongText(TConsoleCanvas& canvas, const Cells& at, int alignment, int rows, const std::string& text) {
  auxDoDisplayLongMessage(alignment, at.width, rows, text.c_str(), 1,
                          [&](int line, const char* piece, size_t length) {
                            canvas.DrawText(at.col, at.row + line - 1, at.width, piece, static_cast<int>(length), 0);
                          });
}

std::string HexEntryText(const std::string& text) {
  std::string shown;
  size_t point = text.find('.');
  if (point == std::string::npos) {
    shown = text;
  } else {
    shown.assign(point, '*');
    size_t after = text.size() - point - 1;
    if (after == 1) shown += '.';
    if (after == 2) shown += ':';
  }
  std::string grouped;
  for (size_t i = 0; i < shown.size(); ++i) {
    if (i > 0 && i % 4 == 0) grouped += ' ';
    grouped += shown[i];
  }
  return grouped;
}

std::string ClockEntryText(const std::string& text) {
  // hhmmssDDMMYY; characters not typed yet show as blanks.
  char digits[12];
  for (size_t i = 0; i < sizeof digits; ++i) digits[i] = i < text.size() ? text[i] : ' ';
  char shown[24];
  std::snprintf(shown, sizeof shown, "%c%c:%c%c:%c%c %c%c.%c%c.%c%c", digits[0], digits[1], digits[2], digits[3],
                digits[4], digits[5], digits[6], digits[7], digits[8], digits[9], digits[10], digits[11]);
  return shown;
}

}  // namespace

unsigned ControlTextFlags(uint8_t alignment) {
  if (alignment == 2) return kDrawCentre;
  if (alignment == 1) return kDrawRight;
  return 0;
}

std::string EditorDisplayText(const std::string& text, uint32_t param_flags) {
  if (param_flags & kParamFlagHex) return HexEntryText(text);
  if (param_flags & kParamFlagClock) return ClockEntryText(text);
  if (param_flags & kParamFlagMasked) return std::string(text.size(), '*');
  return text;
}

void drawControl(TConsoleCanvas& canvas, const TConsoleControl& control) {
  Cells at = CellsOf(control);
  unsigned flags = ControlTextFlags(control.alignment);
  switch (control.type) {
    case kControlStatic:
    case kControlStatic2:
      DrawLongText(canvas, at, control.alignment, at.height, control.text.substr(0, kMaxStaticText));
      break;
    case kControlButton:
      DrawString(canvas, at, at.row, control.text.substr(0, kMaxButtonText), kDrawCentre | kDrawBrackets);
      break;
    case kControlEditor:
      if (!control.has_param) break;
      if (control.param_flags & kParamFlagHex) {
        DrawLongText(canvas, at, 0, 1, EditorDisplayText(control.text, control.param_flags));
      } else {
        DrawString(canvas, at, at.row, EditorDisplayText(control.text, control.param_flags), flags);
      }
      break;
    case kControlStatus: {
      std::string line = "    ";
      char part[16];
      if (control.power != 255) {
        std::snprintf(part, sizeof part, "%3u%%", static_cast<unsigned>(control.power));
        line = part;
      }
      if (control.signal != 255) {
        std::snprintf(part, sizeof part, " %d", static_cast<int>(control.signal));
        line += part;
      }
      DrawString(canvas, at, at.row, line, flags);
      break;
    }
    case kControlClock: {
      unsigned long hh = control.time / 10000, mi = control.time / 100 % 100, ss = control.time % 100;
      unsigned long dd = control.date % 100, mo = control.date / 100 % 100, yy = control.date / 10000 % 100;
      char line[48];
      if (control.flags & kControlFlagShortClock) {
        std::snprintf(line, sizeof line, "%02lu:%02lu", hh, mi);
      } else {
        std::snprintf(line, sizeof line, "%02lu:%02lu:%02lu %02lu.%02lu.%02lu", hh, mi, ss, dd, mo, yy);
      }
      DrawString(canvas, at, at.row, line, flags);
      break;
    }
    case kControlMenu:
      for (int i = control.first_visible < 0 ? 0 : control.first_visible;
           i < static_cast<int>(control.items.size()) && i - control.first_visible < at.height; ++i) {
        const std::string& item = control.items[static_cast<size_t>(i)];
        if (item.empty()) break;
        DrawString(canvas, at, at.row + (i - control.first_visible), item,
                   i == control.selected ? unsigned{kDrawHighlight} : 0u);
      }
      break;
    case kControlCheckbox:
      DrawString(canvas, at, at.row,
                 (control.param_selected != 0 ? "v " : "o ") + control.text.substr(0, kMaxCheckboxText), 0);
      break;
    default:
      break;  // pictures, QR codes and actions have no console appearance
  }
}
