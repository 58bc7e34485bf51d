#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/tlv.h"
#include "molvex/platform/device_interfaces.h"
#include "molvex/platform/info_devices.h"
#include "molvex/platform/serial_number.h"
#include "molvex/platform/status_info.h"
#include "platform_fixture.h"
#include "src/pc/comm_log.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

using testsupport::WriteFile;

namespace {

class SystemObject : public PlatformFixture {};

TEST_F(SystemObject, StartMovesTheDefaultFileSystemToTheCurrentFolder) {
  auto* fs = dynamic_cast<TLinFileSystem*>(ISystem::Instance()->GetDefaultFileSystem());
  ASSERT_NE(fs, nullptr);
  EXPECT_EQ(std::string(fs->root()), ProgramFolder());  // before the start: the program folder
  pcc_SetPath(PathToCurrent, Path("current/").c_str());
  WriteFile(Path("pinpad.ini"), "PinpadLog=2\nLeftTopCorner=1\nNoKernelLog=1\n");
  TLinStubExeSystem::StartSystem();
  fs = dynamic_cast<TLinFileSystem*>(ISystem::Instance()->GetDefaultFileSystem());
  EXPECT_EQ(std::string(fs->root()), Path("current/"));
  struct stat st {};
  EXPECT_EQ(stat(Path("current").c_str(), &st), 0);
  EXPECT_EQ(pplogGetLogMode(), 2);
  EXPECT_EQ(pcc_GetUImode() & 0x0004, 0x0004);
  EXPECT_EQ(IsReportStringEnabled(), 0);
  EnableReportString(1);
  pplogToggleLogMode(0);
  pcc_GetUImode() = 0;
}

TEST_F(SystemObject, UnsetFoldersFollowTheDefaultFileSystemAndTheKeeper) {
  pcc_ResetPathsForTests();
  pcc_SetPath(PathToProgram, Folder().c_str());
  pcc_SetPath(PathToCurrent, Path("cur/").c_str());
  ISystem::Instance();
  EXPECT_EQ(std::string(pcc_GetPath(PathToLog)), ProgramFolder());
  TLinStubExeSystem::StartSystem();
  EXPECT_EQ(std::string(pcc_GetPath(PathToLog)), Path("cur/"));
  {
    CurrentFolderKeeper keeper(Path("cur/Update").c_str());
    ASSERT_TRUE(keeper.active());
    auto* fs = dynamic_cast<TLinFileSystem*>(ISystem::Instance()->GetDefaultFileSystem());
    EXPECT_EQ(std::string(fs->root()), Path("cur/Update/"));
    EXPECT_EQ(std::string(pcc_GetPath(PathToLog)), Path("cur/"));  // the log does not move
    CurrentFolderKeeper nested(Path("other").c_str());
    EXPECT_FALSE(nested.active());
  }
  auto* fs = dynamic_cast<TLinFileSystem*>(ISystem::Instance()->GetDefaultFileSystem());
  EXPECT_EQ(std::string(fs->root()), Path("cur/"));
}

TEST_F(SystemObject, SerialFieldKeepsTheLastElevenLettersAndDigits) {
  struct Case {
    const char* text;
    const char* field;
  } cases[] = {
      {"no device", " 000nodevice"},
      {"empty", " 000000empty"},
      {"no serial", " 000noserial"},
      {"", " 00000000000"},
  };
  char field[13];
  MakeSerialField("AB-123456789012", field);  // 14 letters and digits, a dash after the second
  EXPECT_STREQ(field, " 23456789012");
  for (const auto& c : cases) {
    MakeSerialField(c.text, field);
    EXPECT_STREQ(field, c.field) << c.text;
  }
}

TEST_F(SystemObject, RootDeviceFromMountInfo) {
  struct stat st {};
  ASSERT_EQ(stat("/", &st), 0);
  std::string numbers = std::to_string(major(st.st_dev)) + ":" + std::to_string(minor(st.st_dev));
  WriteFile(Path("mountinfo"), "21 1 0:1 / /proc rw - proc proc rw\n"
                               "22 1 " + numbers + " / / rw,relatime shared:1 - ext4 /dev/vdz1 rw\n");
  EXPECT_EQ(RootDevicePath(Path("mountinfo").c_str()), "/dev/vdz1");
  WriteFile(Path("mountinfo"), "21 1 0:1 / /proc rw - proc proc rw\n");
  EXPECT_EQ(RootDevicePath(Path("mountinfo").c_str()), "/dev/hda");
  EXPECT_EQ(RootDevicePath(Path("absent").c_str()), "/dev/hda");
}

TEST_F(SystemObject, ModelNameComesFromFakeModelOnce) {
  WriteFile(Path("pinpad.ini"), "FakeModel=VX-TEST\n");
  EXPECT_STREQ(drvGetModelName(), "VX-TEST");
  WriteFile(Path("pinpad.ini"), "FakeModel=OTHER\n");
  EXPECT_STREQ(drvGetModelName(), "VX-TEST");  // read once per run
  TLinStubExeSystem::ResetForTests();
  WriteFile(Path("pinpad.ini"), "");
  EXPECT_STREQ(drvGetModelName(), "TARN NIX");
}

std::vector<std::string> g_shell;
int RecordShell(const char* command) {
  g_shell.push_back(command);
  return 0;
}

TEST_F(SystemObject, SettingDateTimeAndZoneRunsTheShellCommands) {
  drvSetShellRunnerForTests(RecordShell);
  g_shell.clear();
  EXPECT_EQ(drvSetDateAndTime(20261211, 93005), 0);
  EXPECT_EQ(g_shell, (std::vector<std::string>{"date 11-12-2026", "time 9:30:5"}));
  g_shell.clear();
  ISystem::Instance()->SetDateTimeZ(20260101, 0, 3 * 3600);
  ASSERT_EQ(g_shell.size(), 3u);
  EXPECT_EQ(g_shell[0], "timedatectl set-timezone Europe/Moscow");
  g_shell.clear();
  ISystem::Instance()->SetDateTimeZ(20260101, 0, 13 * 3600);
  EXPECT_EQ(g_shell.size(), 2u);  // no zone for +13: only date and time
  drvSetShellRunnerForTests(nullptr);
}

struct FakePrinter : IDevice, IPrinterStatusSource {
  uint16_t QueryStatus() override { return 0; }
};
struct FakeNetwork : IDevice, INetworkStateSource {
  int GetInterfaceState() override { return 3; }
};
std::unique_ptr<IDevice> MakePrinter(uint16_t) { return std::make_unique<FakePrinter>(); }
std::unique_ptr<IDevice> MakeNetwork(uint16_t) { return std::make_unique<FakeNetwork>(); }

TEST_F(SystemObject, StatusRecord) {
  T_CUR_STATUS_INFO record;
  drvGetStatusInfo(&record);
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&record);
  for (int i = 0; i < 7; ++i) EXPECT_EQ(bytes[i], 0xFF) << i;
  for (size_t i = 7; i < sizeof record; ++i) EXPECT_EQ(bytes[i], 0) << i;
  RegisterDeviceFactory(DEVICE_PRINTER, MakePrinter);
  RegisterDeviceFactory(DEVICE_ETHERNET, MakeNetwork);
  TLinStubExeSystem::ResetForTests();
  drvGetStatusInfo(&record);
  const uint8_t expected[7] = {0xFF, 0xFF, 1, 0xFF, 0xFF, 1, 0xFF};
  EXPECT_EQ(std::memcmp(bytes, expected, 7), 0);
  UnregisterDeviceFactoriesForTests();
}

