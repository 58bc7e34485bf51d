// The few platform functions that the launcher and the scheduler carry for
// themselves. They have no system object and no file-system layer: time comes
// straight from the clocks and files are named below the current folder of
// the folder registry. molvex has its own versions; never link both.
#pragma once

#include <cstdint>

// What the status query reports; nothing of it is known on these programs.
struct T_CUR_STATUS_INFO {
  uint8_t level;
  uint8_t state;
  uint8_t printer_ready;
  uint8_t signal;
  uint8_t network_kind;
  uint8_t network_up;
  uint8_t reserved;
  uint8_t mobile_data[20];
  uint8_t mobile_extra;
  uint8_t spare[12];
};
static_assert(sizeof(T_CUR_STATUS_INFO) == 40, "status record layout");

// A deadline on a 64-bit millisecond counter that does not wrap while a
// program runs, so a deadline set shortly before the visible counter wraps
// is still reached on time.
using DrvDeadline = uint64_t;

extern "C" {

// Seconds of the monotonic clock modulo 1,000,000, in milliseconds: 0 to 999,999,999.
uint32_t drvGetTimeMSec();
DrvDeadline drvSetTimer(uint32_t milliseconds);
// True once the counter is above the deadline.
bool drvCheckTimer(DrvDeadline deadline);
DrvDeadline drvAddTimeToTimer(DrvDeadline deadline, uint32_t milliseconds);
void drvResetTimer();
// Sleeps; a sleep cut short by a signal goes on with the time left.
void drvWait(uint32_t milliseconds);

// Local time as YYYYMMDD and HHMMSS; each output may be absent.
void drvGetDateAndTime(uint32_t* date, uint32_t* time);
// The same; the milliseconds are always 0 here.
void drvGetDateAndTimeWithMsec(uint32_t* date, uint32_t* time, uint32_t* msec);
// The clock of the machine is not these programs' business: does nothing.
uint16_t drvSetDateAndTime(uint32_t date, uint32_t time);
// 8 bytes, each (random value modulo 256) + 1, cut to 8 bits; 253 without a buffer.
uint16_t drvRandom(uint8_t* bytes);
void drvGetStatusInfo(T_CUR_STATUS_INFO* record);

// Below the current folder: erasing a missing file is success; renaming to a
// name that equals the old one but for letter case does nothing; renaming
// replaces an existing target. 0 or 253.
uint16_t drvFileErase(const char* name);
uint16_t drvFileRename(const char* old_name, const char* new_name);
// Creates the folder (rights 0777); an existing folder is success. 0 or 253.
uint16_t drvCreateDirectory(const char* path);

}

// The non-wrapping counter behind the deadlines, in milliseconds.
uint64_t drvGetTimeMSec64();

// Moves both counters forward by the given milliseconds (tests only: lets a
// test stand just before the visible counter's wrap).
void drvShiftClockForTests(uint64_t milliseconds);
