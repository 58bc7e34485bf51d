#include "src/pc/param_args.h"

#include <cstring>
#include <string>
#include <vector>

#include "src/pc/paths.h"

extern "C" char* pcc_RemoveQuotes(char* text) {
  if (text == nullptr || text[0] != '"') return text;
  size_t len = std::strlen(text);
  std::memmove(text, text + 1, len);  // the terminating zero moves along
  // The closing quote is assumed to be the last character; a lone quote
  // leaves nothing to drop.
  if (len >= 2) text[len - 2] = '\0';
  return text;
}

extern "C" void pcc_GetParamArgs(int count, char* const arguments[]) {
  const char* found = nullptr;
  for (int i = 1; i < count && arguments != nullptr; ++i) {
    if (arguments[i] != nullptr && std::strncmp(arguments[i], "/f=", 3) == 0) found = arguments[i] + 3;
  }
  if (found == nullptr) {
    pcc_IniDirectory(nullptr);
    return;
  }
  std::vector<char> value(found, found + std::strlen(found) + 1);
  pcc_IniDirectory(pcc_RemoveQuotes(value.data()));
}
