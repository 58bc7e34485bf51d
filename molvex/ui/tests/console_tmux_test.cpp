// The console display and keyboard on a real terminal: the demo program
// runs in a detached tmux session of 80 by 24; keys are typed with
// send-keys and the screen is read back with capture-pane.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

using testsupport::ProcessResult;
using testsupport::RunProcess;

testsupport::ProcessOptions Options(const std::string& cwd, const std::vector<std::string>& env) {
  testsupport::ProcessOptions options;
  options.cwd = cwd;
  options.env = env;
  options.timeout_ms = 30000;
  return options;
}

bool HaveTmux() {
  ProcessResult r = RunProcess({"tmux", "-V"}, Options("", {}));
  return r.exit_code == 0;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// Characters (not bytes) of a UTF-8 line up to byte offset.
size_t ColumnOf(const std::string& line, size_t offset) {
  size_t column = 0;
  for (size_t i = 0; i < offset && i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) ++column;
  }
  return column;
}

// The escape sequence that sets the style of text on a captured line.
std::string StyleBefore(const std::string& line, const std::string& text) {
  size_t at = line.find(text);
  if (at == std::string::npos) return "(no " + text + ")";
  size_t escape = line.rfind("\x1b[", at);
  return escape == std::string::npos ? "" : line.substr(escape, at - escape);
}

// One tmux server of its own, killed with everything in it at the end.
class TmuxSession {
 public:
  explicit TmuxSession(const std::string& name) : socket_("molvex-ui-" + std::to_string(getpid()) + "-" + name) {}
  ~TmuxSession() { Tmux({"kill-server"}); }

