#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <signal.h>
#include <unistd.h>

#include <string>

#include "pc_fixture.h"
#include "src/pc/minini.h"

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class IniFile : public PcFixture {
 protected:
  std::string Get(const std::string& section, const std::string& key, int size = 512) {
    char buf[512];
    ini_gets(section.c_str(), key.c_str(), "<default>", buf, size, File().c_str());
    return buf;
  }
  std::string File() const { return Path("test.ini"); }
  void Write(const std::string& content) { WriteFile(File(), content); }
};

struct ReadCase {
  const char* content;
  const char* section;
  const char* key;
  const char* expected;
};

TEST_F(IniFile, ReadsValuesByTheSyntaxRules) {
  const ReadCase cases[] = {
      {"key = value ; comment\n", "", "key", "value"},
      {"key = value # comment\n", "", "key", "value"},
      {"key = \"a;b\" ; comment\n", "", "key", "a;b"},
      {"key = \"\"\n", "", "key", ""},
      {"key = \"say \\\"hi\\\"\"\n", "", "key", "say \"hi\""},
      {"key = \"say \"\"hi\"\"\"\n", "", "key", "say \"hi\""},
      {"key = say \\\"hi\\\"\n", "", "key", "say \\\"hi\\\""},  // unquoted: escapes stay
      {"Key:Value\n", "", "key", "Value"},
      {"a:b = c\n", "", "a:b", "c"},                           // "=" wins over ":"
      {"  KEY  =   spaced value   \r\n", "", "key", "spaced value"},
      {"; key = commented\nkey = real\n", "", "key", "real"},
      {"# key = commented\n", "", "key", "<default>"},
      {"key = first\nkey = second\n", "", "key", "first"},
      {"keyx = no\nke = no\n", "", "key", "<default>"},          // whole-length match
      {"[Sec]\nkey = in section\n", "", "key", "<default>"},     // top-level stops at a header
      {"top = 1\n[Sec]\nkey = in\n", "sec", "key", "in"},        // case-insensitive header
      {"[ Sec ]\nkey = blanks\n", "Sec", "key", "<default>"},
      {"[ Sec ]\nkey = blanks\n", " Sec ", "key", "blanks"},
      {"[Sec]\na = 1\n[Other\nkey = x\n", "Sec", "key", "<default>"},  // "[" without "]" ends it
      {"[Sec]\nkey = 1\n[Sec]\nkey2 = 2\n", "Sec", "key2", "<default>"},  // only the first header
      {"[Sec] trailing junk\nkey = ok\n", "Sec", "key", "ok"},
      {"novalue line\nkey = v\n", "", "key", "v"},
      {"key =\n", "", "key", ""},
  };
  for (const ReadCase& c : cases) {
    Write(c.content);
    EXPECT_EQ(Get(c.section, c.key), c.expected) << "content: " << c.content;
  }
}

TEST_F(IniFile, CutsToBufferAndReportsLength) {
  Write("key = abcdef\n");
  char buf[4] = {'x', 'x', 'x', 'x'};
  EXPECT_EQ(ini_gets("", "key", "", buf, 4, File().c_str()), 3);
  EXPECT_STREQ(buf, "abc");
  EXPECT_EQ(ini_gets("", "key", "", buf, 0, File().c_str()), 0);
  EXPECT_EQ(ini_gets("", nullptr, "", buf, 4, File().c_str()), 0);
  EXPECT_EQ(ini_gets("", "missing", "defaultvalue", buf, 4, Path("nofile.ini").c_str()), 3);
  EXPECT_STREQ(buf, "def");
}

TEST_F(IniFile, LongLinesAreReadInPieces) {
  // The 511-byte piece ends mid-line; the rest reads as a line of its own.
  Write(std::string(511, 'x') + "key = hidden\n");
  EXPECT_EQ(Get("", "key"), "hidden");
}

struct WriteCase {
  const char* before;
  const char* section;
  const char* key;
  const char* value;
  const char* after;
};

TEST_F(IniFile, WritesKeyLinesInTheirPlace) {
  const WriteCase cases[] = {
      {"a=1\nb=2\n", "", "b", "3", "a=1\nb=3\n"},
      {"a=1\r\nb = 2 ; note\r\nc=3\r\n", "", "b", "x", "a=1\r\nb=x\nc=3\r\n"},
      {"[S]\nk=1\n", "", "top", "v", "top=v\n[S]\nk=1\n"},
      {"a=1", "", "b", "2", "a=1\nb=2\n"},
      {"a=1\n; tail comment\n\n[S]\nk=1\n", "", "b", "2", "a=1\n; tail comment\n\nb=2\n[S]\nk=1\n"},
      {"a=1\n", "S", "k", "v", "a=1\n[S]\nk=v\n"},
      {"a=1", "S", "k", "v", "a=1\n[S]\nk=v\n"},
      {"[S]\nk=1\n[T]\nk=2\n", "T", "k", "9", "[S]\nk=1\n[T]\nk=9\n"},
      {"[S]\nk=1\n[T]\nk=2\n", "S", "n", "new", "[S]\nk=1\nn=new\n[T]\nk=2\n"},
      {"", "", "k", "a;b", "k=\"a;b\"\n"},
      {"", "", "k", "say \"hi\"", "k=\"say \\\"hi\\\"\"\n"},
      {"", "", "k", "trail ", "k=\"trail \"\n"},
      {"", "", "k", "", "k=\n"},
      {"", "", "k", "#x", "k=\"#x\"\n"},
  };
  for (const WriteCase& c : cases) {
    Write(c.before);
    ASSERT_EQ(ini_puts(c.section, c.key, c.value, File().c_str()), 1);
    EXPECT_EQ(ReadFile(File()), c.after) << "before: " << c.before;
    EXPECT_EQ(Get(c.section, c.key), c.value) << "value reads back unchanged";
    EXPECT_FALSE(testsupport::FileExists(Path("test.in~")));
  }
}

