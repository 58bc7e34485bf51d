// Command strings from the POS: whatever the text, the parser ends in a code
// and never writes past a field of the parameter record.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "molvex/front/model/command_line.h"
#include "molvex/front/model/operation_table.h"
#include "src/pc/report.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (EnableReportString(0), true);
  (void)quiet;
  const std::string text(reinterpret_cast<const char*>(data), size);
  DavizParams params;
  const uint16_t code = TranslateCmdLine(params, text.c_str());
  const T_DavizParams& record = params.OldStruct();
  Check(strnlen(record.track2, sizeof record.track2) < sizeof record.track2);
  Check(strnlen(record.rrn, sizeof record.rrn) < sizeof record.rrn);
  // Only a known operation that the POS may start gets through.
  if (code == 0) {
    Check(record.operation >= 1 && record.operation <= kMaxOperationCode);
    Check((davizGetOperation(record.operation).flags & kOperNotFromCommandLine) == 0);
  }
  if (const char* hmac = params.GetHmacId()) Check(std::strlen(hmac) <= 12);
  if (const char* loyalty = params.GetExtLoyaltyId()) Check(std::strlen(loyalty) <= 40);
  // A copy owns its own texts.
  DavizParams copy(params);
  Check(copy.ExtraDataLength() == params.ExtraDataLength());
  Check(std::memcmp(copy.ExtraData(), params.ExtraData(), params.ExtraDataLength()) == 0);
  Check(params.GetUrlOrOrderId() == nullptr || copy.GetUrlOrOrderId() != params.GetUrlOrOrderId());
  return 0;
}
