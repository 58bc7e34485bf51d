#include "connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "paths.h"
#include "system.h"
#include "text.h"

namespace {
constexpr int kSocketBufferSize = 250000;
constexpr uint32_t kSendStallMs = 90000;
}

std::unique_ptr<TSocketConnection> TSocketConnection::Connect(uint32_t address, uint16_t port, bool trace,
                                                              Error& error) {
  error = Error();
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    error = Error(ferrow_errors::kSocketCreate);
    error.AddSubError(static_cast<uint32_t>(errno));
    return nullptr;
  }
  const int flags = ::fcntl(fd, F_GETFL, 0);
  ::fcntl(fd, F_SETFL, flags | O_NONBLOCK);
  const int one = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  const int size = kSocketBufferSize;
  ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);

  sockaddr_in peer {};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(port);
  peer.sin_addr.s_addr = htonl(address);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&peer), sizeof peer) != 0 && errno != EINPROGRESS &&
      errno != EALREADY) {
    error = Error(ferrow_errors::kSocketConnectException);
    error.AddSubError(static_cast<uint32_t>(errno));
    ::close(fd);
    return nullptr;
  }
  std::unique_ptr<TFileSystem> traceFolder;
  if (trace) traceFolder = std::make_unique<TFileSystem>(pcc_GetPath(PathToLog));
  char text[INET_ADDRSTRLEN] = {};
  ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
  return std::unique_ptr<TSocketConnection>(
      new TSocketConnection(fd, std::move(traceFolder), ferrow_text::Format("%s:%u", text, port)));
}

TSocketConnection::TSocketConnection(int fd, std::unique_ptr<TFileSystem> traceFolder, std::string peer)
    : TLoggerToFile(ferrow_text::Format("sock%010lu.txt", static_cast<unsigned long>(fd)), traceFolder.get(), 0),
      fd_(fd),
      traceFolder_(std::move(traceFolder)),
      peer_(std::move(peer)) {
  socklen_t length = sizeof sendBufferSize_;
  ::getsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &sendBufferSize_, &length);
}

TSocketConnection::~TSocketConnection() {
  if (fd_ >= 0) {
    ::close(fd_);
    LogData(T_LE_Disconnected());
  }
}

void TSocketConnection::Fail(uint32_t code, int systemError) {
  state_ = CONNECTION_CLOSED;
  lastError_ = Error(code);
  systemError_ = systemError;
  if (systemError != 0) lastError_.AddSubError(static_cast<uint32_t>(systemError));
  LogData(T_LE_ComError(code));
}

int TSocketConnection::GetState() {
  if (state_ == CONNECTION_CLOSED) return state_;
  pollfd p {fd_, static_cast<short>(POLLOUT | POLLPRI), 0};
  if (::poll(&p, 1, 0) <= 0) return state_;
  if (p.revents & POLLPRI) {
    // An exception condition fails the connection.
    Fail(state_ == CONNECTION_CONNECTING ? ferrow_errors::kSocketConnectException : ferrow_errors::kSocketClosed, 0);
    return state_;
  }
  if (state_ == CONNECTION_CONNECTING && (p.revents & (POLLOUT | POLLERR | POLLHUP))) {
    int pending = 0;
    socklen_t length = sizeof pending;
    ::getsockopt(fd_, SOL_SOCKET, SO_ERROR, &pending, &length);
    if (pending == 0 && (p.revents & POLLOUT)) {
      state_ = CONNECTION_CONNECTED;
      LogData(T_LE_Connected());
    } else {
      state_ = CONNECTION_CLOSED;
      systemError_ = pending;
      if (pending != 0) {
        lastError_ = Error(ferrow_errors::kSocketConnectException);
        lastError_.AddSubError(static_cast<uint32_t>(pending));
      }
      LogData(T_LE_ComError(lastError_.GetCode()));
    }
  }
  return state_;
}

