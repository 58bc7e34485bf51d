#include "molvex/front/model/command_line.h"

#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "common/amount.h"
#include "common/codepage.h"
#include "molvex/front/model/operation_table.h"
#include "molvex/front/model/result_codes.h"
#include "molvex/front/model/small_file.h"
#include "sha1.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

constexpr const char* kNamedArgs[] = {"/g=", "/v=", "/p=", "/n=", "/c=", "/r=", "/d=", "/o=", "/q=",
                                      "/m=", "/s=", "/t=", "/a=", "/b=", "/l=", "/i=", "/j=", "/x=",
                                      "/u=", "/f=", "/h=", "/w=", "/e=", "/L=", "/B="};

constexpr size_t kMerchantChequeMax = 63488;
constexpr size_t kBiometryImageMax = 349999;
constexpr size_t kJsonTextMax = 1024 * 1024;
constexpr size_t kSha1Size = 20;

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(const char* a, const char* b) {
  while (*a != '\0' && Lower(*a) == Lower(*b)) {
    ++a;
    ++b;
  }
  return Lower(*a) == Lower(*b);
}

bool StartsNoCase(const char* text, const char* prefix) {
  for (; *prefix != '\0'; ++text, ++prefix) {
    if (Lower(*text) != Lower(*prefix)) return false;
  }
  return true;
}

// Leading decimal digits as a number; UINT32_MAX when they do not fit.
// Reports through digits whether there were any.
uint32_t LeadingNumber(const char* text, bool* digits = nullptr) {
  uint32_t value = 0;
  bool any = false;
  for (; IsDigit(*text); ++text) {
    any = true;
    if (common::is_overflow(value, *text)) {
      value = UINT32_MAX;
      continue;
    }
    value = value * 10 + static_cast<uint32_t>(*text - '0');
  }
  if (digits != nullptr) *digits = any;
  return value;
}

// Leading decimal digits kept modulo 2^32: the low byte or word of the
// number the POS meant, however long it is.
uint32_t LeadingNumberWrapped(const char* text) {
  uint32_t value = 0;
  for (; IsDigit(*text); ++text) value = value * 10u + static_cast<uint32_t>(*text - '0');
  return value;
}

// A text that is a whole decimal number and fits 32 bits.
bool WholeNumber(const char* text, uint32_t& value) {
  bool digits = false;
  value = LeadingNumber(text, &digits);
  size_t n = 0;
  while (IsDigit(text[n])) ++n;
  return digits && text[n] == '\0' && !(value == UINT32_MAX && n > 9);
}

// The arguments behind the operation code.
struct Args {
  int count;
  char** tokens;

  char* Named(const char* name) const { return davizGetNamedParamNoCpy(count, tokens, name); }
  bool Named(const char* name, char* buffer, size_t size) const {
    return davizGetNamedParam(count, tokens, name, buffer, size);
  }
};

// Steps up to the positional arguments: the operation code and the letters.
uint16_t TranslateOperationAndLetters(DavizParams& params, int count, char** tokens) {
  if (count <= 0) return kCmdNoOperation;
  // A code beyond 255 is refused rather than folded onto a low byte, so that
  // a mistyped code can never start a different payment operation.
  const uint32_t code = LeadingNumber(tokens[0]);
  params.SetOperType(code <= 0xFF ? static_cast<uint8_t>(code) : 0);
  if (code == 0 || code > kMaxOperationCode) return kCmdBadOperation;
  const T_DavizOperation& op = davizGetOperation(code);
  if ((op.flags & kOperNotFromCommandLine) != 0) return kCmdBadOperation;

  const Args args{count - 1, tokens + 1};
  const int positional = args.count - davizGetNamedArgsCount(args.count, args.tokens);
  if (positional < static_cast<int>(op.argCount) - 1) return kCmdNoOperation;

  const char* letters = davizGetOperationLetters(code);
  for (int i = 0; i < positional && letters[i] != '\0'; ++i) {
    char* arg = args.tokens[i];
    switch (letters[i]) {
      case 'a':
      case 'A': {
        const char* text = *arg == '-' ? arg + 1 : arg;
        uint32_t amount = common::StrToValueExp(text, 2);
        if (amount == common::kBadAmount) {
          if (letters[i] == 'a') return kCmdBadAmount;
          amount = 0;
        }
        params.SetAmount(amount);
        break;
      }
      case 'c': {
        uint32_t type = common::StrToValueExp(arg, 0);
        if (type == common::kBadAmount) return kCmdBadCardType;
        params.SetCardType(static_cast<uint8_t>(type));
        break;
      }
      case 'r':
        params.SetRRN(arg, std::strlen(arg));
        break;
      case 's':
        params.SetTrack2(arg, std::strlen(arg));
        break;
      case 't':
        if (std::strlen(arg) >= 2) params.SetTrack2(arg, std::strlen(arg));
        break;
      case 'S': {
        params.SetTrack2(arg, std::strlen(arg));
        size_t size = 0;
        common::ConvertFrom1251To866(params.Track2Ptr(size));
        break;
      }
      case 'E':
        params.AddStringToExtraData(0xDF57, arg);
        break;
      default:
        break;
    }
  }
  return kResultOk;
}

