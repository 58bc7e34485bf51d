// Payments end to end: molvex against the PIN pad scenarios.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <string>
#include <thread>
#include <vector>

#include "payment_fixture.h"

namespace paymente2e {
namespace {

bool Has(const std::vector<std::string>& lines, const std::string& prefix) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}
std::string Line(const std::vector<std::string>& lines, size_t i) { return i < lines.size() ? lines[i] : "<none>"; }

struct ShippedCase {
  const char* scenario;
  std::vector<std::string> args;
  int exit_code;
  std::string line1;    // response file line 1 (code and message)
  std::string auth;     // line 4
  std::string slip;     // line 5
  std::string cheque;   // a piece the cheque file must hold ("" for none)
};

void PrintTo(const ShippedCase& c, std::ostream* os) { *os << c.scenario; }

class ShippedScenarios : public PaymentTest, public ::testing::WithParamInterface<ShippedCase> {};

TEST_P(ShippedScenarios, RunEndToEnd) {
  const ShippedCase& c = GetParam();
  PAY(r, Shipped(c.scenario), c.args);
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, c.exit_code) << r.out;
  EXPECT_NE(r.out.find("return:" + std::to_string(c.exit_code) + "\n"), std::string::npos) << r.out;
  auto e = Response();
  ASSERT_EQ(e.size(), 33u);
  EXPECT_EQ(e[0], Koi8(c.line1));
  EXPECT_EQ(e[3], c.auth);
  EXPECT_EQ(e[4], c.slip);
  EXPECT_EQ(e[7], "00012345");
  if (!c.cheque.empty()) {
    EXPECT_NE(Cheque().find(Koi8(c.cheque)), std::string::npos) << Cheque();
  }
  EXPECT_TRUE(Has(sim_.transcript, "request tlv op=" + c.args[0] + " ")) << testsupport::ReadFile(Path("pinpad.txt"));
}

INSTANTIATE_TEST_SUITE_P(
    Payments, ShippedScenarios,
    ::testing::Values(
        ShippedCase{"purchase-approved.scn", {"1", "10000"}, 0, "0,ОДОБРЕНО", "A1B2C3", "0042",
                    "ОПЛАТА\nСумма: 100.00 RUB\nОДОБРЕНО\n"},
        ShippedCase{"purchase-declined.scn", {"1", "10000"}, 99, "4405,ОТКАЗАНО", "", "0043", "ОТКАЗ\n"},
        ShippedCase{"refund.scn", {"3", "10000"}, 0, "0,ОДОБРЕНО", "R00001", "0044", "ВОЗВРАТ ПОКУПКИ\n"},
        ShippedCase{"cancellation.scn", {"8", "10000"}, 0, "0,ОТМЕНЕНО", "C00001", "0045", "ОТМЕНА\n"},
        ShippedCase{"totals.scn", {"7"}, 0, "0,ИТОГИ СОВПАЛИ", "", "    ", "СВЕРКА ИТОГОВ\nИтоги совпали\n"},
        ShippedCase{"tagged-answer.scn", {"1", "10000"}, 0, "0,ОДОБРЕНО", "T12345", "0051", ""}),
    [](const auto& info) {
      std::string name = info.param.scenario;
      name = name.substr(0, name.find('.'));
      std::replace(name.begin(), name.end(), '-', '_');
      return name;
    });

class Payment : public PaymentTest {};

TEST_F(Payment, PurchaseReportsEveryAnswerField) {
  PAY(r, Shipped("purchase-approved.scn"), {"1", "10000"});
  auto e = Response();
  ASSERT_EQ(e.size(), 33u);
  EXPECT_EQ(e[1], "************1234");
  EXPECT_EQ(e[5], "VISA");
  EXPECT_EQ(e[8], "20260101120000");
  EXPECT_EQ(e[9], "612345678901");
  EXPECT_EQ(e[26], "3");  // the PIN pad's card type 2 as the POS numbers it
  // The request carried the request identifier that the response file reports.
  std::string id = e[19];
  EXPECT_TRUE(Has(sim_.transcript, "request tlv op=1 amount=10000 request-id=" + id.substr(id.find_first_not_of('0'))))
      << id;
  // Nothing was sent for the heartbeat-free purchase but the request and the replies.
  EXPECT_FALSE(Has(sim_.transcript, "unexpected"));
  // The session is finished.
  EXPECT_EQ(testsupport::ReadFile(Path("SESS.D")).substr(4, 4), std::string(4, '\0'));
}

