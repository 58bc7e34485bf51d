#include "molvex/ui/text_printer.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "molvex/ui/printer_driver.h"
#include "ui_fixture.h"

namespace {

// "Итог\r\n" in cp866 and in KOI8-R.
const std::string kCp866Total = "\x88\xE2\xAE\xA3\r\n";
const std::string kKoi8Total = "\xE9\xD4\xCF\xC7\r\n";

class TextPrinter : public UiFixture {
 protected:
  TLinStubTextPrinter printer_;
};

TEST(PrinterSequence, HexDigitPairsBecomeBytes) {
  EXPECT_EQ(PrinterSequenceFromHex("1B0E"), std::string("\x1B\x0E"));
  EXPECT_EQ(PrinterSequenceFromHex("1b0"), std::string("\x1B"));  // an odd last digit is ignored
  EXPECT_EQ(PrinterSequenceFromHex("0"), "");
  EXPECT_EQ(PrinterSequenceFromHex(""), "");
}

struct StyledCase {
  const char* ini;
  uint8_t style;
  std::string file;  // the cheque file after open, one line and close
};

TEST_F(TextPrinter, StyledLinesAreWrittenByteForByte) {
  const std::string text = kCp866Total;
  const StyledCase cases[] = {
      // Wide wins over bold; the Init sequence restores the normal style after the text.
      {"PrinterInit=1B40\nPrinterWide=1B0E\nPrinterBold=1B45\nPrinterEnd=0C\n", 0x0A,
       "\x1B\x40\x1B\x0E" + kKoi8Total + "\x1B\x40\x0C"},
      // Without a Wide sequence the next configured style is taken.
      {"PrinterInit=1B40\nPrinterBold=1B45\n", 0x0A, "\x1B\x40\x1B\x45" + kKoi8Total + "\x1B\x40"},
      // High before inverse before bold.
      {"PrinterHigh=1D21\nPrinterInverse=1D42\nPrinterBold=1B45\n", 0x0D, "\x1D\x21" + kKoi8Total},
      {"PrinterInverse=1D42\nPrinterBold=1B45\n", 0x09, "\x1D\x42" + kKoi8Total},
      {"PrinterBold=1B45\n", 0x09, "\x1B\x45" + kKoi8Total},
      // A style whose sequence is missing writes nothing extra.
      {"PrinterInit=1B40\nPrinterEnd=0C\n", 0x0F, "\x1B\x40" + kKoi8Total + "\x0C"},
      {"", 0x0F, kKoi8Total},
      {"PrinterInit=1B40\nPrinterWide=1B0E\n", 0x00, "\x1B\x40" + kKoi8Total},
  };
  for (const StyledCase& c : cases) {
    SCOPED_TRACE(c.ini);
    Write("pinpad.ini", c.ini);
    std::remove(Path("p").c_str());
    ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
    EXPECT_EQ(printer_.StartTextPrinting(text.c_str(), c.style), 0);
    printer_.Close();
    EXPECT_EQ(Read("p"), c.file);
  }
}

TEST_F(TextPrinter, PrinterOptionsFallBackToPrintersIni) {
  Write("pinpad.ini", "PrinterType=M1\nPrinterEnd=0C\n");
  Write("printers.ini", "[M1]\nPrinterWide=1B0E\nPrinterEnd=1D56\n");
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
  printer_.StartTextPrinting("A\n", IPrinter::kStyleWide);
  printer_.Close();
  EXPECT_EQ(Read("p"), "\x1B\x0E" "A\n\x0C");  // pinpad.ini wins for PrinterEnd
}

TEST_F(TextPrinter, RawModeAndFileNameKey) {
  Write("pinpad.ini", "PrinterFile=cheque.txt\n");
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, IPrinter::kRawText), 0);
  printer_.StartTextPrinting(kCp866Total.c_str(), 0);
  printer_.StartTextPrinting(nullptr, 0);
  printer_.Close();
  EXPECT_EQ(Read("cheque.txt"), kCp866Total);
  EXPECT_FALSE(Exists("p"));
}

