#include "pellax/game/render/score_popups.h"

#include <algorithm>
#include <cstring>

#include "pellax/base/fixed_math.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/stroke_font.h"

void update_score_popups() {
  walk_popups([](uint16_t i) {
    score_popup& p = popup_at(i);
    int32_t t = tick_step;
    if (p.grow_time > 0) {
      const int32_t s = std::min(p.grow_time, t);
      p.size = clamp_int32(p.size + ((int64_t(p.grow_rate) * s) >> 8));
      p.grow_time -= s;
      t -= s;
    }
    if (t > 0 && p.hold_time > 0) {
      const int32_t s = std::min(p.hold_time, t);
      p.hold_time -= s;
      t -= s;
    }
    if (t > 0) p.size = clamp_int32(p.size - ((int64_t(p.shrink_rate) * t) >> 8));
    if (p.size <= 0) free_score_popup(i);
  });
}

void draw_score_popups(uint16_t* surface) {
  walk_popups([surface](uint16_t i) {
    const score_popup& p = popup_at(i);
    // The text field holds four characters without a NUL when full.
    char text[sizeof p.text + 1];
    std::memcpy(text, p.text, sizeof p.text);
    text[sizeof p.text] = '\0';
    int32_t w, h;
    text_extent(text, p.size, &w, &h);
    const int64_t x = int64_t(p.x) - w / 2, y = int64_t(p.y) - h / 2;
    draw_text(surface, text, clamp_int32(x - 128), clamp_int32(y - 128), p.size, p.shadow_colour);
    draw_text(surface, text, clamp_int32(x + 128), clamp_int32(y + 128), p.size, p.colour);
  });
}
