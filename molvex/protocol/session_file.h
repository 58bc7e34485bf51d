// The session file "SESS.D": amount, request identifier and operation code of
// the operation in progress, so that the result of an operation cut off by a
// crash or a power loss can be fetched from the PIN pad on the next run.
#pragma once

#include <cstdint>

#include "molvex/front/model/daviz_params.h"

inline constexpr const char* kSessionFileName = "SESS.D";

struct SessionRecord {
  uint32_t amount = 0;
  uint32_t requestId = 0;  // 0: no operation in progress
  uint32_t operation = 0;
};

// Whether the operation keeps a session (an amount and one of the payment operations).
bool tspNeedSaveSessionStatus(const DavizParams& params);
// Marks the operation as started (finished false) or finished; an operation
// that keeps no session writes an empty record either way.
void tspMarkSessionStatus(const DavizParams& params, bool finished);
// An empty record: nothing in progress.
void tspResetSessionStatus();
// The record on disk; all zero when the file is missing or short.
SessionRecord tspReadSessionStatus();
// The request identifier of an aborted session of this very operation (same
// amount, not 0, and same operation code); 0 when there is none.
uint32_t tspReadRequestIDAbortedSession(const DavizParams& params);

class DavizSessionWriter : public IDavizParamsWriter {
 public:
  void Write(const DavizParams& params) override { tspMarkSessionStatus(params, false); }
};

class DavizSessionSuccessWriter : public IDavizParamsWriter {
 public:
  void Write(const DavizParams& params) override { tspMarkSessionStatus(params, true); }
};
