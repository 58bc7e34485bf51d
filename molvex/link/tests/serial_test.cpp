// The serial port service and the termios connection, on real pseudo-terminals.
#include <chrono>
#include <cstring>
#include <thread>

#include "link_test_env.h"
#include "src/pc/comm_log.h"

using namespace linktest;

namespace {

using Clock = std::chrono::steady_clock;

class SerialTest : public LinkTest {};

TEST_F(SerialTest, OpeningAnOpenPortKeepsItsSpeed) {
  Pty pty;
  OpenPort9(pty, kSpeedIndex115200);
  EXPECT_EQ(pty.speed(), static_cast<speed_t>(B115200));
  EXPECT_EQ(drvOpenComPort(9, kSpeedIndex9600, 0), 0);
  EXPECT_EQ(pty.speed(), static_cast<speed_t>(B115200));
}

TEST_F(SerialTest, SpeedIndexesThatTheDeviceSetsAs9600) {
  struct Case {
    uint8_t index;
    speed_t expected;
  } cases[] = {{0, B9600}, {1, B1200}, {2, B2400}, {3, B9600}, {4, B9600}, {5, B9600},
               {6, B19200}, {7, B38400}, {8, B57600}, {9, B115200}, {10, B9600}, {200, B9600}};
  Pty pty;
  for (const auto& c : cases) {
    OpenPort9(pty, c.index);
    EXPECT_EQ(pty.speed(), c.expected) << "index " << int(c.index);
    drvCloseComPort(9);
  }
  EXPECT_EQ(SpeedIndexToBps(10), 0u);
}

TEST_F(SerialTest, SixteenthPortHasNoSlot) {
  Pty pty;
  uint8_t byte = 0;
  // Reads on ports without a connection make their slots without opening anything.
  for (int8_t port = 30; port < 45; ++port) EXPECT_EQ(drvReceiveData(port, &byte, 1), -1);
  unlink("ttyS99");
  ASSERT_EQ(symlink(pty.path().c_str(), "ttyS99"), 0);
  EXPECT_EQ(drvOpenComPort(9, kSpeedIndex9600, 0), -3);
  EXPECT_EQ(drvReceiveData(9, &byte, 1), -1);
  EXPECT_EQ(drvSendData(9, &byte, 1), -1);
  CloseAllComPorts();
  EXPECT_EQ(drvOpenComPort(9, kSpeedIndex9600, 0), 0);
}

TEST_F(SerialTest, ReadWaitFollowsSockTimeout) {
  struct Case {
    const char* ini;
    int min_ms;
    int max_ms;
  } cases[] = {{"", 0, 100}, {"SockTimeout=0\n", 0, 100}, {"SockTimeout=-5\n", 0, 100}, {"SockTimeout=250\n", 200, 2000}};
  for (const auto& c : cases) {
    WriteIni(c.ini);
    ResetSerialReadTimeoutForTests();
    Pty pty;
    OpenPort9(pty);
    uint8_t buffer[8];
    auto start = Clock::now();
    EXPECT_EQ(drvReceiveData(9, buffer, sizeof buffer), 0) << c.ini;
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
    EXPECT_GE(ms, c.min_ms) << c.ini;
    EXPECT_LT(ms, c.max_ms) << c.ini;
    drvCloseComPort(9);
  }
}

TEST_F(SerialTest, BytesBothWaysAndTheCommunicationLog) {
  int previous = pplogToggleLogMode(2);
  Pty pty;
  OpenPort9(pty);
  EXPECT_TRUE(drvIsUsbPort(9));  // a port found through the symbolic link
  ASSERT_EQ(drvSendData(9, "abc", 3), 3);
  Peer peer(pty.master());
  EXPECT_EQ(peer.ReadByte(), 'a');
  EXPECT_EQ(write(pty.master(), "xyz", 3), 3);
  uint8_t buffer[16] = {};
  int32_t got = 0;
  for (int i = 0; i < 100 && got == 0; ++i) {
    got = drvReceiveData(9, buffer, sizeof buffer);
    if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(got, 3);
  EXPECT_EQ(std::memcmp(buffer, "xyz", 3), 0);
  drvCloseComPort(9);
  pplogToggleLogMode(previous);

  time_t now = time(nullptr);
  tm local{};
  localtime_r(&now, &local);
  char name[32];
  std::snprintf(name, sizeof name, "com09-%02d.log", local.tm_mday);
  std::string log = testsupport::ReadFile(dir_ / name);
  EXPECT_NE(log.find(" + "), std::string::npos);
  EXPECT_NE(log.find(" > abc"), std::string::npos);
  EXPECT_NE(log.find(" < xyz"), std::string::npos);
  EXPECT_NE(log.find(" - "), std::string::npos);
}

TEST_F(SerialTest, LostDeviceIsReopenedAfterTheDelay) {
  auto first = std::make_unique<Pty>();
  OpenPort9(*first);
  first->Close();  // the device goes away
  uint8_t buffer[8];
  EXPECT_EQ(drvReceiveData(9, buffer, sizeof buffer), -1);
  EXPECT_EQ(drvGetPortPollDescriptor(9), -1) << "a lost device closes the port";

  Pty second;  // plugged in again, maybe under another name
  unlink("ttyS99");
  ASSERT_EQ(symlink(second.path().c_str(), "ttyS99"), 0);
  EXPECT_EQ(drvReceiveData(9, buffer, sizeof buffer), -1);
  EXPECT_EQ(drvGetPortPollDescriptor(9), -1) << "no reopen before 600 ms";
  std::this_thread::sleep_for(std::chrono::milliseconds(650));
  EXPECT_EQ(drvReceiveData(9, buffer, sizeof buffer), -1);  // this call reopens, and still fails
  ASSERT_GE(drvGetPortPollDescriptor(9), 0);
  ASSERT_EQ(write(second.master(), "k", 1), 1);
  int32_t got = 0;
  for (int i = 0; i < 100 && got == 0; ++i) {
    got = drvReceiveData(9, buffer, sizeof buffer);
    if (got == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(got, 1);
}

TEST_F(SerialTest, MissingLinkOrPortFailsToOpen) {
  EXPECT_EQ(drvOpenComPort(9, kSpeedIndex9600, 0), -3);
  EXPECT_EQ(drvOpenComPort(0, kSpeedIndex9600, 0), -3);
  std::string log = testsupport::ReadFile(dir_ / ([] {
                                            return testsupport::MonthlyLogName("tarn");
                                          })());
  EXPECT_NE(log.find("Can't open current working dir or find symlink"), std::string::npos);
  EXPECT_NE(log.find("opening NONE port"), std::string::npos);
}

TEST_F(SerialTest, HighSpeedFlagFromTheModelName) {
  struct Case {
    const char* model;
    bool high;
  } cases[] = {{"kozen p5", true}, {"P5-KOZEN", true}, {"Other", false}, {nullptr, false}};
  for (const auto& c : cases) {
    drvSetHighSpeedTagByModelName(40, c.model);
    EXPECT_EQ(drvIsHighSpeedConnection(40), c.high) << (c.model ? c.model : "none");
  }
}

}  // namespace
