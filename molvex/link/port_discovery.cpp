#include "molvex/link/port_discovery.h"

#include <dirent.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "molvex/link/rs232.h"
#include "src/pc/ini_access.h"
#include "src/pc/paths.h"
#include "src/pc/report.h"

uint8_t PORT_SPEED = kSpeedIndex9600;

namespace {

constexpr size_t kMaxFindComSize = 200000;
constexpr size_t kMaxVendors = 50;
constexpr size_t kMaxUsbPathLength = 254;
constexpr const char* kSpeedTexts[] = {"300", "1200", "2400", "4800", "9600", "14400", "19200", "38400", "57600", "115200"};

UsbSearchRoots& Roots() {
  static UsbSearchRoots roots;
  return roots;
}

std::vector<std::string>& UsbList() {
  static std::vector<std::string> list;
  return list;
}

int& RememberedOptimalSpeed() {
  static int speed = -1;
  return speed;
}

std::string IniValue(const char* key) {
  char text[300];
  pcc_GetIniStringSize("pinpad.ini", key, text, sizeof text);
  return text;
}

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool SameVendor(const std::string& entry, const char* vendor_chars) {
  // Both sides as "vid_" and four hexadecimal digits, without regard to case.
  std::string candidate = std::string("vid_") + std::string(vendor_chars).substr(0, 4);
  if (entry.size() < 8 || candidate.size() < 8) return false;
  for (size_t i = 0; i < 8; ++i) {
    if (std::toupper(static_cast<unsigned char>(entry[i])) != std::toupper(static_cast<unsigned char>(candidate[i]))) {
      return false;
    }
  }
  return true;
}

bool IsPinpadVendor(const std::vector<std::string>& vendors, const char* vendor_chars) {
  for (const std::string& entry : vendors) {
    if (SameVendor(entry, vendor_chars)) return true;
  }
  return false;
}

// The USB search; false when it had to stop early.
void SearchUsb(std::vector<std::string>& found) {
  found.clear();
  std::vector<std::string> vendors = ReadFindComVendors();
  const std::string& root = Roots().usbDevices;
  DIR* devices = opendir(root.c_str());
  if (devices == nullptr) {
    std::printf("Failed to open directory to search usb devices\n");
    return;
  }
  bool stop = false;
  while (!stop && found.size() < static_cast<size_t>(kMaxUsbPorts)) {
    dirent* entry = readdir(devices);
    if (entry == nullptr) break;
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    std::string device = root + "/" + name;
    std::string vendor_file = device + "/idVendor";
    if (access(vendor_file.c_str(), F_OK) != 0) continue;
    FILE* file = std::fopen(vendor_file.c_str(), "r");
    if (file == nullptr) {
      std::printf("Failed to open file to search usb devices\n");
      break;
    }
    char vendor[9] = {};
    size_t got = std::fread(vendor, 1, 8, file);
    std::fclose(file);
    vendor[got] = '\0';
    if (!IsPinpadVendor(vendors, vendor)) continue;
    DIR* interfaces = opendir(device.c_str());
    if (interfaces == nullptr) {
      std::printf("Failed to open directory to search usb devices\n");
      break;
    }
    while (dirent* sub = readdir(interfaces)) {
      std::string sub_name = sub->d_name;
      if (sub_name == "." || sub_name == "..") continue;
      std::string tty_folder = device + "/" + sub_name + "/tty";
      if (!IsDirectory(device + "/" + sub_name) || !IsDirectory(tty_folder)) continue;
      DIR* ttys = opendir(tty_folder.c_str());
      if (ttys == nullptr) {
        std::printf("Failed to open directory to search usb devices\n");
        stop = true;
        break;
      }
      while (dirent* tty = readdir(ttys)) {
        std::string tty_name = tty->d_name;
        if (tty_name.size() < 4 || tty_name.compare(0, 3, "tty") != 0) continue;
        if (!IsDirectory(tty_folder + "/" + tty_name)) continue;
        if (found.size() >= static_cast<size_t>(kMaxUsbPorts)) break;
        std::string path = Roots().dev + "/" + tty_name;
        if (path.size() > kMaxUsbPathLength) path.resize(kMaxUsbPathLength);
        found.push_back(path);
      }
      closedir(ttys);
    }
    closedir(interfaces);
  }
  closedir(devices);
}

void CopyOut(const std::string& text, char* buffer, size_t size) {
  if (size == 0) return;
  size_t n = std::min(text.size(), size - 1);
  std::memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
}

bool FileExists(const std::string& path) { return !path.empty() && access(path.c_str(), F_OK) == 0; }

}  // namespace

int GetComPortNumber() {
  std::string text = IniValue("ComPort");
  errno = 0;
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  if (errno == ERANGE || value > INT32_MAX || value < INT32_MIN) return 0;
  return static_cast<int>(value);
}

uint8_t StringToSpeed(const char* text) {
  if (text == nullptr) return kNotASpeed;
  for (uint8_t i = 0; i < 10; ++i) {
    if (std::strcmp(text, kSpeedTexts[i]) == 0) return i;
  }
  if (text[0] != '\0') ReportString("Unknown pinpad speed %s", text);
  return kNotASpeed;
}

