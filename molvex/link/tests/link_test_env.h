// Test environment of the link: a temporary working and ini folder, the
// link's process-wide state reset, pseudo-terminals and a scripted peer
// that plays the PIN pad's side of a pty byte by byte.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "molvex/link/base64.h"
#include "molvex/link/device_access.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"
#include "molvex/link/message_link.h"
#include "molvex/link/numbered_connections.h"
#include "molvex/link/pinpad_test.h"
#include "molvex/link/port_discovery.h"
#include "molvex/link/port_service.h"
#include "molvex/link/rs232.h"
#include "molvex/platform/device_layer.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"
#include "test_support.h"

namespace linktest {

// A pseudo-terminal: the master end is the peer's, the slave path is the "device".
class Pty {
 public:
  Pty() {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    grantpt(master_);
    unlockpt(master_);
    path_ = ptsname(master_);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
  }
  ~Pty() { Close(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;
  void Close() {
    if (master_ >= 0) close(master_);
    master_ = -1;
  }
  int master() const { return master_; }
  const std::string& path() const { return path_; }
  // The speed the device side was set to.
  speed_t speed() const {
    termios t{};
    tcgetattr(master_, &t);
    return cfgetospeed(&t);
  }

 private:
  int master_ = -1;
  std::string path_;
};

// The PIN pad's side of a pty, one byte at a time.
class Peer {
 public:
  explicit Peer(int fd) : fd_(fd) {}

  int ReadByte(int timeout_ms = 3000) {
    if (pos_ < buf_.size()) return buf_[pos_++];
    buf_.clear();
    pos_ = 0;
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, timeout_ms) <= 0) return -1;
    uint8_t chunk[4096];
    ssize_t got = read(fd_, chunk, sizeof chunk);
    if (got <= 0) return -1;
    buf_.assign(chunk, chunk + got);
    return buf_[pos_++];
  }
  void Write(const std::vector<uint8_t>& bytes) { ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), (ssize_t)bytes.size()); }
  void Write(uint8_t byte) { Write(std::vector<uint8_t>{byte}); }

  struct Frame {
    uint8_t type = 0;
    int sequence = -1;  // -1: damaged
    std::vector<uint8_t> payload;
    std::vector<uint8_t> raw;
  };
  // The next frame (bytes outside frames are dropped); false on silence.
  bool ReadFrame(Frame& frame, int timeout_ms = 3000) {
    frame = Frame{};
    int b;
    do {
      b = ReadByte(timeout_ms);
      if (b < 0) return false;
    } while (b != pplink::STX);
    frame.raw.push_back(pplink::STX);
    while ((b = ReadByte(timeout_ms)) >= 0) {
      frame.raw.push_back(static_cast<uint8_t>(b));
      if (b == pplink::ETX) break;
    }
    if (b < 0) return false;
    frame.type = frame.raw[1];
    if (frame.type == pplink::kDataFrame || frame.type == pplink::kInfoFrame) {
      uint8_t seq = 0;
      uint8_t payload[255];
      int n = pplink::DecodeTypedFrameText(frame.raw.data() + 2, frame.raw.size() - 3, &seq, payload);
      if (n >= 0) {
        frame.sequence = seq;
        frame.payload.assign(payload, payload + n);
      }
    } else if (frame.type == pplink::kFastFrame) {
      std::vector<uint8_t> image(frame.raw.size());
      long n = pplink::Base64Decode(frame.raw.data() + 2, frame.raw.size() - 3, image.data(), image.size());
      if (n >= 0) frame.payload.assign(image.begin(), image.begin() + n);
    } else {
      int second = ReadByte(timeout_ms);  // legacy frames end with two ETX
      if (second >= 0) frame.raw.push_back(static_cast<uint8_t>(second));
      size_t digits = frame.raw.size() >= 5 ? frame.raw.size() - 5 : 0;
      for (size_t i = 0; i < digits / 2; ++i) {
        uint8_t v = 0;
        pplink::HexPair(frame.raw[1 + 2 * i], frame.raw[2 + 2 * i], &v);
        frame.payload.push_back(v);
      }
    }
    return true;
  }

  static std::vector<uint8_t> DataFrame(uint8_t sequence, const std::vector<uint8_t>& payload,
                                        uint8_t type = pplink::kDataFrame) {
    common::UBaseArrayT<uint8_t> array;
    pplink::MakeTypedFrame(array, type, sequence, payload.data(), static_cast<uint8_t>(payload.size()));
    return std::vector<uint8_t>(array.Data(), array.Data() + array.Length());
  }
  static std::vector<uint8_t> LegacyFrame(const std::vector<uint8_t>& payload) {
    std::vector<uint8_t> out;
    pplink::MakeLegacyFrame(payload.data(), payload.size(), out);
    return out;
  }
  // The wire image of a message of the current protocol.
  static std::vector<uint8_t> Image(uint8_t command, uint32_t id, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> image = {command, static_cast<uint8_t>(data.size()), static_cast<uint8_t>(data.size() >> 8),
                                  static_cast<uint8_t>(id), static_cast<uint8_t>(id >> 8),
                                  static_cast<uint8_t>(id >> 16), static_cast<uint8_t>(id >> 24)};
    image.insert(image.end(), data.begin(), data.end());
    return image;
  }
  // Receives a whole message sent in data frames, acknowledging like a PIN pad.
  std::vector<uint8_t> ReceiveMessage(std::vector<int>* sequences = nullptr) {
    std::vector<uint8_t> image;
    uint8_t ack = pplink::ACK;
    Frame frame;
    while (ReadFrame(frame)) {
      if (sequences != nullptr) sequences->push_back(frame.sequence);
      image.insert(image.end(), frame.payload.begin(), frame.payload.end());
      if (frame.sequence & 0x80) {
        Write(ack);
        ack = ack == pplink::ACK ? pplink::BEL : pplink::ACK;
      } else {
        Write(pplink::EOT);
        break;
      }
    }
    return image;
  }
  // Sends a whole image in data frames, waiting for each control byte.
  bool SendMessage(const std::vector<uint8_t>& image) {
    size_t pos = 0;
    uint8_t number = 0;
    while (pos < image.size()) {
      size_t n = std::min<size_t>(255, image.size() - pos);
      bool last = pos + n >= image.size();
      Write(DataFrame(static_cast<uint8_t>(number | (last ? 0 : 0x80)),
                      std::vector<uint8_t>(image.begin() + pos, image.begin() + pos + n)));
      int answer = ReadByte();
      if (answer < 0) return false;
      if (last) return answer == pplink::EOT;
      pos += n;
      number = static_cast<uint8_t>(number % 127 + 1);
    }
    return false;
  }

 private:
  int fd_;
  std::vector<uint8_t> buf_;
  size_t pos_ = 0;
};

