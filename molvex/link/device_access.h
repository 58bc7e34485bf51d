// How the link reaches its device objects (serial interface 12, Ethernet
// interfaces 9, 10, 11, 13), and the few hooks the layers above install.
#pragma once

#include <functional>

#include "molvex/platform/device_layer.h"

// The device layer the link takes its devices from: the one installed with
// SetLinkDeviceLayer, else a stub layer owned here.
IDeviceLayer* LinkDeviceLayer();
// Installs the system's device layer (nullptr: back to the link's own).
void SetLinkDeviceLayer(IDeviceLayer* layer);
// Drops the link's own device layer and the devices it made (tests only).
void ResetLinkDeviceLayerForTests();

// Registers the link's device factories: 12 the serial interface, 9, 10, 11
// and 13 the Ethernet interface.
void RegisterLinkDevices();

// Reads a key without waiting (0 when none): the waits for a TCP connection
// end on Esc. The console layer installs it; without one no key is ever seen.
using LinkKeyReader = std::function<int()>;
void SetLinkKeyReader(LinkKeyReader reader);
int LinkReadKey();

// Sleeps ms milliseconds (the system's Wait), going on after a signal.
void LinkWait(uint32_t ms);
