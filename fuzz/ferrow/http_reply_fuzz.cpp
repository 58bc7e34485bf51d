// The HTTP reply reader fed from arbitrary bytes, delivered in pieces whose
// sizes come from the input, as text or into a file.
#include <fcntl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "connection.h"
#include "file_system.h"
#include "http_client.h"

namespace {

class MemoryConnection : public IConnection {
 public:
  MemoryConnection(const uint8_t* data, size_t size, uint8_t pattern) : data_(data), size_(size), pattern_(pattern) {}
  int32_t Send(const void*, size_t length) override { return static_cast<int32_t>(length); }
  int32_t Receive(void* buffer, size_t length) override {
    if (position_ >= size_) return -1;  // the peer has closed
    // Every other call answers "nothing yet", as a socket often does.
    if ((pattern_ & 1) && (calls_++ & 1)) return 0;
    size_t piece = 1 + (pattern_ >> 1) * 37u;
    if (piece > length) piece = length;
    if (piece > size_ - position_) piece = size_ - position_;
    std::memcpy(buffer, data_ + position_, piece);
    position_ += piece;
    return static_cast<int32_t>(piece);
  }
  std::string GetPeerAddress() const override { return ""; }
  int GetState() override { return position_ < size_ ? CONNECTION_CONNECTED : CONNECTION_CLOSED; }
  Error GetLastError() const override { return Error(); }
  // Always readable, so the idle step after "nothing yet" returns at once
  // instead of sleeping its slice.
  int GetDescriptor() const override {
    static const int zero = ::open("/dev/zero", O_RDONLY | O_CLOEXEC);
    return zero;
  }

 private:
  const uint8_t* data_;
  size_t size_;
  uint8_t pattern_;
  size_t position_ = 0;
  unsigned calls_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  static TFileSystem devices("/dev/");
  const uint8_t pattern = data[0];
  THttpClient client("TERMINAL", "", 15000, &devices);
  std::string reply;
  client.ReadReplyFrom(std::make_unique<MemoryConnection>(data + 1, size - 1, pattern), reply,
                       (pattern & 0x80) ? "null" : "");
  return 0;
}
