#include "http_client.h"

#include <gtest/gtest.h>

#include "ferrow_fixture.h"
#include "test_http_server.h"

namespace {

using ferrowtest::ScriptedReply;
using ferrowtest::TestHttpServer;

class HttpClientTest : public FerrowFolderTest {
 protected:
  void SetUp() override {
    FerrowFolderTest::SetUp();
    server_.Start();
  }
  std::string Url(const std::string& doc) { return "http://" + server_.address() + "/" + doc; }

  TestHttpServer server_;
};

TEST_F(HttpClientTest, PostIsFormattedByteForByteAndTheBodyIsReturned) {
  server_.SetPathReply("/tarn2-web/block1", ScriptedReply::WithLength("{\"success\":true}"));
  THttpClient client("TERMINAL", "", 15000, nullptr);
  client.SetURL(Url("tarn2-web/block1"));
  std::string reply;
  ASSERT_EQ(client.Post("{\"a\":1}", reply).GetCode(), 0u);
  EXPECT_EQ(reply, "{\"success\":true}");
  ASSERT_EQ(server_.Requests().size(), 1u);
  EXPECT_EQ(server_.Requests()[0],
            "POST /tarn2-web/block1 HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: keep-alive\r\nUser-Agent: TERMINAL\r\n"
            "Accept: application/json, application/*+json\r\nContent-type: application/json;charset=UTF-8\r\n"
            "Content-Length: 7\r\n\r\n{\"a\":1}");
}

TEST_F(HttpClientTest, RepliesTable) {
  const std::string longLine(1022, 'h');
  struct Case {
    const char* label;
    ScriptedReply reply;
    uint32_t code;
    std::string body;  // the reply text handed back
  } cases[] = {
      {"length", ScriptedReply::WithLength("hello"), 0, "hello"},
      {"http 1.0", ScriptedReply::WithHead("HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\n", "ok"), 0, "ok"},
      {"404", ScriptedReply::WithLength("no", "HTTP/1.1 404 Not Found"), 27007, "HTTP/1.1 404 Not Found"},
      {"status of 12 characters", ScriptedReply::WithHead("HTTP/1.1 200\r\n\r\n", ""), 0, ""},
      {"short status", ScriptedReply::WithHead("HTTP/1.1 20\r\n\r\n", ""), 27007, "HTTP/1.1 20"},
      {"not http", ScriptedReply::WithHead("{\"success\":true}\r\n\r\n", ""), 27007, "{\"success\":true}"},
      {"header without separator", ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nBroken\r\n\r\n", ""), 27008,
       "Broken"},
      {"line of 1022 bytes fits",
       ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nX: " + longLine.substr(3) + "\r\nContent-Length: 1\r\n\r\n", "z"),
       0, "z"},
      {"line of 1023 bytes", ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nX: " + longLine + "\r\n\r\n", ""), 27006,
       ""},
      {"chunked", ScriptedReply::Chunked({"hello ", "world"}), 0, "hello world"},
      {"chunked under any name", ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nX-Odd: chunked\r\n\r\n", "3\r\nabc\r\n0\r\n\r\n"),
       0, "abc"},
      {"no length", ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nServer: t\r\n\r\n", "ignored"), 0, ""},
      {"length name is case-sensitive", ScriptedReply::WithHead("HTTP/1.1 200 OK\r\ncontent-length: 3\r\n\r\n", "abc"),
       0, ""},
  };
  for (auto& c : cases) {
    server_.SetPathReply("/r", c.reply);
    THttpClient client("TERMINAL", "", 15000, nullptr);
    client.SetURL(Url("r"));
    std::string reply;
    EXPECT_EQ(client.Post("x", reply).GetCode(), c.code) << c.label;
    EXPECT_EQ(reply, c.body) << c.label;
  }
}

TEST_F(HttpClientTest, BrokenBodiesEndIn27003) {
  ::setenv("FERROW_TEST_TIMEOUT_MS", "700", 1);
  ScriptedReply closes = ScriptedReply::WithLength(std::string(10000, 'a'));
  closes.bodyLimit = 5000;
  closes.closeAtLimit = true;
  ScriptedReply stalls = ScriptedReply::WithLength(std::string(10000, 'a'));
  stalls.bodyLimit = 5000;
  ScriptedReply huge = ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nContent-Length: 2000000000\r\n\r\n", "abc");
  huge.bodyLimit = 3;
  huge.closeAtLimit = true;
  ScriptedReply lyingChunk = ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                                                     "ffff\r\nabc\r\n0\r\n\r\n");
  ScriptedReply hugeChunk = ScriptedReply::WithHead("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n",
                                                    "ffffffffffffffffffff\r\nabc");
  hugeChunk.bodyLimit = hugeChunk.body.size();
  hugeChunk.closeAtLimit = true;
  for (const auto& reply : {closes, stalls, huge, lyingChunk, hugeChunk}) {
    server_.SetPathReply("/b", reply);
    THttpClient client("TERMINAL", "", 15000, nullptr);
    client.SetURL(Url("b"));
    std::string text;
    EXPECT_EQ(client.Post("x", text).GetCode(), 27003u) << reply.head;
  }
}

TEST_F(HttpClientTest, StalledStatusLineEndsIn27006) {
  ::setenv("FERROW_TEST_TIMEOUT_MS", "500", 1);
  ScriptedReply silent = ScriptedReply::WithHead("HTTP/1.1 2", "");
  silent.bodyLimit = 0;
  server_.SetPathReply("/s", silent);
  THttpClient client("TERMINAL", "", 15000, nullptr);
  client.SetURL(Url("s"));
  std::string text;
  EXPECT_EQ(client.Post("x", text).GetCode(), 27006u);
}

TEST_F(HttpClientTest, DownloadsAreFormattedAndWritten) {
  const std::string content(100000, 'q');
  server_.SetFileReply("a.bin", ScriptedReply::WithLength(content));
  server_.SetFileReply("c.bin", ScriptedReply::Chunked({"12", "345"}));
  THttpClient client("TERMINAL", "", 15000, nullptr);
  client.SetURL(Url("tarn2-web/getFile/block1?name=a.bin&terminalSN=123"));
  ASSERT_EQ(client.GetFile("TMP.TMP", 100000).GetCode(), 0u);
  EXPECT_EQ(Read("TMP.TMP"), content);
  EXPECT_EQ(server_.Requests().back(),
            "GET /tarn2-web/getFile/block1?name=a.bin&terminalSN=123 HTTP/1.1\r\nHost: 127.0.0.1\r\n"
            "Connection: keep-alive\r\nUser-Agent: TERMINAL\r\nAccept: application/octet-stream\r\n"
            "Content-Type: application/octet-stream\r\n\r\n");
  client.SetURL(Url("x?name=c.bin"));
  ASSERT_EQ(client.GetFile("TMP.TMP", 5).GetCode(), 0u);
  EXPECT_EQ(Read("TMP.TMP"), "12345");
  client.SetURL(Url("x?name=missing"));
  EXPECT_EQ(client.GetFile("other", 5).GetCode(), 27007u);
  EXPECT_FALSE(testsupport::FileExists(Path("other")));
  client.SetURL(Url("x?name=a.bin"));
  EXPECT_EQ(client.GetFile("no-such-folder/file", 5).GetCode(), 27005u);
}

TEST_F(HttpClientTest, AddressesThatCannotBeUsed) {
  THttpClient client("TERMINAL", "", 15000, nullptr);
  std::string text;
  client.SetURL("http://update.example:80/x");
  EXPECT_EQ(client.Post("x", text).GetCode(), 2u);
  client.SetURL("10.0.0.5:123456");
  EXPECT_EQ(client.Post("x", text).GetCode(), 27001u);
  client.SetURL("http://127.0.0.1/x");  // no port given to SetURL: none
  EXPECT_EQ(client.Post("x", text).GetCode(), 27001u);
  EXPECT_EQ(client.PutFile("f").GetCode(), 2u);
  EXPECT_EQ(server_.RequestCount(), 0u);

  // A port nobody listens on.
  uint16_t closedPort;
  {
    TestHttpServer gone;
    closedPort = gone.port();
  }
  client.SetURL("http://127.0.0.1:" + std::to_string(closedPort) + "/x");
  const uint32_t code = client.Post("x", text).GetCode();
  EXPECT_TRUE(code == 27002u || code == 20001u) << code;
}

TEST_F(HttpClientTest, RequestHeaderNeverOutgrowsItsBuffer) {
  server_.SetPathReply("/" + std::string(2000, 'd'), ScriptedReply::WithLength("x"));
  THttpClient client("TERMINAL", "", 15000, nullptr);
  client.SetURL(Url(std::string(2000, 'd')));
  std::string text;
  EXPECT_EQ(client.Post("x", text).GetCode(), 27003u);
  EXPECT_EQ(client.GetFile("f", 1).GetCode(), 27003u);
  EXPECT_EQ(server_.RequestCount(), 0u);
  // Just below the limit still goes out.
  const std::string doc(1024 - 200, 'e');
  server_.SetPathReply("/" + doc, ScriptedReply::WithLength("ok"));
  client.SetURL(Url(doc));
  EXPECT_EQ(client.Post("x", text).GetCode(), 0u);
}

TEST_F(HttpClientTest, TraceRecordsTheConversation) {
  TSystemTracer::Instance().Enable(SYSTRACE_FILE);
  server_.SetPathReply("/t", ScriptedReply::WithLength("body"));
  THttpClient client("TERMINAL", "", 15000, nullptr);
  client.SetURL(Url("t"));
  std::string text;
  ASSERT_EQ(client.Post("x", text).GetCode(), 0u);
  const std::string trace = Read("t2trace.txt");
  EXPECT_EQ(trace.find("Connecting to http://" + server_.address() + "/t, result=0\n\nSent:\n-----\nPOST /t "), 0u);
  EXPECT_NE(trace.find("Received:\n---------\nHTTP/1.1 200 OK\n"), std::string::npos);
  EXPECT_NE(trace.find("\nbody\n\nDisconnected.\n\n\n\n"), std::string::npos);
}

}  // namespace
