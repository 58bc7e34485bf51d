// A port whose bytes come from the fuzzer's input: every read takes a chunk
// whose size the input chooses, writes are accepted, and the end of the input
// is a port error, so that every loop of the link ends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "molvex/link/connection.h"
#include "molvex/link/port_service.h"

class FuzzConnection : public IConnection {
 public:
  FuzzConnection(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  int32_t Send(const uint8_t*, uint32_t count) override { return static_cast<int32_t>(count); }
  int32_t Receive(uint8_t* buffer, uint32_t size) override {
    if (pos_ >= size_) return -1;
    size_t chunk = data_[pos_++] % 97 + 1;
    if (chunk > size_ - pos_) chunk = size_ - pos_;
    if (chunk > size) chunk = size;
    if (chunk == 0) return -1;
    std::memcpy(buffer, data_ + pos_, chunk);
    pos_ += chunk;
    return static_cast<int32_t>(chunk);
  }
  uint32_t GetPeerAddress() override { return 0; }
  int32_t GetState() override { return kConnConnected; }
  uint32_t GetLastError() override { return 0; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

inline constexpr int8_t kFuzzPort = 9;

inline void AttachFuzzInput(const uint8_t* data, size_t size) {
  drvSetErrorPauseForTests(0);
  drvAttachConnectionForTests(kFuzzPort, std::make_unique<FuzzConnection>(data, size));
}
