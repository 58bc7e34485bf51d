// The result code of the last operation run in this process, for the parts
// that must know afterwards whether it succeeded.
#pragma once

#include <cstdint>

uint16_t& LastError();
