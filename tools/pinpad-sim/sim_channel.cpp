#include "tools/pinpad-sim/sim_channel.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>

namespace pinpadsim {

PtyChannel::PtyChannel(std::string folder) : folder_(std::move(folder)) { Open(); }

PtyChannel::~PtyChannel() { Unplug(); }

bool PtyChannel::Open() {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0) return false;
  if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
    close(master_);
    master_ = -1;
    return false;
  }
  slave_ = ptsname(master_);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  // Holding the slave open ourselves keeps the pty from hanging up while
  // the PC closes and reopens its port (for a speed change).
  keep_slave_ = open(slave_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (keep_slave_ >= 0) {
    termios t{};
    tcgetattr(keep_slave_, &t);
    cfmakeraw(&t);
    tcsetattr(keep_slave_, TCSANOW, &t);
  }
  std::string link = linkPath();
  unlink(link.c_str());
  if (symlink(slave_.c_str(), link.c_str()) != 0) return false;
  return true;
}

int PtyChannel::Read(uint8_t* buffer, size_t size, int timeout_ms) {
  if (master_ < 0) {
    if (timeout_ms > 0) usleep(static_cast<useconds_t>(timeout_ms) * 1000);
    return 0;
  }
  pollfd p{master_, POLLIN, 0};
  int polled = poll(&p, 1, timeout_ms);
  if (polled <= 0) return 0;
  ssize_t got = read(master_, buffer, size);
  if (got < 0) return (errno == EAGAIN || errno == EINTR || errno == EIO) ? 0 : -1;
  return static_cast<int>(got);
}

bool PtyChannel::Write(const uint8_t* bytes, size_t count) {
  size_t done = 0;
  while (master_ >= 0 && done < count) {
    ssize_t n = write(master_, bytes + done, count - done);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) return false;
      pollfd p{master_, POLLOUT, 0};
      poll(&p, 1, 100);
      continue;
    }
    done += static_cast<size_t>(n);
  }
  return done == count;
}

int PtyChannel::LineSpeedIndex() const {
  if (master_ < 0) return -1;
  termios t{};
  if (tcgetattr(master_, &t) != 0) return -1;
  switch (cfgetospeed(&t)) {
    case B1200: return 1;
    case B2400: return 2;
    case B9600: return 4;
    case B19200: return 6;
    case B38400: return 7;
    case B57600: return 8;
    case B115200: return 9;
    default: return 4;
  }
}

void PtyChannel::Unplug() {
  unlink(linkPath().c_str());
  if (keep_slave_ >= 0) close(keep_slave_);
  if (master_ >= 0) close(master_);
  keep_slave_ = -1;
  master_ = -1;
}

bool PtyChannel::Replug() {
  Unplug();
  return Open();
}

TcpChannel::TcpChannel(uint16_t port) {
  listen_ = socket(AF_INET, SOCK_STREAM, 0);
  int on = 1;
  setsockopt(listen_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  a.sin_port = htons(port);
  if (bind(listen_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || listen(listen_, 4) != 0) {
    close(listen_);
    listen_ = -1;
    return;
  }
  socklen_t length = sizeof a;
  getsockname(listen_, reinterpret_cast<sockaddr*>(&a), &length);
  port_ = ntohs(a.sin_port);
}

TcpChannel::~TcpChannel() {
  Unplug();
  if (listen_ >= 0) close(listen_);
}

int TcpChannel::Read(uint8_t* buffer, size_t size, int timeout_ms) {
  if (peer_ < 0) {
    pollfd p{listen_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return 0;
    peer_ = accept(listen_, nullptr, nullptr);
    return 0;
  }
  pollfd p{peer_, POLLIN, 0};
  if (poll(&p, 1, timeout_ms) <= 0) return 0;
  ssize_t got = recv(peer_, buffer, size, 0);
  if (got <= 0) {
    Unplug();  // the PC went away: wait for the next connection
    return 0;
  }
  return static_cast<int>(got);
}

bool TcpChannel::Write(const uint8_t* bytes, size_t count) {
  if (peer_ < 0) return false;
  size_t done = 0;
  while (done < count) {
    ssize_t n = send(peer_, bytes + done, count - done, MSG_NOSIGNAL);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

void TcpChannel::Unplug() {
  if (peer_ >= 0) close(peer_);
  peer_ = -1;
}

}  // namespace pinpadsim
