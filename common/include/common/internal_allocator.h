// A heap block that grows in steps, owned by the object that embeds it.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>

namespace common {

template <typename T, uint32_t Step>
class InternalAllocator {
 public:
  InternalAllocator() = default;
  InternalAllocator(const InternalAllocator&) = delete;
  InternalAllocator& operator=(const InternalAllocator&) = delete;
  InternalAllocator(InternalAllocator&& other) noexcept { TakeFrom(other); }
  InternalAllocator& operator=(InternalAllocator&& other) noexcept {
    if (this != &other) TakeFrom(other);
    return *this;
  }

  static constexpr uint32_t kStep = Step;

  T* block() const { return block_.get(); }
  uint32_t blockSize() const { return size_; }

  // Makes the block hold at least needed elements, keeping the first keep.
  // A new block has needed + Step elements.
  void Reserve(uint32_t needed, uint32_t keep) {
    if (needed <= size_) return;
    Replace(needed + Step, keep);
  }
  // Replaces the block by one of exactly size elements, keeping the first keep.
  void Replace(uint32_t size, uint32_t keep) {
    auto fresh = std::make_unique_for_overwrite<T[]>(size);
    if (keep > size) keep = size;
    if (keep > size_) keep = size_;
    if (keep != 0) std::memcpy(fresh.get(), block_.get(), keep * sizeof(T));
    block_ = std::move(fresh);
    size_ = size;
  }
  void Release() {
    block_.reset();
    size_ = 0;
  }

 private:
  void TakeFrom(InternalAllocator& other) {
    block_ = std::move(other.block_);
    size_ = other.size_;
    other.size_ = 0;
  }

  std::unique_ptr<T[]> block_;
  uint32_t size_ = 0;
};

}  // namespace common
