// The PIN pad's side of the framed link on a pseudo-terminal: whole
// messages in data frames with the acknowledgement handshake, info frames
// and fast frames, as a real PIN pad speaks them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pinpadsim {

struct WireMessage {
  uint8_t command = 0;
  uint32_t id = 0;
  std::vector<uint8_t> data;
  char kind = '#';  // '#' data frames, '!' info frame, '?' fast frame
};

class PinpadWire {
 public:
  PinpadWire() = default;
  ~PinpadWire();
  PinpadWire(const PinpadWire&) = delete;
  PinpadWire& operator=(const PinpadWire&) = delete;

  // Opens a pseudo-terminal and points the symbolic link at its device.
  bool Open(const std::string& linkPath, std::string* error);
  void Close();
  const std::string& devicePath() const { return device_; }

  // Sends a message in data frames and waits for each acknowledgement.
  bool Send(const WireMessage& message);
  // The next whole message; false when none came within timeoutMs.
  bool Receive(WireMessage& message, int timeoutMs);
  // Whether the other side holds the device open.
  bool PeerAttached();
  // Waits until the other side has closed the device and opened it again.
  bool AwaitReopen(int timeoutMs);

 private:
  int ReadByte(int timeoutMs);
  bool ReadFrame(uint8_t* type, std::vector<uint8_t>& text, int timeoutMs);
  bool WriteAll(const std::vector<uint8_t>& bytes);

  int master_ = -1;
  std::string device_;
  std::string link_;
  std::vector<uint8_t> pending_;
  size_t pos_ = 0;
};

}  // namespace pinpadsim
