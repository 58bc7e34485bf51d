// Ending an operation early: the abort file, the controller and the notifications.
#include <string>

#include "molvex/protocol/msb_env.h"
#include "molvex/protocol/terminating.h"
#include "protocol_fixture.h"

namespace {

class Terminating : public ProtocolFixture {};

// Collects what would go to the PIN pad.
class CollectingEnv : public INotifyEnvironment {
 public:
  void Send(LongMessage& message) override {
    commands.push_back(message.msg()->command);
    lengths.push_back(message.msg()->length);
  }
  std::vector<uint8_t> commands;
  std::vector<uint16_t> lengths;
};

TEST_F(Terminating, FileTexts) {
  const struct {
    std::string text;
    uint8_t flag;
  } cases[] = {{"ABORT", 2}, {"cancel\r\n", 1}, {"Abort\n\n", 2}, {"CANCEL now", 0}, {"", 0}, {"ABORTX", 0}};
  for (const auto& c : cases) {
    testsupport::WriteFile(Path("POLLING.OFF"), c.text);
    bool readable = false;
    EXPECT_EQ(GetTerminatingFlag(Path("POLLING.OFF").c_str(), &readable), c.flag) << c.text;
    EXPECT_TRUE(readable);
  }
  bool readable = true;
  EXPECT_EQ(GetTerminatingFlag(Path("missing").c_str(), &readable), 0);
  EXPECT_FALSE(readable);
}

TEST_F(Terminating, RepeatedRequestRefusesAnotherUntilItsTriesAreUsed) {
  TerminatingController& c = TerminatingController::instance();
  EXPECT_TRUE(c.setCurrentOperation(kTerminateAbort, 1));
  EXPECT_TRUE(c.isAbortActive());
  EXPECT_FALSE(c.setCurrentOperation(kTerminateManual, 0));
  for (int i = 0; i < 100; ++i) c.nextTryNotificate();
  EXPECT_FALSE(c.isAbortActive());
  EXPECT_TRUE(c.setCurrentOperation(kTerminateManual, 0));
  EXPECT_TRUE(c.setCurrentOperation(kTerminateRemoteState, 0));
  EXPECT_FALSE(c.isAbortActive());
}

TEST_F(Terminating, CancelFileBecomesOkAndNotifiesSpacedOut) {
  testsupport::WriteFile(Path("POLLING.OK"), "old");
  testsupport::WriteFile(Path("POLLING.OFF"), "CANCEL");
  MsbDavizEnv env('P', 1);
  env.ProcessTerminatingFlags();
  EXPECT_FALSE(testsupport::FileExists(Path("POLLING.OFF")));
  EXPECT_EQ(testsupport::ReadFile(Path("POLLING.OK")), "CANCEL");
  EXPECT_NE(Log().find("Operation terminated by file POLLING.OFF"), std::string::npos);
  EXPECT_NE(Log().find("Run cancel notify (retry 100 times)"), std::string::npos);

  CollectingEnv sink;
  const uint64_t start = drvGetTimeMSec64();
  while (sink.commands.size() < 2) {
    env.notifications().RefreshNotifications(nullptr);
    env.notifications().SendNotifications(sink);
  }
  EXPECT_GE(drvGetTimeMSec64() - start, 650u);
  EXPECT_EQ(sink.commands[0], 0x50);
  EXPECT_EQ(sink.lengths[0], 0);
}

TEST_F(Terminating, AbortHandlerSendsItsTriesPlusOne) {
  AbortNotifyHandler manual(*GetTerminatingKind(kTerminateManual));
  LongMessageDynamic m;
  EXPECT_TRUE(manual.GetNotify(m));
  EXPECT_EQ(m.msg()->command, 0x5B);
  EXPECT_EQ(m.msg()->length, 4);
  EXPECT_EQ(m.msg()->data()[0], 1008 & 0xFF);
  EXPECT_EQ(m.msg()->data()[1], 1008 >> 8);
  EXPECT_TRUE(manual.IsNeedStop(nullptr));
  EXPECT_FALSE(manual.GetNotify(m));
  AbortNotifyHandler cancel(*GetTerminatingKind(kTerminateCancel));
  EXPECT_FALSE(cancel.IsNeedStop(nullptr));
}

TEST_F(Terminating, InvalidTextIsReportedOnceUntilTheFileIsGone) {
  MsbDavizEnv env('P', 1);
  auto count = [&] {
    std::string log = Log();
    size_t n = 0;
    for (size_t at = log.find("WARNING! Invalid text in POLLING.OFF: 'STOP'"); at != std::string::npos;
         at = log.find("WARNING! Invalid text", at + 1)) {
      ++n;
    }
    return n;
  };
  testsupport::WriteFile(Path("POLLING.OFF"), "STOP\n");
  env.ProcessTerminatingFlags();
  env.ProcessTerminatingFlags();
  EXPECT_EQ(count(), 1u);
  std::remove(Path("POLLING.OFF").c_str());
  env.ProcessTerminatingFlags();
  testsupport::WriteFile(Path("POLLING.OFF"), "STOP");
  env.ProcessTerminatingFlags();
  EXPECT_EQ(count(), 2u);
  EXPECT_EQ(env.notifications().size(), 0u);
}

}  // namespace
