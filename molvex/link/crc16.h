// CRC-16/CCITT-FALSE (polynomial 0x1021, initial 0xFFFF, no reflection, no
// final XOR) by a 256-entry table, as every frame of the PIN pad link carries it.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pplink {

// The table: entry i is i shifted into the high byte and divided by the polynomial.
const uint16_t* Crc16Table();
uint16_t Crc16Ccitt(const uint8_t* data, size_t length, uint16_t crc = 0xFFFF);

}  // namespace pplink
