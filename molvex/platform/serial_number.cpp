#include "molvex/platform/serial_number.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "molvex/platform/system.h"
#include "src/pc/report.h"

namespace {
constexpr size_t kSerialTextMax = 32;
}  // namespace

std::string RootDevicePath(const char* mountinfo_path) {
  struct stat st {};
  if (stat("/", &st) != 0) return "/dev/hda";
  char numbers[32];
  std::snprintf(numbers, sizeof numbers, "%u:%u", major(st.st_dev), minor(st.st_dev));
  FILE* f = std::fopen(mountinfo_path, "r");
  if (f == nullptr) return "/dev/hda";
  char line[1024];
  std::string device = "/dev/hda";
  while (std::fgets(line, sizeof line, f) != nullptr) {
    char* found = std::strstr(line, numbers);
    if (found == nullptr) continue;
    // The device path is the word after the seventh blank from that text on.
    char* p = found;
    int blanks = 0;
    while (*p != '\0' && blanks < 7) {
      if (*p == ' ') ++blanks;
      ++p;
    }
    if (blanks == 7) {
      size_t n = std::strcspn(p, " \n");
      device.assign(p, n);
    }
    break;
  }
  std::fclose(f);
  return device;
}

std::string ReadSerialText(const char* mountinfo_path) {
  std::string device = RootDevicePath(mountinfo_path);
  int fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) {
    device = "/dev/sda";
    fd = open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  }
  if (fd < 0) {
    ReportString("Device %s open error %d", device.c_str(), errno);
    return "no device";
  }
  hd_driveid identity {};
  int result = ioctl(fd, HDIO_GET_IDENTITY, &identity);
  close(fd);
  if (result != 0) return "no serial";
  char serial[sizeof identity.serial_no + 1] = {};
  std::memcpy(serial, identity.serial_no, sizeof identity.serial_no);
  if (serial[0] == '\0') return "empty";
  std::string text = serial;
  if (text.size() > kSerialTextMax) text.resize(kSerialTextMax);
  return text;
}

void MakeSerialField(const char* text, char out[13]) {
  std::memset(out, '0', 12);
  out[0] = ' ';
  out[12] = '\0';
  size_t slot = 11;
  for (size_t i = std::strlen(text); i > 0 && slot > 0; --i) {
    unsigned char c = static_cast<unsigned char>(text[i - 1]);
    if (std::isalnum(c) && c < 0x80) out[slot--] = static_cast<char>(c);
  }
}

extern "C" size_t drvGetSerialNumber(char field[13]) {
  char text[kSerialTextMax + 1];
  ISystem::Instance()->GetSerialNumber(text, sizeof text);
  MakeSerialField(text, field);
  return 12;
}

extern "C" size_t drvGetSerialNumberOriginal(char* text, size_t size) {
  if (ISystem::Instance()->GetSerialNumberOriginal(text, size) != 0) return 0;
  return std::strlen(text);
}
