// Every registered folder in one fresh temporary folder, and the protocol's
// process-wide objects back at their start.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <string>

#include "molvex/protocol/heartbeat.h"
#include "molvex/protocol/protocol_timings.h"
#include "molvex/protocol/terminating.h"
#include "src/pc/paths.h"
#include "src/pc/program_profile.h"
#include "src/pc/report.h"
#include "test_support.h"

class ProtocolFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    pcc_ResetPathsForTests();
    pcc_SetProgramProfile(kMolvexProfile);
    EnableReportString(1);
    for (int slot : {PathToProgram, PathToCurrent, PathToIni, PathToLog, PathToResult, PathToLock}) {
      pcc_SetPath(slot, (dir_.path() + "/").c_str());
    }
    HeartBeatObject::Instance().ResetForTests();
    TerminatingController::instance().reset();
    ResetProtocolTimings();
  }
  void TearDown() override { pcc_ResetPathsForTests(); }

  std::string Path(const std::string& name) const { return dir_ / name; }
  std::string Log() const { return testsupport::ReadFile(Path(testsupport::MonthlyLogName("tarn"))); }

  testsupport::TempDir dir_;
};
