// Link figures, each reported as the median of several runs:
//   idle_cpu     processor share of molvex's link while it waits for a message that does not come;
//   ack_delay    from the last byte of a data frame written by the PIN pad to its ACK read back;
//   throughput   payload bytes per second of a 60 KB message in data frames, each direction,
//                through a relay that paces both directions at 115,200 bit/s, as a share of the line rate.
#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <deque>
#include <string>
#include <thread>
#include <vector>

#include "molvex/link/device_access.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"
#include "molvex/link/message_link.h"
#include "molvex/link/port_service.h"
#include "src/pc/paths.h"
#include "tools/pinpad-sim/pinpad_sim.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr double kLineBytesPerSecond = 115200.0 / 10.0;  // 8 data bits, start and stop bit

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

double ThreadCpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_THREAD, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct MasterPty {
  int fd = -1;
  std::string slave;
  MasterPty() {
    fd = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(fd);
    unlockpt(fd);
    slave = ptsname(fd);
  }
};

void Link(const std::string& target, const std::string& folder) {
  std::string link = folder + "/ttyS99";
  unlink(link.c_str());
  if (symlink(target.c_str(), link.c_str()) != 0) std::perror("symlink");
}

double IdleCpu(const std::string& folder) {
  MasterPty pty;  // a PIN pad that never speaks
  Link(pty.slave, folder);
  drvCloseComPort(9);
  drvOpenComPort(9, 9, 0);
  PINPAD_PORT = 9;
  std::vector<double> shares;
  for (int run = 0; run < 5; ++run) {
    LongMessageDynamic message;
    double cpu0 = ThreadCpuSeconds();
    auto t0 = Clock::now();
    uint16_t result = tspMakeAMessageEx(9, 2, nullptr, &message, 0);  // waits 2 s for nothing
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    if (result != 99) std::fprintf(stderr, "unexpected result %u\n", result);
    shares.push_back(100.0 * (ThreadCpuSeconds() - cpu0) / wall);
  }
  drvCloseComPort(9);
  close(pty.fd);
  return Median(shares);
}

double AckDelayMs(const std::string& folder) {
  MasterPty pty;
  Link(pty.slave, folder);
  drvCloseComPort(9);
  drvOpenComPort(9, 9, 0);
  std::vector<double> delays;
  std::atomic<bool> done{false};
  std::thread receiver([&] {
    while (!done) {
      LongMessageDynamic m;
      tspMakeAMessageEx(9, 2, nullptr, &m, 0);
    }
  });
  // Messages of 100 whole frames; every answer is timed from the frame's last byte.
  constexpr int kFrames = 100;
  constexpr uint32_t kLength = kFrames * 255 - 7;
  for (int message = 0; message < 4; ++message) {
    uint8_t expected = pplink::ACK;
    for (int frame = 0; frame < kFrames; ++frame) {
      std::vector<uint8_t> p(255, 0x41);
      if (frame == 0) {
        p[0] = 0x10;
        p[1] = static_cast<uint8_t>(kLength);
        p[2] = static_cast<uint8_t>(kLength >> 8);
      }
      bool last = frame == kFrames - 1;
      common::UBaseArrayT<uint8_t> bytes;
      pplink::MakeTypedFrame(bytes, pplink::kDataFrame, static_cast<uint8_t>(frame | (last ? 0 : 0x80)), p.data(), 255);
      auto t0 = Clock::now();
      if (write(pty.fd, bytes.Data(), bytes.Length()) != static_cast<ssize_t>(bytes.Length())) break;
      pollfd pf{pty.fd, POLLIN, 0};
      if (poll(&pf, 1, 2000) <= 0) break;
      uint8_t answer = 0;
      if (read(pty.fd, &answer, 1) != 1) break;
      delays.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
      uint8_t want = last ? pplink::EOT : expected;
      if (answer != want) std::fprintf(stderr, "unexpected answer %02X\n", answer);
      expected = expected == pplink::ACK ? pplink::BEL : pplink::ACK;
    }
  }
  done = true;
  receiver.join();
  drvCloseComPort(9);
  close(pty.fd);
  return Median(delays);
}

