#include <string>
#include <vector>

#include "molvex/services/registration.h"
#include "molvex/ui/ui_registration.h"
#include "services_fixture.h"

namespace {

// The print engine and keyboard as the dispatcher reaches them, recorded.
struct UiRecord {
  std::vector<std::string> calls;
  std::vector<int> keys;
  int openResult = 0;
  int newCheckResult = 0;
};
UiRecord* g_ui = nullptr;

void InstallRecordingUi(UiRecord& record) {
  g_ui = &record;
  SlvUiCalls& ui = slvUi();
  ui.initNewCheck = [] { g_ui->calls.push_back("new"); return g_ui->newCheckResult; };
  ui.reprintLastCheck = [](int mode) { g_ui->calls.push_back("reprint " + std::to_string(mode)); return 0; };
  ui.openPrinter = [](int mode) { g_ui->calls.push_back("open " + std::to_string(mode)); return g_ui->openResult; };
  ui.writeSpoolAndPrint = [](const char* text, uint8_t attributes) {
    g_ui->calls.push_back("line " + std::to_string(attributes) + " " + text);
  };
  ui.doneNewCheck = [] { g_ui->calls.push_back("done"); };
  ui.setPrintCounter = [](uint8_t counter) { g_ui->calls.push_back("counter " + std::to_string(counter)); };
  ui.getKey = [] {
    if (g_ui->keys.empty()) return -2;
    int key = g_ui->keys.front();
    g_ui->keys.erase(g_ui->keys.begin());
    return key;
  };
}

class SlaveDispatcherTest : public ServicesFixture {
 protected:
  void SetUp() override {
    ServicesFixture::SetUp();
    InstallRecordingUi(ui_);
  }
  UiRecord ui_;
};

TEST_F(SlaveDispatcherTest, EmptyRequestResetsTheCardRecord) {
  std::snprintf(slvState().card.track2, sizeof slvState().card.track2, "%s", "4000=12");
  LongMessageDynamic request;
  LongMessageDynamic reply;
  request.msg()->length = 0;
  EXPECT_EQ(slvDoCommand(reply, request), 0);
  EXPECT_EQ(reply.msg()->length, 0);
  EXPECT_EQ(slvState().card.track2[0], 0);
}

TEST_F(SlaveDispatcherTest, RequestShorterThanAPacketIsRefused) {
  LongMessageDynamic request;
  LongMessageDynamic reply;
  request.msg()->length = 3;
  request.msg()->data()[0] = 1;
  EXPECT_EQ(slvDoCommand(reply, request), 13);
  EXPECT_EQ(reply.msg()->command, 13);
  EXPECT_EQ(reply.msg()->length, 0);
}

TEST_F(SlaveDispatcherTest, ReplyEchoesThePacketHeader) {
  Answer answer = Slave(2, 35, {}, 0x5A);
  EXPECT_EQ(answer.status, 0);
  EXPECT_EQ(answer.length, 5);
  EXPECT_EQ(answer.operation, 2);
  EXPECT_EQ(answer.device, 35);
  EXPECT_EQ(answer.extra, 0x5A);
  EXPECT_EQ(answer.bodyLength, 0);
}

// Requests that are not served answer 0 with an empty body; devices still
// to come answer "not supported".
TEST_F(SlaveDispatcherTest, UnservedOperationsAndDevices) {
  struct Case {
    uint8_t operation, device;
    uint16_t status;
  } cases[] = {{7, 3, 0}, {7, 38, 0}, {1, 99, 0}, {3, 99, 0}, {2, 35, 0}, {3, 35, 0},
               {1, 47, 252}, {3, 47, 252}, {2, 49, 252}, {3, 49, 252}};
  for (const Case& c : cases) {
    Answer answer = Slave(c.operation, c.device, {1, 2, 3});
    EXPECT_EQ(answer.status, c.status) << int(c.operation) << "/" << int(c.device);
    EXPECT_EQ(answer.command, c.status);
    EXPECT_EQ(answer.body.size(), 0u);
  }
}

// Every handler checks its body length before it reads the body.
TEST_F(SlaveDispatcherTest, ShortBodiesAreRefused) {
  struct Case {
    uint8_t operation, device;
    size_t length;
  } cases[] = {
      {1, 3, 0},  {3, 3, 0},  {3, 5, 7},  {3, 5, 0},   {3, 32, 0}, {1, 38, 6}, {2, 38, 7},
      {3, 38, 4}, {1, 44, 7}, {3, 40, 33}, {3, 43, 0},
  };
  for (const Case& c : cases) {
    Answer answer = Slave(c.operation, c.device, std::vector<uint8_t>(c.length, 'A'));
    EXPECT_EQ(answer.status, 13) << int(c.operation) << "/" << int(c.device) << " b=" << c.length;
    EXPECT_EQ(answer.length, 0);
  }
  EXPECT_TRUE(ui_.calls.empty());
}

TEST_F(SlaveDispatcherTest, BodyLongerThanTheMessageIsCutToWhatArrived) {
  LongMessageDynamic request;
  LongMessageDynamic reply;
  FillRequest(request, 3, 3, Bytes("\x10" "AB"));
  request.msg()->data()[3] = 200;  // claims 200 bytes, carries 3
  EXPECT_EQ(slvDoCommand(reply, request), 0);
  ASSERT_EQ(ui_.calls.size(), 1u);
  EXPECT_EQ(ui_.calls[0], "line 16 AB");
}

TEST_F(SlaveDispatcherTest, EveryPacketOfARequestIsServed) {
  LongMessageDynamic first;
  FillRequest(first, 3, 3, Bytes("\x01" "one"));
  LongMessageDynamic second;
  FillRequest(second, 3, 3, Bytes("\x02" "two"));
  LongMessageDynamic request;
  const uint16_t a = first.msg()->length;
  const uint16_t b = second.msg()->length;
  request.allocate(a + b, 0);
  std::memcpy(request.msg()->data(), first.msg()->data(), a);
  std::memcpy(request.msg()->data() + a, second.msg()->data(), b);
  request.msg()->length = static_cast<uint16_t>(a + b);
  LongMessageDynamic reply;
  EXPECT_EQ(slvDoCommand(reply, request), 0);
  EXPECT_EQ(ui_.calls, (std::vector<std::string>{"line 1 one", "line 2 two"}));
}

TEST_F(SlaveDispatcherTest, ReplyNeverGrowsPastAFixedMessage) {
  testsupport::WriteFile(Path("BIG.BIN"), std::string(600, 'x'));
  LongMessageDynamic request;
  FillRequest(request, 1, 38, Cat({Bytes("RR"), Le32(0), Bytes("BIG.BIN")}));
  T_MessageBuf<64> small;
  LongMessageStatic reply(small.bytes, sizeof small.bytes);
  EXPECT_EQ(slvDoCommand(reply, request), 0);
  FillRequest(request, 2, 38, Cat({Le32(0), Le32(600)}));
  EXPECT_EQ(slvDoCommand(reply, request), 0);
  EXPECT_EQ(reply.msg()->length, 64);
  EXPECT_EQ(reply.msg()->data()[3], 59);
}

TEST_F(SlaveDispatcherTest, PrinterOpenModes) {
  struct Case {
    std::vector<uint8_t> body;
    uint16_t status;
    std::vector<std::string> calls;
    uint16_t uiMode;
  } cases[] = {
      {{0}, 0, {"new"}, 0},
      {{1}, 0, {"reprint 1"}, 0},
      {{2}, 7, {"open 2"}, 0},
      {{0, 0xFF, 0xFF}, 0, {"new"}, 0x60},
      {{1, 0x20, 0x00, 3}, 0, {"counter 3", "reprint 1"}, 0x20},
  };
  ui_.openResult = 7;
  for (const Case& c : cases) {
    ui_.calls.clear();
    pcc_GetUImode() = 0;
    Answer answer = Slave(1, 3, c.body);
    EXPECT_EQ(answer.status, c.status);
    EXPECT_EQ(ui_.calls, c.calls);
    EXPECT_EQ(pcc_GetUImode(), c.uiMode);
  }
  ui_.calls.clear();
  ui_.newCheckResult = 253;
  EXPECT_EQ(Slave(1, 3, {0}).status, 253);
}

TEST_F(SlaveDispatcherTest, PrinterLinesAndClose) {
  EXPECT_EQ(Slave(3, 3, Bytes("\x40" "TOTAL 10.00")).status, 0);
  EXPECT_EQ(Slave(3, 3, {0}).status, 0);  // an empty line still goes to the spool
  EXPECT_EQ(Slave(4, 3).status, 0);
  EXPECT_EQ(ui_.calls, (std::vector<std::string>{"line 64 TOTAL 10.00", "line 0 ", "done"}));
}

// The PIN pad's cheque reaches the print engine: the spool keeps the line.
TEST_F(SlaveDispatcherTest, ChequeGoesThroughThePrintEngine) {
  slvUiResetForTests();
  RegisterUiDevices();
  Slave(1, 3, {0});
  EXPECT_EQ(Slave(3, 3, Bytes("\x10" "PURCHASE")).status, 0);
  EXPECT_EQ(Slave(4, 3).status, 0);
  EXPECT_NE(testsupport::ReadFile(Path("SPLC.D")).find("PURCHASE"), std::string::npos);
  UnregisterDeviceFactoriesForTests();
  drvPlatformHooks().display_init = nullptr;
}

TEST_F(SlaveDispatcherTest, KeyboardDeliversStandardKeyCodes) {
  ui_.keys = {'1', 0x0148, 8};
  Answer read = Slave(2, 2);
  EXPECT_EQ(read.status, 0);
  EXPECT_EQ(read.body, (std::vector<uint8_t>{'1', 4, 9}));
  ui_.keys = {'5', '6'};
  EXPECT_EQ(Slave(1, 2).status, 0);
  EXPECT_TRUE(ui_.keys.empty());
  EXPECT_TRUE(Slave(2, 2).body.empty());
}

std::vector<std::string>* g_shell = nullptr;

TEST_F(SlaveDispatcherTest, ClockReadsAndSetsThePcTime) {
  uint32_t before_date = 0, before_time = 0;
  drvGetDateAndTime(&before_date, &before_time);
  Answer read = Slave(2, 5);
  ASSERT_EQ(read.body.size(), 8u);
  EXPECT_EQ(Dword(read.body), before_date);  // YYYYMMDD (the test does not run across midnight)
  EXPECT_LE(Dword(read.body, 4), 235959u);

  std::vector<std::string> shell;
  g_shell = &shell;
  drvSetShellRunnerForTests([](const char* command) {
    g_shell->push_back(command);
    return 0;
  });
  EXPECT_EQ(Slave(3, 5, Cat({Le32(20260102), Le32(30405)})).status, 0);
  drvSetShellRunnerForTests(nullptr);
  EXPECT_EQ(shell, (std::vector<std::string>{"date 2-1-2026", "time 3:4:5"}));
}

TEST_F(SlaveDispatcherTest, RebootNoticeAnnouncesTheWait) {
  struct Case {
    std::vector<uint8_t> body;
    uint32_t wait;
  } cases[] = {{{}, 20000}, {Le32(1000), 20000}, {Le32(45000), 45000}, {{0x30, 0x75, 0}, 20000}};
  for (const Case& c : cases) {
    slvState().rebootWaitMs = 1;
    Answer answer = Slave(1, 41, c.body);
    EXPECT_EQ(answer.status, 5);
    EXPECT_EQ(answer.length, 0);
    EXPECT_EQ(slvGetRebootTimeout(), c.wait);
  }
}

TEST_F(SlaveDispatcherTest, HeartBeatDataGetNoReply) {
  std::vector<std::pair<int, uint32_t>> seen;
  slvSetHeartBeatHook([&](uint8_t status, uint32_t ms) { seen.emplace_back(status, ms); });
  Answer answer = Slave(3, 45, Cat({Le32(90), {7}}));
  EXPECT_EQ(answer.status, 6);
  EXPECT_EQ(answer.length, 0);
  EXPECT_EQ(Slave(3, 45, Le32(90)).status, 6);  // too short: dropped
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], (std::pair<int, uint32_t>{7, 90000}));
}

