#include "molvex/front/model/last_error.h"

uint16_t& LastError() {
  static uint16_t last_error = 0;
  return last_error;
}
