#include "molvex/front/model/host_message.h"

#include <unistd.h>

#include "common/byte_order.h"
#include "molvex/front/model/small_file.h"
#include "src/pc/paths.h"

namespace {

// Two 32-bit numbers and a zero-terminated text of up to 196 bytes.
constexpr size_t kHostMessageSize = 204;
constexpr size_t kNumbersSize = 8;

}  // namespace

HostMessage TakeHostMessage(char separator) {
  HostMessage message;
  const std::string name = pcc_MakeFullPath("hmsg.d", PathToCurrent);
  SmallFile file = ReadSmallFile(name.c_str(), kHostMessageSize);
  unlink(name.c_str());
  if (file.bytes.size() < kNumbersSize) return message;
  const auto* bytes = reinterpret_cast<const uint8_t*>(file.bytes.data());
  message.number1 = static_cast<int32_t>(common::MSB_DWORD(bytes));
  message.number2 = static_cast<int32_t>(common::MSB_DWORD(bytes + 4));
  for (size_t i = kNumbersSize; i < file.bytes.size() && file.bytes[i] != '\0'; ++i) {
    char c = file.bytes[i];
    message.text.push_back(c == '\r' || c == '\n' ? separator : c);
  }
  return message;
}
