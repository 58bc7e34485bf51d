// The slave services reach a few things that live above them or outside the
// PC: the command session's heartbeat, the signature picture writer, the
// device information block and a magnetic card reader. Each is a hook that
// its owner installs; without one the service answers as described here.
#pragma once

#include <cstdint>
#include <functional>

// The command session's SetHeartBeatTimeout(status, ms); none: the heartbeat
// data are taken and dropped.
using SlvHeartBeatHook = std::function<void(uint8_t status, uint32_t ms)>;
void slvSetHeartBeatHook(SlvHeartBeatHook hook);

// Writes a finished signature picture: the 34-byte header and the point
// data; 0 or an error code. None: signatures answer 252 (not supported).
using SlvSignatureSink = std::function<uint16_t(const uint8_t* header, const uint8_t* points, uint32_t count)>;
void slvSetSignatureSink(SlvSignatureSink sink);

// Fills the device information block (at most size bytes, wrapped in the
// container tag when it is not 0) and returns its length. None: empty block.
using SlvMonitoringInfo = std::function<uint32_t(uint8_t* output, uint32_t size, uint32_t containerTag)>;
void slvSetMonitoringInfo(SlvMonitoringInfo info);

// A magnetic card reader. The PC has none of its own: without one the
// reader opens and closes with 0 and never reports a card.
struct SlvMagneticReader {
  std::function<uint16_t()> open;
  std::function<void()> close;
  // 0 when a card was read; the three tracks are then filled (zero-ended,
  // at most the given sizes).
  std::function<uint16_t(char* track1, uint32_t size1, char* track2, uint32_t size2, char* track3,
                         uint32_t size3)>
      test;
};
void slvSetMagneticReader(SlvMagneticReader reader);

// Sounds the error beep (true) or the "OK" beep. None: the terminal bell.
using SlvBeeper = std::function<void(bool error)>;
void slvSetBeeper(SlvBeeper beeper);

// Drops every installed hook (tests only).
void slvResetHooksForTests();

// What the services call (internal to the layer).
namespace slvhooks {
void HeartBeat(uint8_t status, uint32_t ms);
bool HasSignatureSink();
uint16_t SaveSignature(const uint8_t* header, const uint8_t* points, uint32_t count);
uint32_t MonitoringInfo(uint8_t* output, uint32_t size, uint32_t containerTag);
uint16_t drvOpenMagnReader();
void drvCloseMagnReader();
uint16_t drvTestMagnCard(char* track1, uint32_t size1, char* track2, uint32_t size2, char* track3, uint32_t size3);
void Beep(bool error);
}  // namespace slvhooks
