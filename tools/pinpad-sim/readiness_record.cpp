#include "tools/pinpad-sim/readiness_record.h"

#include <cstdio>

namespace pinpadsim {

namespace {
std::string Digits(int value, int width) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*d", width, value < 0 ? 0 : value);
  std::string s = text;
  return s.substr(s.size() - static_cast<size_t>(width));
}
void Put(std::string& record, size_t offset, const std::string& text) {
  record.replace(offset, text.size(), text);
}
}  // namespace

std::string BuildReadinessRecord(const ReadinessRecord& r) {
  std::string record(66, ' ');
  std::string id = r.identifier;
  id.resize(10, ' ');
  Put(record, 0, id);
  record[10] = r.modelLetter;
  record[11] = r.flags[0] ? 'Y' : 'N';
  record[13] = r.flags[1] ? 'Y' : 'N';
  record[14] = r.flags[2] ? 'Y' : 'N';
  Put(record, 16, Digits(r.versionMajor, 2));
  Put(record, 19, Digits(r.versionMinor, 2));
  Put(record, 22, Digits(r.versionBuild, 2));
  Put(record, 31, "0");
  Put(record, 32, "0");
  Put(record, 34, "00000");
  std::string serial = r.serial;
  serial.resize(12, ' ');
  Put(record, 46, serial);
  Put(record, 58, "00");
  Put(record, 60, "00");
  Put(record, 62, "0000");
  record += r.modelName.substr(0, 21);
  record += "=*=";
  record += Digits(r.statusTimeoutSeconds, 3);
  record += r.capabilityDigit;
  record += r.functionDigit;
  record += Digits(r.number4a, 4);
  record += Digits(r.number4b, 4);
  record += std::string(64, '0');
  return record;
}

}  // namespace pinpadsim
