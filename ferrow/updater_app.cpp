#include "updater_app.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "connection.h"
#include "environment.h"
#include "file_list.h"
#include "ini_file.h"
#include "log.h"
#include "paths.h"
#include "sha1.h"
#include "system.h"
#include "text.h"
#include "url.h"

namespace {

constexpr const char* kWorker = "dravik.out";
constexpr const char* kUnserialised = "000000000000";

bool ReadFileText(const std::string& path, std::string& content) {
  content.clear();
  TFile file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!file.IsOpen()) return false;
  char buffer[4096];
  for (;;) {
    const int64_t got = file.Read(buffer, sizeof buffer);
    if (got < 0) return false;
    if (got == 0) return true;
    content.append(buffer, static_cast<size_t>(got));
  }
}

}  // namespace

std::string GetModelByModelChar(char letter) {
  switch (letter) {
    case 'F':
      return "VERIFONE VX510";
    case 'G':
      return "VERIFONE VX810";
    case 'K':
      return "INGENICO IPP320";
    case 'g':
      return "VERIFONE VX820";
    case 'k':
      return "VERIFONE VX805";
    case 'p':
      return "PAX SP30";
    default:
      return "UNKNOWN";
  }
}

TUpdaterApp::TUpdaterApp(const std::string& serial, const std::string& model, const std::string& cashRegisterModel)
    : serial_(serial),
      model_(model),
      cashRegisterModel_(cashRegisterModel),
      updateFileSystem_(TSystem::Instance().MountFileSystem(pcc_GetPath(PathToCurrent) + "Update")),
      client_("TERMINAL", "", 15000, nullptr) {
  TSystemTracer::Instance().Enable(SYSTRACE_FILE);
  TSystemTracer::Instance().Trace("SN:" + serial_ + ", MODEL:" + model_ + ", ECR:" + cashRegisterModel_ + "\r\n");
}

TUpdaterApp::~TUpdaterApp() = default;

std::string TUpdaterApp::BuildInitRequest() {
  TFilesChecker updateList("filelist.txt", updateFileSystem_.get());
  TFilesChecker ecrList("filelist.txt", &TSystem::Instance().GetDefaultFileSystem());
  TJSONBuffer reply;
  reply.AddItem("CONF_HASH", TSha1::ToHex(updateList.CalcHash()));
  reply.AddItem("ECR_HASH", TSha1::ToHex(ecrList.CalcHash()));
  reply.AddItem("KCV_KLK", "000000");
  reply.AddItem("MODEL_A", cashRegisterModel_.empty() ? TSystem::GetModelName() : cashRegisterModel_);
  reply.AddItem("MODEL_T", model_);
  reply.AddItem("SN", serial_);
  reply.AddItem("SN_OLD", serial_);
  reply.AddItem("VERSION_A", kUpdaterVersion);
  TJSONBuffer replies(JSON_ARRAY);
  replies.AddItem("", reply);
  TJSONBuffer request;
  request.AddItem("REPLIES", replies);
  return request.GetValue();
}

uint32_t TUpdaterApp::DoChecking() {
  if (serial_ == kUnserialised) return WasNewUpdateForSoftBak() ? 0 : ferrow_errors::kNoCheckFiles;
  ITerminalEnvironment& environment = ITerminalEnvironment::Instance();
  TUrlPool pool(environment.GetServerAddressList(), environment.GetDefaultHttpPort());
  TSystem& system = TSystem::Instance();
  if (system.HasEthernet()) {
    auto* socket = dynamic_cast<TSocketInterface*>(system.GetNetworkDevice(9));
    if (socket != nullptr) socket->EnableTrace(environment.GetConfigFile().GetString("Trace", "") == "1");
  }
  const std::string request = BuildInitRequest();
  const TUrl& current = pool.GetCurrentUrl();
  client_.SetURL(environment.GetServerURLprefix(current.GetHost() + ":" + std::to_string(current.GetPort())) +
                 environment.GetServerURLsuffix());
  std::string reply;
  const Error result = client_.Post(request, reply);
  if (result != 0) return result.GetCode();
  uint32_t code = ProcessMessageFromServer(reply);
  if (code == 0 && pinpadUpdate_) code = ferrow_errors::kPinpadLoad;
  return code;
}

