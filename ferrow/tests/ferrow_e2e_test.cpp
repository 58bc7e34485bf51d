// The real ferrow program in a fresh folder, with a scripted update server
// and a small stand-in for the payment program.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "sha1.h"
#include "test_http_server.h"
#include "test_support.h"

namespace {

using ferrowtest::ScriptedReply;
using ferrowtest::TestHttpServer;
using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

std::string Sha1Hex(const std::string& data) { return TSha1::ToHex(TSha1().HashData(data)); }

// The worker answers operation 26 with a response file naming the serial
// number and the model letter; operation 36 "loads" the package by putting
// PFLS.BAK back, as the payment program does after a load.
const char* kWorker =
    "echo \"$@\" >> worker.calls\n"
    "case \"$1\" in\n"
    "26) printf '0,\\r\\nSERIAL12345678\\r\\nK\\r\\n\\r\\n' > \"${RESULT:-.}/e\"; exit ${FAIL26:-0};;\n"
    "36) [ -n \"$LOAD36\" ] && mv Update/PFLS.R Update/PFLS.BAK; exit 0;;\n"
    "esac\n";

class FerrowE2E : public ::testing::Test {
 protected:
  void SetUp() override {
    server_.Start();
    testsupport::CopyProgram("ferrow", dir_.path());
    testsupport::WriteScript(P("dravik.out"), kWorker);
    WriteFile(P("CONFIG.INI"), "HostURL=" + server_.address() + "\r\n");
    WriteFile(P("e"), "previous response\r\nline 2");
    WriteFile(P("p"), "previous cheque");
  }
  std::string P(const std::string& name) const { return dir_ / name; }
  testsupport::ProcessResult Run(std::vector<std::string> env = {}) {
    env.push_back("FERROW_TEST_TIMEOUT_MS=1500");
    // Started from elsewhere: ferrow finds its folder by itself.
    return testsupport::RunProcess({P("ferrow")}, {"/", env, "", 60000});
  }
  void ExpectResultFilesRestored() {
    EXPECT_EQ(ReadFile(P("e")), "previous response\r\nline 2");
    EXPECT_EQ(ReadFile(P("p")), "previous cheque");
    EXPECT_FALSE(FileExists(P("e.tmp")));
    EXPECT_FALSE(FileExists(P("p.tmp")));
  }
  void Reply(const std::string& body) { server_.SetPathReply("/tarn2-web/block1", ScriptedReply::WithLength(body)); }
  static std::string CheckFiles(const std::string& details) {
    return "{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"CHECK_FILES\",\"DETAILS\":{" + details + "}}]}}";
  }
  static std::string File(const std::string& name, size_t size, const std::string& hash) {
    return "{\"FILE_NAME\":\"" + name + "\",\"FILE_SIZE\":\"" + std::to_string(size) + "\",\"FILE_HASH\":\"" +
           hash + "\"}";
  }

