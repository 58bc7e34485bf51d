// Plays a scenario against the PC on the other end of the wire, serving the
// PC's own commands (readiness, speed change, identity upload) whenever they
// come, and writes a transcript of what the PC sent.
#pragma once

#include <cstdint>
#include <deque>
#include <string>

#include "pinpad_wire.h"
#include "scenario.h"

namespace pinpadsim {

class ScenarioRunner {
 public:
  ScenarioRunner(PinpadWire& wire, const Scenario& scenario, const std::string& transcriptPath);
  // Runs every step; false with a message when an expectation failed.
  bool Run(std::string* error);

 private:
  struct Request {
    bool seen = false;
    uint8_t command = 0;
    uint32_t messageId = 0;
    uint32_t op = 0;
    uint32_t amount = 0;
    uint32_t requestId = 0;
  };
  struct Notice {
    uint8_t command;
    int64_t atMs;
  };

  bool Step(const pinpadsim::Step& step, std::string* error);
  // Receives one message within timeoutMs and serves the PC's own commands;
  // true with message set for anything the scenario must look at.
  bool Next(WireMessage& message, int timeoutMs);
  bool Serve(const WireMessage& message);
  bool Call(const pinpadsim::Step& step, uint8_t device, uint8_t operation, const std::vector<uint8_t>& body,
            WireMessage* reply, std::string* error);
  bool Expect(const pinpadsim::Step& step, std::string* error);
  bool ExpectStatus(const pinpadsim::Step& step, std::string* error);
  bool Notify(const pinpadsim::Step& step, std::string* error);
  bool Answer(const pinpadsim::Step& step, std::string* error);
  bool AnswerTagged(const pinpadsim::Step& step, std::string* error);
  bool SendAnswer(const pinpadsim::Step& step, uint8_t command, const std::vector<uint8_t>& data, std::string* error);
  std::vector<uint8_t> ReadinessRecord() const;
  void Log(const std::string& line);

  PinpadWire& wire_;
  const Scenario& scenario_;
  std::string transcript_;
  uint32_t nextId_ = 500000;
  Request request_;
  std::deque<Notice> notices_;
  // The readiness answer.
  char model_ = 'P';
  int version_ = 16;
  int caps_ = 1;
  int statusTimeout_ = 0;
  std::string modelName_ = "SIMPAD";
  uint8_t fileStorage_ = 'F';
  uint8_t hostChannel_ = 20;
};

// Converts a UTF-8 text to the PIN pad's code page (cp866).
std::string ToPinpadText(const std::string& utf8);

}  // namespace pinpadsim
