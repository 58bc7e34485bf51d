// Brings the layers of an operation together for molvex's run: the
// printer, console and slave devices, the heartbeat data of the PIN pad,
// the idle work and the command client factory.
#pragma once

#include "molvex/front/run/operation_run.h"

// Call once at program start, before the platform starts.
void InstallOperationLayers();
// The steps of the run that these layers take: the cheque printer, the
// console display and the command client factory.
const OperationRunHooks* OperationLayerHooks();

// The environment variable through which the end-to-end tests shorten the
// long waits of the protocol (a divisor; absent: the real waits).
inline constexpr const char* kWaitDivisorVariable = "MOLVEX_TEST_WAIT_DIVISOR";
