// One run of the update client: the server conversation and the flow
// around it (worker runs, result files, delivered files).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "commands.h"
#include "file_system.h"
#include "http_client.h"
#include "json_buffer.h"

constexpr const char* kUpdaterVersion = "30.26.10";

class TUpdaterApp {
 public:
  TUpdaterApp(const std::string& serial, const std::string& model, const std::string& cashRegisterModel);
  ~TUpdaterApp();

  uint32_t DoChecking();
  std::string BuildInitRequest();
  uint32_t ProcessMessageFromServer(const std::string& reply);
  uint32_t ProcessCheckFilesCommand(const Command& command);
  bool WasNewUpdateForSoftBak();

  bool GetPinpadUpdateFlag() const { return pinpadUpdate_; }
  THttpClient& GetClient() { return client_; }

 private:
  std::string serial_;
  std::string model_;
  std::string cashRegisterModel_;
  std::unique_ptr<TFileSystem> updateFileSystem_;
  bool pinpadUpdate_ = false;
  THttpClient client_;
};

// The model name for the first character of the worker's model line.
std::string GetModelByModelChar(char letter);

// Runs "./" + name with the argument list and waits: 1 when the file cannot
// be opened, 2 when fork fails, otherwise the raw wait status.
int LaunchAndWaitForReturn(const std::string& name, const std::vector<std::string>& arguments);

void BackupResultFiles(const std::string& chequeFile);
void RestoreResultFiles(const std::string& chequeFile);
// Runs the worker for operation "26" and reads serial and model from its
// response file; false when either cannot be had.
bool GetPinpadModelAndSerialNumber(const std::string& iniArgument, std::string& serial, std::string& model);
int SetPinpadUpdateFlag();
bool CheckPinpadUpdateComplete();
void CheckMaskForMoveFiles(const std::string& mask, int folder);
void UpdateExeFile(const std::string& name);
void ForceKernelUpdate();

// The whole program; returns the result that becomes the exit status.
int FerrowMain(int argc, char** argv);
