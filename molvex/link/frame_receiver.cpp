#include "molvex/link/frame_receiver.h"

#include <algorithm>
#include <cstring>

#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"

using namespace pplink;

const uint8_t* MsbFrameBuffer::frameText() { return store() + stx + 2; }

uint32_t MsbFrameBuffer::frameTextLength() const {
  return (stx >= 0 && etx >= stx + 2) ? static_cast<uint32_t>(etx - stx - 2) : 0;
}

void MsbFrameBuffer::MoveToHeap() {
  if (heap.Capacity() < kMinHeapSize) {
    uint64_t grown = static_cast<uint64_t>(heap.Capacity()) * 3 / 2;
    heap.Reserve(static_cast<uint32_t>(std::max<uint64_t>(kMinHeapSize, grown)));
  }
  heap.Clear();
  heap.Append(fixed, kFixedSize);
  onHeap = true;
  held = kFixedSize;
  free = heap.Capacity() - held;
  Rescan();
}

void MsbFrameBuffer::Rescan() {
  uint8_t* bytes = store();
  stx = -1;
  etx = -1;
  for (uint32_t i = 0; i < held; ++i) {
    if (bytes[i] == STX) {
      stx = static_cast<int32_t>(i);
      break;
    }
  }
  if (stx < 0) return;
  for (uint32_t i = static_cast<uint32_t>(stx) + 1; i < held; ++i) {
    if (bytes[i] == ETX) {
      etx = static_cast<int32_t>(i);
      break;
    }
  }
}

void MsbFrameBuffer::DropFront(uint32_t count) {
  count = std::min(count, held);
  uint8_t* bytes = store();
  std::memmove(bytes, bytes + count, held - count);
  held -= count;
  free += count;
  if (!onHeap) fixedCount = held;
  Rescan();
}

void tspIdleWaitOnPort(int8_t port) {
  int fd = drvGetPortPollDescriptor(port);
  if (fd >= 0) {
    drvIdleWait(&fd, 1, kLinkIdleSliceMs);
  } else {
    drvIdleWait(nullptr, 0, 0);
  }
}

namespace {

constexpr int kKeepWaiting = 1000;
constexpr int kDropped = 1001;

// Step 7: what the complete frame between STX and ETX is.
int EvaluateFrame(MsbFrameBuffer* fb, uint8_t* out, uint32_t outSize, uint32_t* outLength, uint8_t* outType) {
  uint8_t* bytes = fb->store();
  auto stx = static_cast<uint32_t>(fb->stx);
  auto etx = static_cast<uint32_t>(fb->etx);
  if (stx + 1 >= etx) return kKeepWaiting;
  uint8_t type = bytes[stx + 1];
  if (type == kDataFrame || type == kInfoFrame) {
    *outType = type;
    uint8_t sequence = 0;
    uint8_t payload[kMaxFramePayload];
    int n = DecodeTypedFrameText(bytes + stx + 2, etx - stx - 2, &sequence, payload);
    if (n < 0) return kFrameDamaged;
    // Another frame follows directly: this one is stale, the later copy counts.
    if (etx + 1 < fb->held && bytes[etx + 1] == STX) {
      fb->DropFront(etx + 1);
      return kDropped;
    }
    *outLength = static_cast<uint32_t>(n);
    if (static_cast<uint32_t>(n) > outSize) return kFrameDamaged;
    if (n != 0) std::memcpy(out, payload, static_cast<size_t>(n));
    // Frame 127 with the more-bit (0xFF) is delivered like any other: long
    // messages number their frames through it.
    return sequence;
  }
  if (type == kFastFrame) {
    *outType = kFastFrame;
    *outLength = 0;
    return kFrameFast;
  }
  if (etx - stx - 1 >= 4 && IsUpperHexDigit(bytes[stx + 1]) && IsUpperHexDigit(bytes[stx + 2]) &&
      IsUpperHexDigit(bytes[stx + 3]) && IsUpperHexDigit(bytes[stx + 4])) {
    if (etx + 1 >= fb->held) return kKeepWaiting;  // the second ETX may still come
    if (bytes[etx + 1] != ETX) return kKeepWaiting;
    *outType = 0;
    uint32_t digits = etx - stx - 3;
    if (digits <= 1) return kFrameLegacyBad;
    uint32_t n = digits / 2;
    if (n > outSize) return kFrameLegacyBad;
    for (uint32_t i = 0; i < n; ++i) {
      if (!HexPair(bytes[stx + 1 + 2 * i], bytes[stx + 2 + 2 * i], &out[i])) return kFrameLegacyBad;
    }
    *outLength = n;
    uint8_t lrc = 0;
    if (!HexPair(bytes[etx - 2], bytes[etx - 1], &lrc)) return kFrameLegacyBad;
    return lrc == LegacyLrc(out, n) ? kFrameLegacyOk : kFrameLegacyBad;
  }
  return kKeepWaiting;
}

}  // namespace

