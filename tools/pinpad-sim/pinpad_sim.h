// The PIN pad's side of the link: receives and acknowledges the PC's frames,
// answers its messages and sends its own, in data, info, fast or legacy
// frames, and misbehaves on purpose when a test asks for it.
//
// What the PIN pad does with a message is decided by scenarios: the
// simulator offers every complete message to its scenarios in order (the
// ones added first, then the built-in readiness, speed and restart
// answers); the first that handles it answers through the session.
// Declarative scenario files plug in here as one more Scenario.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "tools/pinpad-sim/readiness_record.h"
#include "tools/pinpad-sim/sim_channel.h"

namespace pinpadsim {

enum class Framing { kData, kInfo, kFast, kLegacy };

struct SimMessage {
  uint8_t command = 0;
  uint32_t id = 0;
  std::vector<uint8_t> data;
  Framing framing = Framing::kData;  // how it arrived
};

// Deliberate misbehaviour, each used up by the next message the PIN pad sends.
enum class Fault {
  kBadCrc,         // its first frame carries a wrong CRC
  kOutOfSequence,  // its first frame is numbered 1
  kDuplicate,      // its first frame goes out twice in a row
  kGarbage,        // bytes without meaning go before it
  kSilence,        // it is not sent at all
  kUnplug,         // the device goes away instead (and comes back later)
  kStopMidFrame,   // only the first half of its first frame goes out
};
bool ParseFault(const std::string& name, Fault* fault);

class SimSession {
 public:
  virtual ~SimSession() = default;
  // Answers request with the reply identifier and framing it expects.
  virtual bool Reply(const SimMessage& request, uint8_t command, const std::vector<uint8_t>& data) = 0;
  // Sends a message of the PIN pad's own (a request to the PC, or information).
  virtual bool Send(uint8_t command, uint32_t id, const std::vector<uint8_t>& data, Framing framing) = 0;
};

class Scenario {
 public:
  virtual ~Scenario() = default;
  // Called for every complete message from the PC; true when handled.
  virtual bool OnMessage(const SimMessage& message, SimSession& session) = 0;
};

struct SimOptions {
  int speedIndex = 9;            // speed the PIN pad listens at (lines with a speed only)
  bool legacyOnly = false;       // an old PIN pad: legacy frames only
  Framing replyFraming = Framing::kData;
  ReadinessRecord readiness;
  bool silent = false;           // never answers anything
  uint32_t restartMs = 1000;     // deaf after a restart
  uint32_t unplugMs = 1000;      // away after an unplug
  std::deque<Fault> faults;
};

class PinpadSim : public SimSession {
 public:
  PinpadSim(SimChannel* channel, SimOptions options);
  ~PinpadSim() override;

  // Scenarios asked before the built-in answers (later additions are asked later).
  void AddScenario(std::unique_ptr<Scenario> scenario);
  void AddFault(Fault fault) { options_.faults.push_back(fault); }
  SimOptions& options() { return options_; }

  // Serves until stop becomes true.
  void Run(const std::atomic<bool>& stop);
  // One pass: reads what is there (waiting up to timeout_ms) and acts on it.
  void Poll(int timeout_ms);

  bool Reply(const SimMessage& request, uint8_t command, const std::vector<uint8_t>& data) override;
  bool Send(uint8_t command, uint32_t id, const std::vector<uint8_t>& data, Framing framing) override;

  // Messages received so far (tests look at them).
  const std::vector<SimMessage>& received() const { return received_; }
  int speedIndex() const { return options_.speedIndex; }

 private:
  void Feed(const uint8_t* bytes, size_t count);
  void OnFrame(const std::vector<uint8_t>& frame);
  void OnDataFrame(uint8_t type, uint8_t sequence, const std::vector<uint8_t>& payload);
  void OnLegacyPiece(const std::vector<uint8_t>& payload);
  void Deliver(SimMessage message);
  bool SendData(const std::vector<uint8_t>& image, bool faulty, Fault fault);
  bool SendLegacy(const std::vector<uint8_t>& image);
  int ReadControl(int timeout_ms);
  bool LegacyWaitNext(int timeout_ms);
  bool Deaf();
  void WriteLegacyCode(uint8_t code);

  SimChannel* channel_;
  SimOptions options_;
  std::vector<std::unique_ptr<Scenario>> scenarios_;
  std::vector<SimMessage> received_;
  std::vector<uint8_t> pending_;  // bytes not yet part of a whole frame
  // Receiving a message in data frames.
  std::vector<uint8_t> image_;
  uint8_t expected_ = 0;
  uint8_t ack_ = 0x06;
  // Receiving a legacy message.
  std::vector<uint8_t> legacy_;
  uint64_t deafUntilMs_ = 0;
  uint64_t unpluggedUntilMs_ = 0;
};

}  // namespace pinpadsim
