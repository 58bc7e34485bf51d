// Choosing and preparing the command client of an operation: the PIN pad is
// found and tested, brought up to date, handed the cash desk's identity, and
// the client that suits the operation is made.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/front/model/daviz_params.h"
#include "molvex/protocol/daviz_command.h"

inline constexpr uint8_t kOpPolling = 53;
inline constexpr uint8_t kOpPinpadTest = 26;
inline constexpr uint8_t kOpReload = 14;
inline constexpr uint8_t kOpFullReload = 19;
inline constexpr uint8_t kOpNoSerial = 100;

// A client, or none; code receives 0 or the reason.
std::unique_ptr<DavizCommand> CreatePciDssClient(DavizParams& params, uint16_t& code);
// The serial (MSB) branch.
std::unique_ptr<DavizCommand> GetSerialPortClient(DavizParams& params, uint16_t& code);

// The TCP PIN pad of "PinpadIPAddr" and "PinpadIPPort"; false when either is
// missing or not valid.
bool ReadPinpadTcpAddress(uint32_t* address, uint16_t* port);