int tspNewRecvNewFrame(int8_t port, uint8_t* out, uint32_t outSize, uint32_t* outLength, uint8_t* outType,
                       MsbFrameBuffer* fb) {
  *outLength = 0;
  *outType = 0;
  bool timer_running = false;
  drv_deadline_t timer = 0;
  for (;;) {
    // 1. Idle work, and a short block in poll() while nothing is waiting.
    if (fb->free == 0 && fb->onHeap) {
      // The heap store is full: nothing can be read until the frame timer ends the wait.
      drvIdleWait(nullptr, 0, kLinkIdleSliceMs);
    } else {
      tspIdleWaitOnPort(port);
    }
    if (timer_running && drvCheckTimer(timer)) return kFrameNothing;

    // 2. The fixed store is full: go on in the heap store.
    if (!fb->onHeap && fb->held >= MsbFrameBuffer::kFixedSize) fb->MoveToHeap();

    // 3. Read into the free part of the view, never more.
    uint8_t* bytes = fb->store();
    uint32_t before = fb->held;
    uint32_t got = 0;
    if (fb->free != 0) {
      int32_t read = drvReceiveData(port, bytes + before, fb->free);
      if (read < 0) return kFramePortError;
      got = std::min(static_cast<uint32_t>(read), fb->free);
    }

    // 4. Find the start of a frame.
    bool count_in = true;
    if (fb->stx < 0) {
      for (uint32_t i = 0; i < before + got; ++i) {
        if (bytes[i] == STX) {
          fb->stx = static_cast<int32_t>(i);
          break;
        }
      }
      if (fb->stx < 0) {
        if (before == 0) {
          bool etx_seen = std::memchr(bytes, ETX, got) != nullptr;
          return (got == 0 || !etx_seen) ? kFrameNothing : kFrameDamaged;
        }
        count_in = false;
      }
    }

    // 5. Find its end among the bytes of this read, and count them in.
    if (count_in) {
      if (fb->etx < 0) {
        uint32_t from = std::max(before, static_cast<uint32_t>(fb->stx) + 1);
        for (uint32_t i = from; i < before + got; ++i) {
          if (bytes[i] == ETX) {
            fb->etx = static_cast<int32_t>(i);
            break;
          }
        }
      }
      fb->held = std::min(before + got, fb->storeCapacity());
      fb->free = fb->storeCapacity() - fb->held;
      if (!fb->onHeap) fb->fixedCount = fb->held;
    }

    // 6. and 7. Wait for the end, or take the complete frame.
    for (;;) {
      if (fb->etx < 0) break;
      int result = EvaluateFrame(fb, out, outSize, outLength, outType);
      if (result == kDropped) continue;
      if (result == kKeepWaiting) break;
      return result;
    }
    if (!timer_running) {
      timer = drvSetTimer(kFrameTimerMs);
      timer_running = true;
    }
  }
}
