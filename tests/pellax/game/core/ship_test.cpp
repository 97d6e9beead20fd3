// The player's ship: motion under the stick, the fire rate, the shield's energy, the
// exhaust and the camera.
#include <cmath>
#include <random>

#include "pellax/game/core/particles.h"
#include "pellax/platform/input.h"
#include "tests/pellax/game/game_fixture.h"

namespace {

using ShipTest = GameTest;

float speed_of(const game_object& o) { return std::sqrt(o.vx * o.vx + o.vy * o.vy); }

void frames(int n, int32_t stick, uint32_t buttons = 0) {
  for (int i = 0; i < n; ++i) {
    ++frame_counter;
    stick_direction = stick;
    held_buttons = buttons;
    update_player_ship(0);
  }
}

TEST_F(ShipTest, ThrustIsCappedAtOneAndAHalfAndKeptWithoutDrag) {
  frames(200, 1);
  EXPECT_NEAR(speed_of(*player_object), 1.5f, 1e-4f);
  EXPECT_NEAR(player_object->vy, -1.5f, 1e-4f);  // angle 0: nose up
  frames(50, 0);
  EXPECT_NEAR(speed_of(*player_object), 1.5f, 1e-4f);
  frames(50, 13);  // turning only
  EXPECT_NEAR(speed_of(*player_object), 1.5f, 1e-4f);
}

TEST_F(ShipTest, StickCodesTurnThrustAndBrake) {
  struct row {
    int32_t code;
    float turn;       // per time unit
    bool thrusts;
    float spray;
  };
  const row rows[] = {{0, 0, false, 0},          {1, 0, true, 0.03f},       {2, 0, true, 0.03f},
                      {16, 0, true, 0.03f},      {3, -0.032f, true, 0.02f}, {5, -0.064f, false, 0},
                      {7, -0.032f, false, 0},    {9, 0, false, 0},          {11, 0.032f, false, 0},
                      {13, 0.064f, false, 0},    {15, 0.032f, true, 0.02f}, {17, 0, false, 0}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.code);
    player_object->angle = 0.0f;
    player_object->vx = player_object->vy = 0.0f;
    audio_events().clear();
    frames(1, r.code);
    EXPECT_NEAR(player_object->angle, r.turn * frame_time, 1e-6f);
    EXPECT_EQ(speed_of(*player_object) > 0.0f, r.thrusts);
    EXPECT_FLOAT_EQ(thrust_spray, r.spray);
    EXPECT_EQ(audio_events().back().name, "loop_sound_level");
    EXPECT_EQ(audio_events().back().arg, int32_t(r.spray * 8000.0f));
  }
}

TEST_F(ShipTest, BrakingBelowTheFramesAmountStopsDead) {
  player_object->vx = 0.05f;  // the brake takes 0.03 x 3 = 0.09 this frame
  frames(1, 9);
  EXPECT_EQ(player_object->vx, 0.0f);
  player_object->vx = 1.0f;
  frames(1, 9);
  EXPECT_NEAR(player_object->vx, 0.91f, 1e-5f);
}

TEST_F(ShipTest, HeldFireShootsEveryFifthFrameButNotShieldedOrPaused) {
  struct row {
    const char* name;
    int32_t shield, pause;
    int shots;
  };
  const row rows[] = {{"free", 0, 0, 5}, {"shield", 1, 0, 0}, {"respawn pause", 0, 1, 0}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.name);
    SetUp();
    shield_on = r.shield;
    respawn_pause = r.pause;
    frame_counter = 0;
    last_shot_frame = -100;
    frames(21, 0, kButtonB);
    EXPECT_EQ(count_kind(2), r.shots);
    EXPECT_EQ(audio_event_count("sfx_play", 1), r.shots);
    TearDown();
  }
  SetUp();
}

TEST_F(ShipTest, AFullPoolMakesNoShotNoSoundAndStillRestartsTheInterval) {
  while (alloc_object() != kNoRecord) {
  }
  frame_counter = 10;
  last_shot_frame = 0;
  held_buttons = kButtonR;
  update_player_ship(0);
  EXPECT_EQ(last_shot_frame, 10);
  EXPECT_EQ(audio_event_count("sfx_play"), 0);
}

