// Print templates from arbitrary bytes: the template up to the first zero
// byte, then name and value texts separated by zero bytes. Filling must
// stay inside its buffer, keep wrapped text within 400 bytes and leave
// text without fields unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "molvex/ui/print_template.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> parts(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0) {
      parts.emplace_back();
    } else {
      parts.back() += static_cast<char>(data[i]);
    }
  }
  T_Print_Info* info = termInitPrintInfo();
  if (info == nullptr) return 0;
  // Names are held by pointer: parts outlives the list.
  for (size_t i = 1; i + 1 < parts.size(); i += 2) {
    if (i % 4 == 1) {
      termAddPrintData(info, parts[i].c_str(), parts[i + 1].c_str());
    } else {
      termAddPrintVolData(info, parts[i].c_str(), parts[i + 1].c_str());
    }
  }
  const std::string& text = parts[0];
  std::string filled = ProcessPrintTemplate(text, info);
  if (text.find('<') == std::string::npos) Check(filled == text);

  T_Print_Params params{info, 0};
  for (size_t room : {size_t{1}, size_t{17}, size_t{401}}) {
    std::vector<char> buffer(room + 1, '\x7F');
    size_t n = text.size() < room - 1 ? text.size() : room - 1;
    std::memcpy(buffer.data(), text.data(), n);
    buffer[n] = '\0';
    termProcessPrintLine(buffer.data(), room, &params);
    Check(buffer[room] == '\x7F');             // nothing past the buffer
    Check(strnlen(buffer.data(), room) < room);  // always terminated inside it
  }
  termDonePrintInfo(info);
  return 0;
}
