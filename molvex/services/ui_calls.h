// The print engine and keyboard functions of the user-interface layer, as
// the slave services call them. They go through this one table so that
// tests can watch the calls.
#pragma once

#include <cstdint>

struct SlvUiCalls {
  int (*initNewCheck)();
  int (*reprintLastCheck)(int mode);
  int (*openPrinter)(int mode);
  void (*writeSpoolAndPrint)(const char* text, uint8_t attributes);
  void (*doneNewCheck)();
  void (*setPrintCounter)(uint8_t counter);
  // A keyboard code, 0 or a negative value when no key is waiting.
  int (*getKey)();
  // The standard key code of a keyboard code's low byte.
  uint8_t (*stdKey)(uint8_t key);
};

// The table in use; tests may replace entries and restore it with slvUiResetForTests.
SlvUiCalls& slvUi();
void slvUiResetForTests();
