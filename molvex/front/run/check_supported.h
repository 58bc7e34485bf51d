// The check-support cache: what the PIN pad said earlier about whether it
// supports a function, kept in "check_sup.ini" so that operation 26 need not
// ask it again.
#pragma once

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"

class CheckSupportedHandler {
 public:
  CheckSupportedHandler(DavizParams& params, DavizResult& result) : params_(params), result_(result) {}
  // Updates the cache after a successful run it did not answer itself.
  ~CheckSupportedHandler();
  CheckSupportedHandler(const CheckSupportedHandler&) = delete;
  CheckSupportedHandler& operator=(const CheckSupportedHandler&) = delete;

  // Answers operation 26 from the cache; true when the PIN pad need not be asked.
  bool FillFromLocalCash();

 private:
  DavizParams& params_;
  DavizResult& result_;
  bool answered_ = false;
};
