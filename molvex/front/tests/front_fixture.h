// Every registered folder points into one fresh temporary folder, so that the
// files a test makes (INI files, logs, response files) stay inside it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

class FrontFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string Path(const std::string& name) const { return dir_ / name; }
  std::string Folder() const { return dir_.path() + "/"; }
  // This month's main log in the temporary folder ("" when none was written).
  std::string Log() const;

  testsupport::TempDir dir_;
};
