// Bringing the PIN pad up to date before an operation: its logo and its
// software (the PIN pad file loading installs the real jobs), and the
// daily report that goes with the totals.
#pragma once

#include <cstdint>

struct PinpadLoadJobs {
  uint16_t (*updateLogo)() = nullptr;
  uint16_t (*updateSoft)(char modelLetter) = nullptr;
};
void SetPinpadLoadJobs(const PinpadLoadJobs* jobs);  // nullptr: nothing to load

// 1 when something was loaded, otherwise 0.
uint16_t termUpdatePinpadLogo();
uint16_t termUpdatePinpadSoft(char modelLetter);

// Operation 36 through a temporary session; on success the cheque file is
// renamed after the answer's terminal identifier with nameFormat.
uint16_t GetPinpadDetailInfo(const char* nameFormat, char modelLetter, uint8_t capabilities);
// Before the totals: the daily report, when "DailyReport" names one.
uint16_t DoSpecificProcessingForTotals(char modelLetter, uint8_t capabilities);
