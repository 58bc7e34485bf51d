// Result values of the update client: a shared chain of 32-bit codes.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

class Error {
 public:
  Error() = default;
  Error(uint32_t code) {  // NOLINT: a code converts to an error and back on purpose
    if (code != 0) chain_ = std::make_shared<std::vector<uint32_t>>(1, code);
  }

  uint32_t GetCode() const { return chain_ ? (*chain_)[0] : 0; }
  operator uint32_t() const { return GetCode(); }  // NOLINT

  // Appends a record after the first one, typically a system error number.
  // Copies share the chain, so every holder sees the addition.
  void AddSubError(uint32_t code) {
    if (!chain_) chain_ = std::make_shared<std::vector<uint32_t>>(1, 0);
    chain_->push_back(code);
  }
  // The second record's code, 0 when there is none.
  uint32_t GetSubError() const { return chain_ && chain_->size() > 1 ? (*chain_)[1] : 0; }
  std::vector<uint32_t> GetChain() const { return chain_ ? *chain_ : std::vector<uint32_t>{}; }

 private:
  std::shared_ptr<std::vector<uint32_t>> chain_;
};

// Codes used across the update client.
namespace ferrow_errors {
constexpr uint32_t kHostName = 2;
constexpr uint32_t kInterfaceStop = 8000;
constexpr uint32_t kFileErase = 19002;
constexpr uint32_t kFileRename = 19003;
constexpr uint32_t kSocketConnectException = 20001;
constexpr uint32_t kSocketClosed = 20003;
constexpr uint32_t kSocketIo = 20004;
constexpr uint32_t kSocketCreate = 20006;
constexpr uint32_t kNoServerAddress = 20010;
constexpr uint32_t kNoInterface = 20011;
constexpr uint32_t kInterfaceNotReady = 20012;
constexpr uint32_t kInterfaceFailed = 20025;
constexpr uint32_t kConnectTimeout = 20027;
constexpr uint32_t kConnectFailed = 20028;
constexpr uint32_t kBadUrl = 27001;
constexpr uint32_t kNoConnection = 27002;
constexpr uint32_t kSendOrBody = 27003;
constexpr uint32_t kCreateFile = 27005;
constexpr uint32_t kLine = 27006;
constexpr uint32_t kStatus = 27007;
constexpr uint32_t kHeader = 27008;
constexpr uint32_t kReplyNotObject = 27012;
constexpr uint32_t kNoSuccess = 27013;
constexpr uint32_t kNoCommands = 27014;
constexpr uint32_t kListSave = 31001;
constexpr uint32_t kNoCheckFiles = 44001;
constexpr uint32_t kNoErrCode = 44002;
constexpr uint32_t kPinpadLoad = 44003;
}  // namespace ferrow_errors
