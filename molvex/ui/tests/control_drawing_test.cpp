#include "molvex/ui/control_drawing.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A control over the whole width from pixel row top, rows rows high.
TConsoleControl Control(uint16_t type, int top_row, int rows, const std::string& text = "") {
  TConsoleControl c;
  c.type = type;
  c.left = 0;
  c.right = 173;
  c.top = top_row * 8;
  c.bottom = (top_row + rows) * 8 - 1;
  c.text = text;
  return c;
}

std::string Trimmed(const TConsoleCanvas& canvas, int row) {
  std::string text(canvas.Row(row));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

struct ControlCase {
  const char* what;
  TConsoleControl control;
  std::vector<std::string> rows;  // rows 0.. of the canvas, trailing blanks dropped
};

TEST(ControlDrawing, EachTypeOnTheCanvas) {
  auto button = Control(kControlButton, 0, 1, "OK");
  button.left = 12;  // column 2
  button.right = 71;  // 10 columns
  auto editor = Control(kControlEditor, 0, 1, "1234");
  auto masked = editor;
  masked.has_param = true;
  masked.param_flags = kParamFlagMasked;
  auto hex = Control(kControlEditor, 0, 1, "12345678.5");
  hex.has_param = true;
  hex.param_flags = kParamFlagHex;
  auto hex_two = hex;
  hex_two.text = "12.15";
  auto hex_none = hex;
  hex_none.text = "123.";
  auto clock_entry = Control(kControlEditor, 0, 1, "123456010125");
  clock_entry.has_param = true;
  clock_entry.param_flags = kParamFlagClock;
  auto centred_editor = Control(kControlEditor, 0, 1, "42");
  centred_editor.has_param = true;
  centred_editor.alignment = 2;
  auto status = Control(kControlStatus, 0, 1);
  auto status_known = status;
  status_known.power = 80;
  status_known.signal = 3;
  auto clock = Control(kControlClock, 0, 1);
  clock.date = 20250305;
  clock.time = 134501;
  auto short_clock = clock;
  short_clock.flags = kControlFlagShortClock;
  short_clock.alignment = 1;
  auto menu = Control(kControlMenu, 0, 3);
  menu.items = {"a", "b", "c", "", "e"};
  menu.first_visible = 1;
  menu.selected = 2;
  auto long_menu = Control(kControlMenu, 0, 2);
  long_menu.items = {"a", "b", "c", "d"};
  auto checked = Control(kControlCheckbox, 0, 1, "Agree");
  checked.param_selected = 1;
  auto unchecked = checked;
  unchecked.param_selected = 0;
  auto picture = Control(kControlPicture, 0, 1, "img");
  auto right_static = Control(kControlStatic, 0, 2, "one\r\ntwo\r\nthree");
  right_static.alignment = 1;
  right_static.left = 6;
  right_static.right = 6 + 6 * 6 - 1;

  const ControlCase cases[] = {
      {"static text shows its last lines", Control(kControlStatic, 1, 2, "one\r\ntwo\r\nthree"), {"", "two", "three"}},
      {"right-aligned static text", right_static, {"    two", "  three"}},
      {"button", button, {"  [   OK   ]"}},
      {"editor without a parameter", editor, {""}},
      {"masked editor", masked, {"****"}},
      {"hexadecimal entry, one digit after the point", hex, {"**** **** ."}},
      {"hexadecimal entry, two digits after the point", hex_two, {"**:"}},
      {"hexadecimal entry, nothing after the point", hex_none, {"***"}},
      {"clock entry", clock_entry, {"12:34:56 01.01.25"}},
      {"centred editor", centred_editor, {"             42"}},
      {"status line unknown", status, {""}},
      {"status line known", status_known, {" 80% 3"}},
      {"clock", clock, {"13:45:01 05.03.25"}},
      {"short clock, right-aligned", short_clock, {"                        13:45"}},
      {"menu stops at an empty item", menu, {"b", "c", ""}},
      {"menu shows as many items as rows", long_menu, {"a", "b", ""}},
      {"checked checkbox", checked, {"v Agree"}},
      {"unchecked checkbox", unchecked, {"o Agree"}},
      {"picture has no appearance", picture, {""}},
  };
  for (const ControlCase& c : cases) {
    SCOPED_TRACE(c.what);
    TConsoleCanvas canvas(kConsoleColumns, kConsoleRows);
    drawControl(canvas, c.control);
    for (size_t row = 0; row < c.rows.size(); ++row) EXPECT_EQ(Trimmed(canvas, static_cast<int>(row)), c.rows[row]);
  }
}

TEST(ControlDrawing, MenuHighlightsTheSelectedRowOnly) {
  auto menu = Control(kControlMenu, 2, 3);
  menu.items = {"a", "b", "c"};
  menu.selected = 1;
  TConsoleCanvas canvas(kConsoleColumns, kConsoleRows);
  drawControl(canvas, menu);
  EXPECT_FALSE(canvas.IsHighLighted(2));
  EXPECT_TRUE(canvas.IsHighLighted(3));
  EXPECT_FALSE(canvas.IsHighLighted(4));
}

TEST(ControlDrawing, AlignmentProperty) {
  EXPECT_EQ(ControlTextFlags(2), unsigned{kDrawCentre});
  EXPECT_EQ(ControlTextFlags(1), unsigned{kDrawRight});
  EXPECT_EQ(ControlTextFlags(0), 0u);
  EXPECT_EQ(ControlTextFlags(3), 0u);
}

}  // namespace
