// The cheque being printed: every line goes to the printer and into the
// spool file "SPLC.D" of the current folder, so that the PIN pad can order
// the last cheque printed again, even in a later run.
//
// Spool layout: a 4-byte header (flags byte with bit 0 set, a big-endian
// 16-bit number -1, the reprint counter), then one record per line:
// attribute byte, 16-bit little-endian length, text without terminator.
#pragma once

#include <cstdint>

constexpr const char* kSpoolFileName = "SPLC.D";
// A record this long or longer is never written and ends a replay.
constexpr uint16_t kMaxSpoolRecord = 400;

extern "C" {

// Starts a new spool and opens the printer in mode 0; the printer's open result.
int termInitNewCheck();
// Spools the line, prints it when not empty, then runs the idle processing.
void termWriteSpoolAndPrint(const char* text, uint8_t attributes);
// Closes the spool (it stays for a reprint) and the printer.
void termDoneNewCheck();
// Opens the printer in mode and replays the spool; the printer's open result.
int termReprintLastCheck(int mode);
// Closes and deletes the spool; the print counter returns to 0.
void termEraseSpoolFile();

// The print counter of the current cheque (the PIN pad may set it).
uint8_t termGetPrintCounter();
void termSetPrintCounter(uint8_t counter);

}

// Closes the spool and forgets the counter (tests only).
void termResetChequeForTests();