// A fresh folder as working, ini and log folder, and the link's state reset.
class LinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char cwd[4096];
    ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
    old_cwd_ = cwd;
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    pcc_ResetPathsForTests();
    pcc_SetPath(PathToIni, (dir_.path() + "/").c_str());
    pcc_SetPath(PathToLog, (dir_.path() + "/").c_str());
    pcc_SetPath(PathToCurrent, (dir_.path() + "/").c_str());
    pcc_ResetExtendedLogForTests();
    CloseAllComPorts();
    tdrv_HangupAll();
    ResetLinkDeviceLayerForTests();
    UnregisterDeviceFactoriesForTests();
    RegisterLinkDevices();
    ResetSerialReadTimeoutForTests();
    ResetPortDiscoveryForTests();
    drvSetErrorPauseForTests(0);
    bUseNewProtocol = 1;
    PINPAD_PORT = 9;
    PORT_SPEED = kSpeedIndex9600;
    LinkTimingsForTests() = LinkTimings{};
  }
  void TearDown() override {
    CloseAllComPorts();
    tdrv_HangupAll();
    ResetLinkDeviceLayerForTests();
    drvSetErrorPauseForTests(50);
    if (chdir(old_cwd_.c_str()) != 0) ADD_FAILURE() << "cannot go back";
  }
  // Makes the pty port 9 of this folder and opens it.
  void OpenPort9(const Pty& pty, uint8_t speed_index = kSpeedIndex9600) {
    unlink("ttyS99");
    ASSERT_EQ(symlink(pty.path().c_str(), "ttyS99"), 0);
    ASSERT_EQ(drvOpenComPort(9, speed_index, 0), 0);
  }
  void WriteIni(const std::string& text) { testsupport::WriteFile(dir_ / "pinpad.ini", text); }
  std::string Ini() { return testsupport::ReadFile(dir_ / "pinpad.ini"); }

  testsupport::TempDir dir_;
  std::string old_cwd_;
};

}  // namespace linktest
