#include "tools/pinpad-sim/pinpad_sim.h"

#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include "common/base_array.h"
#include "molvex/link/base64.h"
#include "molvex/link/frame_codec.h"
#include "molvex/link/link_results.h"

namespace pinpadsim {

using namespace pplink;

namespace {

constexpr int kFrameWaitMs = 1500;
constexpr int kLegacyWaitMs = 2500;
constexpr size_t kMaxPending = 200000;
constexpr uint8_t kLegacyNext = 0x26;
constexpr uint8_t kLegacyRepeat = 0x17;

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

bool IsHex(uint8_t c) { return IsUpperHexDigit(c); }

std::vector<uint8_t> TypedFrame(uint8_t type, uint8_t sequence, const uint8_t* payload, size_t n) {
  common::UBaseArrayT<uint8_t> array;
  MakeTypedFrame(array, type, sequence, payload, static_cast<uint8_t>(n));
  return std::vector<uint8_t>(array.Data(), array.Data() + array.Length());
}

// Hex payload of a legacy frame (STX, digits, LRC digits, ETX, ETX); false when damaged.
bool DecodeLegacy(const std::vector<uint8_t>& frame, std::vector<uint8_t>* payload) {
  payload->clear();
  if (frame.size() < 5) return false;
  size_t digits = frame.size() - 5;
  if (digits % 2 != 0) return false;
  for (size_t i = 0; i < digits / 2; ++i) {
    uint8_t v = 0;
    if (!HexPair(frame[1 + 2 * i], frame[2 + 2 * i], &v)) return false;
    payload->push_back(v);
  }
  uint8_t lrc = 0;
  if (!HexPair(frame[frame.size() - 4], frame[frame.size() - 3], &lrc)) return false;
  return lrc == LegacyLrc(payload->data(), payload->size());
}

// Takes the first whole frame out of bytes (dropping what lies before it);
// false when none is complete yet.
bool TakeFrame(std::vector<uint8_t>& bytes, std::vector<uint8_t>* frame) {
  auto stx = std::find(bytes.begin(), bytes.end(), STX);
  if (stx == bytes.end()) {
    bytes.clear();
    return false;
  }
  bytes.erase(bytes.begin(), stx);
  auto etx = std::find(bytes.begin() + 1, bytes.end(), ETX);
  if (etx == bytes.end()) {
    if (bytes.size() > kMaxPending) bytes.clear();
    return false;
  }
  size_t end = static_cast<size_t>(etx - bytes.begin()) + 1;
  bool legacy = bytes.size() > 1 && IsHex(bytes[1]);
  if (legacy) {
    if (end >= bytes.size()) return false;  // the second ETX may still come
    if (bytes[end] == ETX) ++end;
  }
  frame->assign(bytes.begin(), bytes.begin() + static_cast<long>(end));
  bytes.erase(bytes.begin(), bytes.begin() + static_cast<long>(end));
  return true;
}

}  // namespace

bool ParseFault(const std::string& name, Fault* fault) {
  static const std::pair<const char*, Fault> kNames[] = {
      {"bad-crc", Fault::kBadCrc},     {"out-of-sequence", Fault::kOutOfSequence}, {"duplicate", Fault::kDuplicate},
      {"garbage", Fault::kGarbage},    {"silence", Fault::kSilence},               {"unplug", Fault::kUnplug},
      {"stop-mid-frame", Fault::kStopMidFrame}};
  for (const auto& [text, value] : kNames) {
    if (name == text) {
      *fault = value;
      return true;
    }
  }
  return false;
}

PinpadSim::PinpadSim(SimChannel* channel, SimOptions options) : channel_(channel), options_(std::move(options)) {}

PinpadSim::~PinpadSim() = default;

void PinpadSim::AddScenario(std::unique_ptr<Scenario> scenario) { scenarios_.push_back(std::move(scenario)); }

void PinpadSim::Run(const std::atomic<bool>& stop) {
  while (!stop.load()) Poll(20);
}

bool PinpadSim::Deaf() { return deafUntilMs_ != 0 && NowMs() < deafUntilMs_; }

void PinpadSim::Poll(int timeout_ms) {
  if (unpluggedUntilMs_ != 0) {
    if (NowMs() < unpluggedUntilMs_) {
      usleep(static_cast<useconds_t>(timeout_ms) * 1000);
      return;
    }
    unpluggedUntilMs_ = 0;
    channel_->Replug();
  }
  uint8_t buffer[4096];
  int got = channel_->Read(buffer, sizeof buffer, timeout_ms);
  if (got <= 0) return;
  if (Deaf()) return;
  int line = channel_->LineSpeedIndex();
  // At another speed than the PIN pad's, the bytes are noise to it.
  if (line >= 0 && line != options_.speedIndex) {
    pending_.clear();
    return;
  }
  Feed(buffer, static_cast<size_t>(got));
}

void PinpadSim::Feed(const uint8_t* bytes, size_t count) {
  pending_.insert(pending_.end(), bytes, bytes + count);
  std::vector<uint8_t> frame;
  while (TakeFrame(pending_, &frame)) OnFrame(frame);
}

void PinpadSim::OnFrame(const std::vector<uint8_t>& frame) {
  if (frame.size() < 3) return;
  uint8_t type = frame[1];
  if (type == kDataFrame || type == kInfoFrame) {
    if (options_.legacyOnly) return;
    uint8_t sequence = 0;
    uint8_t payload[kMaxFramePayload];
    int n = DecodeTypedFrameText(frame.data() + 2, frame.size() - 3, &sequence, payload);
    if (n < 0) {
      if (type == kDataFrame && !options_.silent) channel_->Write(std::vector<uint8_t>{NAK});
      return;
    }
    OnDataFrame(type, sequence, std::vector<uint8_t>(payload, payload + n));
  } else if (type == kFastFrame) {
    if (options_.legacyOnly) return;
    std::vector<uint8_t> image(frame.size());
    long n = Base64Decode(frame.data() + 2, frame.size() - 3, image.data(), image.size());
    if (n < 7) return;
    SimMessage message;
    message.command = image[0];
    uint16_t length = static_cast<uint16_t>(image[1] | image[2] << 8);
    if (n != length + 7) return;
    message.id = image[3] | image[4] << 8 | image[5] << 16 | static_cast<uint32_t>(image[6]) << 24;
    message.data.assign(image.begin() + 7, image.begin() + n);
    message.framing = Framing::kFast;
    Deliver(std::move(message));
  } else if (IsHex(type)) {
    std::vector<uint8_t> payload;
    if (!DecodeLegacy(frame, &payload)) {
      if (!options_.silent) WriteLegacyCode(kLegacyRepeat);
      return;
    }
    OnLegacyPiece(payload);
  }
}

void PinpadSim::OnDataFrame(uint8_t type, uint8_t sequence, const std::vector<uint8_t>& payload) {
  auto deliver_image = [&](const std::vector<uint8_t>& image, Framing framing) {
    SimMessage message;
    message.command = image[0];
    message.id = image[3] | image[4] << 8 | image[5] << 16 | static_cast<uint32_t>(image[6]) << 24;
    message.data.assign(image.begin() + 7, image.end());
    message.framing = framing;
    Deliver(std::move(message));
  };
  auto reset = [&] {
    image_.clear();
    expected_ = 0;
    ack_ = ACK;
  };
  if (type == kInfoFrame) {
    if (sequence == 0 && payload.size() >= 7) deliver_image(payload, Framing::kInfo);
    return;
  }
  uint8_t f = sequence & 0x7F;
  if (f == 0) reset();
  if (options_.silent) return;
  if (expected_ == f % 127 + 1) {
    channel_->Write(std::vector<uint8_t>{static_cast<uint8_t>(ack_ == ACK ? BEL : ACK)});
    return;
  }
  if (f == expected_) {
    image_.insert(image_.end(), payload.begin(), payload.end());
    expected_ = static_cast<uint8_t>(expected_ % 127 + 1);
    if (sequence & kMoreFrames) {
      channel_->Write(std::vector<uint8_t>{ack_});
      ack_ = ack_ == ACK ? BEL : ACK;
      return;
    }
    if (image_.size() >= 7 && image_.size() == static_cast<size_t>(image_[1] | image_[2] << 8) + 7) {
      channel_->Write(std::vector<uint8_t>{EOT});
      std::vector<uint8_t> image = std::move(image_);
      reset();
      deliver_image(image, Framing::kData);
      return;
    }
  }
  channel_->Write(std::vector<uint8_t>{SYN});
  reset();
}

void PinpadSim::OnLegacyPiece(const std::vector<uint8_t>& payload) {
  if (legacy_.empty()) {
    if (payload.size() < 3) return;
    // Stray simple codes are answers to pieces that are no longer awaited.
    if ((payload[0] == kLegacyNext || payload[0] == kLegacyRepeat) && payload[1] == 0 && payload[2] == 0) return;
  } else if (payload.empty()) {
    WriteLegacyCode(kLegacyRepeat);
    return;
  }
  legacy_.insert(legacy_.end(), payload.begin(), payload.end());
  size_t total = 3 + static_cast<size_t>(legacy_[1] | legacy_[2] << 8);
  if (legacy_.size() < total) {
    if (!options_.silent) WriteLegacyCode(kLegacyNext);
    return;
  }
  SimMessage message;
  message.command = legacy_[0];
  message.id = kLegacyMessageId;
  message.data.assign(legacy_.begin() + 3, legacy_.begin() + static_cast<long>(total));
  message.framing = Framing::kLegacy;
  legacy_.clear();
  Deliver(std::move(message));
}

void PinpadSim::Deliver(SimMessage message) {
  received_.push_back(message);
  if (options_.silent) return;
  for (auto& scenario : scenarios_) {
    if (scenario->OnMessage(message, *this)) return;
  }
  switch (message.command) {
    case 0x50: {
      std::string record = BuildReadinessRecord(options_.readiness);
      Reply(message, 0, std::vector<uint8_t>(record.begin(), record.end()));
      return;
    }
    case 21:  // speed change: answered at the old speed, then the line moves
      if (Reply(message, 0, {}) && message.data.size() >= 6) options_.speedIndex = message.data[5];
      return;
    case 19:  // restart: answered, then deaf while the PIN pad boots
      Reply(message, 0, {});
      deafUntilMs_ = NowMs() + options_.restartMs;
      return;
    default:
      Reply(message, 14, {252, 0});  // function not supported
  }
}

bool PinpadSim::Reply(const SimMessage& request, uint8_t command, const std::vector<uint8_t>& data) {
  bool legacy = request.framing == Framing::kLegacy;
  uint32_t id = legacy ? kLegacyMessageId : (request.id | kReplyIdBit);
  return Send(command, id, data, legacy ? Framing::kLegacy : options_.replyFraming);
}

bool PinpadSim::Send(uint8_t command, uint32_t id, const std::vector<uint8_t>& data, Framing framing) {
  bool faulty = !options_.faults.empty();
  Fault fault = faulty ? options_.faults.front() : Fault::kSilence;
  if (faulty) options_.faults.pop_front();
  if (faulty && fault == Fault::kSilence) return true;
  if (faulty && fault == Fault::kUnplug) {
    channel_->Unplug();
    unpluggedUntilMs_ = NowMs() + options_.unplugMs;
    return true;
  }
  if (faulty && fault == Fault::kGarbage) {
    static const uint8_t kGarbage[] = {'g', 'a', 'r', 'b', 'a', 'g', 'e', 0x03, 0xFF, 0x00};
    channel_->Write(kGarbage, sizeof kGarbage);
    usleep(20000);
  }
  auto length = static_cast<uint16_t>(data.size());
  std::vector<uint8_t> image;
  if (framing == Framing::kLegacy) {
    image = {command, static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8)};
  } else {
    image = {command,
             static_cast<uint8_t>(length),
             static_cast<uint8_t>(length >> 8),
             static_cast<uint8_t>(id),
             static_cast<uint8_t>(id >> 8),
             static_cast<uint8_t>(id >> 16),
             static_cast<uint8_t>(id >> 24)};
  }
  image.insert(image.end(), data.begin(), data.end());
  switch (framing) {
    case Framing::kLegacy: return SendLegacy(image);
    case Framing::kInfo:
      if (image.size() <= kMaxFramePayload) return channel_->Write(TypedFrame(kInfoFrame, 0, image.data(), image.size()));
      return SendData(image, faulty, fault);
    case Framing::kFast: {
      std::vector<uint8_t> frame;
      MakeFastFrame(image.data(), image.size(), frame);
      return channel_->Write(frame);
    }
    case Framing::kData: break;
  }
  return SendData(image, faulty, fault);
}

