// The value-added-services block as XML, read back with the XML library.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include "front_fixture.h"
#include "molvex/front/model/vas_xml.h"
#include "src/pc/paths.h"

using testsupport::FileExists;
using testsupport::ReadFile;

namespace {

std::string Convert(const std::vector<uint8_t>& block) { return ConvertVasToXml(block.data(), block.size()); }

const tinyxml2::XMLElement* Root(tinyxml2::XMLDocument& doc, const std::string& xml) {
  EXPECT_EQ(doc.Parse(xml.c_str()), tinyxml2::XML_SUCCESS) << xml;
  const tinyxml2::XMLElement* root = doc.RootElement();
  EXPECT_NE(root, nullptr);
  EXPECT_STREQ(root->Name(), "kvto.vas.google");
  EXPECT_STREQ(root->Attribute("version"), "1.0");
  return root;
}

int Children(const tinyxml2::XMLElement* e) {
  int n = 0;
  for (auto* c = e->FirstChildElement(); c != nullptr; c = c->NextSiblingElement()) ++n;
  return n;
}

TEST(VasXml, TextLeaf) {
  std::string xml = Convert({0xCF, 0x04, 'T', 'a', 'b', 'c'});
  EXPECT_EQ(xml.rfind("<kvto.vas.google", 0), 0u) << "no declaration before the root";
  tinyxml2::XMLDocument doc;
  const auto* root = Root(doc, xml);
  ASSERT_EQ(Children(root), 1);
  const auto* valuables = root->FirstChildElement("valuables");
  ASSERT_NE(valuables, nullptr);
  EXPECT_STREQ(valuables->Attribute("type"), "T");
  EXPECT_STREQ(valuables->GetText(), "abc");
}

TEST(VasXml, BinaryLeafAndSignedType) {
  tinyxml2::XMLDocument doc;
  const auto* root = Root(doc, Convert({0xCF, 0x03, 0x01, 0x0A, 0x0B, 0xCF, 0x02, 0x80, 0xFF,
                                        0xCF, 0x05, 'T', 'x', 0x00, 'y', 'z'}));
  const auto* first = root->FirstChildElement("valuables");
  ASSERT_NE(first, nullptr);
  EXPECT_STREQ(first->Attribute("type"), "1");
  EXPECT_STREQ(first->GetText(), "0A0B");
  const auto* second = first->NextSiblingElement("valuables");
  ASSERT_NE(second, nullptr);
  EXPECT_STREQ(second->Attribute("type"), "-128");
  EXPECT_STREQ(second->GetText(), "FF");
  const auto* third = second->NextSiblingElement("valuables");
  ASSERT_NE(third, nullptr);
  EXPECT_STREQ(third->GetText(), "x");  // text ends at its first zero byte
}

TEST(VasXml, ServicesGroupCustomerIssuerAndServices) {
  // E1 { C0 C1 E2{C6 CD CE} C5 E2{C7} C2 CD }
  std::vector<uint8_t> e1 = {0xC0, 0x03, 'T', 'i', 'd', 0xC1, 0x02, 'T', 'I',
                             0xE2, 0x0A, 0xC6, 0x02, 'T', 'N', 0xCD, 0x01, 'T', 0xCE, 0x01, 'T',
                             0xC5, 0x02, 0x42, 0x01, 0xE2, 0x03, 0xC7, 0x01, 'T', 0xC2, 0x02, 'T', 'D',
                             0xCD, 0x02, 'T', 'Q'};
  std::vector<uint8_t> block = {0xE1, static_cast<uint8_t>(e1.size())};
  block.insert(block.end(), e1.begin(), e1.end());
  block.insert(block.end(), {0x9F, 0x01, 0x01, 0x00});  // an unknown tag and padding are skipped
  tinyxml2::XMLDocument doc;
  const auto* root = Root(doc, Convert(block));
  ASSERT_EQ(Children(root), 1);
  const auto* services = root->FirstChildElement("services");
  ASSERT_NE(services, nullptr);
  std::vector<std::string> order;
  for (auto* c = services->FirstChildElement(); c != nullptr; c = c->NextSiblingElement()) order.push_back(c->Name());
  EXPECT_EQ(order, (std::vector<std::string>{"customer", "issuer", "srv", "srv"}));
  const auto* customer = services->FirstChildElement("customer");
  ASSERT_EQ(Children(customer), 2);
  EXPECT_STREQ(customer->FirstChildElement("id")->GetText(), "id");
  EXPECT_STREQ(customer->FirstChildElement("tap")->Attribute("type"), "66");
  EXPECT_STREQ(customer->FirstChildElement("tap")->GetText(), "01");
  const auto* issuer = services->FirstChildElement("issuer");
  ASSERT_EQ(Children(issuer), 2);
  EXPECT_STREQ(issuer->FirstChildElement("info")->GetText(), "I");
  EXPECT_STREQ(issuer->FirstChildElement("data")->GetText(), "D");
  const auto* srv = services->FirstChildElement("srv");
  ASSERT_EQ(Children(srv), 2);
  EXPECT_STREQ(srv->FirstChildElement("name")->GetText(), "N");
  EXPECT_NE(srv->FirstChildElement("expdate"), nullptr);
  EXPECT_NE(srv->NextSiblingElement("srv")->FirstChildElement("id"), nullptr);
}

TEST(VasXml, EmptyAndMalformedBlocks) {
  tinyxml2::XMLDocument empty;
  EXPECT_EQ(Children(Root(empty, Convert({}))), 0);
  tinyxml2::XMLDocument empty_services;
  const auto* root = Root(empty_services, Convert({0xE1, 0x00}));
  ASSERT_NE(root->FirstChildElement("services"), nullptr);
  EXPECT_EQ(Children(root->FirstChildElement("services")), 0);
  tinyxml2::XMLDocument truncated;
  EXPECT_EQ(Children(Root(truncated, Convert({0xCF, 0x7F, 'T', 'a'}))), 0);
  tinyxml2::XMLDocument escaped;
  root = Root(escaped, Convert({0xCF, 0x04, 'T', '<', '&', '>'}));
  EXPECT_STREQ(root->FirstChildElement("valuables")->GetText(), "<&>");
}

class VasFile : public FrontFixture {};

TEST_F(VasFile, WrittenAndCleared) {
  const uint8_t block[] = {0xCF, 0x02, 'T', 'v'};
  ASSERT_TRUE(WriteVasXmlFile(block, sizeof block));
  EXPECT_EQ(ReadFile(Path("vas.xml")), ConvertVasToXml(block, sizeof block));
  ClearVasXmlFile();
  EXPECT_FALSE(FileExists(Path("vas.xml")));
  pcc_SetPath(PathToCurrent, (Folder() + "missing/").c_str());
  EXPECT_FALSE(WriteVasXmlFile(block, sizeof block));
}

}  // namespace
