#include "molvex/platform/info_devices.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "common/tlv.h"
#include "molvex/platform/system.h"
#include "src/pc/ini_access.h"
#include "src/pc/report.h"

namespace {

constexpr size_t kAddressesPerInterface = 7;

using Bytes = std::vector<uint8_t>;

void AppendItem(Bytes& out, uint32_t tag, const void* value, size_t length) {
  // AddTag keeps a few bytes of headroom beyond the item itself.
  Bytes item(common::TlvItemSize(tag, static_cast<uint32_t>(length)) + 8);
  common::T_TLV_Buffer buffer = common::TlvBufferOver(item.data(), 0);
  if (common::AddTagBinarySize(buffer, tag, value, static_cast<uint16_t>(length), common::TLV_ADD_EMPTY,
                               static_cast<uint32_t>(item.size())) == 1) {
    out.insert(out.end(), item.begin(), item.begin() + buffer.length);
  }
}

void AppendText(Bytes& out, uint32_t tag, const std::string& text) { AppendItem(out, tag, text.data(), text.size()); }

std::string CashInfo(const char* section, const char* key, size_t limit) {
  char value[256];
  pcc_GetIniSectionStringSize("cashinfo.ini", section, key, value, limit + 1);
  return value;
}

// Copies what fits of the items into the caller's room.
uint16_t Deliver(const Bytes& items, uint8_t* out, uint16_t size) {
  if (out == nullptr || items.empty() || items.size() > size) return 0;
  std::memcpy(out, items.data(), items.size());
  return static_cast<uint16_t>(items.size());
}

Bytes NetworkInterfaces() {
  Bytes items;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) {
    ReportString("Error %d getting the interfaces list", errno);
    return items;
  }
  std::map<std::string, std::vector<in_addr>> by_name;  // ordered by name
  for (ifaddrs* a = list; a != nullptr; a = a->ifa_next) {
    if (a->ifa_addr == nullptr || a->ifa_addr->sa_family != AF_INET || (a->ifa_flags & IFF_LOOPBACK)) continue;
    char text[INET_ADDRSTRLEN];
    in_addr address = reinterpret_cast<sockaddr_in*>(a->ifa_addr)->sin_addr;
    if (inet_ntop(AF_INET, &address, text, sizeof text) == nullptr) {
      ReportString("Error %d getting the %s interface address", errno, a->ifa_name);
      continue;
    }
    auto& addresses = by_name[a->ifa_name];
    if (addresses.size() < kAddressesPerInterface) addresses.push_back(address);
  }
  freeifaddrs(list);
  bool first = true;
  for (const auto& [name, addresses] : by_name) {
    Bytes inner;
    uint8_t kind = 4;
    AppendItem(inner, 0xD3, &kind, 1);
    const uint8_t main_address[4] = {0, 0, 0, 0};
    AppendItem(inner, 0xD4, main_address, 4);
    for (const in_addr& address : addresses) AppendItem(inner, 0xD5, &address.s_addr, 4);  // network order = dotted order
    if (first) {
      char host[64] = {};
      gethostname(host, sizeof host - 1);
      std::string host_name = host;
      if (host_name.size() > 32) host_name.resize(32);
      AppendText(inner, 0xC0, host_name);
      first = false;
    }
    AppendItem(items, 0xE4, inner.data(), inner.size());
  }
  return items;
}

Bytes VersionContainer(const char* section) {
  std::string name = CashInfo(section, "Name", 24);
  std::string version = CashInfo(section, "Ver", 64);
  Bytes items;
  if (name.empty() && version.empty()) return items;
  Bytes inner;
  AppendText(inner, 0xC8, name);
  AppendText(inner, 0xC9, version);
  AppendItem(items, 0xE1, inner.data(), inner.size());
  return items;
}

std::unique_ptr<IDevice> MakeSwInfo(uint16_t) { return std::make_unique<TPCSwInfo>(); }
std::unique_ptr<IDevice> MakeHwInfo(uint16_t) { return std::make_unique<TLinHwInfo>(); }
std::unique_ptr<IDevice> MakeUpdater(uint16_t) { return std::make_unique<TLinUpdater>(); }

}  // namespace

uint16_t TPCSwInfo::Get(uint16_t section, uint8_t* out, uint16_t size) {
  switch (section) {
    case 3: return Deliver(VersionContainer("FiscalVersion"), out, size);
    case 4: return Deliver(VersionContainer("Version"), out, size);
    default: return 0;
  }
}

uint16_t TLinHwInfo::Get(uint16_t section, uint8_t* out, uint16_t size) {
  Bytes items;
  switch (section) {
    case 2: AppendText(items, 0xCD, CashInfo("FiscalInfo", "Serial", 31)); break;
    case 3: AppendText(items, 0xC4, CashInfo("FiscalInfo", "Model", 24)); break;
    case 4: AppendText(items, 0xCD, CashInfo("Info", "Serial", 31)); break;
    case 5: AppendText(items, 0xC4, CashInfo("Info", "Model", 24)); break;
    case 10: items = NetworkInterfaces(); break;
    case 11: AppendText(items, 0xD7, CashInfo("Info", "Pos", 64)); break;
    case 12: AppendText(items, 0xD8, CashInfo("Info", "TSTName", 64)); break;
    default: break;
  }
  return Deliver(items, out, size);
}

uint16_t TLinUpdater::Update(const TUpdateParams* params) {
  if (params == nullptr) return 253;
  return params->kind == 2 ? 0 : 252;
}

const char* TLinUpdater::SystemVersion() {
  utsname names {};
  if (uname(&names) != 0) return "";
  const char* from = names.version;
  while (*from != '\0' && !std::isalpha(static_cast<unsigned char>(*from))) ++from;
  if (*from == '\0') from = names.sysname;
  std::snprintf(system_version_, sizeof system_version_, "%.3s%.7s", from, names.release);
  return system_version_;
}

void RegisterPlatformDevices() {
  RegisterDeviceFactory(DEVICE_SWINFO, MakeSwInfo);
  RegisterDeviceFactory(DEVICE_UPDATER, MakeUpdater);
  RegisterDeviceFactory(DEVICE_HWINFO, MakeHwInfo);
}

extern "C" uint16_t drvGetExtendedHWInfo(uint16_t section, uint8_t* out, uint16_t size) {
  auto* device = dynamic_cast<IInfoDevice*>(ISystem::Instance()->GetDevice(DEVICE_HWINFO));
  return device != nullptr ? device->Get(section, out, size) : 0;
}

extern "C" uint16_t drvGetExtendedSWInfo(uint16_t section, uint8_t* out, uint16_t size) {
  auto* device = dynamic_cast<IInfoDevice*>(ISystem::Instance()->GetDevice(DEVICE_SWINFO));
  return device != nullptr ? device->Get(section, out, size) : 0;
}

extern "C" int drvGetOsVersion(char* text, size_t size) {
  auto* updater = dynamic_cast<IUpdater*>(ISystem::Instance()->GetDevice(DEVICE_UPDATER));
  if (updater == nullptr) return -4;
  if (text != nullptr && size > 0) std::snprintf(text, size, "%s", updater->SystemVersion());
  return 0;
}

extern "C" uint16_t drvLaunch(uint16_t code) {
  if (code != 98) return 253;
  if (auto* updater = dynamic_cast<IUpdater*>(ISystem::Instance()->GetDevice(DEVICE_UPDATER))) {
    TUpdateParams params;
    params.kind = 1;
    updater->Update(&params);
  }
  drvReboot();
  return 252;
}
