#include "molvex/protocol/operation_layers.h"

#include <cstdlib>

#include "molvex/link/device_access.h"
#include "molvex/platform/idle.h"
#include "molvex/protocol/client_factory.h"
#include "molvex/protocol/heartbeat.h"
#include "molvex/protocol/idle_processing.h"
#include "molvex/protocol/protocol_timings.h"
#include "molvex/services/slave_hooks.h"

void InstallOperationLayers() {
  RegisterLinkDevices();
  slvSetHeartBeatHook([](uint8_t status, uint32_t ms) { HeartBeatObject::Instance().SetHeartBeatTimeout(status, ms); });
  drvSetIdleHook(DoIdleProcessing);
  if (const char* divisor = std::getenv(kWaitDivisorVariable)) {
    long value = std::strtol(divisor, nullptr, 10);
    if (value > 1 && value <= 1000) ScaleProtocolTimings(static_cast<uint32_t>(value));
  }
}

std::unique_ptr<IOperationClient> CreateOperationClient(DavizParams& params, uint16_t& code) {
  return CreatePciDssClient(params, code);
}
