// Reprints of arbitrary spool files through the cheque file printer: a cut
// file or a bad record length ends the replay, never the program, and the
// printed text is never more than the spool holds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "molvex/platform/file_system.h"
#include "molvex/platform/system.h"
#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/ui_registration.h"
#include "src/pc/paths.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// A scratch folder of this process, removed with its files at exit.
struct ScratchFolder {
  std::string path;
  ~ScratchFolder() {
    if (path.empty()) return;
    std::remove((path + kSpoolFileName).c_str());
    std::remove((path + "p").c_str());
    rmdir(path.c_str());
  }
};

const std::string& Folder() {
  static ScratchFolder scratch;
  static std::string folder = [] {
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp != nullptr && tmp[0] != '\0' ? tmp : "/tmp") + "/ui_spool_fuzz.XXXXXX";
    const char* made = mkdtemp(pattern.data());
    if (made == nullptr) std::abort();
    std::string path = std::string(made) + "/";
    scratch.path = path;
    for (int slot : {PathToCurrent, PathToProgram, PathToIni, PathToLog, PathToResult}) {
      pcc_SetPath(slot, path.c_str());
    }
    delete ISystem::Instance()->ChangeDefaultFileSystem(new TLinFileSystem(path.c_str()));
    RegisterUiDevices();
    return path;
  }();
  return folder;
}

long FileSize(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return -1;
  std::fseek(f, 0, SEEK_END);
  long size = std::ftell(f);
  std::fclose(f);
  return size;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& folder = Folder();
  std::string spool = folder + kSpoolFileName;
  std::string cheque = folder + "p";
  FILE* f = std::fopen(spool.c_str(), "wb");
  if (f == nullptr) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
  std::remove(cheque.c_str());

  termReprintLastCheck(1);
  long printed = FileSize(cheque);
  Check(printed >= 0 && printed <= static_cast<long>(size));
  // The reprint counter in a header is the only change to the spool.
  Check(FileSize(spool) == static_cast<long>(size));
  termDoneNewCheck();
  return 0;
}
