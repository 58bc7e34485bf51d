#include "molvex/ui/key_tables.h"

#include <curses.h>

int TranslateConsoleKey(int curses_code) {
  switch (curses_code) {
    case 0:
    case ERR:
      return 0;
    case '\n':
    case KEY_ENTER:
      return 13;
    case 27:
      return 27;
    case KEY_DOWN:
      return 80;
    case KEY_UP:
      return 72;
    case KEY_LEFT:
      return 73;
    case KEY_RIGHT:
      return 74;
    case KEY_BACKSPACE:
      return 8;
    case KEY_F(1):
      return 139;
    case KEY_F(2):
      return 26;
    case KEY_F(3):
      return 29;
    case KEY_F(4):
      return 30;
    case KEY_DC:
      return 211;
    case KEY_IC:
      return 210;
    default:
      return curses_code;
  }
}

extern "C" uint8_t auxGetStdKey(uint8_t key) {
  switch (key) {
    case 8:
      return 9;  // erase
    case 25:
      return 2;
    case 26:
      return 242;
    case 28:
      return 6;
    case 29:
      return 243;
    case 30:
      return 244;
    case 72:
      return 4;  // up
    case 80:
      return 5;  // down
    case 139:
      return 1;
    default:
      return key;  // 13, 27, 46 and the rest stay as they are
  }
}
