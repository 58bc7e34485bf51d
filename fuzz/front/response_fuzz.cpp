// Answers from the PIN pad: whatever the fixed fields and the tag store hold,
// the response file keeps exactly 33 lines.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "molvex/front/model/response_file.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Layout: the fixed fields, two bytes of UI mode, a host message, then the tag store.
  DavizResultBase fields;
  std::memset(&fields, 0, sizeof fields);
  size_t used = size < sizeof fields ? size : sizeof fields;
  if (used != 0) std::memcpy(&fields, data, used);
  uint16_t ui_mode = 0;
  if (size >= used + 2) {
    ui_mode = static_cast<uint16_t>(data[used] | (data[used + 1] << 8));
    used += 2;
  }
  HostMessage host;
  if (size > used) {
    size_t n = data[used] % 64;
    ++used;
    if (n > size - used) n = size - used;
    host.text.assign(reinterpret_cast<const char*>(data + used), n);
    used += n;
  }
  DavizResult result;
  static_cast<DavizResultBase&>(result) = fields;
  size_t tags = size - used;
  if (tags > 0xFFFF) tags = 0xFFFF;
  if (tags != 0) result.Tags().Assign(data + used, static_cast<uint16_t>(tags));

  const std::string text = BuildResponseText(result, host, ui_mode);
  int breaks = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      ++breaks;
      ++i;
    } else {
      Check(text[i] != '\r' && text[i] != '\n');
    }
  }
  Check(breaks == 32);
  return 0;
}
