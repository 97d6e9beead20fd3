// Full-screen 5:6:5 blits and fills of the engine next to SDL2's software blitter (and
// memcpy for the plain copy), on the same pixels: 320x240 surfaces, as on the console.
#include <SDL2/SDL.h>
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "engine/core/zmod_math.h"
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zsurf_2d.h"

namespace {

constexpr int W = 320, H = 240;
constexpr uint32_t kKey565 = 0xF81F;

struct Engine : ZStandaloneDisplay {
  Engine() : ZStandaloneDisplay(0, ZFMT_RGB565) {}
};

Engine& TheEngine() {
  static Engine e;
  return e;
}

// A sprite-like picture: noise with key-coloured holes (about a third of the pixels).
uint16_t Picture(int x, int y, uint32_t seed) {
  const int cx = x % 40 - 20, cy = y % 30 - 15;
  if (cx * cx + cy * cy > 200) return kKey565;
  uint32_t v = uint32_t(x) * 2654435761u ^ uint32_t(y) * 40503u ^ seed;
  v ^= v >> 13;
  v *= 0x5bd1e995u;
  v ^= v >> 15;
  uint16_t p = uint16_t(v);
  return p == kKey565 ? uint16_t(p ^ 1) : p;
}

// An engine surface and an SDL surface holding the same 5:6:5 pixels.
struct Pair {
  Z2DSurface zs;
  SDL_Surface* sdl;
  explicit Pair(uint32_t seed, uint8_t format = 4) {
    zs.LinkZCD(&TheEngine().zcd);
    zs.Create(W, H, format, 1);
    if (format == 1) {
      sdl = SDL_CreateRGBSurfaceWithFormat(0, W, H, 8, SDL_PIXELFORMAT_INDEX8);
      SDL_Color colours[256];
      for (int i = 0; i < 256; ++i)
        colours[i] = {uint8_t(i * 7), uint8_t(i * 13), uint8_t(i * 29), 255};
      SDL_SetPaletteColors(sdl->format->palette, colours, 0, 256);
      uint32_t pal[256];
      for (int i = 0; i < 256; ++i) pal[i] = uint32_t(colours[i].r) | colours[i].g << 8 | colours[i].b << 16;
      TheEngine().display.SetPalette(pal, 0, 256);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const uint8_t v = uint8_t(Picture(x, y, seed));
          zs.buffer[y * zs.stride + x] = v;
          static_cast<uint8_t*>(sdl->pixels)[y * sdl->pitch + x] = v;
        }
    } else {
      sdl = SDL_CreateRGBSurfaceWithFormat(0, W, H, 16, SDL_PIXELFORMAT_RGB565);
      for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x) {
          const uint16_t v = Picture(x, y, seed);
          std::memcpy(zs.buffer + (y * zs.stride + x) * 2, &v, 2);
          std::memcpy(static_cast<uint8_t*>(sdl->pixels) + y * sdl->pitch + x * 2, &v, 2);
        }
    }
    zs.SetColorKey(0xFF00FF);
  }
  ~Pair() { SDL_FreeSurface(sdl); }
};

