// Screen texts from arbitrary bytes laid out on the console canvas: the
// first bytes choose alignment, columns, rows and a control's rectangle;
// no line may be wider than the text allows, nothing may land outside the
// canvas.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "molvex/ui/console_canvas.h"
#include "molvex/ui/control_drawing.h"
#include "molvex/ui/long_message.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 6) return 0;
  int alignment = data[0] % 4;
  int columns = data[1] % 64;
  int rows = data[2] % 16;
  std::string text(reinterpret_cast<const char*>(data + 6), size - 6);
  std::string c_text(text.c_str());
  int lines = auxDoDisplayLongMessage(alignment, columns, rows, c_text.c_str(), 1,
                                      [&](int, const char* piece, size_t length) {
                                        Check(piece != nullptr);
                                        Check(length <= static_cast<size_t>(columns < 1 ? 1 : columns) + 1);
                                      });
  Check(lines <= (rows < 1 ? 1 : rows));

  TConsoleCanvas canvas(kConsoleColumns, kConsoleRows);
  TConsoleControl control;
  control.type = static_cast<uint16_t>(data[3] % 14);
  control.left = static_cast<int8_t>(data[4]) * 2;
  control.top = static_cast<int8_t>(data[5]);
  control.right = control.left + data[1] * 3;
  control.bottom = control.top + data[2] * 2;
  control.alignment = static_cast<uint8_t>(alignment);
  control.text = text;
  control.has_param = true;
  control.param_flags = static_cast<uint32_t>(data[0]) << 24 | (data[0] & 1 ? 0x0100u : 0u);
  control.items = {c_text, "b", "", "c"};
  control.first_visible = data[2] % 3;
  control.selected = data[1] % 5;
  control.power = data[4];
  control.signal = data[5];
  drawControl(canvas, control);
  Check(canvas.GetRawSize() == static_cast<size_t>(kConsoleColumns * kConsoleRows));
  return 0;
}
