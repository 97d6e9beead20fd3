// Per-frame costs of the shoot-em-up's drawing and updates on the 768x768 canvas. After
// the usual table a second one gives each game operation's time as a share of the frame
// loop's own pacing target of 30 ms. Where a plain alternative exists it runs alongside:
// the aliased (Bresenham) line for the anti-aliased one, a scalar per-pixel add for the
// packed block add, memcpy rows for the view copy.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <random>
#include <vector>

#include "bench/frame_budget.h"
#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/draw_passes.h"
#include "pellax/game/render/render_glow.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/game/render/world_image.h"

namespace {

std::vector<uint16_t>& canvas() {
  static std::vector<uint16_t> c(kCanvasPixels, 0);
  return c;
}

struct line {
  int32_t x1, y1, x2, y2;
};

// 1,000 lines of a given length and major axis, in 24.8, inside the canvas.
std::vector<line> make_lines(int length_px, bool x_major) {
  std::mt19937 rng(1);
  std::uniform_int_distribution<int> pos(20 * 256, (740 - length_px) * 256);
  std::uniform_int_distribution<int> minor(0, length_px * 128);
  std::vector<line> lines;
  for (int i = 0; i < 1000; ++i) {
    const int x = pos(rng), y = pos(rng), m = minor(rng);
    lines.push_back(x_major ? line{x, y, x + length_px * 256, y + m}
                            : line{x, y, x + m, y + length_px * 256});
  }
  return lines;
}

void BM_draw_line(benchmark::State& state) {
  const auto lines = make_lines(int(state.range(0)), state.range(1) != 0);
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    state.PauseTiming();  // a clean canvas for each batch, not timed
    std::fill(canvas().begin(), canvas().end(), 0);
    state.ResumeTiming();
    for (const line& l : lines) draw_line(s, l.x1, l.y1, l.x2, l.y2, 0x0841);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(lines.size()));
}
BENCHMARK(BM_draw_line)->ArgsProduct({{8, 100, 500}, {1, 0}})->ArgNames({"px", "xmajor"});

void BM_bresenham_reference(benchmark::State& state) {
  const auto lines = make_lines(int(state.range(0)), state.range(1) != 0);
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    state.PauseTiming();
    std::fill(canvas().begin(), canvas().end(), 0);
    state.ResumeTiming();
    for (const line& l : lines) draw_line_additive_fx(s, l.x1, l.y1, l.x2, l.y2, 0x0841);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * int64_t(lines.size()));
}
BENCHMARK(BM_bresenham_reference)->ArgsProduct({{8, 100, 500}, {1, 0}})->ArgNames({"px", "xmajor"});

void BM_draw_text_glow_title(benchmark::State& state) {
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    draw_text_glow(s, "PELLAX", 224 + 23, 264 + 80, 0x1000, 6, 0x50, 0x32D0);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_draw_text_glow_title);

// Pools filled for the passes: 4,000 sparks in view, 200 objects of 150 segments.
void fill_pools() {
  static bool done = false;
  if (done) return;
  done = true;
  init_object_pools();
  build_glow_sprites();
  camera_x = 224 * 256;
  camera_y = 264 * 256;
  mt_seed_array(1);
  for (int i = 0; i < kParticleCount; ++i) {
    particle& p = particle_at(alloc_particle());
    p.flags = i % 10 == 0 ? 3 : 0;
    p.type = 1;
    p.delay = p.head_time = 0;
    p.life = 1 << 30;
    p.vx = random_range(-300, 300);
    p.vy = random_range(-300, 300);
    p.tail_glow = p.head_glow = uint16_t(i % 8);
    p.colour = 0xFFE0;
    p.tail_x = (240 + random_range(0, 280)) * 256;
    p.tail_y = (280 + random_range(0, 200)) * 256;
    p.head_x = p.tail_x + 6 * 256;
    p.head_y = p.tail_y + 3 * 256;
  }
  for (int i = 0; i < kObjectCount; ++i) {
    game_object& o = object_at(alloc_object());
    o.flags = kObjDrawn | kObjActive;
    o.kind = 5;
    o.x = (160 + random_range(0, 450)) * 256;
    o.y = (160 + random_range(0, 450)) * 256;
    o.scale = 256;
    o.angle = float(random_range(0, 1000)) * 6.283f / 1000.0f;
    o.segment_count = 0;
    for (int k = 0; k < 50; ++k) {
      const int32_t a = k * 1000, b = (k + 1) * 1000;
      o.model_x1[k] = random_range(-20, 20) * 256;
      o.model_y1[k] = random_range(-20, 20) * 256;
      o.model_x2[k] = o.model_x1[k] + (b - a) % 4000;
      o.model_y2[k] = o.model_y1[k] + 2000;
      o.colour_a[k] = 0xE186;
      o.colour_b[k] = k % 2 ? 0xE186 : 0x319E;
      o.segment_count = k + 1;
    }
    for (int k = 0; k < 50; ++k) add_parallel_segments(&o, k, 1, 150);
    transform_object(&o);
  }
}

