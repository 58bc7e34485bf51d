// SHA-1 (FIPS 180-1) behind a small hashing interface.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// A hash algorithm fed in pieces: Init, any number of AddData, Finalize.
class IHashAlgorithm {
 public:
  virtual ~IHashAlgorithm() = default;
  virtual void Init() = 0;
  virtual void AddData(const void* data, size_t length) = 0;
  // The digest; the object must be initialised again before it is reused.
  virtual std::vector<uint8_t> Finalize() = 0;
  // Init, AddData and Finalize in one call.
  std::vector<uint8_t> HashData(const void* data, size_t length);
  std::vector<uint8_t> HashData(const std::string& data) { return HashData(data.data(), data.size()); }
};

class TSha1 : public IHashAlgorithm {
 public:
  static constexpr size_t kDigestSize = 20;
  static constexpr size_t kBlockSize = 64;

  // Which block function compresses the data. kAuto picks the processor's
  // SHA instructions when it has them, the portable code otherwise.
  enum class Engine { kAuto, kPortable, kHardware };

  TSha1();
  explicit TSha1(Engine engine);

  void Init() override;
  void AddData(const void* data, size_t length) override;
  std::vector<uint8_t> Finalize() override;
  // Same digest, written into a caller's 20-byte array (no allocation).
  void FinalizeInto(uint8_t digest[kDigestSize]);

  // True when this processor can run the hardware engine.
  static bool HardwareAvailable();
  // The engine actually used by this object.
  Engine engine() const { return engine_; }

  // Upper-case hexadecimal text of a byte string.
  static std::string ToHex(const uint8_t* data, size_t length);
  static std::string ToHex(const std::vector<uint8_t>& data) { return ToHex(data.data(), data.size()); }

 private:
  using BlockFunction = void (*)(uint32_t state[5], const uint8_t* blocks, size_t count);

  uint32_t state_[5];
  uint64_t total_ = 0;
  uint8_t pending_[kBlockSize];
  size_t pending_length_ = 0;
  Engine engine_;
  BlockFunction compress_;
};
