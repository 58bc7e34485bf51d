// Configuration access: named INI files in the registered folders, top-level
// keys, the printer defaults of "printers.ini" and small typed readers.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

// Reads key of section from file in folder path_to into out (at most size - 1
// characters; size 0: whole). out is always set, "" when nothing is found.
// Printer option keys fall back to "printers.ini". Returns the length of out.
int pcc_GetDoIniSectionStringSize(const char* file, const char* section, const char* key, char* out, size_t size,
                                  int path_to);
int pcc_GetIniSectionStringSize(const char* file, const char* section, const char* key, char* out, size_t size);
int pcc_GetIniStringSize(const char* file, const char* key, char* out, size_t size);

// Writes a key of file in the ini folder; logs "Error: cannot save %s=%s to %s" on failure.
int pcc_SetIniSectionString(const char* file, const char* section, const char* key, const char* value);
int pcc_SetIniString(const char* file, const char* key, const char* value);

int IsPrinterOptions(const char* key);
// The printer fallback; true when key is one of the seven printer option keys.
int readFromPrinters(const char* file, const char* key, char* out, size_t size);

// A top-level flag of "pinpad.ini": leading digits as a number, "Y" as 1, else 0; empty: default.
int ReadBooleanParamAsInt(const char* key, int default_value);
int Ini_GetComPort(int default_port);
void Ini_SetComPort(int port);
// The top-level CodePage key, in one buffer that each call overwrites.
const char* Ini_Codepage();

int Ini_IsUsbEnabled();
// Communication log mode: 0 none, 2 everything, 1 short exchanges only.
int Ini_IsPinpadLog();
int Ini_IsPinpadLogStatistic();
int Ini_IsKernelLog();
int Ini_IsShowScreens();
int Ini_IsLogConsoleScreenText();

}

// "1"/"Y" sets the mask bits, "0"/"N" clears them, anything else leaves the word.
void Ini_SwitchBit(uint16_t& word, uint16_t mask, const char* key);

// The user-interface mode word (0 at start; bits 0x0004, 0x0020, 0x0040 in use).
uint16_t& pcc_GetUImode();
