#include "pinpad_wire.h"

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

#include "molvex/link/base64.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"

namespace pinpadsim {

namespace {

using Clock = std::chrono::steady_clock;

int Remaining(Clock::time_point end) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

std::vector<uint8_t> Image(const WireMessage& m) {
  std::vector<uint8_t> image(7 + m.data.size());
  image[0] = m.command;
  image[1] = static_cast<uint8_t>(m.data.size());
  image[2] = static_cast<uint8_t>(m.data.size() >> 8);
  for (int i = 0; i < 4; ++i) image[3 + i] = static_cast<uint8_t>(m.id >> (8 * i));
  std::copy(m.data.begin(), m.data.end(), image.begin() + 7);
  return image;
}

bool FromImage(const std::vector<uint8_t>& image, WireMessage& m) {
  if (image.size() < 7) return false;
  size_t length = image[1] | (image[2] << 8);
  if (image.size() != length + 7) return false;
  m.command = image[0];
  m.id = image[3] | (image[4] << 8) | (image[5] << 16) | (static_cast<uint32_t>(image[6]) << 24);
  m.data.assign(image.begin() + 7, image.end());
  return true;
}

}  // namespace

PinpadWire::~PinpadWire() { Close(); }

bool PinpadWire::Open(const std::string& linkPath, std::string* error) {
  master_ = posix_openpt(O_RDWR | O_NOCTTY);
  if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) {
    *error = "no pseudo-terminal";
    return false;
  }
  device_ = ptsname(master_);
  fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  link_ = linkPath;
  unlink(link_.c_str());
  if (symlink(device_.c_str(), link_.c_str()) != 0) {
    *error = "cannot create " + link_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

void PinpadWire::Close() {
  if (!link_.empty()) unlink(link_.c_str());
  link_.clear();
  if (master_ >= 0) close(master_);
  master_ = -1;
}

bool PinpadWire::WriteAll(const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EAGAIN || errno == EINTR) {
        pollfd p{master_, POLLOUT, 0};
        poll(&p, 1, 50);
        continue;
      }
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

int PinpadWire::ReadByte(int timeoutMs) {
  if (pos_ < pending_.size()) return pending_[pos_++];
  pending_.clear();
  pos_ = 0;
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    uint8_t chunk[4096];
    ssize_t got = read(master_, chunk, sizeof chunk);
    if (got > 0) {
      pending_.assign(chunk, chunk + got);
      return pending_[pos_++];
    }
    int left = Remaining(end);
    if (left == 0) return -1;
    // A closed peer makes the master readable with an error: wait in small steps then.
    pollfd p{master_, POLLIN, 0};
    int polled = poll(&p, 1, left < 20 ? left : 20);
    if (polled > 0 && (p.revents & POLLIN) == 0) usleep(10000);
  }
}

bool PinpadWire::ReadFrame(uint8_t* type, std::vector<uint8_t>& text, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int b;
  do {
    b = ReadByte(Remaining(end));
    if (b < 0) return false;
  } while (b != pplink::STX);
  b = ReadByte(1500);
  if (b < 0) return false;
  *type = static_cast<uint8_t>(b);
  text.clear();
  while ((b = ReadByte(1500)) >= 0 && b != pplink::ETX) text.push_back(static_cast<uint8_t>(b));
  return b == pplink::ETX;
}

bool PinpadWire::Send(const WireMessage& message) {
  std::vector<uint8_t> image = Image(message);
  if (message.kind == '!' || message.kind == '?') {
    std::vector<uint8_t> frame;
    if (message.kind == '?') {
      pplink::MakeFastFrame(image.data(), image.size(), frame);
    } else {
      uint8_t inline_space[600];
      common::UBaseArrayT<uint8_t> array(inline_space, sizeof inline_space, 0);
      if (image.size() > 255 || !pplink::MakeTypedFrame(array, pplink::kInfoFrame, 0, image.data(),
                                                        static_cast<uint8_t>(image.size()))) {
        return false;
      }
      frame.assign(array.Data(), array.Data() + array.Length());
    }
    return WriteAll(frame);
  }
  size_t offset = 0;
  uint8_t number = 0;
  do {
    size_t n = std::min<size_t>(255, image.size() - offset);
    bool more = offset + n < image.size();
    uint8_t sequence = static_cast<uint8_t>(number | (more ? pplink::kMoreFrames : 0));
    uint8_t inline_space[600];
    common::UBaseArrayT<uint8_t> array(inline_space, sizeof inline_space, 0);
    if (!pplink::MakeTypedFrame(array, pplink::kDataFrame, sequence, image.data() + offset, static_cast<uint8_t>(n))) {
      return false;
    }
    std::vector<uint8_t> frame(array.Data(), array.Data() + array.Length());
    int tries = 0;
    for (;;) {
      if (!WriteAll(frame)) return false;
      int answer = -1;
      // Wait for a control byte; anything else on the line is dropped.
      const auto end = Clock::now() + std::chrono::milliseconds(2000);
      while (Remaining(end) > 0) {
        int c = ReadByte(Remaining(end));
        if (c < 0) break;
        if (pplink::IsControlCode(static_cast<uint8_t>(c))) {
          answer = c;
          break;
        }
      }
      if (answer == pplink::NAK && ++tries < 3) continue;
      if (answer == pplink::ACK || answer == pplink::BEL || answer == pplink::EOT) break;
      return false;
    }
    offset += n;
    number = static_cast<uint8_t>(number % 127 + 1);
  } while (offset < image.size());
  return true;
}

bool PinpadWire::Receive(WireMessage& message, int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<uint8_t> image;
  bool ack = true;
  for (;;) {
    uint8_t type = 0;
    std::vector<uint8_t> text;
    int left = image.empty() ? Remaining(end) : 2500;
    if (!ReadFrame(&type, text, left)) return false;
    if (type == pplink::kFastFrame) {
      std::vector<uint8_t> decoded(text.size());
      long n = pplink::Base64Decode(text.data(), text.size(), decoded.data(), decoded.size());
      if (n < 0) continue;
      decoded.resize(static_cast<size_t>(n));
      message.kind = '?';
      if (FromImage(decoded, message)) return true;
      continue;
    }
    if (type != pplink::kDataFrame && type != pplink::kInfoFrame) continue;
    uint8_t sequence = 0;
    uint8_t payload[255];
    int n = pplink::DecodeTypedFrameText(text.data(), text.size(), &sequence, payload);
    if (n < 0) {
      if (type == pplink::kDataFrame) WriteAll({pplink::NAK});
      continue;
    }
    if (type == pplink::kInfoFrame) {
      std::vector<uint8_t> info(payload, payload + n);
      message.kind = '!';
      if (FromImage(info, message)) return true;
      continue;
    }
    if ((sequence & 0x7F) == 0) {
      image.clear();
      ack = true;
    }
    image.insert(image.end(), payload, payload + n);
    if (sequence & pplink::kMoreFrames) {
      WriteAll({ack ? pplink::ACK : pplink::BEL});
      ack = !ack;
      continue;
    }
    WriteAll({pplink::EOT});
    message.kind = '#';
    if (FromImage(image, message)) return true;
    image.clear();
  }
}

bool PinpadWire::PeerAttached() {
  // The master end hangs up while nobody holds the device open.
  pollfd p{master_, POLLIN, 0};
  poll(&p, 1, 0);
  return (p.revents & POLLHUP) == 0;
}

bool PinpadWire::AwaitReopen(int timeoutMs) {
  const auto end = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (PeerAttached()) {
    if (Remaining(end) == 0) return false;
    usleep(5000);
  }
  while (!PeerAttached()) {
    if (Remaining(end) == 0) return false;
    usleep(5000);
  }
  // Whatever the old opener left unread belongs to nobody now.
  pending_.clear();
  pos_ = 0;
  uint8_t drop[512];
  while (read(master_, drop, sizeof drop) > 0) {
  }
  return true;
}

}  // namespace pinpadsim
