#include "molvex/protocol/idle_processing.h"

#include "molvex/protocol/terminating.h"

namespace {

const WallpaperHooks* g_hooks = nullptr;
uint32_t g_calls = 0;
constexpr uint32_t kEveryCall = 15;

uint8_t FlagOfAction(uint32_t action) {
  switch (action) {
    case 2000: return kTerminateAbort;
    case 1008: return kTerminateManual;
    case 1089: return kTerminateBiometry;
    case 1087: return kTerminateLoan;
    default: return kTerminateNone;
  }
}

}  // namespace

void SetWallpaperHooks(const WallpaperHooks* hooks) { g_hooks = hooks; }

void ResetIdleProcessingForTests() {
  g_hooks = nullptr;
  g_calls = 0;
}

void DoIdleProcessing() {
  if (g_hooks == nullptr) return;
  if (++g_calls % kEveryCall != 0) return;
  if (g_hooks->hasIdleWork == nullptr || !g_hooks->hasIdleWork()) return;
  if (g_hooks->update != nullptr) g_hooks->update();
  if (g_hooks->isShown == nullptr || !g_hooks->isShown() || g_hooks->action == nullptr) return;
  uint8_t flag = FlagOfAction(g_hooks->action());
  if (flag != kTerminateNone) TerminatingController::instance().setCurrentOperation(flag, 0);
  if (g_hooks->rearmAction != nullptr) g_hooks->rearmAction();
}
