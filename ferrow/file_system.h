// Files of the update client: a file system rooted in a folder, and an
// owned file descriptor.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Owns one open descriptor; closes it when it goes out of scope.
class TFile {
 public:
  TFile() = default;
  explicit TFile(int fd) : fd_(fd) {}
  ~TFile() { Close(); }
  TFile(TFile&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  int fd() const { return fd_; }
  // Reads up to length bytes; negative on error, 0 at the end.
  int64_t Read(void* buffer, size_t length);
  // Writes everything or fails.
  bool WriteAll(const void* data, size_t length);
  int64_t Length() const;
  void Close();

 private:
  int fd_ = -1;
};

class TFileSystem {
 public:
  // A root beginning with "/" is taken as it is; any other root is placed
  // below the program folder. The folder is created when missing.
  explicit TFileSystem(const std::string& root);

  const std::string& GetRoot() const { return root_; }
  // A name beginning with "/" is absolute; any other is below the root.
  std::string MakeFullPath(const std::string& name) const;

  bool FileExists(const std::string& name) const;
  // The file's size, 0 when it cannot be examined.
  uint64_t GetFileLength(const std::string& name) const;
  // Erasing a missing file succeeds; other failures give 19002.
  uint32_t EraseFile(const std::string& name);
  // Replaces the destination. A destination whose name contains ".new" is
  // written as a copy (so it is created executable) and the source erased.
  // Names equal without regard to case: nothing is done.
  uint32_t RenameFile(const std::string& oldName, const std::string& newName);
  TFile OpenForRead(const std::string& name) const;
  // Creates or truncates; names containing ".new" are created executable.
  TFile OpenForWrite(const std::string& name) const;
  // Reads the whole file; false when it cannot be opened.
  bool ReadAll(const std::string& name, std::string& content) const;

 private:
  std::string root_;
};

// Creates the folder and every folder on its way; errors are ignored.
void CreateFolderPath(const std::string& path);
// Copies a file's content (keeping its permission bits) into another path;
// an empty source writes nothing.
bool CopyFileContent(const std::string& from, const std::string& to);
