#include "molvex/link/pinpad_test.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "molvex/link/message.h"
#include "molvex/link/message_link.h"
#include "molvex/link/port_discovery.h"
#include "molvex/link/port_service.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr uint16_t kAnswerTooShort = 4104;
constexpr uint8_t kSpeedCommand = 21;
constexpr uint8_t kRestartCommand = 19;
constexpr uint32_t kFlushChunk = 512;
// A port that never stops talking cannot keep the flush going for ever.
constexpr int kMaxFlushReads = 2048;

int8_t Port() { return static_cast<int8_t>(PINPAD_PORT); }

// A pause with the idle hook running, so screens stay live.
void Pause(uint32_t ms) {
  drv_deadline_t deadline = drvSetTimer(ms);
  while (!drvCheckTimer(deadline)) drvIdleWait(nullptr, 0, 10);
}

uint32_t IniNumber(const char* key) {
  char text[32];
  pcc_GetIniStringSize("pinpad.ini", key, text, sizeof text);
  return static_cast<uint32_t>(std::strtoul(text, nullptr, 10));
}

bool IniSet(const char* key) {
  char text[32];
  return pcc_GetIniStringSize("pinpad.ini", key, text, sizeof text) > 0;
}

}  // namespace

LinkTimings& LinkTimingsForTests() {
  static LinkTimings timings;
  return timings;
}

void auxFlushComPort(int8_t port) {
  uint8_t chunk[kFlushChunk];
  for (int i = 0; i < kMaxFlushReads; ++i) {
    if (drvReceiveData(port, chunk, sizeof chunk) <= 0) break;
  }
}

uint16_t TestPinpadOK(T_PinpadProperties* properties, uint32_t value, uint8_t flag, const uint16_t* info) {
  T_PinpadProperties local;
  T_PinpadProperties* p = properties != nullptr ? properties : &local;
  *p = T_PinpadProperties{};
  T_MessageBuf<8> request;
  T_Message* m = request.msg();
  m->command = kReadinessCommand;
  common::DWORD_MSB(value, m->data());
  m->data()[4] = flag;
  m->data()[5] = 1;
  m->length = 6;
  if (info != nullptr) {
    common::WORD_MSB(*info, m->data() + 6);
    m->length = 8;
  }
  LongMessageDynamic reply;
  uint16_t result = DoExchangeWithPPMs(Port(), m, &reply, LinkTimingsForTests().readinessReplyMs, 0);
  if (result != 0) return result;
  if (reply.msg()->length <= kReadinessMinLength) return kAnswerTooShort;
  ParsePinpadReadiness(reply.msg()->data(), reply.msg()->length, p);
  if (p->versionMajor > 15 && bUseNewProtocol == 0) {
    tspUseCurrentFraming(true);
    pcc_SetIniString("pinpad.ini", "NewProtocol", "1");
  }
  drvSetHighSpeedTagByModelName(Port(), p->modelName);
  return 0;
}

uint16_t termSetPinpadSpeed(uint8_t speedIndex, bool reopen) {
  T_MessageBuf<6> request;
  T_Message* m = request.msg();
  m->command = kSpeedCommand;
  const uint8_t data[6] = {0x3C, 0x3C, 0x04, 0x00, 0x00, speedIndex};
  std::copy(data, data + 6, m->data());
  m->length = 6;
  LongMessageDynamic reply;
  uint16_t result = DoExchangeWithPP(Port(), m, &reply, 0, 0);
  if (result != 0) return result;
  char text[8];
  pcc_SetIniString("pinpad.ini", "Speed", SpeedToString(speedIndex, text));
  if (reopen) {
    drvCloseComPort(Port());
    drvOpenComPort(Port(), speedIndex, 0);
    Pause(LinkTimingsForTests().speedSettleMs);
    if (IniSet("ExtraDelay")) Pause(IniNumber("ExtraDelay"));
  }
  return result;
}

