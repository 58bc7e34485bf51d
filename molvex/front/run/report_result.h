// The end of a run: the final result code and the files the POS reads.
#pragma once

#include <cstdint>

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"

// Settles the result code, frees the merchant cheque text and writes the
// response file. Returns the exit code (0 or 99).
int DoReturnDavizCode(uint16_t code, DavizResult& result, const char* responseFileName, DavizParams& params);
