#include "common/raw_file.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace common {
namespace {

// Closes the descriptor on every path out.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  bool ok() const { return fd_ >= 0; }

 private:
  int fd_;
};

uint32_t ReadUpTo(int fd, uint8_t* out, uint32_t size) {
  uint32_t done = 0;
  while (done < size) {
    const ssize_t n = ::read(fd, out + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

}  // namespace

uint32_t auxDoSaveParamsByName(const char* name, uint32_t size, const void* record, int32_t openFlags) {
  if (name == nullptr || *name == '\0') return 0;
  ::unlink(name);
  if (size == 0 || record == nullptr) return 0;
  Fd fd(::open(name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | openFlags, 0666));
  if (!fd.ok()) return 0;
  const uint8_t* p = static_cast<const uint8_t*>(record);
  uint32_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd.get(), p + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<uint32_t>(n);
  }
  return done;
}

uint32_t auxSaveParamsByName(const char* name, uint32_t size, const void* record) {
  return auxDoSaveParamsByName(name, size, record, 0);
}

uint32_t auxLoadParamsByName(const char* name, uint32_t size, void* record) {
  if (name == nullptr || record == nullptr) return 0;
  Fd fd(::open(name, O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) return 0;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return 0;
  const uint64_t length = st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
  uint32_t want = size;
  if (want == 0 || want > length) want = length > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(length);
  return ReadUpTo(fd.get(), static_cast<uint8_t*>(record), want);
}

bool auxLoadParamsFile(const char* name, std::vector<uint8_t>& bytes) {
  bytes.clear();
  if (name == nullptr) return false;
  Fd fd(::open(name, O_RDONLY | O_CLOEXEC));
  if (!fd.ok()) return false;
  uint8_t chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    bytes.insert(bytes.end(), chunk, chunk + n);
  }
}

}  // namespace common
