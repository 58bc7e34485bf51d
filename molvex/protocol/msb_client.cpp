#include "molvex/protocol/msb_client.h"

#include "molvex/link/message_link.h"
#include "molvex/link/pinpad_test.h"
#include "molvex/link/port_discovery.h"
#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/protocol/master_transfers.h"
#include "molvex/protocol/protocol_timings.h"
#include "molvex/services/capture_services.h"
#include "src/pc/report.h"

uint16_t MsbPciDssClient::WriteBigData(uint32_t tag, uint32_t value) { return termWriteBigDataValue(tag, value); }

uint16_t MsbPciDssClient::BeforeRunComand(DavizParams& params, DavizResult& result) {
  uint16_t code = DavizCommand::BeforeRunComand(params, result);
  if (code != kCodeOk) return code;
  if ((params.GetFlags() & kDavizFlagMerchantCheque) != 0 && params.GetMerchantCheque() != nullptr) {
    const char* text = params.GetMerchantCheque();
    uint32_t length = slvGetMerchantChequeLength(text);
    uint16_t sent = termSendMerchantCheque(static_cast<int8_t>(PINPAD_PORT), params.GetRequestID(), text, length);
    if (sent != kCodeOk) ReportString("Merchant cheque not sent: %d", sent);
  }
  uint16_t stored = WriteBigData(RequestIdTag(), params.GetRequestID());
  if (stored != kCodeOk && stored != kCodeNotSupported) ReportString("Request id not stored: %d", stored);
  return kCodeOk;
}

void MsbPciDssClient::WaitForPinpad() {
  const ProtocolTimings& t = ProtocolTiming();
  drv_deadline_t pause = drvSetTimer(t.pinpadRecoveryPauseMs);
  while (!drvCheckTimer(pause)) drvIdleWait(nullptr, 0, 20);
  T_PinpadProperties properties;
  uint8_t speed = PORT_SPEED;
  stubWaitForPinpad(t.pinpadRecoveryTestMs, 1000, &speed, &properties, 0, 0, nullptr);
  PORT_SPEED = speed;
}

bool MsbPciDssClient::IsSessionRestoreSupported() { return bUseNewProtocol != 0; }