uint32_t TUpdaterApp::ProcessMessageFromServer(const std::string& reply) {
  const TJSONBuffer document(reply);
  if (document.GetType() != JSON_SUBTREE) return ferrow_errors::kReplyNotObject;
  if (!document["success"].AsBoolean()) return ferrow_errors::kNoSuccess;
  TJSONBuffer commands = document["body"]["COMMANDS"];
  if (commands.IsEmpty()) return ferrow_errors::kNoCommands;
  uint32_t result = ferrow_errors::kNoCheckFiles;
  TJSONBuffer item;
  for (bool more = commands.FirstSubItem(item); more; more = commands.NextSubItem(item)) {
    if (result != 0 && result != ferrow_errors::kNoCheckFiles) break;
    const Command command(item);
    if (command.type() == "CHECK_FILES") result = ProcessCheckFilesCommand(command);
  }
  return result;
}

uint32_t TUpdaterApp::ProcessCheckFilesCommand(const Command& original) {
  Command command = original;
  TFileSystem* target = updateFileSystem_.get();
  std::string serial = serial_;
  if (command.IsRemote()) {
    serial = serial_ + "&ECR=1";
    target = &TSystem::Instance().GetDefaultFileSystem();
  } else if (command.details().GetValue().find("PFLS.BAK") != std::string::npos) {
    pinpadUpdate_ = true;
  }
  command.AddDetailString("HOST_URL", ITerminalEnvironment::Instance().GetServerAddressList());
  command.AddDetailString("SN", serial);
  TCommandCheckFiles check(command, &client_, "", target, nullptr);
  const TJSONBuffer reply = check.Run();
  return static_cast<uint32_t>(reply["ERR_CODE"].AsInteger(static_cast<int32_t>(ferrow_errors::kNoErrCode)));
}

bool TUpdaterApp::WasNewUpdateForSoftBak() {
  TFileSystem& fileSystem = TSystem::Instance().GetDefaultFileSystem();
  std::vector<uint8_t> hash;
  uint64_t size = 0;
  if (!HashFile(fileSystem, "SOFT.BAK", hash, size)) return false;
  std::string last;
  fileSystem.ReadAll("lastsoft.hsh", last);
  if (last.size() == hash.size() && std::memcmp(last.data(), hash.data(), hash.size()) == 0) return false;
  TFile out = fileSystem.OpenForWrite("lastsoft.hsh");
  if (out.IsOpen()) out.WriteAll(hash.data(), hash.size());
  return true;
}

int LaunchAndWaitForReturn(const std::string& name, const std::vector<std::string>& arguments) {
  {
    TFile probe(::open(name.c_str(), O_RDONLY | O_CLOEXEC));
    if (!probe.IsOpen()) {
      ReportString("File %s not found\n", name.c_str());
      return 1;
    }
  }
  const std::string path = "./" + name;
  std::vector<char*> argv;
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  const pid_t child = ::fork();
  if (child < 0) {
    ReportString("fork() failed\n");
    return 2;
  }
  if (child == 0) {
    ReportString("Running %s...\n", path.c_str());
    ::execv(path.c_str(), argv.data());
    const int error = errno;
    ReportString("Failed to run %s, errno=%d\n", path.c_str(), error);
    ::_exit(error);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0) {
    if (errno != EINTR) return 2;
  }
  return status;
}

void BackupResultFiles(const std::string& chequeFile) {
  TFileSystem result(pcc_GetPath(PathToResult));
  result.EraseFile("e.tmp");
  result.EraseFile("p.tmp");
  result.RenameFile("e", "e.tmp");
  result.RenameFile(chequeFile, "p.tmp");
}

void RestoreResultFiles(const std::string& chequeFile) {
  TFileSystem result(pcc_GetPath(PathToResult));
  result.EraseFile("e");
  result.EraseFile(chequeFile);
  result.RenameFile("e.tmp", "e");
  result.RenameFile("p.tmp", chequeFile);
}

