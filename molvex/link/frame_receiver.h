// Receiving one frame from a port: the frame buffer of one call and the
// receiver that gathers bytes until a frame is complete.
#pragma once

#include <cstdint>

#include "common/base_array.h"

class MsbFrameBuffer {
 public:
  static constexpr uint32_t kFixedSize = 814;
  static constexpr uint32_t kMinHeapSize = 88404;

  MsbFrameBuffer() = default;
  MsbFrameBuffer(const MsbFrameBuffer&) = delete;
  MsbFrameBuffer& operator=(const MsbFrameBuffer&) = delete;

  uint8_t* store() { return onHeap ? heap.Data() : fixed; }
  uint32_t storeCapacity() const { return onHeap ? heap.Capacity() : kFixedSize; }
  // The Base64 text of the frame held (between type byte and ETX), for a fast frame.
  const uint8_t* frameText();
  uint32_t frameTextLength() const;
  // Bytes from STX to ETX inclusive.
  uint32_t frameLength() const { return (stx >= 0 && etx > stx) ? static_cast<uint32_t>(etx - stx + 1) : 0; }

  // Moves the view to the heap store once the fixed store is full.
  void MoveToHeap();
  // Forgets the first count bytes held and searches STX and ETX again.
  void DropFront(uint32_t count);
  // Searches the first STX in the held bytes, then the first ETX after it.
  void Rescan();

  uint32_t fixedCount = 0;
  uint8_t fixed[kFixedSize];
  common::UBaseArrayT<uint8_t> heap;
  int32_t stx = -1;  // index of the start byte of the frame being gathered
  int32_t etx = -1;  // index of its end byte
  uint32_t held = 0;
  uint32_t free = kFixedSize;
  bool onHeap = false;
};

// Frame receiver results (a value of 0 to 255 is the sequence byte of a data
// or info frame).
inline constexpr int kFrameNothing = -1;
inline constexpr int kFrameDamaged = -2;
inline constexpr int kFramePortError = -3;
inline constexpr int kFrameLegacyOk = -4;
inline constexpr int kFrameLegacyBad = -5;
inline constexpr int kFrameFast = -6;

// Receives one frame (see the result values above). out receives at most
// outSize payload bytes; outType the frame's type byte ("#", "!", "?", or 0 for legacy).
int tspNewRecvNewFrame(int8_t port, uint8_t* out, uint32_t outSize, uint32_t* outLength, uint8_t* outType,
                       MsbFrameBuffer* frameBuffer);

// One pass of a wait on a port: runs the idle hook and blocks for a short
// slice in poll() until the port has input.
void tspIdleWaitOnPort(int8_t port);
inline constexpr int kLinkIdleSliceMs = 5;

// The frame timer (1,500 ms): a begun frame must be complete within it.
inline constexpr uint32_t kFrameTimerMs = 1500;
