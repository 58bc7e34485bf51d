// Keyboard, printer, magnetic reader, clock, beeper, operation data, reboot
// notice and heartbeat: the devices that only pass a request on.
#include <algorithm>
#include <cstring>
#include <string>

#include "common/byte_order.h"
#include "molvex/platform/system.h"
#include "molvex/services/slave_devices.h"
#include "molvex/services/slave_hooks.h"
#include "molvex/services/slave_state.h"
#include "molvex/services/ui_calls.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

// A PIN pad that keeps a key pressed must not keep us in the loop for ever.
constexpr int kMaxKeysPerRequest = 256;
constexpr uint16_t kUiModeFromPinpad = 0x0020 | 0x0040;

int NextKey() {
  int key = slvUi().getKey();
  if (key <= 0 || (key & 0xFF) == 0) return 0;
  return key;
}

void DropKeys() {
  for (int i = 0; i < kMaxKeysPerRequest && NextKey() != 0; ++i) {
  }
}

// Copies a zero-ended track into the reply; false when it does not fit.
bool AppendTrack(uint8_t* out, uint32_t room, uint32_t& used, const char* track, size_t size) {
  size_t length = strnlen(track, size);
  if (used + length + 1 > room) return false;
  std::memcpy(out + used, track, length);
  out[used + length] = 0;
  used += static_cast<uint32_t>(length + 1);
  return true;
}

}  // namespace

bool slvPutBody(LongMessageCmdPacketShell& reply, const void* bytes, uint16_t n, uint16_t* status) {
  uint8_t* body = reply.Reserve(n);
  if (body == nullptr) {
    *status = kSlvNoDiskSpace;
    return false;
  }
  if (n > 0) std::memcpy(body, bytes, n);
  return true;
}

uint16_t slvKeyboardDevice(uint8_t operation, const CmdPacketView&, LongMessageCmdPacketShell& reply,
                           uint16_t* status) {
  *status = kSlvDone;
  if (operation == kSlvOpen || operation == kSlvClose) {
    DropKeys();
    return 0;
  }
  if (operation != kSlvRead) return 0;
  uint8_t keys[kMaxKeysPerRequest];
  uint16_t count = 0;
  for (int key = NextKey(); key != 0 && count < kMaxKeysPerRequest; key = NextKey()) {
    keys[count++] = slvUi().stdKey(static_cast<uint8_t>(key & 0xFF));
  }
  if (!slvPutBody(reply, keys, count, status)) return 0;
  return count;
}

uint16_t slvPrinterDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                          uint16_t* status) {
  const uint16_t b = request.length();
  switch (operation) {
    case kSlvOpen: {
      if (b == 0) return 0;
      if (b > 2) pcc_GetUImode() |= static_cast<uint16_t>(request.word(1) & kUiModeFromPinpad);
      if (b > 3) slvUi().setPrintCounter(request.byte(3));
      const uint8_t mode = request.byte(0);
      if (mode == 0) {
        *status = static_cast<uint16_t>(slvUi().initNewCheck());
      } else if (mode == 1) {
        slvUi().reprintLastCheck(1);
        *status = kSlvDone;
      } else {
        *status = static_cast<uint16_t>(slvUi().openPrinter(mode));
      }
      return 0;
    }
    case kSlvWrite: {
      if (b == 0) return 0;
      std::string text(reinterpret_cast<const char*>(request.body()) + 1, b - 1u);
      slvUi().writeSpoolAndPrint(text.c_str(), request.byte(0));
      *status = kSlvDone;
      return 0;
    }
    case kSlvClose:
      slvUi().doneNewCheck();
      *status = kSlvDone;
      return 0;
    default:
      *status = kSlvDone;
      return 0;
  }
}

uint16_t slvMagneticReaderDevice(uint8_t operation, const CmdPacketView&, LongMessageCmdPacketShell& reply,
                                 uint16_t* status) {
  *status = kSlvDone;
  switch (operation) {
    case kSlvOpen:
      *status = slvhooks::drvOpenMagnReader();
      return 0;
    case kSlvClose:
      slvhooks::drvCloseMagnReader();
      return 0;
    case kSlvRead: {
      SlaveMagneticCard& card = slvState().card;
      card = SlaveMagneticCard{};
      if (slvhooks::drvTestMagnCard(card.track1, sizeof card.track1, card.track2, sizeof card.track2, card.track3,
                                    sizeof card.track3) != 0) {
        card = SlaveMagneticCard{};
        return 0;
      }
      // A reader may leave a track without its end: the last byte stays 0.
      card.track1[sizeof card.track1 - 1] = 0;
      card.track2[sizeof card.track2 - 1] = 0;
      card.track3[sizeof card.track3 - 1] = 0;
      uint8_t body[sizeof card.track1 + sizeof card.track2 + sizeof card.track3];
      uint32_t used = 0;
      AppendTrack(body, sizeof body, used, card.track1, sizeof card.track1);
      AppendTrack(body, sizeof body, used, card.track2, sizeof card.track2);
      AppendTrack(body, sizeof body, used, card.track3, sizeof card.track3);
      if (!slvPutBody(reply, body, static_cast<uint16_t>(used), status)) return 0;
      return static_cast<uint16_t>(used);
    }
    default:
      return 0;
  }
}

uint16_t slvClockDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell& reply,
                        uint16_t* status) {
  if (operation == kSlvRead) {
    uint32_t date = 0;
    uint32_t time = 0;
    drvGetDateAndTime(&date, &time);
    uint8_t body[8];
    common::DWORD_MSB(date, body);
    common::DWORD_MSB(time, body + 4);
    *status = kSlvDone;
    return slvPutBody(reply, body, sizeof body, status) ? sizeof body : 0;
  }
  if (operation == kSlvWrite) {
    // Any other length cannot be a date and a time: the clock stays as it is.
    if (request.length() == 8) *status = drvSetDateAndTime(request.dword(0), request.dword(4));
    return 0;
  }
  *status = kSlvDone;
  return 0;
}

uint16_t slvBeeperDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                         uint16_t* status) {
  if (operation == kSlvWrite) {
    if (request.length() == 0) return 0;
    slvhooks::Beep(request.byte(0) != 0);
  }
  *status = kSlvDone;
  return 0;
}

uint16_t slvOperationDataDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t* status) {
  *status = kSlvDone;
  return 0;
}

uint16_t slvRebootNoticeDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                               uint16_t* status) {
  if (operation != kSlvOpen) {
    *status = kSlvDone;
    return 0;
  }
  uint32_t wait = request.length() > 3 ? request.dword(0) : 0;
  wait = std::max(wait, kMinRebootWaitMs);
  slvState().rebootWaitMs = wait;
  ReportString("Pinpad will be back in %lu ms", static_cast<unsigned long>(wait));
  *status = kSlvRebooting;
  return 0;
}

uint16_t slvHeartBeatDevice(uint8_t operation, const CmdPacketView& request, LongMessageCmdPacketShell&,
                            uint16_t* status) {
  if (operation != kSlvWrite) {
    *status = kSlvDone;
    return 0;
  }
  // Heartbeat data never get an answer, not even a refusal: the PIN pad
  // does not wait for one. A body too short to hold the values is dropped.
  *status = kSlvNoReply;
  if (request.length() < 5) return 0;
  const uint64_t ms = static_cast<uint64_t>(request.dword(0)) * 1000u;
  slvhooks::HeartBeat(request.byte(4), static_cast<uint32_t>(std::min<uint64_t>(ms, UINT32_MAX)));
  return 0;
}

uint16_t slvNotYetServedDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t* status) {
  *status = kSlvNotSupported;
  return 0;
}
