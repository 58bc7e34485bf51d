// The response file "e" that the POS reads line by line after every run.
#pragma once

#include <cstdint>
#include <string>

#include "molvex/front/model/daviz_result.h"
#include "molvex/front/model/host_message.h"

// The PIN pad's card type number as the POS knows card types.
uint8_t GetDavizCardTypeById(uint8_t id);
// The character of line 28: how the card was presented.
char GetCustomerEntryChar(uint32_t operationFlags, uint32_t entryMode, uint8_t answerOperation);

// The 33 lines of the response file, joined by CR LF with no break after the
// last. Texts are converted to KOI8-R unless uiMode has bit 0x40.
std::string BuildResponseText(const DavizResult& result, const HostMessage& hostMessage, uint16_t uiMode);

// Layers above the model release their state after the response file is
// written; each installs its step here.
enum ResponseCleanupStep { kCleanupEndWallpaper, kCleanupGraphicObjects, kCleanupFileService, kCleanupSteps };
void SetResponseCleanup(ResponseCleanupStep step, void (*action)());  // nullptr: none

// Writes the response file name in the result folder (and "vas.xml" beside
// the current folder's files) and releases the run's screen and service
// state. Returns 0 when the result code is 0, else 99.
int returnErrCode(DavizResult& result, const char* name, uint8_t operation, uint32_t requestId);