  bool Start(const std::string& folder, const std::string& command) {
    return Tmux({"new-session", "-d", "-x", "80", "-y", "24", "-c", folder, command}).exit_code == 0;
  }
  ProcessResult Tmux(std::vector<std::string> args) {
    args.insert(args.begin(), {"tmux", "-L", socket_, "-f", "/dev/null"});
    return RunProcess(args, Options("", {"LANG=C.UTF-8"}));
  }
  std::string Capture(bool attributes = false) {
    std::vector<std::string> args = {"capture-pane", "-p"};
    if (attributes) args.push_back("-e");
    return Tmux(args).out;
  }
  void Keys(const std::vector<std::string>& keys) {
    std::vector<std::string> args = {"send-keys"};
    args.insert(args.end(), keys.begin(), keys.end());
    Tmux(args);
  }
  // Polls the screen until it shows text (generous bound, never a speed check).
  bool WaitFor(const std::string& text) {
    for (int i = 0; i < 200; ++i) {
      if (Capture().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

 private:
  std::string socket_;
};

class ConsoleOnTerminal : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!HaveTmux()) GTEST_SKIP() << "tmux is not installed";
    demo_ = testsupport::BuiltProgram("molvex_console_demo");
  }
  std::string Command(const std::string& args = "") const {
    return "env LANG=C.UTF-8 LC_ALL=C.UTF-8 ASAN_OPTIONS=detect_leaks=0 " + demo_ + args;
  }
  // Waits until the demo has written "what" into its output file.
  bool WaitForOutput(const std::string& what) const {
    for (int i = 0; i < 200; ++i) {
      if (testsupport::ReadFile(dir_ / "demo.out").find(what) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }

  testsupport::TempDir dir_;
  std::string demo_;
};

TEST_F(ConsoleOnTerminal, CentredFrameHighlightCodePageAndKeys) {
  testsupport::WriteFile(dir_ / "pinpad.ini", "CodePage=UTF8\nLogMsg=1\n");
  TmuxSession tmux("centred");
  ASSERT_TRUE(tmux.Start(dir_.path(), Command()));
  ASSERT_TRUE(tmux.WaitFor("READY")) << tmux.Capture();
  std::vector<std::string> screen = SplitLines(tmux.Capture());
  ASSERT_GE(screen.size(), 18u);
  // On 80 by 24 the frame stands at row 5, column 23, 33 columns wide and 13 rows high.
  EXPECT_EQ(ColumnOf(screen[5], screen[5].find("┌")), 23u) << screen[5];
  EXPECT_EQ(ColumnOf(screen[5], screen[5].find("┐")), 55u) << screen[5];
  EXPECT_EQ(ColumnOf(screen[17], screen[17].find("└")), 23u) << screen[17];
  EXPECT_EQ(ColumnOf(screen[10], screen[10].find("│")), 23u) << screen[10];
  // The text area starts at row 6, column 25; the title is centred in its 29 columns.
  EXPECT_EQ(ColumnOf(screen[6], screen[6].find("CONSOLE DEMO")), 25u + 8) << screen[6];
  EXPECT_EQ(ColumnOf(screen[8], screen[8].find("First")), 25u) << screen[8];
  EXPECT_EQ(ColumnOf(screen[14], screen[14].find("[")), 25u + 9) << screen[14];
  EXPECT_EQ(ColumnOf(screen[14], screen[14].find("]")), 25u + 18) << screen[14];
  // cp866 text reaches a UTF-8 console converted.
  EXPECT_EQ(ColumnOf(screen[12], screen[12].find("Привет")), 25u) << screen[12];

  // The monochrome display shows the selected menu row in reverse video over the whole row.
  std::vector<std::string> styled = SplitLines(tmux.Capture(true));
  ASSERT_GE(styled.size(), 18u);
  EXPECT_EQ(StyleBefore(styled[9], "Second"), "\x1b[7m") << styled[9];
  EXPECT_EQ(StyleBefore(styled[8], "First"), "\x1b[1m") << styled[8];

  // Keys arrive through the keyboard device with the keyboard codes, then as screen keys.
  tmux.Keys({"Left"});
  ASSERT_TRUE(WaitForOutput("key 73 std 73"));
  ASSERT_TRUE(tmux.WaitFor("KEY 73 STD 73"));
  tmux.Keys({"Right", "Up", "Down", "Enter", "H", "P", "F1", "F2", "F3", "F4", "DC", "IC", "7"});
  ASSERT_TRUE(WaitForOutput("key 55 std 55"));
  tmux.Keys({"Escape"});
  ASSERT_TRUE(WaitForOutput("key 27 std 27"));
  tmux.Keys({"q"});
  ASSERT_TRUE(WaitForOutput("key 113"));
  std::string keys = testsupport::ReadFile(dir_ / "demo.out");
  EXPECT_EQ(keys,
            "open=0\nkey 73 std 73\nkey 74 std 74\nkey 72 std 4\nkey 80 std 5\nkey 13 std 13\nkey 72 std 4\n"
            "key 80 std 5\nkey 139 std 1\nkey 26 std 242\nkey 29 std 243\nkey 30 std 244\nkey 211 std 211\n"
            "key 210 std 210\nkey 55 std 55\nkey 27 std 27\nkey 113 std 113\n");

  // Every painted row is logged in the console's code page.
  std::vector<std::string> log = testsupport::ReadLines(dir_ / "display.log");
  ASSERT_FALSE(log.empty());
  bool greeting = false;
  for (const std::string& line : log) {
    ASSERT_GE(line.size(), 18u);
    EXPECT_EQ(line[2], '.');
    EXPECT_EQ(line[5], ' ');
    EXPECT_EQ(line[14], '.');
    greeting = greeting || line.find("Привет") == 18;
  }
  EXPECT_TRUE(greeting);
}

TEST_F(ConsoleOnTerminal, LeftTopCornerColourAndSingleByteCodePages) {
  struct Case {
    const char* codepage;
    std::string greeting;  // as logged
  };
  const Case cases[] = {
      {"KOI8", "\xF0\xD2\xC9\xD7\xC5\xD4"},
      {"866", "\x8F\xE0\xA8\xA2\xA5\xE2"},
      {"1251", "\xCF\xF0\xE8\xE2\xE5\xF2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.codepage);
    testsupport::TempDir dir;
    testsupport::WriteFile(dir / "pinpad.ini",
                           std::string("LeftTopCorner=1\nLogMsg=1\nCodePage=") + c.codepage + "\n");
    TmuxSession tmux(c.codepage);
    ASSERT_TRUE(tmux.Start(dir.path(), Command(" --colour")));
    ASSERT_TRUE(tmux.WaitFor("READY")) << tmux.Capture();
    std::vector<std::string> screen = SplitLines(tmux.Capture());
    ASSERT_GE(screen.size(), 13u);
    EXPECT_EQ(screen[0].find("┌"), 0u) << screen[0];
    EXPECT_EQ(ColumnOf(screen[1], screen[1].find("CONSOLE DEMO")), 2u + 8) << screen[1];
    EXPECT_EQ(ColumnOf(screen[3], screen[3].find("First")), 2u) << screen[3];
    // The colour display: frame black on green, the selected row black on white.
    std::vector<std::string> styled = SplitLines(tmux.Capture(true));
    EXPECT_NE(styled[0].find("42m"), std::string::npos) << styled[0];
    EXPECT_NE(StyleBefore(styled[4], "Second").find("47m"), std::string::npos) << styled[4];
    EXPECT_EQ(StyleBefore(styled[3], "First").find("47m"), std::string::npos) << styled[3];
    tmux.Keys({"q"});
    for (int i = 0; i < 200 && testsupport::ReadFile(dir / "demo.out").find("key 113") == std::string::npos; ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    std::string log = testsupport::ReadFile(dir / "display.log");
    EXPECT_NE(log.find(c.greeting + std::string(23, ' ') + "\r\n"), std::string::npos);
  }
}

TEST(ConsoleWithoutTerminal, OpeningFailsCleanlyAndTheRunGoesOn) {
  testsupport::TempDir dir;
  ProcessResult r = RunProcess({testsupport::BuiltProgram("molvex_console_demo")},
                               Options(dir.path(), {"TERM=xterm"}));
  EXPECT_EQ(r.exit_code, 0) << r.err;
  EXPECT_EQ(r.out, "open=253\n");
}

}  // namespace