  testsupport::TempDir dir_;
  TestHttpServer server_;
};

TEST_F(FerrowE2E, CheckFilesForTheCashRegister) {
  ::mkdir(P("ini").c_str(), 0777);
  WriteFile(P("redirect.ini"), "IniDir=ini/\n");
  WriteFile(P("ini/CONFIG.INI"), "HostURL=" + server_.address() + "\r\nURL=shop7\r\n");
  WriteFile(P("ini/pinpad.ini"), "PrinterFile=cheque.txt\n");
  WriteFile(P("cheque.txt"), "the cheque");
  WriteFile(P("same.txt"), "same");
  WriteFile(P("changed.txt"), "old");
  server_.SetFileReply("changed.txt", ScriptedReply::WithLength("new content"));
  server_.SetFileReply("missing.txt", ScriptedReply::Chunked({"was ", "missing"}));
  server_.SetFileReply("SHOP.INI", ScriptedReply::WithLength("[shop]\n"));
  server_.SetFileReply("short.txt", ScriptedReply::WithLength("abc"));
  const std::string files = File("same.txt", 4, Sha1Hex("same")) + "," + File("changed.txt", 11, "X") + "," +
                            File("missing.txt", 11, "X") + "," + File("SHOP.INI", 7, "X") + "," +
                            File("short.txt", 5, "X");
  server_.SetPathReply("/tarn2-web/shop7", ScriptedReply::WithLength(CheckFiles("\"TARGET\":\"ECR\",\"FILES\":[" + files + "]")));

  const auto result = Run();
  ASSERT_FALSE(result.timed_out);
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(P("same.txt")), "same");
  EXPECT_EQ(ReadFile(P("changed.txt")), "new content");
  EXPECT_EQ(ReadFile(P("missing.txt")), "was missing");
  EXPECT_EQ(ReadFile(P("ini/SHOP.INI")), "[shop]\n");
  EXPECT_FALSE(FileExists(P("SHOP.INI")));
  EXPECT_FALSE(FileExists(P("short.txt")));  // a wrong length is never installed
  EXPECT_EQ(ReadFile(P("filelist.txt")), "SHOP.INI\r\nchanged.txt\r\nmissing.txt\r\nsame.txt\r\nshort.txt\r\n");
  EXPECT_EQ(ReadFile(P("cheque.txt")), "the cheque");
  EXPECT_EQ(ReadFile(P("e")), "previous response\r\nline 2");
  EXPECT_EQ(ReadFile(P("worker.calls")), "26\n");
  EXPECT_TRUE(FileExists(P("redirect.ini")));  // the program's own pointer to its ini folder stays

  const auto requests = server_.Requests();
  ASSERT_EQ(requests.size(), 5u);
  const std::string zero(40, '0');
  const std::string json = "{\"REPLIES\":[{\"CONF_HASH\":\"" + zero + "\",\"ECR_HASH\":\"" + zero +
                           "\",\"KCV_KLK\":\"000000\",\"MODEL_A\":\"LINUX\",\"MODEL_T\":\"INGENICO IPP320\","
                           "\"SN\":\"SERIAL123456\",\"SN_OLD\":\"SERIAL123456\",\"VERSION_A\":\"30.26.10\"}]}";
  EXPECT_EQ(requests[0], "POST /tarn2-web/shop7 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\n"
                         "User-Agent: TERMINAL\r\nAccept: application/json, application/*+json\r\n"
                         "Content-type: application/json;charset=UTF-8\r\nContent-Length: " +
                             std::to_string(json.size()) + "\r\n\r\n" + json);
  EXPECT_EQ(requests[1], "GET /tarn2-web/getFile/shop7?name=changed.txt&terminalSN=SERIAL123456&ECR=1 HTTP/1.1\r\n"
                         "Host: 127.0.0.1\r\nConnection: keep-alive\r\nUser-Agent: TERMINAL\r\n"
                         "Accept: application/octet-stream\r\nContent-Type: application/octet-stream\r\n\r\n");
  const std::string trace = ReadFile(P("t2trace.txt"));
  EXPECT_EQ(trace.find("SN:SERIAL123456, MODEL:INGENICO IPP320, ECR:\r\n"), 0u);

  // The next run reports the combined hash of the listed files.
  const auto again = Run();
  EXPECT_EQ(again.exit_code, 0);
  const std::string second = server_.Requests()[5];
  std::vector<uint8_t> sum(20, 0);
  for (const char* name : {"SHOP.INI", "changed.txt", "missing.txt", "same.txt", "short.txt"}) {
    std::string content = FileExists(P(name)) ? ReadFile(P(name)) : "";
    const auto hash = TSha1().HashData(content);
    for (size_t i = 0; i < 20; ++i) sum[i] = static_cast<uint8_t>(sum[i] + hash[i]);
  }
  EXPECT_NE(second.find("\"ECR_HASH\":\"" + TSha1::ToHex(sum) + "\""), std::string::npos) << second;
}

