// File systems rooted in folders, and the open files they hand out. Every
// file is stored plain; the encryption mode arguments are accepted and ignored.
#pragma once

#include <dirent.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

constexpr size_t kMaxFileSystemPath = 269;
constexpr uint16_t kFsFailed = 253;
constexpr uint16_t kFsNotSupported = 252;

// Open modes of OpenFilePointer / OpenForWrite.
enum : uint32_t {
  FILE_MODE_READ_WRITE = 0x02,
  FILE_MODE_CREATE = 0x04,
  FILE_MODE_TRUNCATE = 0x08,
  FILE_MODE_APPEND = 0x10,
};

class IFileReadable {
 public:
  virtual ~IFileReadable() = default;
  virtual uint32_t Read(void* buffer, uint32_t n) = 0;
  virtual int Seek(uint32_t position) = 0;
  virtual uint32_t Tell() = 0;
  virtual uint32_t GetLength() = 0;
};

class IFileWritable : public IFileReadable {
 public:
  virtual uint32_t Write(const void* bytes, uint32_t n) = 0;
};

class TPCFile : public IFileWritable {
 public:
  TPCFile(int fd, std::string name, bool writable) : fd_(fd), name_(std::move(name)), writable_(writable) {}
  ~TPCFile() override;
  TPCFile(const TPCFile&) = delete;
  TPCFile& operator=(const TPCFile&) = delete;

  uint32_t Read(void* buffer, uint32_t n) override;
  int Seek(uint32_t position) override;
  uint32_t Tell() override { return position_; }
  uint32_t GetLength() override;
  uint32_t Write(const void* bytes, uint32_t n) override;
  bool writable() const { return writable_; }
  const std::string& name() const { return name_; }

 private:
  int fd_;
  uint32_t position_ = 0;
  std::string name_;
  bool writable_;
};

class IFindFile {
 public:
  virtual ~IFindFile() = default;
  // Moves to the next matching entry; false at the end.
  virtual bool Next() = 0;
  virtual const char* Name() = 0;
};

class TLinFindFile : public IFindFile {
 public:
  TLinFindFile(DIR* dir, std::string mask) : dir_(dir), mask_(std::move(mask)) {}
  ~TLinFindFile() override;
  bool Next() override;
  const char* Name() override { return name_.c_str(); }

 private:
  DIR* dir_;
  std::string mask_;
  std::string name_;
};

class IFileSystem {
 public:
  virtual ~IFileSystem() = default;
  virtual uint32_t GetFreeSpaceInKbytes() = 0;
  virtual uint16_t FlushCacheToDisk() = 0;
  virtual uint32_t GetFileLength(const char* name) = 0;
  virtual uint16_t EraseFile(const char* name) = 0;
  virtual uint16_t RenameFile(const char* old_name, const char* new_name) = 0;
  virtual std::unique_ptr<IFileReadable> OpenForRead(const char* name, int encryption) = 0;
  virtual std::unique_ptr<IFileWritable> OpenForWrite(const char* name, uint32_t mode, int encryption) = 0;
  // Null when no entry matches at all; otherwise positioned on the first match.
  virtual std::unique_ptr<IFindFile> FindFile(const char* mask) = 0;
  virtual uint16_t GetLastError() = 0;
  virtual void MakeFullPath(char* out, size_t size, const char* name) = 0;
  virtual int FileSelectFlash(int n) = 0;
  virtual uint16_t EraseFilesByMask(const char* mask) = 0;
  virtual std::unique_ptr<IFileWritable> OpenFilePointer(const char* name, uint32_t mode) = 0;
};

class TFileSystem : public IFileSystem {
 public:
  uint16_t FlushCacheToDisk() override { return 0; }
  uint16_t GetLastError() override { return last_error_; }
  int FileSelectFlash(int) override { return -4; }
  uint16_t EraseFilesByMask(const char*) override { return kFsNotSupported; }

 protected:
  uint16_t last_error_ = 0;
};

class TPCFileSystem : public TFileSystem {};

class TLinFileSystem : public TPCFileSystem {
 public:
  // An absolute root is used as it is, anything else below the program
  // folder; the folder is created when missing.
  explicit TLinFileSystem(const char* root);

  const char* root() const { return root_.c_str(); }
  std::string FullPath(const char* name) const;

  uint32_t GetFreeSpaceInKbytes() override;
  uint32_t GetFileLength(const char* name) override;
  uint16_t EraseFile(const char* name) override;
  uint16_t RenameFile(const char* old_name, const char* new_name) override;
  std::unique_ptr<IFileReadable> OpenForRead(const char* name, int encryption) override;
  std::unique_ptr<IFileWritable> OpenForWrite(const char* name, uint32_t mode, int encryption) override;
  std::unique_ptr<IFindFile> FindFile(const char* mask) override;
  void MakeFullPath(char* out, size_t size, const char* name) override;
  std::unique_ptr<IFileWritable> OpenFilePointer(const char* name, uint32_t mode) override;

 private:
  std::unique_ptr<TPCFile> Open(const char* name, uint32_t mode);

  std::string root_;
};

// The program folder from /proc/self/exe, ending in "/" ("" when unreadable).
std::string ProgramFolder();
