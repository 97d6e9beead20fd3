// Chasers: enemies that hunt the ship. One spawn, one warp-in, one motion step and one kill
// ending; they differ in shape, numbers and the way they steer: the plain chaser, the star
// and the two large ones that take several hits, the morphers, the winged one that chases
// or aims and dashes, the dodger, the colour triangle and the runaway.
#include <cmath>
#include <initializer_list>

#include "pellax/base/random.h"
#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/enemies/enemy_kinds.h"
#include "pellax/game/enemies/kind_steps.h"

namespace {

// Shapes with y up (negated at spawn).
const int32_t kPlain[][4] = {{-4095, 4096, 0, 0},     {0, 0, 4096, 4096},       {4096, 4096, -4095, 4096},
                             {0, 0, 4096, -4095},     {4096, -4095, -4095, -4095}, {-4095, -4095, 0, 0}};
const int32_t kStar[][4] = {{2408, -3313, 0, 4096},    {0, 4096, -2407, -3313}, {-2407, -3313, 3895, 1266},
                            {3895, 1266, -3894, 1266}, {-3894, 1266, 2408, -3313}};
const int32_t kMorpherShape[][4] = {{0, 6144, -1447, 1448},   {-1447, 1448, -6143, 0}, {-6143, 0, -1447, -1447},
                               {-1447, -1447, 0, -6143}, {0, -6143, 1448, -1447}, {1448, -1447, 6144, 0},
                               {6144, 0, 1448, 1448},    {1448, 1448, 0, 6144}};
const int32_t kArmoured[][4] = {
    {0, 6144, -1447, 1448},   {-1447, 1448, -8703, 0}, {-8703, 0, -1447, -1447}, {-1447, -1447, 0, -6143},
    {0, -6143, 1448, -1447},  {1448, -1447, 8704, 0},  {8704, 0, 1448, 1448},    {0, 6144, -1447, 1448},
    {-1447, 1448, -8703, 0},  {-8703, 0, -1447, -1447}, {-1447, -1447, 0, -6143}, {0, -6143, 1448, -1447},
    {1448, -1447, 8704, 0},   {8704, 0, 1448, 1448},   {1448, 1448, 0, 6144}};
const int32_t kWingedShape[][4] = {{0, 8192, -4095, 4096},  {-4095, 4096, 0, 0},     {0, 0, -4095, -4095},
                              {-4095, -4095, 0, -8191}, {0, -8191, 4096, -4095}, {4096, -4095, 0, 0},
                              {0, 0, 4096, 4096},      {4096, 4096, 0, 8192}};
const int32_t kDodgerShape[][4] = {{-4095, 4096, 4096, -4095}, {4096, 4096, -4095, -4095}, {-4095, 0, 4096, 0},
                              {0, -4095, 0, 4096},        {4096, 4096, 4096, 0},      {4096, -4095, 0, -4095},
                              {-4095, -4095, -4095, 0},   {-4095, 4096, 0, 4096}};
const int32_t kTriangle[][4] = {{-6143, -3547, 6144, -3547}, {6144, -3547, 0, 7096}, {0, 7096, -6143, -3547},
                                {0, -3547, 3072, 1774},      {3072, 1774, -3071, 1774}, {-3071, 1774, 0, -3547}};
const int32_t kRunawayShape[][4] = {{-1023, 6144, 6144, 6144},  {6144, 6144, 6144, -1023}, {6144, -1023, -1023, -1023},
                               {-1023, -1023, -1023, 6144}, {2560, -1023, -1023, 2560}, {-1023, 2560, 2560, 6144},
                               {2560, 6144, 6144, 2560},   {6144, 2560, 2560, -1023}};
const int32_t kLargeA[][4] = {
    {0, -4607, 1792, -5631},     {1792, -5631, 3072, -5887},   {3072, -5887, 4608, -5119},
    {4608, -5119, 7168, -2815},  {7168, -2815, 7680, -1023},   {7680, -1023, 7680, 1024},
    {7680, 1024, 6144, 5120},    {6144, 5120, 5120, 7680},     {5120, 7680, 3328, 9472},
    {3328, 9472, 1792, 9984},    {1792, 9984, 0, 8960},        {0, 8960, -1791, 9984},
    {-1791, 9984, -3327, 9472},  {-3327, 9472, -5119, 7424},   {-5119, 7424, -7167, 2048},
    {-7167, 2048, -7679, -1279}, {-7679, -1279, -5887, -4351}, {-5887, -4351, -3839, -5631},
    {-3839, -5631, -1535, -5119}, {-1535, -5119, 0, -4607},    {-511, -5119, 1280, -6655},
    {1024, -6655, 1536, -7423},  {1536, -7423, 2304, -6911},   {2304, -6911, 0, -4607},
    {0, -5887, -1791, -7679},    {-1791, -7679, -4351, -8959}, {-4351, -8959, -4607, -9215},
    {-4607, -9215, -4095, -6399}, {-4095, -6399, -3327, -5631}, {4352, -4095, 6144, -1535},
    {6144, -1535, 5632, 1536},   {0, -5887, 1792, -7679},      {1792, -7679, 4352, -8959},
    {4352, -8959, 4608, -9215},  {4608, -9215, 4096, -6399},   {4096, -6399, 3328, -5631},
    {0, 0, 0, 0}};
const int32_t kLargeB[][4] = {
    {2816, -1535, 3840, -5119},  {3840, -5119, 4608, -6655},  {4608, -6655, 5120, -8703},
    {5120, -8703, 7936, -9471},  {7936, -9471, 6656, -11519}, {6656, -11519, 4608, -9471},
    {4608, -9471, 0, -5631},     {0, -5631, -3327, -3071},    {-3327, -3071, -4607, -511},
    {-4607, -511, -4351, 2304},  {-4351, 2304, -4095, 5120},  {-4095, 5120, -1279, 7680},
    {-1279, 7680, 256, 8704},    {256, 8704, 5632, 9472},     {5632, 9472, 8192, 9984},
    {8192, 9984, 8704, 9472},    {8704, 9472, 9984, 10496},   {9984, 10496, 10240, 8960},
    {10240, 8960, 8960, 8960},   {8960, 8960, 6144, 7936},    {6144, 7936, 3328, 5376},
    {3328, 5376, -1279, 5632},   {-1279, 5632, -1791, 6144},  {-1791, 6144, -2303, 4608},
    {-2303, 4608, -2047, 3328},  {-2047, 3328, -511, 2560},   {-511, 2560, 512, 2304},
    {512, 2304, 3072, 2304},     {3072, 2304, 3584, 3072},    {3584, 3072, 2048, 3840},
    {2048, 3840, 2560, 4608},    {2560, 4608, 3584, 5120},    {2816, -1535, 1280, -1023},
    {1280, -1023, 512, 0},       {512, 0, 1280, 1536},        {1280, 1536, 2560, 2048},
    {2560, 2048, 4096, 1280},    {4096, 1280, 4352, 0},       {4352, 0, 4096, -1023},
    {4096, -1023, 2816, -1535},  {-1023, -1279, -3327, -1023}, {-3327, -1023, -4351, -255},
    {-4351, -255, -4351, 768},   {-4351, 768, -3327, 1792},   {-3327, 1792, -2047, 2048},
    {-2047, 2048, -511, 1024},   {-511, 1024, -255, 0},       {-255, 0, -1023, -1279},
    {3328, 256, 3328, 512},      {-3327, 256, -3327, 512}};

// The colour triangle's six colours (red 0..31, green 0..63, blue 0..31) and its sparks'
// glow sprites.
const uint8_t kSixColours[6][3] = {{31, 15, 7}, {31, 63, 4}, {7, 63, 7}, {4, 63, 31}, {7, 15, 31}, {31, 7, 31}};
const uint16_t kSixGlows[6] = {1, 4, 2, 6, 3, 5};
uint16_t six_colour(int32_t i) {
  return uint16_t(kSixColours[i][0] << 11 | kSixColours[i][1] << 5 | kSixColours[i][2]);
}
const uint16_t kWingPalette[4] = {0xA09F, 0x509F, 0x209F, 0x0000};

uint32_t plain_colours(int32_t, int32_t) { return both_colours(0x329F); }
uint32_t star_colours(int32_t, int32_t) { return both_colours(0x77E5); }
uint32_t large_a_colours(int32_t i, int32_t) {
  return both_colours(i <= 18 ? 0xF862 : i <= 23 ? 0x6042 : i <= 28 ? 0x17E2 : i <= 30 ? 0xF8A3 : 0x17E2);
}
uint32_t large_b_colours(int32_t i, int32_t) {
  return both_colours(i <= 2 ? 0xFC20 : i <= 5 ? 0xF8A2 : i <= 20 ? 0xFC20 : i <= 31 ? 0xF863 : 0xFFFF);
}
uint32_t morpher_colours(int32_t i, int32_t) { return both_colours(i % 2 == 0 ? 0xA6E5 : 0xF8B4); }
uint32_t winged_colours(int32_t i, int32_t) {
  static const int kA[8] = {0, 1, 2, 1, 0, 1, 2, 1}, kB[8] = {1, 2, 1, 0, 1, 2, 1, 0};
  return uint32_t(kWingPalette[kA[i & 7]]) << 16 | kWingPalette[kB[i & 7]];
}
uint32_t dodger_colours(int32_t, int32_t) { return both_colours(0x2514); }
uint32_t triangle_colours(int32_t i, int32_t) { return both_colours(six_colour(i % 6)); }
uint32_t runaway_colours(int32_t i, int32_t) { return both_colours(i <= 3 ? 0xF945 : 0xA0D9); }

struct chaser_kind {
  uint16_t kind;
  uint16_t flags;
  float mass;
  int32_t hit_points, score, scale;
  const int32_t (*rows)[4];
  int32_t n, hit_count;
  segment_colour_fn colour;
  int32_t spacing_num, spacing_den;  // of shape_scale
};

const chaser_kind kChasers[] = {
    {5, 39, 4.0f, 0, 300, 10, kPlain, 6, 6, plain_colours, 5, 6},
    {11, 47, 3.0f, 0, 400, 10, kStar, 5, 5, star_colours, 1, 2},
    {105, 47, 3.0f, 0, 400, 10, kLargeA, 37, 37, large_a_colours, 1, 2},
    {106, 47, 3.0f, 0, 400, 1, kLargeB, 50, 50, large_b_colours, 1, 2},
    {12, 39, 4.0f, 0, 125, 10, kMorpherShape, 8, 8, morpher_colours, 11, 12},
    {114, 39, 4.0f, 3, 450, 10, kArmoured, 15, 15, morpher_colours, 11, 12},
    {17, 39, 3.0f, 0, 300, 10, kWingedShape, 8, 8, winged_colours, 11, 12},
    {6, 39, 3.0f, 0, 250, 10, kDodgerShape, 8, 8, dodger_colours, 5, 6},
    {7, 39, 4.0f, 0, 250, 10, kTriangle, 6, 3, triangle_colours, 5, 6},
    {8, 7, 3.0f, 0, 200, 10, kRunawayShape, 8, 4, runaway_colours, 5, 6},
};

float s(float base, float extra) { return speed_scale(base, extra); }
int32_t u(int32_t v) { return int32_t((int64_t(v) * shape_scale) >> 8); }

// Moving along a heading: (sin h, -cos h) times a speed.
void move_along(game_object* o, float h, float speed) {
  o->vx = std::sin(h) * speed;
  o->vy = -std::cos(h) * speed;
}

void spawn_chaser(const chaser_kind& k, int32_t x, int32_t y) {
  game_object* o = new_enemy(k.kind, x, y);
  if (!o) return;
  o->flags = k.flags;
  o->mass = k.mass;
  o->hit_points = k.hit_points;
  o->score = k.score;
  o->scale = k.scale;
  // The draws: the runaway's turn and the winged one's behaviour first, then the spin's r,
  // the angle, and the velocity's factors.
  const int32_t q = k.kind == 8 ? random_range(1, 100) : 0;
  const int32_t behaviour = k.kind == 17 ? random_range(0, 271) : 0;
  const float r = float(random_range(0, 100));
  o->angle = random_angle();
  switch (k.kind) {
    case 5:
      o->spin = r / 2000.0f - 0.025f;
      random_drift(o, s(0.6f, 0.2f), 50, 120);
      break;
    case 11:
    case 105:
    case 106:
      o->spin = r / 5000.0f - 0.01f;
      random_drift(o, s(0.4f, 0.16f), 50, 120);
      break;
    case 12:
    case 114:
      o->spin = r / 2000.0f - 0.025f;
      random_drift(o, s(0.5f, 0.2f), 50, 120);
      break;
    case 17:
      o->work_b = behaviour % 2 == 1 ? 0 : 1;
      if (o->work_b == 0) {
        o->spin = r / 2000.0f - 0.025f;
        random_drift(o, s(0.3f, 0.2f), 80, 120);
      } else {
        o->spin = 0.0f;
        o->angle = heading_to_player(o);
        move_along(o, o->angle, s(0.3f, 0.2f) * 0.03f);
      }
      break;
    case 6:
      o->spin = -(r / 2500.0f + 0.03f);
      break;
    case 7:
      o->spin = r / 4000.0f - 0.0125f;
      break;
    case 8: {
      o->spin = q % 2 == 0 ? -(r / 1000.0f) - 0.02f : r / 1000.0f + 0.02f;
      float ux = 0.0f, uy = 0.0f;
      if (player_object && unit_vector(float(int64_t(x) - player_object->x) / 256.0f,
                                       float(int64_t(y) - player_object->y) / 256.0f, &ux, &uy)) {
        const int32_t fx = random_range(150, 200);
        o->vx = s(0.5f, 0.2f) * float(fx) / 256.0f * ux;
        const int32_t fy = random_range(150, 200);
        o->vy = s(0.5f, 0.2f) * float(fy) / 256.0f * uy;
      }
      break;
    }
    default:
      break;
  }
  load_shape(o, k.rows, k.n, k.hit_count, k.colour,
             shape_build{shape_scale, shape_scale * k.spacing_num / k.spacing_den, true});
  ++kind_alive[k.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kChasers, spawn_chaser, K>;

// The warp-in; true while it lasts (this update included).
bool chaser_warp(game_object* o, int32_t dt) {
  if (!(o->flags & kObjWarping)) return false;
  const int32_t kind = o->kind;
  if (dt > o->timer) {
    o->flags &= ~kObjWarping;
    o->timer = kind == 5 ? 12800 : 0;
    o->scale = kind == 11 ? 512 : kind == 105 ? 400 : kind == 106 ? 100 : 0;
    if (kind == 11 || kind == 105 || kind == 106) o->flags &= ~kObjBarrier;
  } else {
    o->timer -= dt;
    const int32_t g = kind == 11 || kind == 105 ? 512 : 256;
    o->scale = kind == 106 ? 60 : int32_t((int64_t(12800 - o->timer) * g) / 12800);
  }
  if (kind == 17 && o->work_b == 1) {
    o->spin = 0.0f;
    o->angle = heading_to_player(o);
  }
  return true;
}

// Toward the ship once the object has lived past threshold (and the ship lives).
void steer(game_object* o, int32_t threshold, float speed, float accel, float limit, float friction) {
  if (player_dead || o->timer <= threshold) return;
  steer_toward_player(o, speed * accel, speed * limit, friction);
}

// Writes model segment i and the two copies that follow the base segments of an
// eight-segment shape (2i + 8 and 2i + 9).
void set_segment_mirror(game_object* o, int32_t i, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
  for (int32_t d : {i, 2 * i + 8, 2 * i + 9}) {
    if (d >= kMaxSegments) continue;
    o->model_x1[d] = x1;
    o->model_y1[d] = y1;
    o->model_x2[d] = x2;
    o->model_y2[d] = y2;
  }
}

// A cross that becomes an X and back every 100 ticks.
void arms(game_object* o) {
  int32_t m = int32_t(uint32_t(o->timer) % 25600u);
  if (m > 12799) m = 25600 - m;
  const int32_t k = m * 5120 / 12800, b = k + 1024, a = 6144 - k;
  const int32_t rows[8][4] = {{0, u(a), u(-b), u(b)},     {u(-b), u(b), u(-a), 0},  {u(-a), 0, u(-b), u(-b)},
                              {u(-b), u(-b), 0, u(-a)},   {0, u(-a), u(b), u(-b)},  {u(b), u(-b), u(a), 0},
                              {u(a), 0, u(b), u(b)},      {u(b), u(b), 0, u(a)}};
  for (int32_t i = 0; i < 8; ++i) set_segment_mirror(o, i, rows[i][0], rows[i][1], rows[i][2], rows[i][3]);
}

void wings(game_object* o) {
  const int32_t m = int32_t(uint32_t(o->timer) % 25600u);
  const int32_t k = m < 12800 ? m * 3072 / 12800 : (25600 - m) * 3072 / 12800;
  const int32_t a = 4096 - k, b = 4096 + k;
  const int32_t rows[8][4] = {{0, u(2 * b), u(-a), u(b)},  {u(-a), u(b), 0, 0},         {0, 0, u(-a), u(-b)},
                              {u(-a), u(-b), 0, u(-2 * b)}, {0, u(-2 * b), u(a), u(-b)}, {u(a), u(-b), 0, 0},
                              {0, 0, u(a), u(b)},          {u(a), u(b), 0, u(2 * b)}};
  for (int32_t i = 0; i < 8; ++i) set_segment_mirror(o, i, rows[i][0], rows[i][1], rows[i][2], rows[i][3]);
}

// Aims at the ship for 200 ticks, then dashes along that aim for 200 ticks.
void aim_and_dash(game_object* o, int32_t dt) {
  uint32_t phase = uint32_t(o->work_a) + uint32_t(dt);
  if (o->variant == 0) {
    o->spin = 0.0f;
    o->angle = heading_to_player(o);
    move_along(o, o->angle, s(0.3f, 0.2f) * 0.03f);
    if (phase > 51200u) {
      phase -= 51200u;
      o->variant = 1;
      o->spin = 0.0f;
      move_along(o, o->angle, s(0.3f, 0.05f) * 4.0f);
    }
  } else if (phase > 51200u) {
    phase -= 51200u;
    o->variant = 0;
  }
  o->work_a = int32_t(phase);
}

// Homes on the ship, keeps apart and sidesteps the player's shots.
void dodge(game_object* o) {
  const float ox = float(o->x) / 256.0f, oy = float(o->y) / 256.0f;
  if (!player_dead && player_object) {
    float ux, uy;
    if (unit_vector(float(int64_t(player_object->x) - o->x) / 256.0f,
                    float(int64_t(player_object->y) - o->y) / 256.0f, &ux, &uy)) {
      o->vx = ux * 0.4f * s(0.4f, 0.2f) * 0.5f;
      o->vy = uy * 0.4f * s(0.4f, 0.2f) * 0.5f;
    }
  }
  push_apart(o, 10240, 0.2f);
  walk_objects([&](uint16_t i) {
    const game_object& shot = object_at(i);
    if (shot.kind != 2) return;
    const float px = float(shot.x) / 256.0f, py = float(shot.y) / 256.0f;
    const float q2 = shot.vx * shot.vx + shot.vy * shot.vy;
    float t = (ox - px) * shot.vx + (oy - py) * shot.vy;
    if (!(t > 0.0f) || !(q2 > 0.0f)) return;
    t /= q2;
    const float gx = ox - (px + shot.vx * t), gy = oy - (py + shot.vy * t);
    float ux, uy;
    if (std::sqrt(gx * gx + gy * gy) < 25.0f && unit_vector(gx, gy, &ux, &uy)) {
      o->vx += ux * s(0.42f, 0.05f);
      o->vy += uy * s(0.42f, 0.05f);
    }
  });
}

void cycle_triangle_colours(game_object* o) {
  const int32_t phase = int32_t(uint32_t(o->timer) % 12288u);
  const int32_t w = phase & 2047, step = phase >> 11;
  for (int32_t i = 0; i < 6; ++i) {
    const int32_t j = (i + step) % 6, j2 = (j + 1) % 6;
    int32_t ch[3];
    for (int c = 0; c < 3; ++c) ch[c] = (kSixColours[j][c] * (2048 - w) + kSixColours[j2][c] * w) >> 11;
    uint16_t colour = uint16_t(ch[0] << 11 | ch[1] << 5 | ch[2]);
    if (o->variant != 0 && i >= 3) colour = 0;
    for (int32_t d : {i, 6 + 2 * i, 7 + 2 * i}) o->colour_a[d] = o->colour_b[d] = colour;
  }
}

void pulse_runaway_colour(game_object* o) {
  int32_t p = (o->timer + 8192) & 16383;
  if (p > 8192) p = 16384 - p;
  const uint16_t colour = uint16_t(((p * 20 + 127) >> 13) << 11 | 0x00C0 | ((p * 25 + 127) >> 13));
  for (int32_t d : {4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23}) o->colour_a[d] = o->colour_b[d] = colour;
}

void update_chaser(game_object* o, int32_t dt) {
  if (chaser_warp(o, dt)) {
    turn_and_drift(o, dt);
    return;
  }
  o->timer += dt;
  switch (o->kind) {
    case 5: {
      int32_t m = int32_t(uint32_t(o->timer) % 51200u);
      if (m > 25599) m = 51200 - m;
      o->scale = m * 256 / 25600 + 128;
      steer(o, 51200, s(0.5f, 0.2f), 0.01f, 0.4f, 0.99f);
      break;
    }
    case 12:
    case 114:
      arms(o);
      steer(o, 51200, s(0.5f, 0.2f), 0.01f, 0.4f, 0.99f);
      break;
    case 17:
      wings(o);
      if (player_dead) break;
      if (o->work_b == 0) steer(o, (120 - 20 * difficulty_level) * 256, s(0.3f, 0.2f), 0.015f, 0.4f, 0.99f);
      else aim_and_dash(o, dt);
      break;
    case 7:
      cycle_triangle_colours(o);
      steer(o, 12800, s(0.5f, 0.2f), 0.01f, 0.3f, 0.99f);
      break;
    case 11:
    case 105:
    case 106:
      if (!player_dead && o->timer > 51200) {
        int32_t nx, ny;
        if (find_object_near(o, 10240, &nx, &ny)) {
          const float push = s(0.4f, 0.16f) * 0.01f;
          o->vx += nx > o->x ? -push : push;
          o->vy += ny > o->y ? -push : push;
        }
      }
      steer(o, 51200, s(0.4f, 0.16f), 0.012f, 0.35f, 0.98f);
      break;
    case 6:
      if (o->timer > 25600) dodge(o);
      break;
    case 8:
      pulse_runaway_colour(o);
      break;
    default:
      break;
  }
  turn_and_drift(o, dt);
}

// The second burst of a two-burst kill differs in colour, glows and delay only.
struct burst_pair {
  uint16_t colour1, tail1, head1;
  uint16_t colour2, tail2, head2;
  int32_t delay2, life;
};

void two_bursts(const game_object& o, const burst_pair& b) {
  spark_burst_jittered(o.x, o.y, 50, spark_style{3, b.tail1, b.head1, b.colour1, 0, 1000, 5.0f, 768, b.life});
  spark_burst_jittered(o.x, o.y, 50, spark_style{3, b.tail2, b.head2, b.colour2, b.delay2, 1000, 5.0f, 768, b.life});
}

void chaser_sparks(const game_object& o) {
  switch (o.kind) {
    case 5: two_bursts(o, {0x529F, 6, 6, 0x529F, 3, 3, 3000, 5120}); break;
    case 11: two_bursts(o, {0x7FE5, 4, 2, 0x2D00, 4, 4, 2000, 7680}); break;
    case 105: two_bursts(o, {0xF9E5, 1, 5, 0x2D00, 4, 4, 2000, 7680}); break;
    case 106: two_bursts(o, {0xFFE5, 0, 4, 0x2D00, 4, 4, 2000, 7680}); break;
    case 12:
    case 114: two_bursts(o, {0xF95F, 5, 5, 0xFFE5, 4, 4, 2000, 5120}); break;
    case 17: two_bursts(o, {0xF95F, 5, 5, 0x295F, 3, 3, 2000, 5120}); break;
    case 6:
      for (int32_t g = 0; g < 4; ++g)
        for (int32_t k = 0; k < 50; ++k)
          emit_spark(o.x, o.y, spark_style{uint16_t(k % 2), 6, 6, 0x67FF, g * 1000, 200, 8.0f, 512, 5120}, true);
      break;
    case 7:
      for (int32_t k = 0; k < 100; ++k) {
        const int32_t c = random_range(0, 1000) % 6;
        emit_spark(o.x, o.y, spark_style{3, kSixGlows[c], kSixGlows[c], six_colour(c), 0, 4000, 6.0f, 1280, 3840},
                   false);
      }
      break;
    case 8:
      spark_burst(o.x, o.y, 40, spark_style{1, 1, 1, 0xC94A, 0, 3000, 5.0f, 1280, 2048});
      spark_burst(o.x, o.y, 40, spark_style{3, 3, 1, 0xA95E, 2000, 3000, 7.0f, 1280, 3072});
      break;
    default:
      break;
  }
}

// The hit stages: some chasers change and live on through several kill calls.
bool absorbs_kill(game_object& o) {
  switch (o.kind) {
    case 11:
      if (o.variant == 0) {
        o.variant = 1;
        o.scale = 350;
        return true;
      }
      if (o.variant == 1) {
        o.variant = 2;
        o.scale = 200;
        return true;
      }
      return false;
    case 105:
      if (o.scale <= 100) return false;
      ++o.variant;
      o.scale -= 50;
      transform_object(&o);
      return true;
    case 106:
      if (o.scale >= 400) return false;
      ++o.variant;
      o.scale += 50;
      transform_object(&o);
      return true;
    case 7:
      if (o.variant != 0) return false;
      o.variant = 1;
      return true;
    default:
      return false;
  }
}

void kill_chaser(uint16_t index) {
  game_object& o = object_at(index);
  if (absorbs_kill(o)) return;
  chaser_sparks(o);
  finish_kill(index, o.kind);
}

}  // namespace

void register_chasers() {
  register_kind(kChaser, spawn_one<kChaser>, update_chaser, kill_chaser);
  register_kind(kStarChaser, spawn_one<kStarChaser>, update_chaser, kill_chaser);
  register_kind(kHornedGiant, spawn_one<kHornedGiant>, update_chaser, kill_chaser);
  register_kind(kTailedGiant, spawn_one<kTailedGiant>, update_chaser, kill_chaser);
  register_kind(kMorpher, spawn_one<kMorpher>, update_chaser, kill_chaser);
  register_kind(kArmouredMorpher, spawn_one<kArmouredMorpher>, update_chaser, kill_chaser);
  register_kind(kWinged, spawn_one<kWinged>, update_chaser, kill_chaser);
  register_kind(kDodger, spawn_one<kDodger>, update_chaser, kill_chaser);
  register_kind(kColourTriangle, spawn_one<kColourTriangle>, update_chaser, kill_chaser);
  register_kind(kRunaway, spawn_one<kRunaway>, update_chaser, kill_chaser);
}
