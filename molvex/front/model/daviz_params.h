// The parameters of one operation: the plain record that the PIN pad
// clients read, and the object that owns its variable-length texts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Operation flags.
inline constexpr uint32_t kDavizFlagMerchantCheque = 0x00000200;  // a merchant cheque text is attached
inline constexpr uint32_t kDavizFlagExecuting = 0x00000400;       // set just before the operation runs
inline constexpr uint32_t kDavizFlagShowScreens = 0x80000000;     // screens are shown on the PC

inline constexpr size_t kTrack2Size = 180;
inline constexpr size_t kRrnSize = 13;
inline constexpr size_t kExtraDataSize = 255;
inline constexpr size_t kCardMaskSize = 20;

struct T_DavizParams {
  uint32_t flags;
  uint32_t requestId;  // 0 = none
  uint32_t amount;     // minor currency units
  uint32_t reserved1;
  uint32_t reserved2;
  uint32_t loyaltyBonusAmount;
  uint8_t cardType;
  uint8_t reserved3;
  uint16_t currencyCode;  // 0 = default
  uint8_t department;
  uint8_t operation;
  char track2[kTrack2Size];
  char rrn[kRrnSize];
  uint32_t reserved4;
  uint8_t extraDataLength;
  uint8_t extraData[kExtraDataSize];  // a TLV list
  uint16_t reserved5;
  uint32_t reserved6;
  char* merchantCheque;      // while kDavizFlagMerchantCheque is set
  uint32_t additionalValue;  // the other amount, or the function identifier of operation 26
  char recvCard[kCardMaskSize];
  char expectedCard[kCardMaskSize];
  uint8_t screenTextMode;
  char* screenText;
  char* passportData;
  uint32_t value5F4A;
  uint32_t value5F4B;
  uint32_t ownCardFlags;
  char* cashierFio;
  uint32_t inputTextLength;
  char* urlOrOrderId;
  char* jsonText;
  char* hmacId;
  char* tipsEmployeeId;
  char* extLoyaltyId;
  char* turnstileNumber;
  char* vestibuleCode;
};

class DavizParams;

// The PIN pad clients put the parameters on their wire through these.
class IDavizParamsWriter {
 public:
  virtual ~IDavizParamsWriter() = default;
  virtual void Write(const DavizParams& params) = 0;
};
class IDavizParamsReader {
 public:
  virtual ~IDavizParamsReader() = default;
  virtual void Read(DavizParams& params) = 0;
};

class DavizParams : protected T_DavizParams {
 public:
  DavizParams();
  DavizParams(const DavizParams& other);
  DavizParams& operator=(const DavizParams& other);
  virtual ~DavizParams();

  virtual void SetScreenText(const char* text);
  virtual void SetPassportData(const char* text);
  virtual void SetCashierFIO(const char* text);
  virtual void AddOwnCardFlags(uint32_t bits);

  // Back to the empty state, owned texts freed.
  void Clear();
  void Copy(const DavizParams& other) { *this = other; }
  T_DavizParams& OldStruct() { return *this; }
  const T_DavizParams& OldStruct() const { return *this; }

  void Write(IDavizParamsWriter& writer) const { writer.Write(*this); }
  void Read(IDavizParamsReader& reader) { reader.Read(*this); }

  uint8_t GetOperType() const { return operation; }
  // Stores the code; a new request identifier is made when there is none.
  void SetOperType(uint8_t code);
  // Gives the operations that need one a request identifier from the clock.
  void GenerateRequestID();
  uint32_t GetRequestID() const { return requestId; }
  void SetRequestID(uint32_t id) { requestId = id; }

  uint32_t GetFlags() const { return flags; }
  void SetFlags(uint32_t value) { flags = value; }
  void AddFlags(uint32_t bits) { flags |= bits; }

  uint32_t GetAmount() const { return amount; }
  void SetAmount(uint32_t value) { amount = value; }
  uint32_t GetLoyaltyBonusAmount() const { return loyaltyBonusAmount; }
  void SetLoyaltyBonusAmount(uint32_t value) { loyaltyBonusAmount = value; }
  uint8_t GetCardType() const { return cardType; }
  void SetCardType(uint8_t value) { cardType = value; }
  uint8_t GetDepartment() const { return department; }
  void SetDepartment(uint8_t value) { department = value; }

  // At most 179 characters.
  void SetTrack2(const char* text, size_t len);
  const char* GetTrack2() const { return track2; }
  char* Track2Ptr(size_t& len) {
    len = sizeof track2;
    return track2;
  }
  // At most 12 characters.
  void SetRRN(const char* text, size_t len);
  const char* GetRrn() const { return rrn; }

  uint16_t GetCurrencyType() const { return currencyCode; }
  // Also kept in the extra data as tag 0x5F2A (removed for 0).
  void SetCurrencyType(uint16_t code);
  uint32_t GetAdditionalAmount() const { return additionalValue; }
  // Also kept as tag 0xDF50 when not 0.
  void SetAdditionalAmount(uint32_t value);
  // The function identifier of operation 26 travels in the same field but not as a tag.
  void SetAdditionalValue(uint32_t value) { additionalValue = value; }
  void SetInputTextLength(uint32_t value);
  uint32_t GetInputTextLength();

