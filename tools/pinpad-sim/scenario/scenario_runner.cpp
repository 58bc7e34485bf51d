#include "scenario_runner.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "common/codepage.h"
#include "common/tlv.h"

namespace pinpadsim {

namespace {

constexpr uint8_t kReadiness = 0x50;
constexpr uint8_t kSpeed = 21;
constexpr uint8_t kRestart = 19;
constexpr uint8_t kUpload = 0xEA;
constexpr uint8_t kOperation = 0x6D;
constexpr uint8_t kStatus = 0xA6;
constexpr uint8_t kText = 0x24;
constexpr uint8_t kMasterCall = 0xA0;
constexpr uint32_t kReplyBit = 0x80000000u;
constexpr int kRequestWaitMs = 30000;
constexpr int kReplyWaitMs = 30000;

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

void Put32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
  for (int i = 0; i < 4; ++i) v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}
void Push16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
void Push32(std::vector<uint8_t>& v, uint32_t x) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
}
uint32_t Get32(const std::vector<uint8_t>& v, size_t at) {
  if (at + 4 > v.size()) return 0;
  return v[at] | (v[at + 1] << 8) | (v[at + 2] << 16) | (static_cast<uint32_t>(v[at + 3]) << 24);
}

bool FromHex(const std::string& hex, std::vector<uint8_t>& out) {
  out.clear();
  if (hex.size() % 2 != 0) return false;
  for (size_t i = 0; i < hex.size(); i += 2) {
    char pair[3] = {hex[i], hex[i + 1], 0};
    char* end = nullptr;
    long v = std::strtol(pair, &end, 16);
    if (*end != '\0') return false;
    out.push_back(static_cast<uint8_t>(v));
  }
  return true;
}

std::string ToHex(const uint8_t* p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    std::snprintf(b, sizeof b, "%02X", p[i]);
    s += b;
  }
  return s;
}

// Printable bytes as they are, others as "\xNN".
std::string Shown(const std::vector<uint8_t>& bytes) {
  std::string s;
  char b[8];
  for (uint8_t c : bytes) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      s += static_cast<char>(c);
    } else {
      std::snprintf(b, sizeof b, "\\x%02X", c);
      s += b;
    }
  }
  return s;
}

// Copies text into a zero-padded field.
void Field(std::vector<uint8_t>& d, size_t at, size_t width, const std::string& text) {
  for (size_t i = 0; i < width && i < text.size(); ++i) d[at + i] = static_cast<uint8_t>(text[i]);
}

// The bytes of a step: text= (UTF-8, sent as cp866) or hex=.
bool Bytes(const Step& step, std::vector<uint8_t>& out) {
  if (step.Has("hex")) return FromHex(step.Text("hex"), out);
  std::string t = ToPinpadText(step.Text("text"));
  out.assign(t.begin(), t.end());
  return true;
}

}  // namespace

std::string ToPinpadText(const std::string& utf8) {
  std::vector<char> out(utf8.size() + 1);
  size_t n = common::UTF8Tocp866(out.data(), utf8.c_str(), out.size());
  return std::string(out.data(), n);
}

ScenarioRunner::ScenarioRunner(PinpadWire& wire, const Scenario& scenario, const std::string& transcriptPath)
    : wire_(wire), scenario_(scenario), transcript_(transcriptPath) {}

void ScenarioRunner::Log(const std::string& line) {
  if (transcript_.empty()) return;
  std::ofstream out(transcript_, std::ios::app);
  out << line << "\n";
}

std::vector<uint8_t> ScenarioRunner::ReadinessRecord() const {
  std::vector<uint8_t> d(66, ' ');
  Field(d, 0, 10, "BGSSIM0001");
  d[10] = static_cast<uint8_t>(model_);
  d[11] = 'Y';
  d[13] = 'N';
  d[14] = 'N';
  char text[16];
  std::snprintf(text, sizeof text, "%02d", version_ % 100);
  Field(d, 16, 2, text);
  Field(d, 19, 2, "01");
  Field(d, 22, 2, "07");
  Field(d, 31, 2, "00");
  Field(d, 34, 5, "00001");
  Field(d, 46, 12, "000000123456");
  Field(d, 58, 8, "00000000");
  for (char c : modelName_) d.push_back(static_cast<uint8_t>(c));
  std::snprintf(text, sizeof text, "=*=%03d", statusTimeout_ % 1000);
  for (const char* p = text; *p; ++p) d.push_back(static_cast<uint8_t>(*p));
  d.push_back(static_cast<uint8_t>('0' + (caps_ > 9 ? 9 : caps_)));
  d.push_back('0');
  return d;
}