TEST_F(FerrowE2E, PinpadPackageIsLoadedByTheWorkerAndANewWorkerInstalled) {
  ::mkdir(P("Update").c_str(), 0777);
  WriteFile(P("Update/PFLS.BAK"), "package v2");
  WriteFile(P("Update/terminal.ini"), "old");
  server_.SetFileReply("terminal.ini", ScriptedReply::WithLength("fresh"));
  Reply(CheckFiles("\"FILES\":[" + File("PFLS.BAK", 10, Sha1Hex("package v2")) + "," +
                   File("terminal.ini", 5, "X") + "]"));
  const std::string oldWorker = ReadFile(P("dravik.out"));
  testsupport::WriteScript(P("dravik.out.new"), std::string(kWorker) + "# version 2\n");

  auto result = Run({"LOAD36=1"});
  EXPECT_EQ(result.exit_code, 0);
  EXPECT_EQ(ReadFile(P("worker.calls")), "26\n36\n");
  EXPECT_TRUE(FileExists(P("Update/PFLS.BAK")));
  EXPECT_FALSE(FileExists(P("Update/PFLS.R")));
  // Lower-case ".ini" stays in the target folder.
  EXPECT_EQ(ReadFile(P("Update/terminal.ini")), "fresh");
  EXPECT_EQ(ReadFile(P("dravik.out.old")), oldWorker);
  EXPECT_NE(ReadFile(P("dravik.out")).find("# version 2"), std::string::npos);
  EXPECT_FALSE(FileExists(P("dravik.out.new")));
  ExpectResultFilesRestored();
  const std::string log = ReadFile(P("launcher.log"));
  EXPECT_NE(log.find("UpdateFlag= 1 \n"), std::string::npos);
  EXPECT_NE(log.find("Running ./dravik.out...\n"), std::string::npos);
}

TEST_F(FerrowE2E, PackageNotLoadedKeepsTheResultAndTheOldWorker) {
  ::mkdir(P("Update").c_str(), 0777);
  WriteFile(P("Update/PFLS.BAK"), "package");
  Reply(CheckFiles("\"FILES\":[" + File("PFLS.BAK", 7, Sha1Hex("package")) + "]"));
  testsupport::WriteScript(P("dravik.out.new"), "exit 0\n");
  const auto result = Run();
  EXPECT_EQ(result.exit_code, 44003 & 0xFF);
  EXPECT_TRUE(FileExists(P("Update/PFLS.R")));
  EXPECT_TRUE(FileExists(P("dravik.out.new")));
  EXPECT_FALSE(FileExists(P("dravik.out.old")));
  ExpectResultFilesRestored();
}

TEST_F(FerrowE2E, BadRepliesEndInTheirCodesWithResultFilesRestored) {
  struct Case {
    ScriptedReply reply;
    uint32_t code;
  } cases[] = {
      {ScriptedReply::WithLength("<html>not json</html>"), 27012},
      {ScriptedReply::WithLength("{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"OTHER\"}]}}"), 44001},
      {ScriptedReply::WithLength("{\"success\":false}"), 27013},
      {ScriptedReply::WithLength("", "HTTP/1.1 500 Oops"), 27007},
      {ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n", "{\"succ"), 27003},
  };
  cases[4].reply.closeAtLimit = true;
  cases[4].reply.bodyLimit = 6;
  for (const auto& c : cases) {
    server_.SetPathReply("/tarn2-web/block1", c.reply);
    const auto result = Run();
    EXPECT_EQ(result.exit_code, static_cast<int>(c.code & 0xFF)) << c.code;
    ExpectResultFilesRestored();
  }
}

