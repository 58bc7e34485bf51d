// The scheduler's loop: wait for the configured moment, start the command,
// and again, for as long as the schedule stays valid.
#include <sys/types.h>

#include <cstdint>
#include <cstring>

#include "src/pc/child_process.h"
#include "src/pc/report.h"
#include "src/pc/schedule.h"

namespace {

constexpr size_t kCommandBuffer = 256;
constexpr int32_t kSecondsPerDay = 86400;
constexpr uint64_t kPauseBetweenCycles = 1000;
// pcc_WaitForTimer takes 32-bit milliseconds; longer waits go in slices.
constexpr uint64_t kSleepSlice = 3600u * 1000u;

void RealSleep(uint64_t milliseconds) {
  while (milliseconds >= 1000) {
    uint64_t slice = milliseconds < kSleepSlice ? milliseconds : kSleepSlice;
    pcc_WaitForTimer(static_cast<unsigned>(slice));
    milliseconds -= slice - slice % 1000;
  }
}

PccScheduleSleeper g_sleeper = nullptr;

void Sleep(uint64_t milliseconds) { (g_sleeper != nullptr ? g_sleeper : RealSleep)(milliseconds); }

}  // namespace

void pcc_SetScheduleSleeper(PccScheduleSleeper sleeper) { g_sleeper = sleeper; }

extern "C" int pcc_StartRemoteDownload(char* command, size_t command_size) {
  int32_t delay = 0;
  int read = pcc_ReadIniScheduledCommand(command, command_size, &delay);
  if (read == 101) return 3;
  if (read != 0) return -1;
  if (!IsSupportedCommand(command)) return -2;
  if (delay < 0) delay += kSecondsPerDay;  // the time has passed today: tomorrow at that time
  ReportString("wait for %d seconds", static_cast<int>(delay));
  // Whole seconds, in 64 bits: a period of many weeks must not wrap into a short wait.
  Sleep(static_cast<uint64_t>(delay) * 1000u);
  return 1;
}

extern "C" int pcc_ScheduleIniFileCommandBy(const char* program) {
  ReportString("started");
  pid_t last_started = 0;
  bool first_cycle = true;
  int result = 0;
  for (;;) {
    char command[kCommandBuffer];
    std::memset(command, 0, sizeof command);
    // Every cycle after the first begins with a pause of one second, so that a
    // daily moment is behind us before the schedule is read again: a delay of
    // 0 read twice within the same second would start the command twice.
    if (!first_cycle) Sleep(kPauseBetweenCycles);
    first_cycle = false;

    result = pcc_StartRemoteDownload(command, sizeof command);
    if (result != 1) {
      if (result == -1) ReportString("invalid time format in settings.");
      if (result == -2) ReportString("unsupported command in settings.");
      break;
    }
    // Never two scheduled runs at once: the previous one must have ended.
    if (last_started > 0) {
      pcc_WaitForProcess(last_started);
      last_started = 0;
    }
    ReportString("start command '%s %s'.", program, command);
    pid_t pid = 0;
    if (pcc_CallHiddenProcess(program, command, &pid) == 0) {
      ReportString("command called succesfully");
      last_started = pid;
    } else {
      ReportString("command start failed");
    }
  }
  ReportString("closed");
  return result;
}