// The INI folder of this run, then every registered folder read again. Done
// exactly once per parse, also when the operation is refused, so that the
// refusal is reported in the configured result and log folders.
void SetUpFolders(const Args& args) { pcc_IniDirectory(args.Named("/f=")); }

void ReadMerchantCheque(DavizParams& params, const char* name) {
  SmallFile file = ReadSmallFile(name, kMerchantChequeMax);
  switch (file.status) {
    case SmallFileStatus::kCannotOpen:
      ReportString("cannot open file %s", name);
      return;
    case SmallFileStatus::kReadError:
    case SmallFileStatus::kShortRead:
      ReportString("error reading file %s (size %d)", name,
                   static_cast<int>(file.size > INT_MAX ? INT_MAX : file.size));
      return;
    case SmallFileStatus::kTooBig:
      ReportString("Too big file %s (max size is %d)", name, static_cast<int>(kMerchantChequeMax));
      break;
    case SmallFileStatus::kOk:
      break;
  }
  params.AttachMerchantCheque(file.bytes.data(), file.bytes.size());
}

// "/x=": for operation 26 the kernel type of the named operation is asked for.
uint16_t ReadFunctionId(DavizParams& params, const Args& args) {
  char value[64];
  if (!args.Named("/x=", value, sizeof value)) return kResultOk;
  uint32_t number = 0;
  if (!WholeNumber(value, number)) {
    ReportString("Invalid arg /x=%s", value);
    number = 0;
  }
  if (params.GetOperType() != 26) return kResultOk;
  const uint16_t type = davizGetKernelOperType(number & 0xFF);
  if (type == 0) return kResultNotSupported;
  params.SetAdditionalValue(type);
  return kResultOk;
}

// The goods item: quantity, price, goods code and an optional name.
uint16_t ReadGoods(DavizParams& params, const Args& args) {
  const char* quantity_text = args.Named("/v=");
  const char* price_text = args.Named("/p=");
  const char* goods_code = args.Named("/c=");
  const char* name = args.Named("/n=");
  const bool quantity_given = quantity_text != nullptr && *quantity_text != '\0';
  const bool price_given = price_text != nullptr && *price_text != '\0';
  const bool code_given = goods_code != nullptr && *goods_code != '\0';
  if (!quantity_given && !price_given && !code_given) return kResultOk;

  const uint32_t quantity = quantity_given ? common::StrToValueExp(quantity_text, 3) : 0;
  const uint32_t price = price_given ? common::StrToValueExp(price_text, 2) : 0;
  const bool complete = quantity != 0 && quantity != common::kBadAmount && price != 0 &&
                        price != common::kBadAmount && code_given;
  if (!complete) return kCmdBadGoods;
  if (!params.AddByteToExtraData(0xC1, 1)) return kCmdBadGoods;
  // The rest of the item goes in as far as the room lasts.
  params.AddDwordToExtraData(0xDF33, quantity);
  params.AddDwordToExtraData(0xDF60, price);
  params.AddStringToExtraData(0xDF805F, goods_code);
  if (name != nullptr && *name != '\0') params.AddStringToExtraData(0xDF5F, name);
  return kResultOk;
}

