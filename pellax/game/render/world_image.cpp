#include "pellax/game/render/world_image.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <cstring>

#include "assets/pellax/procedural_art.h"
#include "pellax/base/canvas.h"
#include "pellax/base/random.h"
#include "pellax/base/wall_table.h"
#include "pellax/game/core/object_pool.h"
#include "pellax/game/core/run_state.h"
#include "pellax/game/render/render_lines.h"

uint16_t* world_image = nullptr;
uint16_t world_palette[6] = {0x0006, 0x0004, 0x0002, 0x0008, 0x0006, 0x0004};

namespace {

constexpr int kIntensity = pellax_art::kIntensitySize;

uint16_t image_slots[kImageSlotCount][kCanvasPixels];
uint16_t built_in_pictures[3][kCanvasPixels];
bool built_in_made[3] = {false, false, false};

uint16_t* slot_pixels(int32_t slot) { return image_slots[slot - 1]; }
uint8_t built_in_intensities[2][kIntensity * kIntensity];
bool intensity_made[2] = {false, false};

const uint8_t* built_in_intensity(int which) {
  if (!intensity_made[which]) {
    pellax_art::built_in_intensity(which, built_in_intensities[which]);
    intensity_made[which] = true;
  }
  return built_in_intensities[which];
}

bool level_in(int32_t level, std::initializer_list<int32_t> levels) {
  for (int32_t l : levels)
    if (l == level) return true;
  return false;
}

struct palette_set {
  uint16_t colours[6];
};
constexpr palette_set kRed{{0x2800, 0x1800, 0x0800, 0x3000, 0x2800, 0x1800}};
constexpr palette_set kGreen{{0x0100, 0x00A0, 0x0060, 0x0140, 0x00E0, 0x00A0}};
constexpr palette_set kBlue{{0x0006, 0x0004, 0x0002, 0x0008, 0x0006, 0x0004}};
constexpr palette_set kPurple{{0x2004, 0x1803, 0x1002, 0x3006, 0x2004, 0x1803}};

void use_palette(const palette_set& p) { std::memcpy(world_palette, p.colours, sizeof world_palette); }

// The part of the world one call of the passes below writes: columns [x0, x1), both
// even (the passes move two pixels a word), rows [y0, y1).
struct area {
  int32_t x0, x1, y0, y1;
};
constexpr area kWholeWorld{0, kCanvasSize, 0, kCanvasSize};

// Base pass: a 384x384 intensity picture doubled into the world, stored.
void base_pass(int32_t level, const area& a) {
  enum { kNone, kBlueV, kRedV, kGreenV, kRedHalf, kGreenDouble, kGreenBlue } how = kGreenV;
  bool use_b = false;
  if (level_in(level, {8, 17})) how = kNone;
  else if (level_in(level, {5, 27})) how = kBlueV;
  else if (level_in(level, {6, 10, 26})) how = kRedV;
  else if (level_in(level, {7, 9})) how = kGreenV;
  else if (level_in(level, {11, 12, 14, 16, 31})) use_b = true, how = kRedV;
  else if (level_in(level, {13, 28})) use_b = true, how = kGreenV;
  else if (level == 15) use_b = true, how = kBlueV;
  else if (level == 18) how = kRedHalf;
  else if (level == 24) use_b = true, how = kGreenDouble;
  else if (level == 33) use_b = true, how = kGreenBlue;
  if (how == kNone) return;
  const uint8_t* src = use_b ? built_in_intensity_b() : built_in_intensity_a();
  // Each byte becomes two equal pixels in each of two rows: one word, looked up.
  uint32_t pairs[256];
  for (uint32_t v = 0; v < 256; ++v) {
    uint16_t colour = 0;
    switch (how) {
      case kBlueV: colour = uint16_t(v); break;
      case kRedV: colour = uint16_t(v << 11); break;
      case kGreenV: colour = uint16_t(v << 5); break;
      case kRedHalf: colour = uint16_t((v >> 1) << 11); break;
      case kGreenDouble: colour = uint16_t((2 * v) << 5); break;
      case kGreenBlue: colour = uint16_t((v << 5) | v); break;
      case kNone: break;
    }
    pairs[v] = uint32_t(colour) * 0x00010001u;
  }
  for (int32_t y = a.y0; y < a.y1; ++y) {
    const uint8_t* row = src + (y >> 1) * kIntensity;
    uint16_t* d = world_image + y * kCanvasSize;
    for (int32_t c = a.x0 / 2; c < a.x1 / 2; ++c)
      std::memcpy(__builtin_assume_aligned(d + 2 * c, 4), &pairs[row[c]], 4);
  }
}

// The two conversions of a source pixel, on two pixels in a word: half keeps red and takes
// green >> 1 and blue from bits 1-5; keep clears green's lowest bit and takes the same blue.
uint32_t half_pair(uint32_t s) { return (s & 0xF800F800u) | ((s >> 1) & 0x03FF03FFu); }
uint32_t keep_pair(uint32_t s) { return (s & 0xFFC0FFC0u) | ((s >> 1) & 0x001F001Fu); }

// Pixels [from, to) of a picture row converted into the world, two a word (from even, to
// even). One loop per conversion: tested inside the loop, the choices cost the console as
// much as the conversion itself.
template <bool Halve, bool NonZero>
void picture_run(uint16_t* world, const uint16_t* src, int32_t from, int32_t to) {
  for (int32_t i = from; i < to; i += 2) {
    uint32_t s;
    std::memcpy(&s, __builtin_assume_aligned(src + i, 4), 4);
    const uint32_t converted = Halve ? half_pair(s) : keep_pair(s);
    if (NonZero && ((s & 0xFFFFu) == 0 || (s >> 16) == 0)) {
      if (s & 0xFFFFu) world[i] = uint16_t(converted);
      if (s >> 16) world[i + 1] = uint16_t(converted >> 16);
      continue;
    }
    std::memcpy(__builtin_assume_aligned(world + i, 4), &converted, 4);
  }
}

// Picture pass over pixels 60,000 .. last.
void picture_pass(int32_t level, int32_t mode, const area& a) {
  const uint16_t* src = nullptr;
  bool halve = true, non_zero = false;
  int32_t last = 522239;
  if (mode == 1) {
    src = slot_pixels(5);
    last = 450001;
  } else if (mode == 2) {
    src = built_in_picture(3);
    last = 450001;
  } else if (level <= 4) {
    src = slot_pixels(1);
  } else {
    switch (level) {
      case 10: src = slot_pixels(1), halve = false, non_zero = true; break;
      case 13: case 19: case 28: src = slot_pixels(1), non_zero = true; break;
      case 14: src = slot_pixels(2), non_zero = true; break;
      case 15: src = slot_pixels(3), non_zero = true; break;
      case 17: src = slot_pixels(4), halve = false; break;
      case 21: src = built_in_picture(1); break;
      case 22: src = built_in_picture(2), halve = false; break;
      case 23: src = slot_pixels(3); break;
      case 25: src = slot_pixels(4); break;
      case 29: src = slot_pixels(2), halve = false; break;
      case 30: src = slot_pixels(3), halve = false; break;
      case 32: src = slot_pixels(4), halve = false; break;
      case 34: src = slot_pixels(6), halve = false; break;
      default: break;  // level 20 and levels without a picture
    }
  }
  if (!src) return;
  const auto run = halve ? (non_zero ? picture_run<true, true> : picture_run<true, false>)
                         : (non_zero ? picture_run<false, true> : picture_run<false, false>);
  // The range starts on an even pixel and ends on an odd one.
  for (int32_t y = a.y0; y < a.y1; ++y) {
    const int32_t from = y * kCanvasSize + a.x0 > 60000 ? y * kCanvasSize + a.x0 : 60000;
    const int32_t to = y * kCanvasSize + a.x1 < last + 1 ? y * kCanvasSize + a.x1 : last + 1;
    run(world_image, src, from, to);
  }
}

struct channel_sums {
  int32_t r = 0, g = 0, b = 0;
};

// A line of five pixels' width every `spacing` pixels: centre, then one and two pixels to
// each side, summed per channel into the column's (or row's) totals. Every spacing in use
// is a multiple of 12, so no line reaches the canvas's edge.
void add_lines(channel_sums* totals, int32_t spacing, const uint16_t* colours) {
  for (int32_t c = spacing; c < kCanvasSize; c += spacing) {
    for (int32_t k = -2; k <= 2; ++k) {
      if (c + k >= kCanvasSize) continue;
      const uint16_t colour = colours[k < 0 ? -k : k];
      totals[c + k].r += colour >> 11;
      totals[c + k].g += (colour >> 5) & 63;
      totals[c + k].b += colour & 31;
    }
  }
}

uint16_t pack_saturated(const channel_sums& a, const channel_sums& b) {
  const int32_t r = a.r + b.r, g = a.g + b.g, bl = a.b + b.b;
  return uint16_t(((r > 31 ? 31 : r) << 11) | ((g > 63 ? 63 : g) << 5) | (bl > 31 ? 31 : bl));
}

// Both grids. Every grid write is a saturating add of a colour of at most full channels,
// and such adds in a row equal one add of their per-channel sum held at full; so a pixel
// gets its column's total and its row's total in one add. Rows share their totals (a grid
// row has a handful of distinct ones), and so do their 768 summed colours, made once each.
void grid_pass(int32_t coarse, const uint16_t* palette, const area& a) {
  static channel_sums columns[kCanvasSize], rows[kCanvasSize];
  for (channel_sums* t : {columns, rows}) {
    for (int32_t i = 0; i < kCanvasSize; ++i) t[i] = channel_sums{};
    add_lines(t, 12, palette);
    add_lines(t, coarse, palette + 3);
  }
  constexpr int kKept = 8;
  struct summed_row {
    channel_sums key;
    uint32_t pairs[kCanvasSize / 2];
    uint16_t at[kCanvasSize / 2];  // the words that add something
    int32_t count;
  };
  static summed_row kept_rows[kKept + 1];  // the last one is made afresh when all are taken
  int kept = 0;
  for (int32_t y = a.y0; y < a.y1; ++y) {
    const channel_sums& row = rows[y];
    const summed_row* adds = nullptr;
    for (int k = 0; k < kept && !adds; ++k)
      if (kept_rows[k].key.r == row.r && kept_rows[k].key.g == row.g && kept_rows[k].key.b == row.b)
        adds = &kept_rows[k];
    if (!adds) {
      summed_row& made = kept_rows[kept < kKept ? kept++ : kKept];
      made.key = row;
      made.count = 0;
      for (int32_t x = 0; x < kCanvasSize; x += 2) {
        const uint32_t pair = uint32_t(pack_saturated(columns[x], row)) | uint32_t(pack_saturated(columns[x + 1], row)) << 16;
        made.pairs[x / 2] = pair;
        if (pair != 0) made.at[made.count++] = uint16_t(x / 2);
      }
      adds = &made;
    }
    // Held in locals: the stores into the world would otherwise reload them every word.
    uint16_t* const line = world_image + y * kCanvasSize;
    const uint32_t* const pairs = adds->pairs;
    const uint16_t* at = adds->at;
    const uint16_t* at_end = at + adds->count;
    // The words are in order: those of the area are one run of them, found by halving (a
    // window far from the left edge has a hundred before it on each row).
    at = std::lower_bound(at, at_end, uint16_t(a.x0 / 2));
    at_end = std::lower_bound(at, at_end, uint16_t(a.x1 / 2));
    for (; at != at_end; ++at) {
      uint16_t* const p = line + 2 * *at;
      uint32_t a;
      std::memcpy(&a, __builtin_assume_aligned(p, 4), 4);
      a = add_saturate_pair(a, pairs[*at]);
      std::memcpy(__builtin_assume_aligned(p, 4), &a, 4);
    }
  }
}

int32_t coarse_spacing(int32_t level) {
  if (level >= 0 && level <= 17) return 48;
  if (level == 26 || level == 33) return 36;
  if (level == 31) return 24;
  return 60;
}

// The stars' adds, drawn (with their random numbers) when a build starts and made per area.
struct star_add {
  int32_t index;
  uint16_t colour;
};
constexpr int kStarTries = 80;
star_add star_adds[kStarTries * 9];
int32_t star_add_count = 0;

void draw_stars() {
  star_add_count = 0;
  for (int tries = 0; tries < kStarTries; ++tries) {
    const int32_t x = int32_t(mt_next() & 511);
    const int32_t y = int32_t(mt_next() & 511);
    // A try on the edge is wasted without drawing its colours.
    if (x == 0 || y == 0 || x == 511 || y == 511) continue;
    const int32_t r = int32_t((mt_next() & 0xFFFF) % 6 + 24);
    const int32_t g = int32_t((mt_next() & 0xFFFF) % 12 + 48);
    const int32_t b = int32_t((mt_next() & 0xFFFF) % 6 + 24);
    const int32_t centre = (y + 128) * kCanvasSize + x + 128;
    auto colour = [&](int shift) { return uint16_t(((r >> shift) << 11) | ((g >> shift) << 5) | (b >> shift)); };
    star_adds[star_add_count++] = {centre, colour(0)};
    for (int32_t d : {-1, 1, -kCanvasSize, kCanvasSize}) star_adds[star_add_count++] = {centre + d, colour(1)};
    for (int32_t d : {-kCanvasSize - 1, -kCanvasSize + 1, kCanvasSize - 1, kCanvasSize + 1})
      star_adds[star_add_count++] = {centre + d, colour(2)};
  }
}

bool in_area(const area& a, int32_t x, int32_t y) { return x >= a.x0 && x < a.x1 && y >= a.y0 && y < a.y1; }

void stars_pass(const area& a) {
  for (int32_t k = 0; k < star_add_count; ++k) {
    const star_add& s = star_adds[k];
    if (in_area(a, s.index % kCanvasSize, s.index / kCanvasSize))
      world_image[s.index] = add_saturate(world_image[s.index], s.colour);
  }
}

// The arena's border: four outlines stored (every one of them lies inside the world).
void border_pass(const area& a) {
  struct outline {
    int32_t at, size;
    uint16_t colour;
  };
  static constexpr outline kBorder[] = {{127, 514, 0x8410}, {126, 516, 0xFFFF}, {125, 518, 0xFFFF}, {124, 520, 0x8410}};
  for (const outline& o : kBorder) {
    const int32_t last = o.at + o.size - 1;
    auto store = [&](int32_t x, int32_t y) {
      if (in_area(a, x, y)) world_image[y * kCanvasSize + x] = o.colour;
    };
    for (int32_t c = o.at; c <= last; ++c) store(c, o.at), store(c, last);
    for (int32_t r = o.at; r <= last; ++r) store(o.at, r), store(last, r);
  }
}

void walls(int32_t level, const area& a) {
  const uint16_t colour = (level == 11 || level == 23) ? 0x000A : level == 22 ? 0x03DE : 0xFBE0;
  for_each_wall(level, [&](const wall_box& b) {
    for (int32_t y = b.y + 128; y < b.y + 128 + b.height; ++y)
      for (int32_t x = b.x + 128; x < b.x + 128 + b.width; ++x)
        if (on_canvas(x, y) && in_area(a, x, y))
          world_image[y * kCanvasSize + x] = add_saturate(world_image[y * kCanvasSize + x], colour);
  });
}

struct start_position {
  int32_t level, x, y;
};
constexpr start_position kShipStarts[] = {
    {13, 160, 160}, {14, 409, 400}, {15, 540, 600}, {19, 160, 170}, {22, 540, 140},
    {23, 140, 140}, {25, 600, 220}, {27, 140, 550}, {28, 340, 610}, {29, 380, 380},
    {30, 155, 155}, {31, 320, 155}, {33, 150, 250}, {34, 380, 610},
};

template <typename Change>
void change_every_pixel(Change change) {
  if (!world_image) return;
  finish_world_build();
  for (int32_t i = 0; i < kCanvasPixels; ++i) {
    const uint16_t v = world_image[i];
    int32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
    change(r, g, b);
    world_image[i] = uint16_t((r << 11) | (g << 5) | b);
  }
}

// The fade-out runs over the whole image in every one of its frames: one table look-up a
// pixel (32-bit entries, so that the load scales the index itself) instead of unpacking,
// clamping and packing each channel. The world holds few distinct colours, so few of the
// table's lines are in use. Made with the first world, before any frame.
const uint32_t* fade_table() {
  static uint32_t table[65536];
  static bool made = false;
  if (!made) {
    for (uint32_t v = 0; v < 65536; ++v) {
      const uint32_t r = v >> 11, g = (v >> 5) & 63, b = v & 31;
      table[v] = ((r > 4 ? r - 4 : 0) << 11) | ((g > 6 ? g - 6 : 0) << 5) | (b > 4 ? b - 4 : 0);
    }
    made = true;
  }
  return table;
}

// n pixels from one row to another. The camera's window starts at any column, so on the
// console the C library's copy takes its slow path for half of them; the source and the
// destination start at the same column in both of this file's uses, so after one pixel at
// most both are word-aligned and the row goes as blocks of 16 pixels, which the compiler
// moves with one multiple load and store each.
void copy_row(uint16_t* d, const uint16_t* s, int32_t n) {
  // A 64-bit processor's library copy has no such slow path.
  if (sizeof(uintptr_t) >= 8 ||
      ((reinterpret_cast<uintptr_t>(d) ^ reinterpret_cast<uintptr_t>(s)) & 3) != 0) {
    std::memcpy(d, s, size_t(n) * 2);
    return;
  }
  if ((reinterpret_cast<uintptr_t>(d) & 3) != 0 && n > 0) {
    *d++ = *s++;
    --n;
  }
  for (; n >= 16; n -= 16, d += 16, s += 16)
    std::memcpy(__builtin_assume_aligned(d, 4), __builtin_assume_aligned(s, 4), 32);
  std::memcpy(d, s, size_t(n) * 2);
}

// A channel moves at most 3 towards the world's: as an offset of the packed pixel, looked up
// by the channel's difference (which stays inside the channel, so the offsets of the three
// channels add up without carries).
struct towards_offsets {
  int32_t red[63], green[127], blue[63];
};

const towards_offsets& towards_table() {
  static towards_offsets table;
  static bool made = false;
  if (!made) {
    auto step = [](int32_t d) { return d < -3 ? -3 : d > 3 ? 3 : d; };
    for (int32_t d = -31; d <= 31; ++d) {
      table.red[d + 31] = step(d) * 2048;
      table.blue[d + 31] = step(d);
    }
    for (int32_t d = -63; d <= 63; ++d) table.green[d + 63] = step(d) * 32;
    made = true;
  }
  return table;
}

// A build in progress: what its passes need, fixed when it starts (its random numbers
// drawn then too), and the parts of the world still to make. A zone's world is made under
// the camera's window at once and around it a part a frame; whatever reads or writes the
// world outside that window first makes the rest.
struct world_build {
  int32_t level = 0, mode = 0;
  uint16_t palette[6] = {};
  bool fade = false;
  int32_t stored_first = 0, stored_end = 0;  // pixels the passes store whatever they held
  area made{};
  area left[4] = {};
  int32_t next = 0, count = 0;
};
world_build build;

// The fade before a new world, except on the pixels the base or the picture pass store.
void fade_pass(const area& a) {
  const uint32_t* faded = fade_table();
  auto fade_run = [faded](int32_t from, int32_t to) {
    for (int32_t i = from; i < to; ++i) world_image[i] = uint16_t(faded[world_image[i]]);
  };
  for (int32_t y = a.y0; y < a.y1; ++y) {
    const int32_t from = y * kCanvasSize + a.x0, to = y * kCanvasSize + a.x1;
    fade_run(from, to < build.stored_first ? to : build.stored_first);
    fade_run(from > build.stored_end ? from : build.stored_end, to);
  }
}

void build_area(const area& a) {
  const int32_t level = build.level, mode = build.mode;
  if (build.fade) fade_pass(a);
  if (level > 4 && mode == 0) base_pass(level, a);
  if (mode != 0 || level <= 4 ||
      level_in(level, {10, 13, 14, 15, 17, 19, 20, 21, 22, 23, 25, 28, 29, 30, 32, 34}))
    picture_pass(level, mode, a);
  grid_pass(coarse_spacing(level), build.palette, a);
  stars_pass(a);
  if (level != 99) border_pass(a);
  if (mode == 0 && level >= 11 && level <= 35 && !level_in(level, {14, 15, 19})) walls(level, a);
}

// Starts a build after the one in progress ends; false without a world to build into.
bool start_build(int32_t difficulty, int32_t level, bool fade) {
  finish_world_build();
  set_world_palette(difficulty, level);
  if (!world_image) {
    // Cleared once: the passes leave some pixels to the previous world, and the first
    // world has none (nor anything to fade).
    world_image = static_cast<uint16_t*>(std::calloc(kCanvasPixels, sizeof(uint16_t)));
    if (!world_image) return false;
    fade_table();
    towards_table();
    fade = false;
  }
  build.level = level;
  build.mode = world_image_mode;
  std::memcpy(build.palette, world_palette, sizeof build.palette);
  build.fade = fade;
  build.stored_first = build.stored_end = 0;
  if (level > 4 && world_image_mode == 0 && !level_in(level, {8, 17})) {
    build.stored_end = kCanvasPixels;
  } else if (world_image_mode != 0) {
    build.stored_first = 60000, build.stored_end = 450002;
  } else if (level <= 4 || level_in(level, {17, 21, 22, 23, 25, 29, 30, 32, 34})) {
    build.stored_first = 60000, build.stored_end = 522240;
  }
  build.next = build.count = 0;
  draw_stars();
  if (player_object) {
    for (const start_position& p : kShipStarts) {
      if (p.level != level) continue;
      player_object->x = p.x * 256;
      player_object->y = p.y * 256;
    }
  }
  return true;
}

// Columns [x0, x1) and rows [y0, y1) of the world about to be read: the rest of a build in
// progress is made first unless they lie in its finished window.
void about_to_read(int64_t x0, int64_t x1, int64_t y0, int64_t y1) {
  const area& m = build.made;
  if (build.next == build.count) return;
  if (x0 >= x1 || y0 >= y1 || (x0 >= m.x0 && x1 <= m.x1 && y0 >= m.y0 && y1 <= m.y1)) return;
  finish_world_build();
}

}  // namespace

