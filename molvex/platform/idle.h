// The idle hook: every waiting loop calls drvIdleWait on each pass, so that
// screens stay live while molvex waits, without burning the processor.
#pragma once

#include <functional>

using DrvIdleHook = std::function<void()>;

// Installs the hook run on every pass of a wait (screens, keyboard); empty: none.
void drvSetIdleHook(DrvIdleHook hook);
// Runs the hook, then blocks in poll() for at most slice_ms on the given
// descriptors (readable) so that a byte arriving is taken up at once.
// Returns true when one of them is readable.
bool drvIdleWait(const int* fds, int count, int slice_ms);