bool ScenarioRunner::Serve(const WireMessage& m) {
  if (m.kind == '!' || m.kind == '?') {
    // Notifications of the PC: kept for the notify step.
    notices_.push_back({m.command, NowMs()});
    char line[80];
    std::snprintf(line, sizeof line, "notify 0x%02X at=%lld", m.command, static_cast<long long>(NowMs()));
    Log(line);
    return false;
  }
  WireMessage reply;
  reply.id = m.id | kReplyBit;
  switch (m.command) {
    case kReadiness:
      reply.command = 0;
      reply.data = ReadinessRecord();
      wire_.Send(reply);
      Log("readiness");
      return false;
    case kSpeed:
    case kRestart:
      reply.command = 0;
      wire_.Send(reply);
      Log(m.command == kSpeed ? "speed" : "restart");
      return false;
    case kUpload: {
      std::vector<uint8_t> copy = m.data;
      common::T_TLV_Buffer list = common::TlvBufferOver(copy.data(), static_cast<uint16_t>(copy.size()));
      common::T_TLV_Item item;
      std::string line = "upload";
      for (int f = common::FindFirstTag(list, item); f; f = common::FindNextTag(list, item)) {
        char tag[16];
        std::snprintf(tag, sizeof tag, " %X=", item.tag);
        line += tag + Shown(std::vector<uint8_t>(item.value, item.value + item.length));
      }
      Log(line);
      reply.command = 0;
      wire_.Send(reply);
      return false;
    }
    default:
      return true;
  }
}

bool ScenarioRunner::Next(WireMessage& message, int timeoutMs) {
  const int64_t end = NowMs() + timeoutMs;
  for (;;) {
    int64_t left = end - NowMs();
    if (left <= 0) return false;
    if (!wire_.Receive(message, static_cast<int>(left))) return false;
    if (Serve(message)) return true;
  }
}

bool ScenarioRunner::Run(std::string* error) {
  for (const pinpadsim::Step& step : scenario_.steps) {
    if (!Step(step, error)) {
      *error = "line " + std::to_string(step.line) + " (" + step.keyword + "): " + *error;
      Log("failed: " + *error);
      return false;
    }
    if (step.keyword == "vanish") {
      Log("done");
      return true;
    }
  }
  // Serve what the PC still asks (it may test the PIN pad once more) until it lets go.
  // A PC that saw a reboot tests the PIN pad once more after its welcome screen.
  WireMessage m;
  const int64_t end = NowMs() + 120000;
  while (wire_.PeerAttached() && NowMs() < end) {
    if (Next(m, 200)) {
      char line[64];
      std::snprintf(line, sizeof line, "unexpected 0x%02X", m.command);
      Log(line);
    }
  }
  Log("done");
  return true;
}

bool ScenarioRunner::Call(const pinpadsim::Step& step, uint8_t device, uint8_t operation,
                          const std::vector<uint8_t>& body, WireMessage* reply, std::string* error) {
  WireMessage m;
  m.command = kMasterCall;
  m.id = nextId_++;
  m.data = {operation, device, 0};
  Push16(m.data, static_cast<uint16_t>(body.size()));
  m.data.insert(m.data.end(), body.begin(), body.end());
  if (!wire_.Send(m)) {
    *error = "the PC did not take the request";
    return false;
  }
  WireMessage r;
  const int64_t end = NowMs() + kReplyWaitMs;
  for (;;) {
    int64_t left = end - NowMs();
    if (left <= 0 || !Next(r, static_cast<int>(left))) {
      *error = "no reply from the PC";
      return false;
    }
    if (r.id == (m.id | kReplyBit)) break;
    char line[80];
    std::snprintf(line, sizeof line, "unexpected 0x%02X while waiting for a reply", r.command);
    Log(line);
  }
  const int64_t want = step.Number("want-status", 0);
  if (r.command != want) {
    *error = "status " + std::to_string(r.command) + ", expected " + std::to_string(want);
    return false;
  }
  if (reply != nullptr) *reply = r;
  return true;
}

