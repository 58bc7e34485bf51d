// The PIN pad's answer to the readiness command (0x50): the ASCII record the
// PC reads the PIN pad's properties from.
#pragma once

#include <cstdint>
#include <string>

namespace pinpadsim {

struct ReadinessRecord {
  std::string identifier = "BGS0000001";  // 10 characters; "BGS..." is kept by the PC
  char modelLetter = 'S';
  bool flags[3] = {true, false, true};
  int versionMajor = 21;  // the protocol level: above 15 the current framing is spoken
  int versionMinor = 1;
  int versionBuild = 0;
  std::string serial = "SIM000000001";
  std::string modelName = "SIM PINPAD";
  int statusTimeoutSeconds = 0;
  char capabilityDigit = '3';
  char functionDigit = '1';
  int number4a = 0;
  int number4b = 0;
};

std::string BuildReadinessRecord(const ReadinessRecord& record);

}  // namespace pinpadsim