// One bound of the log selection: YYYYMMDD or YYYYMMDDhhmmss.
bool ReadLogBound(const char* text, size_t len, DavizParams& params, uint32_t date_tag, uint32_t time_tag) {
  if (len != 8 && len != 14) return false;
  for (size_t i = 0; i < len; ++i) {
    if (!IsDigit(text[i])) return false;
  }
  params.AddDwordToExtraData(date_tag, common::StrToInt(text, 8));
  if (len == 14) params.AddDwordToExtraData(time_tag, common::StrToInt(text + 8, 6));
  return true;
}

uint16_t ReadLogDateBounds(DavizParams& params, const char* item) {
  const char* minus = std::strchr(item, '-');
  const size_t before = minus != nullptr ? static_cast<size_t>(minus - item) : std::strlen(item);
  if (before <= 3) return kResultOk;
  if (!ReadLogBound(item + 3, before - 3, params, 0x5F12, 0x5F14)) return kResultBadOption;
  if (minus != nullptr && !ReadLogBound(minus + 1, std::strlen(minus + 1), params, 0x5F13, 0x5F15)) {
    return kResultBadOption;
  }
  return kResultOk;
}

uint16_t ReadOptions(DavizParams& params, const Args& args) {
  char* list = args.Named("/o=");
  if (list == nullptr) return kResultOk;
  const char* first = list;
  uint32_t bits = 0;
  bool unknown = false;
  for (char* item = list; item != nullptr;) {
    char* comma = std::strchr(item, ',');
    if (comma != nullptr) *comma = '\0';
    if (*item == '\0') {
      // An empty item (a doubled or trailing comma) asks for nothing.
    } else if (EqualsNoCase(item, "on-closed-day")) {
      bits |= 0x01;
    } else if (EqualsNoCase(item, "as-email")) {
      bits |= 0x02;
    } else if (EqualsNoCase(item, "as-phone")) {
      bits |= 0x04;
    } else if (StartsNoCase(item, "log")) {
      bits |= 0x10;
    } else if (EqualsNoCase(item, "text")) {
      bits |= 0x20;
    } else if (EqualsNoCase(item, "cp-utf8")) {
      bits |= 0x40;
    } else {
      unknown = true;
    }
    item = comma != nullptr ? comma + 1 : nullptr;
  }
  if (unknown) return kResultBadOption;

  uint16_t code = kResultOk;
  if ((bits & 0x01) != 0) params.AddByteToExtraData(0xDF46, 1);
  if ((bits & 0x10) != 0) {
    params.AddDwordToExtraData(0x5F11, bits);
    code = ReadLogDateBounds(params, first);
  }
  if ((bits & 0x02) != 0) {
    params.AddByteToExtraData(0xDF3A, 2);
  } else if ((bits & 0x04) != 0) {
    params.AddByteToExtraData(0xDF3A, 1);
  }
  return code;
}

uint16_t ReadRequestId(DavizParams& params, const Args& args) {
  const char* text = args.Named("/q=");
  uint32_t id = 0;
  if (text != nullptr) {
    while (IsBlank(*text)) ++text;
    for (; *text != '\0'; ++text) {
      uint32_t digit;
      if (IsDigit(*text)) {
        digit = static_cast<uint32_t>(*text - '0');
      } else if (Lower(*text) >= 'a' && Lower(*text) <= 'f') {
        digit = static_cast<uint32_t>(Lower(*text) - 'a' + 10);
      } else {
        return kCmdBadArgument;
      }
      id = (id << 4) | digit;
    }
    if (id == 0xFFFFFFFFu) return kCmdBadArgument;
  }
  params.SetRequestID(id);
  return kResultOk;
}

