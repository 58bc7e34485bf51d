// The update client's system layer: the default file system, the
// millisecond counter, the idle step, the network devices and the
// machine's identity.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "file_system.h"

class INetworkInterface;

class TSystem {
 public:
  static TSystem& Instance();
  // Drops the process-wide object so that a test can start afresh.
  static void ResetForTest();

  // Roots the default file system in the current folder.
  void StartSystem();
  TFileSystem& GetDefaultFileSystem();
  std::unique_ptr<TFileSystem> MountFileSystem(const std::string& folder);

  // Milliseconds of the monotonic clock; 64 bits, so it never wraps in a run.
  static uint64_t GetTimeMSec();
  // One pass of the idle step. With a descriptor it waits in poll() for at
  // most a few milliseconds until the descriptor is ready, so that a byte
  // arriving is taken up at once without burning the processor.
  static void Idle(int fd = -1, bool forWriting = false);

  // The device of that number, or null when the platform has none.
  INetworkInterface* GetNetworkDevice(int device);
  bool HasEthernet() { return GetNetworkDevice(9) != nullptr; }

  // The system's model name.
  static std::string GetModelName() { return "LINUX"; }
  // Serial text of the drive holding "/"; "UNKNOWN" when it cannot be read.
  const std::string& GetSerialNumber();

 private:
  TSystem();
  ~TSystem();
  std::unique_ptr<TFileSystem> defaultFileSystem_;
  std::unique_ptr<INetworkInterface> socketInterface_;
  std::string serial_;
  bool serialRead_ = false;
  friend struct std::default_delete<TSystem>;
};

// Test seam: when the environment variable FERROW_TEST_TIMEOUT_MS is set,
// every network wait of the client is cut to that many milliseconds, so a
// test does not sit through the real 15 and 90 second limits. Read once;
// without the variable the limits are the real ones.
uint32_t ApplyTestTimeoutCap(uint32_t milliseconds);
