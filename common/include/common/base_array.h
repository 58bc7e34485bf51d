// A growable array that either owns its storage or views a caller's block.
// An owning array grows to the largest of 24 elements, the size needed and
// its capacity plus half of it; a viewing array never grows, and writes into
// it are cut at its capacity. Offsets and lengths are always clipped against
// the capacity before copying.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

namespace common {

template <typename T>
class UBaseArrayT {
  static_assert(std::is_trivially_copyable_v<T>, "UBaseArrayT holds plain bytes and records");

 public:
  static constexpr uint32_t kMinCapacity = 24;

  // An empty owning array.
  UBaseArrayT() = default;
  // A view over capacity elements of caller memory, of which length are in use.
  UBaseArrayT(T* block, uint32_t capacity, uint32_t length)
      : owner_(false), capacity_(block == nullptr ? 0 : capacity), data_(block) {
    length_ = length < capacity_ ? length : capacity_;
  }
  // Copies are always owning copies of the elements in use.
  UBaseArrayT(const UBaseArrayT& other) { Append(other.data_, other.length_); }
  UBaseArrayT& operator=(const UBaseArrayT& other) {
    if (this != &other) {
      Reset();
      Append(other.data_, other.length_);
    }
    return *this;
  }
  UBaseArrayT(UBaseArrayT&& other) noexcept { TakeFrom(other); }
  UBaseArrayT& operator=(UBaseArrayT&& other) noexcept {
    if (this != &other) TakeFrom(other);
    return *this;
  }
  ~UBaseArrayT() = default;

  bool IsOwner() const { return owner_; }
  uint32_t Capacity() const { return capacity_; }
  uint32_t Length() const { return length_; }
  bool Empty() const { return length_ == 0; }
  T* Data() { return data_; }
  const T* Data() const { return data_; }

  // Clips offset to the end and length to what is left after offset.
  void align_offset_and_length(uint32_t& offset, uint32_t& length) const {
    if (offset > capacity_) offset = capacity_;
    if (length > capacity_ - offset) length = capacity_ - offset;
  }

  // Makes room for size elements; false when a view is too small.
  bool Reserve(uint32_t size) {
    if (size <= capacity_) return true;
    if (!owner_) return false;
    uint32_t grown = capacity_ + capacity_ / 2;
    if (grown < capacity_) grown = UINT32_MAX;
    uint32_t target = size > grown ? size : grown;
    if (target < kMinCapacity) target = kMinCapacity;
    auto fresh = std::make_unique_for_overwrite<T[]>(target);
    if (length_ != 0) std::memcpy(fresh.get(), data_, length_ * sizeof(T));
    owned_ = std::move(fresh);
    data_ = owned_.get();
    capacity_ = target;
    return true;
  }

  // Writes count elements at offset (growing an owning array; a view cuts
  // them at its capacity). The length becomes at least offset + written.
  // Returns the number written.
  uint32_t Write(uint32_t offset, const T* src, uint32_t count) {
    if (src == nullptr || count == 0) return 0;
    if (owner_ && offset <= UINT32_MAX - count) {
      // src may point into our own storage, which Reserve may move.
      if (data_ != nullptr && src >= data_ && src < data_ + capacity_ && offset + count > capacity_) {
        UBaseArrayT copy;
        copy.Append(src, count);
        return Write(offset, copy.Data(), count);
      }
      Reserve(offset + count);
    }
    align_offset_and_length(offset, count);
    if (offset > length_) std::memset(data_ + length_, 0, (offset - length_) * sizeof(T));
    if (count != 0) std::memmove(data_ + offset, src, count * sizeof(T));
    if (offset + count > length_) length_ = offset + count;
    return count;
  }
  uint32_t Append(const T* src, uint32_t count) { return Write(length_, src, count); }
  bool Append(const T& value) { return Append(&value, 1) == 1; }

  // Copies up to count elements in use from offset; returns the number copied.
  uint32_t Read(uint32_t offset, T* out, uint32_t count) const {
    if (out == nullptr || offset >= length_) return 0;
    if (count > length_ - offset) count = length_ - offset;
    if (count != 0) std::memcpy(out, data_ + offset, count * sizeof(T));
    return count;
  }

  // Removes count elements in use from offset; the rest moves up.
  void Remove(uint32_t offset, uint32_t count) {
    if (offset >= length_) return;
    if (count > length_ - offset) count = length_ - offset;
    std::memmove(data_ + offset, data_ + offset + count, (length_ - offset - count) * sizeof(T));
    length_ -= count;
  }

  // Sets the number of elements in use (new ones are zero); a view stops at
  // its capacity. Returns the length set.
  uint32_t SetLength(uint32_t length) {
    Reserve(length);
    if (length > capacity_) length = capacity_;
    if (length > length_) std::memset(data_ + length_, 0, (length - length_) * sizeof(T));
    length_ = length;
    return length_;
  }
  void Clear() { length_ = 0; }

  // Frees owned storage and leaves an empty owning array.
  void Reset() {
    owned_.reset();
    owner_ = true;
    capacity_ = 0;
    length_ = 0;
    data_ = nullptr;
  }

 private:
  void TakeFrom(UBaseArrayT& other) {
    owned_ = std::move(other.owned_);
    owner_ = other.owner_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    data_ = other.data_;
    other.Reset();
  }

  std::unique_ptr<T[]> owned_;
  bool owner_ = true;
  uint32_t capacity_ = 0;
  uint32_t length_ = 0;
  T* data_ = nullptr;
};

}  // namespace common
