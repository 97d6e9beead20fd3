// Every drawing primitive, object helper and update step fed the extremes of its integer
// arguments and the longest frame step the timer can give. Run under the sanitizers these
// show any signed overflow; the checks below pin the values that a wrap would get wrong.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <vector>

#include "tests/pellax/game/canvas_fixture.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/particles.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/game/render/render_glow.h"
#include "pellax/game/render/render_lines.h"
#include "pellax/game/render/score_popups.h"
#include "pellax/game/render/stroke_font.h"
#include "pellax/game/render/world_image.h"

namespace {

// Coordinates in pixels or 24.8 alike: the ends of the range, the far-line limits and a
// few places on and just off the canvas.
const int32_t kCoordinates[] = {INT32_MIN,   INT32_MIN + 1, -(1 << 24) - 1, -1000000, -1, 0,
                                384,         767,           768,            1 << 24,  1 << 30,
                                INT32_MAX - 1, INT32_MAX};
// Sizes, scales and spacings.
const int32_t kSizes[] = {INT32_MIN, -256, -1, 0, 1, 80, 0x300, 514, 1 << 20, INT32_MAX};

// The longest game step: the timer's whole period (about 583 s) in its 0.1 ms units.
constexpr uint32_t kLongestStep = 5830000;

class ExtremesTest : public CanvasTest {
 protected:
  void SetUp() override {
    CanvasTest::SetUp();
    ASSERT_EQ(init_object_pools(), 0);
    build_glow_sprites();
  }
  void TearDown() override {
    free_object_pools();
    player_object = nullptr;
    free_world_image();
    tick_step = 0;
    frame_time = 0.0f;
    camera_x = camera_y = 0;
    CanvasTest::TearDown();
  }
};

}  // namespace

TEST_F(ExtremesTest, LinesAndOutlinesAtEveryExtremeStayOnTheCanvas) {
  for (int32_t a : kCoordinates)
    for (int32_t b : kCoordinates)
      for (int32_t c : kCoordinates) {
        for (int32_t d : {INT32_MIN, -1, 0, 767, INT32_MAX}) {
          draw_line(canvas, a, b, c, d, 0x1234);
          draw_line_gradient(canvas, a, b, c, d, 0x1234, 0x4321);
          draw_line_additive_fx(canvas, a, b, c, d, 0x0841);
        }
        draw_line_additive(canvas, a, b, c, 5, 0x0841);
        draw_arrow(canvas, a, b, c, 0);
        draw_arrow(canvas, 0, a, b, c);
      }
  for (int32_t a : kCoordinates)
    for (int32_t b : kCoordinates)
      for (int32_t w : kSizes)
        for (int32_t h : {INT32_MIN, 0, 514, INT32_MAX})
          draw_rect_outline(canvas, a, b, w, h, 0x1111);
}

TEST_F(ExtremesTest, GlowLinesAndSpritesAtEveryExtremeStayOnTheCanvas) {
  for (int32_t a : kCoordinates)
    for (int32_t b : kCoordinates) {
      for (int32_t spacing : kSizes) {
        draw_glow_line(canvas, a, b, 100 * 256, 100 * 256, 2, spacing, 0x0841);
        draw_glow_line(canvas, 100 * 256, a, b, 100 * 256, 3, spacing, 0x0841);
      }
      draw_glow_sprite(canvas, a, b, glow_sprites[0]);
      draw_glow(canvas, a, b);
      blend_sprite_additive(canvas, a, b, glow_sprites[1], kGlowSpriteSize, kGlowSpriteSize);
    }
}