bool ScenarioRunner::Expect(const pinpadsim::Step& step, std::string* error) {
  WireMessage m;
  for (;;) {
    if (!Next(m, static_cast<int>(step.Number("within", kRequestWaitMs)))) {
      *error = "no operation request";
      return false;
    }
    if (m.command == kOperation || m.command == kText) break;
    char line[64];
    std::snprintf(line, sizeof line, "unexpected 0x%02X", m.command);
    Log(line);
  }
  request_ = Request{};
  request_.seen = true;
  request_.command = m.command;
  request_.messageId = m.id;
  std::string track2;
  std::map<uint32_t, std::vector<uint8_t>> tags;
  std::string form;
  if (m.command == kText) {
    form = "text";
    track2.assign(m.data.begin(), m.data.end());
    if (!track2.empty() && track2.back() == '\0') track2.pop_back();
  } else if (m.data.size() >= 4 && Get32(m.data, 0) == 0xFFFFFAFAu) {
    form = "tlv";
    std::vector<uint8_t> copy(m.data.begin() + 4, m.data.end());
    common::T_TLV_Buffer list = common::TlvBufferOver(copy.data(), static_cast<uint16_t>(copy.size()));
    common::T_TLV_Item item;
    for (int f = common::FindFirstTag(list, item); f; f = common::FindNextTag(list, item)) {
      tags[item.tag].assign(item.value, item.value + item.length);
    }
    auto number = [&](uint32_t tag) {
      auto it = tags.find(tag);
      if (it == tags.end()) return 0u;
      uint32_t v = 0;
      for (size_t i = 0; i < it->second.size() && i < 4; ++i) v |= static_cast<uint32_t>(it->second[i]) << (8 * i);
      return v;
    };
    request_.op = number(0x5F07);
    request_.amount = number(0x5F34);
    request_.requestId = number(0x5F0A);
    if (tags.count(0x17)) track2.assign(tags[0x17].begin(), tags[0x17].end());
    if (tags.count(0x19) && !tags[0x19].empty()) {
      // The extra data: its length byte, then its own tags.
      std::vector<uint8_t> extra(tags[0x19].begin() + 1, tags[0x19].end());
      common::T_TLV_Buffer inner = common::TlvBufferOver(extra.data(), static_cast<uint16_t>(extra.size()));
      for (int f = common::FindFirstTag(inner, item); f; f = common::FindNextTag(inner, item)) {
        tags[item.tag].assign(item.value, item.value + item.length);
      }
    }
  } else if (m.data.size() >= 69) {
    form = "fixed";
    request_.amount = Get32(m.data, 0);
    request_.op = m.data[6];
    request_.requestId = Get32(m.data, 47);
    for (size_t i = 7; i < 47 && m.data[i] != 0; ++i) track2 += static_cast<char>(m.data[i]);
  } else {
    *error = "malformed operation request";
    return false;
  }
  while (!track2.empty() && track2.back() == '\0') track2.pop_back();
  char line[160];
  std::snprintf(line, sizeof line, "request %s op=%u amount=%u request-id=%X track2=%s", form.c_str(), request_.op,
                request_.amount, request_.requestId, track2.c_str());
  Log(line);

  auto mismatch = [&](const std::string& what, const std::string& got, const std::string& want) {
    *error = what + " is " + got + ", expected " + want;
    return false;
  };
  if (step.Has("form") && step.Text("form") != form) return mismatch("form", form, step.Text("form"));
  if (step.Has("op") && request_.op != static_cast<uint32_t>(step.Number("op", -1))) {
    return mismatch("operation", std::to_string(request_.op), step.Text("op"));
  }
  if (step.Has("amount") && request_.amount != static_cast<uint32_t>(step.Number("amount", -1))) {
    return mismatch("amount", std::to_string(request_.amount), step.Text("amount"));
  }
  if (step.Has("track2") && track2 != step.Text("track2")) return mismatch("track 2", track2, step.Text("track2"));
  if (step.Has("request-id") && request_.requestId != static_cast<uint32_t>(step.Number("request-id", -1))) {
    return mismatch("request id", std::to_string(request_.requestId), step.Text("request-id"));
  }
  for (const auto& [key, value] : step.args) {
    if (key.rfind("tag-", 0) != 0) continue;
    uint32_t tag = static_cast<uint32_t>(std::strtoul(key.c_str() + 4, nullptr, 16));
    std::string got = tags.count(tag) ? ToHex(tags[tag].data(), tags[tag].size()) : "missing";
    if (got != value) return mismatch(key, got, value);
  }
  return true;
}

