#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "pc_fixture.h"
#include "src/pc/paths.h"
#include "src/pc/child_process.h"
#include "src/pc/unique_lock.h"

namespace {

class Lock : public PcFixture {
 protected:
  void SetUp() override {
    PcFixture::SetUp();
    pcc_SetPath(PathToLog, Folder().c_str());
  }
};

// Whether another process can take the lock right now (exit 0: it could).
bool OtherProcessGetsLock(const std::string& file) {
  pid_t child = fork();
  if (child == 0) {
    int fd = pcc_isUniqueApplication(file.c_str(), 1);
    _exit(fd > 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST_F(Lock, ExcludesOtherProcessesUntilReleased) {
  std::string file = Path("kvto-tarn-main.lock");
  testing::internal::CaptureStdout();
  int handle = pcc_isUniqueApplication(file.c_str(), 0);
  std::string out = testing::internal::GetCapturedStdout();
  ASSERT_GT(handle, 0);
  EXPECT_EQ(out, "Pid file:" + std::to_string(handle - 1) + "\n");
  EXPECT_FALSE(OtherProcessGetsLock(file));
  EXPECT_NE(testsupport::ReadFile(MonthlyLog("tarn")).find("Another instance is running. Terminate execution."),
            std::string::npos);
  pcc_CloseUniqueControlFile(handle);
  EXPECT_TRUE(OtherProcessGetsLock(file));
  EXPECT_TRUE(testsupport::FileExists(file));  // never deleted
  pcc_CloseUniqueControlFile(0);
}

TEST_F(Lock, UnopenableFileIsReported) {
  EXPECT_EQ(pcc_isUniqueApplication(Path("missing/x.lock").c_str(), 0), 0);
  EXPECT_NE(testsupport::ReadFile(MonthlyLog("tarn")).find("error: cannot open '" + Path("missing/x.lock") + "'"),
            std::string::npos);
}

TEST_F(Lock, LockIsNotInheritedByStartedPrograms) {
  std::string file = Path("held.lock");
  testing::internal::CaptureStdout();
  int handle = pcc_isUniqueApplication(file.c_str(), 0);
  testing::internal::GetCapturedStdout();
  ASSERT_GT(handle, 0);
  pid_t pid = 0;
  ASSERT_EQ(pcc_CallHiddenProcess("sleep", "3", &pid), 0);
  usleep(100000);  // the child is running its command by now
  // The parent lets go the way a process that exits does: its descriptor closes, no unlock.
  close(handle - 1);
  EXPECT_TRUE(OtherProcessGetsLock(file));
  kill(pid, SIGKILL);
  pcc_WaitForProcess(pid);
}

TEST_F(Lock, ChildProcesses) {
  std::string marker = Path("ran.txt");
  pid_t pid = 0;
  ASSERT_EQ(pcc_CallHiddenProcess(("echo hello > " + marker).c_str(), nullptr, &pid), 0);
  EXPECT_EQ(pcc_WaitForProcess(pid), 0);
  EXPECT_EQ(testsupport::ReadFile(marker), "hello\n");
  EXPECT_NE(testsupport::ReadFile(MonthlyLog("tarn")).find("created process 'echo hello > "), std::string::npos);

  testsupport::WriteScript(Path("worker"), "echo \"$#:$1:$2\" > " + Path("args.txt") + "\nexit 3\n");
  char* argv[] = {const_cast<char*>("self"), const_cast<char*>("a b"), const_cast<char*>("c"), nullptr};
  EXPECT_EQ(pcc_ForkHiddenProcess(Path("worker").c_str(), 3, argv), 0);
  EXPECT_EQ(testsupport::ReadFile(Path("args.txt")), "2:a b:c\n");
  EXPECT_EQ(pcc_ForkHiddenProcess(Path("absent").c_str(), 1, argv), 0);
  EXPECT_EQ(pcc_WaitForProcess(999999), -1);
}

TEST_F(Lock, WaitForTimerSleepsWholeSeconds) {
  timespec start {}, end {};
  clock_gettime(CLOCK_MONOTONIC, &start);
  EXPECT_EQ(pcc_WaitForTimer(999), 1);  // no whole second: returns at once
  clock_gettime(CLOCK_MONOTONIC, &end);
  EXPECT_LT(end.tv_sec - start.tv_sec, 1 + 0);
}

}  // namespace
