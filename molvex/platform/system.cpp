#include "molvex/platform/system.h"

#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "molvex/platform/file_handles.h"
#include "molvex/platform/info_devices.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/platform/serial_number.h"
#include "src/pc/comm_log.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

namespace {

constexpr uint32_t kIdleTimeoutMs = 123000;

std::unique_ptr<TLinStubExeSystem>& SystemSlot() {
  static std::unique_ptr<TLinStubExeSystem> system;
  return system;
}

ShellRunner g_shell_runner = nullptr;

int RunShell(const char* command) {
  if (g_shell_runner != nullptr) return g_shell_runner(command);
  return std::system(command);
}

// Whole hours 2 to 12 east of UTC and the zones that carry them.
const char* const kZones[] = {"Europe/Kaliningrad", "Europe/Moscow",    "Europe/Samara",    "Asia/Yekaterinburg",
                              "Asia/Omsk",          "Asia/Novosibirsk", "Asia/Irkutsk",     "Asia/Chita",
                              "Asia/Vladivostok",   "Asia/Magadan",     "Asia/Kamchatka"};

// Unset folders of the registry follow the default file system, and the
// temporary folder of a CurrentFolderKeeper becomes the default for a while.
std::unique_ptr<IFileSystem> g_saved_fs;

const char* DefaultRoot() {
  auto* fs = dynamic_cast<TLinFileSystem*>(ISystem::Instance()->GetDefaultFileSystem());
  return fs != nullptr ? fs->root() : "";
}

const char* SavedRoot() {
  auto* fs = dynamic_cast<TLinFileSystem*>(g_saved_fs.get());
  return fs != nullptr ? fs->root() : nullptr;
}

bool PushCurrentFolder(const char* folder) {
  if (g_saved_fs) return false;  // keepers do not nest
  auto mounted = std::make_unique<TLinFileSystem>(folder);
  g_saved_fs.reset(ISystem::Instance()->ChangeDefaultFileSystem(mounted.release()));
  return true;
}

void PopCurrentFolder() {
  std::unique_ptr<IFileSystem> temporary(ISystem::Instance()->ChangeDefaultFileSystem(g_saved_fs.release()));
}

const PccFileSystemHooks kFolderHooks{DefaultRoot, SavedRoot, PushCurrentFolder, PopCurrentFolder};

int32_t TimeOfDayNumber() {
  time_t now = time(nullptr);
  tm parts {};
  localtime_r(&now, &parts);
  return parts.tm_hour * 10000 + parts.tm_min * 100 + parts.tm_sec;
}

}  // namespace

ISystem* ISystem::Instance() {
  auto& slot = SystemSlot();
  if (!slot) {
    slot = std::make_unique<TLinStubExeSystem>();
    pcc_InstallFileSystemHooks(&kFolderHooks);
    RegisterPlatformDevices();
  }
  return slot.get();
}

PlatformHooks& drvPlatformHooks() {
  static PlatformHooks hooks;
  return hooks;
}

void drvSetShellRunnerForTests(ShellRunner runner) { g_shell_runner = runner; }

TLinSystem::TLinSystem() : default_fs_(std::make_unique<TLinFileSystem>("")) {
  std::srand(static_cast<unsigned>(TimeOfDayNumber()));
}

TLinSystem::~TLinSystem() = default;

uint16_t TLinSystem::Init() {
  pplogToggleLogMode(Ini_IsPinpadLog());
  pplogToggleStatisticMode(Ini_IsPinpadLogStatistic());
  Ini_SwitchBit(pcc_GetUImode(), 0x0004, "LeftTopCorner");
  EnableReportString(Ini_IsKernelLog());
  return 0;
}

uint16_t TLinSystem::Shutdown() {
  device_layer_.reset();
  idle_timer_.reset();
  return 0;
}

IDeviceLayer* TLinSystem::GetDeviceLayer() {
  if (!device_layer_) CreateDeviceLayer();
  return device_layer_.get();
}

