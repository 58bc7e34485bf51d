// The 16-bit result codes that the front end itself gives an operation.
#pragma once

#include <cstdint>

inline constexpr uint16_t kResultOk = 0;
inline constexpr uint16_t kResultFailure = 99;  // also the exit code of every failed operation
inline constexpr uint16_t kResultBadOption = 249;
inline constexpr uint16_t kResultNotSupported = 252;
inline constexpr uint16_t kResultBadData = 253;

// Command-line and parameter errors.
inline constexpr uint16_t kCmdNoOperation = 4300;  // also: too few positional arguments
inline constexpr uint16_t kCmdBadOperation = 4301;
inline constexpr uint16_t kCmdBadCardType = 4302;
inline constexpr uint16_t kCmdBadAmount = 4319;
inline constexpr uint16_t kCmdBadGoods = 4328;
inline constexpr uint16_t kCmdBadArgument = 4332;
inline constexpr uint16_t kCmdBadOtherAmount = 4394;
