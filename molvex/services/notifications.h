// Messages the PC sends the PIN pad on its own while an operation runs:
// each pending event has a handler in the holder; the command session's
// request loop refreshes the holder with every message it receives and asks
// it to send what is due on every pass.
#pragma once

#include <cstdint>
#include <list>
#include <memory>

#include "molvex/link/message.h"

inline constexpr uint8_t kNotifyCommand = 0xA8;
inline constexpr uint8_t kMasterCallCommand = 0xA0;
inline constexpr uint8_t kCommsNotifyType = 2;

// Sends a message to the PIN pad as an info message.
class INotifyEnvironment {
 public:
  virtual ~INotifyEnvironment() = default;
  virtual void Send(LongMessage& message) = 0;
};

class INotifyHandler {
 public:
  INotifyHandler(uint8_t type, uint32_t key) : type_(type), key_(key) {}
  virtual ~INotifyHandler() = default;
  // Fills message with a notification and answers whether one is due.
  virtual bool GetNotify(LongMessage& message) = 0;
  // True when the handler has done its work; received is nullptr on a pass
  // without a message.
  virtual bool IsNeedStop(const LongMessage* received) = 0;

  uint8_t type() const { return type_; }
  uint32_t key() const { return key_; }

 private:
  uint8_t type_;
  uint32_t key_;
};

class StubNotifyHolder {
 public:
  // Replaces a handler of the same type and key; the new one comes first.
  void SetHandler(std::unique_ptr<INotifyHandler> handler);
  void RemoveHandler(uint8_t type, uint32_t key);
  INotifyHandler* GetHandler(uint8_t type, uint32_t key);
  // Drops every handler that is done with the received message (or none).
  void RefreshNotifications(const LongMessage* received);
  // Sends every notification that is due, in list order.
  void SendNotifications(INotifyEnvironment& env);
  void Clear() { handlers_.clear(); }
  size_t size() const { return handlers_.size(); }

 private:
  std::list<std::unique_ptr<INotifyHandler>> handlers_;
};
