// Default message texts for result codes.
#pragma once

#include <cstdint>
#include <string>

// The message tables loaded from the PIN pad belong to the screen layer; it
// installs a lookup here. The lookup answers true with the cp866 text of a
// code it knows.
using ErrorMessageLookup = bool (*)(uint16_t code, std::string& text);
void SetErrorMessageLookup(ErrorMessageLookup lookup);  // nullptr: none

// The text for a code (cp866): the loaded message, else "Операция отклонена"
// for host declines (4400 to 4499), else "".
std::string termGetErrorMsg(uint16_t code);
