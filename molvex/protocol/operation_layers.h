// What the command protocol adds to molvex's run: the link's devices, the
// PIN pad's heartbeat data, the idle work, and the command client factory.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/run/operation_run.h"

// Call once at program start, before the platform starts.
void InstallOperationLayers();
// The command client of an operation, as the run takes it.
std::unique_ptr<IOperationClient> CreateOperationClient(DavizParams& params, uint16_t& code);

// The environment variable through which the end-to-end tests shorten the
// long waits of the protocol (a divisor; absent: the real waits).
inline constexpr const char* kWaitDivisorVariable = "MOLVEX_TEST_WAIT_DIVISOR";
