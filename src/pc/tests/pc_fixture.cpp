#include "pc_fixture.h"

#include <cstdio>
#include <ctime>

#include "src/pc/comm_log.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/program_profile.h"
#include "src/pc/report.h"
#include "src/pc/schedule.h"

void PcFixture::SetUp() {
  pcc_ResetPathsForTests();
  pcc_ResetExtendedLogForTests();
  pcc_ResetCommLogForTests();
  pcc_SetProgramProfile(kMolvexProfile);
  EnableReportString(1);
  pplogToggleLogMode(0);
  pcc_GetUImode() = 0;
  pcc_SetPath(PathToProgram, Folder().c_str());
  pcc_SetPath(PathToIni, Folder().c_str());
}

std::string PcFixture::MonthlyLog(const std::string& prefix) const {
  return Path(testsupport::MonthlyLogName(prefix));
}

void PcFixture::TearDown() {
  pcc_SetTimeOfDaySourceForTests(nullptr);
  pcc_ResetPathsForTests();
}
