#include "molvex/link/rs232.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "src/pc/comm_log.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr int kWriteReadyWaitMs = 3000;
constexpr int kSockTimeoutUnread = -1;

int& CachedSockTimeout() {
  static int value = kSockTimeoutUnread;
  return value;
}

speed_t SpeedCode(uint32_t speed) {
  switch (speed) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;  // 300, 4,800, 14,400 and 0 as well
  }
}

tcflag_t CharacterSize(uint8_t bits) {
  switch (bits) {
    case 5: return CS5;
    case 6: return CS6;
    case 7: return CS7;
    default: return CS8;
  }
}

// A device that has gone away (unplugged USB, closed pseudo-terminal).
bool DeviceGone(int error) { return error == EIO || error == ENXIO || error == ENODEV; }

}  // namespace

uint32_t SerialReadTimeoutMs() {
  int& cached = CachedSockTimeout();
  if (cached == kSockTimeoutUnread) {
    char text[32];
    pcc_GetIniStringSize("pinpad.ini", "SockTimeout", text, sizeof text);
    long value = std::strtol(text, nullptr, 10);
    if (value < 0) value = 0;
    // The wait is a number of microseconds below one second.
    if (value > 999) value = 999;
    cached = static_cast<int>(value);
  }
  return static_cast<uint32_t>(cached);
}

void ResetSerialReadTimeoutForTests() { CachedSockTimeout() = kSockTimeoutUnread; }

TLinRS232Connection::TLinRS232Connection(int fd, uint16_t port) : fd_(fd), port_(port) {
  usb_ = (port > 99 || port == 9) ? 1 : 0;
}

TLinRS232Connection::~TLinRS232Connection() {
  if (fd_ >= 0) {
    close(fd_);
    LogCommData(port_, '-', nullptr, 0);
  }
}

void TLinRS232Connection::ReportFailure(int error, const char* what) {
  lastError_ = static_cast<uint32_t>(error);
  char line[128];
  std::snprintf(line, sizeof line, "Err %d %s COM port", error, what);
  ReportString("%s", line);
  LogCommData(port_, 'e', line, std::strlen(line));
  ReportError("%s", line);
}

int32_t TLinRS232Connection::Send(const uint8_t* bytes, uint32_t count) {
  pollfd ready{fd_, POLLOUT, 0};
  int polled;
  do {
    polled = poll(&ready, 1, kWriteReadyWaitMs);
  } while (polled < 0 && errno == EINTR);
  if (polled < 0 || (polled > 0 && (ready.revents & (POLLERR | POLLNVAL | POLLHUP)) && !(ready.revents & POLLOUT))) {
    int error = polled < 0 ? errno : EIO;
    ReportFailure(error, "wait for writing to");
    return (polled > 0 && (ready.revents & POLLHUP)) ? -2 : -1;
  }
  if (polled == 0) {
    ReportFailure(254, "expired timeout to write to");
    return 0;
  }
  ssize_t written = write(fd_, bytes, count);
  if (written < 0) {
    int error = errno;
    ReportFailure(error, "write to");
    return DeviceGone(error) ? -2 : -1;
  }
  // A lone control byte must have left the line before the next read starts.
  if (written == 1 && tcdrain(fd_) != 0) ReportFailure(errno, "tcdrain");
  if (written > 0) LogCommData(port_, '>', bytes, static_cast<size_t>(written));
  return static_cast<int32_t>(written);
}

int32_t TLinRS232Connection::Receive(uint8_t* buffer, uint32_t size) {
  pollfd state{fd_, POLLPRI, 0};
  if (poll(&state, 1, 0) > 0 && (state.revents & (POLLPRI | POLLNVAL))) {
    ReportFailure(state.revents & POLLNVAL ? EBADF : EIO, "recv from");
    return -1;
  }
  pollfd input{fd_, POLLIN, 0};
  int polled;
  do {
    polled = poll(&input, 1, static_cast<int>(SerialReadTimeoutMs()));
  } while (polled < 0 && errno == EINTR);
  if (polled <= 0) return 0;
  if (size == 0) return 0;
  ssize_t got = read(fd_, buffer, size);
  if (got == 0) return -2;  // the device went away
  if (got < 0) {
    if (errno == EAGAIN || errno == EINTR) return 0;
    return DeviceGone(errno) ? -2 : -1;
  }
  LogCommData(port_, '<', buffer, static_cast<size_t>(got));
  return static_cast<int32_t>(got);
}

uint16_t TLinRS232Interface::Connect(const TRs232Params& params, std::unique_ptr<IConnection>* connection) {
  char path[256];
  GetDevicePort(params.port, path, sizeof path);
  int fd = path[0] != '\0' ? open(path, O_RDWR | O_NOCTTY | O_NONBLOCK) : -1;
  if (fd < 0) {
    int error = path[0] != '\0' ? errno : ENOENT;
    char line[320];
    std::snprintf(line, sizeof line, "Err %d opening %s port", error, path[0] != '\0' ? path : "NONE");
    ReportString("%s", line);
    LogCommData(params.port, 'e', line, std::strlen(line));
    return 253;
  }
  if (params.port > 99) pcc_SetIniString("pinpad.ini", "UsbPortPath", path);

  termios settings;
  std::memset(&settings, 0, sizeof settings);
  speed_t code = SpeedCode(params.speed);
  cfsetispeed(&settings, code);
  cfsetospeed(&settings, code);
  settings.c_cflag |= CREAD | CLOCAL;
  if (params.parity == 'O') {
    settings.c_cflag |= PARENB | PARODD;
  } else if (params.parity != 'N') {
    settings.c_cflag |= PARENB;
  }
  if (params.stopBits == 2) settings.c_cflag |= CSTOPB;
  settings.c_cflag |= CharacterSize(params.dataBits);
  settings.c_iflag = INPCK;
  settings.c_oflag = 0;
  settings.c_lflag = 0;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  tcsetattr(fd, TCSANOW, &settings);
  tcgetattr(fd, &settings);

  LogCommData(params.port, '+', nullptr, 0);
  *connection = std::make_unique<TLinRS232Connection>(fd, params.port);
  return 0;
}
