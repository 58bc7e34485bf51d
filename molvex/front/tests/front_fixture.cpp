#include "front_fixture.h"

#include <cstdio>
#include <ctime>

#include "molvex/front/model/error_messages.h"
#include "molvex/front/model/last_error.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/program_profile.h"
#include "src/pc/report.h"
#include "src/pc/schedule.h"

void FrontFixture::SetUp() {
  pcc_ResetPathsForTests();
  pcc_SetProgramProfile(kMolvexProfile);
  EnableReportString(1);
  pcc_GetUImode() = 0;
  LastError() = 0;
  SetErrorMessageLookup(nullptr);
  for (int slot : {PathToProgram, PathToCurrent, PathToIni, PathToLog, PathToResult, PathToLock}) {
    pcc_SetPath(slot, Folder().c_str());
  }
}

void FrontFixture::TearDown() {
  pcc_SetTimeOfDaySourceForTests(nullptr);
  pcc_ResetPathsForTests();
}

std::string FrontFixture::Log() const {
  return testsupport::ReadFile(Path(testsupport::MonthlyLogName("tarn")));
}
