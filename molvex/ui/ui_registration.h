// Hooks molvex's printing and console devices into the platform.
#pragma once

// Registers device 3 (console display), 4 (cheque file printer) and
// 5 (console keyboard) with the device layer and installs the display
// set-up that drvInit runs. Call once, before the platform starts.
void RegisterUiDevices();
