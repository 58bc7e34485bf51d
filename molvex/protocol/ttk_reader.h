// Reading a tagged final answer (a TLV list in the tag set of the host
// answer) into the operation result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "molvex/front/model/daviz_result.h"

// The result code of a two-character host response code.
uint16_t TtkResponseCode(const uint8_t* text, size_t length);

class DavizTtkReader : public IDavizResultReader {
 public:
  DavizTtkReader(const uint8_t* tlv, size_t length) : tlv_(tlv), length_(length) {}
  // Fills the result; its result code becomes the answer's response code,
  // 4104 when the answer carries none, 253 when it holds no tag at all.
  void Read(DavizResult& result) override;
  // Whether the answer held at least one tag.
  bool ok() const { return ok_; }
  bool hadRequestId() const { return hadRequestId_; }

 private:
  const uint8_t* tlv_;
  size_t length_;
  bool ok_ = false;
  bool hadRequestId_ = false;
};
