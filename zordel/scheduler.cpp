#include "zordel/scheduler.h"

#include <cstdlib>
#include <cstring>

#include "src/pc/param_args.h"
#include "src/pc/paths.h"
#include "src/pc/schedule.h"
#include "src/pc/standalone/drv_standalone.h"
#include "src/pc/unique_lock.h"

namespace {

constexpr uint32_t kRealMsecPerSecond = 1000;
constexpr uint64_t kWaitSlice = 60u * 1000u;

uint32_t g_msec_per_second = kRealMsecPerSecond;

void SchedulerSleep(uint64_t milliseconds) {
  uint64_t scaled = milliseconds / kRealMsecPerSecond * g_msec_per_second;
  while (scaled > 0) {
    uint64_t slice = scaled < kWaitSlice ? scaled : kWaitSlice;
    drvWait(static_cast<uint32_t>(slice));
    scaled -= slice;
  }
}

}  // namespace

uint32_t zordel_MsecPerSecond() {
  const char* value = std::getenv(kTestSecondEnv);
  if (value == nullptr || value[0] == '\0' || std::strlen(value) > 4) return kRealMsecPerSecond;
  uint32_t ms = 0;
  for (const char* p = value; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return kRealMsecPerSecond;
    ms = ms * 10 + static_cast<uint32_t>(*p - '0');
  }
  return ms <= kRealMsecPerSecond ? ms : kRealMsecPerSecond;
}

extern "C" int ZordelMain(int argc, char* argv[]) {
  // The program folder is known before the lock is taken so that a lock file
  // that cannot be opened is reported in our own log, not in the caller's folder.
  char program_folder[kPccMaxPath + 1];
  pcc_FillCurrentPath(program_folder);
  pcc_SetPath(PathToProgram, program_folder);

  int lock = pcc_isUniqueApplication(kSchedulerLockFile, 0);
  if (lock == 0) return -1;  // another scheduler runs; it says nothing

  pcc_GetParamArgs(argc, argv);

  g_msec_per_second = zordel_MsecPerSecond();
  pcc_SetScheduleSleeper(SchedulerSleep);
  pcc_ScheduleIniFileCommandBy(kScheduledProgram);
  pcc_SetScheduleSleeper(nullptr);

  pcc_CloseUniqueControlFile(lock);
  return 0;
}
