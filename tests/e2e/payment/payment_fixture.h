// One payment end to end: the real molvex copied into a fresh folder, the
// PIN pad played by pinpad-scenario on a pseudo-terminal behind "ttyS99",
// and, when the scenario needs one, a bank host on 127.0.0.1.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace paymente2e {

// A bank host that answers one request per connection with a fixed reply.
class BankHost {
 public:
  // The reply goes out delayMs after the first bytes of a connection.
  explicit BankHost(std::string reply, int delayMs = 0);
  ~BankHost();
  BankHost(const BankHost&) = delete;
  BankHost& operator=(const BankHost&) = delete;
  int port() const { return port_; }
  // Everything the host received so far.
  std::string received();

 private:
  void Serve();
  std::string reply_;
  int delayMs_ = 0;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::string received_;
};

struct SimResult {
  int exit_code = -1;
  std::string err;
  std::vector<std::string> transcript;
};

class PaymentTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Starts the PIN pad with a scenario (a file of the shipped set or of the tests).
  void StartPinpad(const std::string& scenarioPath, const std::map<std::string, std::string>& vars = {});
  // Waits for the PIN pad to finish its scenario.
  SimResult FinishPinpad(int timeoutMs = 30000);
  testsupport::ProcessResult RunMolvex(const std::vector<std::string>& args, int timeoutMs = 60000);
  // The scenario and molvex together.
  testsupport::ProcessResult Pay(const std::string& scenarioPath, const std::vector<std::string>& args,
                                 const std::map<std::string, std::string>& vars = {});

  void WriteIni(const std::string& extra = "");
  std::string Path(const std::string& name) const { return dir_ / name; }
  // The response file's lines (it has no line end after its last line, which may be empty).
  std::vector<std::string> Response() const;
  std::string Cheque() const;
  std::string Log() const;
  static std::string Shipped(const std::string& name);
  static std::string OfTests(const std::string& name);
  // UTF-8 text as molvex writes it into its files (KOI8-R).
  static std::string Koi8(const std::string& utf8);

  // molvex answered 252 without ever asking the PIN pad: it has no command
  // client factory installed, so nothing here can be checked.
  bool Unwired() const;

  testsupport::TempDir dir_;
  std::string molvex_;
  int simPid_ = -1;
  SimResult sim_;
  // The program that plays the scenario: the player itself, or pinpad-sim handing over to it.
  std::string simulator_ = "pinpad-scenario";
};

#define PAY(result, ...)                                   \
  auto result = Pay(__VA_ARGS__);                          \
  if (Unwired()) GTEST_SKIP() << "molvex runs without a command client factory"

}  // namespace paymente2e