bool ScenarioRunner::ExpectStatus(const pinpadsim::Step& step, std::string* error) {
  WireMessage m;
  for (;;) {
    if (!Next(m, kRequestWaitMs)) {
      *error = "no status request";
      return false;
    }
    if (m.command == kStatus) break;
    if (m.command == kOperation) {
      *error = "an operation request came instead of the status request";
      return false;
    }
  }
  request_ = Request{};
  request_.seen = true;
  request_.command = kStatus;
  request_.messageId = m.id;
  request_.requestId = Get32(m.data, 0);
  const int flag = m.data.size() > 4 ? m.data[4] : -1;
  request_.amount = Get32(m.data, 5);
  request_.op = flag == 1 ? 12 : 41;
  char line[120];
  std::snprintf(line, sizeof line, "status request-id=%X flag=%d amount=%u", request_.requestId, flag,
                request_.amount);
  Log(line);
  if (step.Has("request-id") && request_.requestId != static_cast<uint32_t>(step.Number("request-id", -1))) {
    *error = "request id differs";
    return false;
  }
  if (step.Has("amount") && request_.amount != static_cast<uint32_t>(step.Number("amount", -1))) {
    *error = "amount differs";
    return false;
  }
  return true;
}

bool ScenarioRunner::Notify(const pinpadsim::Step& step, std::string* error) {
  const uint8_t command = static_cast<uint8_t>(step.Number("command", 0x50));
  const size_t count = static_cast<size_t>(step.Number("count", 1));
  const int64_t end = NowMs() + step.Number("within", 10000);
  auto matching = [&] {
    size_t n = 0;
    for (const Notice& notice : notices_) n += notice.command == command;
    return n;
  };
  WireMessage m;
  while (matching() < count) {
    int64_t left = end - NowMs();
    if (left <= 0) {
      *error = "only " + std::to_string(matching()) + " notifications";
      return false;
    }
    // Short waits: a notification is served inside Next and only counted here.
    if (Next(m, static_cast<int>(std::min<int64_t>(left, 50)))) {
      char line[64];
      std::snprintf(line, sizeof line, "unexpected 0x%02X", m.command);
      Log(line);
    }
  }
  return true;
}

bool ScenarioRunner::SendAnswer(const pinpadsim::Step& step, uint8_t command, const std::vector<uint8_t>& data,
                                std::string* error) {
  if (!request_.seen) {
    *error = "no request to answer";
    return false;
  }
  WireMessage answer;
  answer.command = command;
  answer.data = data;
  answer.id = request_.messageId | kReplyBit;
  if (step.Text("id") == "foreign") answer.id = ((request_.messageId + 7) % 999999 + 1) | kReplyBit;
  if (step.Text("id") == "any") answer.id = 0x80000001u;
  if (!wire_.Send(answer)) {
    *error = "the PC did not take the answer";
    return false;
  }
  Log("answer " + std::to_string(command));
  return true;
}

bool ScenarioRunner::Answer(const pinpadsim::Step& step, std::string* error) {
  std::vector<uint8_t> d(243, 0);
  const uint16_t code = static_cast<uint16_t>(step.Number("code", 0));
  d[0] = static_cast<uint8_t>(code);
  d[1] = static_cast<uint8_t>(code >> 8);
  Field(d, 2, 6, step.Text("auth"));
  Field(d, 9, 12, step.Text("rrn"));
  Field(d, 22, 4, step.Text("slip"));
  Field(d, 27, 19, step.Text("card"));
  Field(d, 47, 6, step.Text("text6"));
  Field(d, 53, 31, ToPinpadText(step.Text("message")));
  Put32(d, 85, static_cast<uint32_t>(step.Number("date", 20260101)));
  Put32(d, 89, static_cast<uint32_t>(step.Number("time", 120000)));
  d[93] = static_cast<uint8_t>(step.Number("flag", 0));
  Field(d, 94, 8, step.Text("terminal"));
  Field(d, 103, 15, ToPinpadText(step.Text("card-name")));
  d[187] = static_cast<uint8_t>(step.Number("card-type", 0));
  d[192] = static_cast<uint8_t>(step.Number("answer-op", request_.op));
  Put32(d, 193, static_cast<uint32_t>(step.Number("amount", request_.amount)));
  if (step.Has("text")) {
    std::string t = ToPinpadText(step.Text("text"));
    d.resize(350, 0);
    Field(d, 243, 106, t);
  }
  return SendAnswer(step, static_cast<uint8_t>(step.Number("command", 0)), d, error);
}

