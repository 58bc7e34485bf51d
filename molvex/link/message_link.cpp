#include "molvex/link/message_link.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "molvex/link/base64.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/frame_receiver.h"
#include "molvex/link/legacy_protocol.h"
#include "molvex/link/link_results.h"
#include "molvex/link/link_timings.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/msec_counter.h"
#include "src/pc/report.h"

using namespace pplink;

uint8_t PINPAD_PORT = 0;
uint32_t bUseNewProtocol = 0;

namespace {

constexpr uint32_t kTransmissions = 3;
constexpr uint32_t kDefaultReplyMs = 3000;
constexpr uint32_t kFastPiece = 2048;
// A peer that answers every frame wrongly (or keeps restarting the message)
// must not hold the link forever: after this many sends of one piece, or
// restarts of one message, the message fails.
constexpr int kMaxResends = 16;
constexpr int kMaxRestarts = 16;

bool SendControl(int8_t port, uint8_t code) { return drvSendData(port, &code, 1) == 1; }

bool WriteInPieces(int8_t port, const uint8_t* bytes, size_t length, size_t piece) {
  size_t done = 0;
  while (done < length) {
    auto count = static_cast<uint32_t>(std::min(piece, length - done));
    if (drvSendData(port, bytes + done, count) != static_cast<int32_t>(count)) return false;
    done += count;
  }
  return true;
}

uint16_t SendFastBlock(int8_t port, T_Message* message) {
  message->FillWire();
  std::vector<uint8_t> frame;
  frame.reserve((message->length + kImageHeader) / 3 * 4 + 1028);
  MakeFastFrame(message->image(), message->length + kImageHeader, frame);
  return WriteInPieces(port, frame.data(), frame.size(), kFastPiece) ? kLinkOk : kLinkFailed;
}

void MakeErrorReply(LongMessage* reply, uint16_t result) {
  if (reply == nullptr) return;
  T_Message* m = reply->msg();
  if (m == nullptr) return;
  m->command = static_cast<uint8_t>(result);
  m->wireLength[0] = 0;
  m->wireLength[1] = 0;
  if (reply->allocate(3, 0)) {
    m = reply->msg();
    m->length = 3;
    std::memset(m->data(), 0, 3);
  } else {
    m->length = 0;
  }
}

void SwitchToCurrentFromLegacy() {
  if (bUseNewProtocol == 0) bUseNewProtocol = 1;
}

}  // namespace

uint32_t tspNewProtocolSeed() { return drvGetTimeMSec() % 1000000u + 1; }

void tspUseCurrentFraming(bool current) {
  if (!current) {
    bUseNewProtocol = 0;
  } else if (bUseNewProtocol == 0) {
    bUseNewProtocol = tspNewProtocolSeed();
  }
}

void tspFixLongMessageID(T_Message* message) {
  if (bUseNewProtocol == 0) {
    message->id = kLegacyMessageId;
    return;
  }
  message->id = bUseNewProtocol;
  bUseNewProtocol = bUseNewProtocol >= kMaxMessageId ? 1 : bUseNewProtocol + 1;
}

uint8_t tspSendANewFrame(int8_t port, uint8_t sequence, const uint8_t* payload, uint8_t n) {
  uint8_t inline_space[510];
  common::UBaseArrayT<uint8_t> frame(inline_space, sizeof inline_space, 0);
  if (!tspMakeNewFrame(frame, sequence, payload, n)) return 0;
  enum { kOutside, kInside, kSeen } state = kOutside;
  uint8_t last = 0;
  for (uint32_t attempt = 0; attempt < kTransmissions;) {
    state = kOutside;
    if (drvSendData(port, frame.Data(), frame.Length()) != static_cast<int32_t>(frame.Length())) return last;
    drv_deadline_t deadline = drvSetTimer(LinkTimingsForTests().frameAckMs);
    for (;;) {
      uint8_t byte = 0;
      int32_t got = drvReceiveData(port, &byte, 1);
      if (got < 0) return state != kOutside ? NAK : 0;
      if (got == 1) {
        if (IsControlCode(byte)) {
          last = byte;
          if (byte != NAK) return state != kOutside ? NAK : last;
          ++attempt;
          break;
        }
        if (byte == STX) {
          state = state == kInside ? kOutside : kInside;
        } else if (byte == ETX) {
          state = state == kInside ? kSeen : kOutside;
          if (state == kSeen) {
            ++attempt;
            break;
          }
        }
      }
      if (drvCheckTimer(deadline)) {
        ++attempt;
        break;
      }
      if (got == 0) tspIdleWaitOnPort(port);
    }
  }
  return state != kOutside ? NAK : last;
}

