#include <sys/stat.h>

#include <string>
#include <vector>

#include "pc_fixture.h"
#include "src/pc/param_args.h"
#include "src/pc/paths.h"

namespace {

class ParamArgs : public PcFixture {
 protected:
  void SetUp() override {
    PcFixture::SetUp();
    pcc_ResetPathsForTests();
    pcc_SetPath(PathToProgram, Folder().c_str());
  }

  // Runs pcc_GetParamArgs on a copy of args and hands back what it left of them.
  std::vector<std::string> Run(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pcc_GetParamArgs(static_cast<int>(args.size()), argv.data());
    return args;
  }
};

TEST_F(ParamArgs, RemoveQuotes) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"\"/etc/cash desk/\"", "/etc/cash desk/"},
      {"\"abc", "ab"},  // the last character goes, whatever it is
      {"abc\"", "abc\""},
      {"plain", "plain"},
      {"\"\"", ""},
      {"\"", ""},
      {"", ""},
  };
  for (const auto& c : cases) {
    std::string text = c.in;
    EXPECT_EQ(pcc_RemoveQuotes(text.data()), text.data());
    EXPECT_STREQ(text.c_str(), c.out) << c.in;
  }
  EXPECT_EQ(pcc_RemoveQuotes(nullptr), nullptr);
}

TEST_F(ParamArgs, LastIniArgumentWinsAndArgumentsStayUntouched) {
  mkdir(Path("second dir").c_str(), 0755);
  testsupport::WriteFile(Path("second dir/pinpad.ini"), "LogDir=/var/tmp/logs/\n");
  std::string quoted = "/f=\"" + Folder() + "second dir/\"";
  std::vector<std::string> args = {"prog", "/f=/nowhere/", "1", quoted, "f=/x/"};
  EXPECT_EQ(Run(args), args);
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder() + "second dir/");
  EXPECT_STREQ(pcc_GetPath(PathToLog), "/var/tmp/logs/");  // read from the ini folder just set
}

TEST_F(ParamArgs, WithoutIniArgumentTheRedirectFileDecides) {
  testsupport::WriteFile(Path("redirect.ini"), "IniDir=conf/\n");
  Run({"prog", "7", "/f"});
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder() + "conf/");
  // An empty "/f=" is a value: the program folder, without asking redirect.ini.
  Run({"prog", "/f="});
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder());
  // Argument 0 is the program, never an ini location.
  Run({"/f=/elsewhere/"});
  EXPECT_EQ(std::string(pcc_GetPath(PathToIni)), Folder() + "conf/");
}

}  // namespace
