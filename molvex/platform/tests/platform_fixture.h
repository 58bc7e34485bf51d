#pragma once

#include <gtest/gtest.h>

#include <string>

#include "molvex/platform/system.h"
#include "src/pc/paths.h"
#include "test_support.h"

// A fresh system object whose folders all point into a temporary folder.
class PlatformFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TLinStubExeSystem::ResetForTests();
    pcc_ResetPathsForTests();
    pcc_SetPath(PathToProgram, Folder().c_str());
    pcc_SetPath(PathToIni, Folder().c_str());
    pcc_SetPath(PathToLog, Folder().c_str());
  }
  void TearDown() override {
    TLinStubExeSystem::ResetForTests();
    pcc_ResetPathsForTests();
  }
  std::string Folder() const { return dir_.path() + "/"; }
  std::string Path(const std::string& name) const { return dir_ / name; }

  testsupport::TempDir dir_;
};
