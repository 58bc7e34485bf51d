#include "src/pc/ini_access.h"

#include <strings.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>

#include "src/pc/minini.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

constexpr const char* kPinpadIni = "pinpad.ini";

const char* const kPrinterOptionKeys[] = {"PrinterWidth",   "PrinterInit", "PrinterEnd", "PrinterWide",
                                          "PrinterHigh",    "PrinterInverse", "PrinterBold"};

void CopyOut(char* out, size_t size, const char* value) {
  size_t n = std::strlen(value);
  if (size > 0 && n > size - 1) n = size - 1;
  std::memcpy(out, value, n);
  out[n] = '\0';
}

std::string ReadTopLevel(const char* key, size_t limit) {
  char value[512];
  pcc_GetIniStringSize(kPinpadIni, key, value, limit + 1);
  return value;
}

uint16_t g_ui_mode = 0;

}  // namespace

extern "C" int pcc_GetDoIniSectionStringSize(const char* file, const char* section, const char* key, char* out,
                                             size_t size, int path_to) {
  if (out == nullptr) return 0;
  char path[4096];
  char value[512];
  pcc_MakeFullPathTo(path, sizeof path, file, path_to);
  ini_gets(section, key, "", value, sizeof value, path);
  CopyOut(out, size, value);
  if (out[0] == '\0' && key != nullptr && IsPrinterOptions(key)) readFromPrinters(file, key, out, size);
  return static_cast<int>(std::strlen(out));
}

extern "C" int pcc_GetIniSectionStringSize(const char* file, const char* section, const char* key, char* out,
                                           size_t size) {
  return pcc_GetDoIniSectionStringSize(file, section, key, out, size, PathToIni);
}

extern "C" int pcc_GetIniStringSize(const char* file, const char* key, char* out, size_t size) {
  return pcc_GetIniSectionStringSize(file, "", key, out, size);
}

extern "C" int pcc_SetIniSectionString(const char* file, const char* section, const char* key, const char* value) {
  char path[4096];
  pcc_MakeFullPathTo(path, sizeof path, file, PathToIni);
  int ok = ini_puts(section, key, value, path);
  if (!ok) ReportString("Error: cannot save %s=%s to %s", key, value != nullptr ? value : "", file);
  return ok;
}

extern "C" int pcc_SetIniString(const char* file, const char* key, const char* value) {
  return pcc_SetIniSectionString(file, "", key, value);
}

extern "C" int IsPrinterOptions(const char* key) { return key != nullptr && strncasecmp(key, "Printer", 7) == 0; }

extern "C" int readFromPrinters(const char* file, const char* key, char* out, size_t size) {
  bool known = false;
  for (const char* option : kPrinterOptionKeys) known = known || strcasecmp(option, key) == 0;
  if (!known) return 0;
  char type[512];
  char path[4096];
  char value[512];
  pcc_MakeFullPathTo(path, sizeof path, file, PathToIni);
  ini_gets("", "PrinterType", "", type, sizeof type, path);
  pcc_MakeFullPathTo(path, sizeof path, "printers.ini", PathToIni);
  ini_gets(type, key, "", value, sizeof value, path);
  CopyOut(out, size, value);
  return 1;
}

extern "C" int ReadBooleanParamAsInt(const char* key, int default_value) {
  std::string value = ReadTopLevel(key, 11);
  if (value.empty()) return default_value;
  if (value[0] >= '0' && value[0] <= '9') {
    long long n = 0;
    for (char c : value) {
      if (c < '0' || c > '9') break;
      n = n * 10 + (c - '0');
      if (n > INT_MAX) return INT_MAX;
    }
    return static_cast<int>(n);
  }
  return value[0] == 'Y' ? 1 : 0;
}

void Ini_SwitchBit(uint16_t& word, uint16_t mask, const char* key) {
  std::string value = ReadTopLevel(key, 3);
  if (value.empty()) return;
  if (value[0] == '1' || value[0] == 'Y') word = static_cast<uint16_t>(word | mask);
  if (value[0] == '0' || value[0] == 'N') word = static_cast<uint16_t>(word & ~mask);
}

extern "C" int Ini_GetComPort(int default_port) {
  std::string value = ReadTopLevel("ComPort", 11);
  long long port = 0;
  bool negative = !value.empty() && value[0] == '-';
  for (size_t i = negative ? 1 : 0; i < value.size() && value[i] >= '0' && value[i] <= '9'; ++i) {
    port = port * 10 + (value[i] - '0');
    if (port > INT_MAX) port = INT_MAX;
  }
  if (negative) port = -port;
  if (port == 0) return default_port & 0xFF;
  return static_cast<int>(port);
}

extern "C" void Ini_SetComPort(int port) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", port);
  pcc_SetIniString(kPinpadIni, "ComPort", text);
}

extern "C" const char* Ini_Codepage() {
  static char codepage[12];
  pcc_GetIniStringSize(kPinpadIni, "CodePage", codepage, sizeof codepage);
  return codepage;
}

extern "C" int Ini_IsUsbEnabled() { return ReadBooleanParamAsInt("EnableUSB", 1); }

extern "C" int Ini_IsPinpadLog() {
  int value = ReadBooleanParamAsInt("PinpadLog", 0);
  if (value <= 0) return 0;
  return value % 10 == 2 ? 2 : 1;
}

extern "C" int Ini_IsPinpadLogStatistic() {
  int value = ReadBooleanParamAsInt("PinpadLog", 0);
  return value >= 10 && value <= 19 ? 1 : 0;
}

extern "C" int Ini_IsKernelLog() { return ReadBooleanParamAsInt("NoKernelLog", 0) == 0 ? 1 : 0; }
extern "C" int Ini_IsShowScreens() { return ReadBooleanParamAsInt("ShowScreens", 0); }
extern "C" int Ini_IsLogConsoleScreenText() { return ReadBooleanParamAsInt("LogMsg", 0); }

uint16_t& pcc_GetUImode() { return g_ui_mode; }
