// The real molvex program, copied into a fresh folder and run there.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "test_support.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::RunProcess;
using testsupport::WriteFile;

namespace {

class MolvexRun : public ::testing::Test {
 protected:
  void SetUp() override {
    molvex_ = testsupport::CopyProgram("molvex", dir_.path());
    mkdir((dir_ / "lock").c_str(), 0755);
  }
  // pinpad.ini with the lock kept inside the test folder, plus extra lines.
  void WriteIni(const std::string& extra = "") {
    WriteFile(dir_ / "pinpad.ini", "LockPath=" + dir_ / "lock" + "\n" + extra);
  }
  testsupport::ProcessResult Run(std::vector<std::string> args) {
    args.insert(args.begin(), molvex_);
    return RunProcess(args, {.cwd = dir_.path(), .env = {}, .input = "", .timeout_ms = 60000});
  }
  std::string Log() const { return ReadFile(dir_ / testsupport::MonthlyLogName("tarn")); }

  testsupport::TempDir dir_;
  std::string molvex_;
};

TEST_F(MolvexRun, ReportsLockResultAndLogLines) {
  WriteIni();
  auto r = Run({"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  EXPECT_EQ(r.out.substr(0, 9), "Pid file:");
  EXPECT_NE(r.out.find("\nreturn:99\n"), std::string::npos) << r.out;
  std::string log = Log();
  EXPECT_NE(log.find(" VLPILOT: start with arguments '1 10000 '\r\n"), std::string::npos) << log;
  // A purchase gets its request identifier from the clock even when the PIN pad is never reached.
  EXPECT_NE(log.find(" VLPILOT: finished with result 99, GUID="), std::string::npos) << log;
  EXPECT_EQ(log.find(" VLPILOT: finished with result 99, GUID=00000000\r\n"), std::string::npos) << log;
  EXPECT_TRUE(FileExists(dir_ / "lock/kvto-tarn-main.lock"));
}

TEST_F(MolvexRun, ArgumentWithBlankStaysOneArgument) {
  WriteIni();
  auto r = Run({"26", "/n=two words"});
  EXPECT_NE(Log().find("start with arguments '26 \"/n=two words\" '"), std::string::npos);
  auto too_long = Run({"1", std::string(300, '9')});
  EXPECT_EQ(too_long.exit_code, 99);
  EXPECT_NE(Log().find("finished with result 4300"), std::string::npos);
}

TEST_F(MolvexRun, LockPathVariants) {
  struct Case {
    std::string lock_path;
    int exit_code;
    std::string log_line;
  } cases[] = {
      {dir_ / "lock", 99, ""},
      {dir_ / "lock/", 99, ""},
      {dir_ / "missing", 255, "Can't open dir '" + dir_ / "missing" + "'"},
      {dir_ / "pinpad.ini", 255, "Wrong path '" + dir_ / "pinpad.ini" + "'"},
  };
  for (const auto& c : cases) {
    WriteFile(dir_ / "pinpad.ini", "LockPath=" + c.lock_path + "\n");
    auto r = Run({"1", "100"});
    EXPECT_EQ(r.exit_code, c.exit_code) << c.lock_path;
    if (c.exit_code == 255) {
      EXPECT_EQ(r.out, "") << c.lock_path;
      EXPECT_NE(Log().find(c.log_line), std::string::npos) << c.lock_path;
    }
  }
}

TEST_F(MolvexRun, SecondInstanceEndsSilently) {
  WriteIni();
  std::string lock = dir_ / "lock/kvto-tarn-main.lock";
  int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0666);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(flock(fd, LOCK_EX | LOCK_NB), 0);
  auto r = Run({"1", "10000"});
  close(fd);
  EXPECT_EQ(r.exit_code, 255);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Log().find("start with arguments"), std::string::npos);
}

TEST_F(MolvexRun, StartsTheSchedulerOnlyWhenAScheduleIsSet) {
  testsupport::WriteScript(dir_ / "zordel", "echo started > " + dir_ / "zordel.ran" + "\n");
  WriteIni("ScheduledCommand=7\n");
  auto r = Run({"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_FALSE(FileExists(dir_ / "zordel.ran"));

  WriteIni("ScheduledTime=15\nScheduledCommand=7\n");
  r = Run({"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  for (int i = 0; i < 100 && !FileExists(dir_ / "zordel.ran"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_TRUE(FileExists(dir_ / "zordel.ran"));
  EXPECT_NE(Log().find("created process './zordel' with pid"), std::string::npos);
}

TEST_F(MolvexRun, LogFolderAndCurrentFolderFromSettings) {
  WriteIni("LogDir=logs/\nCurrentDir=work/\n");
  mkdir((dir_ / "logs").c_str(), 0755);
  auto r = Run({"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  EXPECT_TRUE(FileExists(dir_ / "work"));  // the current folder is created at start
  EXPECT_NE(ReadFile(dir_ / ("logs/" + testsupport::MonthlyLogName("tarn"))).find("start with arguments '1 10000 '"), std::string::npos);
}

TEST_F(MolvexRun, BadCommandLinesAreReportedThroughTheResponseFile) {
  WriteIni();
  WriteFile(dir_ / "huge.jpg", std::string(350000, 'x'));
  struct Case {
    std::vector<std::string> args;
    std::string line1;
  } cases[] = {
      {{}, "4300,"},
      {{"0"}, "4301,"},
      {{"109"}, "4301,"},
      {{"23"}, "4301,"},
      {{"1", "100.555"}, "4319,"},
      {{"1", "100", "x"}, "4302,"},
      {{"93", "1"}, "4300,"},
      {{"1", "100", "/q=FFFFFFFF"}, "4332,"},
      {{"1", "100", "/o=bogus"}, "249,"},
      {{"1", "100", "/v=1", "/p=2"}, "4328,"},
      {{"1", "100", "/a=zz"}, "4394,"},
      {{"1", "/i=" + dir_ / "huge.jpg"}, "4332,"},
      {{"1", "/j=" + dir_ / "missing.json"}, "4332,"},
      {{"1", "\"unbalanced", "a b"}, "4319,"},
      {{"1", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "13"}, "0,"},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const auto& a : c.args) shown += a + " ";
    auto r = Run(c.args);
    const std::string text = ReadFile(dir_ / "e");
    // 33 lines: 32 line breaks and none after the last line.
    int breaks = 0;
    for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 2)) ++breaks;
    EXPECT_EQ(breaks, 32) << shown;
    auto lines = testsupport::ReadLines(dir_ / "e");
    ASSERT_FALSE(lines.empty()) << shown;
    if (c.line1 == "0,") {
      // Tokens past the twelfth are ignored: the purchase is parsed and goes on to the PIN pad.
      EXPECT_EQ(lines[0], "99,") << shown;  // no PIN pad is configured
    } else {
      EXPECT_EQ(lines[0], c.line1) << shown;
    }
    EXPECT_EQ(r.exit_code, 99) << shown;
    EXPECT_NE(r.out.find("return:99\n"), std::string::npos) << shown;
  }
}

TEST_F(MolvexRun, CheckSupportAnsweredFromTheCache) {
  WriteIni();
  WriteFile(dir_ / "check_sup.ini", "[kernel]\n4000=1\n4001=0\n");
  auto yes = Run({"26", "/x=1"});
  EXPECT_EQ(yes.exit_code, 0);
  EXPECT_NE(yes.out.find("return:0\n"), std::string::npos);
  EXPECT_EQ(testsupport::ReadLines(dir_ / "e")[0], "0,");
  auto no = Run({"26", "/x=2"});
  EXPECT_EQ(no.exit_code, 99);
  EXPECT_EQ(testsupport::ReadLines(dir_ / "e")[0], "252,");
  EXPECT_NE(Log().find("finished with result 252"), std::string::npos);
}

}  // namespace
