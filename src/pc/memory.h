// Working buffers: allocation never hands back null; running out of memory
// ends the process with a log line.
#pragma once

#include <cstddef>

extern "C" {
void* drvMalloc(size_t size);
void drvFree(void* block);
}
