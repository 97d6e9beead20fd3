#include "kolvo2/console.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/zmod_input.h"
#include "engine/core/zolt_records.h"
#include "kolvo2/game_records.h"
#include "kolvo2/game_sound.h"
#include "kolvo2/graphics.h"
#include "kolvo2/net_highscore.h"

namespace {

enum : uint8_t { kAnswerLeft = 0xC2, kAnswerRight = 0xC3, kAnswer = 0xC4 };

// The keyboard's cells on the screen once it has risen: 8 x 16 pixels from (52, 149).
constexpr int32_t kCellsLeft = 52, kCellsTop = 149, kCellW = 8, kCellH = 16;

const char* const kActionNames[GAME_ACTIONS] = {
    "'Move left'", "'Move right'", "'Move down'", "'Turn'",
    "'Turn left'", "'Turn right'", "'Fast drop'", "'Pause'"};

constexpr uint32_t kWhite = 0xFFFFFF, kGrey = 0x808080, kBoxColour = 0x402060;

// The widest line a submission's box holds: the screen less a margin on each side.
constexpr uint32_t kWidestLine = 296;

// Breaks text into lines no wider than width in the game font: at the text's own line
// ends (LF, CR LF or CR) first, then at blanks where it can and inside a word too long for
// a line; other control characters count as blanks, and line ends at the very end are
// dropped. At most maxlines lines are kept, the last ending in "..." when text was left
// over.
std::string WrapText(const ClassGraphics& gfx, const char* text, uint32_t width, uint32_t maxlines) {
  std::vector<std::string> lines;
  auto fits = [&](const std::string& t) { return gfx.GetFontWidth(t.c_str()) <= width; };
  for (const char* p = text; *p;) {
    // One paragraph: up to the next line end.
    const char* end = p;
    while (*end && *end != '\n' && *end != '\r') ++end;
    std::string line;
    bool any = false;
    for (const char* q = p; q < end;) {
      while (q < end && static_cast<uint8_t>(*q) <= ' ') ++q;
      std::string word;
      while (q < end && static_cast<uint8_t>(*q) > ' ') word += *q++;
      if (word.empty()) break;
      any = true;
      if (!line.empty() && fits(line + " " + word)) {
        line += " " + word;
        continue;
      }
      if (!line.empty()) lines.push_back(line);
      line.clear();
      for (char c : word) {
        if (!line.empty() && !fits(line + c)) {
          lines.push_back(line);
          line.clear();
        }
        line += c;
      }
    }
    if (any) lines.push_back(line);
    else lines.emplace_back();  // a blank line the text asks for
    p = end;
    if (*p == '\r' && p[1] == '\n') ++p;
    if (*p) ++p;
  }
  while (!lines.empty() && lines.back().empty()) lines.pop_back();
  if (lines.size() > maxlines) {
    lines.resize(maxlines);
    std::string& last = lines.back();
    while (!last.empty() && !fits(last + "...")) last.pop_back();
    last += "...";
  }
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) out += (i ? "\n" : "") + lines[i];
  return out;
}

}  // namespace

ClassZInput* ClassConsole::Input() const { return InputOf(maindata); }

void ClassConsole::PlaySfx() {
  if (maindata && maindata->sound) maindata->sound->PlaySfx(1);
}

void ClassConsole::SetMessage(const char* text) {
  const size_t n = text ? strnlen(text, MESSAGE_SIZE - 1) : 0;
  if (n) std::memcpy(message, text, n);
  message[n] = 0;
}

void ClassConsole::HideMessage() {
  if (state == CONSOLE_MESSAGE) state = CONSOLE_IDLE;
}

void ClassConsole::SendMessage(const char* text) {
  SetMessage(text);
  counter = 0;
  state = CONSOLE_MESSAGE;
}

void ClassConsole::ShowInput() {
  count = 0;
  shift = 0;
  if (state == CONSOLE_INPUT) return;
  column = row = 0;
  counter = 0;
  state = CONSOLE_INPUT;
}

void ClassConsole::HideInput() {
  if (state != CONSOLE_INPUT) return;
  counter = 0;
  state = CONSOLE_HIDING;
}

void ClassConsole::AskConfirm(const char* question) {
  if (state != CONSOLE_IDLE) return;
  SetMessage(question);
  counter = 1;  // "No"
  state = CONSOLE_CONFIRM;
}

void ClassConsole::OpenSetkey(uint8_t action) {
  if (state != CONSOLE_IDLE) return;
  counter = action;
  state = CONSOLE_SETKEY;
}

