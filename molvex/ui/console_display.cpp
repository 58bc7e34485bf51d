#include "molvex/ui/console_display.h"

#include <curses.h>
#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "common/codepage.h"
#include "molvex/platform/system.h"
#include "molvex/ui/console_canvas.h"
#include "molvex/ui/display_adapter.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

constexpr uint16_t kDisplayFailed = 253;
constexpr const char* kXtermDescription = "/usr/share/terminfo/x/xterm";
constexpr short kPairFrame = 1;   // black on green
constexpr short kPairText = 2;    // white on black
constexpr short kPairMarked = 3;  // black on white
// Escape alone must arrive at once, not after ncurses' default second.
constexpr int kEscapeDelayMs = 25;

}  // namespace

int ConsoleCodePageMode(const char* value) {
  if (value == nullptr) return common::kCp866ToKoi8r;
  switch (value[0]) {
    case '1':
      return common::kCp866ToCp1251;
    case '8':
      return common::kCp866ToCp866;
    case 'U':
      return common::kCp866ToUtf8;
    default:
      return common::kCp866ToKoi8r;  // "K", anything else and an empty value
  }
}

bool EnsureXtermTerminal(const char* terminfo_path) {
  const char* term = std::getenv("TERM");
  if (term != nullptr && std::strcmp(term, "xterm") == 0) return false;
  struct stat st {};
  if (terminfo_path == nullptr || stat(terminfo_path, &st) != 0) return false;
  setenv("TERM", "xterm", 1);
  ReportStringEx(5, "ENV 'TERM' was unset or invalid. Setting to 'xterm'");
  return true;
}

ConsolePlacement PlaceConsoleFrame(int lines, int cols, int width, int height, bool left_top_corner) {
  if (left_top_corner) return {0, 0};
  int r = lines / 2 - (height + 1) / 2;
  int c = cols / 2 - width / 2;
  return {r - 1, c - 3};
}

TLinConsoleDisplay::TLinConsoleDisplay() : width_(kConsoleColumns), height_(kConsoleRows) {}

TLinConsoleDisplay::~TLinConsoleDisplay() {
  if (open_) Close();
}

uint16_t TLinConsoleDisplay::Open() {
  if (open_) return 0;
  log_text_ = Ini_IsLogConsoleScreenText() != 0;
  codepage_ = ConsoleCodePageMode(Ini_Codepage());
  EnsureXtermTerminal(kXtermDescription);
  // Without a terminal on both ends ncurses would write its control
  // sequences into whatever reads our output.
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) return kDisplayFailed;
  // Multi-byte code pages reach the terminal only with the user's locale.
  std::setlocale(LC_CTYPE, "");
  screen_ = newterm(nullptr, stdout, stdin);
  if (screen_ == nullptr) return kDisplayFailed;
  set_term(screen_);
  set_escdelay(kEscapeDelayMs);

  bool left_top = (pcc_GetUImode() & 0x0004) != 0;
  ConsolePlacement at = PlaceConsoleFrame(LINES, COLS, width_, height_, left_top);
  if (at.frame_row < 0) at.frame_row = 0;
  if (at.frame_col < 0) at.frame_col = 0;
  frame_ = newwin(height_ + 2, width_ + 4, at.frame_row, at.frame_col);
  text_ = newwin(height_, width_, at.frame_row + 1, at.frame_col + 2);
  bottom_ = newwin(1, width_, at.frame_row + 1 + height_, at.frame_col + 3);
  if (frame_ == nullptr || text_ == nullptr || bottom_ == nullptr) {
    // A terminal too small for the frame.
    open_ = true;
    Close();
    return kDisplayFailed;
  }

  monochrome_ = !bColorDisplay || !has_colors();
  if (monochrome_) {
    wattrset(frame_, A_REVERSE);
    wattrset(bottom_, A_REVERSE);
    wattrset(text_, A_BOLD);
  } else {
    start_color();
    init_pair(kPairFrame, COLOR_BLACK, COLOR_GREEN);
    init_pair(kPairText, COLOR_WHITE, COLOR_BLACK);
    init_pair(kPairMarked, COLOR_BLACK, COLOR_WHITE);
    wattrset(frame_, A_BOLD | COLOR_PAIR(kPairFrame));
    wattrset(bottom_, A_BOLD | COLOR_PAIR(kPairFrame));
    wattrset(text_, A_BOLD | COLOR_PAIR(kPairText));
  }
  DrawBorders();
  noecho();
  nodelay(text_, TRUE);
  cbreak();
  curs_set(0);
  keypad(text_, TRUE);
  wnoutrefresh(frame_);
  wnoutrefresh(text_);
  wnoutrefresh(bottom_);
  doupdate();
  open_ = true;
  return 0;
}

