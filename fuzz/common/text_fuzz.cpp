// Amount texts and code-page conversions on arbitrary bytes: no wrap-around,
// no write past the destination, and agreement with a plain 64-bit reference.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "common/amount.h"
#include "common/big_amount.h"
#include "common/codepage.h"
#include "common/hex.h"

using namespace common;

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

// Digits only, no separator: the value as a 64-bit number, or -1 beyond 32 bits.
int64_t Reference(const std::string& s) {
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return -2;
    v = v * 10 + static_cast<uint64_t>(c - '0');
    if (v > 0xFFFFFFFFull) return -1;
  }
  return static_cast<int64_t>(v);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const uint32_t decimals = data[0] % 12;
  const size_t dstSize = data[1];
  const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::string ztext(text.c_str());  // up to the first zero byte

  const uint32_t amount = StrToValueExp(ztext.c_str(), decimals);
  const int64_t ref = Reference(ztext);
  if (ref == -1) Check(amount == kBadAmount);
  if (ref >= 0) Check(amount == static_cast<uint32_t>(ref));
  (void)StrToInt(ztext.c_str(), static_cast<uint32_t>(ztext.size() % 12));

  BigAmount ba = StringToBA(ztext.c_str(), static_cast<uint32_t>(ztext.size() > 17 ? 17 : ztext.size()));
  AddDWORDToBA(ba, amount);
  SubDWORDFromBA(ba, amount / 3);
  Check(ba.low < kBigAmountBase);
  char printable[kBAPrintableSize];
  BAToPrintable(ba, printable, decimals);
  Check(std::strlen(printable) < kBAPrintableSize);

  // Destinations sized exactly, so a write past them is caught.
  for (int mode = 0; mode <= 3; ++mode) {
    auto dst = std::make_unique<char[]>(dstSize == 0 ? 1 : dstSize);
    const size_t n = cp866TranslateEx(dst.get(), dstSize, text.data(), text.size(), mode);
    if (dstSize != 0) Check(n < dstSize && dst[n] == '\0');
    auto zdst = std::make_unique<char[]>(dstSize == 0 ? 1 : dstSize);
    cp866Translate(zdst.get(), ztext.c_str(), dstSize, mode);
  }
  {
    auto dst = std::make_unique<char[]>(dstSize == 0 ? 1 : dstSize);
    const size_t n = UTF8Tocp866Size(dst.get(), text.data(), text.size(), dstSize);
    if (dstSize != 0) Check(n < dstSize && dst[n] == '\0');
    UTF8Tocp866(dst.get(), ztext.c_str(), dstSize);
  }
  std::string inplace = ztext;
  ConvertCountOfFrom866To1251(inplace.data(), static_cast<int32_t>(data[1]) - 128);
  ConvertFrom1251To866(inplace.data());
  char utf8[3];
  Check(UnicodeCharToUtf8Char(static_cast<uint16_t>(data[0] << 8 | data[1]), utf8, sizeof utf8) <= 3);

  auto bytes = std::make_unique<uint8_t[]>(text.size() / 2 + 1);
  Check(HexToBytes(text.data(), bytes.get(), text.size()) <= text.size());
  return 0;
}
