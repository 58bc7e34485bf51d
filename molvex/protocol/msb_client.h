// The command client of ordinary operations over the MSB link.
#pragma once

#include <cstdint>

#include "molvex/protocol/daviz_command.h"
#include "molvex/protocol/msb_env.h"

class MsbPciDssClient : public SerialPortPciDssClient, public MsbDavizEnv {
 public:
  MsbPciDssClient(uint8_t port, char modelLetter, uint8_t capabilities)
      : SerialPortPciDssClient(port), MsbDavizEnv(modelLetter, capabilities) {}

  uint16_t Perform(DavizParams& params, DavizResult& result) override { return Run(params, result); }
  uint16_t WriteBigData(uint32_t tag, uint32_t value) override;
  uint16_t BeforeRunComand(DavizParams& params, DavizResult& result) override;
  void WaitForPinpad() override;
  // Only the current message protocol can name the request to restore.
  bool IsSessionRestoreSupported() override;

  // The big-data tag under which the request identifier is stored.
  uint32_t RequestIdTag() const { return (capabilities() & kCapBigDataTag5F62) != 0 ? 0x5F62 : 0x5F64; }
};