std::vector<uint8_t> Hw(uint16_t section) {
  std::vector<uint8_t> out(512);
  out.resize(drvGetExtendedHWInfo(section, out.data(), static_cast<uint16_t>(out.size())));
  return out;
}

TEST_F(SystemObject, InformationDevicesReadCashInfo) {
  WriteFile(Path("cashinfo.ini"), "[FiscalInfo]\nSerial=" + std::string(40, '7') + "\nModel=FR-01\n"
                                  "[Info]\nSerial=S1\nPos=Desk 3\n[Version]\nName=POS\nVer=1.2\n");
  std::vector<uint8_t> serial = Hw(2);
  ASSERT_EQ(serial.size(), 2u + 31u);
  EXPECT_EQ(serial[0], 0xCD);
  EXPECT_EQ(serial[1], 31);
  EXPECT_EQ(Hw(3), (std::vector<uint8_t>{0xC4, 5, 'F', 'R', '-', '0', '1'}));
  EXPECT_EQ(Hw(11), (std::vector<uint8_t>{0xD7, 6, 'D', 'e', 's', 'k', ' ', '3'}));
  EXPECT_TRUE(Hw(99).empty());

  uint8_t sw[64];
  uint16_t n = drvGetExtendedSWInfo(4, sw, sizeof sw);
  EXPECT_EQ(std::vector<uint8_t>(sw, sw + n),
            (std::vector<uint8_t>{0xE1, 10, 0xC8, 3, 'P', 'O', 'S', 0xC9, 3, '1', '.', '2'}));
  EXPECT_EQ(drvGetExtendedSWInfo(3, sw, sizeof sw), 0);  // no [FiscalVersion]
  EXPECT_EQ(drvGetExtendedSWInfo(4, sw, 5), 0);          // no room
}

