#include "molvex/front/run/report_result.h"

#include "molvex/front/model/error_messages.h"
#include "molvex/front/model/response_file.h"
#include "molvex/front/model/result_codes.h"

int DoReturnDavizCode(uint16_t code, DavizResult& result, const char* responseFileName, DavizParams& params) {
  // Operation 26 is answered "supported" by naming the function asked for.
  const uint32_t function = params.GetAdditionalAmount();
  if (params.GetOperType() == 26 && function != 0 && function != result.GetAmount()) code = kResultNotSupported;
  result.SetResultCode(code);
  if (!result.HasTag(kResTagMessage)) {
    const std::string message = termGetErrorMsg(code);
    result.SetTagText(kResTagMessage, message.c_str(), 32);
  }
  params.FreeMerchantCheque();
  // An answer without its own identifier carries the request's.
  if (result.GetRequestID() == 0) result.SetRequestID(params.GetRequestID());
  return returnErrCode(result, responseFileName, params.GetOperType(), params.GetRequestID());
}
