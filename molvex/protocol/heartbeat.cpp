#include "molvex/protocol/heartbeat.h"

#include "molvex/protocol/protocol_timings.h"
#include "src/pc/report.h"

HeartBeatObject& HeartBeatObject::Instance() {
  static HeartBeatObject object;
  return object;
}

void HeartBeatObject::ResetForTests() { *this = HeartBeatObject{}; }

void HeartBeatObject::SetHeartBeatLostSeconds(int32_t seconds) {
  if (seconds < 0) seconds = 0;
  ReportString("WaitPinpadSeconds=%d", seconds);
  lostLimitMs_ = static_cast<uint32_t>(seconds) * 1000u;
  TouchLast();
}

void HeartBeatObject::SetHeartBeatTimeout(uint8_t status, uint32_t ms) {
  TouchLast();
  if (dynamic_) timeoutMs_ = ms;
  ReportString("Status %d. Timeout %d. Dynamic tmo:%s", status, static_cast<int>(ms), dynamic_ ? "on" : "off");
}
