#include <sys/stat.h>

#include <string>
#include <vector>

#include "molvex/services/file_service.h"
#include "services_fixture.h"
#include "sha1.h"

namespace {

std::vector<uint8_t> Fingerprint(const std::string& content) {
  TSha1 sha;
  std::vector<uint8_t> digest = sha.HashData(content);
  return Cat({Le32(static_cast<uint32_t>(content.size())), digest});
}

std::vector<uint8_t> OpenBody(char letter, char mode, const std::string& name) {
  return Cat({{static_cast<uint8_t>(letter), static_cast<uint8_t>(mode)}, Le32(1234), Bytes(name)});
}

Answer Open(char letter, char mode, const std::string& name) { return Slave(1, 38, OpenBody(letter, mode, name)); }
Answer Read(uint32_t offset, uint32_t count) { return Slave(2, 38, Cat({Le32(offset), Le32(count)})); }
Answer Write(uint32_t offset, const std::string& data) { return Slave(3, 38, Cat({Le32(offset), Bytes(data)})); }

class FileServiceTest : public ServicesFixture {};

TEST_F(FileServiceTest, OpenAnswersLengthAndDigest) {
  testsupport::WriteFile(Path("TERM.CFG"), "0123456789");
  struct Case {
    char letter, mode;
    std::string name;
    std::string content;  // as the open reports it
  } cases[] = {
      {'F', 'R', "TERM.CFG", "0123456789"},
      {'R', 'R', "TERM.CFG", "0123456789"},
      {'F', 'R', "MISSING.BIN", ""},
      {'X', 'R', "TERM.CFG", ""},
  };
  for (const Case& c : cases) {
    Answer answer = Open(c.letter, c.mode, c.name);
    EXPECT_EQ(answer.status, 0) << c.letter << " " << c.name;
    EXPECT_EQ(answer.body, Fingerprint(c.content)) << c.letter << " " << c.name;
  }
  // Mode "W" starts the file afresh.
  EXPECT_EQ(Open('F', 'W', "TERM.CFG").body, Fingerprint(""));
  EXPECT_FALSE(testsupport::FileExists(Path("TERM.CFG")));
}

TEST_F(FileServiceTest, ReadsFromAnOffsetAndStopsAtTheEnd) {
  testsupport::WriteFile(Path("DATA.BIN"), "abcdefghij");
  ASSERT_EQ(Open('F', 'R', "DATA.BIN").status, 0);
  struct Case {
    uint32_t offset, count;
    std::string bytes;
  } cases[] = {{0, 4, "abcd"}, {6, 100, "ghij"}, {10, 5, ""}, {500, 5, ""}, {3, 0, ""}};
  for (const Case& c : cases) {
    Answer answer = Read(c.offset, c.count);
    EXPECT_EQ(answer.status, 0);
    EXPECT_EQ(std::string(answer.body.begin(), answer.body.end()), c.bytes) << c.offset << "+" << c.count;
  }
}

TEST_F(FileServiceTest, FlashStorageKeepsTheFileOpenBetweenWrites) {
  ASSERT_EQ(Open('F', 'W', "LOAD.BIN").status, 0);
  Answer first = Write(0, "hello ");
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(Dword(first.body), 6u);
  EXPECT_NE(slvState().file.handle, 0);
  Answer second = Write(6, "world");
  EXPECT_EQ(Dword(second.body), 11u);
  // An offset past the end writes at the end.
  Answer third = Write(999, "!");
  EXPECT_EQ(Dword(third.body), 12u);
  EXPECT_EQ(Slave(4, 38).status, 0);
  EXPECT_EQ(slvState().file.handle, 0);
  EXPECT_EQ(testsupport::ReadFile(Path("LOAD.BIN")), "hello world!");
}

TEST_F(FileServiceTest, RamStorageClosesAfterEveryWrite) {
  ASSERT_EQ(Open('R', 'W', "RAM.BIN").status, 0);
  EXPECT_EQ(Dword(Write(0, "abc").body), 3u);
  EXPECT_EQ(slvState().file.handle, 0);
  EXPECT_EQ(testsupport::ReadFile(Path("RAM.BIN")), "abc");
  EXPECT_EQ(Dword(Write(1, "XY").body), 3u);  // overwrites in place, keeps the rest
  EXPECT_EQ(testsupport::ReadFile(Path("RAM.BIN")), "aXY");
  // A transfer that continues after a break: open without "W" keeps the file.
  EXPECT_EQ(Open('R', 'A', "RAM.BIN").body, Fingerprint("aXY"));
}

TEST_F(FileServiceTest, UnknownStorageLetterNeverOpensAFile) {
  testsupport::WriteFile(Path("KEEP.BIN"), "keep");
  EXPECT_EQ(Open('X', 'W', "KEEP.BIN").status, 0);
  EXPECT_EQ(Read(0, 4).status, 251);
  EXPECT_EQ(Write(0, "new").status, 251);
  EXPECT_EQ(testsupport::ReadFile(Path("KEEP.BIN")), "keep");
}

TEST_F(FileServiceTest, CloseForgetsTheStorage) {
  ASSERT_EQ(Open('F', 'W', "A.BIN").status, 0);
  EXPECT_EQ(Slave(4, 38).status, 0);
  EXPECT_EQ(Write(0, "late").status, 251);
  EXPECT_EQ(Read(0, 4).status, 251);
}

TEST_F(FileServiceTest, NamesOutsideTheStoreAreRefused) {
  ::mkdir(Path("store").c_str(), 0755);
  testsupport::WriteFile(Path("secret.txt"), "secret");
  UseFileSystem(std::make_unique<TLinFileSystem>(Path("store/").c_str()));
  for (const char* name : {"../secret.txt", "..", "a/../../secret.txt", "sub/..", "/etc/passwd", "/tmp/x"}) {
    for (char mode : {'R', 'W'}) {
      Answer open = Open('F', mode, name);
      EXPECT_EQ(open.status, 251) << name;
      EXPECT_EQ(open.length, 0);
      EXPECT_EQ(Read(0, 100).status, 251) << name;
      EXPECT_EQ(Write(0, "x").status, 251) << name;
    }
  }
  EXPECT_EQ(testsupport::ReadFile(Path("secret.txt")), "secret");
  // Names that only look alike stay inside and work.
  for (const char* name : {"..data", "a..b", "x/...", "dir..x/y"}) EXPECT_TRUE(slvIsStoreFileName(name)) << name;
  EXPECT_EQ(Open('F', 'W', "..data").status, 0);
  EXPECT_EQ(Dword(Write(0, "ok").body), 2u);
  EXPECT_EQ(testsupport::ReadFile(Path("store/..data")), "ok");
}

TEST_F(FileServiceTest, NameIsCutTo32Characters) {
  const std::string name(40, 'N');
  ASSERT_EQ(Open('R', 'W', name).status, 0);
  EXPECT_EQ(Write(0, "z").status, 0);
  EXPECT_TRUE(testsupport::FileExists(Path(std::string(32, 'N'))));
}

// A file system that reports the disk as full.
class FullFileSystem : public TLinFileSystem {
 public:
  using TLinFileSystem::TLinFileSystem;
  uint32_t GetFreeSpaceInKbytes() override { return 4; }
};

TEST_F(FileServiceTest, FullDiskRefusesWrites) {
  UseFileSystem(std::make_unique<FullFileSystem>(Folder().c_str()));
  ASSERT_EQ(Open('F', 'W', "FULL.BIN").status, 0);
  Answer answer = Write(0, "data");
  EXPECT_EQ(answer.status, 253);
  EXPECT_EQ(answer.length, 0);
  EXPECT_FALSE(testsupport::FileExists(Path("FULL.BIN")));
}

TEST_F(FileServiceTest, EndOfOperationClosesTheFile) {
  ASSERT_EQ(Open('F', 'W', "OPEN.BIN").status, 0);
  Write(0, "abc");
  ASSERT_NE(slvState().file.handle, 0);
  slvDone();
  EXPECT_EQ(slvState().file.handle, 0);
}

}  // namespace
