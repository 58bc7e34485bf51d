// URLs, the address pool, the INI reader and the records.
#include <gtest/gtest.h>

#include "environment.h"
#include "ferrow_fixture.h"
#include "ini_file.h"
#include "log.h"
#include "text.h"
#include "url.h"

namespace {

TEST(Url, ParsingTable) {
  struct Case {
    const char* text;
    uint16_t defaultPort;
    const char* protocol;
    const char* host;
    uint32_t address;
    uint16_t port;
    const char* doc;
  } cases[] = {
      {"10.0.0.5:8080", 80, "", "10.0.0.5", 0x0A000005, 8080, ""},
      {"10.0.0.5", 80, "", "10.0.0.5", 0x0A000005, 80, ""},
      {"10.0.0.5:123456", 80, "", "", 0, 0, ""},
      {"10.0.0.5:70000", 80, "", "", 0, 0, ""},
      {"10.0.0.5:", 80, "", "", 0, 0, ""},
      {"http://1.2.3.4:81/tarn2-web/getFile/block1?name=a.b&terminalSN=1", 0, "http", "1.2.3.4", 0x01020304, 81,
       "tarn2-web/getFile/block1?name=a.b&terminalSN=1"},
      {"server.example:80/x", 0, "", "server.example", 0, 80, "x"},
      {"1.2.3.256", 80, "", "1.2.3.256", 0, 80, ""},
      {"1.2.3", 80, "", "1.2.3", 0, 80, ""},
      {"1.2.3.4.5", 80, "", "1.2.3.4.5", 0, 80, ""},
      {"1.2.3.4/doc:1", 0, "", "1.2.3.4", 0x01020304, 0, "doc:1"},
      {"", 80, "", "", 0, 80, ""},
  };
  for (const auto& c : cases) {
    const TUrl url(c.text, c.defaultPort);
    EXPECT_EQ(url.GetProtocol(), c.protocol) << c.text;
    EXPECT_EQ(url.GetHost(), c.host) << c.text;
    EXPECT_EQ(url.GetAddr(), c.address) << c.text;
    EXPECT_EQ(url.GetPort(), c.port) << c.text;
    EXPECT_EQ(url.GetDoc(), c.doc) << c.text;
  }
  EXPECT_EQ(TUrl("http://1.2.3.4:81/a?b", 0).GetFullUrl(), "http://1.2.3.4:81/a?b");
  EXPECT_EQ(TUrl(0x7F000001, 99, "d").GetFullUrl(), "127.0.0.1:99/d");
  EXPECT_FALSE(TUrl("10.0.0.5:123456", 80).IsValidSymbolicAddress());
  EXPECT_TRUE(TUrl("name:1", 80).IsValidSymbolicAddress());
  EXPECT_FALSE(TUrl("name:1", 80).IsValidDigitalAddress());
}

TEST(UrlPool, LinesRotationAndEdits) {
  TUrlPool empty("", 80);
  EXPECT_EQ(empty.Size(), 0u);
  EXPECT_EQ(empty.GetCurrentUrl().GetHost(), "");
  TUrlPool pool("1.1.1.1\r\n2.2.2.2:90\n\rbad:999999\r3.3.3.3", 80);
  ASSERT_EQ(pool.Size(), 4u);
  EXPECT_EQ(pool.GetCurrentUrl().GetHost(), "1.1.1.1");
  EXPECT_EQ(pool.GetNextUrl().GetPort(), 90);
  EXPECT_EQ(pool.GetNextUrl().GetHost(), "");  // a line that does not parse is still an entry
  EXPECT_EQ(pool.GetNextUrl().GetHost(), "3.3.3.3");
  EXPECT_EQ(pool.GetNextUrl().GetHost(), "1.1.1.1");
  pool.AddUrl(TUrl("name:5", 80));
  EXPECT_EQ(pool.Size(), 4u);
  pool.AddUrl(TUrl("4.4.4.4:5", 80));
  pool.DeleteUrl(2);
  pool.DeleteUrl(99);
  EXPECT_EQ(pool.GetAllUrls(), "1.1.1.1:80\r\n2.2.2.2:90\r\n3.3.3.3:80\r\n4.4.4.4:5\r\n");
  EXPECT_EQ(RemoveProtocolAndDocFromUrl("http://1.2.3.4:80/tarn2-web/x"), "1.2.3.4:80");
  EXPECT_EQ(RemoveProtocolAndDocFromUrl("1.2.3.4"), "1.2.3.4");
}

TEST(IniFile, LinesTable) {
  struct Case {
    const char* content;
    const char* value;  // of HostURL, default "-"
  } cases[] = {
      {"HostURL=1.2.3.4\r\n", "1.2.3.4"},
      {"HostURL = 1.2.3.4 \n", "1.2.3.4 "},
      {"HostURL:\t,=1.2.3.4", "1.2.3.4"},
      {"HostURLX=1\nHostURL=2", "2"},
      {"[main]\nHostURL=1.2.3.4\n", "-"},
      {"hosturl=1", "-"},
      {"HostURL=\n", ""},
      {"HostURL\n", "-"},
      {"HostURL=a ; not a comment \"q\"", "a ; not a comment \"q\""},
      {"A=1\r\rHostURL=x\n\nB=2", "x"},
      {"HostURL=first\nHostURL=second", "first"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TIniFile::FromContent(c.content).GetString("HostURL", "-"), c.value) << c.content;
  }
  const std::string withNul("Host\0URL=7", 10);
  EXPECT_EQ(TIniFile::FromContent(withNul).GetString("HostURL", "-"), "7");
}

TEST(IniFile, SectionsNumbersAndLists) {
  const TIniFile ini = TIniFile::FromContent("Top=1\n[a]\nKey=in a\n[b]\nKey=in b\n[]\nN=12x\nL=1, 2 :3\n");
  EXPECT_EQ(ini.GetSectionString("a", "Key", "-"), "in a");
  EXPECT_EQ(ini.GetSectionString("b", "Key", "-"), "in b");
  EXPECT_EQ(ini.GetSectionString("a", "Top", "-"), "-");
  EXPECT_EQ(ini.GetString("Key", "-"), "-");
  EXPECT_EQ(ini.GetInteger("Top", 5), 1);
  EXPECT_EQ(ini.GetInteger("Missing", 5), 5);
  EXPECT_EQ(TIniFile::FromContent("N=12x").GetInteger("N", 0), 12 * 10 + ('x' - '0'));
  EXPECT_EQ(TIniFile::FromContent("L=1, 2 :3").GetIntegerList("L"), (std::vector<int32_t>{1, 2, 3}));
  EXPECT_EQ(TIniFile::FromContent("L=a,,b").GetStringList("L"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(ferrow_text::DecimalToInt("2147483648"), 0);  // wraps negative, so 0
  EXPECT_EQ(ferrow_text::DecimalToInt("4294967297"), 1);  // wraps past 32 bits
}

class EnvironmentTest : public FerrowFolderTest {};

TEST_F(EnvironmentTest, ServerPathFallsBackThroughProfileToBlock1) {
  EXPECT_EQ(ITerminalEnvironment::Instance().GetServerURLsuffix(), "/block1");
  Write("PROFILE.INI", "URL=fromprofile\n");
  EXPECT_EQ(ITerminalEnvironment::Instance().GetServerURLsuffix(), "/fromprofile");
  Write("CONFIG.INI", "HostURL=127.0.0.1:8\nURL=fromconfig\n");
  ITerminalEnvironment::ResetForTest();
  EXPECT_EQ(ITerminalEnvironment::Instance().GetServerURLsuffix(), "/fromconfig");
  EXPECT_EQ(ITerminalEnvironment::Instance().GetServerAddressList(), "127.0.0.1:8");
  EXPECT_EQ(ITerminalEnvironment::Instance().GetServerURLprefix("a:1"), "http://a:1/tarn2-web");
}

class LogTest : public FerrowFolderTest {};

TEST_F(LogTest, LauncherLogRunsOnAndStartsAgainPastTheLimit) {
  ReportString("one ");
  ReportString("two\n");
  std::string text = Read("launcher.log");
  ASSERT_EQ(text.size(), 20u + 4 + 20 + 4);
  EXPECT_EQ(text.substr(19, 5), " one ");
  EXPECT_EQ(text.substr(text.size() - 5), " two\n");
  const std::string filler(200, 'x');
  while (testsupport::FileExists(Path("launcher.log"))) ReportString("%s\n", filler.c_str());
  ReportString("fresh\n");
  EXPECT_EQ(Read("launcher.log").size(), 20u + 6);
}

TEST_F(LogTest, TraceAndConnectionDump) {
  TSystemTracer::Instance().Trace("plain");
  EXPECT_FALSE(testsupport::FileExists(Path("t2trace.txt")));
  TSystemTracer::Instance().Enable(SYSTRACE_FILE);
  TSystemTracer::Instance().Trace("line\n");
  TSystemTracer::Instance().LogData(T_LE_Sent("AB"));
  TSystemTracer::Instance().LogData(T_LE_Connected("peer"));
  EXPECT_EQ(Read("t2trace.txt"), "line\n>\n4142\nConnected\npeer");

  const std::string dump = FormatHexDump(std::string("0123456789abcdef\x01Z", 18), ">");
  EXPECT_EQ(dump, "30 31 32 33 34 35 36 37 38 39 61 62 63 64 65 66|0123456789abcdef\r\n" + std::string(15, ' ') +
                      ">01 5A " + std::string(41, ' ') + "|.Z");
  EXPECT_EQ(FormatHexDump("A", "Error"), "\r\n" + std::string(16, ' ') + "41 " + std::string(44, ' ') + "|A");

  TFileSystem folder(dir_.path());
  TLoggerToFile logger("sock0000000007.txt", &folder, 0);
  logger.LogData(T_LE_Received("hi"));
  logger.LogData(T_LE_Disconnected());
  const std::string written = Read("sock0000000007.txt");
  EXPECT_NE(written.find("<68 69 "), std::string::npos);
  EXPECT_NE(written.find(" Disconnected\n\r\n"), std::string::npos);
  TLoggerToFile off("off.txt", nullptr, 0);
  off.LogData(T_LE_Sent("x"));
  EXPECT_FALSE(testsupport::FileExists(Path("off.txt")));
}

TEST_F(LogTest, BoundedLoggerKeepsTheNewestHalf) {
  TFileSystem folder(dir_.path());
  TLoggerToFile logger("bounded.txt", &folder, 2000);
  for (int i = 0; i < 200; ++i) logger.LogData(TSysTraceLine("record " + std::to_string(i)));
  const std::string text = Read("bounded.txt");
  EXPECT_LE(text.size(), 2000u + 40);
  EXPECT_NE(text.find("record 199"), std::string::npos);
  EXPECT_EQ(text.find("record 1\r"), std::string::npos);
  EXPECT_FALSE(testsupport::FileExists(Path("tmpflnm")));
}

}  // namespace