TEST_F(IniFile, MissingFileIsCreatedWithTheKeyLineAlone) {
  ASSERT_EQ(ini_puts("", "ComPort", "3", Path("pinpad.ini").c_str()), 1);
  EXPECT_EQ(ReadFile(Path("pinpad.ini")), "ComPort=3\n");
  ASSERT_EQ(ini_puts("Sec", "k", "v", Path("other.ini").c_str()), 1);
  EXPECT_EQ(ReadFile(Path("other.ini")), "[Sec]\nk=v\n");
  EXPECT_EQ(ini_puts("", "k", "v", Path("no/such/folder.ini").c_str()), 0);
}

TEST_F(IniFile, SizeLimitsCutKeyLineAndSection) {
  std::string key(600, 'k');
  std::string value(600, 'v');
  ASSERT_EQ(ini_puts(std::string(600, 's').c_str(), key.c_str(), value.c_str(), File().c_str()), 1);
  std::vector<std::string> lines = testsupport::ReadLines(File());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[" + std::string(507, 's') + "]");
  EXPECT_EQ(lines[1], std::string(508, 'k') + "=");
  Write("");
  ASSERT_EQ(ini_puts("", "key", value.c_str(), File().c_str()), 1);
  EXPECT_EQ(ReadFile(File()), "key=" + std::string(505, 'v') + "\n");
}

TEST_F(IniFile, UnchangedValueLeavesTheFileUntouched) {
  Write("a = \"x;y\"\nb=2\n");
  struct stat before {};
  ASSERT_EQ(stat(File().c_str(), &before), 0);
  struct timespec old_time[2] = {{1000000, 0}, {1000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, File().c_str(), old_time, 0), 0);
  ASSERT_EQ(ini_puts("", "a", "x;y", File().c_str()), 1);
  struct stat after {};
  ASSERT_EQ(stat(File().c_str(), &after), 0);
  EXPECT_EQ(after.st_mtime, 1000000);
  EXPECT_EQ(after.st_ino, before.st_ino);
}

TEST_F(IniFile, ReplacementKeepsModeAndWritesThroughSymbolicLinks) {
  Write("a=1\n");
  chmod(File().c_str(), 0640);
  ASSERT_EQ(symlink(File().c_str(), Path("link.ini").c_str()), 0);
  ASSERT_EQ(ini_puts("", "a", "2", Path("link.ini").c_str()), 1);
  struct stat link_st {};
  ASSERT_EQ(lstat(Path("link.ini").c_str(), &link_st), 0);
  EXPECT_TRUE(S_ISLNK(link_st.st_mode));
  EXPECT_EQ(ReadFile(File()), "a=2\n");
  struct stat st {};
  ASSERT_EQ(stat(File().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_F(IniFile, FailedWriteLeavesTheOldFileIntact) {
  // A disk that fills while the new copy is written: the old file must survive.
  std::string original = "# settings\n" + std::string(3000, '#') + "\nkey=old\nlast=1\n";
  Write(original);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{1024, 1024};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(ini_puts("", "key", "new", File().c_str()) == 0 ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the failed write must be reported";
  EXPECT_EQ(ReadFile(File()), original);
  EXPECT_FALSE(testsupport::FileExists(Path("test.in~")));
}

TEST_F(IniFile, TemporaryFileThatCannotBeCreatedFailsTheWrite) {
  Write("a=1\n");
  ASSERT_EQ(mkdir(Path("test.in~").c_str(), 0700), 0);  // occupies the temporary name
  EXPECT_EQ(ini_puts("", "a", "2", File().c_str()), 0);
  EXPECT_EQ(ReadFile(File()), "a=1\n");
}

TEST_F(IniFile, CopyFromKeepsTargetWhenSourceIsMissing) {
  Write("a=1\n");
  ini_copy_from(File().c_str(), Path("absent.in~").c_str());
  EXPECT_EQ(ReadFile(File()), "a=1\n");
  WriteFile(Path("src.in~"), "b=2\n");
  ini_copy_from(File().c_str(), Path("src.in~").c_str());
  EXPECT_EQ(ReadFile(File()), "b=2\n");
}

}  // namespace
