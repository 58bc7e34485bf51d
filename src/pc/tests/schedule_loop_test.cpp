#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "pc_fixture.h"
#include "src/pc/program_profile.h"
#include "src/pc/schedule.h"

namespace {

int32_t g_now = 0;
int32_t FixedNow() { return g_now; }

std::vector<uint64_t> g_sleeps;
// Called from inside the sleeper: lets a case change the settings while the
// scheduler "waits", as an administrator would.
void (*g_during_sleep)(size_t call) = nullptr;
std::string g_ini;

void RecordingSleeper(uint64_t milliseconds) {
  g_sleeps.push_back(milliseconds);
  if (g_during_sleep != nullptr) g_during_sleep(g_sleeps.size());
}

class ScheduleLoop : public PcFixture {
 protected:
  void SetUp() override {
    PcFixture::SetUp();
    pcc_SetProgramProfile(kZordelProfile);
    pcc_SetTimeOfDaySourceForTests(FixedNow);
    pcc_SetScheduleSleeper(RecordingSleeper);
    g_sleeps.clear();
    g_during_sleep = nullptr;
    g_ini = Path("pinpad.ini");
  }
  void TearDown() override {
    pcc_SetScheduleSleeper(nullptr);
    g_during_sleep = nullptr;
    PcFixture::TearDown();
  }
  std::vector<std::string> Log() const { return testsupport::ReadLines(MonthlyLog("zordel")); }
  // Log lines without their time stamp and tag.
  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const auto& line : Log()) {
      size_t at = line.find("SCHEDLR: ");
      out.push_back(at == std::string::npos ? line : line.substr(at + 9));
    }
    return out;
  }
};

TEST_F(ScheduleLoop, OneWaitForTheSchedule) {
  const std::string long_command = "7" + std::string(150, 'x');
  struct Case {
    std::string ini;
    int32_t now;
    int result;
    uint64_t slept_ms;  // 0: no wait at all
    std::string command;
  } cases[] = {
      {"ScheduledTime=23:30:0\nScheduledCommand=7\n", 232900, 1, 60000, "7"},
      {"ScheduledTime=23:30:0\nScheduledCommand=7\n", 233100, 1, 86340000, "7"},  // tomorrow
      {"ScheduledTime=0\nScheduledCommand=47 1\n", 0, 1, 60000, "47 1"},
      {"ScheduledTime=15\nScheduledCommand=7\n", 0, 1, 900000, "7"},
      // Weeks of minutes stay weeks: the milliseconds must not wrap at 32 bits.
      {"ScheduledTime=99999\nScheduledCommand=7\n", 0, 1, 99999ull * 60 * 1000, "7"},
      // Only 99 characters of each key are read.
      {"ScheduledTime=" + std::string(200, '1') + "\nScheduledCommand=7\n", 0, 1, (INT32_MAX / 60) * 60000ull, "7"},
      {"ScheduledTime=1\nScheduledCommand=" + long_command + "\n", 0, 1, 60000, long_command.substr(0, 99)},
      {"ScheduledTime=23:30\nScheduledCommand=7\n", 0, -1, 0, "7"},
      {"ScheduledTime=abc\nScheduledCommand=7\n", 0, -1, 0, "7"},
      {"ScheduledTime=-5\nScheduledCommand=7\n", 0, -1, 0, "7"},
      {"ScheduledTime=15\nScheduledCommand=21\n", 0, -2, 0, "21"},
      {"ScheduledTime=15\nScheduledCommand=4\n", 0, -2, 0, "4"},
      {"ScheduledTime=\nScheduledCommand=7\n", 0, 3, 0, ""},
      {"ScheduledTime=15\n", 0, 3, 0, ""},
  };
  for (const auto& c : cases) {
    WritePinpadIni(c.ini);
    g_now = c.now;
    g_sleeps.clear();
    char command[256] = "junk";
    EXPECT_EQ(pcc_StartRemoteDownload(command, sizeof command), c.result) << c.ini;
    if (c.slept_ms == 0) {
      EXPECT_TRUE(g_sleeps.empty()) << c.ini;
    } else {
      EXPECT_EQ(g_sleeps, std::vector<uint64_t>{c.slept_ms}) << c.ini;
      EXPECT_EQ(Messages().back(), "wait for " + std::to_string(c.slept_ms / 1000) + " seconds");
    }
    if (!c.command.empty()) {
      EXPECT_EQ(std::string(command), c.command) << c.ini;
    }
  }
}

TEST_F(ScheduleLoop, EndsWithTheReasonInTheLog) {
  struct Case {
    const char* ini;
    int result;
    std::vector<std::string> messages;
  } cases[] = {
      {"ScheduledCommand=7\n", 3, {"started", "closed"}},
      {"ScheduledTime=23:30\nScheduledCommand=7\n", -1, {"started", "invalid time format in settings.", "closed"}},
      {"ScheduledTime=5\nScheduledCommand=21\n", -2, {"started", "unsupported command in settings.", "closed"}},
  };
  for (const auto& c : cases) {
    unlink(MonthlyLog("zordel").c_str());
    WritePinpadIni(c.ini);
    EXPECT_EQ(pcc_ScheduleIniFileCommandBy(Path("never-run").c_str()), c.result) << c.ini;
    EXPECT_EQ(Messages(), c.messages) << c.ini;
  }
}

// The program records when it begins and ends; it takes a moment so that a
// second start that did not wait for the first would show up in the record.
TEST_F(ScheduleLoop, StartsTheCommandEachPeriodOneRunAtATime) {
  const std::string record = Path("runs.txt");
  const std::string program = Path("prog");
  testsupport::WriteScript(program, "echo \"begin $*\" >> '" + record + "'\nsleep 0.3\necho end >> '" + record + "'\n");
  WritePinpadIni("ScheduledTime=0\nScheduledCommand=7 /b=1\n");
  // Sleeps: wait, pause, wait, pause. During the second pause the schedule goes away.
  g_during_sleep = [](size_t call) {
    if (call == 4) testsupport::WriteFile(g_ini, "ScheduledCommand=7 /b=1\n");
  };

  EXPECT_EQ(pcc_ScheduleIniFileCommandBy(program.c_str()), 3);
  EXPECT_EQ(g_sleeps, (std::vector<uint64_t>{60000, 1000, 60000, 1000}));

  // The last run is not waited for by the loop; give it time to finish.
  for (int i = 0; i < 100 && testsupport::ReadLines(record).size() < 4; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(testsupport::ReadLines(record),
            (std::vector<std::string>{"begin 7 /b=1", "end", "begin 7 /b=1", "end"}));

  // Between the loop's lines the process service logs the creation of each child.
  std::vector<std::string> ours;
  for (const auto& m : Messages()) {
    if (m.rfind("created process", 0) != 0) ours.push_back(m);
  }
  EXPECT_EQ(ours, (std::vector<std::string>{"started", "wait for 60 seconds",
                                            "start command '" + program + " 7 /b=1'.", "command called succesfully",
                                            "wait for 60 seconds", "start command '" + program + " 7 /b=1'.",
                                            "command called succesfully", "closed"}));
}

}  // namespace
