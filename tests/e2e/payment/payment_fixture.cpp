#include "payment_fixture.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <thread>

#include "common/codepage.h"

namespace paymente2e {

namespace {

// Long waits of molvex (reboots, recovery) run this many times faster.
constexpr const char* kWaitDivisor = "MOLVEX_TEST_WAIT_DIVISOR=20";

}  // namespace

BankHost::BankHost(std::string reply, int delayMs) : reply_(std::move(reply)), delayMs_(delayMs) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int on = 1;
  setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
  listen(listener_, 4);
  socklen_t len = sizeof a;
  getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &len);
  port_ = ntohs(a.sin_port);
  thread_ = std::thread([this] { Serve(); });
}

BankHost::~BankHost() {
  stop_ = true;
  thread_.join();
  close(listener_);
}

std::string BankHost::received() {
  std::lock_guard<std::mutex> lock(mutex_);
  return received_;
}

void BankHost::Serve() {
  while (!stop_) {
    pollfd p{listener_, POLLIN, 0};
    if (poll(&p, 1, 50) <= 0) continue;
    int c = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c < 0) continue;
    bool replied = false;
    while (!stop_) {
      pollfd q{c, POLLIN, 0};
      if (poll(&q, 1, 50) <= 0) continue;
      char buf[512];
      ssize_t n = read(c, buf, sizeof buf);
      if (n <= 0) break;
      {
        std::lock_guard<std::mutex> lock(mutex_);
        received_.append(buf, static_cast<size_t>(n));
      }
      if (!replied) {
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
        (void)!write(c, reply_.data(), reply_.size());
        replied = true;
      }
    }
    close(c);
  }
}

void PaymentTest::SetUp() {
  const char* chosen = std::getenv("PAYMENT_E2E_MOLVEX");
  molvex_ = chosen != nullptr ? chosen : testsupport::BuiltProgram("molvex");
  std::string copy = dir_ / "molvex";
  testsupport::WriteFile(copy, testsupport::ReadFile(molvex_), 0755);
  molvex_ = copy;
  WriteIni();
}

void PaymentTest::TearDown() {
  if (simPid_ > 0) {
    kill(simPid_, SIGTERM);
    waitpid(simPid_, nullptr, 0);
    simPid_ = -1;
  }
}

void PaymentTest::WriteIni(const std::string& extra) {
  testsupport::WriteFile(Path("pinpad.ini"), "LockPath=" + dir_.path() +
                                                  "/lock/\nComPort=9\nNewProtocol=1\nSpeed=115200\nEnableUSB=0\n" +
                                                  extra);
  mkdir(Path("lock").c_str(), 0755);
}

void PaymentTest::StartPinpad(const std::string& scenarioPath, const std::map<std::string, std::string>& vars) {
  unlink(Path("ttyS99").c_str());
  std::vector<std::string> args = {testsupport::BuiltProgram(simulator_), "--scenario", scenarioPath,
                                   "--transcript", Path("pinpad.txt")};
  for (const auto& [k, v] : vars) {
    args.push_back("--set");
    args.push_back(k + "=" + v);
  }
  const std::string err = Path("pinpad.err");
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir_.path().c_str()) != 0) _exit(126);
    int fd = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(fd, 2);
    dup2(fd, 1);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  simPid_ = pid;
  for (int i = 0; i < 500 && access(Path("ttyS99").c_str(), F_OK) != 0; ++i) usleep(10000);
  ASSERT_EQ(access(Path("ttyS99").c_str(), F_OK), 0) << testsupport::ReadFile(err);
}

SimResult PaymentTest::FinishPinpad(int timeoutMs) {
  SimResult r;
  if (simPid_ <= 0) return r;
  int status = 0;
  for (int waited = 0;; waited += 10) {
    pid_t done = waitpid(simPid_, &status, WNOHANG);
    if (done == simPid_) break;
    if (waited >= timeoutMs) {
      kill(simPid_, SIGTERM);
      waitpid(simPid_, &status, 0);
      break;
    }
    usleep(10000);
  }
  simPid_ = -1;
  r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.err = testsupport::ReadFile(Path("pinpad.err"));
  if (testsupport::FileExists(Path("pinpad.txt"))) r.transcript = testsupport::ReadLines(Path("pinpad.txt"));
  return r;
}

testsupport::ProcessResult PaymentTest::RunMolvex(const std::vector<std::string>& args, int timeoutMs) {
  std::vector<std::string> argv = {molvex_};
  argv.insert(argv.end(), args.begin(), args.end());
  return testsupport::RunProcess(argv, {.cwd = dir_.path(), .env = {kWaitDivisor}, .input = "", .timeout_ms = timeoutMs});
}

testsupport::ProcessResult PaymentTest::Pay(const std::string& scenarioPath, const std::vector<std::string>& args,
                                            const std::map<std::string, std::string>& vars) {
  StartPinpad(scenarioPath, vars);
  testsupport::ProcessResult r = RunMolvex(args);
  sim_ = FinishPinpad();
  return r;
}

std::vector<std::string> PaymentTest::Response() const {
  std::vector<std::string> lines;
  if (!testsupport::FileExists(Path("e"))) return lines;
  const std::string text = testsupport::ReadFile(Path("e"));
  size_t start = 0;
  for (size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", start)) {
    lines.push_back(text.substr(start, at - start));
    start = at + 2;
  }
  lines.push_back(text.substr(start));
  return lines;
}

bool PaymentTest::Unwired() const {
  if (!testsupport::FileExists(Path("e"))) return false;
  auto lines = Response();
  if (lines.empty() || lines[0] != "252,") return false;
  for (const std::string& line : sim_.transcript) {
    if (line == "readiness") return false;
  }
  return true;
}

std::string PaymentTest::Cheque() const {
  return testsupport::FileExists(Path("p")) ? testsupport::ReadFile(Path("p")) : std::string();
}

std::string PaymentTest::Log() const {
  return testsupport::ReadFile(Path(testsupport::MonthlyLogName("tarn")));
}

std::string PaymentTest::Shipped(const std::string& name) { return std::string(PINPAD_SCENARIOS) + "/" + name; }
std::string PaymentTest::OfTests(const std::string& name) { return std::string(TEST_SCENARIOS) + "/" + name; }

std::string PaymentTest::Koi8(const std::string& utf8) {
  std::vector<char> cp866(utf8.size() + 1);
  size_t n = common::UTF8Tocp866(cp866.data(), utf8.c_str(), cp866.size());
  std::string out;
  for (size_t i = 0; i < n; ++i) out += static_cast<char>(common::cp866toKoi8r(static_cast<uint8_t>(cp866[i])));
  return out;
}

}  // namespace paymente2e
