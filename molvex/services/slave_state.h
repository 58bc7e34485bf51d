// What the slave services keep for the whole run: the file of the file
// service, the captures in progress, the last magnetic card and the texts the
// PIN pad left for the operation's result.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

inline constexpr size_t kFileServiceNameMax = 32;
inline constexpr size_t kCardholderTextMax = 701;
inline constexpr size_t kSignatureHeaderSize = 34;
inline constexpr uint32_t kMinRebootWaitMs = 20000;

struct SlaveFileService {
  int handle = 0;          // file handle, 0 when no file is open
  char storage = 0;        // 'F' or 'R'; 0 when none was chosen
  std::string name;        // at most 32 characters
  uint32_t announcedSize = 0;
  bool nameRefused = false;  // the last open named a file outside the store
};

struct SlaveMerchantCheque {
  int handle = 0;
  uint32_t expected = 0;
  uint32_t written = 0;
};

struct SlaveSignature {
  bool hasBuffer = false;
  std::vector<uint8_t> buffer;  // the announced size
  uint32_t position = 0;
  uint8_t header[kSignatureHeaderSize] = {};
};

struct SlaveMagneticCard {
  char track1[79] = {};
  char track2[40] = {};
  char track3[107] = {};
};

struct SlaveState {
  SlaveFileService file;
  SlaveMerchantCheque merchant;
  SlaveSignature signature;
  SlaveMagneticCard card;
  std::string cardholderText;  // at most 701 characters
  uint32_t rebootWaitMs = kMinRebootWaitMs;  // dwGlobalRebootTmo
  bool realPrinting = true;
  bool printingError = false;
};

// The state of this run.
SlaveState& slvState();
// Closes what the state holds open and starts afresh (tests only).
void slvResetForTests();

// The reboot wait the PIN pad announced last (at least 20,000 ms).
uint32_t slvGetRebootTimeout();
// The text of the last cardholder answer ("" when none came).
const std::string& slvGetCardholderText();
