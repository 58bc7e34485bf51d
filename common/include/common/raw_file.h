// Raw parameter files: one fixed-size binary record and nothing else (no
// header, no checksum), read and written whole. Names are used as given
// (relative to the current folder unless absolute).
#pragma once

#include <cstdint>
#include <vector>

namespace common {

// Deletes the file, then (size not 0) creates it and writes size bytes.
// Returns the number of bytes written (0 on failure).
uint32_t auxSaveParamsByName(const char* name, uint32_t size, const void* record);
// The same with extra open(2) flags (O_SYNC, for example) added to the creation.
uint32_t auxDoSaveParamsByName(const char* name, uint32_t size, const void* record, int32_t openFlags);

// Reads min(size, file length) bytes into record; size 0 reads the whole file,
// so record must then hold the whole file (prefer auxLoadParamsFile). Returns
// the number of bytes read, 0 when the file cannot be opened.
uint32_t auxLoadParamsByName(const char* name, uint32_t size, void* record);
// The whole file into bytes; false when it cannot be opened or read.
bool auxLoadParamsFile(const char* name, std::vector<uint8_t>& bytes);

}  // namespace common
