#include "molvex/services/file_service.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "common/byte_order.h"
#include "molvex/platform/file_handles.h"
#include "molvex/services/slave_devices.h"
#include "molvex/services/slave_state.h"
#include "sha1.h"

namespace {

// Writes need more than this much free space (in KB).
constexpr uint32_t kMinFreeKb = 4;
constexpr uint32_t kOpenReplySize = 4 + TSha1::kDigestSize;
constexpr uint32_t kHashChunk = 4096;

bool ValidStorage(char letter) { return letter == 'F' || letter == 'R'; }

// The file may be opened at all: a known storage letter and a name that
// stays inside the store.
bool Usable(const SlaveFileService& file) {
  return ValidStorage(file.storage) && !file.nameRefused && slvIsStoreFileName(file.name);
}

void CloseCurrent(SlaveFileService& file) {
  if (file.handle != 0) drvFileClose(file.handle);
  file.handle = 0;
}

// Length and SHA-1 of the whole file; an empty content when it cannot be read.
void Fingerprint(const SlaveFileService& file, uint8_t out[kOpenReplySize]) {
  TSha1 sha;
  uint32_t length = 0;
  int handle = Usable(file) ? drvFileOpen(file.name.c_str(), DRV_FILE_READ) : 0;
  if (handle != 0) {
    uint8_t chunk[kHashChunk];
    for (;;) {
      uint32_t got = drvFileRead(handle, chunk, sizeof chunk);
      if (got == 0) break;
      sha.AddData(chunk, got);
      length += got;
    }
    drvFileClose(handle);
  }
  common::DWORD_MSB(length, out);
  sha.FinalizeInto(out + 4);
}

uint16_t Open(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  const uint16_t b = request.length();
  if (b < 7) return 0;
  SlaveFileService& file = slvState().file;
  CloseCurrent(file);
  file.storage = static_cast<char>(request.byte(0));
  const char mode = static_cast<char>(request.byte(1));
  file.announcedSize = request.dword(2);
  const char* name = reinterpret_cast<const char*>(request.body()) + 6;
  file.name.assign(name, strnlen(name, std::min<size_t>(b - 6u, kFileServiceNameMax)));
  // A name that leaves the store is refused here and stays refused: no later
  // read or write may reach it either.
  file.nameRefused = !slvIsStoreFileName(file.name);
  if (file.nameRefused) {
    *status = kSlvFileFailed;
    return 0;
  }
  if (mode == 'W' && ValidStorage(file.storage)) drvFileErase(file.name.c_str());
  uint8_t body[kOpenReplySize];
  Fingerprint(file, body);
  *status = kSlvDone;
  return slvPutBody(reply, body, sizeof body, status) ? sizeof body : 0;
}

uint16_t Read(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  if (request.length() <= 7) return 0;
  SlaveFileService& file = slvState().file;
  int handle = Usable(file) ? drvFileOpen(file.name.c_str(), DRV_FILE_READ) : 0;
  if (handle == 0) {
    *status = kSlvFileFailed;
    return 0;
  }
  const uint32_t length = drvFileGetLength(handle);
  const uint32_t offset = std::min(request.dword(0), length);
  uint32_t count = std::min(request.dword(4), length - offset);
  count = std::min(count, LongMessageCmdPacketShell::kMaxBody);
  uint8_t* out = count > 0 ? reply.Reserve(count) : nullptr;
  if (out == nullptr) {
    // The reply cannot grow: answer what fits into the room it has.
    count = std::min(count, reply.Room());
    out = reply.body();
  }
  uint32_t got = 0;
  if (count > 0) {
    drvFileSeek(handle, offset);
    got = drvFileRead(handle, out, count);
  }
  drvFileClose(handle);
  *status = kSlvDone;
  return static_cast<uint16_t>(got);
}

uint16_t Write(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  const uint16_t b = request.length();
  if (b <= 4) return 0;
  if (drvGetDiskFreeSpace() <= kMinFreeKb) {
    *status = kSlvNoDiskSpace;
    return 0;
  }
  SlaveFileService& file = slvState().file;
  if (file.handle == 0 && Usable(file)) file.handle = drvFileOpen(file.name.c_str(), DRV_FILE_READ | DRV_FILE_WRITE);
  if (file.handle == 0) {
    *status = kSlvFileFailed;
    return 0;
  }
  const uint32_t count = b - 4u;
  const uint32_t position = std::min(request.dword(0), drvFileGetLength(file.handle));
  drvFileSeek(file.handle, position);
  const uint32_t written = drvFileWrite(file.handle, request.body() + 4, count);
  if (file.storage == 'R') CloseCurrent(file);
  if (written != count) {
    CloseCurrent(file);
    *status = kSlvFileFailed;
    return 0;
  }
  uint8_t body[4];
  common::DWORD_MSB(position + count, body);
  *status = kSlvDone;
  return slvPutBody(reply, body, sizeof body, status) ? sizeof body : 0;
}

}  // namespace

bool slvIsStoreFileName(std::string_view name) {
  if (name.empty() || name.front() == '/') return false;
  size_t start = 0;
  while (start <= name.size()) {
    size_t end = name.find('/', start);
    if (end == std::string_view::npos) end = name.size();
    if (name.substr(start, end - start) == "..") return false;
    start = end + 1;
  }
  return true;
}

void slvCloseFileService() { CloseCurrent(slvState().file); }

uint16_t slvPcFileDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell& reply,
                         uint16_t* status) {
  switch (operation) {
    case kSlvOpen: return Open(request, reply, status);
    case kSlvRead: return Read(request, reply, status);
    case kSlvWrite: return Write(request, reply, status);
    case kSlvClose: {
      SlaveFileService& file = slvState().file;
      CloseCurrent(file);
      file.storage = 0;
      drvFileSelectFlash(0);
      *status = kSlvDone;
      return 0;
    }
    default:
      *status = kSlvDone;
      return 0;
  }
}
