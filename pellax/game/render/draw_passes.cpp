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

// A burst's sparks keep their tails at the burst's centre while their heads fly out, so
// one frame may blend the same glow at the same place dozens of times. Every primitive of
// the particle pass adds with per-channel saturation, and such adds of non-negative values
// commute and combine (two adds saturated are one add of the sum, saturated): the glows are
// gathered by place and sprite, and each place is blended once with the sprite's channels
// multiplied by its count and saturated.
class glow_batch {
 public:
  explicit glow_batch(uint16_t* surface) : surface_(surface) {}
  ~glow_batch() { flush(); }
  glow_batch(const glow_batch&) = delete;
  glow_batch& operator=(const glow_batch&) = delete;

  void add(int32_t x, int32_t y, uint16_t sprite) {
    for (int32_t i = 0; i < size_; ++i) {
      pending& q = pending_[i];
      if (q.x == x && q.y == y && q.sprite == sprite) {
        ++q.count;
        return;
      }
    }
    if (size_ == kSlots) {  // many places at once: no gathering for the rest
      draw_glow_sprite(surface_, x, y, glow_sprites[sprite]);
      return;
    }
    pending_[size_++] = pending{x, y, sprite, 1};
  }

  void flush() {
    for (int32_t i = 0; i < size_; ++i) {
      const pending& q = pending_[i];
      // Below three a multiplied sprite costs more than the blends it saves.
      if (q.count < 3) {
        for (int32_t k = 0; k < q.count; ++k) draw_glow_sprite(surface_, q.x, q.y, glow_sprites[q.sprite]);
        continue;
      }
      const int32_t clipped_before = clipped_draws;
      draw_glow_sprite(surface_, q.x, q.y, multiplied(glow_sprites[q.sprite], q.count));
      if (clipped_draws != clipped_before) clipped_draws += q.count - 1;  // each one was dropped
    }
    size_ = 0;
  }

 private:
  static constexpr int32_t kSlots = 16;
  struct pending {
    int32_t x, y;
    uint16_t sprite;
    int32_t count;
  };

  const uint16_t* multiplied(const uint16_t* sprite, int32_t count) {
    for (int32_t i = 0; i < kGlowSpriteSize * kGlowSpriteSize; ++i) {
      const uint32_t v = sprite[i];
      if (v == 0) {
        block_[i] = 0;
        continue;
      }
      const uint32_t r = (v >> 11) * uint32_t(count), g = ((v >> 5) & 63) * uint32_t(count),
                     b = (v & 31) * uint32_t(count);
      block_[i] = uint16_t((r > 31 ? 31 : r) << 11 | (g > 63 ? 63 : g) << 5 | (b > 31 ? 31 : b));
    }
    return block_;
  }

  uint16_t* surface_;
  pending pending_[kSlots];
  int32_t size_ = 0;
  alignas(4) uint16_t block_[kGlowSpriteSize * kGlowSpriteSize];
};

}  // namespace

void draw_particles(uint16_t* surface) {
  if (!object_pool) return;
  int32_t counter = 0;
  glow_batch glows(surface);
  for (uint16_t i = object_pool->heads[kParticleUsed]; i != kNoRecord;
       i = particle_at(i).link.next) {
    const particle& p = particle_at(i);
    const bool candidate =
        in_camera_window(p.tail_x, p.tail_y) || in_camera_window(p.head_x, p.head_y);
    if (candidate && !(p.tail_x == p.head_x && p.tail_y == p.head_y)) {
      draw_line(surface, p.tail_x, p.tail_y, p.head_x, p.head_y, p.colour);
      if ((p.flags & 1) && p.delay == 0 && p.tail_glow < kGlowSpriteCount)
        glows.add(px(p.tail_x), px(p.tail_y), p.tail_glow);
      if ((p.flags & 2) && p.head_time == 0 && p.head_glow < kGlowSpriteCount)
        glows.add(px(p.head_x), px(p.head_y), p.head_glow);
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
