#include "molvex/protocol/ttk_reader.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <vector>

#include "common/tlv.h"

namespace {

constexpr uint16_t kMalformed = 4104;
constexpr uint16_t kNoTags = 253;

const uint32_t kPassThrough[] = {0x17,   0x89,   0x8F,   0xA0,   0x5F04, 0x5F05, 0x5F09, 0x5F0E, 0x5F10, 0x5F2A,
                                 0x5F32, 0x5F36, 0x5F39, 0x5F42, 0x5F49, 0x5F4E, 0x5F51, 0x5F52, 0x5F55, 0x5F58,
                                 0x5F59, 0x5F5A, 0x5F61, 0x5F63, 0x5F67, 0x5F69, 0x5F70, 0x5F72, 0x5F74, 0x9F24};

bool IsPassThrough(uint32_t tag) {
  for (uint32_t t : kPassThrough) {
    if (t == tag) return true;
  }
  return false;
}

// Leading decimal digits of a text value (at most 10 of them).
uint32_t DecimalValue(const common::T_TLV_Item& item) {
  uint64_t value = 0;
  for (uint16_t i = 0; i < item.length && i < 10; ++i) {
    uint8_t c = item.value[i];
    if (c < '0' || c > '9') break;
    value = value * 10 + (c - '0');
  }
  return value > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(value);
}

uint32_t NumberValue(const common::T_TLV_Item& item) { return common::tlvDoGetTagDWORD(item, 0); }

uint32_t TwoDigits(const common::T_TLV_Item& item, uint16_t at) {
  if (item.length < at + 2) return 0;
  uint8_t a = item.value[at], b = item.value[at + 1];
  if (a < '0' || a > '9' || b < '0' || b > '9') return 0;
  return static_cast<uint32_t>((a - '0') * 10 + (b - '0'));
}

// A text value into a fixed field, at most max characters.
template <size_t N>
void TextInto(char (&field)[N], const common::T_TLV_Item& item, size_t max) {
  char text[N];
  size_t n = item.length;
  if (n > max) n = max;
  if (n > N - 1) n = N - 1;
  std::memcpy(text, item.value, n);
  text[n] = '\0';
  DavizResultBase::SetText(field, text);
}

int HexDigit(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

uint16_t TtkResponseCode(const uint8_t* text, size_t length) {
  if (length < 2) return kMalformed;
  const uint8_t a = text[0], b = text[1];
  if (a == '0' && b == '0') return 0;
  if (a >= '0' && a <= '9' && b >= '0' && b <= '9') return static_cast<uint16_t>(4400 + (a - '0') * 10 + (b - '0'));
  if ((a == 'U' && b == 'N') || (a == 'F' && b == 'D')) return 4172;
  if (a == 'C' && b == 'E') return 4119;
  if (a == '1' && b == 'F') return 4134;
  if (a == 'B' && b == '4') return 4118;
  int high = HexDigit(a), low = HexDigit(b);
  if (high >= 0 && low >= 0) return static_cast<uint16_t>(4400 + high * 16 + low);
  return kMalformed;
}

void DavizTtkReader::Read(DavizResult& result) {
  ok_ = false;
  hadRequestId_ = false;
  if (tlv_ == nullptr || length_ == 0) {
    result.SetResultCode(kNoTags);
    return;
  }
  // The list is read from a copy: the TLV helpers take a writable buffer.
  std::vector<uint8_t> copy(tlv_, tlv_ + (length_ > 0xFFFF ? 0xFFFF : length_));
  common::T_TLV_Buffer buffer = common::TlvBufferOver(copy.data(), static_cast<uint16_t>(copy.size()));
  common::T_TLV_Item item;
  bool haveCode = false;
  uint16_t code = kMalformed;
  for (int found = common::FindFirstTag(buffer, item); found; found = common::FindNextTag(buffer, item)) {
    ok_ = true;
    const uint32_t tag = item.tag;
    if (IsPassThrough(tag)) {
      result.Tags().SetTlvData(tag, item.value, item.length, item.length);
      continue;
    }
    switch (tag) {
      case 0x84: result.amount = DecimalValue(item); break;
      case 0x8B: {
        char text[16];
        std::snprintf(text, sizeof text, "%04u", static_cast<unsigned>(DecimalValue(item) % 10000));
        DavizResultBase::SetText(result.slipNumber, text);
        break;
      }
      case 0x8C: TextInto(result.authCode, item, 6); break;
      case 0x8D: {
        const time_t now = std::time(nullptr);
        tm parts{};
        localtime_r(&now, &parts);
        const uint32_t year = static_cast<uint32_t>(parts.tm_year + 1900);
        result.date = year * 10000 + TwoDigits(item, 2) * 100 + TwoDigits(item, 0);
        break;
      }
      case 0x8E: result.time = TwoDigits(item, 0) * 10000 + TwoDigits(item, 2) * 100; break;
      case 0x90: TextInto(result.textB, item, 12); break;
      case 0x98: TextInto(result.rrn, item, 12); break;
      case 0x9B:
        if (!haveCode && item.length >= 2) {
          code = TtkResponseCode(item.value, item.length);
          haveCode = true;
        }
        break;
      case 0x9D: TextInto(result.terminalId, item, 8); break;
      case 0xA3: {
        if (item.length < 40) break;
        uint8_t hash[20];
        bool good = true;
        for (int i = 0; i < 20 && good; ++i) {
          int h = HexDigit(item.value[2 * i]), l = HexDigit(item.value[2 * i + 1]);
          good = h >= 0 && l >= 0;
          hash[i] = static_cast<uint8_t>(h * 16 + l);
        }
        if (good) result.Tags().SetTlvData(kResTagCardHash, hash, sizeof hash, sizeof hash);
        break;
      }
      case 0xA4: result.flagByte = static_cast<uint8_t>(DecimalValue(item)); break;
      case 0xA5:
        if (!haveCode) {
          code = static_cast<uint16_t>(DecimalValue(item));
          haveCode = true;
        }
        break;
      case 0x5F03: result.numberE = DecimalValue(item); break;
      case 0x5F06: TextInto(result.text6, item, 5); break;
      case 0x5F07: result.answerOperation = static_cast<uint8_t>(DecimalValue(item)); break;
      case 0x5F0A:
        result.requestId = NumberValue(item);
        hadRequestId_ = true;
        break;
      case 0x5F0C: result.operationFlags = NumberValue(item); break;
      case 0x5F0D: result.cardTypeId = static_cast<uint8_t>(NumberValue(item)); break;
      case 0x5F33: result.numberC = DecimalValue(item); break;
      case 0x5F34: result.amount = NumberValue(item); break;
      case 0x5F35: result.numberC = NumberValue(item); break;
      case 0x5F37: result.date = NumberValue(item); break;
      case 0x5F38: result.time = NumberValue(item); break;
      case 0x5F40: result.numberD = static_cast<uint16_t>(NumberValue(item)); break;
      default: break;
    }
  }
  result.SetResultCode(ok_ ? code : kNoTags);
}
