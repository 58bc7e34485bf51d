// Byte connections of the update client: the TCP socket connection, a read
// buffer in front of it, and the network interface that makes them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "error.h"
#include "file_system.h"
#include "log.h"

enum ConnectionState {
  CONNECTION_CONNECTING = 1,
  CONNECTION_CONNECTED = 2,
  CONNECTION_CLOSED = 3,
  CONNECTION_LISTENING = 4,
};

class IConnection {
 public:
  virtual ~IConnection() = default;
  // Bytes taken; 0 when the connection cannot take any now; negative on error.
  virtual int32_t Send(const void* data, size_t length) = 0;
  // Bytes read; 0 when nothing is there yet; negative on error.
  virtual int32_t Receive(void* buffer, size_t length) = 0;
  virtual std::string GetPeerAddress() const = 0;
  virtual int GetState() = 0;
  virtual Error GetLastError() const = 0;
  // The descriptor to wait on in the idle step; -1 when there is none.
  virtual int GetDescriptor() const { return -1; }
};

class TSocketConnection : public IConnection, public TLoggerToFile {
 public:
  // Starts a non-blocking connect. Null when the socket cannot be made or
  // connect fails at once; error then holds 20006 or 20001 with errno.
  static std::unique_ptr<TSocketConnection> Connect(uint32_t address, uint16_t port, bool trace, Error& error);
  ~TSocketConnection() override;

  int32_t Send(const void* data, size_t length) override;
  int32_t Receive(void* buffer, size_t length) override;
  std::string GetPeerAddress() const override { return peer_; }
  int GetState() override;
  Error GetLastError() const override { return lastError_; }
  int GetDescriptor() const override { return fd_; }
  int GetSystemError() const { return systemError_; }

 private:
  TSocketConnection(int fd, std::unique_ptr<TFileSystem> traceFolder, std::string peer);
  void Fail(uint32_t code, int systemError);

  int fd_;
  std::unique_ptr<TFileSystem> traceFolder_;
  std::string peer_;
  int state_ = CONNECTION_CONNECTING;
  Error lastError_;
  int systemError_ = 0;
  int sendBufferSize_ = 0;
};

class TBufferedConnection : public IConnection {
 public:
  static constexpr size_t kBufferSize = 8192;
  static constexpr size_t kDirectReadFrom = 4096;

  explicit TBufferedConnection(std::unique_ptr<IConnection> connection);

  int32_t Send(const void* data, size_t length) override;
  // Buffered bytes first; a request of 4096 bytes or more with an empty
  // buffer reads straight from the connection; a smaller one refills the
  // buffer and answers 0 so that the caller asks again.
  int32_t Receive(void* buffer, size_t length) override;
  std::string GetPeerAddress() const override { return connection_->GetPeerAddress(); }
  int GetState() override { return connection_->GetState(); }
  Error GetLastError() const override { return connection_->GetLastError(); }
  int GetDescriptor() const override { return connection_->GetDescriptor(); }
  void FlushInputData();
  bool HasBufferedData() const { return count_ > 0 && position_ < static_cast<size_t>(count_); }

 private:
  std::unique_ptr<IConnection> connection_;
  char buffer_[kBufferSize];
  int32_t count_ = 0;  // negative: the last read failed
  size_t position_ = 0;
};

enum InterfaceState {
  INTERFACE_OPENING = 1,
  INTERFACE_READY = 2,
  INTERFACE_FAILED = 3,
};

class INetworkInterface {
 public:
  virtual ~INetworkInterface() = default;
  virtual Error Open() = 0;
  virtual void Close() = 0;
  virtual int GetState() = 0;
  virtual Error GetLastError() const = 0;
  // Name resolution; the address is 0 when nothing was found.
  virtual Error Resolve(const std::string& host, uint32_t& address) = 0;
  virtual std::unique_ptr<IConnection> Connect(uint32_t address, uint16_t port, Error& error) = 0;
};

// The plain socket interface: ready at once, does not resolve names.
class TSocketInterface : public INetworkInterface {
 public:
  Error Open() override { return Error(); }
  void Close() override {}
  int GetState() override { return INTERFACE_READY; }
  Error GetLastError() const override { return Error(); }
  Error Resolve(const std::string& host, uint32_t& address) override;
  std::unique_ptr<IConnection> Connect(uint32_t address, uint16_t port, Error& error) override;
  // Connections made afterwards write a raw trace into the log folder.
  void EnableTrace(bool on) { trace_ = on; }
  bool IsTraceEnabled() const { return trace_; }

 private:
  bool trace_ = false;
};