void TLinConsoleDisplay::DrawBorders() {
  box(frame_, 0, 0);
  wborder(bottom_, ' ', ' ', ACS_HLINE, ACS_HLINE, ACS_HLINE, ACS_HLINE, ACS_HLINE, ACS_HLINE);
}

void TLinConsoleDisplay::Close() {
  if (!open_) return;
  if (bottom_ != nullptr) delwin(bottom_);
  if (text_ != nullptr) delwin(text_);
  if (frame_ != nullptr) delwin(frame_);
  bottom_ = text_ = frame_ = nullptr;
  curs_set(1);
  endwin();
  delscreen(screen_);
  screen_ = nullptr;
  open_ = false;
}

void TLinConsoleDisplay::ClearScreen() {
  if (!open_) return;
  werase(frame_);
  werase(text_);
  werase(bottom_);
  // The frame and the bottom line are part of the screen, not of its content.
  DrawBorders();
  wnoutrefresh(frame_);
  wnoutrefresh(text_);
  wnoutrefresh(bottom_);
  doupdate();
}

int TLinConsoleDisplay::GetKey() {
  if (!open_) return 0;
  int key = wgetch(text_);
  if (key == ERR || key == KEY_RESIZE) return 0;
  return key;
}

bool TLinConsoleDisplay::IsBlankString(const char* text, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (text[i] != ' ') return false;
  }
  return true;
}

void TLinConsoleDisplay::ReportDisplayString(const char* text, size_t length) {
  if (!log_text_) return;
  std::string path = pcc_MakeFullPath("display.log", PathToLog);
  FILE* log = std::fopen(path.c_str(), "ab");
  if (log == nullptr) return;
  uint32_t date = 0, time_of_day = 0;
  uint16_t msec = 0;
  drvGetDateAndTimeWithMsec(&date, &time_of_day, &msec);
  std::fprintf(log, "%02lu.%02lu %02lu:%02lu:%02lu.%03hu", static_cast<unsigned long>(date / 100 % 100),
               static_cast<unsigned long>(date % 100), static_cast<unsigned long>(time_of_day / 10000),
               static_cast<unsigned long>(time_of_day / 100 % 100), static_cast<unsigned long>(time_of_day % 100),
               msec);
  std::fwrite(text, 1, length, log);
  std::fputs("\r\n", log);
  std::fclose(log);
}

std::unique_ptr<ICanvas> TLinConsoleDisplay::CreateCanvas() {
  return std::make_unique<TConsoleCanvas>(width_, height_);
}

void TLinConsoleDisplay::PaintCanvas(ICanvas* canvas) {
  auto* console = dynamic_cast<TConsoleCanvas*>(canvas);
  if (!open_ || console == nullptr) return;
  ClearScreen();
  int rows = console->GetHeight() < height_ ? console->GetHeight() : height_;
  std::vector<char> converted;
  for (int row = 0; row < rows; ++row) {
    std::string_view cells = console->Row(row);
    if (cells.size() > static_cast<size_t>(width_)) cells = cells.substr(0, static_cast<size_t>(width_));
    if (IsBlankString(cells.data(), cells.size())) continue;
    bool marked = console->IsHighLighted(row);
    if (monochrome_) {
      wattrset(text_, marked ? A_REVERSE : A_BOLD);
    } else {
      wattrset(text_, A_BOLD | COLOR_PAIR(marked ? kPairMarked : kPairText));
    }
    converted.assign(3 * cells.size() + 1, '\0');
    size_t length = common::cp866TranslateEx(converted.data(), converted.size(), cells.data(), cells.size(), codepage_);
    ReportDisplayString(converted.data(), length);
    mvwaddnstr(text_, row, 0, converted.data(), static_cast<int>(length));
    wrefresh(text_);
  }
}
