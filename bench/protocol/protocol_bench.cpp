// Whole-process figures of a payment: molvex against pinpad-scenario on a pty.
//   - processor time of a purchase with 30 service requests, beyond start-up
//     (a run that ends at once without a PIN pad is the reference);
//   - processor share while the PIN pad keeps molvex waiting 10 seconds;
//   - peak memory of the process.
// Usage: protocol_bench [runs]   (programs are taken from this program's folder)
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::string g_bin;

struct Figures {
  double cpuMs = 0;
  double wallMs = 0;
  long maxRssKb = 0;
  int exitCode = -1;
};

std::string MakeFolder() {
  char name[] = "/tmp/protocol-bench-XXXXXX";
  std::string dir = mkdtemp(name);
  mkdir((dir + "/lock").c_str(), 0755);
  std::ifstream in(g_bin + "/molvex", std::ios::binary);
  std::ofstream out(dir + "/molvex", std::ios::binary);
  out << in.rdbuf();
  out.close();
  chmod((dir + "/molvex").c_str(), 0755);
  return dir;
}

void WriteIni(const std::string& dir, bool withPinpad) {
  std::ofstream ini(dir + "/pinpad.ini");
  ini << "LockPath=" << dir << "/lock/\nEnableUSB=0\n";
  if (withPinpad) ini << "ComPort=9\nNewProtocol=1\nSpeed=115200\n";
}

pid_t Spawn(const std::string& dir, std::vector<std::string> args) {
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(dir.c_str()) != 0) _exit(126);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    dup2(null, 2);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

Figures RunMolvex(const std::string& dir) {
  auto start = std::chrono::steady_clock::now();
  pid_t pid = Spawn(dir, {dir + "/molvex", "1", "10000"});
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Figures f;
  f.wallMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
  f.cpuMs = usage.ru_utime.tv_sec * 1e3 + usage.ru_utime.tv_usec / 1e3 + usage.ru_stime.tv_sec * 1e3 +
            usage.ru_stime.tv_usec / 1e3;
  f.maxRssKb = usage.ru_maxrss;
  f.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return f;
}

Figures WithScenario(const std::string& scenario) {
  std::string dir = MakeFolder();
  WriteIni(dir, true);
  pid_t sim = Spawn(dir, {g_bin + "/pinpad-scenario", "--scenario", scenario});
  for (int i = 0; i < 500 && access((dir + "/ttyS99").c_str(), F_OK) != 0; ++i) usleep(10000);
  Figures f = RunMolvex(dir);
  int status = 0;
  waitpid(sim, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) f.exitCode = -2;
  std::string cleanup = "rm -rf '" + dir + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", dir.c_str());
  return f;
}

Figures StartUpOnly() {
  std::string dir = MakeFolder();
  WriteIni(dir, false);
  Figures f = RunMolvex(dir);
  std::string cleanup = "rm -rf '" + dir + "'";
  if (std::system(cleanup.c_str()) != 0) std::fprintf(stderr, "cannot remove %s\n", dir.c_str());
  return f;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
  char self[4096];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return 1;
  self[n] = '\0';
  g_bin = std::string(self).substr(0, std::string(self).rfind('/'));
  const std::string scenarios = BENCH_SCENARIOS;

  std::vector<double> startCpu, purchaseCpu, purchaseWall, waitShare, rss;
  int failures = 0;
  for (int i = 0; i < runs; ++i) {
    Figures s = StartUpOnly();
    startCpu.push_back(s.cpuMs);
    Figures p = WithScenario(scenarios + "/thirty-calls.scn");
    if (p.exitCode != 0) ++failures;
    purchaseCpu.push_back(p.cpuMs);
    purchaseWall.push_back(p.wallMs);
    rss.push_back(static_cast<double>(p.maxRssKb));
  }
  const int waitRuns = std::max(1, runs / 2);
  for (int i = 0; i < waitRuns; ++i) {
    Figures w = WithScenario(scenarios + "/ten-seconds.scn");
    if (w.exitCode != 0) ++failures;
    waitShare.push_back(100.0 * w.cpuMs / w.wallMs);
    rss.push_back(static_cast<double>(w.maxRssKb));
  }
  const double start = Median(startCpu);
  const double purchase = Median(purchaseCpu);
  std::printf("start-up only (no PIN pad): median %.1f ms processor time\n", start);
  std::printf("purchase, 30 service requests: median %.1f ms processor time, %.1f ms beyond start-up "
              "(limit 50 ms), %.0f ms wall\n",
              purchase, purchase - start, Median(purchaseWall));
  std::printf("waiting 10 s for the PIN pad: median %.2f %% of one core (limit 2 %%)\n", Median(waitShare));
  std::printf("peak memory: median %.1f MB, largest %.1f MB (limit 16 MB)\n", Median(rss) / 1024.0,
              *std::max_element(rss.begin(), rss.end()) / 1024.0);
  std::printf("runs: %d purchases, %d waits, %d failed\n", runs, waitRuns, failures);
  return failures == 0 ? 0 : 1;
}
