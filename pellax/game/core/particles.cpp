#include "pellax/game/core/particles.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

#include "pellax/base/fixed_math.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"

namespace {

// Moves a position by v x s 8.8 ticks, v in 1/256 pixel per tick; held at the 32-bit
// range (a long frame may carry a fast spark that far).
void move_by(int32_t& position, int32_t v, int32_t s) {
  position = clamp_int32(position + ((int64_t(v) * s) >> 8));
}

// Takes a from one channel: all of it when the channel holds enough, else the channel
// empties and a passes on whole to the next channel.
void fade_channel(int32_t& channel, int32_t& a) {
  if (channel == 0 || a == 0) return;
  if (a <= channel) {
    channel -= a;
    a = 0;
  } else {
    channel = 0;
  }
}

}  // namespace

uint16_t fade_colour(uint16_t colour, int32_t amount) {
  int32_t r = colour >> 11, g = (colour >> 5) & 63, b = colour & 31;
  fade_channel(b, amount);
  fade_channel(g, amount);
  fade_channel(r, amount);
  return uint16_t((r << 11) | (g << 5) | b);
}

void update_particles() {
  walk_particles([](uint16_t i) {
    particle& p = particle_at(i);
    if (p.life == 0) {
      free_particle(i);
      return;
    }
    int32_t t = tick_step;
    if (p.delay > 0) {
      if (t <= p.delay) {
        p.delay -= t;
        t = 0;
      } else {
        t -= p.delay;
        p.delay = 0;
      }
    }
    if (t > 0 && p.head_time > 0) {
      const int32_t s = std::min(p.head_time, t);
      move_by(p.head_x, p.vx, s);
      move_by(p.head_y, p.vy, s);
      p.head_time -= s;
      t -= s;
    }
    if (t > 0) {
      const int32_t s = std::min(p.life, t);
      move_by(p.tail_x, p.vx, s);
      move_by(p.tail_y, p.vy, s);
      move_by(p.head_x, p.vx, s);
      move_by(p.head_y, p.vy, s);
      p.life -= s;
    }
    // In 64 bits: a step of 82 s or more (a stopped process) overflows 32.
    if (p.type == 1)
      p.colour = fade_colour(p.colour, int32_t((int64_t(tick_step) * 1024 + 0x8000) >> 16));
  });
}

void add_parallel_particles(particle* p, int32_t n, int32_t spacing) {
  if (!p || n <= 0) return;
  const float vx = float(p->vx) / 256.0f, vy = float(p->vy) / 256.0f;
  const float len = std::sqrt(vx * vx + vy * vy);
  if (len == 0.0f) return;
  const float scale = float(spacing) / 256.0f;
  const int32_t ox = round_to_int(-vy / len * scale * 256.0f);
  const int32_t oy = round_to_int(vx / len * scale * 256.0f);
  for (int32_t k = 0; k < n; ++k) {
    for (int32_t side : {1, -1}) {
      const uint16_t c = alloc_particle();
      if (c == kNoRecord) continue;
      particle& q = particle_at(c);
      q.type = p->type;
      q.delay = p->delay;
      q.head_time = p->head_time;
      q.life = p->life;
      q.vx = p->vx;
      q.vy = p->vy;
      q.tail_glow = p->tail_glow;
      q.head_glow = p->head_glow;
      q.colour = p->colour;
      q.flags = p->flags & ~uint16_t(3);
      q.tail_x = q.head_x = clamp_int32(p->tail_x + int64_t(side) * (k + 1) * ox);
      q.tail_y = q.head_y = clamp_int32(p->tail_y + int64_t(side) * (k + 1) * oy);
    }
  }
}
