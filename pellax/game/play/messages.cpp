#include "pellax/game/play/messages.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "pellax/base/canvas.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/play/play_update.h"
#include "pellax/game/render/stroke_font.h"

growing_text message;
growing_text popup_lines[3];
int32_t time_frames = 0;

namespace {

void start_text(growing_text& t, const char* text, int32_t growth, int32_t grow_time, int32_t life) {
  std::snprintf(t.text, sizeof t.text, "%s", text ? text : "");
  // Grown from a dot (scale 1 of 256): the longest wave names reach the view's width
  // just inside its edges.
  t.scale = 1;
  t.growth = growth;
  t.grow_time = grow_time;
  t.life = life;
}

// Centred in the view, line moved by shift x its scale (24.8).
void draw_centred(uint16_t* surface, const growing_text& t, int32_t shift, uint16_t colour) {
  int32_t w, h;
  text_extent(t.text, t.scale, &w, &h);
  const int32_t x = (camera_x - w / 2 + 160 * 256 + 128) >> 8;
  const int32_t y = int32_t((int64_t(camera_y) - h / 2 + 120 * 256 + 128 + int64_t(shift) * t.scale) >> 8);
  draw_text_glow(surface, t.text, x, y, t.scale, 4, 80, colour);
}

void shadowed(uint16_t* surface, const char* text, int32_t anchor_x, int32_t y, const uint16_t shadows[3],
              uint16_t colour) {
  int32_t w, h;
  text_extent_fx(text, 640, &w, &h);
  const int32_t x = anchor_x - w / 2;
  draw_text_fx(surface, text, x + 1, y, 640, shadows[0]);
  draw_text_fx(surface, text, x, y + 1, 640, shadows[1]);
  draw_text_fx(surface, text, x + 1, y + 1, 640, shadows[2]);
  draw_text_fx(surface, text, x, y, 640, colour);
}

}  // namespace

int32_t age_text(growing_text& t, int32_t dt) {
  if (dt > 0) {
    if (t.grow_time > 0) {
      const int32_t step = std::min(dt, t.grow_time);
      t.scale += int32_t((int64_t(t.growth) * step) >> 8);
      t.grow_time -= step;
      dt -= step;
    }
    t.life = dt > t.life ? 0 : t.life - dt;
  }
  return t.life > 0 ? 1 : 0;
}

void show_message(const char* text) { start_text(message, text, 25, 25600, 25600); }

int32_t update_message(int32_t dt) { return age_text(message, dt); }

void draw_message(uint16_t* surface) { draw_centred(surface, message, 0, 0xA204); }

void add_popup(const char* line1, const char* line2, const char* line3) {
  start_text(popup_lines[0], line1, 15, 25600, 51200);
  start_text(popup_lines[1], line2, 8, 51200, 38400);
  start_text(popup_lines[2], line3, 5, 76800, 25600);
}

int32_t update_popups(int32_t dt) {
  int32_t any = 0;
  for (growing_text& t : popup_lines) any |= age_text(t, dt);
  return any;
}

void draw_popups(uint16_t* surface) {
  draw_centred(surface, popup_lines[0], -10, 0x2214);
  draw_centred(surface, popup_lines[1], 0, 0x3BC7);
  draw_centred(surface, popup_lines[2], 10, 0xA204);
}

void format_score(char* out, size_t size, int32_t score) {
  if (score >= 1000000)
    std::snprintf(out, size, "%d,%03d,%03d", score / 1000000, (score % 1000000) / 1000, score % 1000);
  else if (score >= 1000)
    std::snprintf(out, size, "%d,%03d", score / 1000, score % 1000);
  else
    std::snprintf(out, size, "%d", score);
}

void draw_hud(uint16_t* surface) {
  if (game_mode == 2 && !player_dead && game_state != kStateEndOfRun) {
    if (game_paused == 0) ++time_frames;
    if (time_frames > 20) {
      time_frames = 0;
      if (time_left > 0) --time_left;
      if (time_left == 0) {
        end_run("OUT OF TIME");
        time_left = -1;
      }
    }
  }
  const int32_t vx = px(camera_x), vy = px(camera_y);
  const int32_t h = 10;
  const uint16_t plain[3] = {0x8200, 0x8200, 0x8200};
  if (game_mode == 2) {
    const uint16_t time_shadows[3] = {0x8210, 0x8201, 0x8210};
    shadowed(surface, "TIME", vx + 20, vy + 4, time_shadows, 0xC624);
  }
  shadowed(surface, "SCORE", vx + 160, vy + 4, plain, 0xC600);
  char text[24];
  format_score(text, sizeof text, game_score);
  shadowed(surface, text, vx + 160, vy + h + 8, plain, 0xC600);
  shadowed(surface, "SHIELD", vx + 280, vy + 220, plain, 0xC600);
  if (game_mode == 2) {
    std::snprintf(text, sizeof text, "%d", time_left);
    shadowed(surface, text, vx + 20, vy + h + 8, plain, 0xC600);
  }
}

void draw_pause_menu(uint16_t* surface) {
  const int32_t vx = px(camera_x), vy = px(camera_y);
  for (int32_t y = vy; y < vy + 240; ++y) {
    for (int32_t x = vx; x < vx + 320; ++x) {
      if (!on_canvas(x, y)) continue;
      uint16_t& p = surface[y * kCanvasSize + x];
      p = uint16_t((p >> 1) & 0x7BEF);
    }
  }
  draw_text_glow(surface, "START=RESUME", vx + 100, vy + 85, 1024, 2, 80, 0xF506);
  draw_text_glow(surface, "X=EXIT", vx + 100, vy + 115, 1024, 2, 80, 0xF506);
  draw_text_glow(surface, "Y=NEW GAME", vx + 100, vy + 145, 1024, 2, 80, 0xF506);
}
