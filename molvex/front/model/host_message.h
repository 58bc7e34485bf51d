// The host's message that the PIN pad asked the PC to keep during the
// operation ("hmsg.d" in the current folder), taken up by the response file.
#pragma once

#include <cstdint>
#include <string>

struct HostMessage {
  int32_t number1 = 0;
  int32_t number2 = 0;
  std::string text;  // cp866, carriage returns and line feeds replaced
};

// Reads "hmsg.d" and deletes it. A missing or short file gives the numbers
// 0 and an empty text.
HostMessage TakeHostMessage(char separator = '|');
