#include "engine/core/zmod_console.h"

#include "engine/core/zmod_std.h"

namespace {

// 8-bit messages widen into a fixed buffer; longer texts are cut, nothing is shown anyway.
struct Wide {
  explicit Wide(const char* text) {
    if (text) ClassZStd::StrCpy(buffer, text, 256);
  }
  uint16_t buffer[256] = {};
};

struct Number {
  explicit Number(int32_t value) { ClassZStd::IntToStr(buffer, value, 10, true); }
  uint16_t buffer[40] = {};
};

}  // namespace

void ClassZConsole::ShowMsg(const char* text, bool) { Show(Wide(text).buffer, nullptr); }
void ClassZConsole::ShowMsg(const uint16_t* text, bool) { Show(text, nullptr); }
void ClassZConsole::ShowMsg(int32_t number, bool) { Show(Number(number).buffer, nullptr); }

void ClassZConsole::MsgWindow(const char* text, const char* title) {
  Show(Wide(text).buffer, Wide(title).buffer);
}
void ClassZConsole::MsgWindow(const uint16_t* text, const uint16_t* title) { Show(text, title); }
void ClassZConsole::MsgWindow(int32_t number, const char* title) {
  Show(Number(number).buffer, Wide(title).buffer);
}
