// The run of one operation without the PIN pad: the steps before the command
// client, the check-support cache and the seams that later layers fill.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "front_fixture.h"
#include "molvex/front/model/last_error.h"
#include "molvex/front/run/check_supported.h"
#include "molvex/front/run/operation_run.h"
#include "molvex/front/run/report_result.h"
#include "molvex/platform/msec_counter.h"
#include "src/pc/ini_access.h"
#include "src/pc/schedule.h"

using testsupport::FileExists;
using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

std::vector<std::string> g_events;
uint16_t g_client_code = 0;
uint16_t g_execute_code = 0;

class FakeClient : public IOperationClient {
 public:
  void SetDontCloseTerminalConnection() override { g_events.push_back("keep connection"); }
  uint16_t Execute(DavizParams& params, DavizResult& result) override {
    g_events.push_back("execute flags=" + std::to_string(params.GetFlags()));
    result.SetAmount(params.GetAdditionalAmount());
    return g_execute_code;
  }
  ~FakeClient() override { g_events.push_back("client gone"); }
};

const OperationRunHooks kHooks{
    [](int canvas) { g_events.push_back("open printer " + std::to_string(canvas)); },
    [] { g_events.push_back("done cheque"); },
    [] { g_events.push_back("console"); },
    [] { return true; },
    [] { g_events.push_back("load optional"); },
    [](DavizParams&, uint16_t& code) -> std::unique_ptr<IOperationClient> {
      g_events.push_back("create client");
      code = g_client_code;
      return std::make_unique<FakeClient>();
    },
};

class OperationRun : public FrontFixture {
 protected:
  void SetUp() override {
    FrontFixture::SetUp();
    g_events.clear();
    g_client_code = 0;
    g_execute_code = 0;
    InstallOperationRunHooks(&kHooks);
  }
  void TearDown() override {
    InstallOperationRunHooks(nullptr);
    FrontFixture::TearDown();
  }
};

TEST_F(OperationRun, StepsInOrderWithAClient) {
  drvSetClockOffsetForTests(7000);
  WriteFile(Path("pinpad.ini"), "ShowScreens=1\n");
  for (const char* name : {"e", "LW.BMP", "LW.PNG", "vas.xml"}) WriteFile(Path(name), "old");
  DavizParams params;
  params.SetOperType(1);
  params.SetCurrencyType(643);
  DavizResult result;
  EXPECT_EQ(DoRunStub(params, result), 0);
  EXPECT_NE(params.GetRequestID(), 0u);
  for (const char* name : {"e", "LW.BMP", "LW.PNG", "vas.xml"}) EXPECT_FALSE(FileExists(Path(name))) << name;
  const std::vector<std::string> expected = {
      "open printer 2", "load optional", "console", "create client", "keep connection",
      "execute flags=" + std::to_string(kDavizFlagShowScreens | kDavizFlagExecuting), "done cheque", "client gone"};
  EXPECT_EQ(g_events, expected);
  uint16_t len = 0;
  EXPECT_NE(params.FindExtraTag(0x5F2A, len), nullptr);
  drvSetClockOffsetForTests(0);
}

TEST_F(OperationRun, FailuresClearTheChequeAndSetLastError) {
  g_execute_code = 4322;
  DavizParams purchase;
  purchase.SetOperType(1);
  DavizResult result;
  EXPECT_EQ(DoRunStub(purchase, result), 4322);
  EXPECT_EQ(LastError(), 4322);
  EXPECT_EQ(g_events.back(), "client gone");
  EXPECT_EQ(g_events[g_events.size() - 2], "open printer 2");  // reopened: the cheque is discarded
  EXPECT_NE(Log().find("Clear cheque on error 4322"), std::string::npos);

  // A client that comes with a code is discarded unused.
  g_events.clear();
  g_client_code = 2004;
  DavizParams second;
  second.SetOperType(53);
  EXPECT_EQ(DoRunStub(second, result), 2004);
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "keep connection"), 0);
}

TEST_F(OperationRun, WithoutAClientFactoryTheOperationIsNotSupported) {
  InstallOperationRunHooks(nullptr);
  DavizParams params;
  params.SetOperType(2);
  DavizResult result;
  EXPECT_EQ(DoRunStub(params, result), 252);
  EXPECT_EQ(LastError(), 252);
}

TEST_F(OperationRun, TotalsOutsideTheScheduleAskForNoDownload) {
  // Scheduled at 03:00:00, run at 12:00:00: not the scheduled run.
  WriteFile(Path("pinpad.ini"), "ScheduledTime=03:00:00\nScheduledCommand=7 /o=x\n");
  pcc_SetTimeOfDaySourceForTests([] { return int32_t{120000}; });
  DavizParams totals;
  totals.SetOperType(7);
  DavizResult result;
  DoRunStub(totals, result);
  uint16_t len = 0;
  EXPECT_NE(totals.FindExtraTag(0xDF45, len), nullptr);

  pcc_SetTimeOfDaySourceForTests([] { return int32_t{30001}; });
  DavizParams scheduled;
  scheduled.SetOperType(7);
  DoRunStub(scheduled, result);
  EXPECT_EQ(scheduled.FindExtraTag(0xDF45, len), nullptr);
}

