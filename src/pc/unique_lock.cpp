#include "src/pc/unique_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "src/pc/report.h"

extern "C" int pcc_isUniqueApplication(const char* lock_file, int report) {
  // Close-on-exec: a program started later must not keep the lock alive.
  int fd = open(lock_file, O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) {
    ReportString("error: cannot open '%s'", lock_file);
    return 0;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EWOULDBLOCK) {
      if (report) ReportString("Another instance is running. Terminate execution.");
    } else {
      ReportString("error: cannot open '%s'", lock_file);
    }
    close(fd);
    return 0;
  }
  std::printf("Pid file:%d\n", fd);
  std::fflush(stdout);
  return fd + 1;
}

extern "C" void pcc_CloseUniqueControlFile(int handle) {
  if (handle <= 0) return;
  flock(handle - 1, LOCK_UN);
  close(handle - 1);
}