uint16_t tspSendNewMessage(int8_t port, T_Message* block) {
  block->FillWire();
  const bool legacy = block->id == kLegacyMessageId;
  uint8_t* image;
  uint32_t size;
  uint32_t piece;
  if (!legacy) {
    image = block->image();
    size = kImageHeader + block->length;
    piece = kMaxFramePayload;
  } else {
    // The legacy image is command, length and data: move the first two in
    // front of the data.
    uint8_t* data = block->data();
    uint8_t head[3] = {block->command, block->wireLength[0], block->wireLength[1]};
    std::memcpy(data - 3, head, 3);
    image = data - 3;
    size = 3 + block->length;
    piece = kLegacyPiece;
  }

  int restarts = 0;
restart:
  uint32_t position = 0;
  uint8_t number = 0;
  uint8_t expected = ACK;
  int sends = 0;
  for (;;) {
    uint32_t length = std::min(piece, size - position);
    bool last = position + length >= size;
    uint8_t answer = legacy ? tspSendFrameMSB(port, !last, image + position, length)
                            : tspSendANewFrame(port, static_cast<uint8_t>(number | (last ? 0 : kMoreFrames)),
                                               image + position, static_cast<uint8_t>(length));
    if (answer == 0) return kLinkFailed;
    if (answer == NAK) return kLinkRefused;
    if (answer == SYN) {
      if (++restarts > kMaxRestarts) return kLinkFailed;
      goto restart;
    }
    if (answer == EOT && last) return kLinkOk;
    if ((answer == ACK || answer == BEL) && !last && answer == expected) {
      position += length;
      number = static_cast<uint8_t>(number % 127 + 1);
      if (!legacy) expected = expected == ACK ? BEL : ACK;
      sends = 0;
      continue;
    }
    // Anything else: the same piece again (only EOT completes a message).
    if (++sends > kMaxResends) return kLinkFailed;
  }
}

