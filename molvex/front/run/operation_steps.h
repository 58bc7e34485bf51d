// The steps of one run that belong to the layers below the front end. Until
// a layer is in place its step answers here: the platform start and shutdown,
// the command-line parser, the operation against the PIN pad and the report.
#pragma once

#include "molvex/front/model/daviz_params.h"
#include "molvex/front/model/daviz_result.h"

// Parses the command string into params; sets up the folders ("/f=").
int TranslateCmdLine(const char* command, DavizParams& params);
// Runs the operation; its 16-bit result code (0 = success).
int DoRunStub(DavizParams& params, DavizResult& result);
// Reports the result and returns the exit code (0 or 99).
int DoReturnDavizCode(int code, DavizResult& result, const char* response_file, DavizParams& params);
