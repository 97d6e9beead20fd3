// zoltdemo: a small application on the Zolt framework. At 60 frames a second it draws a
// moving test pattern on a 320x240 screen with the engine's surfaces and built-in font and
// shows the buttons held; Start and Select together end it.
//
//   GP2X_HEADLESS=0 zoltdemo                                        (a window)
//   GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 zoltdemo     (headless)
//
// Exit code 0 after a normal end, 1 when the devices cannot be opened or start-up fails,
// 2 for an argument it does not know; --help prints the usage.
#include <cstdio>

#include "engine/app/zolt.h"
#include "tools/zolt_tool_main.h"
#include "tools/zoltdemo/zoltdemo_pattern.h"

namespace {

class DemoApp : public ClassZolt {
 public:
  int OnCreate(ZOLTCONFIG* config, ZOLTDATA*) override {
    config->width = zoltdemo::kWidth;
    config->height = zoltdemo::kHeight;
    config->fps = 60;
    config->rotation = 0;
    return 0;
  }
  int OnNextFrame(ClassZDisplay* display, uint32_t) override {
    ++frame_;
    zoltdemo::DrawPattern(display->backbuffer, &display->font, frame_);
    zoltdemo::DrawButtons(display->backbuffer, held_);
    return 0;
  }
  void OnButtonDown(uint32_t code, ZBUTTONLIST*) override {
    held_ |= zoltdemo::ButtonBit(code);
    const uint32_t both = zoltdemo::ButtonBit(ZBUTTON_START) | zoltdemo::ButtonBit(ZBUTTON_SELECT);
    if ((held_ & both) == both) Quit();
  }
  void OnButtonUp(uint32_t code, ZBUTTONLIST*) override { held_ &= ~zoltdemo::ButtonBit(code); }

 private:
  int frame_ = 0;
  uint32_t held_ = 0;
};

const char kUsage[] =
    "usage: zoltdemo [--help]\n"
    "A Zolt engine application: a moving test pattern and the buttons held, at 60 frames a\n"
    "second; Start and Select together end it. The host layer's settings choose how it runs:\n"
    "  GP2X_HEADLESS=0 zoltdemo                                      a window\n"
    "  GP2X_SCRIPT=s.txt GP2X_SHOTS=shots GP2X_UNTIL=3000 zoltdemo   headless (the default),\n"
    "                                                                 until a time\n"
    "Every setting is in host/README.md.\n";

}  // namespace

int main(int argc, char** argv) { return ZoltToolMain<DemoApp>("zoltdemo", argc, argv, kUsage); }
