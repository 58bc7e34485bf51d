// The run of one operation against the PIN pad, and the seams through which
// the printer, console and command-client layers take part in it.
#pragma once

#include <cstdint>
#include <memory>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"

// A command client as the run sees it: made for one operation, then executed.
class IOperationClient {
 public:
  virtual ~IOperationClient() = default;
  virtual void SetDontCloseTerminalConnection() = 0;
  // The operation's result code.
  virtual uint16_t Execute(DavizParams& params, DavizResult& result) = 0;
};

// Installed by the layers that own each step; a step left empty is skipped,
// and without a client factory every operation that needs the PIN pad ends
// with 252 (function not supported).
struct OperationRunHooks {
  void (*open_printer)(int canvas) = nullptr;  // starts a new cheque file
  void (*done_new_check)() = nullptr;          // closes the cheque
  void (*open_console_display)() = nullptr;    // screens on the PC
  bool (*has_no_indexed_optional_params)() = nullptr;
  void (*load_optional_params)() = nullptr;
  // The command client for the operation; code says why when there is none,
  // and a client with a non-zero code is discarded unused.
  std::unique_ptr<IOperationClient> (*create_client)(DavizParams& params, uint16_t& code) = nullptr;
};
void InstallOperationRunHooks(const OperationRunHooks* hooks);  // nullptr: none

// Runs the operation; its 16-bit result code (0 = success).
uint16_t DoRunStub(DavizParams& params, DavizResult& result);

// Whether the cheque printed so far must be discarded after this code.
bool ClearChequeOnError(const DavizParams& params, uint16_t code);
