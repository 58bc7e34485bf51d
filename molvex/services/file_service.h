// The PC file store the PIN pad reads and writes (device 38): files below the
// root of the default file system, in "F" (kept open between writes) or "R"
// storage (closed after each write).
#pragma once

#include <cstdint>
#include <string_view>

// True for a name that stays inside the store: not empty, no leading "/",
// no ".." component.
bool slvIsStoreFileName(std::string_view name);

// Closes the current file of the file service (end of an operation).
void slvCloseFileService();
