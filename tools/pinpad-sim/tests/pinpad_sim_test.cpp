// molvex's link against the simulator on real ptys and sockets: the PIN pad
// search, speeds and framings, the simulator's faults and its scenarios.
#include <sys/stat.h>

#include <atomic>
#include <thread>

#include "molvex/link/tests/link_test_env.h"
#include "tools/pinpad-sim/pinpad_sim.h"

using namespace linktest;
using namespace pinpadsim;

namespace {

std::string MainLog(const std::string& dir) {
  return testsupport::ReadFile(dir + "/" + testsupport::MonthlyLogName("tarn"));
}

class SimTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    LinkTimings& t = LinkTimingsForTests();
    t.frameAckMs = 300;
    t.readinessReplyMs = 500;
    t.pinpadWaitMs = 8000;
    t.pinpadRetryMs = 50;
    t.speedSettleMs = 50;
    t.restartWaitMs = 50;
  }
  void TearDown() override {
    StopSim();
    LinkTest::TearDown();
  }
  // Starts the simulator on a pty whose ttyS99 lands in folder ("" = the working folder).
  void StartSim(SimOptions options, const std::string& folder = "") {
    sim_.reset();
    channel_.reset();
    channel_ = std::make_unique<PtyChannel>(folder.empty() ? dir_.path() : folder);
    ASSERT_TRUE(channel_->ok());
    sim_ = std::make_unique<PinpadSim>(channel_.get(), std::move(options));
    stop_ = false;
    thread_ = std::thread([this] { sim_->Run(stop_); });
  }
  void StopSim() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  uint16_t Ready(T_PinpadProperties* p = nullptr) { return TestPinpadOK(p, 643, 0, nullptr); }

  std::unique_ptr<PtyChannel> channel_;
  std::unique_ptr<PinpadSim> sim_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST_F(SimTest, ReadinessThroughPort9AndTheFaultsTheLinkSurvives) {
  SimOptions options;
  options.readiness.modelName = "KOZEN S1";
  StartSim(options);
  ASSERT_EQ(drvOpenComPort(9, kSpeedIndex115200, 0), 0);
  T_PinpadProperties p;
  ASSERT_EQ(Ready(&p), 0);
  EXPECT_EQ(p.versionMajor, 21);
  EXPECT_STREQ(p.modelName, "KOZEN S1");
  EXPECT_TRUE(drvIsHighSpeedConnection(9));
  StopSim();

  struct Case {
    Fault fault;
    uint16_t result;
  } cases[] = {{Fault::kBadCrc, 0},  {Fault::kOutOfSequence, 0}, {Fault::kDuplicate, 0},
               {Fault::kGarbage, 0}, {Fault::kSilence, 99},      {Fault::kStopMidFrame, 99}};
  for (const auto& c : cases) {
    sim_->AddFault(c.fault);
    stop_ = false;
    thread_ = std::thread([this] { sim_->Run(stop_); });
    EXPECT_EQ(Ready(), c.result) << static_cast<int>(c.fault);
    EXPECT_EQ(Ready(), 0) << "and the next exchange works " << static_cast<int>(c.fault);
    StopSim();
  }
}

TEST_F(SimTest, PinpadAt9600IsMovedToTheOptimalSpeed) {
  SimOptions options;
  options.speedIndex = kSpeedIndex9600;
  StartSim(options);
  uint8_t speed = kSpeedIndex9600;
  EXPECT_EQ(stubWaitForPinpad(5000, 50, &speed, nullptr, 643, 0, nullptr), 0);
  EXPECT_EQ(speed, kSpeedIndex115200);
  EXPECT_EQ(sim_->speedIndex(), kSpeedIndex115200);
  EXPECT_NE(Ini().find("Speed=115200"), std::string::npos);
}

TEST_F(SimTest, SpeedsAlternateUntilThePinpadAnswers) {
  StartSim(SimOptions{});  // listens at 115,200 only
  uint8_t speed = kSpeedIndex9600;
  EXPECT_EQ(stubWaitForPinpad(8000, 50, &speed, nullptr, 643, 0, nullptr), 0);
  EXPECT_EQ(speed, kSpeedIndex115200);
  EXPECT_EQ(Ini().find("Speed="), std::string::npos) << "no speed change was needed";

  StopSim();
  speed = kSpeedIndex9600;
  EXPECT_EQ(stubWaitForPinpad(1200, 50, &speed, nullptr, 643, 0, nullptr), 99) << "nobody answers";
}

