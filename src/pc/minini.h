// The INI file module: one value read or written per call, no state kept.
// File names are full paths; strings are byte strings.
#pragma once

extern "C" {

// Reads the value of key in section ("" = the keys before the first section
// header) into buffer (cut to bufsize - 1). Missing file or key: the default.
// Returns the length placed in the buffer; 0 without a buffer or key.
int ini_gets(const char* section, const char* key, const char* default_value, char* buffer,
             int bufsize, const char* filename);

// Writes (adds or replaces) one key. Returns 1 on success, 0 when the file or
// its temporary copy cannot be written.
int ini_puts(const char* section, const char* key, const char* value, const char* filename);

// Copies source over target line by line (the target keeps its identity).
void ini_copy_from(const char* target, const char* source);

}
