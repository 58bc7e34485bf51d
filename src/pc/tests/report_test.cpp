#include <sys/stat.h>
#include <utime.h>

#include <ctime>
#include <regex>
#include <string>

#include "pc_fixture.h"
#include "src/pc/paths.h"
#include "src/pc/comm_log.h"
#include "src/pc/program_profile.h"
#include "src/pc/report.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::ReadLines;
using testsupport::WriteFile;

namespace {

class Logs : public PcFixture {
 protected:
  void SetUp() override {
    PcFixture::SetUp();
    pcc_SetPath(PathToLog, Folder().c_str());
  }
  std::string CommLogName(int port) const {
    time_t now = time(nullptr);
    tm parts {};
    localtime_r(&now, &parts);
    char name[32];
    std::snprintf(name, sizeof name, "com%02d-%02d.log", port, parts.tm_mday);
    return Path(name);
  }
};

TEST_F(Logs, MainLogLineFormatAndMonthlyFile) {
  ReportString("start with arguments '%s'", "1 10000 ");
  std::string text = ReadFile(MonthlyLog("tarn"));
  std::regex line(R"(^\d\d\.\d\d \d\d:\d\d:\d\d\.\d\d\d VLPILOT: start with arguments '1 10000 '\r\n$)");
  EXPECT_TRUE(std::regex_match(text, line)) << text;

  pcc_SetProgramProfile(kZordelProfile);
  ReportString("started");
  EXPECT_NE(ReadFile(MonthlyLog("zordel")).find("SCHEDLR: started\r\n"), std::string::npos);
}

TEST_F(Logs, LongLinesAreCutTo1023Bytes) {
  ReportString("%s", std::string(3000, 'x').c_str());
  std::string text = ReadFile(MonthlyLog("tarn"));
  ASSERT_EQ(text.size(), 1025u);
  EXPECT_EQ(text.substr(1021), "xx\r\n");
}

TEST_F(Logs, SwitchedOffMainLogWritesNothing) {
  EnableReportString(0);
  ReportString("hidden");
  EXPECT_FALSE(FileExists(MonthlyLog("tarn")));
}

TEST_F(Logs, ExtendedCategoriesStopAtTheFirstGap) {
  struct Case {
    const char* ini;
    std::vector<int> on;
    std::vector<int> off;
  } cases[] = {
      {"ExtendedLog_0=2\nExtendedLog_1=5\n", {2, 5}, {0, 3}},
      {"ExtendedLog_0=2\nExtendedLog_2=5\n", {2}, {5}},
      {"ExtendedLog_0=abc\n", {0}, {2}},
      {"ExtendedLog_0=50\nExtendedLog_1=3\n", {}, {3, 50}},
  };
  for (const auto& c : cases) {
    WritePinpadIni(c.ini);
    unlink(MonthlyLog("tarn").c_str());
    pcc_ResetExtendedLogForTests();
    for (int cat : c.on) ReportStringEx(cat, "cat %d", cat);
    for (int cat : c.off) ReportStringEx(cat, "cat %d", cat);
    std::string text = ReadFile(MonthlyLog("tarn"));
    for (int cat : c.on) EXPECT_NE(text.find("cat " + std::to_string(cat) + "\r"), std::string::npos) << c.ini;
    for (int cat : c.off) EXPECT_EQ(text.find("cat " + std::to_string(cat) + "\r"), std::string::npos) << c.ini;
  }
  pcc_SetProgramProfile(kQuilletProfile);  // no extended log outside molvex
  WritePinpadIni("ExtendedLog_0=2\n");
  pcc_ResetExtendedLogForTests();
  unlink(MonthlyLog("tarn").c_str());
  ReportStringEx(2, "quiet");
  EXPECT_FALSE(FileExists(MonthlyLog("tarn")));
}

TEST_F(Logs, CommunicationLogModes) {
  std::string big(1601, 'b');
  std::string fits(1600, 'f');
  struct Case {
    int mode;
    bool big_logged;
    bool fits_logged;
  } cases[] = {{0, false, false}, {1, false, true}, {2, true, true}};
  for (const auto& c : cases) {
    unlink(CommLogName(3).c_str());
    pplogToggleLogMode(c.mode);
    LogCommData(3, '>', big.data(), big.size());
    LogCommData(3, '<', fits.data(), fits.size());
    std::string text = ReadFile(CommLogName(3));
    EXPECT_EQ(text.find(big) != std::string::npos, c.big_logged) << c.mode;
    EXPECT_EQ(text.find(fits) != std::string::npos, c.fits_logged) << c.mode;
  }
  EXPECT_EQ(pplogToggleLogMode(1), 2);
}

TEST_F(Logs, CommunicationLogLineCarriesRawBytes) {
  pplogToggleLogMode(2);
  const char data[] = {'\x02', '\x00', 'A', '\r'};
  LogCommData(7, '>', data, sizeof data);
  LogCommData(7, '+', nullptr, 0);
  std::string text = ReadFile(CommLogName(7));
  std::regex shape(R"(^\d\d\.\d\d \d\d:\d\d:\d\d\.\d\d\d > )");
  EXPECT_TRUE(std::regex_search(text, shape)) << text;
  EXPECT_NE(text.find(std::string(" > \x02\x00" "A\r\r\n", 9)), std::string::npos);
  EXPECT_NE(text.find(" + \r\n"), std::string::npos);
}

TEST_F(Logs, StaleDailyCommunicationLogIsStartedAfresh) {
  pplogToggleLogMode(2);
  WriteFile(CommLogName(4), "a month old\r\n");
  time_t month_ago = time(nullptr) - 31 * 24 * 3600;
  utimbuf times{month_ago, month_ago};
  ASSERT_EQ(utime(CommLogName(4).c_str(), &times), 0);
  WriteFile(CommLogName(5), "written today\r\n");
  LogCommData(5, '>', "x", 1);  // the first line of the day inspects only its own file
  LogCommData(4, '>', "y", 1);
  EXPECT_NE(ReadFile(CommLogName(5)).find("written today"), std::string::npos);
  EXPECT_NE(ReadFile(CommLogName(4)).find("a month old"), std::string::npos);

  ASSERT_EQ(utime(CommLogName(4).c_str(), &times), 0);
  pcc_ResetCommLogForTests();  // a new day begins
  LogCommData(4, '>', "z", 1);
  std::string text = ReadFile(CommLogName(4));
  EXPECT_EQ(text.find("a month old"), std::string::npos);
  EXPECT_NE(text.find(" > z\r\n"), std::string::npos);
}

TEST_F(Logs, CommunicationErrorLog) {
  ReportError("port %d lost", 3);
  std::string errors = ReadFile(Path("commerr.log"));
  std::regex shape(R"(^\d\d\.\d\d \d\d:\d\d:\d\d port 3 lost\r\n$)");
  EXPECT_TRUE(std::regex_match(errors, shape)) << errors;
  EXPECT_NE(ReadFile(MonthlyLog("tarn")).find("VLPILOT: port 3 lost\r\n"), std::string::npos);
  ReportError("%s", "100% sure");  // the message is not formatted a second time
  EXPECT_NE(ReadFile(MonthlyLog("tarn")).find("VLPILOT: 100% sure\r\n"), std::string::npos);
}

}  // namespace
