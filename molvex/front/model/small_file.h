// Whole small files named on the command line (merchant cheque, biometric
// image, JSON text), read with a size limit and never from a device or pipe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

enum class SmallFileStatus {
  kOk,
  kCannotOpen,  // missing, unreadable or not a regular file
  kTooBig,      // bytes hold the first limit bytes
  kShortRead,   // the file ended before its size; bytes hold what was read
  kReadError,
};

struct SmallFile {
  SmallFileStatus status = SmallFileStatus::kCannotOpen;
  std::vector<char> bytes;
  uint64_t size = 0;  // the size the file claims
};

SmallFile ReadSmallFile(const char* name, size_t limit);
