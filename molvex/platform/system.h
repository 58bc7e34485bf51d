// The system object: one per process, reached through ISystem::Instance().
// molvex reaches the operating system only through it and the drv functions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "molvex/platform/device_layer.h"
#include "molvex/platform/file_system.h"
#include "molvex/platform/timer.h"

class ISystem {
 public:
  static ISystem* Instance();

  virtual ~ISystem() = default;
  virtual uint16_t Init() = 0;
  virtual uint16_t Shutdown() = 0;
  virtual uint16_t Restart() = 0;
  virtual IDeviceLayer* GetDeviceLayer() = 0;
  virtual uint16_t SetDateTime(uint32_t date, uint32_t time) = 0;
  virtual uint16_t SetDateTimeZ(uint32_t date, uint32_t time, int32_t gmt_offset) = 0;
  virtual int32_t GetGmtOffset() = 0;
  virtual uint16_t GetDateTimeExtended(uint32_t* date, uint32_t* time, uint16_t* msec) = 0;
  virtual std::unique_ptr<ITimer> CreateTimer(uint32_t ms) = 0;
  virtual void Wait(uint32_t ms) = 0;
  virtual uint16_t GenerateRandom(uint8_t* bytes) = 0;
  virtual void Idle() = 0;
  virtual uint16_t MountFileSystem(const char* folder, IFileSystem** out) = 0;
  virtual uint16_t UnmountFileSystem(IFileSystem* fs) = 0;
  virtual IFileSystem* GetDefaultFileSystem() = 0;
  virtual void FillModelName(char* text, size_t size) = 0;
  virtual void GetScreenSize(uint16_t* width, uint16_t* height, bool* colour) = 0;
  virtual uint16_t OpenSystemOptions() = 0;
  virtual uint16_t GetSerialNumber(char* text, size_t size) = 0;
  virtual uint16_t GetSerialNumberOriginal(char* text, size_t size) = 0;
  virtual void SetBacklight(bool on) = 0;
  virtual bool IsControllerInterface(uint32_t value) = 0;
  virtual bool IsHostInterface(uint32_t value) = 0;
  virtual uint32_t GetMsecCounter() = 0;
  virtual uint32_t GetExternalPinpadCapabilities() = 0;
  virtual bool IsExternalTimeZoneControl() = 0;
  virtual IDeviceLayer* CreateDeviceLayer() = 0;
  virtual void Backlight(bool on) = 0;
  // Takes ownership of fs when it becomes the default; see the implementation.
  virtual IFileSystem* ChangeDefaultFileSystem(IFileSystem* fs) = 0;

  IDevice* GetDevice(uint16_t device) { return GetDeviceLayer()->GetDevice(device, 0); }
};

class TSystem : public ISystem {};
class TPCSystem : public TSystem {};

class TLinSystem : public TPCSystem {
 public:
  TLinSystem();
  ~TLinSystem() override;

  uint16_t Init() override;
  uint16_t Shutdown() override;
  uint16_t Restart() override { return 0; }
  IDeviceLayer* GetDeviceLayer() override;
  uint16_t SetDateTime(uint32_t date, uint32_t time) override;
  uint16_t SetDateTimeZ(uint32_t date, uint32_t time, int32_t gmt_offset) override;
  int32_t GetGmtOffset() override;
  uint16_t GetDateTimeExtended(uint32_t* date, uint32_t* time, uint16_t* msec) override;
  std::unique_ptr<ITimer> CreateTimer(uint32_t ms) override;
  void Wait(uint32_t ms) override;
  uint16_t GenerateRandom(uint8_t* bytes) override;
  void Idle() override;
  uint16_t MountFileSystem(const char* folder, IFileSystem** out) override;
  uint16_t UnmountFileSystem(IFileSystem* fs) override;
  IFileSystem* GetDefaultFileSystem() override { return default_fs_.get(); }
  void FillModelName(char* text, size_t size) override;
  void GetScreenSize(uint16_t* width, uint16_t* height, bool* colour) override;
  uint16_t OpenSystemOptions() override { return 252; }
  uint16_t GetSerialNumber(char* text, size_t size) override;
  uint16_t GetSerialNumberOriginal(char* text, size_t size) override { return GetSerialNumber(text, size); }
  void SetBacklight(bool on) override;
  bool IsControllerInterface(uint32_t) override { return false; }
  bool IsHostInterface(uint32_t) override { return false; }
  uint32_t GetMsecCounter() override;
  uint32_t GetExternalPinpadCapabilities() override { return 0; }
  bool IsExternalTimeZoneControl() override { return false; }
  IDeviceLayer* CreateDeviceLayer() override;
  void Backlight(bool) override {}
  IFileSystem* ChangeDefaultFileSystem(IFileSystem* fs) override;

  bool backlight() const { return backlight_ != 0; }

 private:
  std::unique_ptr<IDeviceLayer> device_layer_;
  std::unique_ptr<IFileSystem> default_fs_;
  uint8_t backlight_ = 0;
  std::unique_ptr<ITimer> idle_timer_;
  std::string serial_;
  bool serial_read_ = false;
  std::string model_;
  bool model_read_ = false;
};

class TLinStubExeSystem : public TLinSystem {
 public:
  // Moves the default file system to the current folder, then drvInit and the slave services.
  static void StartSystem();
  // Destroys the system object so the next Instance() makes a fresh one (tests only).
  static void ResetForTests();
};

// Layers above the platform hook into its start and shutdown.
struct PlatformHooks {
  void (*display_init)() = nullptr;    // console display set-up, at drvInit
  void (*slave_init)() = nullptr;      // slave services, after drvInit at the start
  void (*close_all_ports)() = nullptr; // every serial port slot, at drvShutdown and drvReboot
};
PlatformHooks& drvPlatformHooks();

// Runs a shell command for the date, time and time-zone changes; tests replace it.
using ShellRunner = int (*)(const char* command);
void drvSetShellRunnerForTests(ShellRunner runner);  // nullptr: the system shell

extern "C" {
void drvInit();
void drvShutdown();
void drvReboot();
uint16_t drvLaunch(uint16_t code);
void drvWait(uint32_t ms);
void drvGetDateAndTime(uint32_t* date, uint32_t* time);
void drvGetDateAndTimeWithMsec(uint32_t* date, uint32_t* time, uint16_t* msec);
uint16_t drvSetDateAndTime(uint32_t date, uint32_t time);
void drvBacklite(int on);
uint16_t drvRandom(uint8_t* bytes);
const char* drvGetModelName();
bool drvIsTagValueSupported(uint32_t tag, uint32_t value);
}
