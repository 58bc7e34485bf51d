// Value-added-services blocks from the PIN pad: any bytes give a document
// that reads back with the root element and nothing else at the top.
#include <cstdint>
#include <cstdlib>
#include <string>

#include <tinyxml2.h>

#include "molvex/front/model/vas_xml.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string xml = ConvertVasToXml(data, size);
  tinyxml2::XMLDocument doc;
  Check(doc.Parse(xml.c_str(), xml.size()) == tinyxml2::XML_SUCCESS);
  const tinyxml2::XMLElement* root = doc.RootElement();
  Check(root != nullptr && std::string(root->Name()) == "kvto.vas.google");
  Check(root->NextSiblingElement() == nullptr);
  return 0;
}
