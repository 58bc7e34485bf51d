#include "molvex/ui/console_keyboard.h"

#include "molvex/ui/console_display.h"
#include "molvex/ui/key_tables.h"

int TKeyboard::GetKey() {
  if (pushed_ != 0) {
    int key = pushed_;
    pushed_ = 0;
    return key;
  }
  return ScanKey();
}

int TLinConsoleKeyboard::ReadKey() { return display_ != nullptr ? TranslateConsoleKey(display_->GetKey()) : 0; }
