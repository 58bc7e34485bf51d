// The status record of the cash desk's devices.
#pragma once

#include <cstdint>

#pragma pack(push, 1)
struct T_CUR_STATUS_INFO {
  uint8_t level;          // device 7
  uint8_t second_state;   // device 7
  uint8_t printer_ready;  // device 4
  uint8_t signal;
  uint8_t network_kind;
  uint8_t network_up;     // device 9
  uint8_t reserved;
  uint8_t mobile_data[20];
  uint8_t mobile_extra;
  uint8_t tail[12];
};
#pragma pack(pop)
static_assert(sizeof(T_CUR_STATUS_INFO) == 40, "the record layout is fixed");

extern "C" void drvGetStatusInfo(T_CUR_STATUS_INFO* record);
