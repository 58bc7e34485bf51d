// Connects the layers of molvex for one run: device factories of the layers
// above the platform and the steps of the operation run they own.
#pragma once

// Called once at start, before the platform is started.
void InstallMolvexLayers();
