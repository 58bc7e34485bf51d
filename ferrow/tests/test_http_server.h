// A small scripted HTTP/1.1 server on 127.0.0.1 for the update client's
// tests: one poll loop, a reply chosen per request, and control over every
// byte (lying lengths, chunking, stalls, closing in the middle of a body).
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace ferrowtest {

struct ScriptedReply {
  std::string head;  // status line and headers, blank line included
  std::string body;
  // Send only this many body bytes; then stall (keep the connection open
  // and silent) or close.
  size_t bodyLimit = std::string::npos;
  bool closeAtLimit = false;

  static ScriptedReply WithLength(const std::string& body, const std::string& status = "HTTP/1.1 200 OK");
  static ScriptedReply WithHead(const std::string& head, const std::string& body);
  static ScriptedReply Chunked(const std::vector<std::string>& chunks);
  static ScriptedReply NotFound();
};

class TestHttpServer {
 public:
  TestHttpServer();
  ~TestHttpServer();
  TestHttpServer(const TestHttpServer&) = delete;
  TestHttpServer& operator=(const TestHttpServer&) = delete;

  uint16_t port() const { return port_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

  // A reply for requests whose target path (before "?") is path.
  void SetPathReply(const std::string& path, const ScriptedReply& reply);
  // A reply for downloads whose query carries name=<name>.
  void SetFileReply(const std::string& name, const ScriptedReply& reply);

  // Runs the loop in a thread of its own until the object is destroyed.
  void Start();
  // Runs the loop in the calling thread (the standalone server).
  void Run();
  void Stop();

  // Every complete request received, byte for byte.
  std::vector<std::string> Requests();
  size_t RequestCount();

 private:
  struct Client {
    int fd;
    std::string in;
    // The reply is shared, not copied, so that big bodies cost nothing extra.
    std::shared_ptr<const ScriptedReply> reply;
    size_t total = 0;  // head plus the body bytes to send
    size_t sent = 0;
    bool closeWhenSent = false;
    bool answered = false;
  };
  std::shared_ptr<const ScriptedReply> Choose(const std::string& target);
  void HandleInput(Client& client);

  int listen_ = -1;
  int wake_[2] = {-1, -1};
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::map<std::string, std::shared_ptr<const ScriptedReply>> pathReplies_;
  std::map<std::string, std::shared_ptr<const ScriptedReply>> fileReplies_;
  std::vector<std::string> requests_;
};

}  // namespace ferrowtest
