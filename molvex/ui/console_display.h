// The console display: the PIN pad's screens drawn on the cash desk's
// terminal with ncurses, in a frame centred on the terminal (or in its
// top-left corner), rows converted from cp866 into the console's code page.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "molvex/ui/ui_interfaces.h"

struct _win_st;
struct screen;

// The console code page mode (of cp866TranslateEx) for the CodePage value.
int ConsoleCodePageMode(const char* value);

// Unless TERM is exactly "xterm", sets it to "xterm" when the terminal
// description at terminfo_path exists. True when TERM was changed.
bool EnsureXtermTerminal(const char* terminfo_path);

struct ConsolePlacement {
  int frame_row, frame_col;
};
// Where the frame goes for a text area of width by height on a terminal
// of lines by cols.
ConsolePlacement PlaceConsoleFrame(int lines, int cols, int width, int height, bool left_top_corner);

class TLinConsoleDisplay : public IGraphicDisplay {
 public:
  TLinConsoleDisplay();
  ~TLinConsoleDisplay() override;
  TLinConsoleDisplay(const TLinConsoleDisplay&) = delete;
  TLinConsoleDisplay& operator=(const TLinConsoleDisplay&) = delete;

  // 0, or 253 when there is no terminal to draw on.
  uint16_t Open() override;
  void Close() override;
  void PaintCanvas(ICanvas* canvas) override;
  std::unique_ptr<ICanvas> CreateCanvas() override;

  void ClearScreen();
  // The next ncurses key code; 0 when none is waiting or the display is closed.
  int GetKey();
  static bool IsBlankString(const char* text, size_t length);
  // Appends the row to "display.log" when screen texts are logged.
  void ReportDisplayString(const char* text, size_t length);

  bool is_open() const { return open_; }
  bool monochrome() const { return monochrome_; }

 private:
  void DrawBorders();

  bool open_ = false;
  bool log_text_ = false;
  int codepage_ = 0;
  bool monochrome_ = true;
  int width_;
  int height_;
  _win_st* frame_ = nullptr;
  _win_st* text_ = nullptr;
  _win_st* bottom_ = nullptr;
  screen* screen_ = nullptr;
};
