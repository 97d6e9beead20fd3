#include "assets/pellax/procedural_art.h"

#include <cmath>
#include <cstring>

#include "pellax/base/wall_table.h"

namespace pellax_art {
namespace {

constexpr int N = kPictureSize;

uint32_t hash3(int32_t x, int32_t y, uint32_t seed) {
  uint32_t h = seed * 0x9E3779B1u ^ uint32_t(x) * 0x85EBCA77u ^ uint32_t(y) * 0xC2B2AE3Du;
  h ^= h >> 15;
  h *= 0x2C1B3C6Du;
  h ^= h >> 12;
  h *= 0x297A2D39u;
  h ^= h >> 15;
  return h;
}

float lattice(int32_t x, int32_t y, uint32_t seed) {
  return float(hash3(x, y, seed) & 0xFFFF) / 65535.0f;
}

// Smooth value noise at (x, y) with cells of `cell` pixels, 0..1.
float value_noise(float x, float y, float cell, uint32_t seed) {
  const float fx = x / cell, fy = y / cell;
  const int32_t ix = int32_t(std::floor(fx)), iy = int32_t(std::floor(fy));
  float tx = fx - float(ix), ty = fy - float(iy);
  tx = tx * tx * (3.0f - 2.0f * tx);
  ty = ty * ty * (3.0f - 2.0f * ty);
  const float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
  const float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
  return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, float cell, uint32_t seed) {
  float sum = 0.0f, amp = 0.5f;
  for (int o = 0; o < 4; ++o) {
    sum += amp * value_noise(x, y, cell, seed + uint32_t(o) * 101u);
    cell *= 0.5f;
    amp *= 0.5f;
  }
  return sum / 0.9375f;
}

struct rgb {
  float r, g, b;  // 0..1
};

uint16_t pack(rgb c) {
  auto q = [](float v, int max) {
    int i = int(v * float(max) + 0.5f);
    return i < 0 ? 0 : i > max ? max : i;
  };
  // Green stays even: the game's picture conversions take blue from bits 1-5, so an odd
  // green would leak into blue.
  return uint16_t((q(c.r, 31) << 11) | ((q(c.g, 63) & ~1) << 5) | q(c.b, 31));
}

rgb unpack(uint16_t p) {
  return {float(p >> 11) / 31.0f, float((p >> 5) & 63) / 63.0f, float(p & 31) / 31.0f};
}

void put(uint16_t* img, int x, int y, rgb c) {
  if (x >= 0 && y >= 0 && x < N && y < N) img[y * N + x] = pack(c);
}

// A glowing cloud in two tints over black; sparse stars in the dark parts.
void nebula(uint16_t* img, uint32_t seed, rgb tint1, rgb tint2, float density) {
  for (int y = 0; y < N; ++y) {
    for (int x = 0; x < N; ++x) {
      const float n = fbm(float(x), float(y), 192.0f, seed);
      const float m = fbm(float(x), float(y), 96.0f, seed + 7u);
      float v = (n - (1.0f - density)) / density;
      v = v < 0.0f ? 0.0f : v > 1.0f ? 1.0f : v;
      v = v * v;
      rgb c{(tint1.r * (1.0f - m) + tint2.r * m) * v, (tint1.g * (1.0f - m) + tint2.g * m) * v,
            (tint1.b * (1.0f - m) + tint2.b * m) * v};
      if (v < 0.05f && (hash3(x, y, seed ^ 0x5A5Au) % 900u) == 0) c = {0.8f, 0.8f, 0.9f};
      img[y * N + x] = pack(c);
    }
  }
}

// A shaded planet with a rim light from the upper left.
void planet(uint16_t* img, int cx, int cy, int r, rgb base, uint32_t seed) {
  for (int y = cy - r; y <= cy + r; ++y) {
    for (int x = cx - r; x <= cx + r; ++x) {
      const float dx = float(x - cx) / float(r), dy = float(y - cy) / float(r);
      const float d2 = dx * dx + dy * dy;
      if (d2 > 1.0f) continue;
      const float z = std::sqrt(1.0f - d2);
      float light = 0.15f + 0.85f * std::fmax(0.0f, -0.5f * dx - 0.5f * dy + 0.7f * z);
      const float bands = 0.75f + 0.25f * value_noise(float(x) * 0.5f, float(y) * 4.0f, 24.0f, seed);
      light *= bands;
      put(img, x, y, {base.r * light, base.g * light, base.b * light});
    }
  }
}

// A lit ring around (cx, cy).
void ring(uint16_t* img, int cx, int cy, float radius, float width, rgb c) {
  const int r = int(radius + width) + 1;
  for (int y = cy - r; y <= cy + r; ++y) {
    for (int x = cx - r; x <= cx + r; ++x) {
      const float d = std::hypot(float(x - cx), float(y - cy));
      const float off = std::fabs(d - radius) / width;
      if (off >= 1.0f) continue;
      if (x < 0 || y < 0 || x >= N || y >= N) continue;
      const float k = 1.0f - off;
      const rgb o = unpack(img[y * N + x]);
      put(img, x, y, {o.r + c.r * k, o.g + c.g * k, o.b + c.b * k});
    }
  }
}

// Thin lines every `step` pixels.
void grid(uint16_t* img, int step, rgb c) {
  for (int y = 0; y < N; ++y)
    for (int x = 0; x < N; ++x)
      if (x % step == 0 || y % step == 0) {
        const rgb o = unpack(img[y * N + x]);
        put(img, x, y, {o.r + c.r, o.g + c.g, o.b + c.b});
      }
}

// A solid block with a bright edge: the look of a wall.
void block(uint16_t* img, int x0, int y0, int w, int h, rgb fill, rgb edge) {
  for (int y = y0; y < y0 + h; ++y)
    for (int x = x0; x < x0 + w; ++x) {
      const bool border = x < x0 + 2 || y < y0 + 2 || x >= x0 + w - 2 || y >= y0 + h - 2;
      const float shade = 0.8f + 0.2f * float((x + y) % 8) / 8.0f;
      put(img, x, y, border ? edge : rgb{fill.r * shade, fill.g * shade, fill.b * shade});
    }
}

// The walls of a level, drawn where the game collides with them.
void level_walls(uint16_t* img, int level, rgb fill, rgb edge) {
  for_each_wall(level, [&](const wall_box& b) {
    block(img, b.x + 128, b.y + 128, b.width, b.height, fill, edge);
  });
}

void clear(uint16_t* img) { std::memset(img, 0, sizeof(uint16_t) * N * N); }

// The title and level-select picture. Rows 0-180 hold the open zone art and rows 581-761
// the locked art, zone z in columns 239 + 60z .. 289 + 60z (the level select shows rows
// 80 - 20z .. 180 of it in the zone's frame); rows 264-503, columns 224-543 are the title
// screen, kept dark where the title text goes.
void title_sheet(uint16_t* img) {
  clear(img);
  const rgb zone_colour[5] = {{0.3f, 0.6f, 1.0f}, {1.0f, 0.35f, 0.3f}, {0.4f, 1.0f, 0.5f},
                              {0.9f, 0.5f, 1.0f}, {1.0f, 0.8f, 0.3f}};
  for (int z = 0; z < 5; ++z) {
    const int left = 239 + 60 * z;
    // Open: a lit planet over a tinted cloud.
    for (int y = 0; y <= 180; ++y)
      for (int x = left; x <= left + 50; ++x) {
        const float n = fbm(float(x), float(y), 40.0f, 31u + uint32_t(z));
        put(img, x, y, {zone_colour[z].r * n * 0.4f, zone_colour[z].g * n * 0.4f,
                        zone_colour[z].b * n * 0.4f});
      }
    planet(img, left + 25, 135, 20, zone_colour[z], 77u + uint32_t(z));
    // Locked: the same band dark, behind bars.
    for (int y = 581; y <= 761; ++y)
      for (int x = left; x <= left + 50; ++x) {
        const bool bar = (x - left) % 12 < 3;
        put(img, x, y, bar ? rgb{0.35f, 0.35f, 0.4f} : rgb{0.05f, 0.05f, 0.08f});
      }
  }
  // Title: a nebula, and a small ringed planet in the lower left corner.
  for (int y = 264; y <= 503; ++y)
    for (int x = 224; x <= 543; ++x) {
      const float n = fbm(float(x), float(y), 120.0f, 5u);
      float v = (n - 0.35f) / 0.65f;
      v = v < 0.0f ? 0.0f : v;
      put(img, x, y, {0.7f * v * v, 0.25f * v, 1.0f * v * v});
    }
  planet(img, 266, 462, 20, {0.9f, 0.55f, 0.3f}, 9u);
  ring(img, 266, 462, 30.0f, 2.0f, {0.4f, 0.35f, 0.3f});
}

}  // namespace

const char* const kLvlPictureNames[] = {
    "treelg.lvl",  "onespace.lvl",    "skulltease.lvl", "station.lvl",   "smallblock.lvl",
    "bluewalls.lvl", "quilt.lvl",     "prisonwalls.lvl", "sixlost.lvl",  "thegauntlet.lvl",
    "skullboss.lvl", "green5.lvl",    "dark5.lvl",      "streak5.lvl",   "planetfinal.lvl",
};
const int kLvlPictureCount = int(sizeof kLvlPictureNames / sizeof kLvlPictureNames[0]);

void built_in_picture(int which, uint16_t* out) {
  switch (which) {
    case 1:
      nebula(out, 101u, {0.9f, 0.3f, 0.6f}, {0.3f, 0.4f, 1.0f}, 0.55f);
      break;
    case 2:
      nebula(out, 202u, {0.2f, 0.8f, 0.7f}, {0.1f, 0.3f, 0.6f}, 0.45f);
      planet(out, 420, 330, 90, {0.6f, 0.8f, 0.5f}, 3u);
      break;
    case 3:
      nebula(out, 303u, {1.0f, 0.7f, 0.3f}, {0.8f, 0.2f, 0.5f}, 0.5f);
      ring(out, 384, 384, 160.0f, 5.0f, {0.5f, 0.4f, 0.2f});
      break;
    default:
      clear(out);
  }
}

void built_in_intensity(int which, uint8_t* out) {
  const int M = kIntensitySize;
  for (int y = 0; y < M; ++y) {
    for (int x = 0; x < M; ++x) {
      float v;
      if (which == 0) {
        // A: soft clouds
        v = (fbm(float(x), float(y), 64.0f, 404u) - 0.25f) / 0.6f;
      } else {
        // B: a checker of plates with a cloudy surface
        const float n = fbm(float(x), float(y), 32.0f, 505u);
        v = ((x / 24 + y / 24) % 2 == 0 ? 1.0f : 0.55f) * n;
      }
      v = v < 0.0f ? 0.0f : v;
      int q = int(v * 15.0f + 0.5f);
      out[y * M + x] = uint8_t(q < 0 ? 0 : q > 15 ? 15 : q);
    }
  }
}

bool lvl_picture(const char* name, uint16_t* out) {
  const char* base = std::strncmp(name, "./", 2) == 0 ? name + 2 : name;
  const rgb wall_fill{0.25f, 0.3f, 0.55f}, wall_edge{0.7f, 0.8f, 1.0f};
  if (!std::strcmp(base, "treelg.lvl")) title_sheet(out);
  else if (!std::strcmp(base, "onespace.lvl")) nebula(out, 11u, {0.2f, 0.5f, 1.0f}, {0.6f, 0.2f, 0.9f}, 0.6f);
  else if (!std::strcmp(base, "skulltease.lvl")) {
    clear(out);
    planet(out, 384, 384, 150, {0.85f, 0.8f, 0.7f}, 12u);
    ring(out, 384, 384, 200.0f, 4.0f, {0.6f, 0.1f, 0.1f});
  } else if (!std::strcmp(base, "station.lvl")) {
    clear(out);
    grid(out, 16, {0.05f, 0.1f, 0.2f});
    ring(out, 384, 384, 230.0f, 6.0f, {0.2f, 0.3f, 0.5f});
  } else if (!std::strcmp(base, "smallblock.lvl")) {
    nebula(out, 14u, {0.2f, 0.3f, 0.5f}, {0.1f, 0.2f, 0.3f}, 0.4f);
    level_walls(out, 14, wall_fill, wall_edge);
  } else if (!std::strcmp(base, "bluewalls.lvl")) {
    clear(out);
    grid(out, 32, {0.0f, 0.05f, 0.15f});
    level_walls(out, 15, {0.15f, 0.25f, 0.8f}, {0.6f, 0.8f, 1.0f});
  } else if (!std::strcmp(base, "quilt.lvl")) {
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        const float n = fbm(float(x), float(y), 64.0f, 17u);
        const bool patch = ((x / 48) + (y / 48)) % 2 == 0;
        put(out, x, y, patch ? rgb{0.35f * n, 0.1f * n, 0.3f * n} : rgb{0.1f * n, 0.25f * n, 0.35f * n});
      }
  } else if (!std::strcmp(base, "prisonwalls.lvl")) {
    nebula(out, 19u, {0.5f, 0.2f, 0.2f}, {0.2f, 0.1f, 0.3f}, 0.35f);
    level_walls(out, 19, {0.5f, 0.25f, 0.2f}, {1.0f, 0.7f, 0.5f});
  } else if (!std::strcmp(base, "sixlost.lvl")) nebula(out, 21u, {0.4f, 0.4f, 0.4f}, {0.2f, 0.2f, 0.5f}, 0.5f);
  else if (!std::strcmp(base, "thegauntlet.lvl")) nebula(out, 23u, {0.1f, 0.3f, 0.6f}, {0.1f, 0.6f, 0.5f}, 0.5f);
  else if (!std::strcmp(base, "skullboss.lvl")) {
    nebula(out, 25u, {0.6f, 0.5f, 0.1f}, {0.5f, 0.1f, 0.1f}, 0.5f);
    planet(out, 384, 300, 110, {0.8f, 0.75f, 0.6f}, 25u);
  } else if (!std::strcmp(base, "green5.lvl")) nebula(out, 29u, {0.2f, 0.9f, 0.3f}, {0.1f, 0.5f, 0.2f}, 0.55f);
  else if (!std::strcmp(base, "dark5.lvl")) nebula(out, 30u, {0.15f, 0.1f, 0.25f}, {0.1f, 0.1f, 0.1f}, 0.6f);
  else if (!std::strcmp(base, "streak5.lvl")) {
    clear(out);
    for (int y = 0; y < N; ++y)
      for (int x = 0; x < N; ++x) {
        const float n = value_noise(float(x) * 0.05f, float(y), 8.0f, 32u);
        const float v = n > 0.8f ? (n - 0.8f) * 5.0f : 0.0f;
        put(out, x, y, {0.6f * v, 0.7f * v, 1.0f * v});
      }
  } else if (!std::strcmp(base, "planetfinal.lvl")) {
    nebula(out, 34u, {0.7f, 0.2f, 0.2f}, {0.3f, 0.1f, 0.4f}, 0.45f);
    planet(out, 384, 384, 180, {0.9f, 0.4f, 0.25f}, 34u);
  } else {
    clear(out);
    return false;
  }
  return true;
}

}  // namespace pellax_art