bool ScenarioRunner::AnswerTagged(const pinpadsim::Step& step, std::string* error) {
  std::vector<uint8_t> d = {0xFF, 0xFE};
  std::vector<uint8_t> room(4096);
  common::T_TLV_Buffer list = common::TlvBufferOver(room.data(), 0);
  for (const auto& [key, value] : step.args) {
    std::vector<uint8_t> bytes;
    uint32_t tag = 0;
    if (key.rfind("tag-", 0) == 0) {
      tag = static_cast<uint32_t>(std::strtoul(key.c_str() + 4, nullptr, 16));
      std::string t = ToPinpadText(value);
      bytes.assign(t.begin(), t.end());
    } else if (key.rfind("hex-", 0) == 0) {
      tag = static_cast<uint32_t>(std::strtoul(key.c_str() + 4, nullptr, 16));
      if (!FromHex(value, bytes)) {
        *error = "bad hex in " + key;
        return false;
      }
    } else {
      continue;
    }
    common::AddTagBinarySize(list, tag, bytes.data(), static_cast<uint16_t>(bytes.size()), common::TLV_ADD,
                             static_cast<uint32_t>(room.size()));
  }
  d.insert(d.end(), room.begin(), room.begin() + list.length);
  return SendAnswer(step, 0, d, error);
}

