// The game's state for a unit test: fresh pools with the ship placed in the middle of the
// arena, the run variables of a playing frame, a fixed seed and an empty audio record.
#pragma once

#include <gtest/gtest.h>

#include "pellax/base/random.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/player_ship.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/stage_director.h"
#include "pellax/game/flow/game_flow.h"
#include "pellax/game/frame/frame_loop.h"
#include "pellax/game/play/high_scores.h"
#include "pellax/game/play/play_update.h"
#include "tests/support/pellax_audio_double.h"

class GameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    reset_frame_loop_state();
    mt_seed(1234);
    ASSERT_EQ(init_object_pools(), 0);
    audio_standin_reset();
    stage_reset();
    stage_begin();
    difficulty_level = 2;
    game_speed = 1.6f;
    shape_scale = 160;
    game_state = kStatePlaying;
    frame_time = 3.0f;
    tick_step = 896;
    lives = 5;
    shield_energy = 256000;
    create_player_ship();
    camera_x = 224 * 256;
    camera_y = 264 * 256;
    place_player_ship_centre();
    audio_events().clear();
    load_default_scores();
  }
  void TearDown() override {
    free_object_pools();
    player_object = nullptr;
  }
  static void load_default_scores() {
    high_score_table.count = 6;
    const char* names[6] = {"KWO", "TAM", "RUV", "LIB", "NOX", "FEP"};
    for (int i = 0; i < 6; ++i) {
      for (int k = 0; k < 4; ++k) high_score_table.initials[i][k] = k < 3 ? names[i][k] : '\0';
      high_score_table.scores[i] = 60000 - 10000 * i;
    }
  }
  // The newest object of a kind spawned at (x, y) pixels (null when the pool was full).
  static game_object* spawn_at(int32_t kind, int32_t x, int32_t y) {
    const uint16_t before = object_pool->heads[kObjectUsed];
    spawn_kind(kind, x * 256, y * 256);
    const uint16_t head = object_pool->heads[kObjectUsed];
    return head == before ? nullptr : &object_at(head);
  }
  // Ends an object's warp-in, so that it stands at full size.
  static void settle(game_object* o) {
    enemy_update(o, 12800 + 1);
  }
  // The newest object of a kind spawned at (x, y) pixels, past its warp-in.
  static game_object* spawn_settled(int32_t kind, int32_t x, int32_t y) {
    game_object* o = spawn_at(kind, x, y);
    settle(o);
    return o;
  }
  static int used_objects() {
    int n = 0;
    for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next) ++n;
    return n;
  }
  static int count_kind(int kind) {
    int n = 0;
    for (uint16_t i = object_pool->heads[kObjectUsed]; i != kNoRecord; i = object_at(i).link.next)
      n += object_at(i).kind == kind;
    return n;
  }
  // A player shot at (x, y) pixels flying up.
  static game_object* shot_at(int32_t x, int32_t y) {
    game_object& ship = *player_object;
    const int32_t sx = ship.x, sy = ship.y;
    const float sa = ship.angle;
    ship.x = x * 256;
    ship.y = y * 256 + 20 * 256;
    ship.angle = 0.0f;
    fire_player_shot();
    ship.x = sx;
    ship.y = sy;
    ship.angle = sa;
    return &object_at(object_pool->heads[kObjectUsed]);
  }
};
