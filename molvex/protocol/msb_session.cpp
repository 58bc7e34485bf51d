#include "molvex/protocol/msb_session.h"

#include <algorithm>

#include "molvex/link/link_results.h"
#include "molvex/link/message_link.h"
#include "molvex/link/pinpad_test.h"
#include "molvex/link/port_discovery.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/protocol/daviz_command.h"
#include "molvex/protocol/heartbeat.h"
#include "molvex/protocol/msb_answer.h"
#include "molvex/protocol/msb_env.h"
#include "molvex/protocol/msb_request.h"
#include "molvex/protocol/protocol_timings.h"
#include "molvex/protocol/screen_request.h"
#include "molvex/protocol/session_file.h"
#include "molvex/services/file_service.h"
#include "molvex/services/notifications.h"
#include "molvex/services/slave_state.h"
#include "src/pc/report.h"

namespace {

constexpr uint32_t kReconnectStepMs = 200;
constexpr int kRebootStatus = 10;

int8_t Port() { return static_cast<int8_t>(PINPAD_PORT); }

class MsbSession {
 public:
  MsbSession(DavizParams& params, DavizResult& result, MsbDavizEnv& env)
      : params_(params), result_(result), env_(env), heartbeat_(HeartBeatObject::Instance()) {}

  uint16_t Run();

 private:
  // Each returns true when the session ends, with code_ set.
  bool Receive();
  bool Serve();
  bool CheckHeartbeat();
  bool Reconnect();
  void ServeMasterCall();
  void ServeScreen();
  bool FinalAnswer();
  void StartReboot();
  uint16_t AwaitWelcome();
  bool End(uint16_t code) {
    code_ = code;
    return true;
  }