void ClassConsole::OpenInternet(uint8_t table, const char* code) {
  // A table without a code has nothing the server could check.
  if (!maindata || !maindata->net || !code || !*code) return;
  maindata->net->PrepareSubmit(table, code);
  counter = 0;
  state = CONSOLE_ONLINE;
}

char ClassConsole::GetC() {
  if (count == 0) return 0;
  const char c = queue[0];
  std::memmove(queue, queue + 1, --count);
  return c;
}

void ClassConsole::PutC(char typed, bool onScreen) {
  PlaySfx();
  uint8_t c = static_cast<uint8_t>(typed);
  if (c == KB_ENTER) c = 13;
  if (c == KB_SHIFT) {
    shift = shift ? 0 : 1;
    return;
  }
  if (c == KB_CAPS && onScreen) {
    shift = shift == 3 ? 0 : 3;
    return;
  }
  if (count == QUEUE_SIZE) std::memmove(queue, queue + 1, --count);
  if (shift && c >= 'a' && c <= 'z') c = static_cast<uint8_t>(c - 'a' + 'A');
  if (onScreen && shift == 1 && c > 31) shift = 0;
  queue[count++] = static_cast<char>(c);
}

bool ClassConsole::PressedKey(uint8_t action, bool withRepeat) {
  return TakePress(Input(), action, withRepeat);
}

void ClassConsole::MoveHorizontal(int direction) {
  const int n = static_cast<int>(KB_CELLS);
  const uint8_t* cells = kblayout[Layout()][row];
  // The cursor's own key is never the target: a row with no other key keeps the cursor.
  int first = column, last = column;
  while (first > 0 && cells[first - 1] == cells[column]) --first;
  while (last + 1 < n && cells[last + 1] == cells[column]) ++last;
  for (int step = 1; step < n; ++step) {
    const int c = ((column + direction * step) % n + n) % n;
    if (!cells[c] || (cells[column] && c >= first && c <= last)) continue;
    // Leftwards the last cell of a key, rightwards its first: the cell differs from its
    // neighbour on the side the search came from (the row's ends count as different).
    const int beside = c - direction;
    if (beside >= 0 && beside < n && cells[beside] == cells[c]) continue;
    column = static_cast<uint8_t>(c);
    return;
  }
}

void ClassConsole::MoveVertical(int direction) {
  const uint8_t layout = Layout();
  const uint8_t target = static_cast<uint8_t>((row + direction + KB_ROWS) % KB_ROWS);
  const uint8_t* here = kblayout[layout][row];
  const uint8_t* there = kblayout[layout][target];
  if (there[column]) {
    row = target;
    return;
  }
  // Sideways, but only under the cursor's own key, the left side first.
  bool left = true, right = true;
  for (int k = 1; k < static_cast<int>(KB_CELLS) && (left || right); ++k) {
    const int l = column - k, r = column + k;
    left = left && l >= 0 && here[l] == here[column];
    right = right && r < static_cast<int>(KB_CELLS) && here[r] == here[column];
    if (left && there[l]) {
      column = static_cast<uint8_t>(l);
      row = target;
      return;
    }
    if (right && there[r]) {
      column = static_cast<uint8_t>(r);
      row = target;
      return;
    }
  }
}

bool ClassConsole::CellAt(int32_t x, int32_t y, uint8_t& c, uint8_t& r) const {
  if (x < kCellsLeft || x >= kCellsLeft + kCellW * static_cast<int32_t>(KB_CELLS) ||
      y < kCellsTop || y >= kCellsTop + kCellH * static_cast<int32_t>(KB_ROWS))
    return false;
  c = static_cast<uint8_t>((x - kCellsLeft) / kCellW);
  r = static_cast<uint8_t>((y - kCellsTop) / kCellH);
  return kblayout[Layout()][r][c] != 0;
}

void ClassConsole::ManageInput() {
  ClassZInput* input = Input();
  if (!input) return;
  bool pressed = false;
  Z_INPUTEVENT e;
  while (input->GetKeyEvent(&e)) {
    if (e.type != ZINPUT_DOWN && e.type != ZINPUT_REPEAT) continue;
    switch (e.code) {
      case KBD_UP: MoveVertical(-1); break;
      case KBD_DOWN: MoveVertical(1); break;
      case KBD_LEFT: MoveHorizontal(-1); break;
      case KBD_RIGHT: MoveHorizontal(1); break;
      case KBD_PRESS:
        PutC(static_cast<char>(kblayout[Layout()][row][column]), true);
        pressed = true;
        break;
      default: break;
    }
  }
  uint8_t c, r;
  int32_t x, y;
  input->GetClickPosition(x, y);
  if (input->ClickHold(0) && CellAt(x, y, c, r)) {
    column = c;
    row = r;
  }
  while (input->GetClickEvent(&e)) {
    if (!CellAt(e.x, e.y, c, r)) continue;
    column = c;
    row = r;
    if (e.type == ZINPUT_DOWN) PutC(static_cast<char>(kblayout[Layout()][r][c]), true);
  }
  if (pressed) return;
  uint32_t value = 0;
  while (const uint16_t typed = input->GetChar(&value))
    if (value != 14) PutC(static_cast<char>(typed), false);
}

