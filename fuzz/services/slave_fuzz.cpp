// Feeds arbitrary master-call requests to the slave dispatcher, with the PC
// file service confined to a temporary folder.
//
// Input: a selector byte (bit 0: answer into a small fixed reply instead of
// a growing one), then requests, each a 16-bit little-endian length and that
// many data bytes (the last one takes what is left).
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "molvex/link/message.h"
#include "molvex/platform/file_system.h"
#include "molvex/platform/system.h"
#include "molvex/services/slave_dispatcher.h"
#include "molvex/services/slave_hooks.h"
#include "molvex/services/slave_state.h"
#include "molvex/services/ui_calls.h"
#include "src/pc/paths.h"

namespace {

std::string g_folder;
int g_runs = 0;

int NoShell(const char*) { return 0; }
int NoKey() { return -2; }

// Every so often the folder is emptied, so that a long run does not fill the disk.
void EmptyFolder() {
  DIR* dir = opendir(g_folder.c_str());
  if (dir == nullptr) return;
  while (dirent* entry = readdir(dir)) {
    if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0) continue;
    unlink((g_folder + entry->d_name).c_str());
  }
  closedir(dir);
}

void RemoveFolder() {
  EmptyFolder();
  rmdir(g_folder.c_str());
}

void Setup() {
  const char* tmp = getenv("TMPDIR");
  std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/slave_fuzz_XXXXXX";
  const char* made = mkdtemp(pattern.data());
  if (made == nullptr) abort();
  g_folder = std::string(made) + "/";
  atexit(RemoveFolder);
  for (int path : {PathToCurrent, PathToProgram, PathToIni, PathToLog, PathToResult}) {
    pcc_SetPath(path, g_folder.c_str());
  }
  std::unique_ptr<IFileSystem> previous(
      ISystem::Instance()->ChangeDefaultFileSystem(new TLinFileSystem(g_folder.c_str())));
  // The clock device must never reach the machine's clock.
  drvSetShellRunnerForTests(NoShell);
  slvUi().getKey = NoKey;
  slvSetSignatureSink([](const uint8_t*, const uint8_t* points, uint32_t count) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < count; ++i) sum += points[i];
    return static_cast<uint16_t>(sum & 1);
  });
  slvSetBeeper([](bool) {});
  slvSetHeartBeatHook([](uint8_t, uint32_t) {});
}

void Serve(LongMessage& reply, const uint8_t* data, size_t size) {
  LongMessageDynamic request;
  request.allocate(static_cast<int32_t>(size), 0);
  if (size > 0) std::memcpy(request.msg()->data(), data, size);
  request.msg()->command = 0xA0;
  request.msg()->length = static_cast<uint16_t>(size);
  slvDoCommand(reply, request);
  const T_Message* msg = reply.msg();
  // The reply must describe itself within its room.
  if (msg->length > reply.capacity()) abort();
  if (msg->length >= 5) {
    const uint16_t body = static_cast<uint16_t>(msg->data()[3] | (msg->data()[4] << 8));
    if (body != 0xFFFF && 5u + body != msg->length) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (g_folder.empty()) Setup();
  if (++g_runs % 2000 == 0) EmptyFolder();
  if (size == 0) return 0;
  const bool fixed = data[0] & 1;
  ++data;
  --size;

  LongMessageDynamic growing;
  T_MessageBuf<96> small;
  LongMessageStatic bounded(small.bytes, sizeof small.bytes);
  LongMessage& reply = fixed ? static_cast<LongMessage&>(bounded) : growing;

  while (size >= 2) {
    size_t length = static_cast<size_t>(data[0] | (data[1] << 8));
    data += 2;
    size -= 2;
    if (length > size) length = size;
    Serve(reply, data, length);
    data += length;
    size -= length;
  }
  slvResetForTests();
  return 0;
}