TEST_F(Payment, SimulatorPlaysAScenarioForThePos) {
  simulator_ = "pinpad-sim";  // what an integrator runs beside the POS
  PAY(r, Shipped("purchase-approved.scn"), {"1", "10000"});
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_NE(r.out.find("return:0\n"), std::string::npos);
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
}

TEST_F(Payment, StyledAndCyrillicChequeLines) {
  testsupport::WriteFile(Path("printers.ini"), "[TEXT]\nPrinterInit=<I>\nPrinterInverse=<V>\nPrinterWide=<W>\n"
                                               "PrinterHigh=<H>\nPrinterBold=<B>\n");
  WriteIni("PrinterType=TEXT\n");
  PAY(r, Shipped("cheque-styled.scn"), {"1", "10000"});
  EXPECT_EQ(r.exit_code, 0) << sim_.err;
  std::string cheque = Cheque();
  EXPECT_NE(cheque.find(Koi8("Обычная строка, ёлка и Ъ\n")), std::string::npos) << cheque;
  EXPECT_NE(cheque.find("plain ASCII line\n"), std::string::npos);
  EXPECT_NE(cheque.find(Koi8("ЖИРНАЯ")), std::string::npos);
}

TEST_F(Payment, FileServiceKeepsThePinpadsFile) {
  PAY(r, Shipped("file-service.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(testsupport::ReadFile(Path("PPDATA.TXT")), "stored by the PIN pad");
}

TEST_F(Payment, OnlineAuthorisationThroughTheRelay) {
  BankHost host("APPROVED 000123");
  PAY(r, Shipped("online-authorisation.scn"), {"1", "10000"},
      {{"HOST", "127.0.0.1"}, {"HOST_PORT", std::to_string(host.port())}});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(host.received(), "AUTH 10000");
  EXPECT_EQ(Line(Response(), 3), "000123");
}

TEST_F(Payment, ForcedHostPortRedirectsTheChannel) {
  BankHost host("APPROVED 000123");
  WriteIni("ForceHostPort4000=" + std::to_string(host.port()) + "\n");
  PAY(r, Shipped("online-authorisation.scn"), {"1", "10000"}, {{"HOST", "127.0.0.1"}, {"HOST_PORT", "4000"}});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(host.received(), "AUTH 10000");
}

TEST_F(Payment, AsynchronousOpenIsNotified) {
  BankHost host("APPROVED 000123", 400);
  PAY(r, OfTests("async-open.scn"), {"1", "10000"}, {{"HOST_PORT", std::to_string(host.port())}});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  // The open is answered at once with the channel status and the link flag.
  EXPECT_TRUE(Has(sim_.transcript, "host-open 0114000200")) << testsupport::ReadFile(Path("pinpad.txt"));
  EXPECT_TRUE(Has(sim_.transcript, "notify 0xA8"));
  EXPECT_EQ(host.received(), "AUTH 10000");
}

TEST_F(Payment, AsynchronousOpenIsNotifiedWhenThePeerConnects) {
  // A free port for the channel to listen on.
  int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(probe, reinterpret_cast<sockaddr*>(&a), sizeof a);
  socklen_t len = sizeof a;
  getsockname(probe, reinterpret_cast<sockaddr*>(&a), &len);
  const int port = ntohs(a.sin_port);
  close(probe);

  StartPinpad(OfTests("listen-open.scn"), {{"LISTEN_PORT", std::to_string(port)}});
  std::thread peer([&] {
    for (int i = 0; i < 1000; ++i) {
      if (testsupport::FileExists(Path("pinpad.txt")) &&
          testsupport::ReadFile(Path("pinpad.txt")).find("host-open") != std::string::npos) {
        break;
      }
      usleep(10000);
    }
    int s = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    for (int i = 0; i < 100 && connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0; ++i) usleep(20000);
    (void)!write(s, "HELLO", 5);
    usleep(2000000);
    close(s);
  });
  auto r = RunMolvex({"1", "10000"});
  peer.join();
  sim_ = FinishPinpad();
  if (Unwired()) GTEST_SKIP() << "molvex runs without a command client factory";
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err << testsupport::ReadFile(Path("pinpad.txt"));
  EXPECT_EQ(r.exit_code, 0);
  // Answered at once with status 2 (connecting) and the link flag.
  EXPECT_TRUE(Has(sim_.transcript, "host-open 011400020002")) << testsupport::ReadFile(Path("pinpad.txt"));
  EXPECT_TRUE(Has(sim_.transcript, "notify 0xA8"));
}

TEST_F(Payment, RebootDuringTheOperation) {
  PAY(r, Shipped("reboot.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0) << Log();
  EXPECT_TRUE(Has(sim_.transcript, "reopened"));
  std::string log = Log();
  EXPECT_NE(log.find("Status 10. Timeout"), std::string::npos) << log;
  EXPECT_NE(log.find("Set wait pinpad timeout to"), std::string::npos) << log;
  EXPECT_NE(Cheque().find(Koi8("ПОСЛЕ ПЕРЕЗАГРУЗКИ")), std::string::npos);
}

TEST_F(Payment, HeartbeatDataGetNoReply) {
  PAY(r, Shipped("heartbeat.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_FALSE(Has(sim_.transcript, "unexpected")) << testsupport::ReadFile(Path("pinpad.txt"));
  std::string log = Log();
  EXPECT_NE(log.find("Pinpad status timeout 5 s"), std::string::npos);
  EXPECT_NE(log.find("Status 2. Timeout 5000. Dynamic tmo:on"), std::string::npos) << log;
}

TEST_F(Payment, SilentPinpadEndsWith2004) {
  WriteIni("WaitPinpadSeconds=1\n");
  PAY(r, OfTests("silent-pinpad.scn"), {"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  EXPECT_EQ(Line(Response(), 0).substr(0, 5), "2004,");
  EXPECT_NE(Log().find("Lost packet!"), std::string::npos);
  EXPECT_NE(Log().find("WaitPinpadSeconds=1"), std::string::npos);
}

TEST_F(Payment, CancelFromThePosIsNotifiedUntilThePinpadEnds) {
  StartPinpad(Shipped("abort-from-pos.scn"));
  // The POS asks to cancel once the operation is under way.
  std::thread pos([this] {
    for (int i = 0; i < 1000; ++i) {
      if (testsupport::FileExists(Path("pinpad.txt")) && testsupport::ReadFile(Path("pinpad.txt")).find("request") != std::string::npos) break;
      usleep(10000);
    }
    testsupport::WriteFile(Path("POLLING.OFF"), "CANCEL\n");
  });
  auto r = RunMolvex({"1", "10000"});
  pos.join();
  sim_ = FinishPinpad();
  if (Unwired()) GTEST_SKIP() << "molvex runs without a command client factory";
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(Line(Response(), 0).substr(0, 5), "2000,");
  EXPECT_TRUE(testsupport::FileExists(Path("POLLING.OK")));
  EXPECT_FALSE(testsupport::FileExists(Path("POLLING.OFF")));
  std::vector<long long> at;
  for (const std::string& line : sim_.transcript) {
    long long t = 0;
    if (std::sscanf(line.c_str(), "notify 0x50 at=%lld", &t) == 1) at.push_back(t);
  }
  // Taken up by the PIN pad a little late now and then, so each gap may look
  // shorter than the 650 ms it was sent with; together they cannot.
  ASSERT_GE(at.size(), 2u);
  for (size_t i = 1; i < at.size(); ++i) EXPECT_GE(at[i] - at[i - 1], 550) << i;
  EXPECT_GE((at.back() - at.front()) / static_cast<long long>(at.size() - 1), 640);
  EXPECT_NE(Log().find("Run cancel notify (retry 100 times)"), std::string::npos);
}

TEST_F(Payment, ForeignAnswerIsIgnored) {
  PAY(r, OfTests("foreign-answer.scn"), {"1", "10000"});
  EXPECT_EQ(r.exit_code, 0) << sim_.err;
  EXPECT_EQ(Line(Response(), 3), "OWN001");
  EXPECT_NE(Log().find("does not match the request MsgId="), std::string::npos);
}

TEST_F(Payment, VanishingPinpadEndsWithAResponseFile) {
  PAY(r, OfTests("vanishing-pinpad.scn"), {"1", "10000"});
  EXPECT_EQ(r.exit_code, 99);
  EXPECT_EQ(r.term_signal, 0);
  EXPECT_NE(r.out.find("return:99\n"), std::string::npos);
  EXPECT_EQ(Line(Response(), 0).substr(0, 3), "99,");
  EXPECT_NE(Log().find("Error retrieving data from port"), std::string::npos) << Log();
}

TEST_F(Payment, MerchantIdIsSentOnce) {
  WriteIni("MerchantID=1234\n");
  {
    PAY(r, OfTests("upload-once.scn"), {"1", "10000"});
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_TRUE(Has(sim_.transcript, "upload 9F16=1234"));
  }
  EXPECT_NE(testsupport::ReadFile(Path("pinpad.ini")).find("MerchantID=*1234"), std::string::npos);
  std::remove(Path("pinpad.txt").c_str());
  PAY(again, OfTests("upload-once.scn"), {"1", "10000"});
  EXPECT_EQ(again.exit_code, 0);
  EXPECT_FALSE(Has(sim_.transcript, "upload"));
}

class SessionRestore : public PaymentTest {
 protected:
  // The session file of a purchase of 100.00 with request 0x1A2B cut off by a power loss.
  void PowerLoss() { testsupport::WriteFile(Path("SESS.D"), std::string("\x10\x27\0\0\x2B\x1A\0\0\x01\0\0\0", 12)); }
};

TEST_F(SessionRestore, RestoredResultReplacesTheNewPurchase) {
  PowerLoss();
  PAY(r, OfTests("restore-succeeds.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_TRUE(Has(sim_.transcript, "status request-id=1A2B flag=1 amount=10000"));
  EXPECT_FALSE(Has(sim_.transcript, "request tlv"));
  EXPECT_EQ(Line(Response(), 3), "OLD001");
  EXPECT_EQ(testsupport::ReadFile(Path("SESS.D")).substr(4, 4), std::string(4, '\0'));
}

TEST_F(SessionRestore, UnknownSessionLetsTheNewPurchaseRun) {
  PowerLoss();
  PAY(r, OfTests("restore-fails.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err;
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(Line(Response(), 3), "NEW001");
  EXPECT_NE(Log().find("Found session 6699 with result 4104 will be cancelled."), std::string::npos);
}

TEST_F(SessionRestore, LostAnswerRestoresWithOperation52) {
  PAY(r, OfTests("lost-answer.scn"), {"1", "10000"});
  EXPECT_EQ(sim_.exit_code, 0) << sim_.err << testsupport::ReadFile(Path("pinpad.txt"));
  EXPECT_EQ(r.exit_code, 0);
  // Operation 52 names the purchase's request identifier in lower-case hexadecimal.
  std::string purchase, restore;
  for (const std::string& line : sim_.transcript) {
    if (line.rfind("request tlv op=1 ", 0) == 0) purchase = line;
    if (line.rfind("request tlv op=52 ", 0) == 0) restore = line;
  }
  ASSERT_FALSE(restore.empty());
  std::string id = purchase.substr(purchase.find("request-id=") + 11);
  id = id.substr(0, id.find(' '));
  std::string lower = id;
  std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
  EXPECT_NE(restore.find("track2=" + lower), std::string::npos) << restore;
  EXPECT_NE(Log().find("Result:4322. Try to restore transaction"), std::string::npos);
  EXPECT_EQ(Line(Response(), 3), "RST001");
}

}  // namespace
}  // namespace paymente2e
