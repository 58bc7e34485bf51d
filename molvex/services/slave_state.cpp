#include "molvex/services/slave_state.h"

#include "molvex/platform/file_handles.h"

SlaveState& slvState() {
  static SlaveState state;
  return state;
}

void slvResetForTests() {
  SlaveState& state = slvState();
  if (state.file.handle != 0) drvFileClose(state.file.handle);
  if (state.merchant.handle != 0) drvFileClose(state.merchant.handle);
  state = SlaveState{};
}

uint32_t slvGetRebootTimeout() { return slvState().rebootWaitMs; }

const std::string& slvGetCardholderText() { return slvState().cardholderText; }