TEST_F(ExtremesTest, TextAtEveryExtremeStaysOnTheCanvas) {
  const char* text = "A0Z W!";
  for (int32_t a : kCoordinates)
    for (int32_t b : kCoordinates)
      for (int32_t scale : kSizes) {
        draw_text(canvas, text, a, b, scale, 0x0841);
        draw_text_fx(canvas, text, a, b, scale, 0x0841);
        draw_text_glow(canvas, text, a, b, scale, 2, 80, 0x0841);
      }
  for (int32_t scale : kSizes)
    for (int32_t spacing : kSizes) draw_text_glow(canvas, text, 10, 10, scale, 2, spacing, 0x0841);
  // Extents of a long text at the largest scale are held at the 32-bit range, not wrapped.
  std::vector<char> long_text(1000, 'W');
  long_text.back() = '\0';
  int32_t w = 0, h = 0;
  text_extent(long_text.data(), INT32_MAX, &w, &h);
  EXPECT_EQ(w, INT32_MAX);
  EXPECT_EQ(h, INT32_MAX);
  text_extent(long_text.data(), INT32_MIN, &w, &h);
  EXPECT_EQ(w, INT32_MIN);
  text_extent_fx(long_text.data(), INT32_MAX, &w, &h);
  EXPECT_EQ(w, INT32_MAX);
  EXPECT_EQ(h, int32_t((4 * int64_t(INT32_MAX)) >> 8));
}

TEST_F(ExtremesTest, WorldWindowAndFadesAtEveryExtremeStayInside) {
  build_world_image(0, 0);
  ASSERT_NE(world_image, nullptr);
  for (int32_t a : kCoordinates) {
    world_add_pixel(a, 0x0841);
    for (int32_t b : kCoordinates) {
      fade_canvas_to_world(canvas, a, b);
      draw_world(canvas, a, b);
      for (int32_t w : {INT32_MIN, 0, 320, INT32_MAX}) {
        copy_world_window(canvas, a, b, 0, 0, w, w);
        copy_world_window(canvas, 0, 0, a, b, w, 240);
        copy_world_window(canvas, a, 0, 0, b, 320, w);
        world_rect_outline(a, b, w, w, 0xFFFF);
      }
    }
  }
}

TEST_F(ExtremesTest, ObjectTransformHoldsFarSegmentsAtTheRangeInsteadOfWrapping) {
  game_object& o = object_at(alloc_object());
  o.kind = 5;
  o.segment_count = 1;
  struct transform_case {
    int32_t x, y;
    float angle;
    int32_t scale;
    int32_t world_x, world_y;
  };
  const transform_case cases[] = {
      {INT32_MAX, 0, 0.0f, 512, INT32_MAX, 0},
      {INT32_MIN, INT32_MAX, 0.0f, 512, INT32_MIN, INT32_MAX},
      {INT32_MAX, INT32_MAX, 0.0f, -512, INT32_MIN, INT32_MIN},
      {INT32_MAX, INT32_MIN, 0.0f, INT32_MAX, INT32_MAX, INT32_MIN},
      {INT32_MAX, INT32_MAX, 0.7853982f, 0, 0, INT32_MAX},  // diagonal: y reaches sqrt 2
      {INT32_MIN, INT32_MIN, 3.1415927f, 0, INT32_MAX, INT32_MAX},
      {1000, -2000, 0.0f, INT32_MIN, INT32_MIN, INT32_MAX},
  };
  for (const transform_case& t : cases) {
    o.model_x1[0] = o.model_x2[0] = t.x;
    o.model_y1[0] = o.model_y2[0] = t.y;
    o.angle = t.angle;
    o.scale = t.scale;
    transform_object(&o);
    EXPECT_NEAR(double(o.world_x1[0]), double(t.world_x), 1e7) << t.x << "," << t.y;
    EXPECT_NEAR(double(o.world_y1[0]), double(t.world_y), 1e7) << t.x << "," << t.y;
    EXPECT_EQ(o.world_x2[0], o.world_x1[0]);
    EXPECT_LE(o.min_x, o.world_x1[0]);
    EXPECT_GE(o.max_x, o.world_x1[0]);
  }
}

