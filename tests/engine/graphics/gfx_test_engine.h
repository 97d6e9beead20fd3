// A headless engine for the graphics tests: memory, math, configuration and a display that
// maps nothing, set to one of the four rotations.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/core/zmod_math.h"
#include "engine/core/zmod_memory.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zsurf_2d.h"

struct TestEngine : ZStandaloneDisplay {
  explicit TestEngine(uint8_t rotation = 0, uint8_t backbuffer = ZFMT_RGB565)
      : ZStandaloneDisplay(rotation, backbuffer) {}
};

// A surface created on the engine, or a failed test.
inline void MakeSurface(TestEngine& e, Z2DSurface& s, uint32_t w, uint32_t h, uint8_t format) {
  s.LinkZCD(&e.zcd);
  const int r = s.Create(w, h, format, 1);
  if (r != 0) throw r;
}

// FNV-1a over the used pixels of a surface, row by row in logical order (so the value does
// not depend on the rotation).
inline uint32_t LogicalChecksum(const Z2DSurface& s) {
  uint32_t h = 2166136261u;
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) {
      const uint32_t c = s.GetPixel(int32_t(x), int32_t(y));
      for (int b = 0; b < 4; ++b) {
        h ^= (c >> (8 * b)) & 0xFF;
        h *= 16777619u;
      }
    }
  return h;
}

// Raw stored pixels of a surface in logical order.
inline std::vector<uint32_t> LogicalPixels(const Z2DSurface& s) {
  std::vector<uint32_t> v;
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) v.push_back(s.GetPixel(int32_t(x), int32_t(y)));
  return v;
}

// Raw stored pixel at buffer coordinates, and the same written.
inline uint32_t Raw(const Z2DSurface& s, int32_t x, int32_t y) {
  return ZSurf_LoadPixel(s.buffer + (size_t(y) * s.stride + x) * (s.bits / 8), s.bits);
}
inline void SetRaw(Z2DSurface& s, int32_t x, int32_t y, uint32_t v) {
  ZSurf_StorePixel(s.buffer + (size_t(y) * s.stride + x) * (s.bits / 8), s.bits, v);
}

// Raw stored pixels of a surface in buffer order.
inline std::vector<uint32_t> Snapshot(const Z2DSurface& s) {
  std::vector<uint32_t> v;
  for (int32_t y = 0; y < s.rows; ++y)
    for (int32_t x = 0; x < s.rowlength; ++x) v.push_back(Raw(s, x, y));
  return v;
}
