#include "molvex/protocol/ini_upload.h"

#include <cstdlib>
#include <cstring>

#include "common/codepage.h"
#include "common/tlv_actor.h"
#include "molvex/link/message_link.h"
#include "src/pc/ini_access.h"

namespace {

constexpr const char* kIniFile = "pinpad.ini";

struct UploadKey {
  const char* key;
  uint32_t tag;
  size_t maxLength;
  bool number;
};

const UploadKey kKeys[] = {
    {"MerchantID", 0x9F16, 64, false},
    {"TerminalID", 0x9F1C, 64, false},
    {"Header", 0xDF11, 255, false},
    {"PrinterWidth", 0xDF8106, 1, true},
};

// The PIN pad's texts are cp866 with carriage returns; the INI file holds cp1251 with "|".
std::string ForPinpad(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == '|') {
      out.push_back('\r');
    } else {
      out.push_back(static_cast<char>(common::cp1251to866(static_cast<uint8_t>(c))));
    }
  }
  return out;
}

}  // namespace

IniUploadChain ReadIniStringChainForUpload() {
  IniUploadChain chain;
  common::TlvBufferDynamic list;
  for (const UploadKey& k : kKeys) {
    char value[512];
    pcc_GetIniStringSize(kIniFile, k.key, value, sizeof value);
    if (value[0] == '\0' || value[0] == '*') continue;
    bool added;
    if (k.number) {
      added = list.AddTagByte(k.tag, static_cast<uint8_t>(std::atoi(value)), common::TLV_ADD_EMPTY);
    } else {
      std::string text = ForPinpad(value);
      if (text.size() > k.maxLength) text.resize(k.maxLength);
      added = list.AddTagBinary(k.tag, text.data(), static_cast<uint16_t>(text.size()), common::TLV_ADD);
    }
    if (!added) continue;
    chain.keys.push_back(k.key);
    chain.values.push_back(value);
  }
  chain.tlv.assign(list.bytes(), list.bytes() + list.used());
  return chain;
}

void MarkIniChainUploaded(const IniUploadChain& chain) {
  for (size_t i = 0; i < chain.keys.size(); ++i) {
    pcc_SetIniString(kIniFile, chain.keys[i].c_str(), ("*" + chain.values[i]).c_str());
  }
}

uint16_t DownloadSpecificData(const IniUploadChain& chain) {
  if (chain.empty()) return 0;
  LongMessageDynamic request;
  LongMessageDynamic reply;
  if (!request.allocate(static_cast<int32_t>(chain.tlv.size()), 0)) return 99;
  T_Message* m = request.msg();
  m->command = kUploadCommand;
  m->length = static_cast<uint16_t>(chain.tlv.size());
  std::memcpy(m->data(), chain.tlv.data(), chain.tlv.size());
  uint16_t code = DoExchangeWithPP(static_cast<int8_t>(PINPAD_PORT), m, &reply, 0, 0);
  if (code == 0) MarkIniChainUploaded(chain);
  return code;
}