uint16_t stubWaitForPinpad(uint32_t totalMs, uint32_t retryMs, uint8_t* speedIndex, T_PinpadProperties* properties,
                           uint32_t value, uint8_t flag, const uint16_t* info) {
  T_PinpadProperties local;
  T_PinpadProperties* p = properties != nullptr ? properties : &local;
  const uint8_t optimal = ReadIniOptimalPortSpeed();
  const bool started_current = bUseNewProtocol != 0;
  drv_deadline_t deadline = drvSetTimer(totalMs);
  while (!drvCheckTimer(deadline)) {
    if (drvOpenComPort(Port(), *speedIndex, 0) != 0) {
      drvCloseComPort(Port());
      return 253;
    }
    auxFlushComPort(Port());
    tspUseCurrentFraming(started_current);
    uint16_t result = TestPinpadOK(p, value, flag, info);
    if (result == 99) {
      bool current = bUseNewProtocol != 0;
      tspUseCurrentFraming(!current);
      result = TestPinpadOK(p, value, flag, info);
      if (result == 99) {
        drvCloseComPort(Port());
        Pause(retryMs);
        *speedIndex = *speedIndex == optimal ? kSpeedIndex9600 : optimal;
        continue;
      }
      // The framing that answered stays for the rest of the run; an older
      // PIN pad is remembered as one that speaks the legacy framing.
      if (result == 0 && p->versionMajor <= 15) pcc_SetIniString("pinpad.ini", "NewProtocol", "0");
    }
    if (*speedIndex != kSpeedIndex9600) return result;
    uint16_t moved = termSetPinpadSpeed(optimal, true);
    if (moved != 0) return moved;
    result = TestPinpadOK(p, value, flag, info);
    if (result == 0) *speedIndex = optimal;
    return result;
  }
  return 99;
}

uint16_t TestPinpad(const PinpadTestParams& params, T_PinpadProperties* properties, int mode, uint16_t* info) {
  T_PinpadProperties local;
  T_PinpadProperties* p = properties != nullptr ? properties : &local;
  const uint16_t* asked = params.askFunction ? &params.functionId : nullptr;
  const LinkTimings& timings = LinkTimingsForTests();
  const uint8_t configured = PINPAD_PORT;
  uint16_t result = 253;
  if (configured != 0) {
    result = stubWaitForPinpad(timings.pinpadWaitMs, timings.pinpadRetryMs, &PORT_SPEED, p, params.value,
                               params.cardType, asked);
  }
  bool search = mode == kSearchAlways ||
                (mode == kSearchWhenFailing && (configured == 0 || result == 253) && Ini_IsUsbEnabled() != 0);
  if (search) {
    ReportString("Start Find COM");
    std::vector<int> ports;
    findPortStartSearch(&ports);
    int answered = 0;
    for (int port : ports) {
      if (result == 0) break;
      if (port == configured) continue;
      PINPAD_PORT = static_cast<uint8_t>(port);
      result = stubWaitForPinpad(timings.pinpadWaitMs, timings.pinpadRetryMs, &PORT_SPEED, p, params.value,
                                 params.cardType, asked);
      if (result == 0) answered = port;
    }
    if (answered != 0) {
      Ini_SetComPort(answered);
      ReportString("Find pinpad at %d port. Update pinpad.ini", answered);
    } else if (result != 0) {
      PINPAD_PORT = configured;
      ReportString("Find COM result:%d", result);
    }
    findPortEndSearch();
  }
  if (result == 253) result = 99;
  if (info != nullptr) *info = (result == 0 && params.askFunction && p->answersFunctionQuestions) ? params.functionId : 0;
  return result;
}

uint16_t termRestartPinpad() {
  T_MessageBuf<0> request;
  request.msg()->command = kRestartCommand;
  request.msg()->length = 0;
  LongMessageDynamic reply;
  uint16_t result = DoExchangeWithPP(Port(), request.msg(), &reply, 0, 0);
  Pause(LinkTimingsForTests().restartWaitMs);
  return result;
}

void tspLoadLinkSettings() {
  bUseNewProtocol = IniNumber("NewProtocol") != 0 ? tspNewProtocolSeed() : 0;
  PINPAD_PORT = static_cast<uint8_t>(GetComPortNumber());
  PORT_SPEED = ReadIniPortSpeed();
}
