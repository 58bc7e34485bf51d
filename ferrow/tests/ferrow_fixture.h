// A fresh folder per test with every registered folder pointing into it, and
// the process-wide objects started afresh.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "environment.h"
#include "log.h"
#include "paths.h"
#include "system.h"
#include "test_support.h"

class FerrowFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    pcc_ResetPathsForTest();
    for (int slot = 0; slot <= 5; ++slot) pcc_SetPath(slot, dir_.path() + "/");
    TSystem::ResetForTest();
    ITerminalEnvironment::ResetForTest();
    TSystem::Instance().StartSystem();
    TSystemTracer::Instance().Enable(SYSTRACE_NONE);
    ::unsetenv("FERROW_TEST_TIMEOUT_MS");
  }
  void TearDown() override {
    ::unsetenv("FERROW_TEST_TIMEOUT_MS");
    TSystem::ResetForTest();
    ITerminalEnvironment::ResetForTest();
    pcc_ResetPathsForTest();
  }
  std::string Path(const std::string& name) const { return dir_ / name; }
  void Write(const std::string& name, const std::string& content) { testsupport::WriteFile(Path(name), content); }
  std::string Read(const std::string& name) const { return testsupport::ReadFile(Path(name)); }

  testsupport::TempDir dir_;
};
