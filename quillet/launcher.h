// The launcher that the POS may start in place of the payment program: it
// installs delivered files, runs the worker program with the POS's command
// line and, after operations "7" and "21", the update client.
#pragma once

#include <cstddef>
#include <cstdint>

#include "src/pc/paths.h"

// Every part of a split path, and a merged path, holds at most this many
// characters plus the terminating zero.
constexpr size_t kFnameMax = kPccMaxPath;

extern "C" {

// Splits path into its folder (up to and including the last "/" or "\"),
// its name, and its extension (from the last "." of the name on, the dot
// included). Each output, when given, holds kFnameMax + 1 bytes.
void fnameSplit(const char* path, char* folder, char* name, char* extension);
// folder + name + extension (any may be missing), cut to kFnameMax characters.
void fnameMerge(char* output, const char* folder, const char* name, const char* extension);

// Size of a regular file; -1 when it cannot be opened.
int64_t FileLength(const char* file);
// False when either file cannot be opened or is empty; otherwise whether
// their contents differ.
bool AreFilesDifferent(const char* a, const char* b);
// Copies the whole of a non-empty file; to is created or emptied first. An
// empty or missing source leaves to untouched. True when everything was written.
bool CopyFile(const char* from, const char* to);

// Installs every "<name>.new" in the registered folder over "<name>" when the
// two differ, keeping the previous content as "<name>.old". The names are
// used relative to the working directory.
void UpdateExeFile(const char* mask, int folder);

// The whole run; the exit status is always 0.
int QuilletMain(int argc, char* argv[]);

}
