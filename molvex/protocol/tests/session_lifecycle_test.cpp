// The session file and the lifecycle of a command client: restore after a
// crash, the session marks, and the restore of the last transaction.
#include <string>
#include <vector>

#include "common/tlv.h"
#include "molvex/protocol/daviz_command.h"
#include "molvex/protocol/session_file.h"
#include "protocol_fixture.h"

namespace {

DavizParams Purchase(uint32_t amount, uint32_t requestId, uint8_t op = 1) {
  DavizParams p;
  p.SetOperType(op);
  p.SetAmount(amount);
  p.SetRequestID(requestId);
  return p;
}

// A client whose operations are scripted: each Perform answers the next code.
class ScriptedClient : public DavizCommand {
 public:
  explicit ScriptedClient(std::vector<uint16_t> codes) : codes_(std::move(codes)) {}
  uint16_t Perform(DavizParams& params, DavizResult& result) override {
    seen.push_back(params);
    uint16_t code = next_ < codes_.size() ? codes_[next_++] : 0;
    result.SetResultCode(code);
    if (code == 0) result.SetAmount(params.GetAmount());
    return code;
  }
  uint16_t WriteBigData(uint32_t, uint32_t) override { return 0; }
  void WaitForPinpad() override { ++waits; }

  std::vector<DavizParams> seen;
  int waits = 0;

 private:
  std::vector<uint16_t> codes_;
  size_t next_ = 0;
};

class SessionLifecycle : public ProtocolFixture {};

TEST_F(SessionLifecycle, OnlyPaymentOperationsWithAnAmountKeepASession) {
  for (int op = 1; op <= 108; ++op) {
    const bool listed = op == 1 || op == 3 || op == 6 || op == 8 || op == 33 || op == 35 || op == 45 || op == 69 ||
                        op == 72 || op == 74 || op == 75 || op == 77;
    EXPECT_EQ(tspNeedSaveSessionStatus(Purchase(100, 7, static_cast<uint8_t>(op))), listed) << op;
  }
  EXPECT_FALSE(tspNeedSaveSessionStatus(Purchase(0, 7, 1)));
}

TEST_F(SessionLifecycle, MarksWriteTwelveLittleEndianBytes) {
  tspMarkSessionStatus(Purchase(10000, 0x1A2B), false);
  EXPECT_EQ(testsupport::ReadFile(Path("SESS.D")),
            std::string("\x10\x27\x00\x00\x2B\x1A\x00\x00\x01\x00\x00\x00", 12));
  tspMarkSessionStatus(Purchase(10000, 0x1A2B), true);
  SessionRecord done = tspReadSessionStatus();
  EXPECT_EQ(done.amount, 10000u);
  EXPECT_EQ(done.requestId, 0u);
  EXPECT_EQ(done.operation, 1u);
  // An operation without a session leaves nothing in progress.
  tspMarkSessionStatus(Purchase(10000, 0x1A2B, 7), false);
  EXPECT_EQ(testsupport::ReadFile(Path("SESS.D")), std::string(12, '\0'));
}

TEST_F(SessionLifecycle, AbortedSessionMatchesAmountAndOperation) {
  tspMarkSessionStatus(Purchase(10000, 0x1A2B), false);
  EXPECT_EQ(tspReadRequestIDAbortedSession(Purchase(10000, 5)), 0x1A2Bu);
  EXPECT_EQ(tspReadRequestIDAbortedSession(Purchase(9999, 5)), 0u);
  EXPECT_EQ(tspReadRequestIDAbortedSession(Purchase(10000, 5, 3)), 0u);
  testsupport::WriteFile(Path("SESS.D"), "short");
  EXPECT_EQ(tspReadRequestIDAbortedSession(Purchase(10000, 5)), 0u);
}

TEST_F(SessionLifecycle, RestoredResultIsReportedWithoutSendingTheNewOperation) {
  tspMarkSessionStatus(Purchase(10000, 0x1A2B), false);
  ScriptedClient client({0});
  DavizParams params = Purchase(10000, 0x5555);
  DavizResult result;
  EXPECT_EQ(client.Execute(params, result), 0);
  ASSERT_EQ(client.seen.size(), 1u);
  EXPECT_EQ(client.seen[0].GetOperType(), 12);
  EXPECT_EQ(client.seen[0].GetRequestID(), 0x1A2Bu);
  EXPECT_EQ(tspReadSessionStatus().requestId, 0u);
  EXPECT_NE(Log().find("Session 6699 was aborted. Try to restore last session result."), std::string::npos);
  EXPECT_NE(Log().find("Result of the session 6699 was restored succesfully."), std::string::npos);
}

TEST_F(SessionLifecycle, FailedRestoreGoesOnWithTheNewOperation) {
  tspMarkSessionStatus(Purchase(10000, 0x1A2B), false);
  ScriptedClient client({4104, 0});
  DavizParams params = Purchase(10000, 0x5555);
  DavizResult result;
  EXPECT_EQ(client.Execute(params, result), 0);
  ASSERT_EQ(client.seen.size(), 2u);
  EXPECT_EQ(client.seen[1].GetOperType(), 1);
  EXPECT_EQ(client.seen[1].GetRequestID(), 0x5555u);
  EXPECT_NE(Log().find("Found session 6699 with result 4104 will be cancelled."), std::string::npos);
  // The new operation was marked as started before it ran.
  EXPECT_EQ(tspReadSessionStatus().requestId, 0x5555u);
}

TEST_F(SessionLifecycle, LostAnswerRestoresTheLastTransactionWithOperation52) {
  for (uint16_t code : {4322, 4338, 12}) {
    tspResetSessionStatus();
    ScriptedClient client({code, 0});
    DavizParams params = Purchase(10000, 0x1A2B);
    DavizResult result;
    EXPECT_EQ(client.Execute(params, result), 0) << code;
    ASSERT_EQ(client.seen.size(), 2u) << code;
    DavizParams& restore = client.seen[1];
    EXPECT_EQ(restore.GetOperType(), 52);
    EXPECT_STREQ(restore.GetTrack2(), "1a2b");
    EXPECT_NE(restore.GetFlags() & 0x400u, 0u);
    uint16_t len = 0;
    const uint8_t* op = restore.FindExtraTag(0x5F41, len);
    ASSERT_NE(op, nullptr);
    EXPECT_EQ(len, 1);
    EXPECT_EQ(op[0], 1);
    EXPECT_EQ(client.waits, 1);
  }
  // Other codes, and operations without a session, end as they are.
  tspResetSessionStatus();
  ScriptedClient declined({4405});
  DavizParams params = Purchase(10000, 0x1A2B);
  DavizResult result;
  EXPECT_EQ(declined.Execute(params, result), 4405);
  ScriptedClient totals({4322});
  DavizParams op7 = Purchase(0, 0x1A2B, 7);
  EXPECT_EQ(totals.Execute(op7, result), 4322);
  EXPECT_EQ(totals.seen.size(), 1u);
}

}  // namespace
