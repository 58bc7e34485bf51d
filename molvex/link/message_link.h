// Whole messages over the PIN pad link: sending in acknowledged data frames,
// fast and info frames, receiving and reassembling, request and reply
// matching by identifier, and the exchange entry points of the sessions.
#pragma once

#include <cstdint>

#include "molvex/link/message.h"

// The PIN pad's port number (set from the configuration).
extern uint8_t PINPAD_PORT;
// 0 while the legacy protocol is in use; otherwise the next message
// identifier to hand out (1 to 999,999).
extern uint32_t bUseNewProtocol;

// Sends one data frame and returns the control byte that answered it (0 when
// none came or the write failed; NAK after three refusals).
uint8_t tspSendANewFrame(int8_t port, uint8_t sequence, const uint8_t* payload, uint8_t n);
// Sends a whole message in data frames (or legacy pieces for id 0xFFFFFFFF): 0, 99 or 238.
uint16_t tspSendNewMessage(int8_t port, T_Message* block);
// Receives one whole message: 0, 99, 251 or 253.
uint16_t tspRecvNewMessage(int8_t port, LongMessage* message);
// One fast frame (high-speed links): 0 or 99.
uint16_t tspSendFastMessage(int8_t port, LongMessage* message);
// One info frame (a wire image of at most 255 bytes): 0 or 99.
uint16_t tspSendInfoMessage(int8_t port, LongMessage* message);

// Flags of tspMakeAMessageEx.
inline constexpr uint32_t kMakeMessageFast = 0x01;

// Sends request (or none) and/or receives reply (or none); seconds 0 means
// 3 s for the reply. Returns 0, 99, 238, 251 or 253.
uint16_t tspMakeAMessageEx(int8_t port, uint32_t seconds, T_Message* request, LongMessage* reply, uint32_t flags);
uint16_t tspMakeAMessage(int8_t port, uint32_t seconds, T_Message* request, LongMessage* reply, uint32_t flags);
// The same with the reply wait in milliseconds (0: 3,000).
uint16_t tspMakeAMessageMs(int8_t port, uint32_t ms, T_Message* request, LongMessage* reply, uint32_t flags);

// Answers a PIN pad request on PINPAD_PORT; requestId nullptr: no known request.
uint16_t tspReturnResultToControllerEx(T_Message* reply, const uint32_t* requestId, bool fast);
uint16_t tspReturnResultToController(T_Message* reply, const uint32_t* requestId);
// The next message from PINPAD_PORT; 99 at once (after a short wait) when nothing arrives.
uint16_t tspGetCommandFromController(LongMessage* message);

// A fresh identifier for a request (0xFFFFFFFF in the legacy protocol).
void tspFixLongMessageID(T_Message* message);
// The identifier seed of a run using the current protocol: (millisecond counter mod 1,000,000) + 1.
uint32_t tspNewProtocolSeed();
// Switches the framing: the current one (seeding the identifiers when they
// were off) or the legacy one.
void tspUseCurrentFraming(bool current);

// One request/reply exchange: 99 when it fails, 0 when no reply was asked
// for, otherwise the reply's command (a reply 14 with two data bytes gives
// the little-endian error code they carry).
uint16_t DoExchangeWithPP(int8_t port, T_Message* request, LongMessage* reply, uint32_t seconds, uint32_t flags);
uint16_t DoExchangeWithPPMs(int8_t port, T_Message* request, LongMessage* reply, uint32_t ms, uint32_t flags);
uint16_t tspExchangeWithPP(T_Message* request, LongMessage* reply);

// The message timer: a begun message must go on within it.
inline constexpr uint32_t kMessageTimerMs = 2500;