uint16_t* image_slot(int32_t slot) {
  if (slot < 1 || slot > kImageSlotCount) return nullptr;
  finish_world_build();
  return image_slots[slot - 1];
}

const uint16_t* built_in_picture(int32_t which) {
  if (which < 1 || which > 3) return nullptr;
  if (!built_in_made[which - 1]) {
    pellax_art::built_in_picture(which, built_in_pictures[which - 1]);
    built_in_made[which - 1] = true;
  }
  return built_in_pictures[which - 1];
}

const uint8_t* built_in_intensity_a() { return built_in_intensity(0); }
const uint8_t* built_in_intensity_b() { return built_in_intensity(1); }

void set_world_palette(int32_t difficulty, int32_t level) {
  if (difficulty == 0) return use_palette(kBlue);
  if (level_in(level, {0, 3, 6, 22, 26, 31})) use_palette(kRed);
  else if (level_in(level, {1, 7, 9, 12, 19, 20, 24})) use_palette(kGreen);
  else if (level_in(level, {2, 5, 8, 11, 17, 25, 27})) use_palette(kBlue);
  else if (level_in(level, {4, 10, 13, 16, 18, 21, 33})) use_palette(kPurple);
}

void build_world_image(int32_t difficulty, int32_t level) {
  if (start_build(difficulty, level, false)) build_area(kWholeWorld);
}

