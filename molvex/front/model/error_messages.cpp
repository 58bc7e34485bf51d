#include "molvex/front/model/error_messages.h"

namespace {

ErrorMessageLookup g_lookup = nullptr;

// "Операция отклонена" in cp866, the code page of every text inside molvex.
constexpr char kDeclined[] =
    "\x8e\xaf\xa5\xe0\xa0\xe6\xa8\xef\x20\xae\xe2\xaa\xab\xae\xad\xa5\xad\xa0";

}  // namespace

void SetErrorMessageLookup(ErrorMessageLookup lookup) { g_lookup = lookup; }

std::string termGetErrorMsg(uint16_t code) {
  std::string text;
  if (g_lookup != nullptr && g_lookup(code, text)) return text;
  if (code >= 4400 && code <= 4499) return kDeclined;
  return std::string();
}
