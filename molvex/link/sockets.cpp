#include "molvex/link/sockets.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "src/pc/report.h"

namespace {

constexpr int kTrafficLog = 2;
constexpr int kPollLog = 3;
constexpr int kSendPasses = 25;

void CloseSocket(int socket, const char* what) {
  close(socket);
  ReportStringEx(kTrafficLog, "%s", what);
}

}  // namespace

TSocketConnection::TSocketConnection(int socket, bool outgoing)
    : socket_(socket), state_(outgoing ? kConnConnecting : kConnListening) {
  if (!outgoing) listenSocket_ = socket;
}

TSocketConnection::~TSocketConnection() {
  // A listening socket belongs to the interface's map.
  if (socket_ >= 0 && socket_ != listenSocket_) CloseSocket(socket_, "closesocket 4");
}

void TSocketConnection::CheckSocketState(int direction) {
  errorFlag_ = 0;
  readyToSend_ = 0;
  readyToReceive_ = 0;
  pollfd fds{socket_, static_cast<short>(direction == 0 ? POLLIN : POLLOUT), 0};
  int wait = static_cast<int>(direction == 0 ? recvWaitMs_ : sendWaitMs_);
  int polled;
  do {
    polled = poll(&fds, 1, wait);
  } while (polled < 0 && errno == EINTR);
  if (polled > 0) {
    errorFlag_ = (fds.revents & (POLLERR | POLLNVAL | POLLHUP)) ? 1 : 0;
    readyToSend_ = (fds.revents & POLLOUT) ? 1 : 0;
    readyToReceive_ = (fds.revents & POLLIN) ? 1 : 0;
  } else if (polled < 0) {
    errorFlag_ = 1;
  }
  if (!errorFlag_) return;
  int system_error = errno;
  ReportStringEx(kPollLog, "fds[0].events: %04X", static_cast<unsigned>(fds.events));
  ReportStringEx(kPollLog, "fds[1].revents: %04X", static_cast<unsigned>(fds.revents));
  const char* side = direction == 0 ? "In" : "Out";
  if (fds.revents & POLLNVAL) ReportStringEx(kPollLog, "%s: POLLNVAL", side);
  if (fds.revents & POLLERR) ReportStringEx(kPollLog, "%s: POLLERR", side);
  if (fds.revents & POLLHUP) ReportStringEx(kPollLog, "%s: POLLHUP", side);
  if (readyToSend_) ReportStringEx(kPollLog, "bReadyToSend");
  if (readyToReceive_) ReportStringEx(kPollLog, "bReadyToReceive");
  lastError_ = 253;
  const char* what = state_ == kConnConnecting  ? "connecting socket is in the error state"
                     : state_ == kConnListening ? "listening socket is in error state"
                                                : "socket is in the error state";
  ReportString("%s (%d)", what, system_error);
  state_ = kConnClosed;
}

int32_t TSocketConnection::GetState() {
  if (state_ == kConnConnecting) {
    CheckSocketState(1);
    if (errorFlag_) {
      state_ = kConnClosed;
    } else if (readyToSend_) {
      int pending = 0;
      socklen_t length = sizeof pending;
      if (getsockopt(socket_, SOL_SOCKET, SO_ERROR, &pending, &length) != 0) pending = errno;
      state_ = pending == 0 ? kConnConnected : kConnClosed;
    }
  } else if (state_ == kConnListening) {
    CheckSocketState(0);
    if (errorFlag_) {
      state_ = kConnClosed;
    } else if (readyToReceive_) {
      sockaddr_in peer{};
      socklen_t length = sizeof peer;
      int accepted = accept(socket_, reinterpret_cast<sockaddr*>(&peer), &length);
      if (accepted >= 0) {
        int flags = fcntl(accepted, F_GETFL, 0);
        fcntl(accepted, F_SETFL, flags | O_NONBLOCK);
        socket_ = accepted;  // the listening socket stays in the interface's map
        peerAddress_ = peer.sin_addr.s_addr;
        state_ = kConnConnected;
      }
    }
  }
  return state_;
}

int32_t TSocketConnection::Send(const uint8_t* bytes, uint32_t count) {
  if (count > sendBufferSize_) {
    ReportStringEx(kTrafficLog, "MaxSendBufferSize = %i", static_cast<int>(count));
    int current = 0;
    socklen_t length = sizeof current;
    getsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &current, &length);
    ReportStringEx(kTrafficLog, "so_sndbuf: %i", current);
    int wanted = static_cast<int>(count);
    if (setsockopt(socket_, SOL_SOCKET, SO_SNDBUF, &wanted, sizeof wanted) == 0) {
      ReportStringEx(kTrafficLog, "setsockopt (MaxSendBufferSize = %i)", wanted);
    } else {
      ReportStringEx(kTrafficLog, "ERROR: setsockopt MaxSendBufferSize");
    }
    sendBufferSize_ = count;
  }
  uint32_t sent = 0;
  int32_t last = 0;
  bool error_seen = false;
  if (count != 0 && bytes != nullptr && state_ != kConnClosed) {
    for (int pass = 0; pass < kSendPasses && sent < count; ++pass) {
      CheckSocketState(1);
      if (errorFlag_) {
        error_seen = true;
        break;
      }
      if (!readyToSend_) continue;
      ssize_t result = send(socket_, bytes + sent, count - sent, MSG_NOSIGNAL);
      last = static_cast<int32_t>(result);
      ReportStringEx(kTrafficLog, "send S=%u, l=%i, r=%i", static_cast<unsigned>(socket_),
                     static_cast<int>(count - sent), static_cast<int>(result));
      if (result < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        error_seen = true;
        break;
      }
      sent += static_cast<uint32_t>(result);
    }
  }
  if (sent == count && count != 0 && !error_seen) return static_cast<int32_t>(count);
  ReportStringEx(kTrafficLog, "send S=%u, l=%i, r=%i, res=%d, has err=%d", static_cast<unsigned>(socket_),
                 static_cast<int>(count), static_cast<int>(sent), static_cast<int>(last), error_seen ? 1 : 0);
  ReportString("%s", sent != count || count == 0 ? "send buffer is overflowed" : "send");
  lastError_ = 253;
  state_ = kConnClosed;
  return -1;
}

