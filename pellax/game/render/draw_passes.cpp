#include "pellax/game/render/draw_passes.h"

#include <cstdint>

#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/render_glow.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/platform/timer.h"

namespace {

bool in_camera_window(int32_t x, int32_t y) {
  const int64_t dx = int64_t(x) - camera_x, dy = int64_t(y) - camera_y;
  return dx >= 0 && dx <= 0x13FFF && dy >= 0 && dy < 0xF000;
}

}  // namespace

void draw_particles(uint16_t* surface) {
  if (!object_pool) return;
  int32_t counter = 0;
  for (uint16_t i = object_pool->heads[kParticleUsed]; i != kNoRecord;
       i = particle_at(i).link.next) {
    const particle& p = particle_at(i);
    const bool candidate =
        in_camera_window(p.tail_x, p.tail_y) || in_camera_window(p.head_x, p.head_y);
    if (candidate && !(p.tail_x == p.head_x && p.tail_y == p.head_y)) {
      draw_line(surface, p.tail_x, p.tail_y, p.head_x, p.head_y, p.colour);
      if ((p.flags & 1) && p.delay == 0 && p.tail_glow < kGlowSpriteCount)
        draw_glow_sprite(surface, px(p.tail_x), px(p.tail_y), glow_sprites[p.tail_glow]);
      if ((p.flags & 2) && p.head_time == 0 && p.head_glow < kGlowSpriteCount)
        draw_glow_sprite(surface, px(p.head_x), px(p.head_y), glow_sprites[p.head_glow]);
      counter += 2;
    } else {
      counter += 1;
    }
    if (counter % 16 == 0 && timer_elapsed() >= 400) return;
  }
}

void draw_objects(uint16_t* surface) {
  if (!object_pool) return;
  for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next) {
    const game_object& o = object_at(i);
    if (!(o.flags & kObjDrawn)) continue;
    const bool ship = o.kind == 1;
    const int32_t n = o.segment_count > kMaxSegments ? kMaxSegments : o.segment_count;
    for (int32_t k = 0; k < n; ++k) {
      // Each end as a 32-bit sum whose overflow is tested (a flag on the console, where
      // 64-bit sums cost three instructions and their tests four).
      int32_t x1, y1, x2, y2;
      if (__builtin_add_overflow(o.x, o.world_x1[k], &x1) ||
          __builtin_add_overflow(o.y, o.world_y1[k], &y1) ||
          __builtin_add_overflow(o.x, o.world_x2[k], &x2) ||
          __builtin_add_overflow(o.y, o.world_y2[k], &y2)) {
        ++clipped_draws;  // an object thrown far out of the world: nothing to see
        continue;
      }
      const uint16_t a = o.colour_a[k], b = o.colour_b[k];
      if (ship && respawn_pause) draw_line(surface, x1, y1, x2, y2, 0xF8A5);
      else if (a == b) draw_line(surface, x1, y1, x2, y2, a);
      else draw_line_gradient(surface, x1, y1, x2, y2, a, b);
    }
    if (ship && shield_on) draw_glow(surface, o.x, o.y);
  }
}
