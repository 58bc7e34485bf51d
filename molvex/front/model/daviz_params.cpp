#include "molvex/front/model/daviz_params.h"

#include <cstring>

#include "common/byte_order.h"
#include "common/hex.h"
#include "common/tlv.h"
#include "molvex/front/model/operation_table.h"
#include "molvex/platform/msec_counter.h"

namespace {

constexpr uint32_t kTagCurrency = 0x5F2A;
constexpr uint32_t kTagAdditionalAmount = 0xDF50;
constexpr uint32_t kTagInputTextLength = 0xDF3B;
constexpr uint32_t kTagBasketId = 0x5F56;
constexpr uint32_t kTagSrcBasketId = 0x5F57;
constexpr uint32_t kTagWaitBestshot = 0xDF55;
constexpr uint32_t kTagBiometry = 0x5F53;

// Bounded copy of at most max characters and a terminating zero.
void CopyField(char* field, size_t fieldSize, const char* text, size_t len) {
  if (fieldSize == 0) return;
  size_t n = 0;
  if (text != nullptr) {
    const size_t max = len < fieldSize - 1 ? len : fieldSize - 1;
    while (n < max && text[n] != '\0') ++n;
    std::memcpy(field, text, n);
  }
  std::memset(field + n, 0, fieldSize - n);
}

}  // namespace

DavizParams::DavizParams() { Clear(); }

DavizParams::DavizParams(const DavizParams& other) : T_DavizParams(other) {
  for (int i = 0; i < kTextSlots; ++i) {
    if (other.texts_[i] == nullptr) continue;
    // The merchant cheque may hold zero bytes inside; it is copied whole.
    const char* src = other.texts_[i].get();
    size_t len = i == kMerchantCheque ? other.merchant_cheque_length_ : std::strlen(src);
    texts_[i] = std::make_unique<char[]>(len + 1);
    std::memcpy(texts_[i].get(), src, len);
    texts_[i][len] = '\0';
  }
  merchant_cheque_length_ = other.merchant_cheque_length_;
  SyncTextPointers();
}

DavizParams& DavizParams::operator=(const DavizParams& other) {
  if (this != &other) {
    DavizParams copy(other);
    T_DavizParams::operator=(copy);
    for (int i = 0; i < kTextSlots; ++i) texts_[i] = std::move(copy.texts_[i]);
    merchant_cheque_length_ = copy.merchant_cheque_length_;
    SyncTextPointers();
  }
  return *this;
}

DavizParams::~DavizParams() = default;

void DavizParams::Clear() {
  T_DavizParams& record = *this;
  std::memset(&record, 0, sizeof record);
  for (auto& text : texts_) text.reset();
  merchant_cheque_length_ = 0;
  SyncTextPointers();
}

char*& DavizParams::TextPointer(TextSlot slot) {
  switch (slot) {
    case kScreenText: return screenText;
    case kPassportData: return passportData;
    case kCashierFio: return cashierFio;
    case kUrlOrOrderId: return urlOrOrderId;
    case kJsonText: return jsonText;
    case kHmacId: return hmacId;
    case kTipsEmployeeId: return tipsEmployeeId;
    case kExtLoyaltyId: return extLoyaltyId;
    case kTurnstileNumber: return turnstileNumber;
    case kVestibuleCode: return vestibuleCode;
    case kMerchantCheque:
    case kTextSlots: break;
  }
  return merchantCheque;
}

void DavizParams::SyncTextPointers() {
  for (int i = 0; i < kTextSlots; ++i) TextPointer(static_cast<TextSlot>(i)) = texts_[i].get();
}

void DavizParams::SetText(TextSlot slot, const char* text, size_t len) {
  texts_[slot].reset();
  if (text != nullptr) {
    size_t n = 0;
    while (n < len && text[n] != '\0') ++n;
    texts_[slot] = std::make_unique<char[]>(n + 1);
    std::memcpy(texts_[slot].get(), text, n);
    texts_[slot][n] = '\0';
  }
  TextPointer(slot) = texts_[slot].get();
}

