#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "quillet/launcher.h"
#include "test_support.h"

namespace {

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

// A temporary folder that is the program folder and the working directory.
class Launcher : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    saved_cwd_ = cwd;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    pcc_ResetPathsForTests();
    pcc_SetPath(PathToProgram, (dir_.path() + "/").c_str());
  }
  void TearDown() override {
    pcc_ResetPathsForTests();
    ASSERT_EQ(chdir(saved_cwd_.c_str()), 0);
  }
  std::string Path(const std::string& name) const { return dir_ / name; }

  testsupport::TempDir dir_;
  std::string saved_cwd_;
};

TEST(FileNames, SplitAndMerge) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
  } cases[] = {
      {"/opt/cash/quillet", "/opt/cash/", "quillet", ""},
      {"./quillet", "./", "quillet", ""},
      {"quillet", "", "quillet", ""},
      {"C:\\cash\\quillet.exe", "C:\\cash\\", "quillet", ".exe"},
      {"/a.b/c/name.tar.gz", "/a.b/c/", "name.tar", ".gz"},
      {"/dir/", "/dir/", "", ""},
      {"", "", "", ""},
  };
  for (const auto& c : cases) {
    char folder[kFnameMax + 1], name[kFnameMax + 1], extension[kFnameMax + 1], merged[kFnameMax + 1];
    fnameSplit(c.path, folder, name, extension);
    EXPECT_STREQ(folder, c.folder) << c.path;
    EXPECT_STREQ(name, c.name) << c.path;
    EXPECT_STREQ(extension, c.extension) << c.path;
    fnameMerge(merged, folder, name, extension);
    EXPECT_STREQ(merged, c.path);
  }
  // Over-long parts are cut, never written past the buffer.
  std::string deep = "/" + std::string(400, 'd') + "/" + std::string(300, 'n') + ".e";
  char folder[kFnameMax + 1], name[kFnameMax + 1], merged[kFnameMax + 1];
  fnameSplit(deep.c_str(), folder, name, nullptr);
  EXPECT_EQ(std::string(folder), deep.substr(0, kFnameMax));
  EXPECT_EQ(std::string(name), std::string(kFnameMax, 'n'));
  fnameMerge(merged, folder, name, ".e");
  EXPECT_EQ(std::string(merged).size(), kFnameMax);
}

TEST_F(Launcher, ComparingFiles) {
  WriteFile(Path("one"), "abcdef");
  WriteFile(Path("same"), "abcdef");
  WriteFile(Path("last_byte"), "abcdeX");
  WriteFile(Path("longer"), "abcdefg");
  WriteFile(Path("empty"), "");
  mkdir(Path("folder").c_str(), 0755);
  struct Case {
    const char* a;
    const char* b;
    bool different;
  } cases[] = {
      {"one", "same", false},      {"one", "last_byte", true}, {"one", "longer", true},
      {"one", "empty", false},     {"empty", "one", false},    {"one", "missing", false},
      {"missing", "one", false},   {"one", "folder", false},
  };
  for (const auto& c : cases) EXPECT_EQ(AreFilesDifferent(c.a, c.b), c.different) << c.a << " vs " << c.b;
  EXPECT_EQ(FileLength("longer"), 7);
  EXPECT_EQ(FileLength("empty"), 0);
  EXPECT_EQ(FileLength("missing"), -1);
}

TEST_F(Launcher, CopyingFiles) {
  std::string binary("\x7f" "ELF\0\0\xff", 7);
  WriteFile(Path("prog"), binary, 0755);
  WriteFile(Path("target"), "old content that is longer");
  EXPECT_TRUE(CopyFile("prog", "target"));
  EXPECT_EQ(ReadFile(Path("target")), binary);
  EXPECT_TRUE(CopyFile("prog", "fresh"));
  struct stat st{};
  ASSERT_EQ(stat(Path("fresh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0111u);  // a copied program stays runnable

  WriteFile(Path("empty"), "");
  EXPECT_FALSE(CopyFile("empty", "target"));
  EXPECT_FALSE(CopyFile("missing", "target"));
  EXPECT_EQ(ReadFile(Path("target")), binary);  // untouched
  EXPECT_FALSE(CopyFile("empty", "never"));
  EXPECT_FALSE(FileExists(Path("never")));
}

TEST_F(Launcher, InstallingDeliveredFiles) {
  WriteFile(Path("app"), "old app");
  WriteFile(Path("app.new"), "new app");
  WriteFile(Path("same.ini"), "identical");
  WriteFile(Path("same.ini.new"), "identical");
  WriteFile(Path("orphan.new"), "nothing to replace");
  WriteFile(Path("blank"), "installed");
  WriteFile(Path("blank.new"), "");
  WriteFile(Path("x.ne"), "unrelated");
  WriteFile(Path("x.new.txt"), "not a delivery");
  WriteFile(Path("upper"), "old");
  WriteFile(Path("upper.NEW"), "other case");

  UpdateExeFile("*.new", PathToProgram);

  EXPECT_EQ(ReadFile(Path("app")), "new app");
  EXPECT_EQ(ReadFile(Path("app.old")), "old app");
  EXPECT_FALSE(FileExists(Path("app.new")));
  for (const char* kept : {"same.ini.new", "orphan.new", "blank.new", "x.new.txt", "upper.NEW"}) {
    EXPECT_TRUE(FileExists(Path(kept))) << kept;
  }
  EXPECT_FALSE(FileExists(Path("same.ini.old")));
  EXPECT_FALSE(FileExists(Path("orphan")));
  EXPECT_EQ(ReadFile(Path("blank")), "installed");
  EXPECT_EQ(ReadFile(Path("x.ne")), "unrelated");
  EXPECT_EQ(ReadFile(Path("upper")), "old");
}

// A copy that cannot be made must not cost the delivery or the old program.
TEST_F(Launcher, FailedInstallKeepsEverything) {
  WriteFile(Path("locked"), "old");
  WriteFile(Path("locked.new"), "new");
  mkdir(Path("locked.old").c_str(), 0755);  // the backup cannot be written
  WriteFile(Path("ro"), "old ro", 0444);
  WriteFile(Path("ro.new"), "new ro");
  UpdateExeFile("*.new", PathToProgram);
  EXPECT_EQ(ReadFile(Path("locked")), "old");
  EXPECT_TRUE(FileExists(Path("locked.new")));

  if (geteuid() != 0) {  // root writes into a read-only file anyway
    EXPECT_EQ(ReadFile(Path("ro")), "old ro");
    EXPECT_TRUE(FileExists(Path("ro.new")));
  }
}

TEST_F(Launcher, MissingFolderOrBadMaskDoesNothing) {
  WriteFile(Path("app"), "old");
  WriteFile(Path("app.new"), "new");
  UpdateExeFile("new", PathToProgram);
  UpdateExeFile("*.", PathToProgram);
  pcc_SetPath(PathToResult, (dir_.path() + "/missing/").c_str());
  UpdateExeFile("*.new", PathToResult);
  EXPECT_EQ(ReadFile(Path("app")), "old");
}

}  // namespace