bool GetPinpadModelAndSerialNumber(const std::string& iniArgument, std::string& serial, std::string& model) {
  serial.clear();
  model.clear();
  std::vector<std::string> arguments = {kWorker, "26"};
  if (!iniArgument.empty()) arguments.push_back(iniArgument);
  if (LaunchAndWaitForReturn(kWorker, arguments) != 0) return false;
  std::string content;
  if (!ReadFileText(pcc_MakeFullPathTo("e", PathToResult), content)) return false;
  // The response file's lines end in CR LF; split at LF and drop the CR.
  std::vector<std::string> lines;
  size_t start = 0;
  while (start <= content.size() && lines.size() < 3) {
    const size_t end = content.find('\n', start);
    std::string line = content.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (lines.size() < 3) return false;
  serial = lines[1].substr(0, 12);
  if (!lines[2].empty()) model = GetModelByModelChar(lines[2][0]);
  return !serial.empty() && !model.empty();
}

int SetPinpadUpdateFlag() {
  TFileSystem current(pcc_GetPath(PathToCurrent));
  int flag = current.GetRoot().empty() ? 0 : 1;
  if (flag != 0) {
    current.EraseFile("Update/PFLS.R");
    current.RenameFile("Update/PFLS.BAK", "Update/PFLS.R");
  }
  ReportString("UpdateFlag= %d \n", flag);
  return flag;
}

bool CheckPinpadUpdateComplete() {
  TFileSystem current(pcc_GetPath(PathToCurrent));
  return current.FileExists("Update/PFLS.BAK");
}

void CheckMaskForMoveFiles(const std::string& mask, int folder) {
  const std::string target = pcc_GetPath(folder);
  const std::string source = pcc_GetPath(PathToCurrent);
  if (target == source) return;
  const size_t dot = mask.rfind('.');
  const std::string extension = dot == std::string::npos ? mask : mask.substr(dot + 1);
  std::vector<std::string> names;
  {
    DIR* dir = ::opendir(source.empty() ? "." : source.c_str());
    if (dir == nullptr) return;
    while (dirent* entry = ::readdir(dir)) {
      const std::string name = entry->d_name;
      if (name == "." || name == "..") continue;
      size_t start = name.find('.');
      bool match = false;
      while (start != std::string::npos && !match) {
        const size_t end = name.find('.', start + 1);
        match = name.substr(start + 1, end == std::string::npos ? std::string::npos : end - start - 1) == extension;
        start = end;
      }
      // "redirect.ini" names the ini folder and is read from the program
      // folder: moving it away would lose the ini folder on the next run.
      if (match && name == "redirect.ini" && source == pcc_GetPath(PathToProgram)) match = false;
      if (match) names.push_back(name);
    }
    ::closedir(dir);
  }
  for (const auto& name : names) {
    struct stat st {};
    if (::stat((source + name).c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    if (CopyFileContent(source + name, target + name)) ::unlink((source + name).c_str());
  }
}

void UpdateExeFile(const std::string& name) {
  const std::string delivered = name + ".new";
  const std::string backup = name + ".old";
  TFileSystem here(".");
  std::string current, fresh;
  if (!here.ReadAll(name, current) || !here.ReadAll(delivered, fresh)) return;
  if (current.empty() || fresh.empty() || current == fresh) return;
  CopyFileContent(name, backup);
  CopyFileContent(delivered, name);
  ::unlink(delivered.c_str());
}

void ForceKernelUpdate() { UpdateExeFile(kWorker); }

int FerrowMain(int argc, char** argv) {
  pcc_SetPath(PathToProgram, pcc_FillCurrentPath());
  std::string iniArgument;
  for (int i = 1; i < argc; ++i) {
    if (std::strncmp(argv[i], "/f=", 3) == 0) iniArgument = argv[i];
  }
  if (!iniArgument.empty()) {
    const std::string value = iniArgument.substr(3);
    pcc_IniDirectory(&value);
  } else {
    pcc_IniDirectory(nullptr);
  }
  TSystem::Instance().StartSystem();
  if (::chdir(pcc_GetPath(PathToProgram).c_str()) != 0) {
    // Without the program folder the worker cannot be found; the flow goes
    // on and reports that through its own result.
  }

  if (::access("ferrow.new", F_OK) == 0) {
    if (std::system("mv -f ferrow ferrow.old") != -1) ReportString("ferrow renamed to ferrow.old");
    if (std::system("mv -f ferrow.new ferrow") != -1) ReportString("ferrow.new renamed to ferrow");
  }

  const std::string chequeFile = TIniFile("pinpad.ini", PathToIni).GetString("PrinterFile", "p");
  BackupResultFiles(chequeFile);

  uint32_t result = 1;
  std::string serial, model;
  if (GetPinpadModelAndSerialNumber(iniArgument, serial, model)) {
    {
      TUpdaterApp app(serial, model, "");
      result = app.DoChecking();
    }
    if (result == ferrow_errors::kPinpadLoad && SetPinpadUpdateFlag() == 1) {
      std::vector<std::string> arguments = {kWorker, "36"};
      if (!iniArgument.empty()) arguments.push_back(iniArgument);
      LaunchAndWaitForReturn(kWorker, arguments);
      if (CheckPinpadUpdateComplete()) result = 0;
    }
    CheckMaskForMoveFiles("*.new", PathToProgram);
    CheckMaskForMoveFiles("*.ini", PathToIni);
    if (result == 0) ForceKernelUpdate();
  }
  RestoreResultFiles(chequeFile);
  return static_cast<int>(result);
}
