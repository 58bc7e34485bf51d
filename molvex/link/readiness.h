// The PIN pad's answer to the readiness command (0x50): an ASCII record read
// into the PIN pad's properties.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr uint8_t kReadinessCommand = 0x50;
// An answer with this many data bytes or fewer is too short.
inline constexpr size_t kReadinessMinLength = 65;

struct T_PinpadProperties {
  char identifier[11] = "?";  // the first 10 bytes when the record begins with "BGS"
  char modelLetter = 0;
  bool flags[3] = {};
  int versionMajor = 0;  // the PIN pad's protocol level: above 15 it speaks the current framing
  int versionMinor = 0;
  int versionBuild = 0;
  int digit1 = 0;
  int digit2 = 0;
  int number5 = 0;
  char serial[13] = {};
  int number2a = 0;
  int number2b = 0;
  int number4 = 0;
  char modelName[22] = {};
  int statusTimeoutSeconds = 0;
  uint8_t capabilities = 0;
  bool answersFunctionQuestions = false;
  int number4a = 0;
  int number4b = 0;
  uint8_t block[64] = {};
  bool hasBlock = false;
};

// Fills properties from the record (fields after the model name only when
// the data is long enough for them).
void ParsePinpadReadiness(const uint8_t* data, size_t length, T_PinpadProperties* properties);