void ClassConsole::Answer(bool yes) {
  PlaySfx();
  state = yes ? CONSOLE_YES : CONSOLE_IDLE;
}

void ClassConsole::ManageConfirm() {
  ClassZInput* input = Input();
  if (!input) return;
  auto toggle = [&] {
    counter = counter ? 0 : 1;
    PlaySfx();
  };
  if (input->GetWheelScroll() != 0) toggle();
  for (uint8_t action : {kAnswerLeft, kAnswerRight})
    while (TakePress(input, action, true)) toggle();
  // The stylus on either answer: left of the middle is "Yes".
  const int32_t reach = maindata && maindata->gfx ? maindata->gfx->GetFontWidth("Yes ") : 0;
  int32_t x, y;
  input->GetClickPosition(x, y);
  if (input->ClickHold(0) && x > 160 - reach && x < 160 + reach) counter = x < 160 ? 0 : 1;
  Z_INPUTEVENT e;
  while (input->GetClickEvent(&e)) {
    if (e.type != ZINPUT_DOWN || e.x <= 160 - reach || e.x >= 160 + reach) continue;
    input->ResetState();
    counter = e.x < 160 ? 0 : 1;
    Answer(counter == 0);
    return;
  }
  if (TakePress(input, kAnswer, false)) Answer(counter == 0);
}

void ClassConsole::ManageOnline(uint32_t elapsed) {
  CaptureNetHighscore* net = maindata ? maindata->net : nullptr;
  if (!net) return;
  net->elapsed += elapsed;
  // Only a submission still waiting times out: a result that came in stays.
  const bool pending = net->netstate == NET_READY || net->netstate == NET_SENT ||
                      net->netstate == NET_CONNECTED;
  if (pending && net->elapsed >= ONLINE_TIMEOUT_MS) net->SetError("Timeout");
  if (net->netstate == NET_FAILED || net->netstate == NET_POSTED) {
    counter += elapsed;
    if (counter >= ONLINE_CLOSE_MS) state = CONSOLE_IDLE;
  }
}

void ClassConsole::Manage(Z2DSurface* surface, uint32_t*, uint32_t* status, int32_t* keys,
                          uint32_t elapsed) {
  const uint32_t s = status ? *status : MODULE_RUN;
  if (s == MODULE_ATTACH) {
    maindata = reinterpret_cast<MAINDATA*>(keys);
    return;
  }
  if (s != MODULE_RUN) return;
  clock += elapsed;
  switch (state) {
    case CONSOLE_MESSAGE:
      counter += elapsed;
      if (counter >= MESSAGE_MS) state = CONSOLE_IDLE;
      break;
    case CONSOLE_HIDING:
      counter += elapsed;
      if (counter >= SLIDE_MS) state = CONSOLE_IDLE;
      break;
    case CONSOLE_INPUT:
      counter += elapsed;
      // While the keyboard rises, keys are not taken.
      if (counter >= SLIDE_MS) ManageInput();
      break;
    case CONSOLE_CONFIRM:
      ManageConfirm();
      break;
    case CONSOLE_ONLINE:
      ManageOnline(elapsed);
      break;
    default:
      break;
  }
  RenderAll(surface);
}

void ClassConsole::DrawBox(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b,
                           uint32_t fill, uint32_t inner, uint32_t outer) {
  ClassGraphics& gfx = *maindata->gfx;
  gfx.DrawAlphaBar(s, l, t, r, b, fill, 192);
  gfx.DrawRectangle(s, l, t, r, b, inner);
  gfx.DrawRectangle(s, l - 1, t - 1, r + 1, b + 1, outer);
}

void ClassConsole::DrawCentred(Z2DSurface& s, int32_t y, const char* text) {
  ClassGraphics& gfx = *maindata->gfx;
  gfx.DrawGameFont(s, 160 - static_cast<int32_t>(gfx.GetFontWidth(text)) / 2, y, text);
}

