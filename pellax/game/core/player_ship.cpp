#include "pellax/game/core/player_ship.h"

#include <cmath>
#include <cstring>

#include "pellax/base/fixed_math.h"
#include "pellax/base/random.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/platform/audio.h"
#include "pellax/platform/input.h"

int32_t last_shot_frame = 0;
float thrust_spray = 0.0f;
float turn_step = 0.0f;
float brake_step = 0.0f;
float exhaust_prev_x = 0.0f, exhaust_prev_y = 0.0f;
int32_t stick_direction = 0;
uint32_t held_buttons = 0;

const int32_t kShipModel[14][4] = {
    {-16, -12, 0, -20}, {0, -20, 16, -12}, {-8, -4, -16, -12}, {8, -4, 16, -12}, {-8, -4, 0, -8},
    {8, -4, 0, -8},     {-8, 4, -8, -4},   {8, 4, 8, -4},      {-8, 4, 0, 0},     {8, 4, 0, 0},
    {-16, 20, -8, 4},   {16, 20, 8, 4},    {-16, 20, 0, 12},   {16, 20, 0, 12}};

namespace {

const int32_t kShotModel[3][4] = {{-4, 6, 0, -6}, {0, -6, 4, 6}, {4, 6, -4, 6}};
const int32_t kShipHitSegments[] = {0, 1, 2, 3, 6, 7, 10, 11, 12, 13};

// Clears a record but its list links.
void clear_record(game_object& o) {
  const pool_links link = o.link;
  std::memset(static_cast<void*>(&o), 0, sizeof o);
  o.link = link;
}

void load_model(game_object& o, const int32_t (*rows)[4], int32_t n, uint16_t colour) {
  for (int32_t i = 0; i < n; ++i) {
    o.model_x1[i] = o.world_x1[i] = rows[i][0] * kShipScale;
    o.model_y1[i] = o.world_y1[i] = rows[i][1] * kShipScale;
    o.model_x2[i] = o.world_x2[i] = rows[i][2] * kShipScale;
    o.model_y2[i] = o.world_y2[i] = rows[i][3] * kShipScale;
    o.colour_a[i] = o.colour_b[i] = colour;
  }
  o.segment_count = n;
}

struct stick_row {
  float thrust, turn, brake, spray;
};

stick_row stick_effect(int32_t code) {
  switch (code) {
    case 1: case 2: case 16: return {0.0225f, 0.0f, 0.0f, 0.03f};
    case 3: return {0.015f, -0.032f, 0.0f, 0.02f};
    case 4: case 5: case 6: return {0.0f, -0.064f, 0.0f, 0.0f};
    case 7: return {0.0f, -0.032f, 0.02f, 0.0f};
    case 8: case 9: case 10: return {0.0f, 0.0f, 0.03f, 0.0f};
    case 11: return {0.0f, 0.032f, 0.02f, 0.0f};
    case 12: case 13: case 14: return {0.0f, 0.064f, 0.0f, 0.0f};
    case 15: return {0.015f, 0.032f, 0.0f, 0.02f};
    default: return {0.0f, 0.0f, 0.0f, 0.0f};
  }
}

void place_tail(int32_t x, int32_t y, float angle) {
  game_object& o = *player_object;
  o.x = x;
  o.y = y;
  o.angle = angle;
  o.flags = kObjDrawn;
  thrust_spray = 0.0f;
  loop_sound_level(0);
  o.vx = o.vy = 0.0f;
  transform_object(&o);
}

// The sparks behind the ship; old_angle gives the turn of the frame.
void exhaust(float old_angle) {
  const game_object& o = *player_object;
  const float point_x = float(o.x) / 256.0f - 9.0f * std::sin(o.angle);
  const float point_y = float(o.y) / 256.0f + 9.0f * std::cos(o.angle);
  if (exhaust_prev_x == 0.0f) {
    exhaust_prev_x = point_x;
    exhaust_prev_y = point_y;
  }
  // A step without time has no rates (and the step never runs one).
  const bool timed = frame_time > 0.0f;
  const float rate_x = timed ? (point_x - exhaust_prev_x) / frame_time : 0.0f;
  const float rate_y = timed ? (point_y - exhaust_prev_y) / frame_time : 0.0f;
  const float rate_a = timed ? (o.angle - old_angle) / frame_time : 0.0f;
  exhaust_prev_x = point_x;
  exhaust_prev_y = point_y;
  if (thrust_spray == 0.0f) return;
  const int32_t n = round_to_int(frame_time * thrust_spray * 500.0f);
  for (int32_t k = 0; k < n; ++k) {
    const uint16_t i = alloc_particle();
    if (i == kNoRecord) continue;
    particle& p = particle_at(i);
    p.flags = 0;
    p.type = 1;
    p.tail_glow = p.head_glow = 0;
    const uint16_t green = uint16_t(54 + random_below(10));
    const uint16_t blue = uint16_t(26 + random_below(6));
    p.colour = uint16_t(0xF800 | (green << 5) | blue);
    const int32_t d = random_range(0, tick_step);
    p.delay = d;
    const float back = float(d) / 256.0f;
    p.tail_x = p.head_x = round_to_int((point_x + back * rate_x) * 256.0f);
    p.tail_y = p.head_y = round_to_int((point_y + back * rate_y) * 256.0f);
    const int32_t speed_draw = random_range(-30, 30);
    const float s = float(100 + speed_draw) * thrust_spray;
    const int32_t spread1 = random_range(-1000, 1000);
    const int32_t spread2 = random_range(-1000, 1000);
    const float a = o.angle + back * rate_a + float(spread1) / 4000.0f + float(spread2) / 4000.0f;
    p.vx = int32_t(-s * std::sin(a) * 400.0f);
    p.vy = int32_t(s * std::cos(a) * 400.0f);
    p.head_time = 768;
    const int32_t life_draw = random_range(-3, 3);
    p.life = (20 + life_draw) << 8;
  }
}

}  // namespace

