// The result of one operation as the PIN pad answered it.
#pragma once

#include <cstdint>

class DavizResult {
 public:
  uint32_t GetRequestID() const { return request_id_; }
  void SetRequestID(uint32_t id) { request_id_ = id; }

 private:
  uint32_t request_id_ = 0;
};
