// The server conversation in process: reply handling, the request, hashes
// and the check-files command against a scripted server.
#include "updater_app.h"

#include <gtest/gtest.h>

#include "ferrow_fixture.h"
#include "file_list.h"
#include "sha1.h"
#include "test_http_server.h"

namespace {

using ferrowtest::ScriptedReply;
using ferrowtest::TestHttpServer;

std::string Sha1Hex(const std::string& data) { return TSha1::ToHex(TSha1().HashData(data)); }

class UpdaterTest : public FerrowFolderTest {};

TEST_F(UpdaterTest, ResultCodesFromReplies) {
  struct Case {
    const char* reply;
    uint32_t code;
  } cases[] = {
      {"{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"OTHER\"}]}}", 44001},
      {"{\"success\":false}", 27013},
      {"{\"success\":\"true\"}", 27013},
      {" {\"success\":true}", 27012},
      {"<html>error</html>", 27012},
      {"", 27012},
      {"{\"success\":true}", 27014},
      {"{\"success\":true,\"body\":{\"COMMANDS\":[]}}", 27014},
      {"{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"OTHER\"}]", 27014},  // unbalanced
      {"{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"FILES\":[]}}]}}", 0},
      // A brace inside a string cuts the body short, so its command list
      // cannot be measured.
      {"{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"}\"}]}}", 27014},
  };
  for (const auto& c : cases) {
    TUpdaterApp app("123456789012", "INGENICO IPP320", "");
    EXPECT_EQ(app.ProcessMessageFromServer(c.reply), c.code) << c.reply;
  }
}

TEST_F(UpdaterTest, RequestCarriesTheMembersInOrder) {
  TUpdaterApp app("SN1", "PAX SP30", "");
  const std::string zero(40, '0');
  EXPECT_EQ(app.BuildInitRequest(), "{\"REPLIES\":[{\"CONF_HASH\":\"" + zero + "\",\"ECR_HASH\":\"" + zero +
                                        "\",\"KCV_KLK\":\"000000\",\"MODEL_A\":\"LINUX\",\"MODEL_T\":\"PAX SP30\","
                                        "\"SN\":\"SN1\",\"SN_OLD\":\"SN1\",\"VERSION_A\":\"30.26.10\"}]}");
  TUpdaterApp ecr("SN1", "PAX SP30", "POS-9");
  EXPECT_NE(ecr.BuildInitRequest().find("\"MODEL_A\":\"POS-9\""), std::string::npos);
  EXPECT_EQ(GetModelByModelChar('k'), "VERIFONE VX805");
  EXPECT_EQ(GetModelByModelChar('x'), "UNKNOWN");
}

TEST_F(UpdaterTest, CombinedHash) {
  TFileSystem fs(dir_.path());
  Write("a", "same");
  Write("b", "same");
  Write("filelist.txt", "b\r\na\n\nb=alias\r\n");
  // "b=alias" names b again: three entries, b counted twice.
  std::vector<uint8_t> one = TSha1().HashData("same");
  TFilesChecker checker("filelist.txt", &fs);
  std::vector<TFileTraits> details;
  const auto sum = checker.CalcHashWithDetails(&details);
  ASSERT_EQ(details.size(), 3u);
  EXPECT_EQ(details[2].name, "b");
  EXPECT_EQ(details[2].secondName, "alias");
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(sum[i], static_cast<uint8_t>(one[i] * 3)) << i;

  Write("filelist.txt", "a\nb\n");
  for (size_t i = 0; i < 20; ++i) EXPECT_EQ(checker.CalcHash()[i], static_cast<uint8_t>(one[i] * 2));

  // Absent files: a stored .hsh of exactly 20 bytes, a ".new" name read
  // through the installed file, otherwise the hash of nothing.
  Write("gone.hsh", std::string(20, '\x01'));
  Write("prog", "installed");
  Write("short.hsh", "123");
  EXPECT_EQ(checker.CalcFileHash("gone"), std::vector<uint8_t>(20, 1));
  EXPECT_EQ(TSha1::ToHex(checker.CalcFileHash("prog.new")), Sha1Hex("installed"));
  EXPECT_EQ(TSha1::ToHex(checker.CalcFileHash("short")), Sha1Hex(""));
  Write("empty", "");
  Write("empty.hsh", std::string(20, '\x02'));
  EXPECT_EQ(checker.CalcFileHash("empty"), std::vector<uint8_t>(20, 2));
  TFilesChecker none("nolist.txt", &fs);
  EXPECT_EQ(none.CalcHash(), std::vector<uint8_t>(20, 0));
}

