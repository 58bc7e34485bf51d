#include "molvex/front/model/daviz_result.h"

#include <cstring>
#include <vector>

#include "common/byte_order.h"
#include "common/hex.h"

namespace {

constexpr size_t kHashSize = 20;

std::string Hex(const uint8_t* bytes, size_t len) {
  std::string text(len * 2, '\0');
  if (len != 0) common::BytesToHex(bytes, text.data(), len, common::kHexUpper);
  return text;
}

}  // namespace

char DavizEntryModeSymbol(uint32_t mode) {
  static constexpr char kSymbols[] = {'D', 'M', 'C', 'F', 'R', 'E', 'I', ' ', 'Q', 'B', 'L', 'P', 'T'};
  return mode < sizeof kSymbols ? kSymbols[mode] : ' ';
}

DavizResult::DavizResult() { Clear(); }

DavizResult::DavizResult(const DavizResult& other) : DavizResultBase(other), tags_(other.tags_) {}

DavizResult& DavizResult::operator=(const DavizResult& other) {
  if (this != &other) {
    DavizResultBase::operator=(other);
    tags_ = other.tags_;
  }
  return *this;
}

DavizResult::~DavizResult() = default;

void DavizResult::PrepareToResponse(uint16_t) {}

void DavizResult::Clear() {
  DavizResultBase& base = *this;
  std::memset(&base, 0, sizeof base);
  tags_.FreeData();
}

const uint8_t* DavizResult::GetTag(uint32_t tag, uint16_t& len) const {
  return MutableTags().GetBinaryPtr(tag, len);
}

bool DavizResult::HasTag(uint32_t tag) const {
  uint16_t len = 0;
  return GetTag(tag, len) != nullptr;
}

std::string DavizResult::GetTagText(uint32_t tag, size_t max) const {
  uint16_t len = 0;
  const uint8_t* value = GetTag(tag, len);
  if (value == nullptr) return std::string();
  size_t n = 0;
  while (n < len && n < max && value[n] != 0) ++n;
  return std::string(reinterpret_cast<const char*>(value), n);
}

bool DavizResult::SetTagText(uint32_t tag, const char* text, size_t max) {
  if (text == nullptr) return false;
  size_t n = strnlen(text, max);
  return tags_.SetTlvData(tag, text, static_cast<uint32_t>(n), static_cast<uint32_t>(max));
}

bool DavizResult::GetHash(uint8_t bytes[20]) const {
  uint16_t len = 0;
  const uint8_t* value = GetTag(kResTagCardHash, len);
  if (value != nullptr && len >= kHashSize) {
    std::memcpy(bytes, value, kHashSize);
    return true;
  }
  std::string text = GetTagText(kResTagCardHashText, 2 * kHashSize);
  if (text.size() != 2 * kHashSize) return false;
  return common::HexToBytes(text.c_str(), bytes, text.size()) == 0;
}

std::string DavizResult::GetHashAsString() const {
  uint16_t len = 0;
  const uint8_t* value = GetTag(kResTagCardHash, len);
  if (value != nullptr) return Hex(value, len < kHashSize ? len : kHashSize);
  return GetTagText(kResTagCardHashText, 2 * kHashSize);
}

char DavizResult::GetExtraHash(uint8_t* bytes, size_t size, size_t& len) const {
  len = 0;
  uint16_t tag_len = 0;
  const uint8_t* value = GetTag(kResTagExtraHash, tag_len);
  if (value == nullptr || tag_len == 0) return '0';
  const char type = static_cast<char>(value[0]);
  size_t wanted;
  switch (type) {
    case 'H': wanted = 64; break;
    case 'h':
    case 'N': wanted = 32; break;
    default: return '0';
  }
  size_t available = static_cast<size_t>(tag_len - 1);
  len = wanted < available ? wanted : available;
  if (len > size) len = size;
  if (len != 0 && bytes != nullptr) std::memcpy(bytes, value + 1, len);
  return type;
}

