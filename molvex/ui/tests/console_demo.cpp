// A small console program for the display tests: it opens the console
// display in the current folder's settings, draws one screen and echoes
// every key that arrives through the keyboard device, until "q" or after
// twenty seconds. "--colour" asks for the colour display.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "molvex/platform/idle.h"
#include "molvex/platform/msec_counter.h"
#include "molvex/platform/system.h"
#include "molvex/ui/console_display.h"
#include "molvex/ui/control_drawing.h"
#include "molvex/ui/display_adapter.h"
#include "molvex/ui/key_tables.h"
#include "molvex/ui/ui_registration.h"
#include "src/pc/paths.h"

namespace {

TConsoleControl Control(uint16_t type, int row, int rows, const char* text) {
  TConsoleControl c;
  c.type = type;
  c.right = 173;
  c.top = row * 8;
  c.bottom = (row + rows) * 8 - 1;
  c.text = text;
  return c;
}

void DrawScreen(TConsoleCanvas& canvas, const std::string& last_key) {
  canvas.Fill(0xFFFFFF);
  auto title = Control(kControlStatic, 0, 1, "CONSOLE DEMO");
  title.alignment = 2;
  drawControl(canvas, title);
  auto menu = Control(kControlMenu, 2, 3, "");
  menu.items = {"First", "Second", "Third"};
  menu.selected = 1;
  drawControl(canvas, menu);
  drawControl(canvas, Control(kControlStatic, 6, 1, "\x8F\xE0\xA8\xA2\xA5\xE2"));  // a Cyrillic greeting
  auto button = Control(kControlButton, 8, 1, "OK");
  button.left = 6 * 9;
  button.right = 6 * 19 - 1;
  drawControl(canvas, button);
  drawControl(canvas, Control(kControlStatic, 10, 1, last_key.c_str()));
}

}  // namespace

int main(int argc, char** argv) {
  char folder[4096];
  if (getcwd(folder, sizeof folder - 1) == nullptr) return 1;
  std::strcat(folder, "/");
  for (int slot : {PathToCurrent, PathToProgram, PathToIni, PathToLog, PathToResult}) pcc_SetPath(slot, folder);
  if (argc > 1 && std::strcmp(argv[1], "--colour") == 0) bColorDisplay = true;

  RegisterUiDevices();
  TLinStubExeSystem::StartSystem();
  auto* display = dynamic_cast<TLinConsoleDisplay*>(ISystem::Instance()->GetDevice(DEVICE_DISPLAY));
  uint16_t opened = display != nullptr ? display->Open() : 253;
  FILE* out = std::fopen("demo.out", "w");
  if (out != nullptr) {
    std::fprintf(out, "open=%u\n", opened);
    std::fflush(out);
  }
  if (opened != 0) {
    std::printf("open=%u\n", opened);
    if (out != nullptr) std::fclose(out);
    drvShutdown();
    return 0;
  }
  auto* canvas = dynamic_cast<TConsoleCanvas*>(adapter::graphics::Display::canvas());
  if (canvas == nullptr) return 1;
  DrawScreen(*canvas, "READY");
  drvRefreshScreen();
  drv_deadline_t deadline = drvSetTimer(20000);
  while (!drvCheckTimer(deadline)) {
    int key = drvGetKey();
    if (key == -2) {
      drvIdleWait(nullptr, 0, 10);
      continue;
    }
    int screen_key = auxGetStdKey(static_cast<uint8_t>(key & 0xFF));
    if (out != nullptr) {
      std::fprintf(out, "key %d std %d\n", key, screen_key);
      std::fflush(out);
    }
    if (key == 'q') break;
    char shown[32];
    std::snprintf(shown, sizeof shown, "KEY %d STD %d", key, screen_key);
    DrawScreen(*canvas, shown);
    drvRefreshScreen();
  }
  drvShutdown();  // closes the display with the device layer
  if (out != nullptr) std::fclose(out);
  return 0;
}
