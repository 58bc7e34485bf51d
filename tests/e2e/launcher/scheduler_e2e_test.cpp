// The scheduler run as molvex starts it, in its program folder. It always
// takes the machine-wide scheduler lock, so these cases never run alongside
// each other (see the RESOURCE_LOCK in this folder's CMakeLists.txt).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "e2e_helpers.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadLines;
using testsupport::WriteFile;
using testsupport::WriteScript;

constexpr const char* kLockFile = "/var/lock/kvto-tarn-pos-scheduler.lock";

// Holds the scheduler lock as another scheduler would, for the length of a scope.
class HeldLock {
 public:
  HeldLock() {
    fd_ = open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd_ >= 0 && flock(fd_, LOCK_EX | LOCK_NB) != 0) {
      close(fd_);
      fd_ = -1;
    }
  }
  ~HeldLock() {
    if (fd_ >= 0) {
      flock(fd_, LOCK_UN);
      close(fd_);
    }
  }
  HeldLock(const HeldLock&) = delete;
  HeldLock& operator=(const HeldLock&) = delete;
  bool held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

class SchedulerRun : public ::testing::Test {
 protected:
  void SetUp() override {
    lock_existed_ = FileExists(kLockFile);
    int fd = open(kLockFile, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) GTEST_SKIP() << "cannot open " << kLockFile << ": " << std::strerror(errno);
    close(fd);
    scheduler_ = testsupport::CopyProgram("zordel", dir_.path());
    calls_ = dir_ / "calls";
  }
  // The lock file is never removed by the scheduler; one that only these
  // cases made is removed again.
  void TearDown() override {
    if (!lock_existed_) unlink(kLockFile);
  }

  testsupport::ProcessResult Run(const std::vector<std::string>& args = {},
                                 const std::vector<std::string>& env = {}) {
    std::vector<std::string> argv = {scheduler_};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ProcessOptions options;
    options.cwd = dir_.path();  // "./molvex" is found in the working directory
    options.env = env;
    options.timeout_ms = 30000;
    return testsupport::RunProcess(argv, options);
  }

  std::string LogPath() const { return dir_ / e2e::MonthlyLogName("zordel"); }
  std::vector<std::string> Log() const { return e2e::LogMessages(LogPath()); }

  testsupport::TempDir dir_;
  std::string scheduler_;
  std::string calls_;
  bool lock_existed_ = true;
};

TEST_F(SchedulerRun, EndsWhenTheScheduleIsMissingOrWrong) {
  mkdir((dir_ / "conf").c_str(), 0755);
  struct Case {
    const char* ini;
    std::vector<std::string> messages;
  } cases[] = {
      {"", {"started", "closed"}},
      {"ScheduledTime=15\n", {"started", "closed"}},
      {"ScheduledTime=23:30\nScheduledCommand=7\n", {"started", "invalid time format in settings.", "closed"}},
      {"ScheduledTime=1O\nScheduledCommand=7\n", {"started", "invalid time format in settings.", "closed"}},
      {"ScheduledTime=15\nScheduledCommand=21\n", {"started", "unsupported command in settings.", "closed"}},
  };
  for (const auto& c : cases) {
    unlink(LogPath().c_str());
    // The settings come from the folder named by "/f=", below the program folder.
    WriteFile(dir_ / "conf/pinpad.ini", c.ini);
    WriteFile(dir_ / "pinpad.ini", "ScheduledTime=0\nScheduledCommand=7\n");  // must not be read
    auto result = Run({"/f=conf/"});
    EXPECT_EQ(result.exit_code, 0) << c.ini;
    EXPECT_NE(result.out.find("Pid file:"), std::string::npos) << c.ini;
    std::vector<std::string> want;
    for (const auto& m : c.messages) want.push_back("SCHEDLR: " + m);
    EXPECT_EQ(Log(), want) << c.ini;
  }
  EXPECT_FALSE(FileExists(calls_));
}

TEST_F(SchedulerRun, SecondSchedulerEndsAtOnceAndSilently) {
  WriteFile(dir_ / "pinpad.ini", "ScheduledTime=15\nScheduledCommand=21\n");
  {
    HeldLock other;
    ASSERT_TRUE(other.held());
    auto result = Run();
    EXPECT_EQ(result.exit_code, 255);
    EXPECT_EQ(result.out, "");
    EXPECT_FALSE(FileExists(LogPath()));
  }
  // Once the other one is gone the lock is free again.
  EXPECT_EQ(Run().exit_code, 0);
  EXPECT_TRUE(FileExists(LogPath()));
}

// A period of one minute, with every second of waiting shortened to 10 ms.
// The fake molvex removes the schedule when it runs, as an administrator
// might; the scheduler may already be in its next wait by then, so it starts
// the command once or twice, never alongside itself, and then ends.
TEST_F(SchedulerRun, StartsMolvexWhenThePeriodHasPassed) {
  WriteFile(dir_ / "pinpad.ini", "ScheduledTime=0\nScheduledCommand=7 /b=\"1\"\n");
  WriteScript(dir_ / "molvex",
              "echo 'ScheduledCommand=7' > pinpad.ini\n"
              "echo \"begin $#:$*\" >> " + e2e::Quoted(calls_) + "\n"
              "echo end >> " + e2e::Quoted(calls_) + "\n");
  auto result = Run({}, {"ZORDEL_TEST_MSEC_PER_SECOND=10"});
  EXPECT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 0);

  // The last command is not waited for; let it finish writing.
  for (int i = 0; i < 200 && (ReadLines(calls_).empty() || ReadLines(calls_).back() != "end"); ++i) usleep(20000);
  std::vector<std::string> calls = ReadLines(calls_);
  ASSERT_TRUE(calls.size() == 2 || calls.size() == 4) << calls.size();
  for (size_t i = 0; i < calls.size(); i += 2) {
    EXPECT_EQ(calls[i], "begin 2:7 /b=1");  // the shell splits the command line
    EXPECT_EQ(calls[i + 1], "end");
  }

  std::vector<std::string> log;
  for (const auto& line : Log()) {
    if (line.find("created process") == std::string::npos) log.push_back(line);
  }
  std::vector<std::string> one_start = {"SCHEDLR: wait for 60 seconds", "SCHEDLR: start command './molvex 7 /b=\"1\"'.",
                                        "SCHEDLR: command called succesfully"};
  std::vector<std::string> want = {"SCHEDLR: started"};
  for (size_t i = 0; i < calls.size(); i += 2) want.insert(want.end(), one_start.begin(), one_start.end());
  want.push_back("SCHEDLR: closed");
  EXPECT_EQ(log, want);
}

}  // namespace