bool ScenarioRunner::Step(const pinpadsim::Step& step, std::string* error) {
  const std::string& k = step.keyword;
  if (k == "pinpad") {
    model_ = step.Text("model", "P")[0];
    version_ = static_cast<int>(step.Number("version", 16));
    caps_ = static_cast<int>(step.Number("caps", 1));
    statusTimeout_ = static_cast<int>(step.Number("status-timeout", 0));
    modelName_ = step.Text("model-name", modelName_);
    return true;
  }
  if (k == "expect") return Expect(step, error);
  if (k == "expect-status") return ExpectStatus(step, error);
  if (k == "call") {
    std::vector<uint8_t> body;
    if (!FromHex(step.Text("body"), body)) {
      *error = "bad body";
      return false;
    }
    return Call(step, static_cast<uint8_t>(step.Number("dev")), static_cast<uint8_t>(step.Number("op")), body,
                nullptr, error);
  }
  if (k == "print-begin") return Call(step, 3, 1, {0}, nullptr, error);
  if (k == "print-end") return Call(step, 3, 4, {}, nullptr, error);
  if (k == "print") {
    std::vector<uint8_t> body = {static_cast<uint8_t>(step.Number("attr", 0))};
    // Cheque lines come with their own line end, as the PIN pad prints them.
    std::string t = ToPinpadText(step.Text("text")) + (step.Number("raw", 0) ? "" : "\n");
    body.insert(body.end(), t.begin(), t.end());
    body.push_back(0);
    return Call(step, 3, 3, body, nullptr, error);
  }
  if (k == "file-open") {
    fileStorage_ = static_cast<uint8_t>(step.Text("storage", "F")[0]);
    std::vector<uint8_t> body = {fileStorage_, static_cast<uint8_t>(step.Text("mode", "W")[0]), 0, 0, 0, 0};
    std::string name = step.Text("name");
    body.insert(body.end(), name.begin(), name.end());
    WireMessage reply;
    if (!Call(step, 38, 1, body, &reply, error)) return false;
    char line[64];
    std::snprintf(line, sizeof line, "file-open length=%u", Get32(reply.data, 5));
    Log(line);
    return true;
  }
  if (k == "file-write") {
    std::vector<uint8_t> body(4, 0), bytes;
    Put32(body, 0, static_cast<uint32_t>(step.Number("offset", 0)));
    if (!Bytes(step, bytes)) return false;
    body.insert(body.end(), bytes.begin(), bytes.end());
    return Call(step, 38, 3, body, nullptr, error);
  }
  if (k == "file-read") {
    std::vector<uint8_t> body(8, 0);
    Put32(body, 0, static_cast<uint32_t>(step.Number("offset", 0)));
    Put32(body, 4, static_cast<uint32_t>(step.Number("count", 1024)));
    WireMessage reply;
    if (!Call(step, 38, 2, body, &reply, error)) return false;
    std::vector<uint8_t> got(reply.data.begin() + std::min<size_t>(5, reply.data.size()), reply.data.end());
    Log("file-read " + Shown(got));
    const std::string want = step.Text("want");
    if (step.Has("want") && got != std::vector<uint8_t>(want.begin(), want.end())) {
      *error = "read " + Shown(got);
      return false;
    }
    return true;
  }
  if (k == "file-close") return Call(step, 38, 4, {}, nullptr, error);
  if (k == "host-open") {
    hostChannel_ = static_cast<uint8_t>(step.Number("channel", 20));
    const uint8_t flags = static_cast<uint8_t>((step.Number("async", 0) ? 0x40 : 0) | (step.Number("listen", 0) ? 0x10 : 0));
    std::vector<uint8_t> body = {0, flags};
    unsigned a = 127, b = 0, c = 0, e = 1;
    std::sscanf(step.Text("address", "127.0.0.1").c_str(), "%u.%u.%u.%u", &a, &b, &c, &e);
    body.insert(body.end(), {static_cast<uint8_t>(a), static_cast<uint8_t>(b), static_cast<uint8_t>(c),
                             static_cast<uint8_t>(e)});
    Push16(body, static_cast<uint16_t>(step.Number("port", 0)));
    Push32(body, static_cast<uint32_t>(step.Number("connect-wait", 5000)));
    WireMessage reply;
    if (!Call(step, hostChannel_, 1, body, &reply, error)) return false;
    Log("host-open " + ToHex(reply.data.data(), reply.data.size()));
    return true;
  }
  if (k == "host-write") {
    std::vector<uint8_t> bytes;
    if (!Bytes(step, bytes)) return false;
    return Call(step, hostChannel_, 3, bytes, nullptr, error);
  }
  if (k == "host-read") {
    std::vector<uint8_t> body;
    Push16(body, static_cast<uint16_t>(step.Number("count", 1024)));
    Push32(body, static_cast<uint32_t>(step.Number("wait", 3000)));
    // async=1: answered at once, the PC notifies when data arrive.
    body.push_back(step.Number("async", 0) ? 1 : 0);
    WireMessage reply;
    if (!Call(step, hostChannel_, 2, body, &reply, error)) return false;
    std::vector<uint8_t> got(reply.data.begin() + std::min<size_t>(5, reply.data.size()), reply.data.end());
    Log("host-read " + Shown(got));
    const std::string want = step.Text("want");
    if (step.Has("want") && got != std::vector<uint8_t>(want.begin(), want.end())) {
      *error = "host sent " + Shown(got);
      return false;
    }
    return true;
  }
  if (k == "host-close") return Call(step, hostChannel_, 4, {}, nullptr, error);
  if (k == "reboot") {
    std::vector<uint8_t> body(4, 0);
    Put32(body, 0, static_cast<uint32_t>(step.Number("ms", 20000)));
    pinpadsim::Step want = step;
    want.args["want-status"] = "5";
    if (!Call(want, 41, 1, body, nullptr, error)) return false;
    Log("reboot");
    if (!wire_.AwaitReopen(static_cast<int>(step.Number("within", 60000)))) {
      *error = "the PC did not open its port again";
      return false;
    }
    Log("reopened");
    return true;
  }
  if (k == "heartbeat") {
    WireMessage m;
    m.command = kMasterCall;
    m.id = nextId_++;
    std::vector<uint8_t> body(5, 0);
    Put32(body, 0, static_cast<uint32_t>(step.Number("seconds", 5)));
    body[4] = static_cast<uint8_t>(step.Number("status", 1));
    m.data = {3, 45, 0};
    Push16(m.data, 5);
    m.data.insert(m.data.end(), body.begin(), body.end());
    if (!wire_.Send(m)) {
      *error = "the PC did not take the heartbeat";
      return false;
    }
    Log("heartbeat");
    return true;
  }
  if (k == "pause") {
    const int64_t end = NowMs() + step.Number("ms", 500);
    WireMessage m;
    while (NowMs() < end) {
      if (Next(m, static_cast<int>(end - NowMs()))) {
        char line[64];
        std::snprintf(line, sizeof line, "unexpected 0x%02X", m.command);
        Log(line);
      }
    }
    return true;
  }
  if (k == "notify") return Notify(step, error);
  if (k == "answer") return Answer(step, error);
  if (k == "answer-tagged") return AnswerTagged(step, error);
  if (k == "answer-code") {
    const uint32_t code = static_cast<uint32_t>(step.Number("code", 0));
    const uint8_t command = static_cast<uint8_t>(step.Number("command", 0));
    std::vector<uint8_t> d;
    if (command == 14) {
      Push16(d, static_cast<uint16_t>(code));
    } else {
      d.assign(6, 0);
      d[4] = static_cast<uint8_t>(code);
      d[5] = static_cast<uint8_t>(code >> 8);
    }
    return SendAnswer(step, command, d, error);
  }
  if (k == "vanish") {
    Log("vanish");
    wire_.Close();
    return true;
  }
  *error = "unknown step";
  return false;
}

}  // namespace pinpadsim
