#include "commands.h"

#include <time.h>

#include "environment.h"
#include "file_list.h"
#include "log.h"
#include "paths.h"
#include "sha1.h"
#include "system.h"
#include "text.h"
#include "url.h"

std::string Command::FindString(const std::string& name, const std::string& defaultValue) const {
  const TJSONBuffer value = details()[name];
  return value.GetType() == JSON_UNDEFINED ? defaultValue : value.AsString(defaultValue);
}

int32_t Command::FindInt(const std::string& name, int32_t defaultValue) const {
  return details()[name].AsInteger(defaultValue);
}

void Command::AddDetailString(const std::string& name, const std::string& value) {
  if (value.empty()) return;
  TJSONBuffer changed = details();
  changed.AddItem(name, value);
  json_.AddItem("DETAILS", changed);
}

TJSONBuffer TCommandAbstract::Run() {
  TJSONBuffer reply;
  FillMandatoryReplyHeader(2010, reply);
  return reply;
}

uint32_t TCommandAbstract::GetExpectedTimeout() const {
  const int32_t seconds = command_.FindInt("OP_TIMEOUT", static_cast<int32_t>(GetDefaultTimeout() / 1000));
  return static_cast<uint32_t>(seconds) * 1000u;
}

std::string TCommandAbstract::GetMessageForECR() const {
  TJSONBuffer array(JSON_ARRAY);
  array.AddItem("", PrepareMessageForECR().json());
  return array.GetValue();
}

void TCommandAbstract::FillMandatoryReplyHeader(uint32_t error, TJSONBuffer& reply) const {
  const time_t now = ::time(nullptr);
  struct tm t {};
  ::localtime_r(&now, &t);
  reply.AddItem("CMD_ID", GetCmdID());
  reply.AddItem("DATE", ferrow_text::Format("%02d%02d%02d", t.tm_year % 100, t.tm_mon + 1, t.tm_mday));
  reply.AddItem("ERR_CODE", error);
  reply.AddItem("SN", TSystem::Instance().GetSerialNumber());
  reply.AddItem("TIME", ferrow_text::Format("%02d%02d%02d", t.tm_hour, t.tm_min, t.tm_sec));
}

TCommandCheckFiles::TCommandCheckFiles(const Command& command, THttpClient* client,
                                       const std::string& defaultHostText, TFileSystem* fileSystem,
                                       std::string* outputString)
    : TCommandAbstract(command),
      client_(client),
      defaultHostText_(defaultHostText),
      fileSystem_(fileSystem != nullptr ? fileSystem : &TSystem::Instance().GetDefaultFileSystem()),
      outputString_(outputString) {}

Command TCommandCheckFiles::PrepareMessageForECR() const {
  Command copy = command_;
  copy.AddDetailString("HOST_URL", command_.FindString("HOST_URL", defaultHostText_));
  copy.AddDetailString("SN", TSystem::Instance().GetSerialNumber() + "&ECR=1");
  return copy;
}

bool IsSafeServerFileName(const std::string& name) {
  if (name.empty() || name[0] == '/' || name[0] == '\\') return false;
  size_t start = 0;
  for (;;) {
    const size_t end = name.find_first_of("/\\", start);
    const std::string piece = name.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (piece == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

TJSONBuffer TCommandCheckFiles::Run() {
  uint32_t error = 0;
  const TJSONBuffer details = command_.details();
  TJSONBuffer files = details["FILES"];
  TUrlPool pool(RemoveProtocolAndDocFromUrl(command_.FindString("HOST_URL", defaultHostText_)), 80);
  const std::string suffix = ITerminalEnvironment::Instance().GetServerURLsuffix();
  const std::string serial = command_.FindString("SN", TSystem::Instance().GetSerialNumber());
  TFileList list("filelist.txt", fileSystem_);
  TFilesChecker checker("filelist.txt", fileSystem_);

  TJSONBuffer entry;
  for (bool more = files.FirstSubItem(entry); more; more = files.NextSubItem(entry)) {
    const std::string name = entry["FILE_NAME"].AsString("");
    const int32_t size = entry["FILE_SIZE"].AsInteger(0);
    if (name.empty() || size == 0) break;
    if (!IsSafeServerFileName(name)) {
      // A name reaching outside the target folder is never hashed, fetched
      // or listed.
      ReportString("Refused file name %.200s\n", name.c_str());
      continue;
    }
    list.AddString(name);
    const std::string local = TSha1::ToHex(checker.CalcFileHash(name));
    if (local == entry["FILE_HASH"].AsString("")) continue;

    for (size_t attempt = 0; attempt < pool.Size(); ++attempt) {
      fileSystem_->EraseFile("TMP.TMP");
      const TUrl& address = pool.GetCurrentUrl();
      client_->SetURL("http://" + address.GetHost() + ":" + std::to_string(address.GetPort()) + "/tarn2-web" +
                      "/getFile" + suffix + "?name=" + name + "&terminalSN=" + serial);
      client_->SetFileSystem(fileSystem_);
      const Error result = client_->GetFile("TMP.TMP", static_cast<uint32_t>(size));
      error = result.GetCode();
      if (result == 0 && fileSystem_->GetFileLength("TMP.TMP") == static_cast<uint64_t>(static_cast<uint32_t>(size))) {
        const std::string destination =
            name.find(".INI") != std::string::npos ? pcc_GetPath(PathToIni) + name : name;
        fileSystem_->EraseFile(destination);
        fileSystem_->RenameFile("TMP.TMP", destination);
        break;
      }
      pool.GetNextUrl();
    }
  }
  if (!list.Save()) error = ferrow_errors::kListSave;
  if (outputString_ != nullptr) outputString_->clear();
  ITerminalEnvironment::Instance().ReloadAfterUpdatingFiles();
  TJSONBuffer reply;
  FillMandatoryReplyHeader(error, reply);
  return reply;
}
