// The slave dispatcher: the PIN pad's requests for the PC's devices (master
// calls), served one packet at a time by the device handlers.
#pragma once

#include <cstdint>

#include "molvex/link/message.h"
#include "molvex/services/command_packet.h"

class HostRelay;

// Serves one master-call request into reply and returns the status, which is
// also the reply's command byte. A request without data resets the magnetic
// card record and the printing flags. Status 6 means no reply is to be sent,
// 5 that the PIN pad is about to reboot.
uint16_t slvDoCommand(LongMessage& reply, const LongMessage& request);
// The step the command session takes for every request that is not for a host channel.
inline uint16_t preDoCommand(LongMessage& reply, const LongMessage& request) { return slvDoCommand(reply, request); }

// The master call as the command session makes it: requests of at least
// 5 bytes for devices 20 to 25 go to the host relay, all others to
// slvDoCommand.
uint16_t slvMasterCall(HostRelay& relay, LongMessage& reply, const LongMessage& request);

// The four operations; each returns the reply body length and sets status.
uint16_t slvDoOpen(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status);
uint16_t slvDoRead(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status);
uint16_t slvDoWrite(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status);
uint16_t slvDoClose(const CmdPacketView& request, LongMessageCmdPacketShell& reply, uint16_t* status);

extern "C" {
// Once at system start (installed as the platform's slave_init hook).
void slvInit();
// Clears the magnetic card record and sets the printing flags to their start values.
void slvInternalInit();
// End of an operation: closes the cheque and the file of the file service.
void slvDone();
}
