#include "src/pc/schedule.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "src/pc/ini_access.h"

namespace {

constexpr size_t kValueBuffer = 100;  // each key holds at most 99 characters
constexpr int32_t kPeriodLimitMinutes = INT32_MAX / 60;

int32_t RealTimeOfDay() {
  time_t now = time(nullptr);
  tm parts {};
  localtime_r(&now, &parts);
  return parts.tm_hour * 10000 + parts.tm_min * 100 + parts.tm_sec;
}

PccTimeOfDaySource g_time_source = nullptr;

int32_t PackSeconds(int32_t seconds) {
  int32_t sign = seconds < 0 ? -1 : 1;
  int32_t s = seconds < 0 ? -seconds : seconds;
  return sign * ((s / 3600) * 10000 + ((s / 60) % 60) * 100 + s % 60);
}

}  // namespace

int32_t pcc_CurrentTimeOfDay() { return g_time_source != nullptr ? g_time_source() : RealTimeOfDay(); }

void pcc_SetTimeOfDaySourceForTests(PccTimeOfDaySource source) { g_time_source = source; }

extern "C" bool ParseAsPeriodInSeconds(const char* text, int32_t* out) {
  if (text == nullptr || *text == '\0') return false;
  int64_t value = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p < '0' || *p > '9') return false;
    value = value * 10 + (*p - '0');
    if (value > kPeriodLimitMinutes) value = kPeriodLimitMinutes;  // the delay in seconds must not wrap
  }
  *out = static_cast<int32_t>(value);
  return true;
}

extern "C" bool ReadTimeAsSeconds(const char* text, int32_t* out) {
  if (text == nullptr) return false;
  int h = 0, m = 0, s = 0;
  if (std::sscanf(text, "%d:%d:%d", &h, &m, &s) != 3) return false;
  *out = static_cast<uint8_t>(h) * 10000 + static_cast<uint8_t>(m) * 100 + static_cast<uint8_t>(s);
  return true;
}

extern "C" int32_t auxTimeToSeconds(int32_t packed) {
  int32_t sign = packed < 0 ? -1 : 1;
  int32_t p = packed < 0 ? -packed : packed;
  return sign * ((p / 10000) * 3600 + ((p / 100) % 100) * 60 + p % 100);
}

extern "C" int32_t auxDiffTime(int32_t a, int32_t b) { return PackSeconds(auxTimeToSeconds(a) - auxTimeToSeconds(b)); }

extern "C" bool ParseAsCurrentTimeDifferenceInSeconds(const char* text, int32_t* out) {
  *out = 0;
  int32_t packed = 0;
  if (!ReadTimeAsSeconds(text, &packed)) return false;
  *out = auxTimeToSeconds(auxDiffTime(packed, pcc_CurrentTimeOfDay()));
  return true;
}

extern "C" int pcc_ReadIniScheduledCommand(char* command, size_t command_size, int32_t* delay) {
  char time_text[kValueBuffer];
  char command_text[kValueBuffer];
  pcc_GetIniStringSize("pinpad.ini", "ScheduledTime", time_text, sizeof time_text);
  pcc_GetIniStringSize("pinpad.ini", "ScheduledCommand", command_text, sizeof command_text);
  if (command != nullptr && command_size > 0) {
    std::snprintf(command, command_size, "%s", command_text);
  }
  if (time_text[0] == '\0' || command_text[0] == '\0') return 101;
  int32_t minutes = 0;
  if (ParseAsPeriodInSeconds(time_text, &minutes)) {
    *delay = (minutes == 0 ? 1 : minutes) * 60;
    return 0;
  }
  if (ParseAsCurrentTimeDifferenceInSeconds(time_text, delay)) return 0;
  return 249;
}

extern "C" bool pcc_IsScheduledRDLReqired(const char* command) { return command != nullptr && command[0] == '7'; }

extern "C" bool pcc_IsTimeForRDL() {
  char time_text[kValueBuffer];
  char command_text[kValueBuffer];
  pcc_GetIniStringSize("pinpad.ini", "ScheduledTime", time_text, sizeof time_text);
  if (time_text[0] == '\0') return true;
  pcc_GetIniStringSize("pinpad.ini", "ScheduledCommand", command_text, sizeof command_text);
  if (!pcc_IsScheduledRDLReqired(command_text)) return true;
  int32_t difference = 0;
  if (!ParseAsCurrentTimeDifferenceInSeconds(time_text, &difference)) return false;
  return difference >= -29 && difference <= 4;
}

extern "C" bool IsSupportedCommand(const char* command) {
  return command != nullptr && (command[0] == '7' || std::strncmp(command, "47", 2) == 0);
}
