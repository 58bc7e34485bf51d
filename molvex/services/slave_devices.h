// The device handlers behind the slave dispatcher. Each serves the four
// operations of its device: it returns the reply body length and sets the
// status (the dispatcher sets 13 before it calls, so a handler that refuses
// a request simply leaves it).
#pragma once

#include <cstdint>

#include "molvex/services/command_packet.h"

using SlvDeviceHandler = uint16_t (*)(uint8_t operation, const CmdPacketView& request,
                                      LongMessageCmdPacketShell& reply, uint16_t* status);

// Device codes of the command packet.
enum SlvDevice : uint8_t {
  kSlvKeyboard = 2,
  kSlvPrinter = 3,
  kSlvMagneticReader = 4,
  kSlvClock = 5,
  kSlvFirstHostChannel = 20,
  kSlvLastHostChannel = 25,
  kSlvBeeper = 32,
  kSlvOperationData = 35,
  kSlvPcFile = 38,
  kSlvMonitoring = 39,
  kSlvSignature = 40,
  kSlvRebootNotice = 41,
  kSlvCardholderAnswer = 43,
  kSlvMerchantCheque = 44,
  kSlvHeartBeat = 45,
  kSlvFastFile = 47,
  kSlvBigData = 49,
};

// Statuses of the handlers.
inline constexpr uint16_t kSlvDone = 0;
inline constexpr uint16_t kSlvRebooting = 5;
inline constexpr uint16_t kSlvNoReply = 6;
inline constexpr uint16_t kSlvRefused = 13;
inline constexpr uint16_t kSlvBadSignatureStep = 101;
inline constexpr uint16_t kSlvFileFailed = 251;
inline constexpr uint16_t kSlvNotSupported = 252;
inline constexpr uint16_t kSlvNoDiskSpace = 253;
inline constexpr uint16_t kSlvChequeIncomplete = 4384;

// The handler of a device, nullptr for a device nobody serves.
SlvDeviceHandler slvDeviceHandler(uint8_t device);

// Writes n bytes as the reply body; false (status 253) when the reply cannot hold them.
bool slvPutBody(LongMessageCmdPacketShell& reply, const void* bytes, uint16_t n, uint16_t* status);

uint16_t slvKeyboardDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvPrinterDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvMagneticReaderDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvClockDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvBeeperDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvOperationDataDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvPcFileDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvMonitoringDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvSignatureDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvRebootNoticeDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvCardholderAnswerDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvMerchantChequeDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvHeartBeatDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
uint16_t slvNotYetServedDevice(uint8_t, const CmdPacketView&, LongMessageCmdPacketShell&, uint16_t*);
