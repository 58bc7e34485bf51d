// The communication log of the PIN pad ports: one file per port and day of
// the month, holding the raw bytes that crossed the port.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Mode 0: nothing; 1: exchanges of at most 1600 bytes; 2: everything. Returns the previous mode.
int pplogToggleLogMode(int mode);
int pplogGetLogMode();
// Communication statistics switch (PinpadLog values 10 to 19). Returns the previous value.
int pplogToggleStatisticMode(int on);
int pplogGetStatisticMode();

// Kind: '+' opened, '-' closed, '>' sent, '<' received, 'e' error text.
void LogCommData(int port, char kind, const void* data, size_t length);

}

// Forgets the date of the last stale-file check (tests simulate a new day).
void pcc_ResetCommLogForTests();
