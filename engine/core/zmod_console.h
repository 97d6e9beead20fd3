// ClassZConsole: the engine's message window. This device has no window, so the console
// accepts every message and shows nothing.
#pragma once

#include <cstdint>

class ClassZConsole {
 public:
  ClassZConsole() = default;
  ~ClassZConsole() = default;

  void LinkWindow(int* window) { this->window = window; }
  void Empty() {}

  // Numbers are formatted in signed decimal; the texts are dropped.
  void ShowMsg(const char* text, bool newline = true);
  void ShowMsg(const uint16_t* text, bool newline = true);
  void ShowMsg(int32_t number, bool newline = true);
  void MsgWindow(const char* text, const char* title);
  void MsgWindow(const uint16_t* text, const uint16_t* title);
  void MsgWindow(int32_t number, const char* title);

  int* window = nullptr;

 private:
  // Where a message would be shown; this device has nowhere to show it.
  void Show(const uint16_t*, const uint16_t*) {}
};
