#include "molvex/protocol/session_file.h"

#include <string>

#include "common/byte_order.h"
#include "common/raw_file.h"
#include "src/pc/paths.h"

namespace {

std::string SessionPath() { return pcc_MakeFullPath(kSessionFileName, PathToCurrent); }

void Save(const SessionRecord& record) {
  uint8_t bytes[12];
  common::DWORD_MSB(record.amount, bytes);
  common::DWORD_MSB(record.requestId, bytes + 4);
  common::DWORD_MSB(record.operation, bytes + 8);
  common::auxSaveParamsByName(SessionPath().c_str(), sizeof bytes, bytes);
}

}  // namespace

bool tspNeedSaveSessionStatus(const DavizParams& params) {
  if (params.GetAmount() == 0) return false;
  switch (params.GetOperType()) {
    case 1: case 3: case 6: case 8: case 33: case 35: case 45: case 69: case 72: case 74: case 75: case 77:
      return true;
    default:
      return false;
  }
}

void tspMarkSessionStatus(const DavizParams& params, bool finished) {
  SessionRecord record;
  if (tspNeedSaveSessionStatus(params)) {
    record.amount = params.GetAmount();
    record.requestId = finished ? 0 : params.GetRequestID();
    record.operation = params.GetOperType();
  }
  Save(record);
}

void tspResetSessionStatus() { Save(SessionRecord{}); }

SessionRecord tspReadSessionStatus() {
  uint8_t bytes[12] = {};
  SessionRecord record;
  if (common::auxLoadParamsByName(SessionPath().c_str(), sizeof bytes, bytes) != sizeof bytes) return record;
  record.amount = common::MSB_DWORD(bytes);
  record.requestId = common::MSB_DWORD(bytes + 4);
  record.operation = common::MSB_DWORD(bytes + 8);
  return record;
}

uint32_t tspReadRequestIDAbortedSession(const DavizParams& params) {
  SessionRecord record = tspReadSessionStatus();
  if (record.requestId == 0 || record.amount == 0) return 0;
  if (record.amount != params.GetAmount() || record.operation != params.GetOperType()) return 0;
  return record.requestId;
}
