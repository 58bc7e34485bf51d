#pragma once

#include <gtest/gtest.h>

#include <string>

#include "molvex/platform/file_system.h"
#include "molvex/platform/system.h"
#include "molvex/ui/cheque_spool.h"
#include "molvex/ui/ui_registration.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"
#include "test_support.h"

// A fresh platform whose folders (current, ini, log, result) are one
// temporary folder, with the console devices registered.
class UiFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    TLinStubExeSystem::ResetForTests();
    pcc_ResetPathsForTests();
    UnregisterDeviceFactoriesForTests();
    for (int slot : {PathToCurrent, PathToProgram, PathToIni, PathToLog, PathToResult}) {
      pcc_SetPath(slot, Folder().c_str());
    }
    delete ISystem::Instance()->ChangeDefaultFileSystem(new TLinFileSystem(Folder().c_str()));
    pcc_GetUImode() = 0;
    termResetChequeForTests();
    RegisterUiDevices();
  }
  void TearDown() override {
    termResetChequeForTests();
    drvPlatformHooks().display_init = nullptr;
    TLinStubExeSystem::ResetForTests();
    UnregisterDeviceFactoriesForTests();
    pcc_ResetPathsForTests();
    pcc_GetUImode() = 0;
  }
  std::string Folder() const { return dir_.path() + "/"; }
  std::string Path(const std::string& name) const { return dir_ / name; }
  std::string Read(const std::string& name) const { return testsupport::ReadFile(Path(name)); }
  void Write(const std::string& name, const std::string& content) const { testsupport::WriteFile(Path(name), content); }
  bool Exists(const std::string& name) const { return testsupport::FileExists(Path(name)); }

  testsupport::TempDir dir_;
};