TEST_F(SystemObject, NetworkInterfacesSection) {
  std::vector<uint8_t> items = Hw(10);
  if (items.empty()) GTEST_SKIP() << "no IPv4 interface besides loopback here";
  common::T_TLV_Buffer buffer = common::TlvBufferOver(items.data(), static_cast<uint16_t>(items.size()));
  common::T_TLV_Item item;
  item.tag = 0xE4;
  ASSERT_EQ(common::FindTag(buffer, item), 1);
  common::T_TLV_Buffer inner = common::TlvBufferOver(item.value, item.length);
  common::T_TLV_Item kind;
  kind.tag = 0xD3;
  ASSERT_EQ(common::FindTag(inner, kind), 1);
  EXPECT_EQ(kind.value[0], 4);
  common::T_TLV_Item host;
  host.tag = 0xC0;
  EXPECT_EQ(common::FindTag(inner, host), 1);
}

TEST_F(SystemObject, UpdaterAndLaunch) {
  auto* updater = dynamic_cast<IUpdater*>(ISystem::Instance()->GetDevice(DEVICE_UPDATER));
  ASSERT_NE(updater, nullptr);
  EXPECT_EQ(updater->Update(nullptr), 253);
  TUpdateParams params;
  params.kind = 2;
  EXPECT_EQ(updater->Update(&params), 0);
  params.kind = 1;
  EXPECT_EQ(updater->Update(&params), 252);
  EXPECT_STREQ(updater->SoftwareVersion(), "34.09.04");
  char version[32];
  EXPECT_EQ(drvGetOsVersion(version, sizeof version), 0);
  EXPECT_GT(std::strlen(version), 3u);

  static int closed = 0;
  drvPlatformHooks().close_all_ports = [] { ++closed; };
  EXPECT_EQ(drvLaunch(98), 252);
  EXPECT_EQ(closed, 1);
  EXPECT_EQ(drvLaunch(5), 253);
  drvShutdown();
  EXPECT_EQ(closed, 2);
  drvPlatformHooks().close_all_ports = nullptr;
}

TEST_F(SystemObject, MiscellaneousAnswers) {
  uint8_t random[8] = {};
  EXPECT_EQ(drvRandom(random), 0);
  EXPECT_EQ(drvRandom(nullptr), 253);
  EXPECT_FALSE(drvIsTagValueSupported(0xDF805C, 1));
  EXPECT_FALSE(drvIsTagValueSupported(0xDF807F, 1));
  EXPECT_TRUE(drvIsTagValueSupported(0x9F02, 1));
  uint16_t w = 0, h = 0;
  bool colour = false;
  ISystem::Instance()->GetScreenSize(&w, &h, &colour);
  EXPECT_EQ(w, 174);
  EXPECT_EQ(h, 88);
  EXPECT_EQ(ISystem::Instance()->OpenSystemOptions(), 252);
  unsigned out = 9;
  EXPECT_EQ(ISystem::Instance()->GetDeviceLayer()->Test(DEVICE_PRINTER, &out), 252);
  uint32_t date = 0, time_of_day = 0;
  uint16_t msec = 1000;
  drvGetDateAndTimeWithMsec(&date, &time_of_day, &msec);
  EXPECT_LT(msec, 1000);
  EXPECT_LT(time_of_day, 240000u);
}

}  // namespace
