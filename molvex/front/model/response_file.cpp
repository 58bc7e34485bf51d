#include "molvex/front/model/response_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>

#include "common/codepage.h"
#include "molvex/front/model/vas_xml.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"

namespace {

constexpr uint16_t kUiModeKeepCp866 = 0x40;

void (*g_cleanup[kCleanupSteps])() = {};

// A value never spans lines: the POS counts them, so a value holding a line
// break would shift every field behind it.
std::string OneLine(std::string text) {
  size_t end = text.find_first_of("\r\n");
  if (end != std::string::npos) text.resize(end);
  return text;
}

std::string OneChar(char c) { return c == '\0' || c == '\r' || c == '\n' ? std::string() : std::string(1, c); }

std::string ForPos(const std::string& text, uint16_t uiMode) {
  if ((uiMode & kUiModeKeepCp866) != 0) return text;
  std::string out(text);
  for (char& c : out) c = static_cast<char>(common::cp866toKoi8r(static_cast<uint8_t>(c)));
  return out;
}

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Format(const char* format, ...) {
  char buffer[64];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, n < 0 ? 0 : (static_cast<size_t>(n) < sizeof buffer ? n : sizeof buffer - 1));
}

bool WriteWhole(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
  return true;
}

}  // namespace

uint8_t GetDavizCardTypeById(uint8_t id) {
  static constexpr uint8_t kPosTypes[23] = {0, 2, 3, 1, 6, 4, 5, 7, 8, 0, 0, 0, 0, 0, 12, 13, 0, 10, 11, 10, 0, 14, 0};
  return id < sizeof kPosTypes ? kPosTypes[id] : 0;
}

char GetCustomerEntryChar(uint32_t operationFlags, uint32_t entryMode, uint8_t answerOperation) {
  if (entryMode >= 13) return answerOperation == 63 ? 'L' : ' ';
  const char symbol = DavizEntryModeSymbol(entryMode);
  if ((symbol == 'I' || symbol == 'M') && answerOperation >= 90 && answerOperation <= 92) return 'Q';
  if ((symbol == 'P' || symbol == 'M') && (operationFlags & 0x8000) != 0) return 'P';
  if (answerOperation == 63) return 'L';
  return symbol;
}

std::string BuildResponseText(const DavizResult& r, const HostMessage& host, uint16_t uiMode) {
  std::string lines[33];
  lines[0] = Format("%hu,", r.resultCode) + ForPos(OneLine(r.GetTagText(kResTagMessage, 31)), uiMode);
  lines[1] = OneLine(r.GetTagText(kResTagCardNumber, 64));
  lines[2] = OneLine(DavizResultBase::Text(r.text6));
  lines[3] = OneLine(DavizResultBase::Text(r.authCode));
  lines[4] = Format("%4s", OneLine(DavizResultBase::Text(r.slipNumber)).c_str());
  lines[5] = ForPos(OneLine(r.GetTagText(kResTagCardName, 27)), uiMode);
  lines[6] = Format("%d", r.flagByte);
  lines[7] = OneLine(DavizResultBase::Text(r.terminalId));
  lines[8] = Format("%08" PRIu32 "%06" PRIu32, r.date, r.time);
  lines[9] = OneLine(DavizResultBase::Text(r.rrn));
  lines[10] = OneLine(r.GetHashAsString());
  lines[11] = OneLine(r.GetTagText(kResTag5F32, 106));
  lines[12] = Format("%" PRIu32, r.numberA);
  lines[13] = OneLine(DavizResultBase::Text(r.textB));
  lines[14] = Format("%02d", static_cast<int>(host.number1));
  lines[15] = Format("%02d", static_cast<int>(host.number2));
  lines[16] = ForPos(OneLine(host.text), uiMode);
  lines[17] = Format("%d", static_cast<int>((r.numberE >> 8) & 0xFF));
  lines[18] = OneLine(r.GetTagText(kResTag5F09, 255));
  lines[19] = Format("%08" PRIX32, r.requestId);
  lines[20] = Format("%08" PRIX32, r.operationFlags);
  char uid[41];
  r.GetCardUid(uid, sizeof uid);
  lines[21] = uid;
  uint16_t vas_len = 0;
  const bool has_vas = r.GetTag(kResTagVas, vas_len) != nullptr && vas_len != 0;
  lines[22] = has_vas ? "1" : "0";
  std::string extra_hash;
  lines[23] = std::string(1, r.GetExtraHashAsString(extra_hash));
  lines[24] = extra_hash;
  lines[25] = OneLine(r.GetTagText(kResTagPar, 29));
  lines[26] = Format("%d", GetDavizCardTypeById(r.cardTypeId));
  lines[27] = OneChar(GetCustomerEntryChar(r.operationFlags, r.GetEntryMode(), r.answerOperation));
  std::string url = r.GetTagText(kResTagUrl, 2047);
  lines[28] = OneLine(url.empty() ? r.GetTagText(kResTag5F61, 36) : url);
  uint16_t type_len = 0;
  const uint8_t* type = r.GetTag(kResTagHashType, type_len);
  lines[29] = type != nullptr && type_len != 0 ? OneChar(static_cast<char>(type[0])) : std::string();
  lines[30] = r.GetTypedHashAsString();
  lines[31] = OneLine(r.GetTagText(kResTagExtLoyalty, 39));
  uint16_t char_len = 0;
  const uint8_t* one = r.GetTag(kResTag5F74, char_len);
  lines[32] = one != nullptr && char_len != 0 ? OneChar(static_cast<char>(one[0])) : std::string();

  std::string text;
  for (size_t i = 0; i < 33; ++i) {
    if (i != 0) text += "\r\n";
    text += lines[i];
  }
  return text;
}

void SetResponseCleanup(ResponseCleanupStep step, void (*action)()) {
  if (step >= 0 && step < kCleanupSteps) g_cleanup[step] = action;
}

int returnErrCode(DavizResult& result, const char* name, uint8_t operation, uint32_t requestId) {
  const int exit_code = result.resultCode == 0 ? 0 : 99;
  // These polling requests leave the answer to the next run.
  if (operation == 47 && (requestId == 3 || requestId == 4)) return exit_code;

  const std::string path = pcc_MakeFullPath(name != nullptr ? name : "e", PathToResult);
  unlink(path.c_str());
  ClearVasXmlFile();
  const HostMessage host = TakeHostMessage();
  const uint16_t ui_mode = pcc_GetUImode();
  result.PrepareToResponse(ui_mode);

  if (WriteWhole(path, BuildResponseText(result, host, ui_mode))) {
    uint16_t vas_len = 0;
    const uint8_t* vas = result.GetTag(kResTagVas, vas_len);
    if (vas != nullptr) {
      WriteVasXmlFile(vas, vas_len);
    } else {
      ClearVasXmlFile();
    }
  }

  for (auto action : g_cleanup) {
    if (action != nullptr) action();
  }
  ClearVasData();
  return exit_code;
}
