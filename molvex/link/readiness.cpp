#include "molvex/link/readiness.h"

#include <algorithm>
#include <cstring>

namespace {

// A decimal number of width characters at offset (0 when outside the data).
int Decimal(const uint8_t* data, size_t length, size_t offset, size_t width) {
  int value = 0;
  for (size_t i = offset; i < offset + width && i < length; ++i) {
    if (data[i] < '0' || data[i] > '9') break;
    value = value * 10 + (data[i] - '0');
  }
  return value;
}

uint8_t CapabilityFlags(uint8_t digit) {
  switch (digit) {
    case '0': return 0;
    case '1': return 1;
    case '2': return 3;
    case '3': return 7;
    default: return 15;
  }
}

}  // namespace

void ParsePinpadReadiness(const uint8_t* data, size_t length, T_PinpadProperties* p) {
  *p = T_PinpadProperties{};
  if (length >= 10 && std::memcmp(data, "BGS", 3) == 0) {
    std::memcpy(p->identifier, data, 10);
    p->identifier[10] = '\0';
  }
  if (length > 10) p->modelLetter = static_cast<char>(data[10]);
  if (length > 11) p->flags[0] = data[11] == 'Y';
  if (length > 13) p->flags[1] = data[13] == 'Y';
  if (length > 14) p->flags[2] = data[14] == 'Y';
  p->versionMajor = Decimal(data, length, 16, 2);
  p->versionMinor = Decimal(data, length, 19, 2);
  p->versionBuild = Decimal(data, length, 22, 2);
  p->digit1 = Decimal(data, length, 31, 1);
  p->digit2 = Decimal(data, length, 32, 1);
  p->number5 = Decimal(data, length, 34, 5);
  if (length > 46) std::memcpy(p->serial, data + 46, std::min<size_t>(12, length - 46));
  p->number2a = Decimal(data, length, 58, 2);
  p->number2b = Decimal(data, length, 60, 2);
  p->number4 = Decimal(data, length, 62, 4);
  if (length <= 66) return;

  const uint8_t* name = data + 66;
  size_t rest = length - 66;
  size_t end = rest;
  for (size_t i = 0; i + 3 <= rest; ++i) {
    if (name[i] == '=' && name[i + 1] == '*' && name[i + 2] == '=') {
      end = i;
      break;
    }
  }
  std::memcpy(p->modelName, name, std::min<size_t>(end, 21));
  if (end == rest) return;

  size_t at = 66 + end + 3;
  if (at + 3 > length) return;
  p->statusTimeoutSeconds = Decimal(data, length, at, 3);
  at += 3;
  if (at + 1 > length) return;
  p->capabilities = CapabilityFlags(data[at]);
  at += 1;
  if (at + 1 > length) return;
  p->answersFunctionQuestions = data[at] > '0' && data[at] <= '9';
  at += 1;
  if (at + 8 > length) return;
  p->number4a = Decimal(data, length, at, 4);
  p->number4b = Decimal(data, length, at + 4, 4);
  at += 8;
  if (at + 64 > length) return;
  std::memcpy(p->block, data + at, 64);
  p->hasBlock = true;
}
