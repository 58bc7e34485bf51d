#include <string>

#include "pc_fixture.h"
#include "src/pc/schedule.h"

namespace {

int32_t g_now = 0;
int32_t FixedNow() { return g_now; }

class Schedule : public PcFixture {
 protected:
  void SetUp() override {
    PcFixture::SetUp();
    pcc_SetTimeOfDaySourceForTests(FixedNow);
  }
};

TEST_F(Schedule, TimeOfDayArithmetic) {
  struct Case {
    int32_t a, b, diff_packed, diff_seconds;
  } cases[] = {
      {233000, 232900, 100, 60},
      {233000, 233100, -100, -60},
      {0, 235959, -235959, -86399},
      {1, 235959, -235958, -86398},
      {120000, 120000, 0, 0},
      {100000, 93001, 2959, 1799},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(auxDiffTime(c.a, c.b), c.diff_packed) << c.a << "-" << c.b;
    EXPECT_EQ(auxTimeToSeconds(auxDiffTime(c.a, c.b)), c.diff_seconds) << c.a << "-" << c.b;
  }
}

TEST_F(Schedule, ParsingPeriodsAndTimes) {
  int32_t out = -1;
  EXPECT_TRUE(ParseAsPeriodInSeconds("15", &out));
  EXPECT_EQ(out, 15);
  EXPECT_FALSE(ParseAsPeriodInSeconds("15a", &out));
  EXPECT_FALSE(ParseAsPeriodInSeconds("", &out));
  EXPECT_TRUE(ParseAsPeriodInSeconds(std::string(99, '9').c_str(), &out));
  EXPECT_GT(out, 0);
  EXPECT_TRUE(ReadTimeAsSeconds("23:30:0", &out));
  EXPECT_EQ(out, 233000);
  EXPECT_TRUE(ReadTimeAsSeconds("257:1:2", &out));  // each number modulo 256
  EXPECT_EQ(out, 10102);
  EXPECT_FALSE(ReadTimeAsSeconds("23:30", &out));
  EXPECT_FALSE(ReadTimeAsSeconds(nullptr, &out));
  g_now = 232900;
  EXPECT_TRUE(ParseAsCurrentTimeDifferenceInSeconds("23:30:00", &out));
  EXPECT_EQ(out, 60);
  EXPECT_FALSE(ParseAsCurrentTimeDifferenceInSeconds("x", &out));
  EXPECT_EQ(out, 0);
}

TEST_F(Schedule, ReadingTheScheduledCommand) {
  struct Case {
    const char* ini;
    int32_t now;
    int result;
    int32_t delay;
  } cases[] = {
      {"ScheduledTime=23:30:00\nScheduledCommand=7 /b=1\n", 232900, 0, 60},
      {"ScheduledTime=23:30:00\nScheduledCommand=7\n", 233100, 0, -60},
      {"ScheduledTime=0\nScheduledCommand=7\n", 0, 0, 60},
      {"ScheduledTime=15\nScheduledCommand=7\n", 0, 0, 900},
      {"ScheduledTime=23:30\nScheduledCommand=7\n", 0, 249, 0},
      {"ScheduledTime=\nScheduledCommand=7\n", 0, 101, 0},
      {"ScheduledTime=15\n", 0, 101, 0},
  };
  for (const auto& c : cases) {
    WritePinpadIni(c.ini);
    g_now = c.now;
    char command[256] = "junk";
    int32_t delay = 0;
    EXPECT_EQ(pcc_ReadIniScheduledCommand(command, sizeof command, &delay), c.result) << c.ini;
    if (c.result == 0) {
      EXPECT_EQ(delay, c.delay) << c.ini;
    }
  }
  WritePinpadIni("ScheduledTime=15\nScheduledCommand=7 /b=1\n");
  char command[256];
  int32_t delay = 0;
  pcc_ReadIniScheduledCommand(command, sizeof command, &delay);
  EXPECT_STREQ(command, "7 /b=1");
}

TEST_F(Schedule, WindowOfTheScheduledRun) {
  WritePinpadIni("ScheduledTime=23:30:00\nScheduledCommand=7\n");
  struct Case {
    int32_t now;
    bool in_window;
  } cases[] = {{232955, false}, {232956, true}, {233000, true}, {233029, true}, {233030, false}, {120000, false}};
  for (const auto& c : cases) {
    g_now = c.now;
    EXPECT_EQ(pcc_IsTimeForRDL(), c.in_window) << c.now;
  }
  g_now = 120000;
  WritePinpadIni("ScheduledCommand=7\n");
  EXPECT_TRUE(pcc_IsTimeForRDL());  // no schedule: every run is the scheduled one
  WritePinpadIni("ScheduledTime=23:30:00\nScheduledCommand=47\n");
  EXPECT_TRUE(pcc_IsTimeForRDL());
  WritePinpadIni("ScheduledTime=15\nScheduledCommand=7\n");
  EXPECT_FALSE(pcc_IsTimeForRDL());
  WritePinpadIni("ScheduledTime=bad\nScheduledCommand=7\n");
  EXPECT_FALSE(pcc_IsTimeForRDL());
}

TEST_F(Schedule, SupportedCommands) {
  EXPECT_TRUE(IsSupportedCommand("7"));
  EXPECT_TRUE(IsSupportedCommand("47 1"));
  EXPECT_FALSE(IsSupportedCommand("21"));
  EXPECT_FALSE(IsSupportedCommand("4"));
  EXPECT_TRUE(pcc_IsScheduledRDLReqired("7 x"));
  EXPECT_FALSE(pcc_IsScheduledRDLReqired("47"));
}

}  // namespace
