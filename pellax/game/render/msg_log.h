// A ten-line text log drawn with the stroke font (a debugging aid; the frame loop empties
// it every frame).
#pragma once

#include <cstdint>

constexpr int kLogLines = 10;
constexpr int kLogLineLength = 100;

extern char msg_log[kLogLines][kLogLineLength];
extern int32_t msg_log_next;  // slot of the next line; -1 when empty

void log_add(const char* text);
void log_clear();
void log_draw(uint16_t* surface, int32_t x, int32_t y);