  // The extra data: a TLV list of at most 255 bytes.
  // Copies at most 255 bytes of data, then refreshes the members kept as tags.
  void SetExtraData(const uint8_t* data, size_t len);
  // Copies the list into out (at most size bytes); returns the bytes copied.
  size_t GetExtraData(uint8_t* out, size_t size) const;
  const uint8_t* ExtraData() const { return extraData; }
  uint8_t ExtraDataLength() const { return extraDataLength; }
  void UpdateMembersFromExtraData();
  // A hexadecimal text (at most 512 characters) of a length byte and a TLV
  // list that takes the place of the extra data; the previous list stays
  // behind it when both fit. False for a text that is too long or not hexadecimal.
  bool AddExtraDataFromString(const char* hex, size_t len);
  // Adds one tag (replacing one with the same tag); false when it does not fit.
  bool AddToExtraData(uint32_t tag, const void* data, size_t len);
  bool AddByteToExtraData(uint32_t tag, uint8_t value);
  bool AddWordToExtraData(uint32_t tag, uint16_t value);
  bool AddDwordToExtraData(uint32_t tag, uint32_t value);
  bool AddStringToExtraData(uint32_t tag, const char* text);
  bool DeleteFromExtraData(uint32_t tag);
  bool HasExtraTag(uint32_t tag) const;
  // The value of a tag: pointer and length, null when missing.
  const uint8_t* FindExtraTag(uint32_t tag, uint16_t& len) const;

  // Basket identifiers (tags 0x5F56, 0x5F57) copied into out of size bytes.
  bool GetBasketId(char* out, size_t size) const;
  bool HasBasketId() const { return HasExtraTag(0x5F56); }
  bool GetSrcBasketId(char* out, size_t size) const;
  bool HasSrcBasketId() const { return HasExtraTag(0x5F57); }
  // Tag 0xDF55; 0 when missing.
  uint32_t GetWaitBestshotTime() const;
  // Tag 0x5F53 begins with "BIOMETRY".
  bool HasTagBiometryInExtraData() const;
  bool OnlyByBiometry() const;

  // At most 19 characters each.
  void SetRecvCard(const char* text);
  const char* GetRecvCard() const { return recvCard; }
  void SetExpectedCard(const char* text);
  const char* GetExpectedCard() const { return expectedCard; }

  uint8_t GetScreenTextMode() const { return screenTextMode; }
  void SetScreenTextMode(uint8_t mode) { screenTextMode = mode; }
  uint32_t GetOwnCardFlags() const { return ownCardFlags; }
  uint32_t GetValue5F4A() const { return value5F4A; }
  void SetValue5F4A(uint32_t value) { value5F4A = value; }
  uint32_t GetValue5F4B() const { return value5F4B; }
  void SetValue5F4B(uint32_t value) { value5F4B = value; }

  // The owned texts: null when not set. Each setter replaces the previous
  // copy with a fresh one (null clears it); len limits the characters taken.
  const char* GetScreenText() const { return screenText; }
  const char* GetPassportData() const { return passportData; }
  const char* GetCashierFIO() const { return cashierFio; }
  void SetUrlOrOrderId(const char* text, size_t len = SIZE_MAX);
  const char* GetUrlOrOrderId() const { return urlOrOrderId; }
  void SetJsonText(const char* text, size_t len = SIZE_MAX);
  const char* GetJsonText() const { return jsonText; }
  void SetHmacId(const char* text, size_t len = SIZE_MAX);
  const char* GetHmacId() const { return hmacId; }
  void SetTipsEmployeeId(const char* text, size_t len = SIZE_MAX);
  const char* GetTipsEmployeeId() const { return tipsEmployeeId; }
  void SetExtLoyaltyId(const char* text, size_t len = SIZE_MAX);
  const char* GetExtLoyaltyId() const { return extLoyaltyId; }
  void SetTurnstileNumber(const char* text, size_t len = SIZE_MAX);
  const char* GetTurnstileNumber() const { return turnstileNumber; }
  void SetVestibuleCode(const char* text, size_t len = SIZE_MAX);
  const char* GetVestibuleCode() const { return vestibuleCode; }

  // The merchant cheque text: attaching it sets kDavizFlagMerchantCheque,
  // freeing it clears the flag. Copies get their own text.
  void AttachMerchantCheque(const char* text, size_t len);
  void FreeMerchantCheque();
  const char* GetMerchantCheque() const { return merchantCheque; }

 private:
  enum TextSlot {
    kScreenText,
    kPassportData,
    kCashierFio,
    kUrlOrOrderId,
    kJsonText,
    kHmacId,
    kTipsEmployeeId,
    kExtLoyaltyId,
    kTurnstileNumber,
    kVestibuleCode,
    kMerchantCheque,
    kTextSlots
  };
  void SetText(TextSlot slot, const char* text, size_t len);
  char*& TextPointer(TextSlot slot);
  // Points the record at this object's own copies.
  void SyncTextPointers();

  std::unique_ptr<char[]> texts_[kTextSlots];
  size_t merchant_cheque_length_ = 0;
};