int32_t TSocketConnection::Send(const void* data, size_t length) {
  if (state_ != CONNECTION_CONNECTED) return state_ == CONNECTION_CLOSED ? -1 : 0;
  pollfd p {fd_, POLLOUT, 0};
  if (::poll(&p, 1, 0) <= 0 || !(p.revents & (POLLOUT | POLLERR | POLLHUP))) return 0;
  if (length > static_cast<size_t>(sendBufferSize_) && length <= 0x7fffffff) {
    int wanted = static_cast<int>(length);
    ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted);
    sendBufferSize_ = wanted;
  }
  const ssize_t sent = ::send(fd_, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent < 0) {
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
    Fail(ferrow_errors::kSocketIo, errno);
    return -1;
  }
  if (IsLogging()) LogData(T_LE_Sent(std::string(static_cast<const char*>(data), static_cast<size_t>(sent))));
  return static_cast<int32_t>(sent);
}

int32_t TSocketConnection::Receive(void* buffer, size_t length) {
  if (state_ != CONNECTION_CONNECTED) return state_ == CONNECTION_CLOSED ? -1 : 0;
  // A read that would block is "nothing yet"; this asks the socket once
  // instead of testing readiness first and reading second.
  const ssize_t got = ::recv(fd_, buffer, length, MSG_DONTWAIT);
  if (got > 0) {
    if (IsLogging()) LogData(T_LE_Received(std::string(static_cast<const char*>(buffer), static_cast<size_t>(got))));
    return static_cast<int32_t>(got);
  }
  if (got == 0) {
    if (length == 0) return 0;
    Fail(ferrow_errors::kSocketClosed, 0);
    return -1;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) return 0;
  Fail(ferrow_errors::kSocketIo, errno);
  return -1;
}

TBufferedConnection::TBufferedConnection(std::unique_ptr<IConnection> connection)
    : connection_(std::move(connection)) {}

int32_t TBufferedConnection::Send(const void* data, size_t length) {
  // A peer that stops taking bytes must not hold the client for ever: after
  // the stall limit without progress the partial count goes back and the
  // caller reports the request as not sent.
  const char* p = static_cast<const char*>(data);
  int64_t total = 0;
  const uint64_t stallLimit = ApplyTestTimeoutCap(kSendStallMs);
  uint64_t lastProgress = TSystem::GetTimeMSec();
  while (static_cast<size_t>(total) < length) {
    const int32_t taken = connection_->Send(p + total, length - static_cast<size_t>(total));
    if (taken < 0) break;
    if (taken == 0) {
      if (TSystem::GetTimeMSec() - lastProgress >= stallLimit) break;
      TSystem::Idle(connection_->GetDescriptor(), true);
      continue;
    }
    lastProgress = TSystem::GetTimeMSec();
    total += taken;
  }
  return static_cast<int32_t>(total);
}

int32_t TBufferedConnection::Receive(void* buffer, size_t length) {
  if (count_ < 0) return -1;
  if (HasBufferedData()) {
    const size_t available = static_cast<size_t>(count_) - position_;
    const size_t n = length < available ? length : available;
    std::memcpy(buffer, buffer_ + position_, n);
    position_ += n;
    return static_cast<int32_t>(n);
  }
  if (length >= kDirectReadFrom) {
    const int32_t got = connection_->Receive(buffer, length);
    if (got < 0) count_ = -1;
    return got;
  }
  count_ = connection_->Receive(buffer_, kBufferSize);
  position_ = 0;
  return count_ < 0 ? -1 : 0;
}

void TBufferedConnection::FlushInputData() {
  char byte;
  while (connection_->Receive(&byte, 1) > 0) {
  }
  count_ = 0;
  position_ = 0;
}

Error TSocketInterface::Resolve(const std::string&, uint32_t& address) {
  // This interface does not resolve names.
  address = 0;
  return Error(ferrow_errors::kHostName);
}

std::unique_ptr<IConnection> TSocketInterface::Connect(uint32_t address, uint16_t port, Error& error) {
  return TSocketConnection::Connect(address, port, trace_, error);
}
