#include "molvex/ui/display_adapter.h"

#include <memory>

#include "molvex/platform/system.h"
#include "molvex/ui/console_canvas.h"

uint16_t nDisplayWidth = MAX_TARN_DISPLAY_WIDTH;
uint16_t nDisplayHeight = MAX_TARN_DISPLAY_HEIGHT;
bool bColorDisplay = false;

namespace {

constexpr int kNoKey = -2;
constexpr uint32_t kWhite = 0xFFFFFF;

std::unique_ptr<ICanvas>& Canvas() {
  static std::unique_ptr<ICanvas> canvas;
  return canvas;
}

IGraphicDisplay* DisplayDevice() {
  return dynamic_cast<IGraphicDisplay*>(ISystem::Instance()->GetDevice(DEVICE_DISPLAY));
}

IKeyboard* KeyboardDevice() { return dynamic_cast<IKeyboard*>(ISystem::Instance()->GetDevice(DEVICE_KEYBOARD)); }

}  // namespace

namespace adapter::graphics {

void Display::init() {
  nDisplayWidth = MAX_TARN_DISPLAY_WIDTH;
  nDisplayHeight = MAX_TARN_DISPLAY_HEIGHT;
  if (IGraphicDisplay* display = DisplayDevice()) {
    if (std::unique_ptr<ICanvas> made = display->CreateCanvas()) Canvas() = std::move(made);
  }
  if (IKeyboard* keyboard = KeyboardDevice()) keyboard->Open();
}

ICanvas* Display::canvas() { return Canvas().get(); }

void Display::ResetForTests() { Canvas().reset(); }

}  // namespace adapter::graphics

extern "C" void drvFlushDisplay() {
  if (ICanvas* canvas = Canvas().get()) canvas->Fill(kWhite);
}

extern "C" void drvRefreshScreen() {
  IGraphicDisplay* display = DisplayDevice();
  if (display != nullptr && Canvas()) display->PaintCanvas(Canvas().get());
}

extern "C" void drvSetPixel(int x, int y, uint32_t colour) {
  if (ICanvas* canvas = Canvas().get()) canvas->TSetPixel(x, y, colour);
}

extern "C" uint32_t drvGetPixel(int x, int y) {
  ICanvas* canvas = Canvas().get();
  return canvas != nullptr ? canvas->TGetPixel(x, y) : 0;
}

extern "C" int drvGetKey() {
  IKeyboard* keyboard = KeyboardDevice();
  if (keyboard == nullptr) return kNoKey;
  int key = keyboard->GetKey();
  return (key & 0xFF) == 0 ? kNoKey : key;
}

extern "C" void drvShowVirtualKeyboard() {
  if (IKeyboard* keyboard = KeyboardDevice()) keyboard->ShowKeyBoard();
}

extern "C" void drvHideVirtualKeyboard() {
  if (IKeyboard* keyboard = KeyboardDevice()) keyboard->HideKeyBoard();
}
