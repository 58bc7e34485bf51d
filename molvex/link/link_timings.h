// The long waits of the link that tests shorten; the program never changes them.
#pragma once

#include <cstdint>

struct LinkTimings {
  uint32_t frameAckMs = 1500;        // a sent data frame waits this long for its control byte
  uint32_t readinessReplyMs = 3000;  // the readiness command's reply
  uint32_t pinpadWaitMs = 10000;     // waiting for the PIN pad at the start of an operation
  uint32_t pinpadRetryMs = 400;
  uint32_t speedSettleMs = 1500;     // after a speed change
  uint32_t restartWaitMs = 10000;    // after a restart
};
LinkTimings& LinkTimingsForTests();
