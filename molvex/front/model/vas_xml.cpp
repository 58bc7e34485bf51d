#include "molvex/front/model/vas_xml.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <tinyxml2.h>

#include "common/tlv.h"
#include "src/pc/paths.h"

namespace {

std::string g_vas_text;

const char* ServiceLeafName(uint32_t tag) {
  switch (tag) {
    case 0xC6: return "name";
    case 0xC7: return "id";
    case 0xC8: return "num";
    case 0xC9: return "tr1";
    case 0xCA: return "tr2";
    case 0xCB: return "pin";
    case 0xCC: return "cvc";
    case 0xCE: return "expdate";
    default: return nullptr;
  }
}

const char* CustomerLeafName(uint32_t tag) {
  switch (tag) {
    case 0xC0: return "id";
    case 0xC3: return "lang";
    case 0xC4: return "device";
    case 0xC5: return "tap";
    default: return nullptr;
  }
}

const char* IssuerLeafName(uint32_t tag) {
  switch (tag) {
    case 0xC1: return "info";
    case 0xC2: return "data";
    default: return nullptr;
  }
}

// A leaf: its first byte names the type of the rest. Text stops at its first
// zero byte; anything else is shown in hexadecimal with the type as a number.
void AppendLeaf(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* parent, const char* name,
                const common::T_TLV_Item& item) {
  if (item.length == 0) return;  // not even a type byte: nothing to describe
  tinyxml2::XMLElement* leaf = doc.NewElement(name);
  const uint8_t type = item.value[0];
  const uint8_t* payload = item.value + 1;
  const size_t size = item.length - 1u;
  if (type == 'T') {
    size_t n = 0;
    while (n < size && payload[n] != 0) ++n;
    leaf->SetAttribute("type", "T");
    leaf->SetText(std::string(reinterpret_cast<const char*>(payload), n).c_str());
  } else {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(2 * size);
    for (size_t i = 0; i < size; ++i) {
      hex.push_back(kDigits[payload[i] >> 4]);
      hex.push_back(kDigits[payload[i] & 0x0F]);
    }
    leaf->SetAttribute("type", static_cast<int>(static_cast<int8_t>(type)));
    leaf->SetText(hex.c_str());
  }
  parent->InsertEndChild(leaf);
}

void AppendService(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* services, const common::T_TLV_Item& e2) {
  tinyxml2::XMLElement* srv = doc.NewElement("srv");
  services->InsertEndChild(srv);
  common::T_TLV_Buffer list = common::TlvBufferOver(e2.value, e2.length);
  common::T_TLV_Item item;
  for (int found = common::FindFirstTag(list, item); found != 0; found = common::FindNextTag(list, item)) {
    if (const char* name = ServiceLeafName(item.tag)) AppendLeaf(doc, srv, name, item);
  }
}

void AppendServices(tinyxml2::XMLDocument& doc, tinyxml2::XMLElement* root, const common::T_TLV_Item& e1) {
  tinyxml2::XMLElement* services = doc.NewElement("services");
  root->InsertEndChild(services);
  tinyxml2::XMLElement* customer = nullptr;
  tinyxml2::XMLElement* issuer = nullptr;
  common::T_TLV_Buffer list = common::TlvBufferOver(e1.value, e1.length);
  common::T_TLV_Item item;
  for (int found = common::FindFirstTag(list, item); found != 0; found = common::FindNextTag(list, item)) {
    if (const char* name = CustomerLeafName(item.tag)) {
      if (customer == nullptr) customer = static_cast<tinyxml2::XMLElement*>(
                                   services->InsertEndChild(doc.NewElement("customer")));
      AppendLeaf(doc, customer, name, item);
    } else if (const char* name = IssuerLeafName(item.tag)) {
      if (issuer == nullptr) issuer = static_cast<tinyxml2::XMLElement*>(
                                 services->InsertEndChild(doc.NewElement("issuer")));
      AppendLeaf(doc, issuer, name, item);
    } else if (item.tag == 0xE2) {
      AppendService(doc, services, item);
    }
  }
}

bool WriteWhole(const std::string& path, const std::string& text) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t done = 0;
  bool ok = true;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      ok = false;
      break;
    }
    done += static_cast<size_t>(n);
  }
  return close(fd) == 0 && ok;
}

}  // namespace

std::string ConvertVasToXml(const uint8_t* block, size_t len) {
  tinyxml2::XMLDocument doc;
  tinyxml2::XMLElement* root = doc.NewElement("kvto.vas.google");
  root->SetAttribute("version", "1.0");
  doc.InsertFirstChild(root);

  // The list is searched in a copy: the TLV reader wants writable memory.
  std::vector<uint8_t> bytes(block != nullptr ? block : nullptr, block != nullptr ? block + len : nullptr);
  if (bytes.size() > 0xFFFF) bytes.resize(0xFFFF);
  common::T_TLV_Buffer list = common::TlvBufferOver(bytes.data(), static_cast<uint16_t>(bytes.size()));
  common::T_TLV_Item item;
  if (!bytes.empty()) {
    for (int found = common::FindFirstTag(list, item); found != 0; found = common::FindNextTag(list, item)) {
      if (item.tag == 0xCF) {
        AppendLeaf(doc, root, "valuables", item);
      } else if (item.tag == 0xE1) {
        AppendServices(doc, root, item);
      }
    }
  }

  tinyxml2::XMLPrinter printer;
  doc.Print(&printer);
  return std::string(printer.CStr(), printer.CStrSize() > 0 ? static_cast<size_t>(printer.CStrSize() - 1) : 0);
}

bool WriteVasXmlFile(const uint8_t* block, size_t len) {
  g_vas_text = ConvertVasToXml(block, len);
  const bool ok = WriteWhole(pcc_MakeFullPath("vas.xml", PathToCurrent), g_vas_text);
  ClearVasData();
  return ok;
}

void ClearVasXmlFile() { unlink(pcc_MakeFullPath("vas.xml", PathToCurrent).c_str()); }

void ClearVasData() { std::string().swap(g_vas_text); }
