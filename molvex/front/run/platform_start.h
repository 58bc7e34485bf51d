// Bringing the platform up and down around one operation.
#pragma once

// The program folder is the default root until the platform is started.
void InstallStartupFileSystem();
// Makes the current folder the default file system and reads the log settings.
void StartPlatform();
void ShutdownPlatform();
