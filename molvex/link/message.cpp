#include "molvex/link/message.h"

#include <algorithm>

#include "src/pc/memory.h"

namespace {

constexpr uint32_t kBasicSize = LongMessageDynamic::kStep + kMessageHeaderSize;  // 525

uint32_t Needed(int32_t dataBytes, int32_t keepBytes) {
  int64_t larger = std::max<int64_t>(std::max<int64_t>(dataBytes, keepBytes), 0);
  return static_cast<uint32_t>(larger) + kMessageHeaderSize;
}

}  // namespace

LongMessageDynamic::LongMessageDynamic() {
  size_ = kStep + kInitialData + kMessageHeaderSize;  // 1,718 bytes
  block_ = static_cast<uint8_t*>(drvMalloc(size_));
  std::memset(block_, 0, kMessageHeaderSize);
}

LongMessageDynamic::~LongMessageDynamic() { drvFree(block_); }

void LongMessageDynamic::Replace(uint32_t size, int32_t keepBytes) {
  auto* fresh = static_cast<uint8_t*>(drvMalloc(size));
  // keepBytes of -13 keeps nothing at all, not even the header.
  int64_t keep = static_cast<int64_t>(keepBytes) + kMessageHeaderSize;
  keep = std::clamp<int64_t>(keep, 0, std::min(size, size_));
  if (block_ != nullptr && keep > 0) std::memcpy(fresh, block_, static_cast<size_t>(keep));
  drvFree(block_);
  block_ = fresh;
  size_ = size;
}

bool LongMessageDynamic::allocate(int32_t dataBytes, int32_t keepBytes) {
  uint32_t needed = Needed(dataBytes, keepBytes);
  if (block_ != nullptr && size_ >= needed) return true;
  Replace(kStep + needed, keepBytes);
  return true;
}

bool LongMessageDynamic::shrink(int32_t dataBytes, int32_t keepBytes) {
  uint32_t needed = Needed(dataBytes, keepBytes);
  uint32_t target = kStep + needed;
  if (block_ != nullptr && size_ >= needed && size_ <= target) return true;
  Replace(target, keepBytes);
  return true;
}

void LongMessageDynamic::clear() {
  if (block_ == nullptr || size_ <= 12 || size_ > kBasicSize) {
    uint8_t header[kMessageHeaderSize] = {};
    if (block_ != nullptr && size_ >= kMessageHeaderSize) std::memcpy(header, block_, kMessageHeaderSize);
    drvFree(block_);
    block_ = static_cast<uint8_t*>(drvMalloc(kBasicSize));
    size_ = kBasicSize;
    std::memcpy(block_, header, kMessageHeaderSize);
  }
}
