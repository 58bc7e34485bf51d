// The frame receiver fed from arbitrary bytes: it must never write past the
// room it is offered, whatever the frames look like.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "fake_port.h"
#include "molvex/link/frame_receiver.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // The first byte chooses the room offered.
  uint32_t room = static_cast<uint32_t>(data[0]) * 2;
  AttachFuzzInput(data + 1, size - 1);
  std::vector<uint8_t> out(room);  // exactly the room: anything beyond is caught by the sanitizer
  for (int frames = 0; frames < 64; ++frames) {
    MsbFrameBuffer buffer;
    uint32_t length = 0;
    uint8_t type = 0;
    int result = tspNewRecvNewFrame(kFuzzPort, out.data(), room, &length, &type, &buffer);
    if (result == kFramePortError) break;
    if (result >= 0 && length > room) std::abort();
    if (result > 255) std::abort();
  }
  drvCloseComPort(kFuzzPort);
  return 0;
}
