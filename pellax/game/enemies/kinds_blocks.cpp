// Blocks and the bonus shapes: kinds that never steer. They sit where they were placed
// (a collision can set them drifting), and die with the standard burst.
#include <cstddef>

#include "pellax/game/core/kind_census.h"
#include "pellax/game/core/object_helpers.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/enemies/enemy_kinds.h"

namespace {

const int32_t kTriangle[][4] = {{-4095, 2364, 4096, 2364}, {4096, 2364, 0, -4731}, {0, -4731, -4095, 2364}};
const int32_t kAsteriskShape[][4] = {{-4095, 0, 4096, 0}, {-1535, 2659, 1536, -2660}, {-1535, -4196, 1536, 4195}};
const int32_t kCrossBoxShape[][4] = {{-4095, 2364, 4096, 2364},   {4096, 2426, 4219, -2427},
                                {4219, -2427, -4095, -2427}, {-4095, -2427, -4095, 2426},
                                {-4095, 2426, 4096, -2427},  {-4095, -2427, 4096, 2426}};
const int32_t kUprightBarShape[][4] = {{-4095, -15360, -4095, 15359}, {4096, -15360, 4096, 15359},
                                  {-4095, -15360, 4096, -15360}, {-4095, 15359, 4096, 15359},
                                  {-1023, -14080, -1023, 14079}, {1024, 14079, 1024, -14080}};
const int32_t kLyingBarShape[][4] = {{15360, 4095, -15359, 4095},  {15360, -4096, -15359, -4096},
                                {15360, 4095, 15360, -4096},  {-15359, 4095, -15359, -4096},
                                {14080, 1023, -14079, 1023},  {-14079, -1024, 14080, -1024}};
const int32_t kSquare[][4] = {{2560, -2560, -2559, -2560}, {-2559, -2560, -2559, 2559},
                              {-2559, 2559, 2560, 2559},   {2560, 2559, 2560, -2560}};
const int32_t kShape111[][4] = {
    {-7679, 4351, 7680, 4351}, {7680, 4351, 7680, -4352},  {7680, -4352, -7679, -4352},
    {-7679, -4352, -7679, 4351}, {-7679, -2304, 7680, -2304}, {4096, -3584, 6912, -3584},
    {-4095, -512, -3583, -512}, {-2047, -512, -1535, -512}, {0, -512, 512, -512},
    {2048, -512, 2560, -512},   {-6143, -512, -5631, -512}, {4096, -512, 4096, -512},
    {-6143, 1535, -5631, 1535}, {-4095, 1535, -3583, 1535}, {-2047, 1535, -1535, 1535},
    {0, 1535, 512, 1535},       {2048, 1535, 2560, 1535},   {-6143, 3327, -5631, 3327},
    {-4095, 3327, -3583, 3327}, {-2047, 3327, -1535, 3327}, {0, 3327, 512, 3327},
    {2048, 3327, 2560, 3327},   {4608, 4351, 7680, -3584},  {5120, 4351, 7680, -3072},
    {5632, 4351, 7680, -2560},  {0, 0, 0, 0},               {0, 0, 0, 0}};
const int32_t kShape119[][4] = {
    {-7679, 4095, 7680, 4095},  {7680, 4095, 7680, -4096},  {7680, -4096, -7679, -4096},
    {-7679, -4096, -7679, 4095}, {-4863, -1792, -4863, 1535}, {-3071, 0, -6399, 0},
    {-1279, 4351, -1279, -4352}, {1280, 4351, 1280, -4352},  {4864, 1791, 6400, 1791},
    {-1279, -2048, 1280, -2048}, {2816, 1791, 3840, 1791},   {2816, -1792, 6400, -1792}};
const int32_t kShape120[][4] = {
    {-6911, 4351, 6912, 4351},  {6912, 4351, 6912, -4352},  {6912, -4352, -6911, -4352},
    {-6911, -4352, -6911, 4351}, {-2815, 3327, 2816, 3327},  {2816, 3327, 2816, -3328},
    {2816, -3328, -2815, -3328}, {-2815, -3328, -2815, 3327}, {5632, -1792, 6144, -1792},
    {5376, 0, 6144, 0},         {4352, 1023, 5120, 1023},   {-5887, 0, -4351, 0},
    {-5119, 1023, -5119, -1280}};
const int32_t kShape121[][4] = {
    {5120, -3840, 0, -4352},    {0, -4352, -5119, -3840},   {-5119, -3840, -5887, -1536},
    {-5887, -1536, -5887, 3839}, {-5887, 3839, -4351, 2559}, {-4351, 2559, -2815, 3839},
    {-2815, 3839, -1535, 2559}, {-1535, 2559, 0, 3839},     {0, 3839, 1536, 2559},
    {1536, 2559, 2816, 3839},   {2816, 3839, 4352, 2559},   {4352, 2559, 5888, 3839},
    {5888, 3839, 5888, -1536},  {5888, -1536, 5120, -3840}, {5120, -3840, 0, -4352},
    {3072, -2304, 1792, -2048}, {-3071, -2304, -1791, -2048}, {1024, 1791, -1023, 1791}};
const int32_t kShape122[][4] = {
    {-7935, 4351, 7936, 4351},  {7936, 4351, 7936, -4352},  {7936, -4352, -7935, -4352},
    {-7935, -4352, -7935, 4351}, {-5119, 4095, 5120, 4095},  {5120, 4095, 5120, -4096},
    {5120, -4096, -5119, -4096}, {-5119, -4096, -5119, 4095}, {-1279, -2816, -1279, 2815},
    {-1279, 2815, -2559, 2815}, {-1279, -2816, -2559, -2816}, {-1279, 0, -2559, 0},
    {1280, -2816, 2560, -2816}, {2560, -2816, 2560, 0},     {2560, 0, 1280, 0},
    {1280, 0, 1280, 2815},      {1280, 2815, 2560, 2815}};
const int32_t kShape112[][4] = {
    {-8959, 4351, 8960, 4351},  {8960, 4351, 8960, -1024},  {-8959, -1024, -8959, 4351},
    {-8959, -1024, -9983, -3072}, {8960, -1024, 9984, -3072}, {9984, -3072, 6912, 0},
    {-9983, -3072, -6911, 0},   {6912, 0, 6144, -1280},     {6144, -1280, 5376, 767},
    {-6911, 0, -6143, -1280},   {-6143, -1280, -5375, 767}, {-5375, 767, -4351, -1280},
    {-4351, -1280, -3583, 767}, {5376, 767, 4352, -1280},   {4352, -1280, 3584, 767},
    {3584, 767, 0, -3584},      {0, -3584, -3583, 767},     {2560, 1535, 0, -2304},
    {0, -2304, -2559, 1535}};

template <std::size_t N>
constexpr int32_t rows_in(const int32_t (&)[N][4]) { return int32_t(N); }

uint32_t row_colour(int32_t, int32_t variant) {
  return both_colours(kEnemyColours[variant >= 0 && variant < 8 ? variant : 0]);
}
uint32_t colours_111(int32_t i, int32_t) {
  return both_colours(i <= 6 ? 0x0C32 : i <= 21 ? 0x0280 : i == 22 ? 0xF800 : i == 23 ? 0x07E0 : 0x003F);
}
uint32_t colours_119(int32_t i, int32_t) { return both_colours(i <= 6 ? 0x0C32 : 0x0280); }
uint32_t colours_120(int32_t i, int32_t) {
  if (i <= 3) return (0x5803u << 16) | 0xA803;
  return both_colours(i <= 7 ? 0x4014 : i == 8 ? 0xF140 : 0x0C32);
}
uint32_t colours_121(int32_t i, int32_t) {
  if (i == 0) return (0x0833u << 16) | 0x0829;
  return both_colours(i <= 14 ? 0xF140 : 0x0C32);
}
uint32_t colours_122(int32_t i, int32_t) {
  if (i <= 3) return (0x5803u << 16) | 0xA803;
  return both_colours(i <= 7 ? 0x4014 : 0xF140);
}
uint32_t colours_112(int32_t, int32_t) { return (0x8A84u << 16) | 0xC280; }

struct block_kind {
  uint16_t kind;
  const int32_t (*rows)[4];
  int32_t n;
  int32_t hit_points, score;
  float mass;
  int32_t scale;
  bool random_angle;
  segment_colour_fn colour;
};

const block_kind kBlocks[] = {
    {3, kTriangle, rows_in(kTriangle), 0, 100, 4.0f, 10, true, row_colour},
    {113, kAsteriskShape, rows_in(kAsteriskShape), 99, 100, 4.0f, 10, true, row_colour},
    {29, kCrossBoxShape, rows_in(kCrossBoxShape), 50, 100, 4.0f, 10, true, row_colour},
    {31, kUprightBarShape, rows_in(kUprightBarShape), 3, 100, 599.0f, 10, false, row_colour},
    {35, kLyingBarShape, rows_in(kLyingBarShape), 3, 100, 599.0f, 10, false, row_colour},
    {110, kSquare, rows_in(kSquare), 1, 100, 599.0f, 10, false, row_colour},
    {111, kShape111, rows_in(kShape111), 2, 1500, 4.0f, 20, false, colours_111},
    {119, kShape119, rows_in(kShape119), 2, 1500, 4.0f, 20, false, colours_119},
    {120, kShape120, rows_in(kShape120), 2, 1500, 4.0f, 20, false, colours_120},
    {121, kShape121, rows_in(kShape121), 2, 1500, 4.0f, 20, false, colours_121},
    {122, kShape122, rows_in(kShape122), 2, 1500, 4.0f, 20, false, colours_122},
    {112, kShape112, rows_in(kShape112), 2, 100, 4.0f, 20, false, colours_112},
};

void spawn_block(const block_kind& b, int32_t x, int32_t y) {
  game_object* o = new_enemy(b.kind, x, y);
  if (!o) return;
  o->variant = random_variant();
  o->score = b.score;
  o->hit_points = b.hit_points;
  o->mass = b.mass;
  o->scale = b.scale;
  if (b.random_angle) o->angle = random_angle();
  load_shape(o, b.rows, b.n, b.n, b.colour);
  ++kind_alive[b.kind];
}

template <int32_t K>
constexpr kind_spawn_fn spawn_one = spawn_from_table<kBlocks, spawn_block, K>;

void drift(game_object* o, int32_t dt) {
  if (warp_in_step(o, dt)) transform_object(o);
  drift_step(o, dt);
}

template <int K>
void kill_one(uint16_t index) { standard_kill(index, K); }

}  // namespace

