// Where the PIN pad hangs: port numbers and device paths, the USB search
// through sysfs and "findcom.ini", and the speed settings of "pinpad.ini".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Speed index of the PIN pad link (0 = 300 ... 9 = 115,200).
extern uint8_t PORT_SPEED;

inline constexpr uint8_t kSpeedIndex9600 = 4;
inline constexpr uint8_t kSpeedIndex115200 = 9;
inline constexpr uint8_t kNotASpeed = 255;
inline constexpr int kMaxUsbPorts = 100;
inline constexpr int kFirstUsbPort = 100;

// The ComPort key (0 when missing or out of range).
int GetComPortNumber();
// Speed index of "Speed" (4 when missing or not a speed).
uint8_t ReadIniPortSpeed();
// Speed index of "OptimalSpeed" (9 when missing or not a speed), read once per run.
uint8_t ReadIniOptimalPortSpeed();
// 255 for a text that is not a speed; a non-empty one is logged.
uint8_t StringToSpeed(const char* text);
// The decimal text of a speed index into buffer (at least 8 bytes); "" above 9.
const char* SpeedToString(uint8_t index, char* buffer);

// Runs the USB search: the port numbers (100, 101, ...) of the PIN pads found.
int findPortStartSearch(std::vector<int>* ports);
void findPortEndSearch();
// The path of USB port number port after a fresh search; false when outside the list.
bool linGetUsbPinpadPath(int port, char* buffer, size_t size);
// Whether the device at path belongs to a vendor of "findcom.ini".
bool bPortVidIsPP(const char* path);

// The vendor entries of "findcom.ini" ("VID_xxxx", upper case, at most 50).
std::vector<std::string> ReadFindComVendors();

// Roots of the system folders the USB search reads; tests point them into a
// temporary tree. Empty strings restore the real ones.
struct UsbSearchRoots {
  std::string usbDevices = "/sys/bus/usb/devices";
  std::string classTty = "/sys/class/tty/";
  std::string dev = "/dev";
};
void SetUsbSearchRootsForTests(const UsbSearchRoots& roots);
// Forgets the remembered optimal speed and the USB list (tests only).
void ResetPortDiscoveryForTests();