TEST_F(TextPrinter, ClosedPrinterRefusesLinesAndModesTwoAndThreeEndQuietly) {
  Write("pinpad.ini", "PrinterEnd=0C\n");
  EXPECT_EQ(printer_.StartTextPrinting("x\n", 0), 253);
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
  EXPECT_EQ(printer_.Open(IPrinter::kOpenAgain, IPrinter::kCountCopies), 0);  // already open: nothing
  printer_.StartTextPrinting("one\n", 0);
  EXPECT_EQ(printer_.Open(IPrinter::kOpenClose, 0), 0);
  EXPECT_FALSE(printer_.is_open());
  EXPECT_EQ(Read("p"), "one\n");  // no End sequence
  EXPECT_EQ(printer_.StartTextPrinting("x\n", 0), 253);
  EXPECT_EQ(printer_.Open(IPrinter::kOpenDelete, 0), 0);
  EXPECT_FALSE(Exists("p"));
}

TEST_F(TextPrinter, NewOutputAppendsAndEveryWriteLandsAtTheEnd) {
  Write("p", "old\r\n");
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
  printer_.StartTextPrinting("new\r\n", 0);
  printer_.Close();
  ASSERT_EQ(printer_.Open(IPrinter::kOpenAgain, 0), 0);
  printer_.StartTextPrinting("again\r\n", 0);
  printer_.Close();
  EXPECT_EQ(Read("p"), "old\r\nnew\r\nagain\r\n");
}

struct CopyCase {
  const char* before;
  uint16_t mode;
  uint16_t answer;
  std::string after;
};

TEST_F(TextPrinter, CopyCounting) {
  const CopyCase cases[] = {
      {"", IPrinter::kOpenNew, 0, "1\r\nL\n"},
      {"3\r\nabc", IPrinter::kOpenAgain, 253, "4\r\nabc"},
      {"8\r\n", IPrinter::kOpenAgain, 253, "9\r\n"},
      {"9\r\nabc", IPrinter::kOpenAgain, 253, "9\r\nabc"},
      {"x\r\nabc", IPrinter::kOpenAgain, 253, "x\r\nabc"},
      {"3\r\nabc", IPrinter::kOpenNew, 0, "4\r\nabcL\n"},
  };
  for (const CopyCase& c : cases) {
    SCOPED_TRACE(c.before);
    if (c.before[0] == '\0') {
      std::remove(Path("p").c_str());
    } else {
      Write("p", c.before);
    }
    EXPECT_EQ(printer_.Open(c.mode, IPrinter::kCountCopies), c.answer);
    EXPECT_EQ(printer_.is_open(), c.answer == 0);
    printer_.StartTextPrinting("L\n", 0);
    printer_.Close();
    EXPECT_EQ(Read("p"), c.after);
  }
}

TEST_F(TextPrinter, RenameMovesTheChequeAndLeavesNoneBehind) {
  Write("REPORT.TXT", "stale");
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
  printer_.StartTextPrinting("report\n", 0);
  EXPECT_EQ(printer_.RenameChequeFile("REPORT.TXT"), 0);
  EXPECT_FALSE(printer_.is_open());
  EXPECT_EQ(Read("REPORT.TXT"), "report\n");
  EXPECT_FALSE(Exists("p"));
  // A missing cheque file is the rename's error; a cheque renamed onto itself is kept.
  EXPECT_NE(printer_.RenameChequeFile("OTHER.TXT"), 0);
  Write("p", "keep");
  EXPECT_EQ(printer_.RenameChequeFile("p"), 0);
  EXPECT_EQ(Read("p"), "keep");
}

TEST_F(TextPrinter, UnopenableChequeFileStillCountsAsOpen) {
  Write("pinpad.ini", "PrinterFile=no/such/folder/p\n");
  ASSERT_EQ(printer_.Open(IPrinter::kOpenNew, 0), 0);
  EXPECT_TRUE(printer_.is_open());
  EXPECT_EQ(printer_.StartTextPrinting("x\n", 0), 0);
  printer_.Close();
}

TEST(PrinterDriver, AttributesBecomeStyles) {
  const std::pair<uint8_t, uint8_t> cases[] = {{0x00, 0}, {0x40, 2}, {0xF0, 15}, {0x80, 1},
                                               {0x20, 4}, {0x10, 8}, {0x0F, 0}};
  for (auto [attributes, style] : cases) EXPECT_EQ(PrinterStyleFromAttributes(attributes), style) << int(attributes);
  EXPECT_EQ(PrinterOpenFlagsFromUiMode(0x0004), 0);
  EXPECT_EQ(PrinterOpenFlagsFromUiMode(0x0060), IPrinter::kCountCopies | IPrinter::kRawText);
}

}  // namespace
