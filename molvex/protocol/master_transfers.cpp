#include "molvex/protocol/master_transfers.h"

namespace {
const MasterTransfers* g_transfers = nullptr;
constexpr uint16_t kNotSupported = 252;
}  // namespace

void SetMasterTransfers(const MasterTransfers* transfers) { g_transfers = transfers; }

uint16_t termWriteBigDataValue(uint32_t tag, uint32_t value) {
  if (g_transfers == nullptr || g_transfers->writeBigData == nullptr) return kNotSupported;
  return g_transfers->writeBigData(tag, value);
}

uint16_t termSendMerchantCheque(int8_t port, uint32_t value, const char* text, size_t length) {
  if (g_transfers == nullptr || g_transfers->sendMerchantCheque == nullptr) return kNotSupported;
  return g_transfers->sendMerchantCheque(port, value, text, length);
}
