// Server commands: the command wrapper and the check-files command.
#pragma once

#include <cstdint>
#include <string>

#include "error.h"
#include "file_system.h"
#include "http_client.h"
#include "json_buffer.h"

class Command {
 public:
  Command() = default;
  explicit Command(const TJSONBuffer& json) : json_(json) {}

  std::string type() const { return json_["CMD"].AsString(""); }
  TJSONBuffer details() const { return json_["DETAILS"]; }
  std::string FindString(const std::string& name, const std::string& defaultValue) const;
  int32_t FindInt(const std::string& name, int32_t defaultValue) const;
  void AddDetailString(const std::string& name, const std::string& value);
  bool IsRemote() const { return FindString("TARGET", "") == "ECR"; }
  const TJSONBuffer& json() const { return json_; }

 private:
  TJSONBuffer json_;
};

class TCommandAbstract {
 public:
  explicit TCommandAbstract(const Command& command) : command_(command) {}
  virtual ~TCommandAbstract() = default;

  virtual uint32_t GetDefaultTimeout() const { return 0; }
  virtual Command PrepareMessageForECR() const { return command_; }
  virtual bool IsRemote() const { return command_.IsRemote(); }
  virtual TJSONBuffer Run();
  virtual int GetSaveMode() const { return 0; }
  virtual bool MustHaveMac() const { return true; }
  virtual bool SkipAfterReboot() const { return false; }
  virtual bool NeedsReplyFromECR() const { return true; }
  virtual bool NeedsTotalCleanup() const { return false; }
  virtual bool NeedsTransferCleanup() const { return false; }

  std::string GetCmdID() const { return command_.FindString("CMD_ID", ""); }
  uint32_t GetExpectedTimeout() const;
  std::string GetMessageForECR() const;
  // Adds "CMD_ID", "DATE", "ERR_CODE", "SN" and "TIME" to the reply.
  void FillMandatoryReplyHeader(uint32_t error, TJSONBuffer& reply) const;

 protected:
  Command command_;
};

class TCommandCheckFiles : public TCommandAbstract {
 public:
  // A null file system means the default file system; outputString may be null.
  TCommandCheckFiles(const Command& command, THttpClient* client, const std::string& defaultHostText,
                     TFileSystem* fileSystem, std::string* outputString);

  uint32_t GetDefaultTimeout() const override { return 90000; }
  Command PrepareMessageForECR() const override;
  bool SkipAfterReboot() const override { return true; }
  TJSONBuffer Run() override;

 private:
  THttpClient* client_;
  std::string defaultHostText_;
  TFileSystem* fileSystem_;
  std::string* outputString_;
};

// A file name from the server that stays inside the target folder: not
// absolute and without a ".." component.
bool IsSafeServerFileName(const std::string& name);
