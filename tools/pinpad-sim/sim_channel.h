// The PIN pad's end of the link: the master side of a pseudo-terminal (with
// the symbolic link "ttyS99" that makes it port 9), or a TCP socket.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pinpadsim {

class SimChannel {
 public:
  virtual ~SimChannel() = default;
  // Bytes read within timeout_ms (0 when none); -1 when the other side is gone.
  virtual int Read(uint8_t* buffer, size_t size, int timeout_ms) = 0;
  virtual bool Write(const uint8_t* bytes, size_t count) = 0;
  // The speed index the PC has set on the line; -1 when the line has no speed.
  virtual int LineSpeedIndex() const { return -1; }
  // Goes away like an unplugged USB device; Replug brings it back.
  virtual void Unplug() {}
  virtual bool Replug() { return true; }
  bool Write(const std::vector<uint8_t>& bytes) { return Write(bytes.data(), bytes.size()); }
};

class PtyChannel : public SimChannel {
 public:
  // Creates the pty and the link folder/ttyS99 to its slave side.
  explicit PtyChannel(std::string folder);
  ~PtyChannel() override;
  bool ok() const { return master_ >= 0; }
  const std::string& slavePath() const { return slave_; }
  std::string linkPath() const { return folder_ + "/ttyS99"; }
  int Read(uint8_t* buffer, size_t size, int timeout_ms) override;
  bool Write(const uint8_t* bytes, size_t count) override;
  int LineSpeedIndex() const override;
  void Unplug() override;
  bool Replug() override;

 private:
  bool Open();
  std::string folder_;
  std::string slave_;
  int master_ = -1;
  int keep_slave_ = -1;  // keeps the line up while the PC has the port closed
};

class TcpChannel : public SimChannel {
 public:
  // Listens on 127.0.0.1:port (0: any free port, see port()).
  explicit TcpChannel(uint16_t port);
  ~TcpChannel() override;
  bool ok() const { return listen_ >= 0; }
  uint16_t port() const { return port_; }
  int Read(uint8_t* buffer, size_t size, int timeout_ms) override;
  bool Write(const uint8_t* bytes, size_t count) override;
  void Unplug() override;

 private:
  int listen_ = -1;
  int peer_ = -1;
  uint16_t port_ = 0;
};

}  // namespace pinpadsim
