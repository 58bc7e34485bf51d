// The result of one operation: the fixed answer fields and a tag store for
// every further value the PIN pad sends back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "common/tlv_actor.h"

// The text fields are filled from fixed answer offsets and need not end in a
// zero when full; readers take them through DavizResultBase::Text.
struct DavizResultBase {
  uint16_t resultCode;  // 0 = success
  char authCode[7];
  char rrn[13];
  char slipNumber[5];
  char text6[7];  // six characters and room for the terminating zero
  uint32_t numberA;
  uint8_t flagByte;
  char terminalId[9];
  uint32_t date;  // YYYYMMDD
  uint32_t time;  // HHMMSS
  char textB[13];
  uint8_t cardTypeId;       // the PIN pad's card type number
  uint8_t answerOperation;  // the operation code echoed by the PIN pad
  uint32_t amount;
  uint32_t numberC;
  uint16_t numberD;
  uint32_t operationFlags;
  uint32_t numberE;
  uint32_t requestId;

  // A fixed text field up to its zero or its size.
  template <size_t N>
  static std::string Text(const char (&field)[N]) {
    size_t n = 0;
    while (n < N && field[n] != '\0') ++n;
    return std::string(field, n);
  }
  // Bounded copy into a field, always zero-terminated.
  template <size_t N>
  static void SetText(char (&field)[N], const char* text) {
    size_t n = 0;
    if (text != nullptr) {
      while (n < N - 1 && text[n] != '\0') ++n;
      for (size_t i = 0; i < n; ++i) field[i] = text[i];
    }
    for (size_t i = n; i < N; ++i) field[i] = '\0';
  }
};

// Tags of the result that the response file and its users read.
inline constexpr uint32_t kResTagMessage = 0x5F05;
inline constexpr uint32_t kResTagCardNumber = 0x89;
inline constexpr uint32_t kResTagCardName = 0x8F;
inline constexpr uint32_t kResTagCardHash = 0x5F36;
inline constexpr uint32_t kResTagCardHashText = 0xA3;
inline constexpr uint32_t kResTag5F32 = 0x5F32;
inline constexpr uint32_t kResTag5F09 = 0x5F09;
inline constexpr uint32_t kResTagCardUid = 0x5F0E;
inline constexpr uint32_t kResTagVas = 0x5F10;
inline constexpr uint32_t kResTagExtraHash = 0x5F55;
inline constexpr uint32_t kResTagPar = 0x9F24;
inline constexpr uint32_t kResTagEntryMode = 0x5F59;
inline constexpr uint32_t kResTagEntrySymbol = 0x5F5A;
inline constexpr uint32_t kResTagUrl = 0x5F58;
inline constexpr uint32_t kResTag5F61 = 0x5F61;
inline constexpr uint32_t kResTagHashType = 0x5F69;
inline constexpr uint32_t kResTagTypedHash = 0x5F70;
inline constexpr uint32_t kResTagExtLoyalty = 0x5F72;
inline constexpr uint32_t kResTag5F74 = 0x5F74;
inline constexpr uint32_t kResTagCurrency = 0x5F2A;
inline constexpr uint32_t kResTagHostFlags = 0x5F52;

class DavizResult;

// The PIN pad clients fill and send the result through these.
class IDavizResultWriter {
 public:
  virtual ~IDavizResultWriter() = default;
  virtual void Write(const DavizResult& result) = 0;
};
class IDavizResultReader {
 public:
  virtual ~IDavizResultReader() = default;
  virtual void Read(DavizResult& result) = 0;
};

class DavizResult : public DavizResultBase {
 public:
  DavizResult();
  DavizResult(const DavizResult& other);
  DavizResult& operator=(const DavizResult& other);
  virtual ~DavizResult();
  // Lets a subclass prepare its texts for the response file.
  virtual void PrepareToResponse(uint16_t uiMode);

  void Clear();
  common::DavizTlvBuffer& Tags() { return tags_; }
  const common::DavizTlvBuffer& Tags() const { return tags_; }

  uint16_t GetResultCode() const { return resultCode; }
  void SetResultCode(uint16_t code) { resultCode = code; }
  uint32_t GetRequestID() const { return requestId; }
  void SetRequestID(uint32_t id) { requestId = id; }
  uint32_t GetAmount() const { return amount; }
  void SetAmount(uint32_t value) { amount = value; }

  // The value of a tag as text (up to a zero byte, at most max characters); "" when missing.
  std::string GetTagText(uint32_t tag, size_t max) const;
  bool HasTag(uint32_t tag) const;
  // The value of a tag; null and 0 when missing.
  const uint8_t* GetTag(uint32_t tag, uint16_t& len) const;
  bool SetTagText(uint32_t tag, const char* text, size_t max);

  // The card hash: 20 bytes from tag 0x5F36, else decoded from the text of tag 0xA3.
  bool GetHash(uint8_t bytes[20]) const;
  // Tag 0x5F36 as upper-case hexadecimal, else the text of tag 0xA3 (at most 40 characters).
  std::string GetHashAsString() const;
  // The second hash of tag 0x5F55: its type letter ('H', 'h' or 'N'; '0' when
  // missing or of another type) and the hash bytes (64 for 'H', 32 otherwise,
  // fewer when the tag is shorter).
  char GetExtraHash(uint8_t* bytes, size_t size, size_t& len) const;
  char GetExtraHashAsString(std::string& text) const;
  // The typed hash of tag 0x5F70 under the letter of tag 0x5F69 ('h': 32
  // bytes, 'H': 64) as upper-case hexadecimal; "" for any other letter.
  std::string GetTypedHashAsString() const;

  // The currency of tag 0x5F2A (packed numeric) as a number; 0 when missing.
  uint16_t GetCurrency() const;
  // The two packed bytes; false when missing.
  bool GetCurrencyBCD(uint8_t bcd[2]) const;
  // A three-digit code as text.
  void SetCurrency(const char* text);
  uint32_t GetHostFlags() const;
  void SetHostFlags(uint32_t value);
  // Tag 0x5F59; 0xFFFFFFFF (no symbol) when missing.
  uint32_t GetEntryMode() const;
  void SetEntryMode(uint32_t value);
  // Tag 0x5F5A when set, else the symbol of the entry mode; blank for an unknown mode.
  char GetEntryModeSymbol() const;
  // Tag 0x5F0E as upper-case hexadecimal (at most 20 bytes) into text of size bytes.
  void GetCardUid(char* text, size_t size) const;
  // Decodes a hexadecimal TLV text and replaces every tag it holds.
  bool ReplaceTagsFromString(const char* hex, size_t len);

  void Write(IDavizResultWriter& writer) const { writer.Write(*this); }
  void Read(IDavizResultReader& reader) { reader.Read(*this); }

 private:
  // Searching does not change the list, though the buffer type's API is not const.
  common::DavizTlvBuffer& MutableTags() const { return const_cast<common::DavizTlvBuffer&>(tags_); }

  common::DavizTlvBuffer tags_;
};

// The symbol of an entry mode (0 to 12); blank for any other.
char DavizEntryModeSymbol(uint32_t mode);
