// Templates with named fields in angle brackets, filled from a value list:
// "<name>" fixed width, "< name>" right-aligned, "< name >" centred,
// "<name}N" N characters wide, "<name}" as wide as its value and
// "<name   ]" wrapped into lines of the field's width under the field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr int kPrintInfoEntries = 64;
constexpr size_t kPrintInfoStore = 1024;
constexpr size_t kPrintFieldName = 16;
constexpr size_t kMaxWrappedText = 400;

struct T_Print_Info_Entry {
  const char* name;   // held by pointer: the caller keeps it alive
  const char* value;  // in the store, or the caller's string (termAddPrintVolData)
};

struct T_Print_Info {
  T_Print_Info_Entry entries[kPrintInfoEntries];
  uint16_t count;
  uint16_t used;  // bytes of the store in use
  char store[kPrintInfoStore];
};

struct T_Print_Params {
  T_Print_Info* info;
  uint32_t flags;  // no option is used by molvex
};

extern "C" {

T_Print_Info* termInitPrintInfo();
void termDonePrintInfo(T_Print_Info* info);
void termResetPrintInfo(T_Print_Info* info);
// Copies the value into the list's store; an empty value, or one that does
// not fit, is dropped, as is any entry beyond the 64th.
void termAddPrintData(T_Print_Info* info, const char* name, const char* value);
// The same with at most length characters of value.
void termAddPrintDataN(T_Print_Info* info, const char* name, const char* value, size_t length);
// Adds the caller's string itself; it must outlive the list.
void termAddPrintVolData(T_Print_Info* info, const char* name, const char* value);
// The first value whose name equals name, ignoring case; nullptr when absent.
const char* termFindValueInList(const T_Print_Info* info, const char* name);

// Fills the fields of the zero-terminated text in place; the result is cut
// to size - 1 characters.
void termProcessPrintLine(char* text, size_t size, const T_Print_Params* params);

}

// The filled text of a template.
std::string ProcessPrintTemplate(std::string_view text, const T_Print_Info* info);
