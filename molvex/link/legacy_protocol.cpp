#include "molvex/link/legacy_protocol.h"

#include <vector>

#include "molvex/link/frame_codec.h"
#include "molvex/link/frame_receiver.h"
#include "molvex/link/message_link.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/msec_counter.h"

namespace {

// A peer that keeps asking for the same piece cannot hold the link forever.
constexpr int kMaxRepeats = 16;

bool WriteAll(int8_t port, const std::vector<uint8_t>& frame) {
  int32_t written = drvSendData(port, frame.data(), static_cast<uint32_t>(frame.size()));
  return written == static_cast<int32_t>(frame.size());
}

}  // namespace

uint8_t tspSendFrameMSB(int8_t port, bool waitReply, const uint8_t* payload, uint32_t n) {
  std::vector<uint8_t> frame;
  pplink::MakeLegacyFrame(payload, n, frame);
  if (!WriteAll(port, frame)) return 0;
  if (!waitReply) return 4;
  int repeats = 0;
  drv_deadline_t deadline = drvSetTimer(kMessageTimerMs);
  for (;;) {
    if (drvCheckTimer(deadline)) return 0;
    MsbFrameBuffer buffer;
    uint8_t reply[pplink::kFrameWorkArea];
    uint32_t length = 0;
    uint8_t type = 0;
    int result = tspNewRecvNewFrame(port, reply, sizeof reply, &length, &type, &buffer);
    if (result == kFrameNothing) continue;
    if (result == kFrameLegacyOk && length > 2) {
      if (reply[0] == kLegacyNext) return 6;
      if ((reply[0] == kLegacyRepeat || reply[0] == 0x04) && ++repeats <= kMaxRepeats) {
        if (!WriteAll(port, frame)) return 0;
        deadline = drvSetTimer(kMessageTimerMs);
        continue;
      }
    }
    return 0;
  }
}

void tspSendSimpleMSBcode(int8_t port, uint8_t code) {
  const uint8_t message[3] = {code, 0, 0};
  tspSendFrameMSB(port, false, message, sizeof message);
}
