// Key codes on their way from the console to the screens: ncurses codes
// become keyboard codes, keyboard codes become screen key codes.
#pragma once

#include <cstdint>

// An ncurses key code as a keyboard code (0 for no key).
int TranslateConsoleKey(int curses_code);

extern "C" {
// The low byte of a keyboard code as a screen key code.
uint8_t auxGetStdKey(uint8_t key);
}