void fade_and_build_world_image(int32_t difficulty, int32_t level) {
  if (start_build(difficulty, level, true)) build_area(kWholeWorld);
}

void fade_and_build_world_window(int32_t difficulty, int32_t level, int32_t x, int32_t y) {
  if (!start_build(difficulty, level, true)) return;
  // The columns fade_canvas_to_world reads (from x - 1), widened to whole words.
  auto clamp = [](int64_t v) { return int32_t(v < 0 ? 0 : v > kCanvasSize ? kCanvasSize : v); };
  area w{clamp((int64_t(x) - 1) & ~int64_t(1)), clamp((int64_t(x) + 321) & ~int64_t(1)), clamp(y),
         clamp(int64_t(y) + 240)};
  if (w.x0 >= w.x1 || w.y0 >= w.y1) w = area{0, 0, 0, 0};
  else build_area(w);
  build.made = w;
  const area rest[4] = {{0, kCanvasSize, 0, w.y0}, {0, w.x0, w.y0, w.y1}, {w.x1, kCanvasSize, w.y0, w.y1},
                        {0, kCanvasSize, w.y1 > 0 ? w.y1 : 0, kCanvasSize}};
  for (const area& a : rest)
    if (a.x0 < a.x1 && a.y0 < a.y1) build.left[build.count++] = a;
  if (w.x0 >= w.x1) finish_world_build();
}