const char* SpeedToString(uint8_t index, char* buffer) {
  CopyOut(index < 10 ? kSpeedTexts[index] : "", buffer, 8);
  return buffer;
}

uint8_t ReadIniPortSpeed() {
  uint8_t index = StringToSpeed(IniValue("Speed").c_str());
  return index == kNotASpeed ? kSpeedIndex9600 : index;
}

uint8_t ReadIniOptimalPortSpeed() {
  int& remembered = RememberedOptimalSpeed();
  if (remembered < 0) {
    uint8_t index = StringToSpeed(IniValue("OptimalSpeed").c_str());
    remembered = index == kNotASpeed ? kSpeedIndex115200 : index;
  }
  return static_cast<uint8_t>(remembered);
}

std::vector<std::string> ReadFindComVendors() {
  std::vector<std::string> vendors;
  std::string path = pcc_MakeFullPath("findcom.ini", PathToIni);
  std::string text;
  if (FILE* file = std::fopen(path.c_str(), "rb")) {
    char chunk[4096];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0 && text.size() < kMaxFindComSize) text.append(chunk, got);
    std::fclose(file);
  }
  if (text.size() >= kMaxFindComSize) text.clear();
  if (text.empty()) {
    ReportString("Invalid findcomm.ini file");
    return vendors;
  }
  size_t start = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    std::string line = text.substr(start, i - start);
    start = i + 1;
    size_t first = 0;
    while (first < line.size() && static_cast<unsigned char>(line[first]) <= ' ') ++first;
    size_t last = line.size();
    while (last > first && static_cast<unsigned char>(line[last - 1]) <= ' ') --last;
    line = line.substr(first, last - first);
    for (char& c : line) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.compare(0, 6, "ENUMS ") == 0) continue;  // device enumerators: not used here
    if (vendors.size() >= kMaxVendors) break;
    vendors.push_back(line.substr(0, 8));
  }
  return vendors;
}

int findPortStartSearch(std::vector<int>* ports) {
  SearchUsb(UsbList());
  if (ports != nullptr) {
    ports->clear();
    for (size_t i = 0; i < UsbList().size(); ++i) ports->push_back(kFirstUsbPort + static_cast<int>(i));
  }
  return static_cast<int>(UsbList().size());
}

void findPortEndSearch() { UsbList().clear(); }

bool linGetUsbPinpadPath(int port, char* buffer, size_t size) {
  CopyOut("", buffer, size);
  std::vector<std::string> found;
  SearchUsb(found);
  int index = port - kFirstUsbPort;
  if (index < 0 || static_cast<size_t>(index) >= found.size()) return false;
  CopyOut(found[static_cast<size_t>(index)], buffer, size);
  return true;
}

bool bPortVidIsPP(const char* path) {
  std::vector<std::string> vendors = ReadFindComVendors();
  if (vendors.empty() || path == nullptr) return false;
  const char* slash = std::strrchr(path, '/');
  std::string name = slash != nullptr ? slash + 1 : path;
  if (name.size() > 8) name.resize(8);
  char real[PATH_MAX];
  if (realpath((Roots().classTty + name).c_str(), real) == nullptr) return false;
  std::string vendor_file = std::string(real) + "/../../../idVendor";
  FILE* file = std::fopen(vendor_file.c_str(), "r");
  if (file == nullptr) return false;
  char vendor[5] = {};
  size_t got = std::fread(vendor, 1, 4, file);
  std::fclose(file);
  vendor[got] = '\0';
  return IsPinpadVendor(vendors, vendor);
}

bool TLinRS232Interface::GetDevicePort(uint16_t port, char* buffer, size_t size) {
  CopyOut("", buffer, size);
  if (port == 0) return false;
  if (port == 9) {
    char target[PATH_MAX];
    ssize_t length = readlink("ttyS99", target, sizeof target - 1);
    if (length <= 0) {
      ReportString("Can't open current working dir or find symlink");
      return false;
    }
    target[length] = '\0';
    CopyOut(target, buffer, size);
    return true;
  }
  if (port < 100) {
    char path[32];
    std::snprintf(path, sizeof path, "/dev/ttyS%d", port - 1);
    CopyOut(path, buffer, size);
    return true;
  }
  std::string path = IniValue("UsbPortPath");
  if (path.empty() || path[0] != '/' || !FileExists(path)) {
    char searched[300];
    linGetUsbPinpadPath(port, searched, sizeof searched);
    path = searched;
  }
  if (!path.empty() && path[0] == '/' && !bPortVidIsPP(path.c_str())) {
    pcc_SetIniString("pinpad.ini", "UsbPortPath", "");
    char searched[300];
    linGetUsbPinpadPath(port, searched, sizeof searched);
    path = searched;
  }
  CopyOut(path, buffer, size);
  return !path.empty();
}

void SetUsbSearchRootsForTests(const UsbSearchRoots& roots) {
  UsbSearchRoots fixed = roots;
  UsbSearchRoots real;
  if (fixed.usbDevices.empty()) fixed.usbDevices = real.usbDevices;
  if (fixed.classTty.empty()) fixed.classTty = real.classTty;
  if (fixed.dev.empty()) fixed.dev = real.dev;
  Roots() = fixed;
}

void ResetPortDiscoveryForTests() {
  RememberedOptimalSpeed() = -1;
  UsbList().clear();
}
