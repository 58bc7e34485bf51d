#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

// Every folder slot points into one fresh temporary folder.
class PcFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir_ / name; }
  std::string Folder() const { return dir_.path() + "/"; }
  // The main log file of this month in the temporary folder, e.g. tarn2612.log.
  std::string MonthlyLog(const std::string& prefix) const;
  void WritePinpadIni(const std::string& content) { testsupport::WriteFile(Path("pinpad.ini"), content); }

  testsupport::TempDir dir_;
};