void continue_world_build() {
  // About 48 rows' pixels a frame: a zone's world is done in well under the 24 frames its
  // camera stays home.
  int32_t budget = 48 * kCanvasSize;
  while (budget > 0 && build.next < build.count) {
    area& a = build.left[build.next];
    const int32_t width = a.x1 - a.x0;
    const int32_t rows = budget / width > 0 ? budget / width : 1;
    const area part{a.x0, a.x1, a.y0, a.y0 + rows < a.y1 ? a.y0 + rows : a.y1};
    build_area(part);
    budget -= width * (part.y1 - part.y0);
    a.y0 = part.y1;
    if (a.y0 >= a.y1) ++build.next;
  }
}

void finish_world_build() {
  for (; build.next < build.count; ++build.next) build_area(build.left[build.next]);
}

bool world_build_in_progress() { return build.next < build.count; }

void world_add_pixel(int32_t index, uint16_t colour) {
  if (!world_image || index < 0 || index >= kCanvasPixels) return;
  finish_world_build();
  world_image[index] = add_saturate(world_image[index], colour);
}

void world_rect_outline(int32_t x, int32_t y, int32_t width, int32_t height, uint16_t colour) {
  if (!world_image) return;
  finish_world_build();
  draw_rect_outline(world_image, x, y, width, height, colour);
}