uint16_t tspRecvNewMessage(int8_t port, LongMessage* message) {
  message->shrink(static_cast<int32_t>(LongMessageDynamic::kInitialData), 0);
  message->msg()->length = 0;
  uint32_t gathered = 0;
  uint8_t expected = 0;
  uint8_t ack = ACK;
  bool timer_running = false;
  drv_deadline_t timer = 0;
  auto restart_timer = [&] {
    timer = drvSetTimer(kMessageTimerMs);
    timer_running = true;
  };

  for (;;) {
    MsbFrameBuffer frame_buffer;
    // The block holds capacity + 13 bytes and the wire image starts 6 bytes in.
    uint32_t capacity = message->capacity();
    uint32_t room = capacity + kImageHeader > gathered ? capacity + kImageHeader - gathered : 0;
    uint8_t* at = message->block() + kImageOffset + gathered;
    uint32_t n = 0;
    uint8_t type = 0;
    int result = tspNewRecvNewFrame(port, at, room, &n, &type, &frame_buffer);

    if (result == kFrameNothing) {
      if (!timer_running) return kLinkFailed;
      if (drvCheckTimer(timer)) return kLinkFrameTimeout;
      continue;
    }
    if (result == kFrameDamaged) {
      if (type != kDataFrame) return kLinkFailed;
      SendControl(port, NAK);
      continue;
    }
    if (result == kFramePortError) return kLinkPortError;

    if (result == kFrameLegacyOk) {
      bUseNewProtocol = 0;
      bool bad = false;
      if (gathered == 0) {
        if (n <= 2) {
          bad = true;
        } else {
          uint8_t* image = message->block() + kImageOffset;
          uint8_t command = image[0];
          uint16_t length = common::MSB_WORD(image + 1);
          std::vector<uint8_t> data(image + 3, image + n);
          message->allocate(std::max<int32_t>(length, static_cast<int32_t>(n - 3)), 0);
          T_Message* m = message->msg();
          m->command = command;
          m->length = length;
          common::WORD_MSB(length, m->wireLength);
          m->id = kLegacyMessageId;
          if (!data.empty()) std::memcpy(m->data(), data.data(), data.size());
          gathered = 4;
        }
      } else if (n == 0) {
        bad = true;
      }
      if (!bad) {
        gathered += n;
        if (gathered >= message->msg()->length + kImageHeader) return kLinkOk;
        tspSendSimpleMSBcode(port, kLegacyNext);
        restart_timer();
        continue;
      }
      result = kFrameLegacyBad;
    }
    if (result == kFrameLegacyBad) {
      tspSendSimpleMSBcode(port, kLegacyRepeat);
      restart_timer();
      continue;
    }

    if (result == kFrameFast) {
      uint32_t text = frame_buffer.frameTextLength();
      // Room for everything the text can decode to, so a long text cannot
      // run past the block.
      int64_t most = static_cast<int64_t>(Base64MaxDecodedLength(text)) - static_cast<int64_t>(kImageHeader);
      message->allocate(static_cast<int32_t>(std::max<int64_t>(most, 0)), 0);
      uint8_t* image = message->block() + kImageOffset;
      long decoded = Base64Decode(frame_buffer.frameText(), text, image, message->capacity() + kImageHeader);
      T_Message* m = message->msg();
      if (decoded >= static_cast<long>(kImageHeader)) {
        m->TakeWire();
        if (decoded == static_cast<long>(m->length) + static_cast<long>(kImageHeader)) return kLinkOk;
        ReportString("Invalid message length. Expected:%d, received:%d", m->length + kImageHeader,
                     static_cast<int>(decoded));
      } else if (decoded >= 0) {
        ReportString("Invalid message length. Expected:%d, received:%d", kImageHeader, static_cast<int>(decoded));
      } else {
        ReportString("Corrupted message. Base64 error. Length:%d.", static_cast<int>(frame_buffer.frameLength()));
      }
      m->length = 0;
      return kLinkFailed;
    }

    // A data or info frame with sequence byte s.
    const auto s = static_cast<uint8_t>(result);
    const uint8_t f = s & 0x7F;
    if (f == 0) {
      if (gathered > 0) {
        uint8_t* image = message->block() + kImageOffset;
        std::memmove(image, image + gathered, n);
      }
      gathered = 0;
      expected = 0;
      ack = ACK;
      message->msg()->length = 0;
    }
    if (type == kInfoFrame) {
      if (s != 0 || n < kImageHeader) return kLinkFailed;
      uint16_t length = common::MSB_WORD(message->block() + kImageOffset + 1);
      // An info frame carries its whole message: one that claims more than
      // it holds is damaged.
      if (static_cast<uint32_t>(length) + kImageHeader > n) return kLinkFailed;
      message->allocate(length, static_cast<int32_t>(n));
      message->msg()->TakeWire();
      SwitchToCurrentFromLegacy();
      return kLinkOk;
    }
    if (expected == f % 127 + 1) {
      // A repeat of the frame accepted last: acknowledge it again, count it once.
      SendControl(port, ack == ACK ? BEL : ACK);
      restart_timer();
      continue;
    }
    if (f == expected) {
      gathered += n;
      expected = static_cast<uint8_t>(expected % 127 + 1);
      if (message->msg()->length == 0 && gathered > 6) {
        message->msg()->TakeWire();
        message->allocate(message->msg()->length, static_cast<int32_t>(gathered));
      }
      if (s & kMoreFrames) {
        SendControl(port, ack);
        ack = ack == ACK ? BEL : ACK;
        restart_timer();
        continue;
      }
      if (gathered > 6 && gathered == message->msg()->length + kImageHeader && SendControl(port, EOT)) {
        SwitchToCurrentFromLegacy();
        return kLinkOk;
      }
    }
    // Out of sequence, or a last frame that does not complete the message.
    SendControl(port, SYN);
    restart_timer();
    gathered = 0;
    expected = 0;
    ack = ACK;
    message->msg()->length = 0;
  }
}

uint16_t tspSendFastMessage(int8_t port, LongMessage* message) {
  T_Message* m = message->msg();
  if (m->id == kLegacyMessageId) {
    message->shrink(static_cast<int32_t>(LongMessageDynamic::kInitialData), m->length);
    return tspMakeAMessageEx(port, 0, message->msg(), nullptr, 0);
  }
  return SendFastBlock(port, m);
}