TEST_F(SimTest, FramingFollowsWhatThePinpadSpeaks) {
  SimOptions old_pad;
  old_pad.legacyOnly = true;
  old_pad.readiness.versionMajor = 12;
  StartSim(old_pad);
  bUseNewProtocol = 5;
  uint8_t speed = kSpeedIndex115200;
  T_PinpadProperties p;
  EXPECT_EQ(stubWaitForPinpad(8000, 50, &speed, &p, 643, 0, nullptr), 0);
  EXPECT_EQ(p.versionMajor, 12);
  EXPECT_EQ(bUseNewProtocol, 0u);
  EXPECT_NE(Ini().find("NewProtocol=0"), std::string::npos);
  StopSim();

  StartSim(SimOptions{});
  drvCloseComPort(9);  // the old device is gone: a new one behind ttyS99
  ASSERT_EQ(drvOpenComPort(9, kSpeedIndex115200, 0), 0);
  bUseNewProtocol = 0;
  EXPECT_EQ(Ready(&p), 0);
  EXPECT_NE(bUseNewProtocol, 0u) << "a current PIN pad switches the run to the current framing";
  EXPECT_NE(Ini().find("NewProtocol=1"), std::string::npos);
  EXPECT_EQ(Ready(&p), 0);
  StopSim();
  ASSERT_EQ(sim_->received().size(), 2u);
  EXPECT_EQ(sim_->received()[0].framing, Framing::kLegacy);
  EXPECT_EQ(sim_->received()[1].framing, Framing::kData);
}

TEST_F(SimTest, SearchModesAndTheUsbSearch) {
  WriteIni("EnableUSB=0\n");
  PINPAD_PORT = 0;
  EXPECT_EQ(TestPinpad(PinpadTestParams{}, nullptr, kSearchWhenFailing, nullptr), 99);
  EXPECT_EQ(MainLog(dir_.path()).find("Start Find COM"), std::string::npos);

  // A USB PIN pad in a fake sysfs tree, its device node being the simulator's pty.
  std::string usb = dir_ / "usbpad";
  mkdir(usb.c_str(), 0755);
  StartSim(SimOptions{}, usb);
  std::string sys = dir_ / "sys";
  for (const char* d : {"", "/bus", "/bus/usb", "/bus/usb/devices", "/bus/usb/devices/1-1",
                        "/bus/usb/devices/1-1/1-1:1.0", "/bus/usb/devices/1-1/1-1:1.0/tty",
                        "/bus/usb/devices/1-1/1-1:1.0/tty/ttyACM0", "/class", "/class/tty", "/dev"}) {
    mkdir((sys + d).c_str(), 0755);
  }
  testsupport::WriteFile(sys + "/bus/usb/devices/1-1/idVendor", "1234\n");
  symlink((sys + "/bus/usb/devices/1-1/1-1:1.0/tty/ttyACM0").c_str(), (sys + "/class/tty/ttyACM0").c_str());
  symlink(channel_->slavePath().c_str(), (sys + "/dev/ttyACM0").c_str());
  UsbSearchRoots roots;
  roots.usbDevices = sys + "/bus/usb/devices";
  roots.classTty = sys + "/class/tty/";
  roots.dev = sys + "/dev";
  SetUsbSearchRootsForTests(roots);
  testsupport::WriteFile(dir_ / "findcom.ini", "VID_1234\n");

  WriteIni("EnableUSB=1\nSpeed=115200\n");
  PINPAD_PORT = 9;  // configured, but there is no ttyS99 here
  PORT_SPEED = kSpeedIndex115200;
  uint16_t info = 77;
  PinpadTestParams params;
  params.askFunction = true;
  params.functionId = 0x1234;
  EXPECT_EQ(TestPinpad(params, nullptr, kSearchWhenFailing, &info), 0);
  EXPECT_EQ(PINPAD_PORT, 100);
  EXPECT_EQ(info, 0x1234);
  EXPECT_NE(Ini().find("ComPort=100"), std::string::npos);
  EXPECT_NE(MainLog(dir_.path()).find("Find pinpad at 100 port. Update pinpad.ini"), std::string::npos);
  SetUsbSearchRootsForTests(UsbSearchRoots{});
}

