// The message receiver and the request/reply exchange fed from arbitrary
// bytes: the PIN pad may send anything, and molvex answers with its result
// codes.
#include <cstdint>
#include <cstdlib>

#include "fake_port.h"
#include "molvex/link/message_link.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  uint8_t mode = data[0];
  AttachFuzzInput(data + 1, size - 1);
  bUseNewProtocol = (mode & 1) ? 0 : 12345;
  LongMessageDynamic reply;
  uint16_t result;
  if (mode & 2) {
    // A request first: the control bytes that answer its frames come from the input too.
    LongMessageDynamic request;
    request.allocate(600, 0);
    request.msg()->command = 0x50;
    request.msg()->length = (mode & 4) ? 600 : 6;
    result = tspMakeAMessageEx(kFuzzPort, 1, request.msg(), &reply, 0);
  } else {
    result = tspRecvNewMessage(kFuzzPort, &reply);
  }
  if (result != 0 && result != 99 && result != 238 && result != 251 && result != 253) std::abort();
  if (result == 0 && reply.msg()->length > reply.capacity()) std::abort();
  drvCloseComPort(kFuzzPort);
  return 0;
}
