// What molvex knows about each operation code: which positional arguments it
// takes, whether the POS may start it and how the PIN pad's kernel names it.
#pragma once

#include <cstdint>

// The operation needs a request identifier (see DavizParams::GenerateRequestID).
inline constexpr uint8_t kOperNeedsRequestId = 0x04;
// The operation may not be started from the command line.
inline constexpr uint8_t kOperNotFromCommandLine = 0x10;

inline constexpr uint8_t kMaxOperationCode = 108;

struct T_DavizOperation {
  uint8_t flags;
  uint16_t kernelType;  // the operation in the PIN pad's kernel, 0 = none
  uint8_t argCount;     // arguments needed at least, the operation code counted
  const char* letters;  // one letter per positional argument; "" means "actr"
  int8_t operType;      // carried for other users; -1 = any
  int8_t operSubtype;   // carried for other users; -1 = any
};

// The entry of an operation code; every code above 108 gets the all-zero entry 0.
const T_DavizOperation& davizGetOperation(uint32_t code);
// The argument letters of the code, with the default "actr" filled in.
const char* davizGetOperationLetters(uint32_t code);
uint16_t davizGetKernelOperType(uint32_t code);
