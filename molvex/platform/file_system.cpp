#include "molvex/platform/file_system.h"

#include <fcntl.h>
#include <fnmatch.h>
#include <strings.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

std::string Cut(std::string path) {
  if (path.size() > kMaxFileSystemPath) path.resize(kMaxFileSystemPath);
  return path;
}

// A delivered program must stay executable once it is in place.
mode_t CreationMode(const char* name) { return std::strstr(name, ".new") != nullptr ? 0777 : 0666; }

int OpenFlags(uint32_t mode) {
  if (mode & FILE_MODE_TRUNCATE) return O_RDWR | O_CREAT | O_TRUNC;
  if (mode & FILE_MODE_APPEND) return O_RDWR | O_CREAT | O_APPEND;
  if (mode & FILE_MODE_CREATE) return O_RDWR | O_CREAT;
  if (mode & FILE_MODE_READ_WRITE) return O_RDWR;
  return O_RDONLY;
}

}  // namespace

std::string ProgramFolder() {
  char folder[kPccMaxPath + 1];
  pcc_FillCurrentPath(folder);
  return folder;
}

TPCFile::~TPCFile() {
  if (fd_ >= 0) close(fd_);
}

uint32_t TPCFile::Read(void* buffer, uint32_t n) {
  if (n == 0 || buffer == nullptr) return 0;
  ssize_t got = pread(fd_, buffer, n, position_);
  if (got <= 0) return 0;
  position_ += static_cast<uint32_t>(got);
  return static_cast<uint32_t>(got);
}

int TPCFile::Seek(uint32_t position) {
  position_ = position;
  return 0;
}

uint32_t TPCFile::GetLength() {
  struct stat st {};
  if (fstat(fd_, &st) != 0) return 0;
  return static_cast<uint32_t>(st.st_size);
}

uint32_t TPCFile::Write(const void* bytes, uint32_t n) {
  if (!writable_ || n == 0 || bytes == nullptr) return 0;
  ssize_t put = pwrite(fd_, bytes, n, position_);
  if (put <= 0) return 0;
  position_ += static_cast<uint32_t>(put);
  return static_cast<uint32_t>(put);
}

TLinFindFile::~TLinFindFile() {
  if (dir_ != nullptr) closedir(dir_);
}

bool TLinFindFile::Next() {
  while (dirent* entry = readdir(dir_)) {
    if (fnmatch(mask_.c_str(), entry->d_name, 0) == 0) {
      name_ = entry->d_name;
      return true;
    }
  }
  name_.clear();
  return false;
}

TLinFileSystem::TLinFileSystem(const char* root) {
  std::string value = root != nullptr ? root : "";
  if (!value.empty() && value[0] == '/') {
    root_ = Cut(value);
    mkdir(root_.c_str(), 0776);
  } else {
    root_ = ProgramFolder();
    if (!value.empty()) {
      root_ = Cut(root_ + value);
      mkdir(root_.c_str(), 0776);
    }
  }
  if (!root_.empty() && root_.back() != '/') root_ = Cut(root_ + "/");
}

std::string TLinFileSystem::FullPath(const char* name) const { return Cut(root_ + (name != nullptr ? name : "")); }

void TLinFileSystem::MakeFullPath(char* out, size_t size, const char* name) {
  if (out == nullptr || size == 0) return;
  std::string full = FullPath(name);
  size_t n = std::min(full.size(), size - 1);
  std::memcpy(out, full.data(), n);
  out[n] = '\0';
}

uint32_t TLinFileSystem::GetFreeSpaceInKbytes() {
  struct statfs st {};
  if (statfs("/", &st) != 0) return 0xFFFFFFFFu;
  uint64_t kbytes = static_cast<uint64_t>(st.f_bsize / 1024) * st.f_bfree;
  return kbytes > 0xFFFFFFFEu ? 0xFFFFFFFEu : static_cast<uint32_t>(kbytes);
}

uint32_t TLinFileSystem::GetFileLength(const char* name) {
  struct stat st {};
  if (stat(FullPath(name).c_str(), &st) != 0) return 0;
  return static_cast<uint32_t>(st.st_size);
}

uint16_t TLinFileSystem::EraseFile(const char* name) {
  if (unlink(FullPath(name).c_str()) == 0 || errno == ENOENT) return last_error_ = 0;
  return last_error_ = kFsFailed;
}

uint16_t TLinFileSystem::RenameFile(const char* old_name, const char* new_name) {
  if (strcasecmp(old_name, new_name) == 0) return last_error_ = 0;
  std::string from = FullPath(old_name);
  std::string to = FullPath(new_name);
  if (std::strstr(new_name, ".new") != nullptr) {
    // A delivery is copied, so the new file gets the rights of a delivered program.
    int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return last_error_ = kFsFailed;
    struct stat st {};
    std::vector<char> content;
    bool ok = fstat(in, &st) == 0;
    if (ok) {
      content.resize(static_cast<size_t>(st.st_size));
      ok = content.empty() || read(in, content.data(), content.size()) == static_cast<ssize_t>(content.size());
    }
    close(in);
    int out = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0777);
    if (out < 0) return last_error_ = kFsFailed;
    ok = ok && (content.empty() || write(out, content.data(), content.size()) == static_cast<ssize_t>(content.size()));
    ok = (close(out) == 0) && ok;
    if (!ok) return last_error_ = kFsFailed;
    unlink(from.c_str());
    return last_error_ = 0;
  }
  unlink(to.c_str());
  if (rename(from.c_str(), to.c_str()) != 0) return last_error_ = kFsFailed;
  return last_error_ = 0;
}

std::unique_ptr<TPCFile> TLinFileSystem::Open(const char* name, uint32_t mode) {
  int flags = OpenFlags(mode);
  int fd = open(FullPath(name).c_str(), flags | O_CLOEXEC, CreationMode(name));
  if (fd < 0) {
    int error = errno;
    if (flags != O_RDONLY) {
      ReportString("Cannot open file '%s' for changes. Error code: %d", name, error);
    } else if (error != ENOENT) {
      ReportString("Cannot open file '%s' for reading. Error code: %d", name, error);
    }
    last_error_ = kFsFailed;
    return nullptr;
  }
  last_error_ = 0;
  return std::make_unique<TPCFile>(fd, FullPath(name), flags != O_RDONLY);
}

std::unique_ptr<IFileReadable> TLinFileSystem::OpenForRead(const char* name, int) { return Open(name, 0); }

std::unique_ptr<IFileWritable> TLinFileSystem::OpenForWrite(const char* name, uint32_t mode, int) {
  return Open(name, mode);
}

std::unique_ptr<IFileWritable> TLinFileSystem::OpenFilePointer(const char* name, uint32_t mode) {
  return Open(name, mode);
}

std::unique_ptr<IFindFile> TLinFileSystem::FindFile(const char* mask) {
  DIR* dir = opendir(root_.empty() ? "." : root_.c_str());
  if (dir == nullptr) return nullptr;
  auto found = std::make_unique<TLinFindFile>(dir, mask != nullptr ? mask : "*");
  if (!found->Next()) return nullptr;
  return found;
}