TEST_F(FerrowE2E, StalledDownloadIsNotInstalled) {
  WriteFile(P("app.bin"), "old");
  ScriptedReply stall = ScriptedReply::WithLength("0123456789");
  stall.bodyLimit = 3;
  server_.SetFileReply("app.bin", stall);
  Reply(CheckFiles("\"TARGET\":\"ECR\",\"FILES\":[" + File("app.bin", 10, "X") + "]"));
  const auto result = Run();
  EXPECT_EQ(result.exit_code, 27003 & 0xFF);
  EXPECT_EQ(ReadFile(P("app.bin")), "old");
  ExpectResultFilesRestored();
}

TEST_F(FerrowE2E, WorkerWithoutIdentityStopsBeforeTheServer) {
  const auto failing = Run({"FAIL26=3"});
  EXPECT_EQ(failing.exit_code, 1);
  ExpectResultFilesRestored();
  testsupport::WriteScript(P("dravik.out"), "printf '0,\\r\\nSERIAL' > e\n");
  const auto shortFile = Run();
  EXPECT_EQ(shortFile.exit_code, 1);
  ::unlink(P("dravik.out").c_str());
  const auto missing = Run();
  EXPECT_EQ(missing.exit_code, 1);
  EXPECT_NE(ReadFile(P("launcher.log")).find("File dravik.out not found\n"), std::string::npos);
  EXPECT_EQ(server_.RequestCount(), 0u);
  ExpectResultFilesRestored();
}

TEST_F(FerrowE2E, SelfReplacementAndDeliveredFilesMove) {
  // With a separate current folder, delivered "*.new" files go to the
  // program folder and "*.ini" files to the ini folder.
  WriteFile(P("pinpad.ini"), "CurrentDir=cur/\nResultDir=res/\n");
  ::mkdir(P("cur").c_str(), 0777);
  ::mkdir(P("res").c_str(), 0777);
  WriteFile(P("res/e"), "kept");
  WriteFile(P("cur/tool.new"), "tool");
  WriteFile(P("cur/shop.ini"), "shop");
  WriteFile(P("cur/shop.ini.txt"), "also");
  WriteFile(P("cur/plain.txt"), "plain");
  WriteFile(P("ferrow.new"), ReadFile(P("ferrow")));
  Reply("{\"success\":true,\"body\":{\"COMMANDS\":[{\"CMD\":\"OTHER\"}]}}");
  const auto result = Run({"RESULT=res"});
  EXPECT_EQ(result.exit_code, 44001 & 0xFF);
  EXPECT_TRUE(FileExists(P("ferrow.old")));
  EXPECT_FALSE(FileExists(P("ferrow.new")));
  EXPECT_EQ(ReadFile(P("tool.new")), "tool");
  EXPECT_EQ(ReadFile(P("shop.ini")), "shop");
  EXPECT_EQ(ReadFile(P("shop.ini.txt")), "also");
  EXPECT_EQ(ReadFile(P("cur/plain.txt")), "plain");
  EXPECT_FALSE(FileExists(P("cur/tool.new")));
  EXPECT_EQ(ReadFile(P("res/e")), "kept");
  // The two records run on in one line: neither ends in a line break.
  const std::string log = ReadFile(P("cur/launcher.log"));
  const std::string first = "ferrow renamed to ferrow.old";
  const size_t at = log.find(first);
  ASSERT_NE(at, std::string::npos);
  EXPECT_EQ(log.substr(at + first.size() + 20, 28), "ferrow.new renamed to ferrow");
}

TEST_F(FerrowE2E, UnserialisedTerminalWatchesSoftBak) {
  testsupport::WriteScript(P("dravik.out"), "printf '0,\\r\\n000000000000\\r\\np\\r\\n' > e\n");
  WriteFile(P("SOFT.BAK"), "software");
  EXPECT_EQ(Run().exit_code, 0);
  EXPECT_EQ(ReadFile(P("lastsoft.hsh")).size(), 20u);
  EXPECT_EQ(Run().exit_code, 44001 & 0xFF);
  EXPECT_EQ(server_.RequestCount(), 0u);
}

}  // namespace