void DavizParams::SetScreenText(const char* text) { SetText(kScreenText, text, SIZE_MAX); }
void DavizParams::SetPassportData(const char* text) { SetText(kPassportData, text, SIZE_MAX); }
void DavizParams::SetCashierFIO(const char* text) { SetText(kCashierFio, text, SIZE_MAX); }
void DavizParams::AddOwnCardFlags(uint32_t bits) { ownCardFlags |= bits; }
void DavizParams::SetUrlOrOrderId(const char* text, size_t len) { SetText(kUrlOrOrderId, text, len); }
void DavizParams::SetJsonText(const char* text, size_t len) { SetText(kJsonText, text, len); }
void DavizParams::SetHmacId(const char* text, size_t len) { SetText(kHmacId, text, len); }
void DavizParams::SetTipsEmployeeId(const char* text, size_t len) { SetText(kTipsEmployeeId, text, len); }
void DavizParams::SetExtLoyaltyId(const char* text, size_t len) { SetText(kExtLoyaltyId, text, len); }
void DavizParams::SetTurnstileNumber(const char* text, size_t len) { SetText(kTurnstileNumber, text, len); }
void DavizParams::SetVestibuleCode(const char* text, size_t len) { SetText(kVestibuleCode, text, len); }

void DavizParams::AttachMerchantCheque(const char* text, size_t len) {
  texts_[kMerchantCheque] = std::make_unique<char[]>(len + 1);
  if (len != 0) std::memcpy(texts_[kMerchantCheque].get(), text, len);
  texts_[kMerchantCheque][len] = '\0';
  merchant_cheque_length_ = len;
  merchantCheque = texts_[kMerchantCheque].get();
  flags |= kDavizFlagMerchantCheque;
}

void DavizParams::FreeMerchantCheque() {
  texts_[kMerchantCheque].reset();
  merchant_cheque_length_ = 0;
  merchantCheque = nullptr;
  flags &= ~kDavizFlagMerchantCheque;
}

void DavizParams::SetOperType(uint8_t code) {
  operation = code;
  if (requestId == 0) GenerateRequestID();
}

void DavizParams::GenerateRequestID() {
  const T_DavizOperation& op = davizGetOperation(operation);
  const uint16_t type = op.kernelType;
  const bool kind = (type >= 4000 && type <= 4999) || type == 6006 || operation == 98 || operation == 99;
  if (kind && (op.flags & kOperNeedsRequestId) != 0 && (requestId == 0 || requestId == 0xFFFFFFFFu)) {
    requestId = drvGetTimeMSec();
  }
}

void DavizParams::SetTrack2(const char* text, size_t len) { CopyField(track2, sizeof track2, text, len); }
void DavizParams::SetRRN(const char* text, size_t len) { CopyField(rrn, sizeof rrn, text, len); }
void DavizParams::SetRecvCard(const char* text) { CopyField(recvCard, sizeof recvCard, text, SIZE_MAX); }
void DavizParams::SetExpectedCard(const char* text) {
  CopyField(expectedCard, sizeof expectedCard, text, SIZE_MAX);
}

bool DavizParams::AddToExtraData(uint32_t tag, const void* data, size_t len) {
  if (len > kExtraDataSize) return false;
  common::T_TLV_Buffer list = common::TlvBufferOver(extraData, extraDataLength);
  if (common::AddTagBinarySize(list, tag, data, static_cast<uint16_t>(len), common::TLV_REPLACE,
                               kExtraDataSize) == 0) {
    return false;
  }
  extraDataLength = static_cast<uint8_t>(list.length);
  return true;
}

bool DavizParams::AddByteToExtraData(uint32_t tag, uint8_t value) { return AddToExtraData(tag, &value, 1); }

bool DavizParams::AddWordToExtraData(uint32_t tag, uint16_t value) {
  uint8_t bytes[2];
  common::WORD_MSB(value, bytes);
  return AddToExtraData(tag, bytes, sizeof bytes);
}

bool DavizParams::AddDwordToExtraData(uint32_t tag, uint32_t value) {
  uint8_t bytes[4];
  common::DWORD_MSB(value, bytes);
  return AddToExtraData(tag, bytes, sizeof bytes);
}

bool DavizParams::AddStringToExtraData(uint32_t tag, const char* text) {
  return text != nullptr && AddToExtraData(tag, text, std::strlen(text));
}

bool DavizParams::DeleteFromExtraData(uint32_t tag) {
  common::T_TLV_Buffer list = common::TlvBufferOver(extraData, extraDataLength);
  if (common::DeleteTag(list, tag) == 0) return false;
  extraDataLength = static_cast<uint8_t>(list.length);
  return true;
}

const uint8_t* DavizParams::FindExtraTag(uint32_t tag, uint16_t& len) const {
  // The search only reads; the buffer type is shared with the writers.
  common::T_TLV_Buffer list = common::TlvBufferOver(const_cast<uint8_t*>(extraData), extraDataLength);
  common::T_TLV_Item item;
  item.tag = tag;
  if (common::FindTag(list, item) == 0) {
    len = 0;
    return nullptr;
  }
  len = item.length;
  return item.value;
}

