// ClassConsole: the game's modal overlay, drawn over whatever screen is active: a timed
// message line, text entry with the on-screen keyboard, a yes/no question, the "Press a
// key" prompt of the key assignment and the status box of an online score submission.
// A screen opens a mode and polls Busy(); while it is not idle the screen leaves the
// input to the console. The shell calls Manage once a frame right after the screen.
//
// States (Busy):
//   0 idle          1 message (2 s)      2 keyboard sliding out (250 ms)   3 text input
//   6 yes/no        7 answered yes (until the caller's SetIdle)            10 key prompt
//   13 online submission, closed 4096 ms after its result
//
// Text typed during input waits in a queue of 64 characters (the oldest is dropped when
// it is full) until the screen takes it with GetC. Typed control characters: 7 cancel,
// 8 backspace, 9 tab, 13 enter.
#pragma once

#include <cstdint>

class Z2DSurface;
class ClassZInput;
struct MAINDATA;

enum : uint8_t {
  CONSOLE_IDLE = 0,
  CONSOLE_MESSAGE = 1,
  CONSOLE_HIDING = 2,
  CONSOLE_INPUT = 3,
  CONSOLE_CONFIRM = 6,
  CONSOLE_YES = 7,
  CONSOLE_SETKEY = 10,
  CONSOLE_ONLINE = 13,
};

// The console's menu actions (the input object's default mappings).
enum : uint8_t {
  KBD_UP = 0xA0,
  KBD_DOWN = 0xA1,
  KBD_LEFT = 0xA2,
  KBD_RIGHT = 0xA3,
  KBD_PRESS = 0xC8,
};

class ClassConsole {
 public:
  static constexpr uint32_t QUEUE_SIZE = 64;
  static constexpr uint32_t MESSAGE_SIZE = 1600;
  static constexpr uint32_t MESSAGE_MS = 2000;
  static constexpr uint32_t SLIDE_MS = 250;
  static constexpr uint32_t ONLINE_TIMEOUT_MS = 30000;
  static constexpr uint32_t ONLINE_CLOSE_MS = 4096;

  uint8_t Busy() const { return state; }
  void SetIdle() { state = CONSOLE_IDLE; }
  void HideMessage();
  void SendMessage(const char* text);
  void ShowInput();
  void HideInput();
  void AskConfirm(const char* question);
  void OpenSetkey(uint8_t action);
  void OpenInternet(uint8_t table, const char* code);
  char GetC();
  void PutC(char c, bool onScreen);
  bool PressedKey(uint8_t action, bool withRepeat);
  void Manage(Z2DSurface* surface, uint32_t* next, uint32_t* status, int32_t* keys,
              uint32_t elapsed);
  void RenderAll(Z2DSurface* surface);

  // What the screens and tests read.
  uint32_t Queued() const { return count; }
  const char* Message() const { return message; }
  uint32_t Counter() const { return counter; }
  uint8_t CursorColumn() const { return column; }
  uint8_t CursorRow() const { return row; }
  uint8_t Shift() const { return shift; }
  uint8_t Layout() const { return shift ? 1 : 0; }
  // Puts the cursor on a cell, as a stylus does.
  void SetCursor(uint8_t c, uint8_t r) {
    if (c < 27 && r < 5) column = c, row = r;
  }

 private:
  ClassZInput* Input() const;
  void PlaySfx();
  void SetMessage(const char* text);
  void ManageInput();
  void ManageConfirm();
  void ManageOnline(uint32_t elapsed);
  void MoveHorizontal(int direction);
  void MoveVertical(int direction);
  // The cell of the keyboard at a stylus position, if it holds a key.
  bool CellAt(int32_t x, int32_t y, uint8_t& c, uint8_t& r) const;
  void Answer(bool yes);
  void DrawBox(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t fill,
               uint32_t inner, uint32_t outer);
  void DrawCentred(Z2DSurface& s, int32_t y, const char* text);

  MAINDATA* maindata = nullptr;
  char queue[QUEUE_SIZE] = {};
  uint32_t count = 0;  // characters in the queue
  char message[MESSAGE_SIZE] = "";
  uint32_t counter = 0;
  uint32_t clock = 0;
  uint8_t state = CONSOLE_IDLE;
  uint8_t column = 0;
  uint8_t row = 0;
  uint8_t shift = 0;  // 0 plain, 1 for one character, 3 caps lock
};
