// The final answer of an MSB operation: a fixed record, or a tagged list
// behind the marker FF FE.
#pragma once

#include <cstddef>
#include <cstdint>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"
#include "molvex/link/message.h"

// An answer of this many data bytes or fewer cannot hold the fixed record.
inline constexpr size_t kFixedAnswerMinimum = 84;

// Reads the fixed record into result; false when it is too short.
bool ReadFixedAnswer(const uint8_t* data, size_t length, DavizResult& result);
// Reads either layout. ok receives whether the answer could be read at all;
// hadRequestId whether it named its request.
void ReadFinalAnswer(const uint8_t* data, size_t length, DavizResult& result, bool* ok, bool* hadRequestId);

// Turns the final answer into the result and returns the result code.
uint16_t RecvPinpadMMCommand(const DavizParams& params, DavizResult& result, const LongMessage& answer,
                             bool rebooted);
