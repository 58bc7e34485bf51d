#include <sys/stat.h>

#include <cstring>
#include <string>

#include "pc_fixture.h"
#include "src/pc/paths.h"

using testsupport::WriteFile;

namespace {

class Paths : public PcFixture {};

TEST_F(Paths, FoldersResolveAgainstTheProgramFolder) {
  struct Case {
    const char* key;
    const char* value;
    int slot;
    std::string expected;  // relative to the program folder unless absolute
  } cases[] = {
      {"LogDir", "logs/", PathToLog, "logs/"},
      {"LogDir", "logs", PathToLog, "logs"},  // no slash is added: files become "logstarn..."
      {"LogDir", "/var/tmp/x/", PathToLog, "/var/tmp/x/"},
      {"ResultDir", "res/", PathToResult, "res/"},
      {"CurrentDir", "cur/", PathToCurrent, "cur/"},
      {"LockPath", "/tmp/lockdir", PathToLock, "/tmp/lockdir"},
  };
  for (const auto& c : cases) {
    pcc_ResetPathsForTests();
    pcc_SetPath(PathToProgram, Folder().c_str());
    WritePinpadIni(std::string(c.key) + "=" + c.value + "\n");
    pcc_IniDirectory(nullptr);
    std::string want = c.expected[0] == '/' ? c.expected : Folder() + c.expected;
    EXPECT_EQ(pcc_GetPath(c.slot), want) << c.key << "=" << c.value;
    EXPECT_EQ(pcc_MakeFullPath("f.txt", c.slot), want + "f.txt");
  }
}

TEST_F(Paths, IniFolderComesFromArgumentOrRedirect) {
  pcc_ResetPathsForTests();
  pcc_SetPath(PathToProgram, Folder().c_str());
  pcc_IniDirectory(nullptr);
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder());

  WriteFile(Path("redirect.ini"), "IniDir=conf/\n");
  mkdir(Path("conf").c_str(), 0755);
  WriteFile(Path("conf/pinpad.ini"), "ResultDir=out/\n");
  pcc_IniDirectory(nullptr);
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder() + "conf/");
  EXPECT_EQ(std::string(pcc_GetPath(PathToResult)), Folder() + "out/");  // below the program folder

  pcc_IniDirectory("/etc/cash/");
  EXPECT_STREQ(pcc_GetPath(PathToIni), "/etc/cash/");
  pcc_PathIni("C:\\cash\\");
  EXPECT_STREQ(pcc_GetPath(PathToIni), "C:\\cash\\");
}

TEST_F(Paths, UnsetFoldersFollowTheLastCurrentOrProgramFolder) {
  pcc_ResetPathsForTests();
  pcc_SetPath(PathToProgram, "/prog/");
  EXPECT_STREQ(pcc_GetPath(PathToLog), "/prog/");
  pcc_SetPath(PathToCurrent, "/cur/");
  EXPECT_STREQ(pcc_GetPath(PathToLog), "/cur/");
  EXPECT_STREQ(pcc_GetPath(9), "/cur/");
  pcc_SetPath(9, "/ignored/");
  pcc_SetPath(PathToLog, nullptr);
  EXPECT_STREQ(pcc_GetPath(PathToLog), "/cur/");
}

TEST_F(Paths, PathsAreCutToTheirLimits) {
  std::string longer(400, 'a');
  pcc_SetPath(PathToLog, longer.c_str());
  EXPECT_EQ(std::strlen(pcc_GetPath(PathToLog)), kPccMaxPath);
  char out[10];
  pcc_MakeFullPathTo(out, sizeof out, "name", PathToLog);
  EXPECT_STREQ(out, "aaaaaaaaa");
}

namespace hooks {
std::string saved;
std::string current = "/default/";
const char* DefaultRoot() { return current.c_str(); }
const char* SavedRoot() { return saved.empty() ? nullptr : saved.c_str(); }
bool Push(const char* folder) {
  saved = current;
  current = folder;
  return true;
}
void Pop() {
  current = saved;
  saved.clear();
}
}  // namespace hooks

TEST_F(Paths, CurrentFolderKeeperMovesOnlyTheCurrentFolder) {
  pcc_ResetPathsForTests();
  static const PccFileSystemHooks kHooks{hooks::DefaultRoot, hooks::SavedRoot, hooks::Push, hooks::Pop};
  pcc_InstallFileSystemHooks(&kHooks);
  {
    CurrentFolderKeeper keeper("/default/Update/");
    EXPECT_TRUE(keeper.active());
    EXPECT_STREQ(pcc_GetPath(PathToCurrent), "/default/Update/");
    EXPECT_STREQ(pcc_GetPath(PathToLog), "/default/");  // the log does not move
  }
  EXPECT_STREQ(pcc_GetPath(PathToCurrent), "/default/");
  pcc_InstallFileSystemHooks(nullptr);
  CurrentFolderKeeper idle("/x/");
  EXPECT_FALSE(idle.active());
}

TEST_F(Paths, ValidatePathCreatesEveryFolder) {
  std::string made = pccValidateFolderPath(Folder() + "a\\b/c");
  EXPECT_EQ(made, Folder() + "a/b/c/");
  struct stat st {};
  EXPECT_EQ(stat((Folder() + "a/b/c").c_str(), &st), 0);
  EXPECT_EQ(pccValidateFilePath(Folder() + "d/e/file.txt"), Folder() + "d/e/file.txt");
  EXPECT_EQ(stat((Folder() + "d/e").c_str(), &st), 0);
  EXPECT_NE(stat((Folder() + "d/e/file.txt").c_str(), &st), 0);
}

TEST_F(Paths, ProgramFolderIsTheFolderOfTheRunningExecutable) {
  char folder[270];
  pcc_FillCurrentPath(folder);
  std::string exe = testsupport::BuiltProgram("pc_tests");
  EXPECT_EQ(std::string(folder), exe.substr(0, exe.rfind('/') + 1));
}

}  // namespace
