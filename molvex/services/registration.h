// Installs the slave services into the platform: molvex's start calls this
// once, before the platform starts.
#pragma once

void RegisterSlaveServices();
