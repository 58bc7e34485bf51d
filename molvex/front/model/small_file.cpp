#include "molvex/front/model/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

SmallFile ReadSmallFile(const char* name, size_t limit) {
  SmallFile file;
  // Non-blocking so that a FIFO named here cannot stall the open.
  int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return file;
  struct stat st {};
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return file;
  }
  file.size = static_cast<uint64_t>(st.st_size);
  size_t wanted = file.size > limit ? limit : static_cast<size_t>(file.size);
  file.bytes.resize(wanted);
  size_t got = 0;
  bool failed = false;
  while (got < wanted) {
    ssize_t n = read(fd, file.bytes.data() + got, wanted - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      failed = true;
      break;
    }
    if (n == 0) break;
    got += static_cast<size_t>(n);
  }
  close(fd);
  file.bytes.resize(got);
  if (failed) {
    file.status = SmallFileStatus::kReadError;
  } else if (got < wanted) {
    file.status = SmallFileStatus::kShortRead;
  } else if (file.size > limit) {
    file.status = SmallFileStatus::kTooBig;
  } else {
    file.status = SmallFileStatus::kOk;
  }
  return file;
}