void BM_draw_particles_4000(benchmark::State& state) {
  fill_pools();
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    draw_particles(s);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_draw_particles_4000);

void BM_update_particles_4000(benchmark::State& state) {
  fill_pools();
  tick_step = 896;
  for (auto _ : state) {
    update_particles();
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_update_particles_4000);

// The same pool when every other spark's life has run out: half of the records free
// themselves during the walk.
void BM_update_particles_4000_half_ending(benchmark::State& state) {
  fill_pools();
  tick_step = 896;
  for (auto _ : state) {
    state.PauseTiming();
    clear_particles();
    for (int i = 0; i < kParticleCount; ++i) {
      particle& p = particle_at(alloc_particle());
      p.type = 0;
      p.delay = p.head_time = 0;
      p.life = i % 2 ? 0 : 1 << 30;
      p.vx = p.vy = 100;
    }
    state.ResumeTiming();
    update_particles();
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_update_particles_4000_half_ending);

void BM_draw_objects_200x150(benchmark::State& state) {
  fill_pools();
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    draw_objects(s);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_draw_objects_200x150);

void BM_transform_objects_200x150(benchmark::State& state) {
  fill_pools();
  for (auto _ : state) {
    for (int i = 0; i < kObjectCount; ++i) {
      object_at(uint16_t(i)).angle += 0.01f;
      transform_object(&object_at(uint16_t(i)));
    }
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_transform_objects_200x150);

std::vector<uint16_t> random_block(size_t n) {
  std::mt19937 rng(5);
  std::vector<uint16_t> v(n);
  for (auto& x : v) x = uint16_t(rng());
  return v;
}

void BM_blend_add_block(benchmark::State& state) {
  const auto src = random_block(400);
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    blend_add_block(s + 300 * kCanvasSize + 300, src.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 400);
}
BENCHMARK(BM_blend_add_block);

void BM_blend_add_block_scalar_reference(benchmark::State& state) {
  const auto src = random_block(400);
  uint16_t* s = canvas().data() + 300 * kCanvasSize + 300;
  for (auto _ : state) {
    for (int r = 0; r < 20; ++r)
      for (int c = 0; c < 20; ++c) s[r * kCanvasSize + c] = add_saturate(s[r * kCanvasSize + c], src[r * 20 + c]);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 400);
}
BENCHMARK(BM_blend_add_block_scalar_reference);

void BM_draw_glow_ring(benchmark::State& state) {
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    draw_glow(s, 384 * 256 + 77, 384 * 256 + 33);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_draw_glow_ring);

void ensure_world() {
  if (!world_image) {
    world_image_mode = 1;
    build_world_image(0, 0);
    world_image_mode = 0;
  }
}

void BM_draw_world_view(benchmark::State& state) {
  ensure_world();
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    draw_world(s, 224, 264);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_draw_world_view);

void BM_view_copy_memcpy_reference(benchmark::State& state) {
  ensure_world();
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    for (int r = 0; r < 240; ++r)
      std::memcpy(s + (264 + r) * kCanvasSize + 224, world_image + (264 + r) * kCanvasSize + 224, 640);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_view_copy_memcpy_reference);

void BM_fade_canvas_to_world(benchmark::State& state) {
  ensure_world();
  uint16_t* s = canvas().data();
  for (auto _ : state) {
    fade_canvas_to_world(s, 224, 264);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_fade_canvas_to_world);

void BM_fade_world_image(benchmark::State& state) {
  ensure_world();
  for (auto _ : state) {
    fade_world_image();
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_fade_world_image);

void BM_build_world_image_level(benchmark::State& state) {
  ensure_world();
  mt_seed_array(1);
  for (auto _ : state) {
    build_world_image(2, 23);
    benchmark::ClobberMemory();
  }
}
BUDGET_BENCHMARK(BM_build_world_image_level);

}  // namespace

int main(int argc, char** argv) { return budget::Main(argc, argv, {0.030, "30 ms", "6 M"}); }
