// The request that starts an operation on the PIN pad: the operation request
// (tagged or fixed form), the status request of operations 12 and 41 and the
// text request of operation 56.
#pragma once

#include <cstdint>
#include <vector>

#include "molvex/front/model/daviz_params.h"
#include "molvex/link/message.h"

inline constexpr uint8_t kOperationRequestCommand = 0x6D;
inline constexpr uint8_t kStatusRequestCommand = 0xA6;
inline constexpr uint8_t kTextRequestCommand = 0x24;
inline constexpr uint32_t kTlvRequestMarker = 0xFFFFFAFAu;
inline constexpr uint32_t kFixedRequestSize = 69;
inline constexpr size_t kMaxJsonText = 20480;

// The data of the request for params: its command and bytes. Returns 0, or
// 4332 when a text is over its limit (nothing is to be sent then).
uint16_t BuildPinpadRequest(const DavizParams& params, bool tlvForm, uint8_t* command, std::vector<uint8_t>& data);

// Builds the request into message, gives it a fresh identifier and sends it
// without waiting for a reply: 0, 4332, or the link's send result.
uint16_t SendPinpadMMCommand(const DavizParams& params, LongMessage& message, bool tlvForm);
