#include "src/pc/memory.h"

#include <cstdlib>

#include "src/pc/report.h"

extern "C" void* drvMalloc(size_t size) {
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    ReportString("drvMalloc return NULL");
    std::abort();
  }
  return block;
}

extern "C" void drvFree(void* block) { std::free(block); }
