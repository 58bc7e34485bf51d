#include "molvex/ui/cheque_spool.h"

#include <gtest/gtest.h>

#include <vector>

#include "molvex/ui/printer_driver.h"
#include "molvex/ui/ui_interfaces.h"
#include "ui_fixture.h"

namespace {

// Records what reaches the printer device.
struct Recorded {
  std::vector<std::pair<std::string, uint8_t>> lines;
  std::vector<std::pair<uint16_t, uint16_t>> opens;
  int closes = 0;
  uint16_t open_answer = 0;
};
Recorded g_recorded;

class RecordingPrinter : public IPrinter {
 public:
  using IPrinter::Open;
  void Close() override { ++g_recorded.closes; }
  uint16_t Open(uint16_t mode, uint16_t flags) override {
    g_recorded.opens.emplace_back(mode, flags);
    return g_recorded.open_answer;
  }
  uint16_t StartTextPrinting(const char* text, uint8_t style) override {
    g_recorded.lines.emplace_back(text, style);
    return 0;
  }
  uint16_t IsStillPrinting() override { return 0; }
  uint16_t IsPaperMissing() override { return 0; }
  void FeedPaperAfterPrinting() override {}
};

std::unique_ptr<IDevice> MakeRecorder(uint16_t) { return std::make_unique<RecordingPrinter>(); }
std::unique_ptr<IDevice> MakeNothing(uint16_t) { return nullptr; }

class ChequeSpool : public UiFixture {
 protected:
  void UseRecorder() {
    g_recorded = {};
    RegisterDeviceFactory(DEVICE_PRINTER, MakeRecorder);
  }
};

std::string Record(uint8_t attributes, const std::string& text) {
  std::string r(1, static_cast<char>(attributes));
  r += static_cast<char>(text.size() & 0xFF);
  r += static_cast<char>(text.size() >> 8);
  return r + text;
}

const std::string kHeader("\x01\xFF\xFF\x00", 4);

TEST_F(ChequeSpool, NewChequeIsSpooledAndReprintedAfterIt) {
  Write("pinpad.ini", "PrinterInit=1B40\nPrinterEnd=0C\n");
  ASSERT_EQ(termInitNewCheck(), 0);
  termWriteSpoolAndPrint("one\r\n", 0x00);
  termWriteSpoolAndPrint("", 0x00);
  termWriteSpoolAndPrint("three\r\n", 0x10);
  termDoneNewCheck();
  EXPECT_EQ(Read(kSpoolFileName), kHeader + Record(0, "one\r\n") + Record(0, "") + Record(0x10, "three\r\n"));
  EXPECT_EQ(Read("p"), "\x1B\x40one\r\nthree\r\n\x0C");

  EXPECT_EQ(termReprintLastCheck(1), 0);
  EXPECT_EQ(Read("p"), "\x1B\x40one\r\nthree\r\n\x0C\x1B\x40one\r\nthree\r\n\x0C");
  EXPECT_EQ(Read(kSpoolFileName)[3], '\x01');
  EXPECT_EQ(termGetPrintCounter(), 1);
  termReprintLastCheck(1);
  EXPECT_EQ(Read(kSpoolFileName)[3], '\x02');

  // The next cheque starts over.
  ASSERT_EQ(termInitNewCheck(), 0);
  termDoneNewCheck();
  EXPECT_EQ(Read(kSpoolFileName), kHeader);
  EXPECT_EQ(termGetPrintCounter(), 0);
}

TEST_F(ChequeSpool, CountingCopiesReplaysNothing) {
  pcc_GetUImode() |= 0x0020;
  ASSERT_EQ(termInitNewCheck(), 0);
  termWriteSpoolAndPrint("line\r\n", 0);
  termDoneNewCheck();
  EXPECT_EQ(Read("p"), "1\r\nline\r\n");
  EXPECT_EQ(termReprintLastCheck(1), 253);
  EXPECT_EQ(Read("p"), "2\r\nline\r\n");
  EXPECT_EQ(Read(kSpoolFileName)[3], '\x00');  // the spool is not touched
}

TEST_F(ChequeSpool, AttributesReachThePrinterAsStyles) {
  UseRecorder();
  pcc_GetUImode() |= 0x0040;
  termInitNewCheck();
  termWriteSpoolAndPrint("w", 0x40);
  termWriteSpoolAndPrint("all", 0xF0);
  termWriteSpoolAndPrint("", 0xF0);  // spooled, not printed
  termDoneNewCheck();
  ASSERT_EQ(g_recorded.opens.size(), 1u);
  EXPECT_EQ(g_recorded.opens[0], std::make_pair(uint16_t{0}, uint16_t{IPrinter::kRawText}));
  ASSERT_EQ(g_recorded.lines.size(), 2u);
  EXPECT_EQ(g_recorded.lines[0], std::make_pair(std::string("w"), uint8_t{2}));
  EXPECT_EQ(g_recorded.lines[1], std::make_pair(std::string("all"), uint8_t{15}));
  EXPECT_EQ(g_recorded.closes, 1);
  // Modes above 3 open as mode 0.
  EXPECT_EQ(drvOpenPrinter(7), 0);
  EXPECT_EQ(g_recorded.opens.back().first, 0);
}

struct ReplayCase {
  const char* what;
  std::string spool;
  std::vector<std::string> printed;
};

TEST_F(ChequeSpool, DamagedSpoolsReplayWhatIsComplete) {
  std::string long_record("\x00\x90\x01", 3);  // length 400
  long_record += std::string(400, 'x');
  const ReplayCase cases[] = {
      {"cut inside a text", kHeader + Record(0, "ab") + Record(0, "cdef").substr(0, 5), {"ab"}},
      {"cut inside a length", kHeader + Record(0, "ab") + std::string("\x00\x05", 2), {"ab"}},
      {"length 400 ends it", kHeader + Record(0, "ab") + long_record + Record(0, "zz"), {"ab"}},
      {"399 is still taken", kHeader + Record(0, std::string(399, 'y')), {std::string(399, 'y')}},
      {"no header: records from the start", Record(0, "ab") + Record(0x40, "cd"), {"ab", "cd"}},
      {"shorter than a header", std::string("\x01\xFF", 2), {}},
      {"empty", "", {}},
  };
  for (const ReplayCase& c : cases) {
    SCOPED_TRACE(c.what);
    UseRecorder();
    Write(kSpoolFileName, c.spool);
    EXPECT_EQ(termReprintLastCheck(1), 0);
    std::vector<std::string> printed;
    for (auto& line : g_recorded.lines) printed.push_back(line.first);
    EXPECT_EQ(printed, c.printed);
    EXPECT_EQ(g_recorded.closes, 1);
  }
}

TEST_F(ChequeSpool, HeaderlessSpoolIsNotChangedByAReprint) {
  UseRecorder();
  std::string spool = Record(0, "ab");
  Write(kSpoolFileName, spool);
  termSetPrintCounter(5);
  termReprintLastCheck(1);
  EXPECT_EQ(Read(kSpoolFileName), spool);
  EXPECT_EQ(termGetPrintCounter(), 7);
}

TEST_F(ChequeSpool, OverlongLineIsSpooledInPiecesThatReprintTheSameText) {
  std::string line(900, 'a');
  line += "\r\n";
  termInitNewCheck();
  termWriteSpoolAndPrint(line.c_str(), 0);
  termDoneNewCheck();
  EXPECT_EQ(Read("p"), line);
  EXPECT_EQ(Read(kSpoolFileName).size(), 4u + 3 * 3 + line.size());
  std::remove(Path("p").c_str());
  termReprintLastCheck(1);
  EXPECT_EQ(Read("p"), line);
}

TEST_F(ChequeSpool, PrinterFailuresAreAnswersAndTheSpoolGoesOn) {
  RegisterDeviceFactory(DEVICE_PRINTER, MakeNothing);
  EXPECT_EQ(termInitNewCheck(), -3);
  termWriteSpoolAndPrint("x", 0);
  termDoneNewCheck();
  EXPECT_EQ(Read(kSpoolFileName), kHeader + Record(0, "x"));
  EXPECT_EQ(termReprintLastCheck(1), -3);

  UseRecorder();
  g_recorded.open_answer = 253;
  EXPECT_EQ(termReprintLastCheck(1), 253);
  EXPECT_TRUE(g_recorded.lines.empty());
}

TEST_F(ChequeSpool, EraseAndTheRunsChequeClearing) {
  termInitNewCheck();
  termWriteSpoolAndPrint("x\r\n", 0);
  termDoneNewCheck();
  EXPECT_TRUE(Exists("p"));
  EXPECT_EQ(drvOpenPrinter(2), 0);  // clearing the cheque deletes the cheque file
  EXPECT_FALSE(Exists("p"));
  termEraseSpoolFile();
  EXPECT_FALSE(Exists(kSpoolFileName));
  EXPECT_EQ(termReprintLastCheck(1), 0);  // nothing to replay
  termDoneNewCheck();
  EXPECT_EQ(Read("p"), "");

  // The daily report keeps its cheque under a name of its own.
  termInitNewCheck();
  termWriteSpoolAndPrint("total\r\n", 0);
  EXPECT_EQ(RenameChequeFile("DAILY.TXT"), 0);
  EXPECT_EQ(Read("DAILY.TXT"), "total\r\n");
  EXPECT_FALSE(Exists("p"));
  EXPECT_NE(RenameChequeFile("DAILY.TXT"), 0);  // no cheque file to rename
  UseRecorder();
  ISystem::Instance()->Shutdown();  // the next device 4 is the recorder
  EXPECT_EQ(RenameChequeFile("DAILY.TXT"), 252);
}

}  // namespace
