// The clients of the special operations (polling, PIN pad test, reload of
// the configuration, loans) and of a PIN pad on TCP. Until they are built
// each of them answers that the function is not supported.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/protocol/daviz_command.h"

enum SpecialClientKind : uint8_t {
  kClientTtk = 1,       // a PIN pad reached over TCP
  kClientPolling = 2,   // operation 53
  kClientTest = 3,      // operation 26
  kClientReload = 4,    // operations 14 and 19
  kClientLoan = 5,      // operations 63 to 65
};

// What the factory knows when it makes a special client.
struct SpecialClientArgs {
  SpecialClientKind kind;
  uint8_t port = 0;
  uint32_t address = 0;  // kClientTtk: IPv4, host order
  uint16_t tcpPort = 0;
  bool fullReload = false;  // operation 19
  char modelLetter = 0;
  uint8_t capabilities = 0;
};

using SpecialClientMaker = std::unique_ptr<DavizCommand> (*)(const SpecialClientArgs& args);
void SetSpecialClientMaker(SpecialClientMaker maker);  // nullptr: the stand-in

std::unique_ptr<DavizCommand> MakeSpecialClient(const SpecialClientArgs& args);

// The stand-in: every operation ends with 252 and the session file is left alone.
class UnsupportedClient : public DavizCommand {
 public:
  uint16_t Perform(DavizParams&, DavizResult&) override { return kCodeNotSupported; }
  uint16_t WriteBigData(uint32_t, uint32_t) override { return kCodeNotSupported; }
  uint16_t BeforeRunComand(DavizParams&, DavizResult&) override { return kCodeOk; }
  bool IsSessionRestoreSupported() override { return false; }
};
