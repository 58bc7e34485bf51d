#include "molvex/link/crc16.h"

#include <array>

namespace pplink {

namespace {

constexpr std::array<uint16_t, 256> MakeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned i = 0; i < 256; ++i) {
    uint16_t value = static_cast<uint16_t>(i << 8);
    for (int bit = 0; bit < 8; ++bit) {
      value = (value & 0x8000) ? static_cast<uint16_t>((value << 1) ^ 0x1021) : static_cast<uint16_t>(value << 1);
    }
    table[i] = value;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = MakeTable();
static_assert(kTable[1] == 0x1021);

}  // namespace

const uint16_t* Crc16Table() { return kTable.data(); }

uint16_t Crc16Ccitt(const uint8_t* data, size_t length, uint16_t crc) {
  for (size_t i = 0; i < length; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ kTable[((crc >> 8) ^ data[i]) & 0xFF]);
  }
  return crc;
}

}  // namespace pplink
