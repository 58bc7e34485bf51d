#include "src/pc/child_process.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "src/pc/report.h"

namespace {

constexpr size_t kCommandLineMax = 600;

// A background program must not hold the caller's standard streams open: a
// POS reading molvex's output would otherwise wait for the scheduler to end.
void DetachStandardStreams() {
  int null_fd = open("/dev/null", O_RDWR);
  if (null_fd < 0) return;
  dup2(null_fd, 0);
  dup2(null_fd, 1);
  dup2(null_fd, 2);
  if (null_fd > 2) close(null_fd);
}

// The child must not keep the parent's descriptors alive, above all a
// single-instance lock: it would outlive the parent while the command runs.
void CloseInheritedDescriptors() {
  long limit = sysconf(_SC_OPEN_MAX);
  if (limit < 0 || limit > 65536) limit = 65536;
  for (int fd = 3; fd < limit; ++fd) close(fd);
}

}  // namespace

extern "C" int pcc_CallHiddenProcess(const char* command, const char* arguments, pid_t* pid) {
  char line[kCommandLineMax];
  if (arguments != nullptr) {
    std::snprintf(line, sizeof line, "%s %s", command, arguments);
  } else {
    std::snprintf(line, sizeof line, "%s", command);
  }
  std::fflush(stdout);
  pid_t child = fork();
  if (child < 0) {
    ReportString("process '%s' call failed", line);
    return -1;
  }
  if (child == 0) {
    DetachStandardStreams();
    CloseInheritedDescriptors();
    int ignored = std::system(line);
    (void)ignored;
    _exit(0);
  }
  ReportString("created process '%s' with pid %d", line, static_cast<int>(child));
  if (pid != nullptr) *pid = child;
  return 0;
}

extern "C" int pcc_ForkHiddenProcess(const char* executable, int count, char* const argv[]) {
  std::vector<char*> args;
  args.push_back(const_cast<char*>(executable));
  for (int i = 1; i < count; ++i) args.push_back(argv[i]);
  args.push_back(nullptr);
  std::fflush(stdout);
  pid_t child = fork();
  if (child == 0) {
    execv(executable, args.data());
    _exit(errno);
  }
  if (child > 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  return 0;
}

extern "C" int pcc_WaitForProcess(pid_t pid) {
  int status = 0;
  pid_t r;
  do {
    r = waitpid(pid, &status, WUNTRACED | WCONTINUED);
  } while (r < 0 && errno == EINTR);
  return r < 0 ? -1 : 0;
}

extern "C" int pcc_WaitForTimer(unsigned milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), 0};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
  return 1;
}
