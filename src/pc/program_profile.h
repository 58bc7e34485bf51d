// What differs between the programs that share these services: the log tag,
// the log file prefix and whether extended log categories exist.
#pragma once

struct PccProgramProfile {
  const char* log_tag;
  const char* log_prefix;
  bool extended_log;
  // Programs with a file-system layer of their own resolve unset folders
  // through it; the others through the folder last stored in slot 0 or 2.
};

extern const PccProgramProfile kMolvexProfile;   // "VLPILOT", "tarn", extended log
extern const PccProgramProfile kQuilletProfile;  // "DAVIZ", "tarn"
extern const PccProgramProfile kZordelProfile;   // "SCHEDLR", "zordel"

// Chosen once by each program's main, before anything is logged.
void pcc_SetProgramProfile(const PccProgramProfile& profile);
const PccProgramProfile& pcc_GetProgramProfile();
