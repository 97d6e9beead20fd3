// Text overlays of the game: the growing centre message, the three-line popup between
// waves, the in-game HUD (with the timed mode's countdown) and the pause overlay.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int kTextLength = 20;  // 19 characters and the NUL

// A text that grows, then stands, then ends.
struct growing_text {
  char text[kTextLength];
  int32_t scale, growth, grow_time, life;
};

extern growing_text message;
extern growing_text popup_lines[3];
extern int32_t time_frames;  // HUD frames since the countdown's last step

void show_message(const char* text);
int32_t update_message(int32_t dt);
void draw_message(uint16_t* surface);
void add_popup(const char* line1, const char* line2, const char* line3);
int32_t update_popups(int32_t dt);
void draw_popups(uint16_t* surface);
void draw_hud(uint16_t* surface);
void draw_pause_menu(uint16_t* surface);
// A score with its thousands grouped: 999, 1,000, 1,234,567 (into out, at most size - 1).
void format_score(char* out, size_t size, int32_t score);
// Ages a growing text by dt (8.8 ticks); returns whether its life lasts.
int32_t age_text(growing_text& t, int32_t dt);
