// The parameters of one operation, filled from the command line.
#pragma once

#include <cstdint>

class DavizParams {
 public:
  uint8_t GetOperType() const { return operation_; }
  void SetOperType(uint8_t operation) { operation_ = operation; }
  uint32_t GetRequestID() const { return request_id_; }
  void SetRequestID(uint32_t id) { request_id_ = id; }

 private:
  uint8_t operation_ = 0;
  uint32_t request_id_ = 0;
};