int PinpadSim::ReadControl(int timeout_ms) {
  uint64_t deadline = NowMs() + static_cast<uint64_t>(timeout_ms);
  for (;;) {
    uint64_t now = NowMs();
    if (now >= deadline) return -1;
    uint8_t byte[1];
    int got = channel_->Read(byte, 1, static_cast<int>(deadline - now));
    if (got < 0) return -1;
    if (got == 0) continue;
    if (IsControlCode(byte[0])) return byte[0];
    pending_.push_back(byte[0]);  // a frame of the PC's: taken up later
  }
}

bool PinpadSim::SendData(const std::vector<uint8_t>& image, bool faulty, Fault fault) {
  bool first = true;
  for (int restarts = 0; restarts < 4; ++restarts) {
    size_t position = 0;
    uint8_t number = 0;
    uint8_t expected = ACK;
    bool restart = false;
    while (!restart && position < image.size()) {
      size_t n = std::min<size_t>(kMaxFramePayload, image.size() - position);
      bool last = position + n >= image.size();
      auto sequence = static_cast<uint8_t>(number | (last ? 0 : kMoreFrames));
      bool advanced = false;
      for (int attempt = 0; attempt < 3 && !advanced && !restart; ++attempt) {
        std::vector<uint8_t> frame = TypedFrame(kDataFrame, sequence, image.data() + position, n);
        if (first && faulty) {
          first = false;
          switch (fault) {
            case Fault::kBadCrc: frame[frame.size() - 3] = frame[frame.size() - 3] == 'A' ? 'B' : 'A'; break;
            case Fault::kOutOfSequence:
              frame = TypedFrame(kDataFrame, static_cast<uint8_t>(sequence + 1), image.data() + position, n);
              break;
            case Fault::kDuplicate: channel_->Write(frame); break;
            case Fault::kStopMidFrame:
              channel_->Write(frame.data(), frame.size() / 2);
              return false;
            default: break;
          }
        }
        first = false;
        if (!channel_->Write(frame)) return false;
        int answer = ReadControl(kFrameWaitMs);
        if (answer == SYN) {
          restart = true;
        } else if (last && answer == EOT) {
          return true;
        } else if (!last && answer == expected) {
          advanced = true;
        }
      }
      if (restart) break;
      if (!advanced) return false;
      position += n;
      number = static_cast<uint8_t>(number % 127 + 1);
      expected = expected == ACK ? BEL : ACK;
    }
  }
  return false;
}