// Moves bytes between two descriptors, releasing each direction at the line rate.
[[noreturn]] void Relay(int a, int b) {
  struct Direction {
    int from, to;
    std::deque<uint8_t> queue;
    Clock::time_point next_free = Clock::now();
  } dirs[2] = {{a, b, {}, Clock::now()}, {b, a, {}, Clock::now()}};
  const auto byte_time = std::chrono::nanoseconds(static_cast<long>(1e9 / kLineBytesPerSecond));
  for (;;) {
    pollfd fds[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
    poll(fds, 2, 1);
    for (auto& d : dirs) {
      uint8_t chunk[4096];
      // An idle line earns no credit: the first byte after a pause leaves at once, the rest at the line rate.
      if (d.queue.empty() && d.next_free < Clock::now()) d.next_free = Clock::now();
      pollfd p{d.from, POLLIN, 0};
      if (poll(&p, 1, 0) > 0 && (p.revents & POLLIN)) {
        ssize_t n = read(d.from, chunk, sizeof chunk);
        if (n > 0) d.queue.insert(d.queue.end(), chunk, chunk + n);
      }
      auto now = Clock::now();
      std::vector<uint8_t> out;
      while (!d.queue.empty() && d.next_free <= now) {
        out.push_back(d.queue.front());
        d.queue.pop_front();
        d.next_free += byte_time;
      }
      if (!out.empty() && write(d.to, out.data(), out.size()) < 0) _exit(0);
    }
  }
}

class LongAnswer : public pinpadsim::Scenario {
 public:
  bool OnMessage(const pinpadsim::SimMessage& m, pinpadsim::SimSession& s) override {
    if (m.command == 0x78) return s.Reply(m, 0, std::vector<uint8_t>(60000, 0x5A));
    if (m.command == 0x79) return s.Reply(m, 0, {});
    return false;
  }
};

void Throughput(const std::string& folder, double* to_pinpad, double* from_pinpad) {
  std::string sim_folder = folder + "/sim";
  mkdir(sim_folder.c_str(), 0755);
  pinpadsim::PtyChannel channel(sim_folder);
  MasterPty pc_side;
  Link(pc_side.slave, folder);
  pid_t relay = fork();
  if (relay == 0) {
    int b = open(channel.slavePath().c_str(), O_RDWR | O_NOCTTY);
    termios t{};
    tcgetattr(b, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(b, TCSANOW, &t);
    Relay(pc_side.fd, b);
  }
  pinpadsim::SimOptions options;
  pinpadsim::PinpadSim sim(&channel, options);
  sim.AddScenario(std::make_unique<LongAnswer>());
  std::atomic<bool> stop{false};
  std::thread runner([&] { sim.Run(stop); });
  drvCloseComPort(9);
  drvOpenComPort(9, 9, 0);
  usleep(200000);

  std::vector<double> up, down;
  for (int run = 0; run < 3; ++run) {
    LongMessageDynamic request;
    request.allocate(60000, 0);
    request.msg()->command = 0x79;
    request.msg()->length = 60000;
    LongMessageDynamic reply;
    auto t0 = Clock::now();
    uint16_t r = tspMakeAMessageEx(9, 30, request.msg(), &reply, 0);
    double s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != 0) std::fprintf(stderr, "upload failed %u\n", r);
    up.push_back(60000.0 / s / kLineBytesPerSecond * 100.0);

    T_MessageBuf<0> ask;
    ask.msg()->command = 0x78;
    ask.msg()->length = 0;
    t0 = Clock::now();
    r = tspMakeAMessageEx(9, 30, ask.msg(), &reply, 0);
    s = std::chrono::duration<double>(Clock::now() - t0).count();
    if (r != 0 || reply.msg()->length != 60000) std::fprintf(stderr, "download failed %u\n", r);
    down.push_back(60000.0 / s / kLineBytesPerSecond * 100.0);
  }
  stop = true;
  runner.join();
  drvCloseComPort(9);
  kill(relay, SIGTERM);
  waitpid(relay, nullptr, 0);
  *to_pinpad = Median(up);
  *from_pinpad = Median(down);
}

}  // namespace

int main(int argc, char** argv) {
  char folder_template[] = "/tmp/link_bench_XXXXXX";
  const char* folder = mkdtemp(folder_template);
  if (folder == nullptr || chdir(folder) != 0) return 1;
  pcc_SetPath(PathToIni, (std::string(folder) + "/").c_str());
  pcc_SetPath(PathToLog, (std::string(folder) + "/").c_str());
  RegisterLinkDevices();
  bUseNewProtocol = 1;
  std::string which = argc > 1 ? argv[1] : "all";
  if (which == "all" || which == "idle") std::printf("idle_cpu_percent median=%.3f\n", IdleCpu(folder));
  if (which == "all" || which == "ack") std::printf("ack_delay_ms median=%.3f\n", AckDelayMs(folder));
  if (which == "all" || which == "throughput") {
    double up = 0, down = 0;
    Throughput(folder, &up, &down);
    std::printf("throughput_to_pinpad_percent_of_line median=%.1f\n", up);
    std::printf("throughput_from_pinpad_percent_of_line median=%.1f\n", down);
  }
  CloseAllComPorts();
  std::string cleanup = std::string("rm -rf ") + folder;
  return std::system(cleanup.c_str()) == 0 ? 0 : 1;
}