uint16_t ReadBiometry(DavizParams& params, const Args& args) {
  const char* name = args.Named("/i=");
  if (name == nullptr) return kResultOk;
  if (EqualsNoCase(name, "BIOMETRY")) {
    uint8_t word[kSha1Size] = {'B', 'I', 'O', 'M', 'E', 'T', 'R', 'Y'};
    if (!params.AddToExtraData(0x5F53, word, sizeof word)) {
      ReportString("Error add %s  hash to ExtraData. Not enough space", name);
      return kCmdBadArgument;
    }
  } else {
    SmallFile file = ReadSmallFile(name, kBiometryImageMax);
    switch (file.status) {
      case SmallFileStatus::kCannotOpen:
        ReportString("File %s is not found", name);
        return kCmdBadArgument;
      case SmallFileStatus::kTooBig:
        ReportString("File %s is too large. File size %d is more then %d", name,
                     static_cast<int>(file.size > INT_MAX ? INT_MAX : file.size),
                     static_cast<int>(kBiometryImageMax + 1));
        return kCmdBadArgument;
      case SmallFileStatus::kReadError:
      case SmallFileStatus::kShortRead:
        ReportString("Error reading %s", name);
        return kCmdBadArgument;
      case SmallFileStatus::kOk:
        break;
    }
    TSha1 sha;
    sha.Init();
    sha.AddData(file.bytes.data(), file.bytes.size());
    uint8_t digest[kSha1Size];
    sha.FinalizeInto(digest);
    if (!params.AddToExtraData(0x5F53, digest, sizeof digest)) {
      ReportString("Error add %s  hash to ExtraData. Not enough space", name);
      return kCmdBadArgument;
    }
  }
  switch (params.GetOperType()) {
    case 1:
    case 3:
    case 8:
    case 39:
    case 108: return kResultOk;
    default: return kCmdBadArgument;
  }
}

uint16_t ReadJsonText(DavizParams& params, const Args& args) {
  const char* name = args.Named("/j=");
  if (name == nullptr) return kResultOk;
  SmallFile file = ReadSmallFile(name, kJsonTextMax);
  switch (file.status) {
    case SmallFileStatus::kCannotOpen:
      return kCmdBadArgument;
    case SmallFileStatus::kTooBig:
      // A JSON text of this size is no request of ours; it is refused whole.
      ReportString("File %s is too large. File size %d is more then %d", name,
                   static_cast<int>(file.size > INT_MAX ? INT_MAX : file.size), static_cast<int>(kJsonTextMax));
      return kCmdBadArgument;
    case SmallFileStatus::kReadError:
    case SmallFileStatus::kShortRead:
      ReportString("Reads only %lu bytes instead %lu from file %s", static_cast<unsigned long>(file.bytes.size()),
                   static_cast<unsigned long>(file.size), name);
      break;
    case SmallFileStatus::kOk:
      break;
  }
  if (file.bytes.empty()) {
    if (file.size == 0) ReportString("File %s is empty", name);
    return kResultOk;
  }
  // cp866 never needs more bytes than the UTF-8 it comes from.
  std::vector<char> text(file.bytes.size() + 1);
  common::UTF8Tocp866Size(text.data(), file.bytes.data(), file.bytes.size(), text.size());
  params.SetJsonText(text.data());
  return kResultOk;
}

}  // namespace

extern "C" unsigned davizCmdLineToArgs(char* text, char** tokens, unsigned maxTokens) {
  if (text == nullptr || tokens == nullptr) return 0;
  unsigned count = 0;
  char* p = text;
  while (count < maxTokens) {
    while (IsBlank(*p)) ++p;
    if (*p == '\0') break;
    char* start = p;
    while (*p != '\0' && !IsBlank(*p)) {
      if (*p == '"') {
        char* closing = std::strchr(p + 1, '"');
        p = closing != nullptr ? closing + 1 : p + 1;
      } else {
        ++p;
      }
    }
    char* end = p;
    if (*p != '\0') {
      *p = '\0';
      ++p;
    }
    if (*start == '"') {
      ++start;
      if (end > start && end[-1] == '"') end[-1] = '\0';
    }
    tokens[count++] = start;
  }
  return count;
}

extern "C" char* davizGetNamedParamNoCpy(int count, char** tokens, const char* name) {
  if (tokens == nullptr || name == nullptr) return nullptr;
  for (int i = 0; i < count; ++i) {
    char* token = tokens[i];
    if (token == nullptr || std::strncmp(token, name, 3) != 0) continue;
    char* value = token + 3;
    if (*value == '"') {
      ++value;
      size_t len = std::strlen(value);
      if (len != 0 && value[len - 1] == '"') value[len - 1] = '\0';
    }
    return value;
  }
  return nullptr;
}

extern "C" bool davizGetNamedParam(int count, char** tokens, const char* name, char* buffer, size_t size) {
  const char* value = davizGetNamedParamNoCpy(count, tokens, name);
  if (value == nullptr) return false;
  if (buffer != nullptr && size != 0) {
    size_t n = std::strlen(value);
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, value, n);
    buffer[n] = '\0';
  }
  return true;
}

