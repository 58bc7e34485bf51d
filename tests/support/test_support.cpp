#include "test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace testsupport {

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/suite-test-XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() { RemoveTree(path_); }

static int RemoveEntry(const char* path, const struct stat*, int, struct FTW*) {
  // Make sure folders we made read-only in a test can still be emptied.
  chmod(path, 0700);
  return remove(path);
}

void RemoveTree(const std::string& path) {
  chmod(path.c_str(), 0700);
  nftw(path.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteFile(const std::string& path, const std::string& content, unsigned mode) {
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
  }
  chmod(path.c_str(), mode);
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return lstat(path.c_str(), &st) == 0;
}

std::string MonthlyLogName(const std::string& prefix) {
  time_t now = time(nullptr);
  tm parts {};
  localtime_r(&now, &parts);
  char name[64];
  std::snprintf(name, sizeof name, "%s%02d%02d.log", prefix.c_str(), parts.tm_year % 100, parts.tm_mon + 1);
  return name;
}

std::vector<std::string> ReadLines(const std::string& path) {
  std::vector<std::string> lines;
  std::string text = ReadFile(path);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string line = text.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return lines;
}

std::string BuiltProgram(const std::string& name) { return std::string(SUITE_BIN_DIR) + "/" + name; }

std::string CopyProgram(const std::string& name, const std::string& dir, const std::string& as) {
  std::string target = dir + "/" + (as.empty() ? name : as);
  WriteFile(target, ReadFile(BuiltProgram(name)), 0755);
  return target;
}

void WriteScript(const std::string& path, const std::string& body) {
  WriteFile(path, "#!/bin/sh\n" + body, 0755);
}

static long long NowMs() {
  timespec ts {};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
  ProcessResult result;
  int in_pipe[2], out_pipe[2], err_pipe[2];
  if (pipe(in_pipe) || pipe(out_pipe) || pipe(err_pipe)) throw std::runtime_error("pipe failed");
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_pipe[0], 0);
    dup2(out_pipe[1], 1);
    dup2(err_pipe[1], 2);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1], err_pipe[0], err_pipe[1]}) close(fd);
    setpgid(0, 0);
    if (!options.cwd.empty() && chdir(options.cwd.c_str()) != 0) _exit(126);
    for (const auto& e : options.env) putenv(strdup(e.c_str()));
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    if (argv[0].find('/') == std::string::npos) execvp(args[0], args.data());
    else execv(args[0], args.data());
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  close(err_pipe[1]);
  if (!options.input.empty()) {
    signal(SIGPIPE, SIG_IGN);
    ssize_t ignored = write(in_pipe[1], options.input.data(), options.input.size());
    (void)ignored;
  }
  close(in_pipe[1]);

  long long deadline = NowMs() + options.timeout_ms;
  bool out_open = true, err_open = true;
  char buf[4096];
  while (out_open || err_open) {
    long long left = deadline - NowMs();
    if (left <= 0) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      break;
    }
    pollfd fds[2] = {{out_pipe[0], POLLIN, 0}, {err_pipe[0], POLLIN, 0}};
    if (!out_open) fds[0].fd = -1;
    if (!err_open) fds[1].fd = -1;
    int n = poll(fds, 2, static_cast<int>(left > 200 ? 200 : left));
    if (n < 0 && errno != EINTR) break;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      ssize_t got = read(fds[i].fd, buf, sizeof buf);
      if (got <= 0) {
        (i == 0 ? out_open : err_open) = false;
      } else {
        (i == 0 ? result.out : result.err).append(buf, static_cast<size_t>(got));
      }
    }
  }
  close(out_pipe[0]);
  close(err_pipe[0]);
  int status = 0;
  while (true) {
    pid_t w = waitpid(pid, &status, result.timed_out ? 0 : WNOHANG);
    if (w == pid) break;
    if (w < 0 && errno != EINTR) break;
    if (w == 0) {
      if (NowMs() > deadline) {
        result.timed_out = true;
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
      } else {
        usleep(2000);
      }
    }
  }
  if (WIFEXITED(status)) result.exit_code = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) result.term_signal = WTERMSIG(status);
  return result;
}

}  // namespace testsupport