TEST_F(SlaveDispatcherTest, CardholderAnswerKeepsItsText) {
  EXPECT_EQ(Slave(3, 43, Cat({{5, 0}, Bytes("YES, ok")})).status, 0);
  EXPECT_EQ(slvGetCardholderText(), "YES, ");
  EXPECT_EQ(Slave(3, 43, Cat({{0xFF, 0xFF}, Bytes(std::string(900, 'z'))})).status, 0);
  EXPECT_EQ(slvGetCardholderText(), std::string(701, 'z'));
  EXPECT_EQ(Slave(3, 43, {40, 0, 'a', 'b'}).status, 0);  // the length claims more than came
  EXPECT_EQ(slvGetCardholderText(), "ab");
}

TEST_F(SlaveDispatcherTest, MonitoringStoresTheHostMessage) {
  EXPECT_EQ(Slave(3, 39, Cat({{3, 9}, Bytes("APPROVED\r\nTHANK YOU")})).status, 0);
  std::string record = testsupport::ReadFile(Path("hmsg.d"));
  ASSERT_EQ(record.size(), 204u);
  EXPECT_EQ(record.substr(0, 8), std::string("\x03\0\0\0\x09\0\0\0", 8));
  EXPECT_EQ(record.substr(8, 20), std::string("APPROVED\r\nTHANK YOU\0", 20));

  Slave(3, 39, Cat({{1, 2}, Bytes(std::string(400, 'm'))}));
  record = testsupport::ReadFile(Path("hmsg.d"));
  ASSERT_EQ(record.size(), 204u);
  EXPECT_EQ(record.substr(8, 195), std::string(195, 'm'));
  EXPECT_EQ(record[8 + 195], '\0');
}

