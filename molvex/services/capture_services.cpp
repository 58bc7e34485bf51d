#include "molvex/services/capture_services.h"

#include <algorithm>
#include <cstring>

#include "common/byte_order.h"
#include "molvex/front/model/daviz_params.h"
#include "molvex/platform/file_handles.h"
#include "molvex/services/slave_devices.h"
#include "molvex/services/slave_hooks.h"
#include "molvex/services/slave_state.h"

namespace {

constexpr uint32_t kMonitoringBlockMax = 800;

uint16_t ChequeResult(LongMessageCmdPacketShell& reply, uint32_t result, uint16_t* status) {
  uint8_t body[4];
  common::DWORD_MSB(result, body);
  *status = kSlvDone;
  return slvPutBody(reply, body, sizeof body, status) ? sizeof body : 0;
}

void CloseCheque(SlaveMerchantCheque& cheque) {
  if (cheque.handle != 0) drvFileClose(cheque.handle);
  cheque.handle = 0;
}

}  // namespace

uint16_t slvSignatureMsb(uint8_t step, const uint8_t* body, uint32_t length) {
  SlaveSignature& signature = slvState().signature;
  switch (step) {
    case kSignatureBegin: {
      uint32_t size = length > 7 ? common::MSB_DWORD(body + 4) : 0;
      signature.buffer.clear();
      signature.buffer.shrink_to_fit();
      signature.hasBuffer = false;
      signature.position = 0;
      if (size > kMaxSignatureSize) return kSlvNoDiskSpace;
      signature.buffer.resize(size);
      signature.hasBuffer = true;
      return kSlvDone;
    }
    case kSignaturePiece: {
      if (length < kSignatureHeaderSize) return kSlvRefused;
      const uint8_t* image = body + kSignatureHeaderSize;
      const uint32_t count = length - static_cast<uint32_t>(kSignatureHeaderSize);
      if (!signature.hasBuffer) return slvhooks::SaveSignature(body, image, count);
      std::memcpy(signature.header, body, kSignatureHeaderSize);
      const uint32_t room = static_cast<uint32_t>(signature.buffer.size()) - signature.position;
      const uint32_t taken = std::min(count, room);
      if (taken > 0) std::memcpy(signature.buffer.data() + signature.position, image, taken);
      signature.position += taken;
      return kSlvDone;
    }
    case kSignatureFinish: {
      uint16_t result = kSlvDone;
      if (signature.hasBuffer && !signature.buffer.empty()) {
        result = slvhooks::SaveSignature(signature.header, signature.buffer.data(), signature.position);
      }
      signature.buffer.clear();
      signature.buffer.shrink_to_fit();
      signature.hasBuffer = false;
      signature.position = 0;
      return result;
    }
    default:
      return kSlvBadSignatureStep;
  }
}

uint16_t slvSignatureDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                            uint16_t* status) {
  *status = slvSignatureMsb(operation, request.body(), request.length());
  return 0;
}

uint16_t monSaveHostMessage(uint32_t number1, uint32_t number2, const char* text, size_t length) {
  uint8_t record[kHostMessageRecord] = {};
  common::DWORD_MSB(number1, record);
  common::DWORD_MSB(number2, record + 4);
  length = std::min(length, kHostMessageTextMax);
  if (text != nullptr && length > 0) std::memcpy(record + 8, text, length);
  drvFileErase(kHostMessageFile);
  int handle = drvFileOpen(kHostMessageFile, DRV_FILE_WRITE);
  if (handle == 0) return kSlvFileFailed;
  uint32_t written = drvFileWrite(handle, record, sizeof record);
  drvFileClose(handle);
  return written == sizeof record ? kSlvDone : kSlvFileFailed;
}

uint16_t slvMonitoringDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell& reply,
                             uint16_t* status) {
  const uint16_t b = request.length();
  if (operation == kSlvRead) {
    uint32_t containerTag = b >= 4 ? request.dword(0) : 0;
    uint8_t* out = reply.Reserve(kMonitoringBlockMax);
    *status = kSlvDone;
    if (out == nullptr) {
      *status = kSlvNoDiskSpace;
      return 0;
    }
    return static_cast<uint16_t>(slvhooks::MonitoringInfo(out, kMonitoringBlockMax, containerTag));
  }
  if (operation == kSlvWrite) {
    if (b <= 2) return 0;
    // The two numbers are one byte each on the wire; the text follows them.
    *status = monSaveHostMessage(request.byte(0), request.byte(1), reinterpret_cast<const char*>(request.body()) + 2,
                                 b - 2u);
    return 0;
  }
  *status = kSlvDone;
  return 0;
}

uint16_t slvCardholderAnswerDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                                   uint16_t* status) {
  if (operation != kSlvWrite) {
    *status = kSlvDone;
    return 0;
  }
  const uint16_t b = request.length();
  if (b == 0) return 0;
  size_t length = std::min<size_t>(request.word(0), b > 2 ? b - 2u : 0u);
  length = std::min(length, kCardholderTextMax);
  const char* text = b > 2 ? reinterpret_cast<const char*>(request.body()) + 2 : "";
  // The text ends at its first zero byte, like any text of the result.
  slvState().cardholderText.assign(text, strnlen(text, length));
  *status = kSlvDone;
  return 0;
}

void slvDropMerchantCheque() {
  CloseCheque(slvState().merchant);
  drvFileErase(kMerchantChequeFile);
}

uint32_t slvGetMerchantChequeLength(const char* text) {
  if (text == nullptr) return 0;
  return static_cast<uint32_t>(strnlen(text, kMaxMerchantCheque));
}

uint32_t slvGetMerchantChequeLength(const DavizParams& params) {
  if ((params.GetFlags() & kDavizFlagMerchantCheque) == 0) return 0;
  return slvGetMerchantChequeLength(params.GetMerchantCheque());
}

uint16_t slvMerchantChequeDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell& reply,
                                 uint16_t* status) {
  SlaveMerchantCheque& cheque = slvState().merchant;
  const uint16_t b = request.length();
  switch (operation) {
    case kSlvOpen:
      if (b < 8) return 0;
      slvDropMerchantCheque();
      cheque.expected = std::min(request.dword(4), kMaxMerchantCheque);
      cheque.written = 0;
      return ChequeResult(reply, 0, status);
    case kSlvWrite: {
      if (b == 0 || cheque.written >= cheque.expected) return ChequeResult(reply, 0, status);
      const uint32_t count = std::min<uint32_t>(b, cheque.expected - cheque.written);
      if (cheque.handle == 0) cheque.handle = drvFileOpen(kMerchantChequeFile, DRV_FILE_WRITE);
      if (cheque.handle == 0) return ChequeResult(reply, kSlvFileFailed, status);
      if (drvFileWrite(cheque.handle, request.body(), count) != count) {
        return ChequeResult(reply, kSlvFileFailed, status);
      }
      cheque.written += count;
      return ChequeResult(reply, 0, status);
    }
    case kSlvClose:
      if (cheque.written != cheque.expected) return ChequeResult(reply, kSlvChequeIncomplete, status);
      CloseCheque(cheque);
      return ChequeResult(reply, 0, status);
    default:
      *status = kSlvDone;
      return 0;
  }
}
