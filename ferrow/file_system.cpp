#include "file_system.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "error.h"
#include "paths.h"

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

int64_t TFile::Read(void* buffer, size_t length) {
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, length);
    if (got < 0 && errno == EINTR) continue;
    return got;
  }
}

bool TFile::WriteAll(const void* data, size_t length) {
  const char* p = static_cast<const char*>(data);
  while (length > 0) {
    const ssize_t put = ::write(fd_, p, length);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    p += put;
    length -= static_cast<size_t>(put);
  }
  return true;
}

int64_t TFile::Length() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

void TFile::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

void CreateFolderPath(const std::string& path) {
  std::string work = path;
  for (size_t i = 0; i < work.size(); ++i) {
    if (work[i] != '/' && work[i] != '\\') continue;
    if (i > 0) ::mkdir(work.substr(0, i).c_str(), 0777);
    work[i] = '/';
  }
  if (!work.empty()) ::mkdir(work.c_str(), 0777);
}

bool CopyFileContent(const std::string& from, const std::string& to) {
  TFile in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
  if (!in.IsOpen()) return false;
  struct stat st {};
  const mode_t mode = ::fstat(in.fd(), &st) == 0 ? (st.st_mode & 07777) : 0666;
  TFile out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (!out.IsOpen()) return false;
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const int64_t got = in.Read(buffer.data(), buffer.size());
    if (got < 0) return false;
    if (got == 0) break;
    if (!out.WriteAll(buffer.data(), static_cast<size_t>(got))) return false;
  }
  return true;
}

TFileSystem::TFileSystem(const std::string& root) {
  std::string path = root;
  if (path.empty() || path[0] != '/') path = pcc_GetPath(PathToProgram) + path;
  if (!path.empty()) CreateFolderPath(path);
  if (!path.empty() && path.back() != '/') path += '/';
  root_ = path;
}

std::string TFileSystem::MakeFullPath(const std::string& name) const {
  if (!name.empty() && name[0] == '/') return name;
  return root_ + name;
}

bool TFileSystem::FileExists(const std::string& name) const {
  struct stat st {};
  return ::stat(MakeFullPath(name).c_str(), &st) == 0;
}

uint64_t TFileSystem::GetFileLength(const std::string& name) const {
  struct stat st {};
  if (::stat(MakeFullPath(name).c_str(), &st) != 0) return 0;
  return static_cast<uint64_t>(st.st_size);
}

uint32_t TFileSystem::EraseFile(const std::string& name) {
  if (::unlink(MakeFullPath(name).c_str()) == 0 || errno == ENOENT) return 0;
  return ferrow_errors::kFileErase;
}

uint32_t TFileSystem::RenameFile(const std::string& oldName, const std::string& newName) {
  if (strcasecmp(oldName.c_str(), newName.c_str()) == 0) return 0;
  const std::string from = MakeFullPath(oldName);
  const std::string to = MakeFullPath(newName);
  if (newName.find(".new") != std::string::npos) {
    std::string content;
    if (!ReadAll(oldName, content)) return ferrow_errors::kFileRename;
    TFile out = OpenForWrite(newName);
    if (!out.IsOpen() || !out.WriteAll(content.data(), content.size())) return ferrow_errors::kFileRename;
    out.Close();
    return EraseFile(oldName) == 0 ? 0 : ferrow_errors::kFileRename;
  }
  ::unlink(to.c_str());
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : ferrow_errors::kFileRename;
}

TFile TFileSystem::OpenForRead(const std::string& name) const {
  return TFile(::open(MakeFullPath(name).c_str(), O_RDONLY | O_CLOEXEC));
}

TFile TFileSystem::OpenForWrite(const std::string& name) const {
  const mode_t mode = name.find(".new") != std::string::npos ? 0777 : 0666;
  return TFile(::open(MakeFullPath(name).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
}

bool TFileSystem::ReadAll(const std::string& name, std::string& content) const {
  content.clear();
  TFile file = OpenForRead(name);
  if (!file.IsOpen()) return false;
  char buffer[16384];
  for (;;) {
    const int64_t got = file.Read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    content.append(buffer, static_cast<size_t>(got));
  }
}
