// The PIN pad's final answer from arbitrary bytes: the first byte selects
// the layout path, the rest is the answer's data (a fixed record, or FF FE
// and a tagged list).
#include <cstddef>
#include <cstdint>
#include <string>

#include "molvex/protocol/msb_answer.h"
#include "molvex/protocol/ttk_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t* answer = data + 1;
  const size_t length = size - 1;
  DavizResult result;
  bool ok = false;
  bool hadRequestId = false;
  if (data[0] & 1) {
    // The tagged reader alone, whatever the marker says.
    DavizTtkReader reader(answer, length);
    result.Read(reader);
  } else {
    ReadFinalAnswer(answer, length, result, &ok, &hadRequestId);
  }
  // What the response file reads back from the result must stay in bounds too.
  std::string text = result.GetTagText(kResTagMessage, 31) + result.GetTagText(kResTagCardNumber, 64) +
                     result.GetTagText(kResTag5F32, 106) + result.GetHashAsString() +
                     DavizResultBase::Text(result.authCode) + DavizResultBase::Text(result.rrn) +
                     DavizResultBase::Text(result.terminalId) + DavizResultBase::Text(result.slipNumber);
  char uid[41];
  result.GetCardUid(uid, sizeof uid);
  return text.size() > 0xFFFFFF ? 1 : 0;
}
