#include "molvex/platform/idle.h"

#include <poll.h>
#include <time.h>

#include <vector>

namespace {
DrvIdleHook g_hook;
}

void drvSetIdleHook(DrvIdleHook hook) { g_hook = std::move(hook); }

bool drvIdleWait(const int* fds, int count, int slice_ms) {
  if (g_hook) g_hook();
  if (slice_ms <= 0) return false;
  if (count <= 0 || fds == nullptr) {
    timespec pause{0, static_cast<long>(slice_ms) * 1000000L};
    nanosleep(&pause, nullptr);
    return false;
  }
  std::vector<pollfd> polled(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) polled[static_cast<size_t>(i)] = {fds[i], POLLIN, 0};
  return poll(polled.data(), polled.size(), slice_ms) > 0;
}