TEST_F(ShipTest, ShotStartsAheadOfTheNoseAtFourPixelsPerUnit) {
  player_object->angle = 1.5707964f;  // nose to the right
  player_object->vx = 1.0f;
  fire_player_shot();
  const game_object& s = object_at(object_pool->heads[kObjectUsed]);
  EXPECT_EQ(s.kind, 2);
  EXPECT_EQ(s.x - player_object->x, 20 * 256);
  EXPECT_NEAR(s.vx, 4.0f, 1e-5f);  // without the ship's velocity
  EXPECT_NEAR(s.vy, 0.0f, 1e-5f);
  EXPECT_EQ(s.segment_count, 9);
  EXPECT_EQ(s.hit_count, 3);
}

TEST_F(ShipTest, ShieldCostsEnergyAndNeverGoesBelowEmpty) {
  struct row {
    int32_t energy, step;
    uint32_t buttons;
    int32_t on, after;
  };
  const row rows[] = {{256000, 896, kButtonY, 1, 256000 - 1194},
                      {1000, 896, kButtonY, 1, 0},      // 896 x 4 / 3 would pass below 0
                      {500, 896, kButtonY, 1, 0},       // the step exceeds what is left
                      {0, 896, kButtonY, 0, 0},         // empty: no shield
                      {256000, 896, 0, 0, 256000}};     // Y not held
  for (const row& r : rows) {
    SCOPED_TRACE(r.energy);
    shield_energy = r.energy;
    shield_on = 0;
    tick_step = r.step;
    shield_step(r.buttons);
    EXPECT_EQ(shield_on, r.on);
    EXPECT_EQ(shield_energy, r.after);
  }
}

TEST_F(ShipTest, ShieldGivesTheShipAnEighteenPixelBox) {
  shield_on = 1;
  transform_object(player_object);
  EXPECT_EQ(player_object->min_x, -4608);
  EXPECT_EQ(player_object->max_y, 4608);
}

TEST_F(ShipTest, RespawnPauseEndsAfterThreeHundredTicksOfUpdates) {
  respawn_pause = 1;
  respawn_timer = 0;
  frames(85, 0);  // 85 x 896 = 76160
  EXPECT_EQ(respawn_pause, 1);
  frames(1, 0);
  EXPECT_EQ(respawn_pause, 0);
}

TEST_F(ShipTest, ExhaustFollowsThrustAndTheFrameTime) {
  struct row {
    float frame;
    int32_t stick;
    int sparks;
  };
  // n = frame time x spray x 500, rounded.
  const row rows[] = {{3.0f, 1, 45}, {3.0f, 3, 30}, {3.0f, 0, 0}, {0.02f, 1, 0}};
  for (const row& r : rows) {
    SCOPED_TRACE(r.frame);
    clear_particles();
    frame_time = r.frame;
    tick_step = int32_t((r.frame + 0.5f) * 256.0f + 0.5f);
    frames(1, r.stick);
    int n = 0;
    walk_particles([&](uint16_t i) {
      ++n;
      const particle& p = particle_at(i);
      EXPECT_EQ(p.colour >> 11, 31);
      EXPECT_GE((p.colour >> 5) & 63, 54);
      EXPECT_GE(p.colour & 31, 26);
    });
    EXPECT_EQ(n, r.sparks);
  }
}

