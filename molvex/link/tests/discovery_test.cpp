// Port numbers, device paths, the USB search on a fake sysfs tree, and the
// speed keys of "pinpad.ini".
#include <dirent.h>
#include <sys/stat.h>

#include "link_test_env.h"

using namespace linktest;

namespace {

class DiscoveryTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    root_ = dir_.path() + "/sys";
    UsbSearchRoots roots;
    roots.usbDevices = root_ + "/bus/usb/devices";
    roots.classTty = root_ + "/class/tty/";
    roots.dev = root_ + "/dev";
    SetUsbSearchRootsForTests(roots);
    Mkdirs(roots.usbDevices);
    Mkdirs(root_ + "/class/tty");
    Mkdirs(roots.dev);
  }
  void TearDown() override {
    SetUsbSearchRootsForTests(UsbSearchRoots{});
    LinkTest::TearDown();
  }
  static void Mkdirs(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
      if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
    }
  }
  // A USB device with one serial interface whose tty is named tty, reached through target.
  void AddDevice(const std::string& device, const std::string& vendor, const std::string& tty,
                 const std::string& target = "/dev/null") {
    std::string dev = root_ + "/bus/usb/devices/" + device;
    Mkdirs(dev + "/" + device + ":1.0/tty/" + tty);
    testsupport::WriteFile(dev + "/idVendor", vendor + "\n");
    symlink((dev + "/" + device + ":1.0/tty/" + tty).c_str(), (root_ + "/class/tty/" + tty).c_str());
    symlink(target.c_str(), (root_ + "/dev/" + tty).c_str());
  }
  void FindCom(const std::string& text) { testsupport::WriteFile(dir_ / "findcom.ini", text); }
  std::string MainLog() { return testsupport::ReadFile(dir_ / testsupport::MonthlyLogName("tarn")); }
  std::string root_;
};

TEST_F(DiscoveryTest, FindComVendorLines) {
  FindCom("; comment\r\n# other\n\n  vid_1234 extra \nENUMS USB FTDIBUS\n\tVID_abce\nVID_9999");
  EXPECT_EQ(ReadFindComVendors(), (std::vector<std::string>{"VID_1234", "VID_ABCE"}));
  FindCom("");
  EXPECT_TRUE(ReadFindComVendors().empty());
  EXPECT_NE(MainLog().find("Invalid findcomm.ini file"), std::string::npos);
}

TEST_F(DiscoveryTest, SearchListsPinpadsInSystemOrder) {
  FindCom("VID_1234\nvid_0B00\n");
  AddDevice("1-1", "1234", "ttyACM0");
  AddDevice("3-2", "0b00", "ttyUSB0");
  AddDevice("2-1", "abcd", "ttyUSB1");
  Mkdirs(root_ + "/bus/usb/devices/usb1");  // a hub without idVendor

  std::vector<std::string> expected;
  DIR* d = opendir((root_ + "/bus/usb/devices").c_str());
  while (dirent* e = readdir(d)) {
    std::string name = e->d_name;
    if (name == "1-1") expected.push_back(root_ + "/dev/ttyACM0");
    if (name == "3-2") expected.push_back(root_ + "/dev/ttyUSB0");
  }
  closedir(d);

  std::vector<int> ports;
  ASSERT_EQ(findPortStartSearch(&ports), 2);
  EXPECT_EQ(ports, (std::vector<int>{100, 101}));
  char path[300];
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_TRUE(linGetUsbPinpadPath(100 + static_cast<int>(i), path, sizeof path));
    EXPECT_EQ(path, expected[i]);
  }
  EXPECT_FALSE(linGetUsbPinpadPath(102, path, sizeof path));
  findPortEndSearch();
  EXPECT_TRUE(bPortVidIsPP((root_ + "/dev/ttyACM0").c_str()));
  EXPECT_FALSE(bPortVidIsPP((root_ + "/dev/ttyUSB1").c_str()));
}

TEST_F(DiscoveryTest, UsbPortOpensTheFoundDeviceAndRemembersItsPath) {
  Pty pty;
  FindCom("VID_1234\n");
  AddDevice("1-1", "1234", "ttyACM0", pty.path());
  ASSERT_EQ(drvOpenComPort(100, kSpeedIndex9600, 0), 0);
  EXPECT_TRUE(drvIsUsbPort(100));
  EXPECT_NE(Ini().find("UsbPortPath=" + root_ + "/dev/ttyACM0"), std::string::npos);
}

TEST_F(DiscoveryTest, WithoutVendorsNothingIsFoundAndTheRememberedPathIsEmptied) {
  Pty pty;
  FindCom("; no vendors here\n");
  AddDevice("1-1", "1234", "ttyACM0", pty.path());
  WriteIni("UsbPortPath=" + root_ + "/dev/ttyACM0\n");
  EXPECT_EQ(findPortStartSearch(nullptr), 0);
  EXPECT_EQ(drvOpenComPort(100, kSpeedIndex9600, 0), -3);
  EXPECT_NE(Ini().find("UsbPortPath="), std::string::npos);
  EXPECT_EQ(Ini().find("ttyACM0"), std::string::npos);
}

TEST_F(DiscoveryTest, DevicePathsOfPortNumbers) {
  struct Case {
    uint16_t port;
    const char* path;
  } cases[] = {{0, ""}, {1, "/dev/ttyS0"}, {2, "/dev/ttyS1"}, {99, "/dev/ttyS98"}};
  char path[300];
  for (const auto& c : cases) {
    TLinRS232Interface::GetDevicePort(c.port, path, sizeof path);
    EXPECT_STREQ(path, c.path) << c.port;
  }
  symlink("/dev/pts/4242", "ttyS99");
  TLinRS232Interface::GetDevicePort(9, path, sizeof path);
  EXPECT_STREQ(path, "/dev/pts/4242");
}

TEST_F(DiscoveryTest, PortAndSpeedKeys) {
  struct SpeedCase {
    const char* text;
    uint8_t index;
  } speeds[] = {{"300", 0}, {"1200", 1}, {"9600", 4}, {"14400", 5}, {"115200", 9}, {"", 255}, {"fast", 255}, {"9600 ", 255}};
  for (const auto& c : speeds) EXPECT_EQ(StringToSpeed(c.text), c.index) << c.text;
  EXPECT_NE(MainLog().find("Unknown pinpad speed fast"), std::string::npos);
  char text[8];
  EXPECT_STREQ(SpeedToString(8, text), "57600");
  EXPECT_STREQ(SpeedToString(10, text), "");

  struct IniCase {
    const char* ini;
    int port;
    uint8_t speed;
    uint8_t optimal;
  } inis[] = {{"", 0, 4, 9},
              {"ComPort=3\nSpeed=57600\nOptimalSpeed=38400\n", 3, 8, 7},
              {"ComPort=99999999999\nSpeed=fast\nOptimalSpeed=1\n", 0, 4, 9}};
  for (const auto& c : inis) {
    WriteIni(c.ini);
    ResetPortDiscoveryForTests();
    EXPECT_EQ(GetComPortNumber(), c.port) << c.ini;
    EXPECT_EQ(ReadIniPortSpeed(), c.speed) << c.ini;
    EXPECT_EQ(ReadIniOptimalPortSpeed(), c.optimal) << c.ini;
  }
  WriteIni("OptimalSpeed=19200\n");
  EXPECT_EQ(ReadIniOptimalPortSpeed(), 9) << "read once per run";
}

}  // namespace
