// Numbered file handles (1 to 32) over the default file system; 0 is no file.
#pragma once

#include <cstdint>

constexpr int kFileHandles = 32;

enum : uint32_t {
  DRV_FILE_READ = 0x01,
  DRV_FILE_WRITE = 0x02,
  DRV_FILE_ENCRYPTED = 0x04,
};

extern "C" {

int drvFileOpen(const char* name, uint32_t flags);
void drvFileClose(int handle);
uint32_t drvFileRead(int handle, void* buffer, uint32_t n);
uint32_t drvFileWrite(int handle, const void* bytes, uint32_t n);
int drvFileSeek(int handle, uint32_t position);
uint32_t drvFileGetLength(int handle);
uint32_t drvFileGetPos(int handle);
uint16_t drvFileErase(const char* name);
uint16_t drvFileRename(const char* old_name, const char* new_name);
uint32_t drvGetDiskFreeSpace();
int drvFileSelectFlash(int n);
uint16_t drvCreateDirectory(const char* path);
uint16_t drvGetFileDateAndTime(const char* name, uint32_t* date, uint32_t* time);

}

// Closes every open handle (platform shutdown and tests).
void drvCloseAllFiles();