// The sparks of the idle exhaust, each from its draws in the listed order: green, blue,
// delay, speed, two spreads, life; a mirror of the generator says what each draw gives.
TEST_F(ShipTest, ExhaustSparksTakeTheirDrawsInOrder) {
  clear_particles();
  init_object_pools();  // particles then come in index order
  create_player_ship();
  game_object& o = *player_object;
  o.x = 400 * 256;
  o.y = 300 * 256;
  o.angle = 0.5f;
  transform_object(&o);
  const float point_x = 400.0f - 9.0f * std::sin(0.5f), point_y = 300.0f + 9.0f * std::cos(0.5f);
  exhaust_prev_x = point_x;  // no motion: the rates are 0
  exhaust_prev_y = point_y;
  frame_time = 3.0f;
  tick_step = 896;
  mt_seed(4321);
  std::mt19937 mirror(4321);
  auto range = [&](int32_t lo, int32_t hi) { return int32_t(uint32_t(lo) + mirror() % uint32_t(hi - lo)); };
  update_player_ship(1);
  EXPECT_FLOAT_EQ(thrust_spray, 0.05f);
  int32_t n = 0;
  walk_particles([&](uint16_t) { ++n; });
  ASSERT_EQ(n, 75);  // 3 x 0.05 x 500
  for (uint16_t k = 0; k < 75; ++k) {
    SCOPED_TRACE(k);
    const particle& p = particle_at(k);
    const uint32_t green = 54 + mirror() % 10, blue = 26 + mirror() % 6;
    const int32_t delay = range(0, 896), speed = range(-30, 30);
    const int32_t spread1 = range(-1000, 1000), spread2 = range(-1000, 1000);
    const int32_t life = range(-3, 3);
    EXPECT_EQ(p.colour, 0xF800 | (green << 5) | blue);
    EXPECT_EQ(p.type, 1);
    EXPECT_EQ(p.flags, 0);
    EXPECT_EQ(p.delay, delay);
    EXPECT_EQ(p.tail_x, p.head_x);
    EXPECT_NEAR(p.tail_x, point_x * 256.0f, 1.0f);
    EXPECT_NEAR(p.tail_y, point_y * 256.0f, 1.0f);
    const float sp = float(100 + speed) * 0.05f;
    const float a = 0.5f + float(spread1) / 4000.0f + float(spread2) / 4000.0f;
    EXPECT_NEAR(p.vx, -sp * std::sin(a) * 400.0f, 1.0f);  // backwards from the nose
    EXPECT_NEAR(p.vy, sp * std::cos(a) * 400.0f, 1.0f);
    EXPECT_EQ(p.head_time, 768);
    EXPECT_EQ(p.life, (20 + life) << 8);
  }
}

TEST_F(ShipTest, TheFirstExhaustHasNoPointRate) {
  // The ship far from where its previous exhaust point would be: the first sparks still
  // start at the exhaust point, not smeared back towards (0, 0).
  player_object->x = 400 * 256;
  player_object->y = 400 * 256;
  exhaust_prev_x = exhaust_prev_y = 0.0f;
  tick_step = 896;
  frames(1, 1);
  walk_particles([&](uint16_t i) {
    const particle& p = particle_at(i);
    EXPECT_NEAR(p.tail_x / 256.0, 400.0, 2.0);
    EXPECT_NEAR(p.tail_y / 256.0, 409.0, 2.0);
  });
}

TEST_F(ShipTest, CameraFollowsAndIsHeldInsideTheWorld) {
  struct row {
    int32_t ship_x, ship_y, cam_x, cam_y, want_x, want_y;
  };
  const row rows[] = {{0, 0, 22100, 22100, 22016, 22016},
                      {700 * 256, 700 * 256, 92000, 113000, 92416, 112896},
                      {384 * 256, 384 * 256, 224 * 256, 264 * 256, 224 * 256, 264 * 256}};
  for (const row& r : rows) {
    player_object->x = r.ship_x;
    player_object->y = r.ship_y;
    camera_x = r.cam_x;
    camera_y = r.cam_y;
    update_camera();
    EXPECT_EQ(camera_x, r.want_x);
    EXPECT_EQ(camera_y, r.want_y);
  }
}

TEST_F(ShipTest, CentrePlacementUsesTheWorldRowInLevelEleven) {
  camera_y = 300 * 256;
  level_number = 11;
  place_player_ship_centre();
  EXPECT_EQ(player_object->y, 160 * 256);
  level_number = 0;
  place_player_ship_centre();
  EXPECT_EQ(player_object->y, 420 * 256);
  EXPECT_EQ(player_object->flags, kObjDrawn);
}

}  // namespace