TEST_F(ExtremesTest, ObjectHelpersAtEveryExtremeKeepTheirSigns) {
  for (int32_t a : kCoordinates)
    for (int32_t b : kCoordinates)
      for (int32_t spacing : {INT32_MIN, 150, INT32_MAX}) {
        game_object& o = object_at(alloc_object());
        o.segment_count = 1;
        o.model_x1[0] = a;
        o.model_y1[0] = b;
        o.model_x2[0] = b;
        o.model_y2[0] = a;
        add_parallel_segments(&o, 0, 40, spacing);
        free_object(object_index(&o));
      }
  // Far apart objects closing on each other still push apart along their true normal.
  game_object& a = object_at(alloc_object());
  game_object& b = object_at(alloc_object());
  a.mass = b.mass = 1.0f;
  for (int32_t ax : kCoordinates)
    for (int32_t bx : kCoordinates) {
      a.x = ax;
      b.x = bx;
      a.y = b.y = 0;
      a.vx = 1.0f;
      b.vx = -1.0f;
      a.vy = b.vy = 0.0f;
      collide_objects(&a, &b);
      // Closing head-on with equal masses: both stop. Otherwise they move apart (or lie
      // on one spot) and keep their speeds.
      EXPECT_FLOAT_EQ(a.vx, bx > ax ? 0.0f : 1.0f) << ax << " " << bx;
      EXPECT_FLOAT_EQ(b.vx, bx > ax ? 0.0f : -1.0f) << ax << " " << bx;
    }
  // A motion step never wraps a position round to the other side.
  frame_time = float(kLongestStep) / 100.0f;
  for (int32_t x : kCoordinates)
    for (float v : {-1.0e9f, -3.0f, 0.0f, 3.0f, 1.0e9f}) {
      a.x = x;
      a.y = x;
      a.vx = a.vy = v;
      step_object_motion(object_index(&a));
      if (v > 0.0f) {
        EXPECT_GE(a.x, x);
      }
      if (v < 0.0f) {
        EXPECT_LE(a.x, x);
      }
    }
  // Spawn points near a ship or a camera anywhere.
  player_object = &b;
  b.vx = 2.0f;
  b.vy = 0.0f;
  for (int32_t x : kCoordinates)
    for (int32_t c : kCoordinates) {
      b.x = b.y = x;
      camera_x = camera_y = c;
      int32_t sx = 0, sy = 0;
      pick_spawn_position(&sx, &sy);
      EXPECT_GE(sx, 0x9E01);
      EXPECT_LE(sx, 0x261FF);
      EXPECT_GT(sy, 0x9E00);
      EXPECT_LE(sy, 0x261FF);
    }
}

TEST_F(ExtremesTest, TheLongestFrameStepFadesAndMovesWithoutOverflow) {
  tick_step = tick_step_for(kLongestStep);
  frame_time = float(kLongestStep) / 100.0f;
  ASSERT_GT(tick_step, 14000000);
  struct particle_case {
    int32_t vx, life, x;
  };
  const particle_case cases[] = {
      {512, 2560, 100 * 256},        {-512, INT32_MAX, 100 * 256}, {INT32_MAX, INT32_MAX, 0},
      {INT32_MIN, INT32_MAX, INT32_MIN + 1}, {3000, INT32_MAX, INT32_MAX - 5},
  };
  for (const particle_case& c : cases) {
    particle& p = particle_at(alloc_particle());
    p.type = 1;
    p.colour = 0xFFFF;
    p.delay = 0;
    p.head_time = 256;
    p.life = c.life;
    p.vx = p.vy = c.vx;
    p.tail_x = p.head_x = p.tail_y = p.head_y = c.x;
    update_particles();
    EXPECT_EQ(p.colour, 0) << c.vx;  // the longest step fades any colour away
    if (c.vx > 0) {
      EXPECT_GE(p.head_x, c.x);
    }
    if (c.vx < 0) {
      EXPECT_LE(p.head_x, c.x);
    }
    add_parallel_particles(&p, 30, INT32_MAX);
    add_parallel_particles(&p, 30, INT32_MIN);
  }
  score_popup& s = popup_at(alloc_score_popup());
  s.size = 0x300;
  s.grow_time = INT32_MAX;
  s.grow_rate = INT32_MAX;
  s.hold_time = 0;
  s.shrink_rate = INT32_MAX;
  update_score_popups();
  draw_score_popups(canvas);
}
