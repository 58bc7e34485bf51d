#include "src/pc/comm_log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

constexpr size_t kMode1Limit = 1600;

int g_mode = 0;
int g_statistics = 0;
int g_checked_yday = -1;  // day of the last stale-file check, one value for the process
int g_checked_year = -1;

bool SameDay(const tm& a, const tm& b) { return a.tm_year == b.tm_year && a.tm_yday == b.tm_yday; }

// The file of this day of the month may still hold a month-old log: start it afresh.
void EraseIfStale(const char* path, const tm& today) {
  struct stat st {};
  if (stat(path, &st) != 0) return;
  time_t mtime = st.st_mtime;
  tm written {};
  localtime_r(&mtime, &written);
  if (SameDay(written, today)) return;
  if (unlink(path) != 0 && errno != ENOENT) ReportString("Erase old log file %s:%d", path, errno);
}

}  // namespace

extern "C" int pplogToggleLogMode(int mode) {
  int previous = g_mode;
  g_mode = mode;
  return previous;
}

extern "C" int pplogGetLogMode() { return g_mode; }

extern "C" int pplogToggleStatisticMode(int on) {
  int previous = g_statistics;
  g_statistics = on;
  return previous;
}

extern "C" int pplogGetStatisticMode() { return g_statistics; }

extern "C" void LogCommData(int port, char kind, const void* data, size_t length) {
  if (g_mode <= 0) return;
  if (g_mode == 1 && length > kMode1Limit) return;
  if (data == nullptr) length = 0;

  timeval tv {};
  gettimeofday(&tv, nullptr);
  time_t secs = tv.tv_sec;
  tm now {};
  localtime_r(&secs, &now);

  char path[270];
  std::snprintf(path, sizeof path, "%scom%02d-%02lu.log", pcc_GetPath(PathToLog), port,
                static_cast<unsigned long>(now.tm_mday));
  if (g_checked_yday != now.tm_yday || g_checked_year != now.tm_year) {
    g_checked_yday = now.tm_yday;
    g_checked_year = now.tm_year;
    EraseIfStale(path, now);
  }

  char head[64];
  int head_len = std::snprintf(head, sizeof head, "%02lu.%02lu %02lu:%02lu:%02lu.%03lu %c ",
                               static_cast<unsigned long>(now.tm_mday), static_cast<unsigned long>(now.tm_mon + 1),
                               static_cast<unsigned long>(now.tm_hour), static_cast<unsigned long>(now.tm_min),
                               static_cast<unsigned long>(now.tm_sec), static_cast<unsigned long>(tv.tv_usec / 1000),
                               kind);
  // One write per line keeps lines whole when several processes append.
  std::vector<char> line;
  line.reserve(static_cast<size_t>(head_len) + length + 2);
  line.insert(line.end(), head, head + head_len);
  const char* bytes = static_cast<const char*>(data);
  if (length > 0) line.insert(line.end(), bytes, bytes + length);
  line.push_back('\r');
  line.push_back('\n');

  int fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) return;
  ssize_t ignored = write(fd, line.data(), line.size());
  (void)ignored;
  close(fd);
}

void pcc_ResetCommLogForTests() {
  g_checked_yday = -1;
  g_checked_year = -1;
}