  DavizParams& params_;
  DavizResult& result_;
  MsbDavizEnv& env_;
  HeartBeatObject& heartbeat_;
  LongMessageDynamic request_;
  LongMessageDynamic message_;
  LongMessageDynamic reply_;
  uint32_t answerId_ = 0;
  int state_ = kSessionNormal;
  bool rebooted_ = false;
  drv_deadline_t reconnectTimer_ = 0;
  uint16_t code_ = kCodeOk;
};

uint16_t MsbSession::Run() {
  uint16_t sent = SendPinpadMMCommand(params_, request_, (env_.capabilities() & kCapTlvRequest) != 0);
  if (sent != kCodeOk) {
    ReportString("Error start operation:%d. Clear session status", sent);
    tspMarkSessionStatus(params_, true);
    return sent;
  }
  answerId_ = request_.msg()->id | kFinalAnswerIdBit;

  const uint32_t lost = heartbeat_.lostLimitMs();
  heartbeat_.SetTimeoutMs(heartbeat_.dynamic() && lost != 0 ? lost : ProtocolTiming().heartbeatMs);
  heartbeat_.Restart();
  ReportString("Start tmo %d", static_cast<int>(heartbeat_.timeoutMs() + HeartBeatObject::kSlackMs));

  for (;;) {
    if (Receive()) break;
    env_.ProcessTerminatingFlags();
    env_.notifications().RefreshNotifications(nullptr);
    env_.notifications().SendNotifications(env_);
    drvIdleWait(nullptr, 0, 0);
    if (CheckHeartbeat()) break;
    if (state_ == kSessionRebooting && Reconnect()) break;
  }
  env_.EndSession();
  slvCloseFileService();
  return code_;
}

bool MsbSession::Receive() {
  uint16_t got = tspGetCommandFromController(&message_);
  if (got == pplink::kLinkPortError) {
    if (state_ == kSessionReconnected) {
      drvCloseComPort(Port());
      state_ = kSessionRebooting;
      return false;
    }
    ReportString("Error retrieving data from port: %d", got);
    return End(kCodeFailure);
  }
  if (got == pplink::kLinkFrameTimeout) {
    if (message_.msg()->id == answerId_) {
      ReportString("Not all frames received from port: %d", got);
      return End(kCodeAnswerIncomplete);
    }
    return false;
  }
  if (got != pplink::kLinkOk) return false;
  if (state_ == kSessionReconnected) {
    state_ = kSessionNormal;
    heartbeat_.SetTimeoutMs(ProtocolTiming().heartbeatMs);
    ReportString("Set wait pinpad timeout to %d", static_cast<int>(heartbeat_.timeoutMs()));
  }
  env_.notifications().RefreshNotifications(&message_);
  bool ended = Serve();
  heartbeat_.Restart();
  return ended;
}

bool MsbSession::Serve() {
  switch (message_.msg()->command) {
    case kMasterCallCommand:
      ServeMasterCall();
      return false;
    case kScreenRequestCommand:
      ServeScreen();
      return false;
    default:
      return FinalAnswer();
  }
}

void MsbSession::ServeMasterCall() {
  reply_.clear();
  reply_.msg()->length = 0;
  env_.MasterCall(message_, reply_);
  const uint8_t command = reply_.msg()->command;
  if (command != kReplyNone) {
    const bool fast = drvIsHighSpeedConnection(Port()) && (env_.capabilities() & kCapFastReplies) != 0 &&
                      reply_.msg()->length > kFastReplyMinimum;
    uint32_t id = message_.msg()->id;
    tspReturnResultToControllerEx(reply_.msg(), &id, fast);
  }
  if (command == kReplyRebooting) StartReboot();
}

void MsbSession::ServeScreen() {
  reply_.clear();
  reply_.msg()->length = 0;
  reply_.msg()->command = static_cast<uint8_t>(tspcmdRunScreen(message_, reply_));
  uint32_t id = message_.msg()->id;
  tspReturnResultToControllerEx(reply_.msg(), &id, false);
}

void MsbSession::StartReboot() {
  const uint32_t announced = std::max<uint32_t>(slvGetRebootTimeout(), kMinRebootWaitMs);
  const uint32_t rebootMs = announced / ProtocolTiming().rebootDivisor;
  reconnectTimer_ = drvSetTimer(rebootMs);
  drvCloseComPort(Port());
  state_ = kSessionRebooting;
  heartbeat_.TouchLast();
  if (heartbeat_.dynamic()) heartbeat_.SetTimeoutMs(std::max(rebootMs, ProtocolTiming().heartbeatMs));
  ReportString("Status %d. Timeout %d. Dynamic tmo:%s", kRebootStatus, static_cast<int>(heartbeat_.timeoutMs()),
               heartbeat_.dynamic() ? "on" : "off");
  heartbeat_.Restart();
  rebooted_ = true;
}

bool MsbSession::FinalAnswer() {
  const uint32_t id = message_.msg()->id;
  if (id != answerId_ && id != kAnyRequestAnswerId && id != pplink::kLegacyMessageId) {
    ReportString("The response MsgId=%d does not match the request MsgId=%d. The response ignored",
                 static_cast<int>(id), static_cast<int>(request_.msg()->id));
    return false;
  }
  uint16_t code = RecvPinpadMMCommand(params_, result_, message_, rebooted_);
  if (code != kCodeOk || !rebooted_) return End(code);
  return End(AwaitWelcome());
}

uint16_t MsbSession::AwaitWelcome() {
  ReportString("Wait for pinpad welcome screen...");
  const ProtocolTimings& t = ProtocolTiming();
  drv_deadline_t wait = drvSetTimer(t.welcomeScreenMs);
  while (!drvCheckTimer(wait)) drvIdleWait(nullptr, 0, 20);
  drv_deadline_t deadline = drvSetTimer(t.welcomeTestMs);
  T_PinpadProperties properties;
  uint16_t code = kCodeFailure;
  for (;;) {
    code = TestPinpadOK(&properties, params_.GetCurrencyType(), params_.GetCardType(), nullptr);
    if (code != kCodeFailure || drvCheckTimer(deadline)) return code;
    drv_deadline_t pause = drvSetTimer(t.welcomeTestPauseMs);
    while (!drvCheckTimer(pause)) drvIdleWait(nullptr, 0, 20);
  }
}

bool MsbSession::CheckHeartbeat() {
  if (!heartbeat_.Expired()) return false;
  if (heartbeat_.dynamic() && heartbeat_.lostLimitMs() != 0) {
    ReportString("Lost packet!");
    if (heartbeat_.SinceLastMs() >= heartbeat_.lostLimitMs()) return End(kCodePinpadSilent);
    heartbeat_.Restart();
    return false;
  }
  return End(kCodePinpadSilent);
}

uint32_t RebootSliceMs(char modelLetter) {
  switch (modelLetter) {
    case 0: case 'q': case 'j': case 'p': return 40000;
    case 'k': case 'g': case 'K': return 30000;
    default: return 20000;
  }
}

bool MsbSession::Reconnect() {
  const uint32_t slice = RebootSliceMs(env_.modelLetter()) / ProtocolTiming().rebootDivisor;
  for (;;) {
    if (drvCheckTimer(reconnectTimer_)) {
      ReportString("Error restoring connection after pinpad reboot.");
      return End(kCodeFailure);
    }
    const uint64_t now = drvGetTimeMSec64();
    const uint64_t left = reconnectTimer_ > now ? reconnectTimer_ - now : 0;
    const uint32_t wait = static_cast<uint32_t>(std::min<uint64_t>(slice, left));
    for (uint32_t waited = 0; waited < wait;) {
      const uint32_t step = std::min(kReconnectStepMs, wait - waited);
      drv_deadline_t pause = drvSetTimer(step);
      while (!drvCheckTimer(pause)) drvIdleWait(nullptr, 0, 20);
      waited += step;
    }
    if (drvOpenComPort(Port(), PORT_SPEED, 0) == 0) {
      state_ = kSessionReconnected;
      return false;
    }
    drvCloseComPort(Port());
    if (left <= wait) {
      ReportString("Error restoring connection after pinpad reboot.");
      return End(kCodeFailure);
    }
  }
}

}  // namespace

uint16_t tspRunDavizCommandMsb(DavizParams& params, DavizResult& result, MsbDavizEnv& env) {
  MsbSession session(params, result, env);
  return session.Run();
}