void fade_world_image() {
  if (!world_image) return;
  finish_world_build();
  const uint32_t* faded = fade_table();
  uint16_t* p = world_image;
  uint16_t* const end = world_image + kCanvasPixels;
  for (; p != end; p += 8) {  // kCanvasPixels is a multiple of 8
    p[0] = uint16_t(faded[p[0]]);
    p[1] = uint16_t(faded[p[1]]);
    p[2] = uint16_t(faded[p[2]]);
    p[3] = uint16_t(faded[p[3]]);
    p[4] = uint16_t(faded[p[4]]);
    p[5] = uint16_t(faded[p[5]]);
    p[6] = uint16_t(faded[p[6]]);
    p[7] = uint16_t(faded[p[7]]);
  }
}

void darken_world_image() {
  change_every_pixel([](int32_t& r, int32_t& g, int32_t& b) {
    r = r > 4 ? r - 4 : 0;
    g = g > 4 ? g - 4 : 0;
    b = b > 4 ? b - 4 : 0;
  });
}

void fade_world_step() {
  change_every_pixel([](int32_t& r, int32_t& g, int32_t& b) {
    for (int32_t* c : {&r, &g, &b})
      if (*c > 1) *c -= 2;
    if (r <= 1 && g <= 1 && b <= 1) transition_timer = 1;
  });
}

