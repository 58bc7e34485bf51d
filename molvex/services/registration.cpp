#include "molvex/services/registration.h"

#include "molvex/platform/system.h"
#include "molvex/services/slave_dispatcher.h"

void RegisterSlaveServices() { drvPlatformHooks().slave_init = slvInit; }