void register_blocks() {
  register_kind(kTriangleBlock, spawn_one<kTriangleBlock>, drift, kill_one<kTriangleBlock>);
  register_kind(kAsterisk, spawn_one<kAsterisk>, drift, kill_one<kAsterisk>);
  register_kind(kCrossBox, spawn_one<kCrossBox>, drift, kill_one<kCrossBox>);
  register_kind(kUprightBar, spawn_one<kUprightBar>, drift, kill_one<kUprightBar>);
  // A lying bar dies through the upright bar's kill and counts as one.
  register_kind(kLyingBar, spawn_one<kLyingBar>, drift, nullptr);
  register_kind(kSquareBlock, spawn_one<kSquareBlock>, drift, kill_one<kSquareBlock>);
  register_kind(kTrophyA, spawn_one<kTrophyA>, drift, kill_one<kTrophyA>);
  register_kind(kTrophyB, spawn_one<kTrophyB>, drift, kill_one<kTrophyB>);
  register_kind(kTrophyC, spawn_one<kTrophyC>, drift, kill_one<kTrophyC>);
  register_kind(kTrophyD, spawn_one<kTrophyD>, drift, kill_one<kTrophyD>);
  register_kind(kTrophyE, spawn_one<kTrophyE>, drift, kill_one<kTrophyE>);
  register_kind(kFixedShape, spawn_one<kFixedShape>, drift, kill_one<kFixedShape>);
}
