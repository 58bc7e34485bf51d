#include "test_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <algorithm>
#include <list>

namespace ferrowtest {

ScriptedReply ScriptedReply::WithLength(const std::string& body, const std::string& status) {
  ScriptedReply r;
  r.head = status + "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n";
  r.body = body;
  return r;
}

ScriptedReply ScriptedReply::WithHead(const std::string& head, const std::string& body) {
  ScriptedReply r;
  r.head = head;
  r.body = body;
  return r;
}

ScriptedReply ScriptedReply::Chunked(const std::vector<std::string>& chunks) {
  ScriptedReply r;
  r.head = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n";
  for (const auto& chunk : chunks) {
    char size[32];
    std::snprintf(size, sizeof size, "%zx\r\n", chunk.size());
    r.body += size + chunk + "\r\n";
  }
  r.body += "0\r\n\r\n";
  return r;
}

ScriptedReply ScriptedReply::NotFound() {
  return WithHead("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n", "");
}

TestHttpServer::TestHttpServer() {
  listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  const int one = 1;
  ::setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_, 16) != 0) {
    std::perror("test server");
    std::abort();
  }
  socklen_t length = sizeof address;
  ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) std::abort();
}

TestHttpServer::~TestHttpServer() {
  Stop();
  ::close(listen_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

void TestHttpServer::SetPathReply(const std::string& path, const ScriptedReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  pathReplies_[path] = std::make_shared<const ScriptedReply>(reply);
}

void TestHttpServer::SetFileReply(const std::string& name, const ScriptedReply& reply) {
  std::lock_guard<std::mutex> lock(mutex_);
  fileReplies_[name] = std::make_shared<const ScriptedReply>(reply);
}

void TestHttpServer::Start() {
  thread_ = std::thread([this] { Run(); });
}

void TestHttpServer::Stop() {
  stop_ = true;
  const char byte = 1;
  if (::write(wake_[1], &byte, 1) < 0) {
  }
  if (thread_.joinable()) thread_.join();
}

std::vector<std::string> TestHttpServer::Requests() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

size_t TestHttpServer::RequestCount() {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_.size();
}

std::shared_ptr<const ScriptedReply> TestHttpServer::Choose(const std::string& target) {
  std::lock_guard<std::mutex> lock(mutex_);
  const size_t query = target.find('?');
  const size_t name = target.find("name=", query == std::string::npos ? target.size() : query);
  if (name != std::string::npos) {
    const size_t end = target.find('&', name);
    auto it = fileReplies_.find(target.substr(name + 5, end == std::string::npos ? std::string::npos : end - name - 5));
    if (it != fileReplies_.end()) return it->second;
  }
  auto it = pathReplies_.find(target.substr(0, query));
  if (it != pathReplies_.end()) return it->second;
  return std::make_shared<const ScriptedReply>(ScriptedReply::NotFound());
}

void TestHttpServer::HandleInput(Client& client) {
  if (client.answered) return;
  const size_t end = client.in.find("\r\n\r\n");
  if (end == std::string::npos) return;
  size_t bodyLength = 0;
  const size_t header = client.in.find("Content-Length: ");
  if (header != std::string::npos && header < end) bodyLength = std::strtoul(client.in.c_str() + header + 16, nullptr, 10);
  if (client.in.size() < end + 4 + bodyLength) return;
  const std::string request = client.in.substr(0, end + 4 + bodyLength);
  client.in.erase(0, request.size());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    requests_.push_back(request);
  }
  const size_t first = request.find(' ');
  const size_t second = request.find(' ', first + 1);
  const std::string target = first == std::string::npos || second == std::string::npos
                                 ? ""
                                 : request.substr(first + 1, second - first - 1);
  client.reply = Choose(target);
  const ScriptedReply& reply = *client.reply;
  client.total = reply.head.size() + std::min(reply.body.size(), reply.bodyLimit);
  client.sent = 0;
  client.closeWhenSent = reply.bodyLimit != std::string::npos && reply.closeAtLimit;
  // A stalled reply never sends more; the client gives up on its own.
  client.answered = reply.bodyLimit != std::string::npos;
}

void TestHttpServer::Run() {
  std::list<Client> clients;
  while (!stop_) {
    std::vector<pollfd> fds;
    fds.push_back({wake_[0], POLLIN, 0});
    fds.push_back({listen_, POLLIN, 0});
    for (auto& c : clients) {
      short events = POLLIN;
      if (c.sent < c.total) events |= POLLOUT;
      fds.push_back({c.fd, events, 0});
    }
    if (::poll(fds.data(), fds.size(), 200) < 0) continue;
    if (fds[1].revents & POLLIN) {
      for (;;) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) break;
        clients.push_back(Client{fd, "", nullptr, 0, 0, false, false});
      }
    }
    size_t index = 2;
    for (auto it = clients.begin(); it != clients.end(); ++index) {
      Client& c = *it;
      bool drop = false;
      const short revents = index < fds.size() && fds[index].fd == c.fd ? fds[index].revents : 0;
      if (revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[65536];
        const ssize_t got = ::recv(c.fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
          drop = true;
        } else {
          c.in.append(buffer, static_cast<size_t>(got));
          HandleInput(c);
        }
      }
      if (!drop && c.sent < c.total && (revents & POLLOUT)) {
        const std::string& head = c.reply->head;
        const bool inHead = c.sent < head.size();
        const char* from = inHead ? head.data() + c.sent : c.reply->body.data() + (c.sent - head.size());
        const size_t left = inHead ? head.size() - c.sent : c.total - c.sent;
        const ssize_t put = ::send(c.fd, from, left, MSG_NOSIGNAL);
        if (put < 0 && errno != EAGAIN) drop = true;
        if (put > 0) c.sent += static_cast<size_t>(put);
      }
      if (!drop && c.sent == c.total && c.closeWhenSent) drop = true;
      if (drop) {
        ::close(c.fd);
        it = clients.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (auto& c : clients) ::close(c.fd);
}

}  // namespace ferrowtest
