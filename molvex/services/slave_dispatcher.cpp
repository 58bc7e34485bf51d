#include "molvex/services/slave_dispatcher.h"

#include "molvex/services/file_service.h"
#include "molvex/services/host_relay.h"
#include "molvex/services/slave_devices.h"
#include "molvex/services/slave_state.h"
#include "molvex/services/ui_calls.h"

namespace {

uint16_t Run(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  *status = kSlvRefused;
  SlvDeviceHandler handler = slvDeviceHandler(request.device());
  if (handler == nullptr) {
    *status = kSlvDone;
    return 0;
  }
  return handler(operation, request, reply, status);
}

}  // namespace

SlvDeviceHandler slvDeviceHandler(uint8_t device) {
  switch (device) {
    case kSlvKeyboard: return slvKeyboardDevice;
    case kSlvPrinter: return slvPrinterDevice;
    case kSlvMagneticReader: return slvMagneticReaderDevice;
    case kSlvClock: return slvClockDevice;
    case kSlvBeeper: return slvBeeperDevice;
    case kSlvOperationData: return slvOperationDataDevice;
    case kSlvPcFile: return slvPcFileDevice;
    case kSlvMonitoring: return slvMonitoringDevice;
    case kSlvSignature: return slvSignatureDevice;
    case kSlvRebootNotice: return slvRebootNoticeDevice;
    case kSlvCardholderAnswer: return slvCardholderAnswerDevice;
    case kSlvMerchantCheque: return slvMerchantChequeDevice;
    case kSlvHeartBeat: return slvHeartBeatDevice;
    case kSlvFastFile:
    case kSlvBigData: return slvNotYetServedDevice;
    default: return nullptr;
  }
}

uint16_t slvDoOpen(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  return Run(kSlvOpen, request, reply, status);
}
uint16_t slvDoRead(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  return Run(kSlvRead, request, reply, status);
}
uint16_t slvDoWrite(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  return Run(kSlvWrite, request, reply, status);
}
uint16_t slvDoClose(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status) {
  return Run(kSlvClose, request, reply, status);
}

uint16_t slvDoCommand(LongMessage& reply, const LongMessage& request) {
  if (reply.msg() == nullptr) return kSlvRefused;
  reply.msg()->command = 0;
  reply.msg()->length = 0;
  const uint32_t size = MessageDataSize(request);
  if (size == 0) {
    slvInternalInit();
    return kSlvDone;
  }
  LongMessageCmdPacketShell shell(reply);
  uint16_t status = kSlvDone;
  // A request may carry several packets one after the other: each is served
  // in turn, and the reply answers the last one served.
  uint32_t offset = 0;
  while (offset < size) {
    CmdPacketView packet = CmdPacketView::OfMessage(request, offset);
    if (!packet.complete()) {
      // A request too short for a packet is refused; a few stray bytes
      // after a served packet are left alone.
      if (offset == 0) status = kSlvRefused;
      break;
    }
    if (!shell.Prepare(packet)) {
      status = kSlvNoDiskSpace;
      break;
    }
    uint16_t body = 0;
    status = kSlvDone;
    switch (packet.operation()) {
      case kSlvOpen: body = slvDoOpen(packet, shell, &status); break;
      case kSlvRead: body = slvDoRead(packet, shell, &status); break;
      case kSlvWrite: body = slvDoWrite(packet, shell, &status); break;
      case kSlvClose: body = slvDoClose(packet, shell, &status); break;
      default: break;
    }
    shell.SetBodyLength(body);
    if (status != kSlvDone) break;
    offset += kCmdPacketHeader + packet.declaredLength();
  }
  shell.Finish(status);
  return status;
}

uint16_t slvMasterCall(HostRelay& relay, LongMessage& reply, const LongMessage& request) {
  CmdPacketView packet = CmdPacketView::OfMessage(request);
  if (packet.complete() && packet.device() >= kSlvFirstHostChannel && packet.device() <= kSlvLastHostChannel) {
    return relay.MasterCallComms(reply, request);
  }
  return slvDoCommand(reply, request);
}

extern "C" void slvInternalInit() {
  SlaveState& state = slvState();
  state.card = SlaveMagneticCard{};
  state.realPrinting = true;
  state.printingError = false;
}

extern "C" void slvInit() { slvInternalInit(); }

extern "C" void slvDone() {
  slvUi().doneNewCheck();
  slvCloseFileService();
}