extern "C" int davizGetNamedArgsCount(int count, char** tokens) {
  int named = 0;
  if (tokens == nullptr) return 0;
  for (int i = 0; i < count; ++i) {
    if (tokens[i] == nullptr) continue;
    for (const char* name : kNamedArgs) {
      if (std::strncmp(tokens[i], name, 3) == 0) {
        ++named;
        break;
      }
    }
  }
  return named;
}

uint16_t TranslateCmdLine(DavizParams& params, const char* commandString) {
  char buffer[kCmdLineBufferSize];
  size_t n = commandString != nullptr ? strnlen(commandString, sizeof buffer - 1) : 0;
  if (n != 0) std::memcpy(buffer, commandString, n);
  buffer[n] = '\0';
  char* tokens[kMaxCmdTokens];
  unsigned count = davizCmdLineToArgs(buffer, tokens, kMaxCmdTokens);
  return DoTranslateCmdLine(params, static_cast<int>(count), tokens);
}

uint16_t DoTranslateCmdLine(DavizParams& params, int count, char** tokens) {
  uint16_t code = TranslateOperationAndLetters(params, count, tokens);
  const Args args{count > 0 ? count - 1 : 0, count > 0 ? tokens + 1 : tokens};
  SetUpFolders(args);
  if (code != kResultOk) return code;

  if (const char* other = args.Named("/a=")) {
    uint32_t amount = common::StrToValueExp(other, 2);
    if (amount == common::kBadAmount) {
      code = kCmdBadOtherAmount;
    } else {
      params.AddDwordToExtraData(0xDF50, amount);
      params.SetAdditionalValue(amount);
    }
  }
  if (const char* basket = args.Named("/b=")) params.AddStringToExtraData(0x5F56, basket);
  if (const char* basket = args.Named("/l=")) params.AddStringToExtraData(0x5F57, basket);
  if (const char* hmac = args.Named("/h=")) params.SetHmacId(hmac, 12);
  if (const char* employee = args.Named("/e=")) params.SetTipsEmployeeId(employee, 36);
  if (const char* loyalty = args.Named("/L=")) params.SetExtLoyaltyId(loyalty, 40);
  if (const char* bonus = args.Named("/B=")) {
    uint32_t amount = common::StrToValueExp(bonus, 2);
    if (amount != common::kBadAmount) params.SetLoyaltyBonusAmount(amount);
  }
  if (code != kResultOk) return code;

  if (const char* wait = args.Named("/w=")) {
    uint32_t ms = common::StrToValueExp(wait, 0);
    if (ms == common::kBadAmount) return kCmdBadArgument;
    params.AddDwordToExtraData(0xDF55, ms);
  }

  char value[201];
  if (args.Named("/s=", value, sizeof value)) {
    char tag_name[33] = "DF27";
    args.Named("/t=", tag_name, sizeof tag_name);
    if (value[0] == '\0' || tag_name[0] == '\0') return kCmdBadArgument;
    params.AddStringToExtraData(0xDF52, tag_name);
    params.AddStringToExtraData(0xDF51, value);
  }

  if (const char* url = args.Named("/u=")) params.SetUrlOrOrderId(url);
  const char* department = args.Named("/d=");
  params.SetDepartment(static_cast<uint8_t>(department != nullptr ? LeadingNumberWrapped(department) : 0));
  if (const char* cheque = args.Named("/m=")) ReadMerchantCheque(params, cheque);
  const char* currency = args.Named("/r=");
  params.SetCurrencyType(static_cast<uint16_t>(currency != nullptr ? LeadingNumberWrapped(currency) : 0));

  code = ReadFunctionId(params, args);
  uint16_t goods = ReadGoods(params, args);
  if (goods != kResultOk) code = goods;
  if (code != kResultOk) return code;

  code = ReadOptions(params, args);
  if (code != kResultOk) return code;

  code = ReadRequestId(params, args);
  if (code == kResultOk) code = ReadBiometry(params, args);
  if (code == kResultOk) code = ReadJsonText(params, args);

  if (code == kResultOk) {
    if (params.GetOperType() == 17 && params.GetRrn()[0] != '\0') {
      params.SetOperType(42);
    } else if (params.GetOperType() == 18 && params.GetAmount() == 0) {
      params.SetOperType(43);
    }
  }
  return code;
}