void ClassConsole::RenderAll(Z2DSurface* surface) {
  if (!surface || !maindata || !maindata->gfx) return;
  Z2DSurface& s = *surface;
  ClassGraphics& gfx = *maindata->gfx;
  const int32_t h = static_cast<int32_t>(gfx.GetFontHeight());
  switch (state) {
    case CONSOLE_MESSAGE:
      DrawCentred(s, 240 - h, message);
      break;
    case CONSOLE_HIDING:
      gfx.DrawKeyboard(s, counter < SLIDE_MS ? SLIDE_MS - counter : 0, Layout());
      break;
    case CONSOLE_INPUT:
      gfx.DrawKeyboard(s, counter < SLIDE_MS ? counter : SLIDE_MS, Layout());
      gfx.DrawKBChar(s, column, row, Layout(), counter, false, true);
      break;
    case CONSOLE_CONFIRM: {
      const int32_t w = static_cast<int32_t>(gfx.GetFontWidth(message));
      DrawBox(s, 152 - w / 2, 116 - 3 * h / 2, 168 + w / 2, 124 + 3 * h / 2, kBoxColour, kWhite, 0);
      DrawCentred(s, 120 - 3 * h / 2, message);
      // The chosen answer pulses between 255 and 213 grey once a second.
      const uint32_t t = clock % 1024;
      const uint32_t v = t < 512 ? t / 3 : (511 - t % 512) / 3;
      const uint32_t level = 255 - v / 4;
      const uint32_t pulse = level | level << 8 | level << 16;
      const int32_t y = 120 + h / 2;
      gfx.DrawGameFontColor(s, 160 - static_cast<int32_t>(gfx.GetFontWidth("Yes ")), y, "Yes",
                            counter == 0 ? pulse : kGrey);
      gfx.DrawGameFontColor(s, 160 + static_cast<int32_t>(gfx.GetFontWidth(" ")), y, "No",
                            counter == 1 ? pulse : kGrey);
      break;
    }
    case CONSOLE_SETKEY:
      // Outlined the other way round: black outside, white one pixel further in.
      gfx.DrawAlphaBar(s, 92, 116 - 2 * h, 228, 124 + 2 * h, 0x404040, 192);
      gfx.DrawRectangle(s, 92, 116 - 2 * h, 228, 124 + 2 * h, 0);
      gfx.DrawRectangle(s, 93, 117 - 2 * h, 227, 123 + 2 * h, kWhite);
      DrawCentred(s, 120 - 2 * h, "Press a key");
      DrawCentred(s, 120 - h, "to assign to:");
      DrawCentred(s, 120 + h, counter < GAME_ACTIONS ? kActionNames[counter] : "'Unknown'");
      break;
    case CONSOLE_ONLINE: {
      CaptureNetHighscore* net = maindata->net;
      const uint8_t netstate = net ? net->netstate : 0xFF;
      switch (netstate) {
        case NET_READY: SetMessage("Opening internet\nconnection..."); break;
        case NET_SENT: SetMessage("Uploading score\nto server..."); break;
        case NET_CONNECTED: SetMessage("Waiting response\nfrom server..."); break;
        case NET_POSTED: SetMessage("Score has\nbeen posted"); break;
        case NET_FAILED: {
          // The server's own text can be long: it is broken into lines that the screen
          // holds, as many as fit under "Submission failed" in a box on the screen.
          const uint32_t lines = static_cast<uint32_t>(2 + (228 - 3 * h) / (h + 2));
          SetMessage(("Submission failed\n" + WrapText(gfx, net ? net->error : "", kWidestLine, lines - 1))
                         .c_str());
          break;
        }
        default: SetMessage("Unknown\nstatus"); break;
      }
      // The box holds two lines and is 6 "xxx" wide; a wider text or more lines (a line
      // is the font's full height, h + 2) make it grow about its middle.
      int32_t n = 1;
      for (const char* c = message; *c; ++c) n += *c == '\n';
      const int32_t extra = n > 2 ? (n - 2) * (h + 2) : 0;
      const int32_t w = static_cast<int32_t>(gfx.GetFontWidth("xxx"));
      const int32_t half = std::max(3 * w + 8, static_cast<int32_t>(gfx.GetFontWidth(message)) / 2 + 8);
      DrawBox(s, 160 - half, 116 - 3 * h / 2 - extra / 2, 160 + half, 124 + 3 * h / 2 + extra - extra / 2,
              kBoxColour, kWhite, 0);
      DrawCentred(s, 120 - h - extra / 2, message);
      break;
    }
    default:
      break;
  }
}
