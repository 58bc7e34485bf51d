#include <curses.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "molvex/ui/console_canvas.h"
#include "molvex/ui/console_display.h"
#include "molvex/ui/console_keyboard.h"
#include "molvex/ui/display_adapter.h"
#include "molvex/ui/key_tables.h"
#include "ui_fixture.h"

namespace {

TEST(KeyTables, ConsoleKeysBecomeKeyboardCodes) {
  const std::pair<int, int> cases[] = {
      {0, 0},          {ERR, 0},        {'\n', 13},     {KEY_ENTER, 13}, {27, 27},      {KEY_DOWN, 80},
      {KEY_UP, 72},    {KEY_LEFT, 73},  {KEY_RIGHT, 74}, {KEY_BACKSPACE, 8}, {KEY_F(1), 139}, {KEY_F(2), 26},
      {KEY_F(3), 29},  {KEY_F(4), 30},  {KEY_DC, 211},  {KEY_IC, 210},   {'5', '5'},    {'H', 'H'},
  };
  for (auto [curses, keyboard] : cases) EXPECT_EQ(TranslateConsoleKey(curses), keyboard) << curses;
}

TEST(KeyTables, KeyboardCodesBecomeScreenKeys) {
  const std::pair<int, int> cases[] = {
      {8, 9},     {13, 13}, {25, 2}, {26, 242}, {27, 27}, {28, 6}, {29, 243}, {30, 244},
      {46, 46},   {72, 4},  {80, 5}, {139, 1},  {'7', '7'}, {73, 73}, {74, 74}, {211, 211},
  };
  for (auto [keyboard, screen] : cases) EXPECT_EQ(auxGetStdKey(static_cast<uint8_t>(keyboard)), screen) << keyboard;
  // The letters H and P are the arrows up and down in screens.
  EXPECT_EQ(auxGetStdKey(static_cast<uint8_t>(TranslateConsoleKey('H'))), 4);
  EXPECT_EQ(auxGetStdKey(static_cast<uint8_t>(TranslateConsoleKey('P'))), 5);
}

TEST(ConsoleDisplaySettings, CodePageModes) {
  const std::pair<const char*, int> cases[] = {{"1251", 3}, {"866", 2}, {"KOI8", 0}, {"UTF8", 1},
                                               {"u", 0},    {"", 0},    {"x", 0},    {nullptr, 0}};
  for (auto [value, mode] : cases) EXPECT_EQ(ConsoleCodePageMode(value), mode) << (value ? value : "null");
}

TEST(ConsoleDisplaySettings, FramePlacement) {
  ConsolePlacement centred = PlaceConsoleFrame(24, 80, 29, 11, false);
  EXPECT_EQ(centred.frame_row, 5);
  EXPECT_EQ(centred.frame_col, 23);
  ConsolePlacement corner = PlaceConsoleFrame(24, 80, 29, 11, true);
  EXPECT_EQ(corner.frame_row, 0);
  EXPECT_EQ(corner.frame_col, 0);
}

class ConsoleDevices : public UiFixture {
 protected:
  void SetUp() override {
    UiFixture::SetUp();
    const char* term = std::getenv("TERM");
    had_term_ = term != nullptr;
    if (had_term_) saved_term_ = term;
  }
  void TearDown() override {
    if (had_term_) {
      setenv("TERM", saved_term_.c_str(), 1);
    } else {
      unsetenv("TERM");
    }
    adapter::graphics::Display::ResetForTests();
    drvPlatformHooks().display_init = nullptr;
    UiFixture::TearDown();
  }
  bool had_term_ = false;
  std::string saved_term_;
};

TEST_F(ConsoleDevices, TermBecomesXtermOnlyWhenItsDescriptionExists) {
  Write("pinpad.ini", "ExtendedLog_5=1\nKernelLog=1\n");
  pcc_ResetExtendedLogForTests();
  EnableReportString(1);
  Write("xterm", "description");
  setenv("TERM", "xterm-256color", 1);
  EXPECT_FALSE(EnsureXtermTerminal(Path("missing").c_str()));
  EXPECT_STREQ(std::getenv("TERM"), "xterm-256color");
  EXPECT_TRUE(EnsureXtermTerminal(Path("xterm").c_str()));
  EXPECT_STREQ(std::getenv("TERM"), "xterm");
  EXPECT_FALSE(EnsureXtermTerminal(Path("xterm").c_str()));
  unsetenv("TERM");
  EXPECT_TRUE(EnsureXtermTerminal(Path("xterm").c_str()));
  EXPECT_STREQ(std::getenv("TERM"), "xterm");
}

TEST_F(ConsoleDevices, ScreenTextLog) {
  TLinConsoleDisplay display;
  display.ReportDisplayString("skipped", 7);  // LogMsg is read when the display opens; off until then
  EXPECT_FALSE(Exists("display.log"));
  EXPECT_TRUE(TLinConsoleDisplay::IsBlankString("   ", 3));
  EXPECT_FALSE(TLinConsoleDisplay::IsBlankString("  x", 3));
}

TEST_F(ConsoleDevices, DrvInitMakesTheCanvasAndOpensTheKeyboard) {
  drvInit();
  auto* canvas = dynamic_cast<TConsoleCanvas*>(adapter::graphics::Display::canvas());
  ASSERT_NE(canvas, nullptr);
  EXPECT_EQ(canvas->GetWidth(), 29);
  EXPECT_EQ(canvas->GetHeight(), 11);
  EXPECT_FALSE(bColorDisplay);
  canvas->DrawText(0, 0, 5, "abc", 3, 0x08);
  drvFlushDisplay();
  EXPECT_EQ(std::string(canvas->Row(0)), std::string(29, ' '));
  EXPECT_FALSE(canvas->IsHighLighted(0));
  drvSetPixel(1, 1, 0xFFFFFF);
  EXPECT_EQ(drvGetPixel(1, 1), 0u);
  drvRefreshScreen();  // the display is closed: nothing happens

  // The keyboard is open, but a closed display delivers no keys.
  EXPECT_EQ(drvGetKey(), -2);
  auto* keyboard = dynamic_cast<IKeyboard*>(ISystem::Instance()->GetDevice(DEVICE_KEYBOARD));
  ASSERT_NE(keyboard, nullptr);
  keyboard->SetKeyPress(13);
  EXPECT_EQ(drvGetKey(), 13);
  EXPECT_EQ(drvGetKey(), -2);
  keyboard->SetKeyPress(27);
  keyboard->Flush();
  EXPECT_EQ(drvGetKey(), -2);

  // A second drvInit replaces the canvas.
  drvInit();
  EXPECT_NE(adapter::graphics::Display::canvas(), nullptr);
}

TEST_F(ConsoleDevices, NoKeyboardDeviceAnswersNoKey) {
  UnregisterDeviceFactoriesForTests();
  EXPECT_EQ(drvGetKey(), -2);
  drvFlushDisplay();
  drvRefreshScreen();
}

// A keyboard reading from a fake source, to show the enabled flag.
class ScriptedKeyboard : public TPCKeyboard {
 public:
  int ReadKey() override { return 74; }
};

TEST(Keyboard, ReadsOnlyWhileOpen) {
  ScriptedKeyboard keyboard;
  EXPECT_EQ(keyboard.GetKey(), 0);
  keyboard.Open();
  EXPECT_EQ(keyboard.GetKey(), 74);
  keyboard.SetKeyPress(8);
  EXPECT_EQ(keyboard.GetKey(), 8);
  EXPECT_EQ(keyboard.GetKey(), 74);
  keyboard.Close();
  EXPECT_EQ(keyboard.ScanKey(), 0);
  TLinConsoleKeyboard without_display(nullptr);
  without_display.Open();
  EXPECT_EQ(without_display.GetKey(), 0);
}

}  // namespace
