// The engine's periphery per frame on a 320 x 240 5:6:5 screen: a full-screen shader blit
// and a full-screen landscape (240 spans of 320 pixels, or 320 spans of 240 on a display
// whose axes are exchanged), each next to the plain BltFast of the same size; the landscape
// also next to a floating-point reference that a user might write instead, and pixel
// collision next to a per-pixel colour-key comparison.
#include <benchmark/benchmark.h>

#include <cmath>

#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zx_shader.h"
#include "tests/engine/graphics/gfx_test_engine.h"

namespace {

constexpr int kW = 320, kH = 240;

// Stripes and noise, with key-coloured (0xFF00FF) holes in about one pixel in eight.
void Noise(Z2DSurface& s, uint32_t seed) {
  for (uint32_t y = 0; y < s.GetHeight(); ++y)
    for (uint32_t x = 0; x < s.GetWidth(); ++x) {
      seed = seed * 1664525u + 1013904223u;
      const uint32_t c = (seed >> 8) % 8 == 0 ? 0xFF00FF : (x * 0x020408u + y * 0x080402u) ^ (seed >> 16);
      s.PutPixel(int32_t(x), int32_t(y), c, 0, 0);
    }
  s.SetColorKey(0xFF00FF);
}

struct Screen {
  TestEngine e;
  Z2DSurface dst, src;
  Screen(uint8_t rotation, uint32_t sw, uint32_t sh) : e(rotation, ZFMT_RGB565) {
    e.display.rendersize = kH;
    MakeSurface(e, dst, kW, kH, ZFMT_RGB565);
    MakeSurface(e, src, sw, sh, ZFMT_RGB565);
    Noise(dst, 1);
    Noise(src, 2);
  }
};

void Frames(benchmark::State& state) { state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH); }

// Arg: blit flags (0 copy, 1 colour key).
void PlainBlit(benchmark::State& state) {
  Screen s(0, kW, kH);
  const int32_t flags = int32_t(state.range(0));
  for (auto _ : state) {
    s.dst.BltFast(0, 0, &s.src, nullptr, flags, 0);
    benchmark::DoNotOptimize(s.dst.buffer);
  }
  Frames(state);
}

void ShaderBlit(benchmark::State& state, ZPIXELSHADER shader) {
  Screen s(0, kW, kH);
  const int32_t flags = int32_t(state.range(0));
  for (auto _ : state) {
    s.dst.BltPixelShader(0, 0, &s.src, nullptr, shader, flags, 0);
    benchmark::DoNotOptimize(s.dst.buffer);
  }
  Frames(state);
}

// Arg 0: rotation (0, or 1 for exchanged axes); arg 1: texture side (256 takes the masked
// walk, 200 the one that divides).
void LandscapeFrame(benchmark::State& state) {
  const uint32_t side = uint32_t(state.range(1));
  Screen s(uint8_t(state.range(0)), side, side);
  int32_t camy = 0;
  for (auto _ : state) {
    tagRECT r = {0, 0, int32_t(s.dst.GetWidth()), int32_t(s.dst.GetHeight())};
    // The horizon just above the screen: every row is drawn.
    s.dst.Landscape(&r, 40, 5000, camy -= 16, 300, 1000, 200, &s.src);
    benchmark::DoNotOptimize(s.dst.buffer);
  }
  Frames(state);
}

// The same perspective in floating point: per row a distance and a step, per pixel a
// position rounded down and wrapped with a floor modulo.
void LandscapeFloatReference(benchmark::State& state) {
  Screen s(0, 256, 256);
  const double c = std::cos(300 * 2 * M_PI / 4096), sn = std::sin(300 * 2 * M_PI / 4096);
  const int32_t tw = s.src.rowlength, th = s.src.rows;
  double camy = 0;
  for (auto _ : state) {
    camy -= 1;
    uint16_t* out = reinterpret_cast<uint16_t*>(s.dst.buffer);
    const uint16_t* tex = reinterpret_cast<const uint16_t*>(s.src.buffer);
    double g = 40;
    for (int k = 0; k < kH; ++k) {
      const double m = kH * 1024.0, L = m - k * 1000.0;
      if (k) g += 1256.0 / 256 * (m / L) * (m / L);
      const double step = 0.3125 * m / L;
      double tx = 312.5 + sn * g / 12.8 - c * step * kW / 2, ty = camy - c * g / 12.8 - sn * step * kW / 2;
      uint16_t* row = out + size_t(kH - 1 - k) * s.dst.stride;
      for (int x = 0; x < kW; ++x, tx += c * step, ty += sn * step) {
        int32_t u = int32_t(std::floor(tx)) % tw, v = int32_t(std::floor(ty)) % th;
        u += u < 0 ? tw : 0;
        v += v < 0 ? th : 0;
        row[x] = tex[size_t(v) * s.src.stride + size_t(u)];
      }
    }
    benchmark::DoNotOptimize(s.dst.buffer);
  }
  Frames(state);
}

// Two 64 x 64 sprites overlapping by half, with no common solid pixel (the whole overlap is
// compared): the masks, and the per-pixel key comparison.
struct Sprites {
  TestEngine e;
  Z2DSurface a, b;
  Sprites() {
    MakeSurface(e, a, 64, 64, ZFMT_RGB565);
    MakeSurface(e, b, 64, 64, ZFMT_RGB565);
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 64; ++x) {
        a.PutPixel(x, y, (x + y) % 2 ? 0xFF00FF : 0x3080C0, 0, 0);
        b.PutPixel(x, y, (x + y) % 2 ? 0x3080C0 : 0xFF00FF, 0, 0);  // solid where a is not
      }
    a.SetColorKey(0xFF00FF);
    b.SetColorKey(0xFF00FF);
    a.BuildTableMask(0);
    b.BuildTableMask(0);
  }
};

void CollisionMasks(benchmark::State& state) {
  Sprites s;
  for (auto _ : state) benchmark::DoNotOptimize(s.a.Intersect(0, 0, nullptr, 32, 32, nullptr, &s.b, nullptr));
  state.SetItemsProcessed(int64_t(state.iterations()) * 32 * 32);
}

void CollisionPerPixel(benchmark::State& state) {
  Sprites s;
  const uint16_t* pa = reinterpret_cast<const uint16_t*>(s.a.buffer);
  const uint16_t* pb = reinterpret_cast<const uint16_t*>(s.b.buffer);
  const uint16_t ka = uint16_t(s.a.colorkey), kb = uint16_t(s.b.colorkey);
  for (auto _ : state) {
    int hit = 0;
    for (int y = 32; y < 64 && !hit; ++y)
      for (int x = 32; x < 64; ++x)
        if (pa[y * s.a.stride + x] != ka && pb[(y - 32) * s.b.stride + x - 32] != kb) {
          hit = 1;
          break;
        }
    benchmark::DoNotOptimize(hit);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 32 * 32);
}

}  // namespace

BENCHMARK(PlainBlit)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(ShaderBlit, xor, ZPShader_XOR)->Arg(0)->Arg(1);
BENCHMARK_CAPTURE(ShaderBlit, grayscale, ZPShader_Grayscale)->Arg(0);
BENCHMARK(LandscapeFrame)->Args({0, 256})->Args({0, 200})->Args({1, 256})->Args({1, 200});
BENCHMARK(LandscapeFloatReference);
BENCHMARK(CollisionMasks);
BENCHMARK(CollisionPerPixel);
