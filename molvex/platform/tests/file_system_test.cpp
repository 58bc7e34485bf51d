#include <sys/stat.h>

#include <cstring>
#include <string>

#include "molvex/platform/file_handles.h"
#include "molvex/platform/file_system.h"
#include "platform_fixture.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class FileSystems : public PlatformFixture {
 protected:
  // The default file system on the temporary folder.
  void UseTempRoot() {
    delete ISystem::Instance()->ChangeDefaultFileSystem(new TLinFileSystem(Folder().c_str()));
  }
};

TEST_F(FileSystems, RootRules) {
  std::string program = ProgramFolder();
  struct Case {
    std::string root;
    std::string expected;
  } cases[] = {
      {Path("abs"), Path("abs") + "/"},
      {Path("abs2/"), Path("abs2/")},
      {"", program},
  };
  for (const auto& c : cases) {
    TLinFileSystem fs(c.root.c_str());
    EXPECT_EQ(std::string(fs.root()), c.expected);
  }
  struct stat st {};
  EXPECT_EQ(stat(Path("abs").c_str(), &st), 0);
  char full[16];
  TLinFileSystem fs(Folder().c_str());
  fs.MakeFullPath(full, sizeof full, "name");
  EXPECT_EQ(std::strlen(full), 15u);  // cut to the caller's room
}

TEST_F(FileSystems, OpenFlagsAndHandles) {
  UseTempRoot();
  WriteFile(Path("data"), "0123456789");
  int rw = drvFileOpen("data", DRV_FILE_READ | DRV_FILE_WRITE);  // keeps the content
  ASSERT_GT(rw, 0);
  EXPECT_EQ(drvFileGetLength(rw), 10u);
  EXPECT_EQ(drvFileGetPos(rw), 0u);
  char buf[4] = {};
  EXPECT_EQ(drvFileRead(rw, buf, 3), 3u);
  EXPECT_STREQ(buf, "012");
  EXPECT_EQ(drvFileSeek(rw, 8), 0);
  EXPECT_EQ(drvFileWrite(rw, "AB", 2), 2u);
  drvFileClose(rw);
  EXPECT_EQ(ReadFile(Path("data")), "01234567AB");

  int w = drvFileOpen("data", DRV_FILE_WRITE);  // empties it
  ASSERT_GT(w, 0);
  drvFileClose(w);
  EXPECT_EQ(ReadFile(Path("data")), "");

  EXPECT_EQ(drvFileOpen("data", 0), 0);
  EXPECT_EQ(drvFileOpen("missing", DRV_FILE_READ), 0);
  int r = drvFileOpen("data", DRV_FILE_READ);
  EXPECT_EQ(drvFileWrite(r, "x", 1), 0u);  // read-only
  drvFileClose(r);

  for (int invalid : {0, 33, 7, -1}) {
    EXPECT_EQ(drvFileSeek(invalid, 1), -3);
    EXPECT_EQ(drvFileRead(invalid, buf, 1), 0u);
    EXPECT_EQ(drvFileGetLength(invalid), 0u);
    drvFileClose(invalid);
  }
}

TEST_F(FileSystems, The33rdOpenFails) {
  UseTempRoot();
  WriteFile(Path("f"), "x");
  int handles[32];
  for (int i = 0; i < 32; ++i) {
    handles[i] = drvFileOpen("f", DRV_FILE_READ);
    ASSERT_EQ(handles[i], i + 1);
  }
  EXPECT_EQ(drvFileOpen("f", DRV_FILE_READ), 0);
  drvFileClose(handles[4]);
  EXPECT_EQ(drvFileOpen("f", DRV_FILE_READ), 5);  // the lowest free entry
  drvCloseAllFiles();
}

TEST_F(FileSystems, RenameEraseAndSearch) {
  UseTempRoot();
  WriteFile(Path("prog"), "binary");
  EXPECT_EQ(drvFileRename("prog", "PROG"), 0);
  EXPECT_TRUE(FileExists(Path("prog")));

  EXPECT_EQ(drvFileRename("prog", "prog.new"), 0);  // a delivery is copied
  EXPECT_FALSE(FileExists(Path("prog")));
  EXPECT_EQ(ReadFile(Path("prog.new")), "binary");
  struct stat st {};
  ASSERT_EQ(stat(Path("prog.new").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0100, 0u);

  WriteFile(Path("a"), "A");
  WriteFile(Path("b"), "B");
  EXPECT_EQ(drvFileRename("a", "b"), 0);  // replaces an existing target
  EXPECT_EQ(ReadFile(Path("b")), "A");
  EXPECT_EQ(drvFileRename("absent", "c"), 253);
  EXPECT_EQ(drvFileRename("absent", "c.new"), 253);

  EXPECT_EQ(drvFileErase("b"), 0);
  EXPECT_EQ(drvFileErase("b"), 0);  // already gone is fine

  IFileSystem* fs = ISystem::Instance()->GetDefaultFileSystem();
  EXPECT_EQ(fs->FindFile("*.zzz"), nullptr);
  auto found = fs->FindFile("*.new");
  ASSERT_NE(found, nullptr);
  EXPECT_STREQ(found->Name(), "prog.new");
  EXPECT_FALSE(found->Next());
  EXPECT_EQ(fs->GetFileLength("prog.new"), 6u);
  EXPECT_EQ(fs->GetFileLength("absent"), 0u);
  EXPECT_NE(drvGetDiskFreeSpace(), 0u);
}

TEST_F(FileSystems, NewFilesDeliveredAsProgramsAreExecutable) {
  UseTempRoot();
  drvFileClose(drvFileOpen("tool.new", DRV_FILE_WRITE));
  drvFileClose(drvFileOpen("plain.txt", DRV_FILE_WRITE));
  struct stat st {};
  ASSERT_EQ(stat(Path("tool.new").c_str(), &st), 0);
  EXPECT_NE(st.st_mode & 0100, 0u);
  ASSERT_EQ(stat(Path("plain.txt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0111, 0u);
}

TEST_F(FileSystems, DirectoriesAndFileTimes) {
  UseTempRoot();
  EXPECT_EQ(drvCreateDirectory("sub"), 0);
  struct stat st {};
  EXPECT_EQ(stat(Path("sub").c_str(), &st), 0);
  EXPECT_EQ(drvCreateDirectory(nullptr), 253);
  WriteFile(Path("f"), "x");
  uint32_t date = 0, time_of_day = 0;
  EXPECT_EQ(drvGetFileDateAndTime("f", &date, &time_of_day), 0);
  EXPECT_GT(date, 20200101u);
  EXPECT_EQ(drvGetFileDateAndTime("absent", &date, &time_of_day), 253);
}

}  // namespace