void fade_canvas_to_world(uint16_t* surface, int32_t x, int32_t y) {
  if (!world_image || !surface) return;
  // The window's edges in 64 bits (a camera at the end of the range must not wrap); the
  // last column, 767, is never touched.
  const int64_t c0 = x - int64_t(1) < 0 ? 0 : x - int64_t(1);
  const int64_t c1 = x + int64_t(319) > kCanvasSize - 2 ? kCanvasSize - 2 : x + int64_t(319);
  const int64_t r0 = y < 0 ? 0 : y;
  const int64_t r1 = y + int64_t(239) > kCanvasSize - 1 ? kCanvasSize - 1 : y + int64_t(239);
  about_to_read(c0, c1 + 1, r0, r1 + 1);
  // Each table from its middle, indexed by the signed difference (green's as its field
  // stands, a multiple of 32): on the console one load each.
  const towards_offsets& t = towards_table();
  const int32_t* const red = t.red + 31;
  const int32_t* const green = t.green + 63;
  const int32_t* const blue = t.blue + 31;
  const auto move = [red, green, blue](uint16_t& s, uint16_t w) {
    const int32_t v = s;
    s = uint16_t(v + red[(w >> 11) - (v >> 11)] + green[(int32_t(w & 0x7E0) - (v & 0x7E0)) >> 5] +
                 blue[(w & 31) - (v & 31)]);
  };
  const auto move_pair = [&move](uint16_t* s, const uint16_t* w) {
    move(s[0], w[0]);
    move(s[1], w[1]);
  };
  const auto word = [](const uint16_t* p) {
    uint32_t v;
    std::memcpy(&v, __builtin_assume_aligned(p, 4), 4);
    return v;
  };
  // Past the clamps every edge fits in 32 bits: 64-bit counters cost the console two
  // instructions for each step and three for each test.
  const int32_t first = int32_t(c0), last = int32_t(c1);
  // A window wholly right of the canvas has no columns: its first would put the row's
  // pointers far outside it (on a 32-bit machine, wrapped round to before it).
  if (first > last) return;
  for (int32_t row = int32_t(r0); row <= int32_t(r1); ++row) {
    uint16_t* s = surface + row * kCanvasSize;
    const uint16_t* w = world_image + row * kCanvasSize;
    int32_t col = first;
    if (col <= last && (col & 1)) move(s[col], w[col]), ++col;
    // Most of the window has reached the world already (the backdrop under this frame's
    // few lines): compared four aligned words at a time, and only a pair of pixels that
    // differs is worked out.
    int32_t pairs = col <= last ? (last - col + 1) >> 1 : 0;
    uint16_t* sp = s + col;
    const uint16_t* wp = w + col;
    for (; pairs >= 4; pairs -= 4, sp += 8, wp += 8) {
      const uint32_t a0 = word(sp), a1 = word(sp + 2), a2 = word(sp + 4), a3 = word(sp + 6);
      const uint32_t b0 = word(wp), b1 = word(wp + 2), b2 = word(wp + 4), b3 = word(wp + 6);
      if (((a0 ^ b0) | (a1 ^ b1) | (a2 ^ b2) | (a3 ^ b3)) == 0) continue;
      if (a0 != b0) move_pair(sp, wp);
      if (a1 != b1) move_pair(sp + 2, wp + 2);
      if (a2 != b2) move_pair(sp + 4, wp + 4);
      if (a3 != b3) move_pair(sp + 6, wp + 6);
    }
    for (; pairs > 0; --pairs, sp += 2, wp += 2)
      if (word(sp) != word(wp)) move_pair(sp, wp);
    if (sp - s <= last) move(*sp, *wp);
  }
}