void create_player_ship() {
  const uint16_t i = alloc_object_slot();
  if (i == kNoRecord) return;
  game_object& o = object_at(i);
  clear_record(o);
  o.kind = 1;
  o.flags = 0;
  o.mass = 10.0f;
  load_model(o, kShipModel, 14, 0xFFFF);
  o.hit_count = 10;
  for (int32_t k = 0; k < 10; ++k) o.hit_list[k] = kShipHitSegments[k];
  for (int32_t k = 0; k < 14; ++k) add_parallel_segments(&o, k, 1, kShipScale * 5 / 6);
  transform_object(&o);
  player_object = &o;
  exhaust_prev_x = exhaust_prev_y = 0.0f;
}

void place_player_ship() {
  if (player_object) place_tail(camera_x + 270 * 256, camera_y + 40 * 256, 1.0f);
}

void place_player_ship_low() {
  if (player_object) place_tail(camera_x, camera_y + 240 * 256, 1.0f);
}

int32_t place_player_ship_centre() {
  if (player_object)
    place_tail(camera_x + 160 * 256, level_number == 11 ? 160 * 256 : camera_y + 120 * 256, 0.0f);
  return 1;
}

void hide_player_ship() {
  if (player_object) player_object->flags = 0;
}

void update_player_ship(int32_t idle) {
  if (!player_object) return;
  game_object& o = *player_object;
  if (idle) {
    thrust_spray = 0.05f;
    exhaust(o.angle);
    return;
  }
  const stick_row row = stick_effect(stick_direction);
  thrust_spray = row.spray;
  loop_sound_level(int32_t(thrust_spray * 8000.0f));
  const float thrust = row.thrust * frame_time;
  turn_step = row.turn * frame_time;
  brake_step = row.brake * frame_time;
  const float old_angle = o.angle;
  o.angle += turn_step;
  if (brake_step == 0.0f) {
    o.vx += thrust * std::sin(o.angle);
    o.vy += -thrust * std::cos(o.angle);
  } else {
    const float speed = std::sqrt(o.vx * o.vx + o.vy * o.vy);
    if (speed < brake_step) {
      o.vx = o.vy = 0.0f;
    } else {
      o.vx *= 1.0f - brake_step / speed;
      o.vy *= 1.0f - brake_step / speed;
    }
  }
  const float speed = std::sqrt(o.vx * o.vx + o.vy * o.vy);
  if (speed > 1.5f) {
    o.vx *= 1.5f / speed;
    o.vy *= 1.5f / speed;
  }
  o.x += round_to_int(o.vx * frame_time * 256.0f);
  o.y += round_to_int(o.vy * frame_time * 256.0f);
  if (respawn_pause && !player_dead) {
    respawn_timer += tick_step;
    if (respawn_timer > 76800) respawn_pause = 0;
  }
  transform_object(&o);
  if (!respawn_pause && !shield_on && (held_buttons & (kButtonR | kButtonB)) &&
      frame_counter - last_shot_frame >= kFireInterval) {
    fire_player_shot();
    last_shot_frame = frame_counter;
  }
  exhaust(old_angle);
}

void fire_player_shot() {
  if (!player_object) return;
  const uint16_t i = alloc_object_slot();
  if (i == kNoRecord) return;
  const game_object& ship = *player_object;
  game_object& o = object_at(i);
  clear_record(o);
  o.kind = 2;
  o.flags = kObjDrawn;
  o.mass = 1.0f;
  load_model(o, kShotModel, 3, 0xAD6A);
  o.hit_count = 3;
  for (int32_t k = 0; k < 3; ++k) {
    o.hit_list[k] = k;
    add_parallel_segments(&o, k, 1, kShipScale);
  }
  const float a = ship.angle;
  o.angle = a;
  o.x = ship.x + round_to_int(std::sin(a) * 20.0f * 256.0f);
  o.y = ship.y - round_to_int(std::cos(a) * 20.0f * 256.0f);
  o.vx = 4.0f * std::sin(a);
  o.vy = -4.0f * std::cos(a);
  transform_object(&o);
  sfx_play(1);
}

void update_camera() {
  if (!player_object) return;
  const float dx = float(player_object->x - camera_x - 160 * 256) / 256.0f;
  const float dy = float(player_object->y - camera_y - 120 * 256) / 256.0f;
  camera_x += round_to_int(dx / 70.0f * 1.5f * frame_time * 256.0f);
  camera_y += round_to_int(dy / 70.0f * 1.5f * frame_time * 256.0f);
  if (camera_x <= 22015) camera_x = 22016;
  else if (camera_x > 92671) camera_x = 92416;
  if (camera_y <= 22015) camera_y = 22016;
  else if (camera_y > 113151) camera_y = 112896;
}

void shield_step(uint32_t buttons) {
  if (!(buttons & kButtonY) || shield_energy <= 0) return;
  shield_on = 1;
  // Empty at 0: the energy never goes below it.
  if (tick_step > shield_energy) shield_energy = 0;
  else shield_energy -= tick_step * 4 / 3;
  if (shield_energy < 0) shield_energy = 0;
}
