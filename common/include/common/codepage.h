// Cyrillic code pages. Texts inside the program are cp866; these routines
// convert at the edges: KOI8-R for the response and cheque files, UTF-8 and
// cp1251 for the POS and the console.
//
// Every routine that writes into a destination of dstSize bytes writes at
// most dstSize - 1 bytes of text and always ends it with a zero byte inside
// dstSize (nothing at all when dstSize is 0).
#pragma once

#include <cstddef>
#include <cstdint>

namespace common {

enum Cp866Mode : int {
  kCp866ToKoi8r = 0,
  kCp866ToUtf8 = 1,
  kCp866ToCp866 = 2,
  kCp866ToCp1251 = 3,
};

// Converts the zero-terminated cp866 text src into the code page of mode.
// Returns the number of bytes written, the terminating zero not counted.
// An unknown mode copies the text unchanged.
size_t cp866Translate(char* dst, const char* src, size_t dstSize, int mode);
// The same for srcLen bytes of src (zero bytes included).
size_t cp866TranslateEx(char* dst, size_t dstSize, const char* src, size_t srcLen, int mode);

// One character from cp866 to KOI8-R (mode 0 of cp866Translate) and back.
uint8_t cp866toKoi8r(uint8_t ch);
uint8_t koi8rTo866(uint8_t ch);

// One character cp866 -> cp1251 (the glyph order of the fonts).
uint8_t grhChar866To1251(uint8_t ch);
uint8_t cp866to1251(uint8_t ch);
// In place, up to the terminating zero.
void ConvertFrom866To1251(char* text);
// In place, at most count characters (stopping at a zero byte); a negative
// count means up to 65,535.
void ConvertCountOfFrom866To1251(char* text, int32_t count);

uint8_t cp1251to866(uint8_t ch);
void ConvertFrom1251To866(char* text);

// UTF-8 to cp866. Characters without a cp866 form (and malformed sequences)
// become a single "?". Returns the number of characters written.
size_t UTF8Tocp866(char* dst, const char* src, size_t dstSize);
size_t UTF8Tocp866Size(char* dst, const char* src, size_t srcLen, size_t dstSize);

// One UTF-16 code unit as UTF-8 (1 to 3 bytes, no terminating zero). A
// surrogate half alone is no character and is written as "?". Returns the
// number of bytes written, 0 when they do not fit in room.
size_t UnicodeCharToUtf8Char(uint16_t codepoint, char* out, size_t room);

}  // namespace common