IDeviceLayer* TLinSystem::CreateDeviceLayer() {
  device_layer_ = std::make_unique<TLinStubExeDeviceLayer>();
  return device_layer_.get();
}

uint16_t TLinSystem::SetDateTime(uint32_t date, uint32_t time_of_day) {
  char command[64];
  std::snprintf(command, sizeof command, "date %d-%d-%d", static_cast<int>(date % 100),
                static_cast<int>(date / 100 % 100), static_cast<int>(date / 10000));
  RunShell(command);
  std::snprintf(command, sizeof command, "time %d:%d:%d", static_cast<int>(time_of_day / 10000),
                static_cast<int>(time_of_day / 100 % 100), static_cast<int>(time_of_day % 100));
  RunShell(command);
  return 0;
}

uint16_t TLinSystem::SetDateTimeZ(uint32_t date, uint32_t time_of_day, int32_t gmt_offset) {
  int32_t hours = gmt_offset / 3600;
  if (gmt_offset % 3600 == 0 && hours >= 2 && hours <= 12) {
    char command[96];
    std::snprintf(command, sizeof command, "timedatectl set-timezone %s", kZones[hours - 2]);
    int result = RunShell(command);
    if (result != 0) ReportString("TZ set result %d, errno %d", result, errno);
  } else {
    ReportString("Invalid GMT offset %d", gmt_offset);
  }
  return SetDateTime(date, time_of_day);
}

int32_t TLinSystem::GetGmtOffset() {
  time_t now = time(nullptr);
  tm parts {};
  localtime_r(&now, &parts);
  return static_cast<int32_t>(parts.tm_gmtoff);
}

uint16_t TLinSystem::GetDateTimeExtended(uint32_t* date, uint32_t* time_of_day, uint16_t* msec) {
  timespec ts {};
  clock_gettime(CLOCK_REALTIME, &ts);
  tm parts {};
  localtime_r(&ts.tv_sec, &parts);
  if (date != nullptr) *date = static_cast<uint32_t>((parts.tm_year + 1900) * 10000 + (parts.tm_mon + 1) * 100 + parts.tm_mday);
  if (time_of_day != nullptr) *time_of_day = static_cast<uint32_t>(parts.tm_hour * 10000 + parts.tm_min * 100 + parts.tm_sec);
  if (msec != nullptr) *msec = static_cast<uint16_t>(ts.tv_nsec / 1000000);
  return 0;
}

std::unique_ptr<ITimer> TLinSystem::CreateTimer(uint32_t ms) { return std::make_unique<TLinTimer>(ms); }

