// The schedule of the one command the cash desk runs by itself (a daily time
// or a period in minutes), read from "ScheduledTime"/"ScheduledCommand".
// Times of day are packed decimals HHMMSS of the local time.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// All characters decimal digits: their value (minutes of a period).
bool ParseAsPeriodInSeconds(const char* text, int32_t* out);
// "%d:%d:%d", each number modulo 256: the packed time of day.
bool ReadTimeAsSeconds(const char* text, int32_t* out);
// A time of day: that time minus the current local time of day, in signed seconds.
bool ParseAsCurrentTimeDifferenceInSeconds(const char* text, int32_t* out);

// Signed difference a - b of two packed times, itself packed with its sign.
int32_t auxDiffTime(int32_t a, int32_t b);
// A signed packed time as signed seconds.
int32_t auxTimeToSeconds(int32_t packed);

// 0 with the command and the delay in seconds; 101 when either key is empty;
// 249 when ScheduledTime is neither a period nor a time of day.
int pcc_ReadIniScheduledCommand(char* command, size_t command_size, int32_t* delay);
bool pcc_IsScheduledRDLReqired(const char* command);
// Whether this run of operation 7 is the scheduled one (see the window rules).
bool pcc_IsTimeForRDL();
bool IsSupportedCommand(const char* command);

// One wait for the schedule, the command read into command: 1 after the wait,
// 3 without a schedule, -1 for an invalid time, -2 for an unsupported command.
int pcc_StartRemoteDownload(char* command, size_t command_size);
// Runs program with the scheduled command each time the schedule comes due,
// until the schedule is removed or invalid; returns the result that ended it.
int pcc_ScheduleIniFileCommandBy(const char* program);

}

// The local time of day, packed. Replaceable so that tests can choose the moment.
using PccTimeOfDaySource = int32_t (*)();
int32_t pcc_CurrentTimeOfDay();
void pcc_SetTimeOfDaySourceForTests(PccTimeOfDaySource source);  // nullptr: the real clock

// How the scheduler sleeps (the waits for the schedule and the pause between
// cycles). Replaceable so that tests need not sit through real minutes.
using PccScheduleSleeper = void (*)(uint64_t milliseconds);
void pcc_SetScheduleSleeper(PccScheduleSleeper sleeper);  // nullptr: really sleep
