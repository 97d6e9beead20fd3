// Image decoding: PNG (RGB, RGBA and palette pictures of 320x240 and 1024x768) into a 5:6:5
// surface against the system's PNG library decoding the same bytes (and against plain zlib
// inflate of the same data), BMP against SDL's reader.
// The libraries are loaded at run time; their benchmarks are skipped when missing.
#include <dlfcn.h>

#include <cstring>
#include <vector>
#include <zlib.h>

#include <benchmark/benchmark.h>

#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "tests/engine/graphics/gfx_test_engine.h"

namespace {

struct PngImage {
  void* opaque;
  uint32_t version, width, height, format, flags, colormap_entries, warning_or_error;
  char message[64];
};

struct LibPng {
  void* handle = dlopen("libpng16.so.16", RTLD_NOW | RTLD_LOCAL);
  using Write = int (*)(PngImage*, void*, size_t*, int, const void*, int32_t, const void*);
  using Begin = int (*)(PngImage*, const void*, size_t);
  using Finish = int (*)(PngImage*, const void*, void*, int32_t, void*);
  using Free = void (*)(PngImage*);
  Write write = handle ? reinterpret_cast<Write>(dlsym(handle, "png_image_write_to_memory")) : nullptr;
  Begin begin = handle ? reinterpret_cast<Begin>(dlsym(handle, "png_image_begin_read_from_memory")) : nullptr;
  Finish finish = handle ? reinterpret_cast<Finish>(dlsym(handle, "png_image_finish_read")) : nullptr;
  Free free = handle ? reinterpret_cast<Free>(dlsym(handle, "png_image_free")) : nullptr;
  bool Ok() const { return write && begin && finish && free; }
};

LibPng& Lib() {
  static LibPng lib;
  return lib;
}

constexpr uint32_t W = 320, H = 240;

// A screen-like picture: gradients, a few flat areas and some noise; its alpha is opaque
// but for a clear band and soft edges around it.
std::vector<uint8_t> Picture(uint32_t w, uint32_t h, bool alpha) {
  const uint32_t n = alpha ? 4 : 3;
  std::vector<uint8_t> rgb(size_t(w) * h * n);
  uint32_t r = 1;
  for (uint32_t y = 0; y < h; ++y)
    for (uint32_t x = 0; x < w; ++x) {
      r = r * 1103515245u + 12345;
      uint8_t* p = &rgb[(size_t(y) * w + x) * n];
      const bool flat = (x * 8 / w + y * 8 / h) % 3 == 0;
      p[0] = uint8_t(flat ? 200 : x * 255 / w + (r >> 29));
      p[1] = uint8_t(flat ? 40 : y * 255 / h);
      p[2] = uint8_t(flat ? 90 : (x + y) / 3 + (r >> 30));
      if (alpha) {
        const uint32_t band = (x + 2 * y) % 97;
        p[3] = uint8_t(band < 20 ? 0 : band < 28 ? (band - 20) * 32 : 255);
      }
    }
  return rgb;
}

enum class Kind { Rgb, Rgba, Palette };

// The picture written by the library: RGB, RGBA or 256-colour palette (format colour |
// colormap).
std::vector<uint8_t> EncodedPng(Kind kind, uint32_t w, uint32_t h) {
  LibPng& lib = Lib();
  std::vector<uint8_t> pixels = Picture(w, h, kind == Kind::Rgba), colormap;
  PngImage img{};
  img.version = 1;
  img.width = w;
  img.height = h;
  img.format = kind == Kind::Rgba ? 0x03 : 0x02;
  if (kind == Kind::Palette) {
    img.format = 0x02 | 0x08;
    img.colormap_entries = 256;
    colormap.resize(256 * 3);
    for (uint32_t i = 0; i < 256; ++i) {
      colormap[3 * i] = uint8_t((i >> 5) * 36);
      colormap[3 * i + 1] = uint8_t((i >> 2 & 7) * 36);
      colormap[3 * i + 2] = uint8_t((i & 3) * 85);
    }
    const std::vector<uint8_t> rgb = pixels;
    pixels.resize(size_t(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i)
      pixels[i] =
          uint8_t((rgb[3 * i] >> 5) << 5 | (rgb[3 * i + 1] >> 5) << 2 | rgb[3 * i + 2] >> 6);
  }
  const void* map = kind == Kind::Palette ? colormap.data() : nullptr;
  size_t size = 0;
  lib.write(&img, nullptr, &size, 0, pixels.data(), 0, map);
  std::vector<uint8_t> out(size);
  lib.write(&img, out.data(), &size, 0, pixels.data(), 0, map);
  out.resize(size);
  return out;
}

void OursPng(benchmark::State& state, Kind kind, uint32_t w, uint32_t h) {
  if (!Lib().Ok()) return state.SkipWithError("no system PNG library to encode the picture");
  const std::vector<uint8_t> png = EncodedPng(kind, w, h);
  TestEngine e;
  e.display.RegisterLoader(new ZLoader_PNG);
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  for (auto _ : state) {
    if (s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1) != 0)
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(s.buffer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}

// Out of line, so that instruction counts (callgrind) can tell it from the decoding.
[[gnu::noinline]] void To565(const uint8_t* rgb, uint32_t n, std::vector<uint16_t>& out) {
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t* p = rgb + n * i;
    const uint16_t v = uint16_t((p[0] >> 3) << 11 | (p[1] >> 2) << 5 | p[2] >> 3);
    out[i] = n == 4 && p[3] != 255 ? 0 : v;
  }
}

// The library decodes to RGB (RGBA for the RGBA picture); the conversion packs 5:6:5 and
// clears pixels that are not opaque, as our surfaces store them.
void LibPngDecode(benchmark::State& state, Kind kind, uint32_t w, uint32_t h, bool to565) {
  LibPng& lib = Lib();
  if (!lib.Ok()) return state.SkipWithError("no system PNG library");
  const std::vector<uint8_t> png = EncodedPng(kind, w, h);
  const uint32_t n = kind == Kind::Rgba ? 4 : 3;
  std::vector<uint8_t> rgb(size_t(w) * h * n);
  std::vector<uint16_t> out(size_t(w) * h);
  for (auto _ : state) {
    PngImage img{};
    img.version = 1;
    lib.begin(&img, png.data(), png.size());
    img.format = kind == Kind::Rgba ? 0x03 : 0x02;
    lib.finish(&img, nullptr, rgb.data(), 0, nullptr);
    lib.free(&img);
    if (to565) To565(rgb.data(), n, out);
    benchmark::DoNotOptimize(rgb.data());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}

// Inflating the same number of bytes the RGB image holds, from a zlib stream of them: the
// floor any PNG decoder stands on.
void ZlibInflate(benchmark::State& state) {
  const std::vector<uint8_t> rgb = Picture(W, H, false);
  uLongf zlen = compressBound(uLong(rgb.size()));
  std::vector<uint8_t> z(zlen), out(rgb.size());
  compress2(z.data(), &zlen, rgb.data(), uLong(rgb.size()), 6);
  for (auto _ : state) {
    uLongf n = uLongf(out.size());
    uncompress(out.data(), &n, z.data(), zlen);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

std::vector<uint8_t> Bmp24() {
  const std::vector<uint8_t> rgb = Picture(W, H, false);
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, W, H, ZFMT_XRGB8888);
  for (uint32_t y = 0; y < H; ++y)
    for (uint32_t x = 0; x < W; ++x) {
      const uint8_t* p = &rgb[(y * W + x) * 3];
      s.PutPixel(int32_t(x), int32_t(y), p[0] | p[1] << 8 | p[2] << 16, 0, 0);
    }
  // The file layout, built in memory: header, then rows bottom-up as B, G, R.
  std::vector<uint8_t> b(54 + W * H * 3);
  ZLoader_BMP writer;
  ClassZFile* nofile = nullptr;
  writer.WriteHeader(nofile, W, H);
  std::memcpy(b.data(), writer.header, 54);
  for (uint32_t y = 0; y < H; ++y)
    for (uint32_t x = 0; x < W; ++x) {
      const uint32_t c = s.GetPixel(int32_t(x), int32_t(H - 1 - y));
      uint8_t* p = &b[54 + (y * W + x) * 3];
      p[0] = uint8_t(c >> 16);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c);
    }
  return b;
}

void OursBmp(benchmark::State& state) {
  const std::vector<uint8_t> bmp = Bmp24();
  TestEngine e;
  e.display.RegisterLoader(new ZLoader_BMP);
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  for (auto _ : state) {
    if (s.LoadImage(bmp.data(), uint32_t(bmp.size()), ZFMT_RGB565, 1) != 0)
      return state.SkipWithError("decode failed");
    benchmark::DoNotOptimize(s.buffer);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

// SDL_LoadBMP from memory, then SDL_ConvertSurfaceFormat to RGB565 (what a user of SDL
// does to get the same result).
void SdlBmp(benchmark::State& state) {
  void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!sdl) return state.SkipWithError("no SDL2");
  using FromMem = void* (*)(const void*, int);
  using Load = void* (*)(void*, int);
  using Convert = void* (*)(void*, uint32_t, uint32_t);
  using FreeS = void (*)(void*);
  auto fromMem = reinterpret_cast<FromMem>(dlsym(sdl, "SDL_RWFromConstMem"));
  auto load = reinterpret_cast<Load>(dlsym(sdl, "SDL_LoadBMP_RW"));
  auto convert = reinterpret_cast<Convert>(dlsym(sdl, "SDL_ConvertSurfaceFormat"));
  auto freeSurface = reinterpret_cast<FreeS>(dlsym(sdl, "SDL_FreeSurface"));
  const uint32_t rgb565 = 0x15151002u;  // SDL_PIXELFORMAT_RGB565
  const std::vector<uint8_t> bmp = Bmp24();
  for (auto _ : state) {
    void* surf = load(fromMem(bmp.data(), int(bmp.size())), 1);
    void* conv = convert(surf, rgb565, 0);
    freeSurface(surf);
    freeSurface(conv);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * W * H);
}

}  // namespace

BENCHMARK_CAPTURE(OursPng, rgb_320x240, Kind::Rgb, 320, 240);
BENCHMARK_CAPTURE(LibPngDecode, rgb_320x240, Kind::Rgb, 320, 240, false);
BENCHMARK_CAPTURE(LibPngDecode, rgb_320x240_then_565, Kind::Rgb, 320, 240, true);
BENCHMARK_CAPTURE(OursPng, rgb_1024x768, Kind::Rgb, 1024, 768);
BENCHMARK_CAPTURE(LibPngDecode, rgb_1024x768, Kind::Rgb, 1024, 768, false);
BENCHMARK_CAPTURE(LibPngDecode, rgb_1024x768_then_565, Kind::Rgb, 1024, 768, true);
BENCHMARK_CAPTURE(OursPng, rgba_320x240, Kind::Rgba, 320, 240);
BENCHMARK_CAPTURE(LibPngDecode, rgba_320x240, Kind::Rgba, 320, 240, false);
BENCHMARK_CAPTURE(LibPngDecode, rgba_320x240_then_565, Kind::Rgba, 320, 240, true);
BENCHMARK_CAPTURE(OursPng, rgba_1024x768, Kind::Rgba, 1024, 768);
BENCHMARK_CAPTURE(LibPngDecode, rgba_1024x768, Kind::Rgba, 1024, 768, false);
BENCHMARK_CAPTURE(LibPngDecode, rgba_1024x768_then_565, Kind::Rgba, 1024, 768, true);
BENCHMARK_CAPTURE(OursPng, palette_320x240, Kind::Palette, 320, 240);
BENCHMARK_CAPTURE(LibPngDecode, palette_320x240, Kind::Palette, 320, 240, false);
BENCHMARK_CAPTURE(LibPngDecode, palette_320x240_then_565, Kind::Palette, 320, 240, true);
BENCHMARK_CAPTURE(OursPng, palette_1024x768, Kind::Palette, 1024, 768);
BENCHMARK_CAPTURE(LibPngDecode, palette_1024x768, Kind::Palette, 1024, 768, false);
BENCHMARK_CAPTURE(LibPngDecode, palette_1024x768_then_565, Kind::Palette, 1024, 768, true);
BENCHMARK(ZlibInflate);
BENCHMARK(OursBmp);
BENCHMARK(SdlBmp);
