// The terminal environment: server addresses and paths from the settings.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ini_file.h"

class ITerminalEnvironment {
 public:
  virtual ~ITerminalEnvironment() = default;
  static ITerminalEnvironment& Instance();
  // Forgets the instance so that the next use reads the settings again.
  static void ResetForTest();

  virtual std::string GetServerAddressList() = 0;
  virtual std::string GetName() = 0;
  virtual void SetServerAddressList(const std::string& list) = 0;
  virtual uint32_t GetPinEntryTimeout() = 0;
  virtual void SetPinEntryTimeout(uint32_t ms) = 0;
  virtual std::string GetPrinterFileName() = 0;
  virtual void ReloadAfterUpdatingFiles() = 0;
  virtual const TIniFile& GetConfigFile() = 0;

  uint16_t GetDefaultHttpPort() const { return 80; }
  std::string GetServerURLprefix(const std::string& address) const { return "http://" + address + "/tarn2-web"; }
  std::string GetServerURLsuffix();
};

class TDavizEnvironment : public ITerminalEnvironment {
 public:
  TDavizEnvironment() : config_("CONFIG.INI", PathToIni) {}
  std::string GetServerAddressList() override { return config_.GetString("HostURL", ""); }
  std::string GetName() override { return "ECR"; }
  void SetServerAddressList(const std::string&) override {}
  uint32_t GetPinEntryTimeout() override { return 30000; }
  void SetPinEntryTimeout(uint32_t) override {}
  std::string GetPrinterFileName() override { return "cheque.txt"; }
  void ReloadAfterUpdatingFiles() override {}
  const TIniFile& GetConfigFile() override { return config_; }

 private:
  TIniFile config_;
};
