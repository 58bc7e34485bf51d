#include "molvex/front/run/molvex_main.h"

#include <cstdio>
#include <string>

#include "molvex/front/run/command_string.h"
#include "molvex/front/run/lock_file.h"
#include "molvex/front/model/command_line.h"
#include "molvex/front/model/result_codes.h"
#include "molvex/front/run/operation_run.h"
#include "molvex/front/run/report_result.h"
#include "molvex/front/run/layer_wiring.h"
#include "molvex/front/run/platform_start.h"
#include "src/pc/child_process.h"
#include "src/pc/paths.h"
#include "src/pc/program_profile.h"
#include "src/pc/report.h"
#include "src/pc/schedule.h"
#include "src/pc/unique_lock.h"

namespace {

// A configured schedule means the scheduler must be running after every run.
void StartSchedulerWhenConfigured() {
  char command[256];
  int32_t delay = 0;
  if (pcc_ReadIniScheduledCommand(command, sizeof command, &delay) == 0) {
    pcc_CallHiddenProcess("./zordel", nullptr, nullptr);
  }
}

}  // namespace

int MolvexMain(int argc, const char* const argv[]) {
  pcc_SetProgramProfile(kMolvexProfile);
  DavizParams params;
  DavizResult result;

  char program_folder[kPccMaxPath + 1];
  pcc_FillCurrentPath(program_folder);
  pcc_InitDirs(program_folder, PathToProgram);
  InstallMolvexLayers();
  InstallStartupFileSystem();

  CommandString command = BuildCommandString(argc, argv);
  // Parsed even when too long: the parse also sets up the run's folders.
  uint16_t code = TranslateCmdLine(params, command.text.c_str());
  if (!command.complete) {
    ReportString("command line longer than %u characters is refused", static_cast<unsigned>(kMaxCommandString));
    code = kCmdNoOperation;
  }

  std::string lock_file;
  if (!MolvexLockFileName(lock_file)) return -1;
  int lock = pcc_isUniqueApplication(lock_file.c_str(), 0);
  if (lock == 0) return -1;

  StartPlatform();
  ReportString("start with arguments '%s'", command.text.c_str());
  if (code == 0) code = DoRunStub(params, result);
  int exit_code = DoReturnDavizCode(code, result, "e", params);
  ShutdownPlatform();
  ReportString("finished with result %d, GUID=%08X", result.GetResultCode(), result.GetRequestID());
  pcc_CloseUniqueControlFile(lock);

  StartSchedulerWhenConfigured();
  std::printf("return:%d\n", exit_code);
  std::fflush(stdout);
  return exit_code;
}
