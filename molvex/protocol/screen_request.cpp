#include "molvex/protocol/screen_request.h"

#include <cstring>
#include <vector>

#include "molvex/services/command_packet.h"

namespace {

ScreenRequestRunner g_runner = nullptr;

constexpr uint32_t kEditableFlags = 0x1F00;
constexpr uint32_t kEditStartsWithText = 0x0200 | 0x0400;

uint32_t BigEndian(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | p[3];
}
void PutBigEndian(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v >> 24));
  out.push_back(static_cast<uint8_t>(v >> 16));
  out.push_back(static_cast<uint8_t>(v >> 8));
  out.push_back(static_cast<uint8_t>(v));
}

bool SetReply(LongMessage& reply, uint16_t status, const std::vector<uint8_t>& body) {
  if (body.size() > 0xFFFF || !reply.allocate(static_cast<int32_t>(body.size()), 0)) {
    reply.msg()->command = 253;
    reply.msg()->length = 0;
    return false;
  }
  T_Message* m = reply.msg();
  m->command = static_cast<uint8_t>(status);
  m->length = static_cast<uint16_t>(body.size());
  if (!body.empty()) std::memcpy(m->data(), body.data(), body.size());
  return true;
}

}  // namespace

void SetScreenRequestRunner(ScreenRequestRunner runner) { g_runner = runner; }

uint16_t tspcmdRunScreen(const LongMessage& request, LongMessage& reply) {
  if (g_runner != nullptr) return g_runner(request, reply);
  return AnswerScreenNotShown(request, reply);
}

uint16_t AnswerScreenNotShown(const LongMessage& request, LongMessage& reply) {
  const uint32_t size = MessageDataSize(request);
  const uint8_t* d = request.msg()->data();
  std::vector<uint8_t> body;
  if (size < 12) {
    SetReply(reply, kScreenRefused, body);
    return kScreenRefused;
  }
  // A background request is answered at once; a modal one ends as a screen
  // that is not there, its parameters handed back unchanged.
  if ((BigEndian(d + 8) & 0xFF000000u) != 0) {
    PutBigEndian(body, kScreenKeepRunning);
    SetReply(reply, 0, body);
    return 0;
  }
  PutBigEndian(body, kScreenNotFound);
  uint32_t at = 12;
  while (at + 16 < size) {
    const uint32_t id = BigEndian(d + at);
    const uint32_t flags = BigEndian(d + at + 4);
    uint32_t text = at + 16;
    uint32_t end = text;
    while (end < size && d[end] != 0) ++end;
    uint32_t second = end < size ? end + 1 : size;
    uint32_t secondEnd = second;
    while (secondEnd < size && d[secondEnd] != 0) ++secondEnd;
    PutBigEndian(body, id);
    PutBigEndian(body, flags);
    body.insert(body.end(), 8, 0);
    if ((flags & kEditableFlags) != 0) {
      if ((flags & kEditStartsWithText) != 0) body.insert(body.end(), d + text, d + (end - text > 255 ? text + 255 : end));
      body.push_back(0);
    }
    body.push_back(0);
    at = secondEnd < size ? secondEnd + 1 : size;
  }
  SetReply(reply, 0, body);
  return 0;
}
