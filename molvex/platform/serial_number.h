// The PC's serial number: the identity of the drive that holds "/", and the
// 12-character field that the PIN pad is given.
#pragma once

#include <cstddef>
#include <string>

// The serial text (at most 32 characters), or "no device", "no serial", "empty".
std::string ReadSerialText(const char* mountinfo_path);
// The device path of the file system mounted on "/" as mountinfo lists it; "/dev/hda" when unknown.
std::string RootDevicePath(const char* mountinfo_path);
// A blank, then the last 11 letters and digits of text right-aligned with "0" in front; 12 characters + zero.
void MakeSerialField(const char* text, char out[13]);

extern "C" {
size_t drvGetSerialNumber(char field[13]);
size_t drvGetSerialNumberOriginal(char* text, size_t size);
}
