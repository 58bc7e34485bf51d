#include "molvex/services/notifications.h"

void StubNotifyHolder::SetHandler(std::unique_ptr<INotifyHandler> handler) {
  if (!handler) return;
  RemoveHandler(handler->type(), handler->key());
  handlers_.push_front(std::move(handler));
}

void StubNotifyHolder::RemoveHandler(uint8_t type, uint32_t key) {
  handlers_.remove_if([&](const std::unique_ptr<INotifyHandler>& h) { return h->type() == type && h->key() == key; });
}

INotifyHandler* StubNotifyHolder::GetHandler(uint8_t type, uint32_t key) {
  for (auto& handler : handlers_) {
    if (handler->type() == type && handler->key() == key) return handler.get();
  }
  return nullptr;
}

void StubNotifyHolder::RefreshNotifications(const LongMessage* received) {
  handlers_.remove_if([&](const std::unique_ptr<INotifyHandler>& h) { return h->IsNeedStop(received); });
}

void StubNotifyHolder::SendNotifications(INotifyEnvironment& env) {
  for (auto& handler : handlers_) {
    T_MessageBuf<32> buffer;
    LongMessageStatic message(buffer.bytes, sizeof buffer.bytes);
    if (handler->GetNotify(message)) env.Send(message);
  }
}