void PinpadSim::WriteLegacyCode(uint8_t code) {
  const uint8_t message[3] = {code, 0, 0};
  std::vector<uint8_t> frame;
  MakeLegacyFrame(message, sizeof message, frame);
  channel_->Write(frame);
}

bool PinpadSim::LegacyWaitNext(int timeout_ms) {
  uint64_t deadline = NowMs() + static_cast<uint64_t>(timeout_ms);
  std::vector<uint8_t> bytes;
  while (NowMs() < deadline) {
    uint8_t chunk[512];
    int got = channel_->Read(chunk, sizeof chunk, 20);
    if (got < 0) return false;
    bytes.insert(bytes.end(), chunk, chunk + got);
    std::vector<uint8_t> frame;
    while (TakeFrame(bytes, &frame)) {
      std::vector<uint8_t> payload;
      if (DecodeLegacy(frame, &payload) && payload.size() >= 3) return payload[0] == kLegacyNext;
    }
  }
  return false;
}

bool PinpadSim::SendLegacy(const std::vector<uint8_t>& image) {
  for (size_t position = 0; position < image.size();) {
    size_t n = std::min<size_t>(kLegacyPiece, image.size() - position);
    bool last = position + n >= image.size();
    std::vector<uint8_t> frame;
    MakeLegacyFrame(image.data() + position, n, frame);
    if (!channel_->Write(frame)) return false;
    if (!last && !LegacyWaitNext(kLegacyWaitMs)) return false;
    position += n;
  }
  return true;
}

}  // namespace pinpadsim
