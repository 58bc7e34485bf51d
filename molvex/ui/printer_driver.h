// The printer entry points of the platform: they reach the printer device
// (device 4) of the device layer.
#pragma once

#include <cstdint>

extern "C" {

// Opens the printer in mode 1, 2 or 3, any other value as mode 0, with the
// open flags that the user-interface mode word asks for. -3: no printer.
int drvOpenPrinter(int mode);
// Nothing for an empty text; otherwise waits while the printer is busy and
// hands it the text with the style set of the PIN pad's attribute byte.
void drvPrintLine(const char* text, uint8_t attributes);
void drvClosePrinter();

int prnOpenPrinter(int mode);
void prnPrintLine(const char* text, uint8_t attributes);
void prnClosePrinter();

}

// Renames the cheque file of the printer device (device 4) inside the
// result folder and leaves no cheque file behind; 0, the file system's
// error code, or 252 when the printer device writes no cheque file.
uint16_t RenameChequeFile(const char* new_name);

// The PIN pad's line attributes (0x80 inverse, 0x40 wide, 0x20 high,
// 0x10 bold) as the printer's style bits (0x01, 0x02, 0x04, 0x08).
uint8_t PrinterStyleFromAttributes(uint8_t attributes);
// The open flags taken from the user-interface mode word.
uint16_t PrinterOpenFlagsFromUiMode(uint16_t ui_mode);
