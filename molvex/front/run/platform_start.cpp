#include "molvex/front/run/platform_start.h"

#include "molvex/platform/system.h"

void InstallStartupFileSystem() {
  // Making the system object roots the default file system in the program folder.
  ISystem::Instance();
}

void StartPlatform() { TLinStubExeSystem::StartSystem(); }

void ShutdownPlatform() { drvShutdown(); }
