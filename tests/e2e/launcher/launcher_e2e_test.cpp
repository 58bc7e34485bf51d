// The launcher run as the POS runs it: copied into a folder of its own, with
// fake worker, update client and payment program scripts that record what
// they were given.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "e2e_helpers.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ReadLines;
using testsupport::WriteFile;
using testsupport::WriteScript;

class LauncherRun : public ::testing::Test {
 protected:
  void SetUp() override {
    launcher_ = testsupport::CopyProgram("quillet", dir_.path());
    calls_ = dir_ / "calls";
    // Each argument on a line of its own, in brackets, so that blanks and
    // empty arguments show.
    WriteScript(dir_ / "dravik.out",
                "echo dravik >> " + e2e::Quoted(calls_) + "\n"
                "for a in \"$@\"; do echo \"[$a]\" >> " + e2e::Quoted(calls_) + "; done\n");
    WriteScript(dir_ / "ferrow", "echo \"ferrow $#\" >> " + e2e::Quoted(calls_) + "\n");
  }

  // Started from another folder, by its full path, as the POS does.
  testsupport::ProcessResult Run(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {launcher_};
    argv.insert(argv.end(), args.begin(), args.end());
    testsupport::ProcessOptions options;
    options.cwd = elsewhere_.path();
    options.timeout_ms = 30000;
    return testsupport::RunProcess(argv, options);
  }

  std::vector<std::string> Calls() { return ReadLines(calls_); }
  std::vector<std::string> Log() { return e2e::LogMessages(dir_ / e2e::MonthlyLogName("tarn")); }

  testsupport::TempDir dir_;
  testsupport::TempDir elsewhere_;
  std::string launcher_;
  std::string calls_;
};

TEST_F(LauncherRun, WorkerGetsTheArgumentsUnchanged) {
  mkdir((dir_ / "conf dir").c_str(), 0755);
  WriteFile(dir_ / "conf dir/pinpad.ini", "LogDir=logs/\n");
  mkdir((dir_ / "logs").c_str(), 0755);
  const std::string ini_arg = "/f=\"" + dir_.path() + "/conf dir/\"";
  unlink((dir_ / "ferrow").c_str());

  auto result = Run({"7", "1000 00", ini_arg, "", "/c=\"x\""});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"dravik", "[7]", "[1000 00]", "[" + ini_arg + "]", "[]", "[/c=\"x\"]"}));
  // The quoted ini folder was taken without its quotes: its LogDir applies.
  EXPECT_EQ(e2e::LogMessages(dir_ / ("logs/" + e2e::MonthlyLogName("tarn"))),
            (std::vector<std::string>{"DAVIZ: Can't find ferrow"}));
}

TEST_F(LauncherRun, UpdateClientOnlyAfterOperations7And21) {
  struct Case {
    std::vector<std::string> args;
    bool updater;
  } cases[] = {
      {{"7"}, true},       {{"21", "/f=x/"}, true}, {{"70"}, false}, {{"021"}, false},
      {{"7 "}, false},     {{"217"}, false},        {{" 7"}, false}, {{""}, false},
      {{"1", "7"}, false}, {{}, false},
  };
  for (const auto& c : cases) {
    unlink(calls_.c_str());
    std::string label = c.args.empty() ? "(none)" : "'" + c.args[0] + "'";
    auto result = Run(c.args);
    EXPECT_EQ(result.exit_code, 0) << label;
    std::vector<std::string> calls = Calls();
    ASSERT_FALSE(calls.empty()) << label;
    EXPECT_EQ(calls.front(), "dravik") << label;
    // After the worker has ended, never alongside it, and without arguments.
    EXPECT_EQ(calls.back() == "ferrow 0", c.updater) << label;
    EXPECT_EQ(calls.size(), 1 + c.args.size() + (c.updater ? 1 : 0)) << label;
  }
}

TEST_F(LauncherRun, ExitStatusIsAlwaysZero) {
  struct Case {
    const char* name;
    std::string worker;  // empty: no worker at all
    std::string updater;
  } cases[] = {
      {"worker fails", "exit 3\n", "exit 0\n"},
      {"worker killed", "kill -9 $$\n", "exit 0\n"},
      {"updater fails", "exit 0\n", "exit 42\n"},
      {"no worker", "", "exit 0\n"},
  };
  for (const auto& c : cases) {
    unlink((dir_ / "dravik.out").c_str());
    if (!c.worker.empty()) WriteScript(dir_ / "dravik.out", c.worker);
    WriteScript(dir_ / "ferrow", c.updater);
    auto result = Run({"21"});
    EXPECT_FALSE(result.timed_out) << c.name;
    EXPECT_EQ(result.term_signal, 0) << c.name;
    EXPECT_EQ(result.exit_code, 0) << c.name;
  }
}

TEST_F(LauncherRun, InstallsDeliveredFilesBeforeTheWorkerRuns) {
  WriteFile(dir_ / "molvex", "old molvex", 0755);
  WriteFile(dir_ / "molvex.new", "new molvex", 0755);
  WriteFile(dir_ / "cashinfo.ini", "old");
  WriteFile(dir_ / "cashinfo.ini.new", "new");
  WriteFile(dir_ / "same.bin", "same");
  WriteFile(dir_ / "same.bin.new", "same");
  WriteFile(dir_ / "orphan.new", "alone");
  // A delivered worker is the one that runs this time.
  WriteFile(dir_ / "dravik.out.new", "#!/bin/sh\necho 'new dravik' >> " + e2e::Quoted(calls_) + "\n", 0755);

  auto result = Run({"1"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(Calls(), (std::vector<std::string>{"new dravik"}));

  EXPECT_EQ(ReadFile(dir_ / "molvex"), "new molvex");
  EXPECT_EQ(ReadFile(dir_ / "molvex.old"), "old molvex");
  EXPECT_FALSE(FileExists(dir_ / "molvex.new"));
  EXPECT_EQ(ReadFile(dir_ / "cashinfo.ini"), "new");
  EXPECT_EQ(ReadFile(dir_ / "cashinfo.ini.old"), "old");
  EXPECT_FALSE(FileExists(dir_ / "cashinfo.ini.new"));
  EXPECT_TRUE(FileExists(dir_ / "same.bin.new"));
  EXPECT_FALSE(FileExists(dir_ / "same.bin.old"));
  EXPECT_TRUE(FileExists(dir_ / "orphan.new"));
  EXPECT_FALSE(FileExists(dir_ / "orphan"));
  EXPECT_TRUE(FileExists(dir_ / "dravik.out.old"));
  EXPECT_EQ(Log(), (std::vector<std::string>{"DAVIZ: molvex renamed to molvex.old",
                                             "DAVIZ: molvex.new renamed to molvex"}));

  // A second run finds nothing to install and logs nothing.
  unlink(calls_.c_str());
  Run({"1"});
  EXPECT_EQ(ReadFile(dir_ / "molvex.old"), "old molvex");
  EXPECT_EQ(Log().size(), 2u);
}

TEST_F(LauncherRun, NewMolvexWithoutAnInstalledOne) {
  WriteFile(dir_ / "molvex.new", "first molvex", 0755);
  EXPECT_EQ(Run({"1"}).exit_code, 0);
  EXPECT_EQ(ReadFile(dir_ / "molvex"), "first molvex");
  EXPECT_FALSE(FileExists(dir_ / "molvex.new"));
  EXPECT_FALSE(FileExists(dir_ / "molvex.old"));
  EXPECT_EQ(Log().size(), 2u);  // both steps are logged whatever mv made of them
}

}  // namespace
