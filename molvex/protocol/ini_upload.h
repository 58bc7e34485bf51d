// Identity settings that the cash desk keeps in "pinpad.ini" and hands to the
// PIN pad once: each value sent is written back with a "*" in front.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr uint8_t kUploadCommand = 0xEA;

struct IniUploadChain {
  std::vector<uint8_t> tlv;           // the values as a TLV list
  std::vector<std::string> keys;      // the keys they came from
  std::vector<std::string> values;    // their texts as read
  bool empty() const { return tlv.empty(); }
};

// Collects MerchantID, TerminalID, Header and PrinterWidth (values that are
// empty or begin with "*" are left out).
IniUploadChain ReadIniStringChainForUpload();
// Sends a non-empty chain with command 0xEA; on success marks the values sent.
// Returns the exchange's result (0 for an empty chain).
uint16_t DownloadSpecificData(const IniUploadChain& chain);
// Writes each value of the chain back with a "*" in front.
void MarkIniChainUploaded(const IniUploadChain& chain);
