// Helpers shared by the unit and end-to-end tests: temporary folders, files,
// and running a real program with a time limit.
#pragma once

#include <string>
#include <vector>

namespace testsupport {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it when
// the object goes out of scope. path() ends without a slash.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& content, unsigned mode = 0644);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);
// The main log of this month for a log-file prefix, e.g. "tarn2612.log".
std::string MonthlyLogName(const std::string& prefix);
// Lines of a text file, without their line ends ("\n" or "\r\n").
std::vector<std::string> ReadLines(const std::string& path);

// Absolute path of a program built by this build tree.
std::string BuiltProgram(const std::string& name);
// Copies a built program into dir under the given name (default: its own), keeps it executable.
std::string CopyProgram(const std::string& name, const std::string& dir, const std::string& as = "");

struct ProcessResult {
  int exit_code = -1;    // exit status 0-255 when the process exited
  int term_signal = 0;   // signal number when it was killed
  bool timed_out = false;
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::string cwd;                    // working folder ("" = inherit)
  std::vector<std::string> env;       // extra NAME=VALUE entries
  std::string input;                  // bytes for standard input
  int timeout_ms = 60000;
};

// Runs argv[0] (a path, not searched on PATH unless it has no slash) and collects its output.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// A shell script file with the given body, made executable.
void WriteScript(const std::string& path, const std::string& body);

}  // namespace testsupport