TEST(ClearChequeOnErrorTable, CodesAndOperations) {
  for (uint16_t code : {99, 2000, 2002, 2004, 4322, 4338, 12, 4140, 0, 4300, 252}) {
    for (uint8_t op : {1, 2, 3, 4, 6, 8, 17, 18, 52, 5, 7, 26, 42}) {
      DavizParams params;
      params.SetOperType(op);
      const bool code_listed = code != 0 && code != 4300 && code != 252;
      const bool op_listed = op != 5 && op != 7 && op != 26 && op != 42;
      EXPECT_EQ(ClearChequeOnError(params, code), code_listed && op_listed) << code << " " << int(op);
    }
  }
}

class CheckSupported : public OperationRun {
 protected:
  DavizParams Check(uint32_t function) {
    DavizParams params;
    params.SetOperType(26);
    params.SetAdditionalValue(function);
    return params;
  }
};

TEST_F(CheckSupported, CachedAnswersNeedNoPinPad) {
  WriteFile(Path("check_sup.ini"), "[kernel]\n4000=1\n4001=0\n4002=x\n");
  LastError() = 77;
  DavizParams yes = Check(4000);
  DavizResult yes_result;
  EXPECT_EQ(DoRunStub(yes, yes_result), 0);
  EXPECT_EQ(LastError(), 77) << "an answer from the cache leaves LastError alone";
  EXPECT_EQ(DoReturnDavizCode(0, yes_result, "e", yes), 0);
  EXPECT_EQ(ReadFile(Path("e")).substr(0, 2), "0,");

  DavizParams no = Check(4001);
  DavizResult no_result;
  EXPECT_EQ(DoRunStub(no, no_result), 0);
  EXPECT_EQ(DoReturnDavizCode(0, no_result, "e", no), 99);
  EXPECT_EQ(ReadFile(Path("e")).substr(0, 4), "252,");
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "create client"), 0);
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "open printer 2"), 0);

  // An unknown value asks the PIN pad.
  DavizParams unknown = Check(4002);
  DavizResult unknown_result;
  DoRunStub(unknown, unknown_result);
  EXPECT_EQ(std::count(g_events.begin(), g_events.end(), "create client"), 1);
}

TEST_F(CheckSupported, CacheUpdatedAfterSuccessOnly) {
  // A supported function is remembered once the PIN pad named it.
  DavizParams asked = Check(4004);
  DavizResult result;
  EXPECT_EQ(DoRunStub(asked, result), 0);
  char value[8];
  pcc_GetIniSectionStringSize("check_sup.ini", "kernel", "4004", value, sizeof value);
  EXPECT_STREQ(value, "1");

  // Failed totals leave the cache; successful ones delete it.
  for (uint8_t op : {7, 10, 11}) {
    WriteFile(Path("check_sup.ini"), "[kernel]\n4000=1\n");
    g_execute_code = 99;
    DavizParams failed;
    failed.SetOperType(op);
    DoRunStub(failed, result);
    EXPECT_TRUE(FileExists(Path("check_sup.ini"))) << int(op);
    g_execute_code = 0;
    DavizParams ok;
    ok.SetOperType(op);
    DoRunStub(ok, result);
    EXPECT_FALSE(FileExists(Path("check_sup.ini"))) << int(op);
  }
}

TEST_F(CheckSupported, HandlerDirectly) {
  WriteFile(Path("check_sup.ini"), "[kernel]\n4000=1\n");
  DavizParams params = Check(4000);
  DavizResult result;
  {
    CheckSupportedHandler handler(params, result);
    EXPECT_TRUE(handler.FillFromLocalCash());
  }
  EXPECT_EQ(result.GetAmount(), 4000u);
  // An answer naming another function is "not supported" and is not cached as supported.
  DavizParams other = Check(4010);
  DavizResult mismatched;
  mismatched.SetAmount(4011);
  LastError() = 0;
  { CheckSupportedHandler handler(other, mismatched); }
  char value[8];
  pcc_GetIniSectionStringSize("check_sup.ini", "kernel", "4010", value, sizeof value);
  EXPECT_STREQ(value, "");
  // Operation 26 without a function identifier is never answered from the cache.
  DavizParams none = Check(0);
  CheckSupportedHandler handler(none, result);
  EXPECT_FALSE(handler.FillFromLocalCash());
}

}  // namespace