void TLinSystem::Wait(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

uint16_t TLinSystem::GenerateRandom(uint8_t* bytes) {
  if (bytes == nullptr) return 253;
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(std::rand());
  return 0;
}

void TLinSystem::Idle() {
  sched_yield();
  if (!idle_timer_) idle_timer_ = CreateTimer(kIdleTimeoutMs);
  if (idle_timer_->IsExpired() && backlight_ != 0) {
    backlight_ = 0;
    Backlight(false);
  }
}

uint16_t TLinSystem::MountFileSystem(const char* folder, IFileSystem** out) {
  if (out != nullptr) *out = new TLinFileSystem(folder);  // the caller unmounts it
  return 0;
}

uint16_t TLinSystem::UnmountFileSystem(IFileSystem* fs) {
  std::unique_ptr<IFileSystem> owned(fs);
  return 0;
}

void TLinSystem::FillModelName(char* text, size_t size) {
  if (text == nullptr || size == 0) return;
  if (!model_read_) {
    char value[25];
    pcc_GetIniStringSize("pinpad.ini", "FakeModel", value, sizeof value);
    model_ = value[0] != '\0' ? value : "TARN NIX";
    model_read_ = true;
  }
  std::snprintf(text, size, "%s", model_.c_str());
}

void TLinSystem::GetScreenSize(uint16_t* width, uint16_t* height, bool* colour) {
  if (width != nullptr) *width = 174;
  if (height != nullptr) *height = 88;
  if (colour != nullptr) *colour = true;
}

uint16_t TLinSystem::GetSerialNumber(char* text, size_t size) {
  if (!serial_read_) {
    serial_ = ReadSerialText("/proc/self/mountinfo");
    serial_read_ = true;
  }
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", serial_.c_str());
  return 0;
}

void TLinSystem::SetBacklight(bool on) {
  uint8_t state = on ? 1 : 0;
  if (state != backlight_) {
    backlight_ = state;
    Backlight(on);
  }
  if (!idle_timer_) idle_timer_ = CreateTimer(kIdleTimeoutMs);
  idle_timer_->Restart(kIdleTimeoutMs);
}

uint32_t TLinSystem::GetMsecCounter() { return drvGetTimeMSec(); }

IFileSystem* TLinSystem::ChangeDefaultFileSystem(IFileSystem* fs) {
  if (fs == nullptr) return nullptr;
  if (dynamic_cast<TLinFileSystem*>(fs) == nullptr) return fs;
  IFileSystem* previous = default_fs_.release();
  default_fs_.reset(fs);
  return previous;
}

void TLinStubExeSystem::StartSystem() {
  ISystem* system = Instance();
  std::unique_ptr<IFileSystem> previous(system->ChangeDefaultFileSystem(new TLinFileSystem(pcc_GetPath(PathToCurrent))));
  drvInit();
  if (drvPlatformHooks().slave_init != nullptr) drvPlatformHooks().slave_init();
}

void TLinStubExeSystem::ResetForTests() {
  drvCloseAllFiles();
  SystemSlot().reset();
  pcc_InstallFileSystemHooks(nullptr);
}

extern "C" void drvInit() {
  ISystem* system = ISystem::Instance();
  system->Init();
  if (drvPlatformHooks().display_init != nullptr) drvPlatformHooks().display_init();
  system->GetDevice(DEVICE_KEYBOARD);
  system->GetDevice(DEVICE_CONTACTLESS);  // no contactless reader on a PC
}

extern "C" void drvShutdown() {
  if (drvPlatformHooks().close_all_ports != nullptr) drvPlatformHooks().close_all_ports();
  ISystem::Instance()->Shutdown();
}

extern "C" void drvReboot() {
  if (drvPlatformHooks().close_all_ports != nullptr) drvPlatformHooks().close_all_ports();
  ISystem::Instance()->Restart();
}

extern "C" void drvWait(uint32_t ms) { ISystem::Instance()->Wait(ms); }

extern "C" void drvGetDateAndTime(uint32_t* date, uint32_t* time_of_day) {
  ISystem::Instance()->GetDateTimeExtended(date, time_of_day, nullptr);
}

extern "C" void drvGetDateAndTimeWithMsec(uint32_t* date, uint32_t* time_of_day, uint16_t* msec) {
  ISystem::Instance()->GetDateTimeExtended(date, time_of_day, msec);
}

extern "C" uint16_t drvSetDateAndTime(uint32_t date, uint32_t time_of_day) {
  return ISystem::Instance()->SetDateTime(date, time_of_day);
}

extern "C" void drvBacklite(int on) { ISystem::Instance()->SetBacklight(on != 0); }

extern "C" uint16_t drvRandom(uint8_t* bytes) { return ISystem::Instance()->GenerateRandom(bytes); }

extern "C" const char* drvGetModelName() {
  static char model[25];
  ISystem::Instance()->FillModelName(model, sizeof model);  // read once by the system, then kept
  return model;
}

extern "C" bool drvIsTagValueSupported(uint32_t tag, uint32_t value) {
  if (tag == 0xDF805C) return ISystem::Instance()->IsControllerInterface(value);
  if (tag == 0xDF807F) return ISystem::Instance()->IsHostInterface(value);
  return true;
}
