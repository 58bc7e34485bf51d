#include "molvex/front/run/command_string.h"

#include <cstring>

CommandString BuildCommandString(int argc, const char* const argv[]) {
  CommandString result;
  for (int i = 1; i < argc; ++i) {
    std::string piece = argv[i];
    if (std::strchr(argv[i], ' ') != nullptr) piece = "\"" + piece + "\"";
    piece.push_back(' ');
    if (result.text.size() + piece.size() > kMaxCommandString) {
      result.complete = false;
      break;
    }
    result.text += piece;
  }
  return result;
}