uint16_t tspSendInfoMessage(int8_t port, LongMessage* message) {
  T_Message* m = message->msg();
  if (m->id == kLegacyMessageId) {
    message->shrink(static_cast<int32_t>(LongMessageDynamic::kInitialData), m->length);
    return tspMakeAMessageEx(port, 0, message->msg(), nullptr, 0);
  }
  m->FillWire();
  uint32_t size = m->length + kImageHeader;
  if (size > kMaxFramePayload) return kLinkFailed;
  uint8_t inline_space[510];
  common::UBaseArrayT<uint8_t> frame(inline_space, sizeof inline_space, 0);
  if (!MakeTypedFrame(frame, kInfoFrame, 0, m->image(), static_cast<uint8_t>(size))) return kLinkFailed;
  int32_t written = drvSendData(port, frame.Data(), frame.Length());
  return written == static_cast<int32_t>(frame.Length()) ? kLinkOk : kLinkFailed;
}

uint16_t tspMakeAMessageMs(int8_t port, uint32_t ms, T_Message* request, LongMessage* reply, uint32_t flags) {
  uint32_t reply_ms = ms != 0 ? ms : kDefaultReplyMs;
  if (request != nullptr) {
    if (reply != nullptr) tspFixLongMessageID(request);
    uint16_t sent = ((flags & kMakeMessageFast) && request->id != kLegacyMessageId) ? SendFastBlock(port, request)
                                                                                      : tspSendNewMessage(port, request);
    if (reply == nullptr) return sent;
    if (sent != kLinkOk) {
      MakeErrorReply(reply, sent);
      return sent;
    }
  }
  if (request == nullptr && reply == nullptr) return kLinkOk;

  bool timed = ms != 0 || request != nullptr;
  drv_deadline_t deadline = timed ? drvSetTimer(reply_ms) : 0;
  for (;;) {
    uint16_t result = tspRecvNewMessage(port, reply);
    if (result == kLinkOk) {
      if (request != nullptr && reply->msg()->id != (request->id | kReplyIdBit)) {
        // A stale reply (or another request's): dropped, while time is left.
        if (timed && drvCheckTimer(deadline)) return kLinkFailed;
        continue;
      }
      return kLinkOk;
    }
    if (result == kLinkFailed) {
      if (timed && !drvCheckTimer(deadline)) continue;
      return kLinkFailed;
    }
    if (result == kLinkPortError) {
      MakeErrorReply(reply, kLinkPortError);
      return kLinkPortError;
    }
    return result;
  }
}

uint16_t tspMakeAMessageEx(int8_t port, uint32_t seconds, T_Message* request, LongMessage* reply, uint32_t flags) {
  return tspMakeAMessageMs(port, seconds * 1000u, request, reply, flags);
}

uint16_t tspMakeAMessage(int8_t port, uint32_t seconds, T_Message* request, LongMessage* reply, uint32_t flags) {
  return tspMakeAMessageEx(port, seconds, request, reply, flags);
}

uint16_t tspReturnResultToControllerEx(T_Message* reply, const uint32_t* requestId, bool fast) {
  reply->id = requestId != nullptr ? (*requestId | kReplyIdBit) : kLegacyMessageId;
  return tspMakeAMessageEx(static_cast<int8_t>(PINPAD_PORT), 0, reply, nullptr, fast ? kMakeMessageFast : 0);
}

uint16_t tspReturnResultToController(T_Message* reply, const uint32_t* requestId) {
  return tspReturnResultToControllerEx(reply, requestId, false);
}

uint16_t tspGetCommandFromController(LongMessage* message) {
  return tspMakeAMessageEx(static_cast<int8_t>(PINPAD_PORT), 0, nullptr, message, 0);
}

uint16_t DoExchangeWithPPMs(int8_t port, T_Message* request, LongMessage* reply, uint32_t ms, uint32_t flags) {
  if (tspMakeAMessageMs(port, ms, request, reply, flags) != kLinkOk) return kLinkFailed;
  if (reply == nullptr) return kLinkOk;
  const T_Message* m = reply->msg();
  if (m->command == 14 && m->length >= 2) return common::MSB_WORD(m->data());
  return m->command;
}

uint16_t DoExchangeWithPP(int8_t port, T_Message* request, LongMessage* reply, uint32_t seconds, uint32_t flags) {
  return DoExchangeWithPPMs(port, request, reply, seconds * 1000u, flags);
}

uint16_t tspExchangeWithPP(T_Message* request, LongMessage* reply) {
  return DoExchangeWithPP(static_cast<int8_t>(PINPAD_PORT), request, reply, 0, 0);
}
