#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <ctime>

#include "src/pc/paths.h"
#include "src/pc/standalone/drv_standalone.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

class DrvStandalone : public ::testing::Test {
 protected:
  void SetUp() override {
    pcc_ResetPathsForTests();
    // Files are named below the current folder, which here is set explicitly.
    pcc_SetPath(PathToProgram, "/nonexistent-program-folder/");
    pcc_SetPath(PathToCurrent, (dir_.path() + "/").c_str());
  }
  void TearDown() override { pcc_ResetPathsForTests(); }
  std::string Path(const std::string& name) const { return dir_ / name; }

  testsupport::TempDir dir_;
};

TEST_F(DrvStandalone, CounterAndDeadlines) {
  EXPECT_LT(drvGetTimeMSec(), 1000000000u);
  DrvDeadline soon = drvSetTimer(20);
  DrvDeadline later = drvSetTimer(60000);
  EXPECT_FALSE(drvCheckTimer(soon));
  EXPECT_FALSE(drvCheckTimer(later));
  EXPECT_EQ(drvAddTimeToTimer(soon, 100), soon + 100);
  drvWait(50);
  EXPECT_TRUE(drvCheckTimer(soon));
  EXPECT_FALSE(drvCheckTimer(later));
}

// The visible counter wraps every 1,000,000 s of uptime; a deadline set just
// before that must still be reached after its length.
TEST_F(DrvStandalone, DeadlineAcrossTheCounterWrap) {
  constexpr uint64_t kWrap = 1000000000;
  const uint64_t now = drvGetTimeMSec64() % kWrap;
  drvShiftClockForTests((2 * kWrap - 50 - now) % kWrap);
  EXPECT_GE(drvGetTimeMSec(), kWrap - 60);
  DrvDeadline deadline = drvSetTimer(100);
  EXPECT_FALSE(drvCheckTimer(deadline));
  drvWait(250);
  EXPECT_LT(drvGetTimeMSec(), 1000u);  // wrapped
  EXPECT_TRUE(drvCheckTimer(deadline));
  drvShiftClockForTests(0);
}

TEST_F(DrvStandalone, DateTimeStatusAndRandom) {
  uint32_t date = 0, time_of_day = 0, msec = 7;
  time_t before = std::time(nullptr);
  drvGetDateAndTimeWithMsec(&date, &time_of_day, &msec);
  tm parts{};
  localtime_r(&before, &parts);
  EXPECT_EQ(date / 10000, static_cast<uint32_t>(parts.tm_year + 1900));
  EXPECT_LT(time_of_day, 240000u);
  EXPECT_EQ(msec, 0u);
  drvGetDateAndTime(nullptr, nullptr);  // outputs may be absent
  EXPECT_EQ(drvSetDateAndTime(20000101, 0), 0);

  T_CUR_STATUS_INFO status;
  std::memset(&status, 0x11, sizeof status);
  drvGetStatusInfo(&status);
  const auto* bytes = reinterpret_cast<const uint8_t*>(&status);
  for (size_t i = 0; i < sizeof status; ++i) {
    EXPECT_EQ(bytes[i], i == offsetof(T_CUR_STATUS_INFO, mobile_data) ? 0x00 : 0xFF) << i;
  }

  uint8_t random[9] = {};
  random[8] = 0xAB;
  EXPECT_EQ(drvRandom(random), 0);
  EXPECT_EQ(random[8], 0xAB);  // exactly 8 bytes
  EXPECT_EQ(drvRandom(nullptr), 253);
}

TEST_F(DrvStandalone, FilesBelowTheCurrentFolder) {
  WriteFile(Path("a"), "A");
  WriteFile(Path("b"), "B");
  EXPECT_EQ(drvFileRename("a", "b"), 0);  // an existing target is replaced
  EXPECT_FALSE(FileExists(Path("a")));
  EXPECT_EQ(ReadFile(Path("b")), "A");
  EXPECT_EQ(drvFileRename("b", "B"), 0);  // same name but for case: nothing happens
  EXPECT_TRUE(FileExists(Path("b")));
  EXPECT_FALSE(FileExists(Path("B")));
  EXPECT_EQ(drvFileRename("missing", "c"), 253);
  EXPECT_EQ(drvFileRename("b", "x.new"), 0);  // never a copy here: a plain rename
  EXPECT_FALSE(FileExists(Path("b")));

  EXPECT_EQ(drvFileErase("x.new"), 0);
  EXPECT_FALSE(FileExists(Path("x.new")));
  EXPECT_EQ(drvFileErase("x.new"), 0);  // already gone is fine

  EXPECT_EQ(drvCreateDirectory("sub"), 0);
  struct stat st{};
  ASSERT_EQ(stat(Path("sub").c_str(), &st), 0);
  EXPECT_TRUE(S_ISDIR(st.st_mode));
  EXPECT_EQ(drvCreateDirectory("sub"), 0);
  EXPECT_EQ(drvFileErase("sub"), 253);  // not a file
  WriteFile(Path("plain"), "x");
  EXPECT_EQ(drvCreateDirectory("plain"), 253);
  EXPECT_EQ(drvCreateDirectory("no/such/parent"), 253);
  EXPECT_EQ(drvCreateDirectory(nullptr), 253);
}

}  // namespace