void copy_world_window(uint16_t* destination, int32_t sx, int32_t sy, int32_t dx, int32_t dy,
                       int32_t width, int32_t height) {
  if (!world_image || !destination || width <= 0 || height <= 0) return;
  // In 64 bits: the negation and the room left both overflow at the ends of the range.
  auto clip = [](int64_t s, int64_t d, int64_t n, int64_t& first, int64_t& end) {
    first = 0;
    if (-s > first) first = -s;
    if (-d > first) first = -d;
    end = n;
    if (kCanvasSize - s < end) end = kCanvasSize - s;
    if (kCanvasSize - d < end) end = kCanvasSize - d;
  };
  int64_t c0, c1, r0, r1;
  clip(sx, dx, width, c0, c1);
  clip(sy, dy, height, r0, r1);
  if (c1 <= c0) return;
  about_to_read(sx + c0, sx + c1, sy + r0, sy + r1);
  for (int64_t r = r0; r < r1; ++r) {
    copy_row(destination + (dy + r) * kCanvasSize + dx + c0,
             world_image + (sy + r) * kCanvasSize + sx + c0, int32_t(c1 - c0));
  }
}

void draw_world(uint16_t* surface, int32_t x, int32_t y) {
  copy_world_window(surface, x, y, x, y, 320, 240);
}

void free_world_image() {
  build.next = build.count = 0;
  std::free(world_image);
  world_image = nullptr;
}