char DavizResult::GetExtraHashAsString(std::string& text) const {
  uint8_t bytes[64];
  size_t len = 0;
  char type = GetExtraHash(bytes, sizeof bytes, len);
  text = Hex(bytes, len);
  return type;
}

std::string DavizResult::GetTypedHashAsString() const {
  uint16_t type_len = 0;
  const uint8_t* type = GetTag(kResTagHashType, type_len);
  if (type == nullptr || type_len == 0) return std::string();
  size_t wanted = type[0] == 'h' ? 32 : type[0] == 'H' ? 64 : 0;
  if (wanted == 0) return std::string();
  uint16_t len = 0;
  const uint8_t* hash = GetTag(kResTagTypedHash, len);
  if (hash == nullptr) return std::string();
  return Hex(hash, len < wanted ? len : wanted);
}

bool DavizResult::GetCurrencyBCD(uint8_t bcd[2]) const {
  uint16_t len = 0;
  const uint8_t* value = GetTag(kResTagCurrency, len);
  if (value == nullptr || len < 2) return false;
  bcd[0] = value[0];
  bcd[1] = value[1];
  return true;
}

uint16_t DavizResult::GetCurrency() const {
  uint8_t bcd[2];
  if (!GetCurrencyBCD(bcd)) return 0;
  char text[4];
  common::termUnpackCurCode(text, bcd);
  uint16_t value = 0;
  for (const char* p = text; *p >= '0' && *p <= '9'; ++p) value = static_cast<uint16_t>(value * 10 + (*p - '0'));
  return value;
}

void DavizResult::SetCurrency(const char* text) {
  if (text == nullptr) return;
  uint8_t bcd[2];
  common::termPackCurCode(bcd, text);
  tags_.AddTagBinary(kResTagCurrency, bcd, sizeof bcd, common::TLV_REPLACE);
}

uint32_t DavizResult::GetHostFlags() const {
  return common::tlvDoGetTagValue(MutableTags(), kResTagHostFlags, 0);
}

void DavizResult::SetHostFlags(uint32_t value) { tags_.AddTagDword(kResTagHostFlags, value); }

uint32_t DavizResult::GetEntryMode() const {
  return common::tlvDoGetTagValue(MutableTags(), kResTagEntryMode, 0xFFFFFFFFu);
}

void DavizResult::SetEntryMode(uint32_t value) { tags_.AddTagDword(kResTagEntryMode, value); }

char DavizResult::GetEntryModeSymbol() const {
  uint16_t len = 0;
  const uint8_t* symbol = GetTag(kResTagEntrySymbol, len);
  if (symbol != nullptr && len != 0) return static_cast<char>(symbol[0]);
  return DavizEntryModeSymbol(GetEntryMode());
}

void DavizResult::GetCardUid(char* text, size_t size) const {
  if (text == nullptr || size == 0) return;
  uint16_t len = 0;
  const uint8_t* uid = GetTag(kResTagCardUid, len);
  size_t n = uid != nullptr ? (len < 20 ? len : 20) : 0;
  if (2 * n + 1 > size) n = (size - 1) / 2;
  if (n != 0) common::BytesToHex(uid, text, n, common::kHexUpper);
  text[2 * n] = '\0';
}

bool DavizResult::ReplaceTagsFromString(const char* hex, size_t len) {
  if (hex == nullptr || len % 2 != 0 || len / 2 > 0xFFFF) return false;
  std::vector<uint8_t> bytes(len / 2);
  if (common::HexToBytes(hex, bytes.data(), len) != 0) return false;
  common::T_TLV_Buffer list = common::TlvBufferOver(bytes.data(), static_cast<uint16_t>(bytes.size()));
  common::T_TLV_Item item;
  for (int found = common::FindFirstTag(list, item); found != 0; found = common::FindNextTag(list, item)) {
    tags_.AddTagBinary(item.tag, item.value, item.length, common::TLV_REPLACE);
  }
  return true;
}
