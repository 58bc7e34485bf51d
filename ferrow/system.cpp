#include "system.h"

#include <fcntl.h>
#include <linux/hdreg.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "connection.h"
#include "log.h"
#include "paths.h"
#include "text.h"

namespace {


// The slice the idle step may block for: short, so that a wait loop still
// checks its deadline often, long enough not to spin.
constexpr int kIdleSliceMs = 5;

std::string ReadDriveSerial() {
  struct stat root {};
  std::string device = "/dev/hda";
  if (::stat("/", &root) == 0) {
    const std::string numbers = ferrow_text::Format("%u:%u", major(root.st_dev), minor(root.st_dev));
    std::ifstream mounts("/proc/self/mountinfo");
    std::string line;
    while (std::getline(mounts, line)) {
      if (line.size() > 1023) line.resize(1023);
      if (line.find(numbers) == std::string::npos) continue;
      size_t position = 0;
      for (int blanks = 0; blanks < 7 && position != std::string::npos; ++blanks) {
        position = line.find(' ', position);
        if (position != std::string::npos) ++position;
      }
      if (position != std::string::npos) device = line.substr(position, line.find(' ', position) - position);
      break;
    }
  }
  int fd = ::open(device.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0 && errno == ENOENT) fd = ::open("/dev/sda", O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return "";
  TFile drive(fd);
  struct hd_driveid identity {};
  if (::ioctl(drive.fd(), HDIO_GET_IDENTITY, &identity) != 0) return "";
  std::string serial(reinterpret_cast<const char*>(identity.serial_no),
                     strnlen(reinterpret_cast<const char*>(identity.serial_no), sizeof identity.serial_no));
  // The identity pads the field with blanks.
  const size_t first = serial.find_first_not_of(' ');
  if (first == std::string::npos) return "";
  serial = serial.substr(first, serial.find_last_not_of(' ') - first + 1);
  return serial.substr(0, 32);
}

}  // namespace

std::unique_ptr<TSystem>& SystemHolder() {
  static std::unique_ptr<TSystem> holder;
  return holder;
}

TSystem& TSystem::Instance() {
  auto& holder = SystemHolder();
  if (!holder) holder.reset(new TSystem());
  return *holder;
}

void TSystem::ResetForTest() { SystemHolder().reset(); }

TSystem::TSystem() : socketInterface_(std::make_unique<TSocketInterface>()) {}

TSystem::~TSystem() = default;

void TSystem::StartSystem() { defaultFileSystem_ = std::make_unique<TFileSystem>(pcc_GetPath(PathToCurrent)); }

TFileSystem& TSystem::GetDefaultFileSystem() {
  // Before the start the default file system is the program folder.
  if (!defaultFileSystem_) defaultFileSystem_ = std::make_unique<TFileSystem>("");
  return *defaultFileSystem_;
}

std::unique_ptr<TFileSystem> TSystem::MountFileSystem(const std::string& folder) {
  return std::make_unique<TFileSystem>(folder);
}

uint64_t TSystem::GetTimeMSec() {
  timespec now {};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
}

void TSystem::Idle(int fd, bool forWriting) {
  if (fd < 0) {
    timespec slice {0, kIdleSliceMs * 1000000L};
    ::nanosleep(&slice, nullptr);
    return;
  }
  pollfd p {fd, static_cast<short>(forWriting ? POLLOUT : POLLIN), 0};
  ::poll(&p, 1, kIdleSliceMs);
}

INetworkInterface* TSystem::GetNetworkDevice(int device) {
  // Ethernet, Wi-Fi, the mobile network and the modem all use the one
  // socket interface here; USB and serial links do not exist.
  switch (device) {
    case 9:
    case 10:
    case 11:
    case 13:
      return socketInterface_.get();
    default:
      return nullptr;
  }
}

const std::string& TSystem::GetSerialNumber() {
  if (!serialRead_) {
    serial_ = ReadDriveSerial();
    const size_t slash = serial_.find('/');
    if (slash != std::string::npos) serial_.resize(slash);
    if (serial_.empty()) serial_ = "UNKNOWN";
    serialRead_ = true;
  }
  return serial_;
}

uint32_t ApplyTestTimeoutCap(uint32_t milliseconds) {
  const char* value = std::getenv("FERROW_TEST_TIMEOUT_MS");
  if (value == nullptr || *value == '\0') return milliseconds;
  const unsigned long cap = std::strtoul(value, nullptr, 10);
  return cap < milliseconds ? static_cast<uint32_t>(cap) : milliseconds;
}
