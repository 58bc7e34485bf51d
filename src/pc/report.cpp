#include "src/pc/report.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/program_profile.h"

namespace {

constexpr size_t kLineMax = 1024;
constexpr int kCategories = 50;

bool g_main_log_on = true;
bool g_extended_read = false;
bool g_extended[kCategories] = {};

struct LocalNow {
  tm parts{};
  int msec = 0;
};

LocalNow Now() {
  LocalNow now;
  timeval tv {};
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  localtime_r(&secs, &now.parts);
  now.msec = static_cast<int>(tv.tv_usec / 1000);
  return now;
}

void AppendToFile(const char* path, const char* data, size_t len) {
  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;  // a log that cannot be written never fails its caller
  ssize_t ignored = write(fd, data, len);
  (void)ignored;
  close(fd);
}

void ReadExtendedCategories() {
  g_extended_read = true;
  for (int i = 0; i < kCategories; ++i) {
    char key[32];
    char value[32];
    std::snprintf(key, sizeof key, "ExtendedLog_%i", i);
    pcc_GetIniStringSize("pinpad.ini", key, value, sizeof value);
    if (value[0] == '\0') break;
    int category = std::atoi(value);
    if (category > 49) break;
    if (category >= 0) g_extended[category] = true;
  }
}

void WriteMainLine(const char* format, va_list args) {
  if (!g_main_log_on) return;
  LocalNow now = Now();
  char line[kLineMax + 2];
  int prefix = std::snprintf(line, kLineMax, "%02d.%02d %02d:%02d:%02d.%03d %s: ", now.parts.tm_mday,
                             now.parts.tm_mon + 1, now.parts.tm_hour, now.parts.tm_min, now.parts.tm_sec,
                             now.msec, pcc_GetProgramProfile().log_tag);
  if (prefix < 0 || static_cast<size_t>(prefix) >= kLineMax) prefix = 0;
  std::vsnprintf(line + prefix, kLineMax - static_cast<size_t>(prefix), format, args);
  size_t len = std::strlen(line);  // at most 1023
  line[len++] = '\r';
  line[len++] = '\n';

  char path[4096];
  std::snprintf(path, sizeof path, "%s%s%02d%02d.log", pcc_GetPath(PathToLog), pcc_GetProgramProfile().log_prefix,
                now.parts.tm_year % 100, now.parts.tm_mon + 1);
  AppendToFile(path, line, len);
}

}  // namespace

extern "C" void vReportString(const char* format, va_list args) { WriteMainLine(format, args); }

extern "C" void ReportString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  WriteMainLine(format, args);
  va_end(args);
}

extern "C" void ReportStringEx(int category, const char* format, ...) {
  if (!pcc_GetProgramProfile().extended_log || category < 0 || category >= kCategories) return;
  if (!g_extended_read) ReadExtendedCategories();
  if (!g_extended[category]) return;
  va_list args;
  va_start(args, format);
  WriteMainLine(format, args);
  va_end(args);
}

extern "C" void EnableReportString(int on) { g_main_log_on = on != 0; }
extern "C" int IsReportStringEnabled() { return g_main_log_on ? 1 : 0; }

extern "C" void ReportError(const char* format, ...) {
  LocalNow now = Now();
  char line[512 + 2];
  int prefix = std::snprintf(line, 512, "%02d.%02d %02d:%02d:%02d ", now.parts.tm_mday, now.parts.tm_mon + 1,
                             now.parts.tm_hour, now.parts.tm_min, now.parts.tm_sec);
  va_list args;
  va_start(args, format);
  std::vsnprintf(line + prefix, 512 - static_cast<size_t>(prefix), format, args);
  va_end(args);
  ReportString("%s", line + prefix);
  size_t len = std::strlen(line);
  line[len++] = '\r';
  line[len++] = '\n';
  char path[4096];
  std::snprintf(path, sizeof path, "%scommerr.log", pcc_GetPath(PathToLog));
  AppendToFile(path, line, len);
}

void pcc_ResetExtendedLogForTests() {
  g_extended_read = false;
  for (bool& on : g_extended) on = false;
}
