// The long waits of the command protocol in one place, so that tests can
// shorten them without sitting through them.
#pragma once

#include <cstdint>

struct ProtocolTimings {
  uint32_t heartbeatMs = 140000;        // the PIN pad must show a sign of life within it
  uint32_t pinpadRecoveryPauseMs = 1000;  // before the PIN pad is tested again after a failed operation
  uint32_t pinpadRecoveryTestMs = 8000;
  uint32_t welcomeScreenMs = 35000;     // a PIN pad that rebooted during an operation shows its welcome screen
  uint32_t welcomeTestMs = 35000;
  uint32_t welcomeTestPauseMs = 1000;
  // The reconnection after a reboot: every wait of it is divided by this.
  uint32_t rebootDivisor = 1;
};

// The timings in use; tests may change them and restore them with ResetProtocolTimings.
ProtocolTimings& ProtocolTimingsForTests();
const ProtocolTimings& ProtocolTiming();
void ResetProtocolTimings();
// Divides every long wait by divisor (1: the real waits). Used by the
// end-to-end tests through the environment of the program.
void ScaleProtocolTimings(uint32_t divisor);
