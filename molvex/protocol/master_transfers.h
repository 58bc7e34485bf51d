// What the PC sends the PIN pad on its own initiative before an operation:
// a value for the PIN pad's big-data store and the merchant cheque text.
// The big-data exchange installs the real senders; until then both answer
// 252 (not supported) and the operation goes on without them.
#pragma once

#include <cstddef>
#include <cstdint>

struct MasterTransfers {
  uint16_t (*writeBigData)(uint32_t tag, uint32_t value) = nullptr;
  uint16_t (*sendMerchantCheque)(int8_t port, uint32_t value, const char* text, size_t length) = nullptr;
};
void SetMasterTransfers(const MasterTransfers* transfers);  // nullptr: none

uint16_t termWriteBigDataValue(uint32_t tag, uint32_t value);
uint16_t termSendMerchantCheque(int8_t port, uint32_t value, const char* text, size_t length);
