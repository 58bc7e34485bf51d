#include "molvex/protocol/terminating.h"

#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

#include "common/byte_order.h"

namespace {

const TerminatingKind kKinds[] = {
    {"cancel", 0, 100}, {"abort", 2000, 100}, {"manual", 1008, 0}, {"biometry", 1089, 0}, {"loan", 1087, 0},
};

bool EqualsIgnoringCase(const char* text, size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (std::toupper(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

}  // namespace

const TerminatingKind* GetTerminatingKind(uint8_t flag) {
  if (flag < kTerminateCancel || flag > kTerminateLoan) return nullptr;
  return &kKinds[flag - 1];
}

TerminatingController& TerminatingController::instance() {
  static TerminatingController controller;
  return controller;
}

bool TerminatingController::setCurrentOperation(uint8_t flag, uint8_t repeatMode) {
  if (repeatMode_ == 1 && tries_ < kMaxTries && current_ != kTerminateNone && current_ != kTerminateRemoteState) {
    return false;
  }
  current_ = flag;
  repeatMode_ = repeatMode;
  tries_ = 0;
  return true;
}

void TerminatingController::reset() {
  current_ = kTerminateNone;
  repeatMode_ = 0;
  tries_ = 0;
}

bool TerminatingController::isAbortActive() const {
  return current_ != kTerminateNone && current_ != kTerminateRemoteState && tries_ < kMaxTries;
}

uint8_t GetTerminatingFlag(const char* fileName, bool* readable) {
  if (readable != nullptr) *readable = false;
  int fd = open(fileName, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return kTerminateNone;
  char text[101];
  ssize_t got;
  do {
    got = read(fd, text, 100);
  } while (got < 0 && errno == EINTR);
  close(fd);
  if (got < 0) return kTerminateNone;
  if (readable != nullptr) *readable = true;
  size_t n = static_cast<size_t>(got);
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) < 0x20) --n;
  if (EqualsIgnoringCase(text, n, "ABORT")) return kTerminateAbort;
  if (EqualsIgnoringCase(text, n, "CANCEL")) return kTerminateCancel;
  return kTerminateNone;
}

bool AbortNotifyHandler::GetNotify(LongMessage& message) {
  if (sent_ > kind_.tries) return false;
  if (timing_ && !drvCheckTimer(next_)) return false;
  const uint16_t length = kind_.code != 0 ? 4 : 0;
  if (!message.allocate(length, 0)) return false;
  T_Message* m = message.msg();
  m->command = kind_.code != 0 ? kAbortNotifyCommand : kCancelNotifyCommand;
  m->length = length;
  if (length != 0) common::DWORD_MSB(kind_.code, m->data());
  ++sent_;
  next_ = drvSetTimer(kRepeatMs);
  timing_ = true;
  return true;
}

bool AbortNotifyHandler::IsNeedStop(const LongMessage*) { return sent_ > kind_.tries; }
