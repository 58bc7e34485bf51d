#include <string>

#include "pc_fixture.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"

using testsupport::ReadFile;
using testsupport::WriteFile;

namespace {

class IniAccess : public PcFixture {
 protected:
  std::string Get(const char* key, size_t size = 256) {
    char out[256];
    pcc_GetIniStringSize("pinpad.ini", key, out, size);
    return out;
  }
};

TEST_F(IniAccess, PrinterOptionsFallBackToThePrinterModel) {
  WriteFile(Path("printers.ini"), "PrinterBold=TOP\n[Epson]\nPrinterBold=1B45\nPrinterType=X\nPrinterFile=q\n");
  struct Case {
    const char* pinpad;
    const char* key;
    const char* expected;
  } cases[] = {
      {"PrinterType=Epson\n", "PrinterBold", "1B45"},
      {"PrinterType=epson\n", "printerbold", "1B45"},
      {"PrinterType=Epson\nPrinterBold=AA\n", "PrinterBold", "AA"},  // pinpad.ini wins
      {"", "PrinterBold", "TOP"},                                  // no type: top-level keys
      {"PrinterType=Epson\n", "PrinterFile", ""},                   // not a printer option key
      {"PrinterType=Epson\n", "PrinterType", "Epson"},
      {"PrinterType=Other\n", "PrinterBold", ""},
  };
  for (const auto& c : cases) {
    WritePinpadIni(c.pinpad);
    EXPECT_EQ(Get(c.key), c.expected) << c.pinpad << " / " << c.key;
  }
}

TEST_F(IniAccess, OutputIsCutAndAlwaysSet) {
  WritePinpadIni("Header=ABCDEFGH\n");
  EXPECT_EQ(Get("Header", 4), "ABC");
  EXPECT_EQ(Get("Missing"), "");
  pcc_SetPath(PathToIni, Path("absent/").c_str());
  EXPECT_EQ(Get("Header"), "");
}

TEST_F(IniAccess, TypedReaders) {
  struct Case {
    const char* value;
    int boolean;  // ReadBooleanParamAsInt with default 7
  } cases[] = {{"", 7}, {"Y", 1}, {"Yes", 1}, {"y", 0}, {"2", 2}, {"12abc", 12}, {"N", 0}, {"x", 0},
               {"99999999999", 2147483647}};
  for (const auto& c : cases) {
    WritePinpadIni(std::string("Flag=") + c.value + "\n");
    EXPECT_EQ(ReadBooleanParamAsInt("Flag", 7), c.boolean) << c.value;
  }
  WritePinpadIni("");
  EXPECT_EQ(ReadBooleanParamAsInt("Flag", 5), 5);

  struct PortCase {
    const char* value;
    int port;
  } ports[] = {{"", 0x34}, {"0", 0x34}, {"3", 3}, {"abc", 0x34}, {"12", 12}};
  for (const auto& c : ports) {
    WritePinpadIni(std::string("ComPort=") + c.value + "\n");
    EXPECT_EQ(Ini_GetComPort(0x1234), c.port) << c.value;
  }
  WritePinpadIni("CodePage=KOI8\n");
  EXPECT_STREQ(Ini_Codepage(), "KOI8");
}

TEST_F(IniAccess, PinpadLogModes) {
  struct Case {
    const char* value;
    int mode;
    int statistic;
  } cases[] = {{"", 0, 0}, {"0", 0, 0}, {"1", 1, 0}, {"Y", 1, 0}, {"2", 2, 0}, {"12", 2, 1}, {"13", 1, 1}, {"22", 2, 0}};
  for (const auto& c : cases) {
    WritePinpadIni(std::string("PinpadLog=") + c.value + "\n");
    EXPECT_EQ(Ini_IsPinpadLog(), c.mode) << c.value;
    EXPECT_EQ(Ini_IsPinpadLogStatistic(), c.statistic) << c.value;
  }
  WritePinpadIni("NoKernelLog=1\nEnableUSB=0\n");
  EXPECT_EQ(Ini_IsKernelLog(), 0);
  EXPECT_EQ(Ini_IsUsbEnabled(), 0);
  WritePinpadIni("");
  EXPECT_EQ(Ini_IsKernelLog(), 1);
  EXPECT_EQ(Ini_IsUsbEnabled(), 1);
  EXPECT_EQ(Ini_IsShowScreens(), 0);
}

TEST_F(IniAccess, SwitchBitSetsClearsOrKeeps) {
  struct Case {
    const char* value;
    uint16_t start;
    uint16_t expected;
  } cases[] = {{"1", 0x10, 0x14}, {"Y", 0, 4}, {"0", 0x14, 0x10}, {"N", 4, 0}, {"x", 4, 4}, {"", 4, 4}, {"y", 0, 0}};
  for (const auto& c : cases) {
    WritePinpadIni(std::string("LeftTopCorner=") + c.value + "\n");
    uint16_t word = c.start;
    Ini_SwitchBit(word, 0x0004, "LeftTopCorner");
    EXPECT_EQ(word, c.expected) << c.value;
  }
}

TEST_F(IniAccess, FailedSaveIsLogged) {
  pcc_SetPath(PathToLog, Folder().c_str());
  pcc_SetPath(PathToIni, Path("missing/").c_str());
  EXPECT_EQ(pcc_SetIniString("pinpad.ini", "ComPort", "4"), 0);
  std::string log = ReadFile(MonthlyLog("tarn"));
  EXPECT_NE(log.find("VLPILOT: Error: cannot save ComPort=4 to pinpad.ini\r\n"), std::string::npos) << log;

  pcc_SetPath(PathToIni, Folder().c_str());
  Ini_SetComPort(9);
  EXPECT_EQ(ReadFile(Path("pinpad.ini")), "ComPort=9\n");
}

}  // namespace
