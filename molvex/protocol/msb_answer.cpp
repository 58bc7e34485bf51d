#include "molvex/protocol/msb_answer.h"

#include <cstring>

#include "common/byte_order.h"
#include "molvex/protocol/daviz_command.h"
#include "molvex/services/command_packet.h"
#include "molvex/protocol/session_file.h"
#include "molvex/protocol/ttk_reader.h"

namespace {

// A zero-padded text of width bytes at offset into a fixed field.
template <size_t N>
void FieldText(char (&field)[N], const uint8_t* data, size_t offset, size_t width) {
  char text[N];
  size_t n = 0;
  while (n < width && n < N - 1 && data[offset + n] != 0) {
    text[n] = static_cast<char>(data[offset + n]);
    ++n;
  }
  text[n] = '\0';
  DavizResultBase::SetText(field, text);
}

// A zero-padded text into the tag store (nothing when empty).
void TagText(DavizResult& result, uint32_t tag, const uint8_t* data, size_t offset, size_t width) {
  size_t n = 0;
  while (n < width && data[offset + n] != 0) ++n;
  if (n != 0) result.Tags().SetTlvData(tag, data + offset, static_cast<uint32_t>(n), static_cast<uint32_t>(n));
}

// A binary field into the tag store, unless it is all zero (an unused field).
void TagBinary(DavizResult& result, uint32_t tag, const uint8_t* data, size_t offset, size_t width) {
  for (size_t i = 0; i < width; ++i) {
    if (data[offset + i] != 0) {
      result.Tags().SetTlvData(tag, data + offset, static_cast<uint32_t>(width), static_cast<uint32_t>(width));
      return;
    }
  }
}

}  // namespace

bool ReadFixedAnswer(const uint8_t* d, size_t n, DavizResult& r) {
  if (d == nullptr || n <= kFixedAnswerMinimum) return false;
  r.resultCode = common::MSB_WORD(d);
  FieldText(r.authCode, d, 2, 7);
  FieldText(r.rrn, d, 9, 13);
  FieldText(r.slipNumber, d, 22, 5);
  TagText(r, kResTagCardNumber, d, 27, 20);
  FieldText(r.text6, d, 47, 6);
  TagText(r, kResTagMessage, d, 53, 32);
  if (n > 88) r.date = common::MSB_DWORD(d + 85);
  if (n > 92) r.time = common::MSB_DWORD(d + 89);
  if (n > 93) r.flagByte = d[93];
  if (n > 102) FieldText(r.terminalId, d, 94, 9);
  if (n > 118) TagText(r, kResTagCardName, d, 103, 16);
  if (n > 130) FieldText(r.textB, d, 119, 13);
  if (n > 134) r.numberA = common::MSB_DWORD(d + 131);
  if (n > 154) TagBinary(r, kResTagCardHash, d, 135, 20);
  if (n > 186) TagText(r, 0x5F39, d, 155, 32);
  if (n > 187) r.cardTypeId = d[187];
  if (n > 202) {
    r.answerOperation = d[192];
    r.amount = common::MSB_DWORD(d + 193);
    r.numberC = common::MSB_DWORD(d + 197);
    r.numberD = common::MSB_WORD(d + 201);
  }
  if (n > 206) r.operationFlags = common::MSB_DWORD(d + 203);
  if (n > 210) r.numberE = common::MSB_DWORD(d + 207);
  if (n > 242) TagBinary(r, kResTagCardUid, d, 211, 20);
  if (n >= 350) TagText(r, kResTag5F32, d, 243, n - 243 < 106 ? n - 243 : 106);
  return true;
}

void ReadFinalAnswer(const uint8_t* data, size_t length, DavizResult& result, bool* ok, bool* hadRequestId) {
  *hadRequestId = false;
  if (data != nullptr && length > 2 && data[0] == 0xFF && data[1] == 0xFE) {
    DavizTtkReader reader(data + 2, length - 2);
    result.Read(reader);
    *ok = reader.ok();
    *hadRequestId = reader.hadRequestId();
    return;
  }
  *ok = ReadFixedAnswer(data, length, result);
}

uint16_t RecvPinpadMMCommand(const DavizParams& params, DavizResult& result, const LongMessage& answer,
                             bool rebooted) {
  const T_Message* m = answer.msg();
  const uint8_t* data = m->data();
  // Never past what the message really holds, whatever its length claims.
  const uint32_t length = MessageDataSize(answer);
  uint16_t code = m->command;
  if (m->command == 14 && length == 2) code = common::MSB_WORD(data);
  if (code != 0) {
    result.SetResultCode(code);
    return code;
  }
  if (length == 6) {
    code = common::MSB_WORD(data + 4);
    result.SetResultCode(code);
    return code;
  }
  bool ok = false;
  bool hadRequestId = false;
  ReadFinalAnswer(data, length, result, &ok, &hadRequestId);
  if (!ok) {
    code = length != 0 ? kCodeMalformedAnswer : (rebooted ? kCodeOk : kCodeMalformedAnswer);
    result.SetResultCode(code);
    return code;
  }
  if (!hadRequestId) result.SetRequestID(params.GetRequestID());
  DavizSessionSuccessWriter finished;
  params.Write(finished);
  return result.GetResultCode();
}
