// Making sure a PIN pad answers: the readiness test, waiting for the PIN pad
// at both speeds and in both framings, the speed change, the USB search and
// the restart.
#pragma once

#include <cstdint>

#include "molvex/link/link_timings.h"
#include "molvex/link/readiness.h"

// What the readiness commands of an operation carry.
struct PinpadTestParams {
  uint32_t value = 0;       // the operation's currency code
  uint8_t cardType = 0;
  bool askFunction = false; // carry the function identifier
  uint16_t functionId = 0;
};

// Search modes of TestPinpad.
inline constexpr int kSearchWhenFailing = 0;
inline constexpr int kSearchAlways = 1;
inline constexpr int kSearchNever = 2;

// One readiness command on PINPAD_PORT: 0 answered, 99 no answer, 4104 too
// short, other codes from the PIN pad. info: the function identifier to ask
// about, or nullptr.
uint16_t TestPinpadOK(T_PinpadProperties* properties, uint32_t value, uint8_t flag, const uint16_t* info);
// Waits for the PIN pad on PINPAD_PORT, trying both framings and both
// speeds; moves a PIN pad found at 9,600 to the optimal speed. 253 when the
// port does not open, 99 when the total wait runs out.
uint16_t stubWaitForPinpad(uint32_t totalMs, uint32_t retryMs, uint8_t* speedIndex, T_PinpadProperties* properties,
                           uint32_t value, uint8_t flag, const uint16_t* info);
// Moves the PIN pad to another speed (command 21); reopen: reopen the port at it.
uint16_t termSetPinpadSpeed(uint8_t speedIndex, bool reopen);
// Makes sure a PIN pad answers, searching the USB ports as mode says.
// info receives the function identifier when the PIN pad supports it, else 0.
uint16_t TestPinpad(const PinpadTestParams& params, T_PinpadProperties* properties, int mode, uint16_t* info);
// Sends the restart command (19) and waits for the PIN pad to come back.
uint16_t termRestartPinpad();
// Reads and drops everything waiting on the port.
void auxFlushComPort(int8_t port);
// The link settings at the start of a serial operation: framing and
// identifier seed from "NewProtocol", PINPAD_PORT from "ComPort", PORT_SPEED from "Speed".
void tspLoadLinkSettings();

