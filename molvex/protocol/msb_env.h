// The environment of an MSB command session: what the PIN pad told about
// itself, the host channels and notifications, and the service of the PIN
// pad's requests.
#pragma once

#include <cstdint>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"
#include "molvex/link/message.h"
#include "molvex/services/host_relay.h"
#include "molvex/services/notifications.h"

// Capability flags of the readiness answer.
inline constexpr uint8_t kCapTlvRequest = 0x01;
inline constexpr uint8_t kCapNotifications = 0x02;
inline constexpr uint8_t kCapFastReplies = 0x04;
inline constexpr uint8_t kCapBigDataTag5F62 = 0x08;

class ITerminateEnv {
 public:
  virtual ~ITerminateEnv() = default;
  virtual void ProcessTerminatingFlags() = 0;
};

class MsbDavizEnv : public ITerminateEnv, public INotifyEnvironment {
 public:
  MsbDavizEnv(char modelLetter, uint8_t capabilities);
  ~MsbDavizEnv() override = default;
  MsbDavizEnv(const MsbDavizEnv&) = delete;
  MsbDavizEnv& operator=(const MsbDavizEnv&) = delete;

  // Sends a message to the PIN pad as an info message, without a reply.
  void Send(LongMessage& message) override;
  // Serves one PIN pad request; the status is also the reply's command.
  virtual uint16_t MasterCall(const LongMessage& request, LongMessage& reply);
  uint16_t MasterCallComms(const LongMessage& request, LongMessage& reply);
  static void MasterCallReturnError(uint16_t code, LongMessage& reply);

  // Opens the console display when screens are shown, then runs the session.
  uint16_t Run(DavizParams& params, DavizResult& result);

  void ProcessTerminatingFlags() override;
  void ProcessTerminatingFlag(uint8_t flag);

  char modelLetter() const { return modelLetter_; }
  uint8_t capabilities() const { return capabilities_; }
  StubNotifyHolder& notifications() { return relay_.notifications(); }
  HostRelay& relay() { return relay_; }
  // End of a session: every channel closed, every notification forgotten.
  void EndSession();

 private:
  char modelLetter_;
  uint8_t capabilities_;
  HostRelay relay_;
  bool warnedInvalidText_ = false;
};
