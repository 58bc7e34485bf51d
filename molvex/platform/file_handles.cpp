#include "molvex/platform/file_handles.h"

#include <sys/stat.h>

#include <ctime>
#include <memory>

#include "molvex/platform/file_system.h"
#include "molvex/platform/system.h"

namespace {

// The table of open files: handle n is entry n - 1.
std::unique_ptr<IFileReadable> g_files[kFileHandles];

IFileReadable* Lookup(int handle) {
  if (handle < 1 || handle > kFileHandles) return nullptr;
  return g_files[handle - 1].get();
}

IFileSystem* DefaultFs() { return ISystem::Instance()->GetDefaultFileSystem(); }

}  // namespace

extern "C" int drvFileOpen(const char* name, uint32_t flags) {
  if (name == nullptr) return 0;
  const bool read = flags & DRV_FILE_READ;
  const bool write = flags & DRV_FILE_WRITE;
  std::unique_ptr<IFileReadable> file;
  if (write) {
    file = DefaultFs()->OpenForWrite(name, read ? FILE_MODE_CREATE : FILE_MODE_TRUNCATE, 0);
  } else if (read) {
    file = DefaultFs()->OpenForRead(name, 0);
  }
  if (!file) return 0;
  for (int i = 0; i < kFileHandles; ++i) {
    if (!g_files[i]) {
      g_files[i] = std::move(file);
      return i + 1;
    }
  }
  return 0;  // all handles in use: the file just opened is closed again
}

extern "C" void drvFileClose(int handle) {
  if (Lookup(handle) != nullptr) g_files[handle - 1].reset();
}

extern "C" uint32_t drvFileRead(int handle, void* buffer, uint32_t n) {
  IFileReadable* file = Lookup(handle);
  return file != nullptr && n > 0 ? file->Read(buffer, n) : 0;
}

extern "C" uint32_t drvFileWrite(int handle, const void* bytes, uint32_t n) {
  auto* file = dynamic_cast<IFileWritable*>(Lookup(handle));
  return file != nullptr && n > 0 ? file->Write(bytes, n) : 0;
}

extern "C" int drvFileSeek(int handle, uint32_t position) {
  IFileReadable* file = Lookup(handle);
  if (file == nullptr) return -3;
  file->Seek(position);
  return 0;
}

extern "C" uint32_t drvFileGetLength(int handle) {
  IFileReadable* file = Lookup(handle);
  return file != nullptr ? file->GetLength() : 0;
}

extern "C" uint32_t drvFileGetPos(int handle) {
  IFileReadable* file = Lookup(handle);
  return file != nullptr ? file->Tell() : 0;
}

extern "C" uint16_t drvFileErase(const char* name) { return DefaultFs()->EraseFile(name); }

extern "C" uint16_t drvFileRename(const char* old_name, const char* new_name) {
  return DefaultFs()->RenameFile(old_name, new_name);
}

extern "C" uint32_t drvGetDiskFreeSpace() { return DefaultFs()->GetFreeSpaceInKbytes(); }

extern "C" int drvFileSelectFlash(int n) { return DefaultFs()->FileSelectFlash(n); }

extern "C" uint16_t drvCreateDirectory(const char* path) {
  if (path == nullptr) return kFsFailed;
  char full[kMaxFileSystemPath + 1];
  DefaultFs()->MakeFullPath(full, sizeof full, path);
  if (full[0] == '\0') return kFsFailed;
  IFileSystem* mounted = nullptr;
  ISystem::Instance()->MountFileSystem(full, &mounted);  // creates the folder
  ISystem::Instance()->UnmountFileSystem(mounted);
  return 0;
}

extern "C" uint16_t drvGetFileDateAndTime(const char* name, uint32_t* date, uint32_t* time_of_day) {
  char full[kMaxFileSystemPath + 1];
  DefaultFs()->MakeFullPath(full, sizeof full, name);
  struct stat st {};
  if (name == nullptr || stat(full, &st) != 0) return kFsFailed;
  tm parts {};
  time_t mtime = st.st_mtime;
  localtime_r(&mtime, &parts);
  if (date != nullptr) *date = static_cast<uint32_t>((parts.tm_year + 1900) * 10000 + (parts.tm_mon + 1) * 100 + parts.tm_mday);
  if (time_of_day != nullptr) *time_of_day = static_cast<uint32_t>(parts.tm_hour * 10000 + parts.tm_min * 100 + parts.tm_sec);
  return 0;
}

void drvCloseAllFiles() {
  for (auto& file : g_files) file.reset();
}
