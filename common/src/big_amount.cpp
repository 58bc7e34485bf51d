#include "common/big_amount.h"

#include <cstdio>
#include <cstring>

#include "common/amount.h"

namespace common {

void ClearBA(BigAmount& ba) { ba = BigAmount{}; }

namespace {

void AddParts(BigAmount& ba, uint32_t low, uint32_t high) {
  // low parts are both below the base, so their sum fits 32 bits.
  const uint32_t sum = ba.low % kBigAmountBase + low % kBigAmountBase;
  ba.low = sum % kBigAmountBase;
  ba.high += high + low / kBigAmountBase + sum / kBigAmountBase;
}

void SubParts(BigAmount& ba, uint32_t low, uint32_t high) {
  high += low / kBigAmountBase;
  low %= kBigAmountBase;
  uint32_t borrow = 0;
  if (ba.low < low) borrow = 1;
  if (ba.high < high || ba.high - high < borrow) {
    ClearBA(ba);
    return;
  }
  ba.high -= high + borrow;
  ba.low = ba.low + borrow * kBigAmountBase - low;
}

}  // namespace

void AddDWORDToBA(BigAmount& ba, uint32_t amount) {
  AddParts(ba, amount % kBigAmountBase, amount / kBigAmountBase);
}

void SubDWORDFromBA(BigAmount& ba, uint32_t amount) {
  SubParts(ba, amount % kBigAmountBase, amount / kBigAmountBase);
}

void AddBAToBA(BigAmount& ba, const BigAmount& other) { AddParts(ba, other.low, other.high); }

void SubBAFromBA(BigAmount& ba, const BigAmount& other) { SubParts(ba, other.low, other.high); }

uint32_t BAToDWORD(const BigAmount& ba) { return ba.high * kBigAmountBase + ba.low; }

BigAmount StringToBA(const char* digits, uint32_t len) {
  BigAmount ba;
  if (digits == nullptr) return ba;
  uint32_t lowDigits = len;
  if (len > 7) {
    const uint32_t high = StrToInt(digits, len - 7);
    ba.high = high == kBadAmount ? 0 : high;
    digits += len - 7;
    lowDigits = 7;
  }
  const uint32_t low = StrToInt(digits, lowDigits);
  if (low == kBadAmount) {
    ba.low = 0;
  } else {
    // More than 7 digits never reach here, so low already sits below the base.
    ba.low = low;
  }
  return ba;
}

size_t BAToStrSize(const BigAmount& ba, char* out, size_t outSize, int32_t minWidth) {
  if (out == nullptr || outSize == 0) return 0;
  char digits[kBAStrSize];
  std::snprintf(digits, sizeof digits, "%07u%07u", static_cast<unsigned>(ba.high),
                static_cast<unsigned>(ba.low % kBigAmountBase));
  const char* p = digits;
  while (*p == '0') ++p;
  size_t len = std::strlen(p);
  size_t pad = 0;
  if (minWidth > 0 && static_cast<size_t>(minWidth) > len) pad = static_cast<size_t>(minWidth) - len;
  size_t written = 0;
  for (; written < pad && written + 1 < outSize; ++written) out[written] = '0';
  for (size_t i = 0; i < len && written + 1 < outSize; ++i) out[written++] = p[i];
  out[written] = '\0';
  return written;
}

size_t BAToStr(const BigAmount& ba, char* out, int32_t minWidth) {
  const size_t room = minWidth > 0 && static_cast<size_t>(minWidth) + 1 > kBAStrSize
                          ? static_cast<size_t>(minWidth) + 1
                          : kBAStrSize;
  return BAToStrSize(ba, out, room, minWidth);
}

size_t BAToPrintableSize(const BigAmount& ba, char* out, size_t outSize, uint32_t decimals) {
  if (out == nullptr || outSize == 0) return 0;
  if (decimals == 0) decimals = 2;
  if (decimals > 20) decimals = 20;
  char digits[kBAStrSize + 24];
  const size_t len = BAToStrSize(ba, digits, sizeof digits, static_cast<int32_t>(decimals) + 1);
  const size_t intLen = len - decimals;
  size_t written = 0;
  for (size_t i = 0; i < len && written + 1 < outSize; ++i) {
    if (i == intLen) {
      out[written++] = '.';
      if (written + 1 >= outSize) break;
    }
    out[written++] = digits[i];
  }
  out[written] = '\0';
  return written;
}

size_t BAToPrintable(const BigAmount& ba, char* out, uint32_t decimals) {
  return BAToPrintableSize(ba, out, kBAPrintableSize, decimals);
}

}  // namespace common
