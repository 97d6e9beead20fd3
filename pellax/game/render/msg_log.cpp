#include "pellax/game/render/msg_log.h"

#include <cstring>

#include "pellax/game/render/stroke_font.h"

char msg_log[kLogLines][kLogLineLength];
int32_t msg_log_next = -1;

void log_add(const char* text) {
  if (msg_log_next < 0) {
    std::memset(msg_log, 0, sizeof msg_log);
    msg_log_next = 0;
  }
  std::strncpy(msg_log[msg_log_next], text, kLogLineLength - 1);
  msg_log[msg_log_next][kLogLineLength - 1] = '\0';
  msg_log_next = (msg_log_next + 1) % kLogLines;
}

void log_clear() { msg_log_next = -1; }

void log_draw(uint16_t* surface, int32_t x, int32_t y) {
  if (msg_log_next < 0) return;
  int32_t row = 6;
  for (int k = 1; k <= kLogLines; ++k) {
    const char* line = msg_log[(msg_log_next + k) % kLogLines];
    if (!line[0]) continue;
    draw_text_fx(surface, line, x + 8, y + row, 0x300, 0xFFFF);
    row += 18;
  }
}
