#include "src/pc/standalone/drv_standalone.h"

#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "src/pc/paths.h"

namespace {

constexpr uint16_t kFailed = 253;
constexpr uint64_t kCounterWrapSeconds = 1000000;

uint64_t g_test_shift_ms = 0;

// Milliseconds of the monotonic clock; 64 bits do not wrap in any run.
uint64_t MonotonicMsec() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u + g_test_shift_ms;
}

std::string InCurrentFolder(const char* name) { return pcc_MakeFullPath(name, PathToCurrent); }

}  // namespace

uint64_t drvGetTimeMSec64() { return MonotonicMsec(); }

void drvShiftClockForTests(uint64_t milliseconds) { g_test_shift_ms = milliseconds; }

// Seconds modulo 1,000,000, times 1,000, plus the milliseconds of the second.
extern "C" uint32_t drvGetTimeMSec() { return static_cast<uint32_t>(MonotonicMsec() % (kCounterWrapSeconds * 1000u)); }

extern "C" DrvDeadline drvSetTimer(uint32_t milliseconds) { return drvGetTimeMSec64() + milliseconds; }

extern "C" bool drvCheckTimer(DrvDeadline deadline) { return drvGetTimeMSec64() > deadline; }

extern "C" DrvDeadline drvAddTimeToTimer(DrvDeadline deadline, uint32_t milliseconds) {
  return deadline + milliseconds;
}

extern "C" void drvResetTimer() {}

extern "C" void drvWait(uint32_t milliseconds) {
  timespec left{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

extern "C" void drvGetDateAndTime(uint32_t* date, uint32_t* time_of_day) {
  time_t now = std::time(nullptr);
  tm parts{};
  localtime_r(&now, &parts);
  if (date != nullptr) {
    *date = static_cast<uint32_t>((parts.tm_year + 1900) * 10000 + (parts.tm_mon + 1) * 100 + parts.tm_mday);
  }
  if (time_of_day != nullptr) {
    *time_of_day = static_cast<uint32_t>(parts.tm_hour * 10000 + parts.tm_min * 100 + parts.tm_sec);
  }
}

extern "C" void drvGetDateAndTimeWithMsec(uint32_t* date, uint32_t* time_of_day, uint32_t* msec) {
  drvGetDateAndTime(date, time_of_day);
  if (msec != nullptr) *msec = 0;
}

extern "C" uint16_t drvSetDateAndTime(uint32_t, uint32_t) { return 0; }

extern "C" uint16_t drvRandom(uint8_t* bytes) {
  if (bytes == nullptr) return kFailed;
  static bool seeded = false;
  if (!seeded) {
    // Like the system object of the payment program: seeded with the time of day.
    uint32_t now = 0;
    drvGetDateAndTime(nullptr, &now);
    std::srand(now);
    seeded = true;
  }
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(std::rand() % 256 + 1);
  return 0;
}

extern "C" void drvGetStatusInfo(T_CUR_STATUS_INFO* record) {
  if (record == nullptr) return;
  std::memset(record, 0xFF, sizeof *record);
  record->mobile_data[0] = 0;
}

extern "C" uint16_t drvFileErase(const char* name) {
  if (name == nullptr) return kFailed;
  std::string full = InCurrentFolder(name);
  if (unlink(full.c_str()) == 0 || errno == ENOENT) return 0;
  return kFailed;
}

extern "C" uint16_t drvFileRename(const char* old_name, const char* new_name) {
  if (old_name == nullptr || new_name == nullptr) return kFailed;
  if (strcasecmp(old_name, new_name) == 0) return 0;
  std::string from = InCurrentFolder(old_name);
  std::string to = InCurrentFolder(new_name);
  unlink(to.c_str());
  return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : kFailed;
}

extern "C" uint16_t drvCreateDirectory(const char* path) {
  if (path == nullptr) return kFailed;
  std::string full = InCurrentFolder(path);
  if (full.empty()) return kFailed;
  if (mkdir(full.c_str(), 0777) == 0) return 0;
  struct stat st{};
  if (errno == EEXIST && stat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return 0;
  return kFailed;
}