class CheckFilesTest : public FerrowFolderTest {
 protected:
  void SetUp() override {
    FerrowFolderTest::SetUp();
    server_.Start();
    Write("CONFIG.INI", "HostURL=" + server_.address() + "\r\n");
  }
  std::string Command(const std::string& files, const std::string& extra = "") {
    return "{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{" + extra +
           "\"FILES\":[" + files + "]}}]}}";
  }
  static std::string File(const std::string& name, size_t size, const std::string& hash) {
    return "{\"FILE_NAME\":\"" + name + "\",\"FILE_SIZE\":" + std::to_string(size) + ",\"FILE_HASH\":\"" + hash +
           "\"}";
  }
  TestHttpServer server_;
};

TEST_F(CheckFilesTest, MatchingChangedMissingAndListEnd) {
  ::mkdir(Path("Update").c_str(), 0777);
  Write("Update/same.bin", "keep");
  Write("Update/old.bin", "stale");
  server_.SetFileReply("old.bin", ScriptedReply::WithLength("fresh!"));
  server_.SetFileReply("new.bin", ScriptedReply::Chunked({"brand", "new"}));
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  const std::string reply = Command(File("same.bin", 4, Sha1Hex("keep")) + "," +
                                    File("old.bin", 6, Sha1Hex("fresh!")) + "," +
                                    File("new.bin", 8, Sha1Hex("brandnew")) + "," + File("zero.bin", 0, "") + "," +
                                    File("after.bin", 3, "X"));
  EXPECT_EQ(app.ProcessMessageFromServer(reply), 0u);
  EXPECT_EQ(Read("Update/same.bin"), "keep");
  EXPECT_EQ(Read("Update/old.bin"), "fresh!");
  EXPECT_EQ(Read("Update/new.bin"), "brandnew");
  EXPECT_EQ(Read("Update/filelist.txt"), "new.bin\r\nold.bin\r\nsame.bin\r\n");
  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].substr(0, requests[0].find("\r\n")),
            "GET /tarn2-web/getFile/block1?name=old.bin&terminalSN=SERIAL000001 HTTP/1.1");
  EXPECT_FALSE(app.GetPinpadUpdateFlag());
}

TEST_F(CheckFilesTest, LowerCaseHashAndWrongLengthAreNotInstalled) {
  Write("x.bin", "abc");
  server_.SetFileReply("x.bin", ScriptedReply::WithLength("abcd"));
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  std::string lower = Sha1Hex("abc");
  for (auto& c : lower) c = static_cast<char>(tolower(c));
  // Lower-case never matches, so it is fetched; the server's 4 bytes are
  // not the 3 announced, so nothing is installed and the code stays 0.
  EXPECT_EQ(app.ProcessMessageFromServer(Command(File("x.bin", 3, lower), "\"TARGET\":\"ECR\",")), 0u);
  EXPECT_EQ(Read("x.bin"), "abc");
  EXPECT_EQ(Read("TMP.TMP"), "abcd");
  ASSERT_EQ(server_.RequestCount(), 1u);
  EXPECT_NE(server_.Requests()[0].find("&terminalSN=SERIAL000001&ECR=1 HTTP/1.1"), std::string::npos);
}

