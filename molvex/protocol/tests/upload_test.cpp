// The identity settings handed to the PIN pad once.
#include <string>

#include "common/tlv.h"
#include "molvex/protocol/ini_upload.h"
#include "protocol_fixture.h"
#include "src/pc/ini_access.h"

namespace {

class IniUpload : public ProtocolFixture {};

TEST_F(IniUpload, CollectsPendingValuesInOrderAndMarksThem) {
  testsupport::WriteFile(Path("pinpad.ini"),
                         "MerchantID=1234\nTerminalID=*00012345\nHeader=Shop|\xCC\xE0\xE3\xE0\xE7\xE8\xED\nPrinterWidth=42\n");
  IniUploadChain chain = ReadIniStringChainForUpload();
  ASSERT_EQ(chain.keys, (std::vector<std::string>{"MerchantID", "Header", "PrinterWidth"}));
  std::vector<uint8_t> tlv = chain.tlv;
  common::T_TLV_Buffer list = common::TlvBufferOver(tlv.data(), static_cast<uint16_t>(tlv.size()));
  char text[64];
  EXPECT_STREQ(common::tlvGetTagStringPtrSize(list, 0x9F16, text, sizeof text), "1234");
  // cp1251 "Магазин" becomes cp866, "|" a carriage return.
  EXPECT_STREQ(common::tlvGetTagStringPtrSize(list, 0xDF11, text, sizeof text), "Shop\r\x8C\xA0\xA3\xA0\xA7\xA8\xAD");
  EXPECT_EQ(common::tlvGetTagValue(list, 0xDF8106), 42u);
  EXPECT_FALSE(common::GetTagPtr(list, 0x9F1C));

  MarkIniChainUploaded(chain);
  char value[64];
  pcc_GetIniStringSize("pinpad.ini", "MerchantID", value, sizeof value);
  EXPECT_STREQ(value, "*1234");
  pcc_GetIniStringSize("pinpad.ini", "PrinterWidth", value, sizeof value);
  EXPECT_STREQ(value, "*42");
  EXPECT_TRUE(ReadIniStringChainForUpload().empty());
}

}  // namespace
