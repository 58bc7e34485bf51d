#include "molvex/protocol/client_factory.h"

#include <arpa/inet.h>

#include <cerrno>
#include <cstdlib>

#include "molvex/link/message_link.h"
#include "molvex/link/pinpad_test.h"
#include "molvex/link/port_discovery.h"
#include "molvex/protocol/heartbeat.h"
#include "molvex/protocol/ini_upload.h"
#include "molvex/protocol/msb_client.h"
#include "molvex/protocol/pinpad_setup.h"
#include "molvex/protocol/special_clients.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr const char* kIniFile = "pinpad.ini";

bool IsLoan(uint8_t op) { return op >= 63 && op <= 65; }

}  // namespace

bool ReadPinpadTcpAddress(uint32_t* address, uint16_t* port) {
  char text[64];
  pcc_GetIniStringSize(kIniFile, "PinpadIPAddr", text, sizeof text);
  in_addr parsed{};
  if (text[0] == '\0' || inet_pton(AF_INET, text, &parsed) != 1) return false;
  pcc_GetIniStringSize(kIniFile, "PinpadIPPort", text, sizeof text);
  if (text[0] == '\0') return false;
  char* end = nullptr;
  errno = 0;
  unsigned long value = std::strtoul(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || value == 0 || value > 65535) return false;
  *address = ntohl(parsed.s_addr);
  *port = static_cast<uint16_t>(value);
  return true;
}

std::unique_ptr<DavizCommand> CreatePciDssClient(DavizParams& params, uint16_t& code) {
  code = kCodeOk;
  if (params.GetOperType() == kOpPolling) return MakeSpecialClient({.kind = kClientPolling});
  uint32_t address = 0;
  uint16_t port = 0;
  if (ReadPinpadTcpAddress(&address, &port)) {
    return MakeSpecialClient({.kind = kClientTtk, .address = address, .tcpPort = port});
  }
  return GetSerialPortClient(params, code);
}

std::unique_ptr<DavizCommand> GetSerialPortClient(DavizParams& params, uint16_t& code) {
  // Framing, identifier seed, port and speed from the configuration.
  tspLoadLinkSettings();
  const uint8_t op = params.GetOperType();
  if (op == kOpPinpadTest) {
    code = kCodeOk;
    return MakeSpecialClient({.kind = kClientTest, .port = PINPAD_PORT});
  }

  PinpadTestParams test;
  test.value = params.GetCurrencyType();
  test.cardType = params.GetCardType();
  T_PinpadProperties properties;
  uint16_t info = 0;
  code = TestPinpad(test, &properties, kSearchWhenFailing, &info);
  if (code != kCodeOk && code != kCodeReadinessWarning) return nullptr;

  termUpdatePinpadLogo();
  if (termUpdatePinpadSoft(properties.modelLetter) != 0) code = TestPinpad(test, &properties, kSearchWhenFailing, &info);
  if (code != kCodeOk) return nullptr;

  if (op == kOpReload || op == kOpFullReload) {
    return MakeSpecialClient({.kind = kClientReload, .port = PINPAD_PORT, .fullReload = op == kOpFullReload});
  }
  if (op == kOpNoSerial) {
    code = kCodeNoClient;
    return nullptr;
  }

  HeartBeatObject::Instance().SetDynamic(properties.statusTimeoutSeconds != 0);
  ReportString("Pinpad status timeout %d s", properties.statusTimeoutSeconds);
  if (op == kOpTotals) {
    uint16_t totals = DoSpecificProcessingForTotals(properties.modelLetter, properties.capabilities);
    if (totals != kCodeOk) ReportString("Daily report result %d", totals);
  }
  DownloadSpecificData(ReadIniStringChainForUpload());
  if (IsLoan(op)) {
    return MakeSpecialClient({.kind = kClientLoan,
                              .port = PINPAD_PORT,
                              .modelLetter = properties.modelLetter,
                              .capabilities = properties.capabilities});
  }
  return std::make_unique<MsbPciDssClient>(PINPAD_PORT, properties.modelLetter, properties.capabilities);
}