TEST_F(SlaveDispatcherTest, MonitoringReadsTheInformationBlock) {
  EXPECT_EQ(Slave(2, 39).body.size(), 0u);
  uint32_t tag = 1;
  slvSetMonitoringInfo([&](uint8_t* out, uint32_t size, uint32_t containerTag) {
    tag = containerTag;
    EXPECT_EQ(size, 800u);
    out[0] = 0xDF;
    return 1u;
  });
  Answer answer = Slave(2, 39, Le32(0xFF20));
  EXPECT_EQ(answer.body, (std::vector<uint8_t>{0xDF}));
  EXPECT_EQ(tag, 0xFF20u);
  Slave(2, 39, {1, 2, 3});
  EXPECT_EQ(tag, 0u);
}

TEST_F(SlaveDispatcherTest, MagneticReaderDeliversTheTracks) {
  EXPECT_EQ(Slave(2, 4).body.size(), 0u);  // no reader: never a card
  SlvMagneticReader reader;
  reader.open = [] { return uint16_t{0}; };
  reader.test = [](char* t1, uint32_t s1, char* t2, uint32_t, char* t3, uint32_t) {
    std::memset(t1, 'B', s1);  // a track without its end
    std::strcpy(t2, "4000=2512");
    t3[0] = 0;
    return uint16_t{0};
  };
  slvSetMagneticReader(reader);
  EXPECT_EQ(Slave(1, 4).status, 0);
  Answer answer = Slave(2, 4);
  std::string expected = std::string(78, 'B') + std::string("\0" "4000=2512\0\0", 12);
  EXPECT_EQ(std::string(answer.body.begin(), answer.body.end()), expected);
  EXPECT_STREQ(slvState().card.track2, "4000=2512");
}

TEST_F(SlaveDispatcherTest, BeeperSoundsTheRequestedBeep) {
  std::vector<bool> beeps;
  slvSetBeeper([&](bool error) { beeps.push_back(error); });
  EXPECT_EQ(Slave(3, 32, {1}).status, 0);
  EXPECT_EQ(Slave(3, 32, {0}).status, 0);
  EXPECT_EQ(beeps, (std::vector<bool>{true, false}));
}

TEST_F(SlaveDispatcherTest, RegistrationMakesSlvInitThePlatformsSlaveStart) {
  RegisterSlaveServices();
  EXPECT_EQ(drvPlatformHooks().slave_init, &slvInit);
  drvPlatformHooks().slave_init = nullptr;
}

}  // namespace