int32_t TSocketConnection::Receive(uint8_t* buffer, uint32_t size) {
  // A connection that has failed or whose peer has gone stays closed: the
  // peer's end is reported once.
  if (state_ == kConnClosed) return -1;
  CheckSocketState(0);
  if (errorFlag_) return -1;
  if (!readyToReceive_) return 0;
  ssize_t got = recv(socket_, buffer, size, 0);
  ReportStringEx(kTrafficLog, "recv S=%u,  ml=%i ,r=%i", static_cast<unsigned>(socket_), static_cast<int>(size),
                 static_cast<int>(got));
  if (got == 0 && size != 0) {
    ReportStringEx(kTrafficLog, "recv1");
    lastError_ = 253;
    state_ = kConnClosed;
    return -2;
  }
  if (got < 0) {
    if (errno == EAGAIN || errno == EINTR) return 0;
    ReportStringEx(kTrafficLog, "recv2");
    lastError_ = 253;
    state_ = kConnClosed;
    return -3;
  }
  return static_cast<int32_t>(got);
}

int TLinEthernetConnection::GetSystemError() const { return errno; }

TSocketInterface::~TSocketInterface() { Close(); }

void TSocketInterface::Close() {
  for (auto& [port, socket] : listening_) close(socket);
  listening_.clear();
}

int TSocketInterface::CreateSocket() {
  int s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s < 0) {
    ReportString("socket (%d)", errno);
    return -1;
  }
  SetNonblockingMode(s);
  int on = 1;
  setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  return s;
}

uint16_t TSocketInterface::Call(const T_Addr_Params& address, std::unique_ptr<IConnection>* connection) {
  int s = CreateSocket();
  if (s < 0) return 253;
  sockaddr_in target{};
  target.sin_family = AF_INET;
  std::memcpy(&target.sin_addr.s_addr, address.address, 4);
  target.sin_port = htons(address.port);
  if (connect(s, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0 && errno != EALREADY &&
      errno != EINPROGRESS) {
    ReportString("connect (%d)", errno);
    CloseSocket(s, "closesocket 3");
    return 253;
  }
  std::snprintf(name_, sizeof name_, "sock%010lu.txt", static_cast<unsigned long>(s));
  *connection = CreateSocketConnection(s, true, name_, nullptr);
  return 0;
}

uint16_t TSocketInterface::Listen(uint16_t port, std::unique_ptr<IConnection>* connection) {
  auto found = listening_.find(port);
  int s;
  if (found != listening_.end()) {
    s = found->second;
  } else {
    s = CreateSocket();
    if (s < 0) return 253;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    local.sin_port = htons(port);
    if (bind(s, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
      ReportString("bind (%d)", errno);
      CloseSocket(s, "closesocket 1");
      return 253;
    }
    if (listen(s, 1) != 0) {
      ReportString("listen (%d)", errno);
      CloseSocket(s, "closesocket 2");
      return 253;
    }
    listening_[port] = s;
  }
  *connection = CreateSocketConnection(s, false, name_, nullptr);
  return 0;
}

uint16_t TLinEthernetInterface::GetSelfParams(T_Self_Params* params) {
  if (params == nullptr) return 253;
  *params = T_Self_Params{};
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return 253;
  uint16_t result = 253;
  for (ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_name == nullptr || std::strcmp(entry->ifa_name, "eth0") != 0) continue;
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if (entry->ifa_netmask == nullptr) break;
    params->address = reinterpret_cast<sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr;
    params->mask = reinterpret_cast<sockaddr_in*>(entry->ifa_netmask)->sin_addr.s_addr;
    result = 0;
    break;
  }
  freeifaddrs(list);
  return result;
}

void TLinEthernetInterface::SetNonblockingMode(int socket) {
  int flags = fcntl(socket, F_GETFL, 0);
  fcntl(socket, F_SETFL, flags | O_NONBLOCK);
}

std::unique_ptr<IConnection> TLinEthernetInterface::CreateSocketConnection(int socket, bool outgoing, const char*,
                                                                           void*) {
  return std::make_unique<TLinEthernetConnection>(socket, outgoing);
}

int TLinEthernetInterface::GetSystemError() { return errno; }
