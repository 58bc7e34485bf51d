#include "molvex/protocol/protocol_timings.h"

namespace {
ProtocolTimings g_timings;
}

ProtocolTimings& ProtocolTimingsForTests() { return g_timings; }
const ProtocolTimings& ProtocolTiming() { return g_timings; }
void ResetProtocolTimings() { g_timings = ProtocolTimings{}; }

void ScaleProtocolTimings(uint32_t divisor) {
  if (divisor <= 1) return;
  ProtocolTimings t;
  t.heartbeatMs /= divisor;
  t.pinpadRecoveryPauseMs /= divisor;
  t.pinpadRecoveryTestMs /= divisor;
  t.welcomeScreenMs /= divisor;
  t.welcomeTestMs /= divisor;
  t.welcomeTestPauseMs /= divisor;
  t.rebootDivisor = divisor;
  g_timings = t;
}
