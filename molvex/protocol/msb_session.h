// The MSB command session: sends the operation request, serves the PIN pad
// until its final answer, and follows it through reboots.
#pragma once

#include <cstdint>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"

class MsbDavizEnv;

// Session states.
enum MsbSessionState : int {
  kSessionNormal = 0,
  kSessionRebooting = 1,     // the port is closed while the PIN pad restarts
  kSessionReconnected = 2,   // the port is open again; the first message is awaited
};

inline constexpr uint32_t kFinalAnswerIdBit = 0x80000000u;
inline constexpr uint32_t kAnyRequestAnswerId = 0x80000001u;
inline constexpr uint8_t kReplyRebooting = 5;
inline constexpr uint8_t kReplyNone = 6;
inline constexpr uint32_t kFastReplyMinimum = 2048;

uint16_t tspRunDavizCommandMsb(DavizParams& params, DavizResult& result, MsbDavizEnv& env);

// The waiting slice between reopening attempts for a PIN pad model.
uint32_t RebootSliceMs(char modelLetter);
