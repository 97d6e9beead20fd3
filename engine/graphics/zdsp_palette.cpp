// Nearest-colour lookup into the display palette, for images loaded into 8-bit surfaces.
#include <cstdlib>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"

namespace {

struct Candidate {
  uint8_t index;
  uint8_t r, g, b;  // 5-bit components
  uint32_t brightness;
};

// Index of the first candidate at the smallest Manhattan distance.
inline uint8_t Nearest(const Candidate* c, int n, int r, int g, int b) {
  int best = 0, bestdist = 1 << 30;
  for (int i = 0; i < n; ++i) {
    const int d = std::abs(c[i].r - r) + std::abs(c[i].g - g) + std::abs(c[i].b - b);
    if (d < bestdist) {
      bestdist = d;
      best = i;
    }
  }
  return c[best].index;
}

}  // namespace

void ZDisplay_CreatePaletteLookup(const uint32_t* palette, uint8_t* out, const uint32_t* colours,
                                  uint16_t count) {
  if (!palette || !out) return;
  Candidate cand[255];
  int n = 0;
  for (int i = 1; i < 256; ++i) {
    bool seen = false;
    for (int j = 1; j < i && !seen; ++j) seen = palette[j] == palette[i];
    if (seen) continue;
    const uint32_t q = palette[i];
    cand[n].index = uint8_t(i);
    cand[n].r = uint8_t(q >> 19 & 0x1F);
    cand[n].g = uint8_t(q >> 11 & 0x1F);
    cand[n].b = uint8_t(q >> 3 & 0x1F);
    cand[n].brightness = ((q >> 16 & 0xFF) + (q >> 8 & 0xFF) + (q & 0xFF)) >> 3;
    ++n;
  }
  // One bubble pass only: it decides which of two equally near colours wins.
  for (int i = 0; i + 1 < n; ++i) {
    if (cand[i + 1].brightness < cand[i].brightness) {
      const Candidate t = cand[i];
      cand[i] = cand[i + 1];
      cand[i + 1] = t;
    }
  }
  if (!colours) {
    for (int v = 0; v < 32768; ++v) out[v] = Nearest(cand, n, v & 0x1F, v >> 5 & 0x1F, v >> 10 & 0x1F);
    return;
  }
  out[0] = 0;
  for (int k = 1; k < count; ++k) {
    const uint32_t c = colours[k];
    out[k] = Nearest(cand, n, c >> 3 & 0x1F, c >> 11 & 0x1F, c >> 19 & 0x1F);
  }
}

int ClassZDisplay::BuildPaletteLookup() {
  if (palettelookup && !palettechanged) return 1;
  if (!palettelookup) {
    palettelookup = static_cast<uint8_t*>(ClassZMemory::Alloc(32768));
    if (!palettelookup) return 0;
  }
  ZDisplay_CreatePaletteLookup(palette, palettelookup, nullptr, 0);
  palettechanged = 0;
  return 1;
}

int ClassZDisplay::BuildPaletteLookupIndex(uint8_t* out, const uint32_t* colours) {
  if (!out) return 0;
  if (!colours) {
    out[0] = 0;
    return 1;
  }
  ZDisplay_CreatePaletteLookup(palette, out, colours, 256);
  return 1;
}