bool DavizParams::HasExtraTag(uint32_t tag) const {
  uint16_t len = 0;
  return FindExtraTag(tag, len) != nullptr;
}

void DavizParams::SetCurrencyType(uint16_t code) {
  currencyCode = code;
  DeleteFromExtraData(kTagCurrency);
  if (code != 0) AddWordToExtraData(kTagCurrency, code);
}

void DavizParams::SetAdditionalAmount(uint32_t value) {
  additionalValue = value;
  if (value != 0) AddDwordToExtraData(kTagAdditionalAmount, value);
}

void DavizParams::SetInputTextLength(uint32_t value) {
  inputTextLength = value;
  if (value != 0) AddDwordToExtraData(kTagInputTextLength, value);
}

namespace {

// A little-endian number of 1, 2 or 4 bytes; def for any other length.
uint32_t NumberOf(const uint8_t* value, uint16_t len, uint32_t def) {
  if (value == nullptr) return def;
  switch (len) {
    case 1: return value[0];
    case 2: return common::MSB_WORD(value);
    case 4: return common::MSB_DWORD(value);
    default: return def;
  }
}

}  // namespace

uint32_t DavizParams::GetInputTextLength() {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagInputTextLength, len);
  return NumberOf(value, len, 0);
}

void DavizParams::SetExtraData(const uint8_t* data, size_t len) {
  if (data == nullptr) len = 0;
  if (len > kExtraDataSize) len = kExtraDataSize;
  if (len != 0) std::memmove(extraData, data, len);
  std::memset(extraData + len, 0, kExtraDataSize - len);
  extraDataLength = static_cast<uint8_t>(len);
  UpdateMembersFromExtraData();
}

size_t DavizParams::GetExtraData(uint8_t* out, size_t size) const {
  size_t n = extraDataLength < size ? extraDataLength : size;
  if (n != 0) std::memcpy(out, extraData, n);
  return n;
}

void DavizParams::UpdateMembersFromExtraData() {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagCurrency, len);
  if (value != nullptr) currencyCode = static_cast<uint16_t>(NumberOf(value, len, currencyCode));
  value = FindExtraTag(kTagAdditionalAmount, len);
  if (value != nullptr) additionalValue = NumberOf(value, len, additionalValue);
  value = FindExtraTag(kTagInputTextLength, len);
  if (value != nullptr) inputTextLength = NumberOf(value, len, inputTextLength);
}

bool DavizParams::AddExtraDataFromString(const char* hex, size_t len) {
  if (hex == nullptr || len < 2 || len > 512 || len % 2 != 0) return false;
  uint8_t bytes[256];
  if (common::HexToBytes(hex, bytes, len) != 0) return false;
  const size_t count = len / 2;
  // The first byte announces the list; a list longer than the bytes given is cut.
  size_t fresh = bytes[0];
  if (fresh > count - 1) fresh = count - 1;
  uint8_t merged[kExtraDataSize];
  std::memcpy(merged, bytes + 1, fresh);
  size_t total = fresh;
  if (fresh + extraDataLength < 256 && fresh + extraDataLength <= kExtraDataSize) {
    std::memcpy(merged + fresh, extraData, extraDataLength);
    total += extraDataLength;
  }
  SetExtraData(merged, total);
  return true;
}

bool DavizParams::GetBasketId(char* out, size_t size) const {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagBasketId, len);
  CopyField(out, size, reinterpret_cast<const char*>(value), value != nullptr ? len : 0);
  return value != nullptr;
}

bool DavizParams::GetSrcBasketId(char* out, size_t size) const {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagSrcBasketId, len);
  CopyField(out, size, reinterpret_cast<const char*>(value), value != nullptr ? len : 0);
  return value != nullptr;
}

uint32_t DavizParams::GetWaitBestshotTime() const {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagWaitBestshot, len);
  return NumberOf(value, len, 0);
}

bool DavizParams::HasTagBiometryInExtraData() const {
  uint16_t len = 0;
  const uint8_t* value = FindExtraTag(kTagBiometry, len);
  return value != nullptr && len >= 8 && std::memcmp(value, "BIOMETRY", 8) == 0;
}

bool DavizParams::OnlyByBiometry() const {
  switch (operation) {
    case 39:
    case 97:
    case 98:
    case 108: return true;
    case 1:
    case 3:
    case 8: return HasTagBiometryInExtraData();
    default: return false;
  }
}