TEST_F(CheckFilesTest, ErrorsOfTheLastDownloadAndOfTheListBecomeTheResult) {
  ::setenv("FERROW_TEST_TIMEOUT_MS", "600", 1);
  ScriptedReply stall = ScriptedReply::WithLength("0123456789");
  stall.bodyLimit = 4;
  server_.SetFileReply("s.bin", stall);
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  EXPECT_EQ(app.ProcessMessageFromServer(Command(File("s.bin", 10, "X"), "\"TARGET\":\"ECR\",")), 27003u);
  EXPECT_FALSE(testsupport::FileExists(Path("s.bin")));
  EXPECT_EQ(app.ProcessMessageFromServer(Command(File("missing.bin", 10, "X"), "\"TARGET\":\"ECR\",")), 27007u);

  // A list that cannot be written: 31001, and the commands after it are not run.
  ::mkdir(Path("Update").c_str(), 0777);
  ::mkdir(Path("Update/filelist.txt").c_str(), 0777);
  server_.SetFileReply("late.bin", ScriptedReply::WithLength("late"));
  const std::string two = "{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"FILES\":[]}},"
                          "{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{\"TARGET\":\"ECR\",\"FILES\":[" +
                          File("late.bin", 4, "X") + "]}}]}}";
  EXPECT_EQ(app.ProcessMessageFromServer(two), 31001u);
  EXPECT_FALSE(testsupport::FileExists(Path("late.bin")));
}

TEST_F(CheckFilesTest, NamesReachingOutsideTheFolderAreRefused) {
  server_.SetFileReply("../evil", ScriptedReply::WithLength("boom"));
  server_.SetFileReply("ok.bin", ScriptedReply::WithLength("fine"));
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  const std::string files = File("../evil", 4, "X") + "," + File("/tmp/evil", 4, "X") + "," + File("ok.bin", 4, "X");
  EXPECT_EQ(app.ProcessMessageFromServer(Command(files, "\"TARGET\":\"ECR\",")), 0u);
  EXPECT_EQ(Read("ok.bin"), "fine");
  EXPECT_EQ(Read("filelist.txt"), "ok.bin\r\n");
  EXPECT_EQ(server_.RequestCount(), 1u);
  EXPECT_TRUE(IsSafeServerFileName("sub/dir.x"));
  EXPECT_FALSE(IsSafeServerFileName("a/../b"));
}

TEST_F(CheckFilesTest, DoCheckingPostsAndSetsThePinpadFlag) {
  ::mkdir(Path("Update").c_str(), 0777);
  Write("Update/PFLS.BAK", "package");
  Write("CONFIG.INI", "HostURL=" + server_.address() + "\r\nTrace=1\r\n");
  server_.SetPathReply("/tarn2-web/block1",
                       ScriptedReply::WithLength(Command(File("PFLS.BAK", 7, Sha1Hex("package")))));
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  const std::string expected = app.BuildInitRequest();
  EXPECT_EQ(app.DoChecking(), 44003u);
  EXPECT_TRUE(app.GetPinpadUpdateFlag());
  const std::string request = server_.Requests().at(0);
  EXPECT_EQ(request.substr(0, request.find("\r\n")), "POST /tarn2-web/block1 HTTP/1.1");
  EXPECT_EQ(request.substr(request.find("\r\n\r\n") + 4), expected);
  // With Trace=1 every connection leaves its raw trace in the log folder.
  bool traced = false;
  for (int fd = 0; fd < 1024 && !traced; ++fd) {
    char name[32];
    std::snprintf(name, sizeof name, "sock%010d.txt", fd);
    traced = testsupport::FileExists(Path(name)) && Read(name).find("Connected") != std::string::npos;
  }
  EXPECT_TRUE(traced);
  // The pinpad files are now on the list, so the request's CONF_HASH is theirs.
  EXPECT_NE(app.BuildInitRequest().find("\"CONF_HASH\":\"" + Sha1Hex("package") + "\""), std::string::npos);
}

TEST_F(CheckFilesTest, EmptyHostListAndUnserialisedTerminal) {
  Write("CONFIG.INI", "[x]\nHostURL=" + server_.address() + "\n");
  ITerminalEnvironment::ResetForTest();
  TUpdaterApp app("SERIAL000001", "PAX SP30", "");
  EXPECT_EQ(app.DoChecking(), 27001u);

  TUpdaterApp blank("000000000000", "PAX SP30", "");
  EXPECT_EQ(blank.DoChecking(), 44001u);
  Write("SOFT.BAK", "v1");
  EXPECT_EQ(blank.DoChecking(), 0u);
  EXPECT_EQ(Read("lastsoft.hsh"), std::string(reinterpret_cast<const char*>(TSha1().HashData("v1").data()), 20));
  EXPECT_EQ(blank.DoChecking(), 44001u);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