void Report(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

// --- engine --------------------------------------------------------------------------------

void ZoltBlit(benchmark::State& state, int32_t flags, uint32_t property, uint8_t srcformat = 4) {
  Pair src(1, srcformat), dst(2);
  for (auto _ : state) {
    dst.zs.BltFast(0, 0, &src.zs, nullptr, flags, property);
    benchmark::ClobberMemory();
  }
  Report(state);
}

// A blit that is not whole rows (so not one block copy): 300 x 220 at (10, 10).
void ZoltBlitPart(benchmark::State& state, int32_t flags, uint32_t property) {
  Pair src(1), dst(2);
  const tagRECT r = {0, 0, 300, 220};
  for (auto _ : state) {
    dst.zs.BltFast(10, 10, &src.zs, &r, flags, property);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 300 * 220);
}

void ZoltFill(benchmark::State& state, int32_t flags, uint32_t property) {
  Pair dst(2);
  for (auto _ : state) {
    dst.zs.FillRect(nullptr, 0x336699, flags, property);
    benchmark::ClobberMemory();
  }
  Report(state);
}

// --- SDL2 ------------------------------------------------------------------------------------

enum class SdlMode { Copy, Key, Alpha, Add };

void SdlBlit(benchmark::State& state, SdlMode mode, uint8_t alpha, bool indexed = false) {
  Pair src(1, indexed ? 1 : 4), dst(2);
  SDL_SetSurfaceBlendMode(src.sdl, SDL_BLENDMODE_NONE);
  if (mode == SdlMode::Key) SDL_SetColorKey(src.sdl, SDL_TRUE, kKey565);
  if (mode == SdlMode::Alpha) {
    SDL_SetSurfaceBlendMode(src.sdl, SDL_BLENDMODE_BLEND);
    SDL_SetSurfaceAlphaMod(src.sdl, alpha);
  }
  if (mode == SdlMode::Add) SDL_SetSurfaceBlendMode(src.sdl, SDL_BLENDMODE_ADD);
  for (auto _ : state) {
    SDL_BlitSurface(src.sdl, nullptr, dst.sdl, nullptr);
    benchmark::ClobberMemory();
  }
  Report(state);
}

void SdlBlitPart(benchmark::State& state) {
  Pair src(1), dst(2);
  SDL_SetSurfaceBlendMode(src.sdl, SDL_BLENDMODE_NONE);
  SDL_Rect from = {0, 0, 300, 220}, to = {10, 10, 300, 220};
  for (auto _ : state) {
    SDL_BlitSurface(src.sdl, &from, dst.sdl, &to);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * 300 * 220);
}

void SdlFill(benchmark::State& state) {
  Pair dst(2);
  const uint32_t c = SDL_MapRGB(dst.sdl->format, 0x99, 0x66, 0x33);
  for (auto _ : state) {
    SDL_FillRect(dst.sdl, nullptr, c);
    benchmark::ClobberMemory();
  }
  Report(state);
}

void Memcpy(benchmark::State& state) {
  std::vector<uint8_t> a(W * H * 2, 1), b(W * H * 2, 2);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), a.size());
    benchmark::ClobberMemory();
  }
  Report(state);
}

}  // namespace

// Each operation: the engine first, then what a user would pick instead.
BENCHMARK_CAPTURE(ZoltBlit, copy, 0, 0);
BENCHMARK_CAPTURE(SdlBlit, copy, SdlMode::Copy, 255);
BENCHMARK(Memcpy);
BENCHMARK_CAPTURE(ZoltBlitPart, copy_300x220, 0, 0);
BENCHMARK(SdlBlitPart);
BENCHMARK_CAPTURE(ZoltBlit, colour_key, 1, 0);
BENCHMARK_CAPTURE(SdlBlit, colour_key, SdlMode::Key, 255);
BENCHMARK_CAPTURE(ZoltBlit, opacity_128, 8, 128);
BENCHMARK_CAPTURE(SdlBlit, alpha_128, SdlMode::Alpha, 128);
BENCHMARK_CAPTURE(ZoltBlit, opacity_100, 8, 100);
BENCHMARK_CAPTURE(SdlBlit, alpha_100, SdlMode::Alpha, 100);
BENCHMARK_CAPTURE(ZoltBlit, keyed_opacity_128, 9, 128);
BENCHMARK_CAPTURE(ZoltBlit, add, 0x10, 0);
BENCHMARK_CAPTURE(SdlBlit, add, SdlMode::Add, 255);
BENCHMARK_CAPTURE(ZoltBlit, subtract, 0x20, 0);
BENCHMARK_CAPTURE(ZoltBlit, tint, 4, 0x00FF8040);
BENCHMARK_CAPTURE(ZoltBlit, index8_to_565, 0, 0, uint8_t(1));
BENCHMARK_CAPTURE(SdlBlit, index8_to_565, SdlMode::Copy, 255, true);
BENCHMARK_CAPTURE(ZoltFill, plain, 0, 0);
BENCHMARK(SdlFill);
BENCHMARK_CAPTURE(ZoltFill, opacity_128, 8, 128);
BENCHMARK_CAPTURE(ZoltFill, opacity_100, 8, 100);

BENCHMARK_MAIN();