TEST_F(SimTest, RestartAndAnUnpluggedPinpad) {
  SimOptions options;
  options.restartMs = 1200;  // longer than three unanswered transmissions
  options.unplugMs = 300;
  StartSim(options);
  ASSERT_EQ(drvOpenComPort(9, kSpeedIndex115200, 0), 0);
  EXPECT_EQ(termRestartPinpad(), 0);
  EXPECT_EQ(Ready(), 99) << "still booting";
  usleep(400000);
  EXPECT_EQ(Ready(), 0);

  sim_->AddFault(Fault::kUnplug);  // read by the simulator's thread only at its next answer
  EXPECT_NE(Ready(), 0);
  uint16_t result = 99;
  for (int i = 0; i < 20 && result != 0; ++i) {
    usleep(100000);
    result = Ready();
  }
  EXPECT_EQ(result, 0) << "the port is reopened on the new device";
}

// A scenario of the test's own: answers command 0x78 with a long message.
class LongAnswer : public Scenario {
 public:
  bool OnMessage(const SimMessage& message, SimSession& session) override {
    if (message.command != 0x78) return false;
    std::vector<uint8_t> data(40000);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<uint8_t>(i % 251);
    return session.Reply(message, 0x33, data);
  }
};

TEST_F(SimTest, ScenariosAnswerFirstAndLongMessagesPass) {
  SimOptions options;
  StartSim(options);
  sim_->AddScenario(std::make_unique<LongAnswer>());
  ASSERT_EQ(drvOpenComPort(9, kSpeedIndex115200, 0), 0);
  T_MessageBuf<4> request;
  request.msg()->command = 0x78;
  request.msg()->length = 0;
  LongMessageDynamic reply;
  EXPECT_EQ(DoExchangeWithPP(9, request.msg(), &reply, 10, 0), 0x33);
  ASSERT_EQ(reply.msg()->length, 40000);
  for (int i = 0; i < 40000; ++i) ASSERT_EQ(reply.msg()->data()[i], i % 251);

  request.msg()->command = 0x79;  // nobody knows it
  EXPECT_EQ(DoExchangeWithPP(9, request.msg(), &reply, 3, 0), 252);
}

TEST_F(SimTest, SameFramingOverTcp) {
  TcpChannel tcp(0);
  ASSERT_TRUE(tcp.ok());
  PinpadSim sim(&tcp, SimOptions{});
  std::atomic<bool> stop{false};
  std::thread runner([&] { sim.Run(stop); });
  T_Addr_Params a;
  a.type = 5;
  a.address[0] = 127;
  a.address[3] = 1;
  a.port = tcp.port();
  uint32_t handle = tdrv_Call(&a, nullptr);
  ASSERT_NE(handle, 0u);
  std::vector<uint8_t> frame = Peer::DataFrame(0, Peer::Image(0x50, 42, {0x83, 2, 0, 0, 0, 1}));
  ASSERT_EQ(tdrv_Send(handle, frame.data(), static_cast<uint32_t>(frame.size())), (int32_t)frame.size());
  std::vector<uint8_t> got;
  for (int i = 0; i < 30 && (got.size() < 2 || got.back() != pplink::ETX); ++i) {
    uint8_t buffer[1024];
    int32_t n = tdrv_RecvTmo(handle, buffer, sizeof buffer, 200);
    if (n > 0) got.insert(got.end(), buffer, buffer + n);
  }
  ASSERT_FALSE(got.empty());
  EXPECT_EQ(got[0], pplink::EOT);
  ASSERT_GT(got.size(), 3u);
  uint8_t sequence = 0;
  uint8_t payload[255];
  int n = pplink::DecodeTypedFrameText(got.data() + 3, got.size() - 4, &sequence, payload);
  ASSERT_GT(n, 7);
  EXPECT_EQ(payload[0], 0);  // answered
  EXPECT_EQ(payload[3] | payload[4] << 8, 42);
  EXPECT_EQ(payload[6], 0x80);
  const uint8_t eot = pplink::EOT;
  EXPECT_EQ(tdrv_Send(handle, &eot, 1), 1);
  stop = true;
  runner.join();
  tdrv_Hangup(handle);
}

}  // namespace
