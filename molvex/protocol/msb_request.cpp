#include "molvex/protocol/msb_request.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/byte_order.h"
#include "common/tlv_actor.h"
#include "molvex/link/message_link.h"
#include "molvex/protocol/daviz_command.h"
#include "molvex/protocol/heartbeat.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr uint32_t kSendRoom = 1193;

size_t TextLength(const char* text, size_t limit) {
  if (text == nullptr) return 0;
  size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return n;
}

bool IsHexText(const char* text, size_t n) {
  for (size_t i = 0; i < n; ++i) {
    char c = text[i];
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return false;
  }
  return true;
}

// The bytes of the track 2 field that travel: the whole text, except that a
// card-reader text ("E...") goes with 33 characters unless it is a 40-digit
// hexadecimal token.
size_t Track2Length(const DavizParams& params) {
  const char* track2 = params.GetTrack2();
  size_t n = TextLength(track2, kTrack2Size - 1);
  const uint8_t op = params.GetOperType();
  const bool keepsWhole = op == 41 || op == 50 || op == 52 || op == 103;
  if (!keepsWhole && n > 0 && track2[0] == 'E' && !(n == 40 && IsHexText(track2, n))) return 33;
  return n;
}

class RequestTlv {
 public:
  void Dword(uint32_t tag, uint32_t value) {
    if (value != 0) list_.AddTagDword(tag, value, common::TLV_ADD);
  }
  void Byte(uint32_t tag, uint8_t value) {
    if (value != 0) list_.AddTagByte(tag, value, common::TLV_ADD);
  }
  void Bytes(uint32_t tag, const void* bytes, size_t n) {
    if (n != 0) list_.AddTagBinary(tag, bytes, static_cast<uint16_t>(n), common::TLV_ADD);
  }
  void Text(uint32_t tag, const char* text, size_t limit) { Bytes(tag, text, TextLength(text, limit)); }
  const uint8_t* bytes() const { return list_.bytes(); }
  uint16_t used() const { return list_.used(); }

 private:
  common::TlvBufferDynamic list_;
};

void BuildTlvForm(const DavizParams& params, std::vector<uint8_t>& data) {
  const T_DavizParams& p = params.OldStruct();
  RequestTlv tlv;
  tlv.Dword(0x5F34, p.amount);
  tlv.Byte(0x5F07, p.operation);
  tlv.Byte(0x5F0D, p.cardType);
  tlv.Byte(0x5F02, p.department);
  tlv.Dword(0x5F73, p.loyaltyBonusAmount);
  tlv.Bytes(0x17, p.track2, Track2Length(params));
  tlv.Text(0x18, p.rrn, kRrnSize - 1);
  tlv.Dword(0x5F3B, p.flags);
  tlv.Dword(0x5F4A, p.value5F4A);
  tlv.Dword(0x5F4B, p.value5F4B);
  tlv.Dword(0x5F4C, p.ownCardFlags);
  tlv.Dword(0x5F0A, p.requestId);
  if (p.extraDataLength != 0) {
    uint8_t extra[1 + kExtraDataSize];
    extra[0] = p.extraDataLength;
    std::memcpy(extra + 1, p.extraData, p.extraDataLength);
    tlv.Bytes(0x19, extra, 1u + p.extraDataLength);
  }
  tlv.Text(0x5F4D, p.cashierFio, 0xFFFF);
  tlv.Text(0x5F43, p.recvCard, kCardMaskSize);
  tlv.Text(0x5F44, p.expectedCard, kCardMaskSize);
  tlv.Text(0x5F49, p.passportData, 0xFFFF);
  tlv.Text(0x5F47, p.screenText, 0xFFFF);
  tlv.Text(0x5F58, p.urlOrOrderId, 0xFFFF);
  tlv.Text(0x5F60, p.jsonText, kMaxJsonText);
  tlv.Text(0x5F68, p.hmacId, 12);
  tlv.Text(0x5F71, p.tipsEmployeeId, 36);
  tlv.Text(0x5F72, p.extLoyaltyId, 40);
  tlv.Byte(0x5F46, p.screenTextMode);

  data.resize(4 + tlv.used());
  common::DWORD_MSB(kTlvRequestMarker, data.data());
  if (tlv.used() != 0) std::memcpy(data.data() + 4, tlv.bytes(), tlv.used());
}

void BuildFixedForm(const DavizParams& params, std::vector<uint8_t>& data) {
  const T_DavizParams& p = params.OldStruct();
  data.assign(kFixedRequestSize + p.extraDataLength, 0);
  uint8_t* d = data.data();
  common::DWORD_MSB(p.amount, d);
  d[4] = p.cardType;
  d[5] = p.department;
  d[6] = p.operation;
  std::memcpy(d + 7, p.track2, 40);
  if (bUseNewProtocol != 0 || p.operation == kOpNoSession) common::DWORD_MSB(p.requestId, d + 47);
  std::memcpy(d + 51, p.rrn, TextLength(p.rrn, 12));
  common::DWORD_MSB(p.flags, d + 64);
  d[68] = p.extraDataLength;
  std::memcpy(d + 69, p.extraData, p.extraDataLength);
}

}  // namespace

uint16_t BuildPinpadRequest(const DavizParams& params, bool tlvForm, uint8_t* command, std::vector<uint8_t>& data) {
  const T_DavizParams& p = params.OldStruct();
  data.clear();
  switch (p.operation) {
    case kOpStatus:
    case kOpStatusCheck:
      *command = kStatusRequestCommand;
      data.assign(9, 0);
      common::DWORD_MSB(p.requestId, data.data());
      data[4] = p.operation == kOpStatus ? 1 : 0;
      common::DWORD_MSB(p.amount, data.data() + 5);
      return kCodeOk;
    case kOpText: {
      *command = kTextRequestCommand;
      size_t n = TextLength(p.track2, kTrack2Size - 1);
      data.assign(p.track2, p.track2 + n);
      data.push_back(0);
      ReportString("T_Message.Data: %s\n", p.track2);
      return kCodeOk;
    }
    default:
      *command = kOperationRequestCommand;
      if (tlvForm) {
        if (p.jsonText != nullptr && TextLength(p.jsonText, kMaxJsonText + 1) > kMaxJsonText) return kCodeBadArgument;
        BuildTlvForm(params, data);
      } else {
        BuildFixedForm(params, data);
      }
      return kCodeOk;
  }
}

uint16_t SendPinpadMMCommand(const DavizParams& params, LongMessage& message, bool tlvForm) {
  HeartBeatObject& heartbeat = HeartBeatObject::Instance();
  heartbeat.SetLostLimitMs(0);
  message.msg()->length = 0;

  uint8_t command = 0;
  std::vector<uint8_t> data;
  uint16_t code = BuildPinpadRequest(params, tlvForm, &command, data);
  if (code != kCodeOk) return code;
  // A message carries at most 65,535 data bytes.
  if (data.size() > 0xFFFFu) return kCodeBadArgument;

  char text[16];
  pcc_GetIniStringSize("pinpad.ini", "WaitPinpadSeconds", text, sizeof text);
  heartbeat.SetHeartBeatLostSeconds(std::atoi(text));

  if (!message.allocate(static_cast<int32_t>(std::max<size_t>(data.size(), kSendRoom)), 0)) return kCodeFailure;
  T_Message* m = message.msg();
  m->command = command;
  m->length = static_cast<uint16_t>(data.size());
  if (!data.empty()) std::memcpy(m->data(), data.data(), data.size());
  tspFixLongMessageID(m);
  message.shrink(static_cast<int32_t>(std::max<size_t>(data.size(), kSendRoom)), m->length);
  m = message.msg();
  return tspMakeAMessage(static_cast<int8_t>(PINPAD_PORT), 0, m, nullptr, 0);
}
