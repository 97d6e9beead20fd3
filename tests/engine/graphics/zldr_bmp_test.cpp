// BMP reader and writer: every width at every depth loads upright, header variants that
// are refused, and the written file against its layout, our reader and SDL's reader.
#include <dlfcn.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

using namespace ldrtest;

namespace {

int Load(const Bytes& bmp, RecordingSurface& rec) {
  ZLoader_BMP loader;
  return loader.Start(&rec, bmp.data(), uint32_t(bmp.size()), 6, 1);
}

uint32_t IndexAt(uint32_t x, uint32_t y, uint16_t bits) { return (x * 7 + y * 3 + 1) % (1u << bits); }
uint32_t ColourAt(uint32_t x, uint32_t y) { return (x * 0x1F0731u + y * 0x0A0B0Cu) & 0xFFFFFF; }

}  // namespace

TEST(BmpLoader, EveryWidthAtEveryDepthLoadsUpright) {
  const uint16_t depths[] = {1, 4, 8, 24};
  for (uint16_t bits : depths)
    for (uint32_t w = 1; w <= 9; ++w) {
      const uint32_t h = 3;
      const Bytes bmp = MakeBmp(w, int32_t(h), bits, [&](uint32_t x, uint32_t y) {
        return bits == 24 ? ColourAt(x, y) : IndexAt(x, y, bits);
      });
      RecordingSurface rec;
      ASSERT_EQ(Load(bmp, rec), 0) << bits << " bits, width " << w;
      EXPECT_EQ(rec.indexed, bits < 24 ? 1u : 0u);
      for (uint32_t y = 0; y < h; ++y)
        for (uint32_t x = 0; x < w; ++x) {
          const uint32_t want = bits == 24 ? 0xFF000000u | ColourAt(x, y) : IndexAt(x, y, bits);
          ASSERT_EQ(rec.pixels[y * w + x], want) << bits << " bits, " << x << "," << y;
        }
      if (bits < 24) {
        const uint32_t c = 5 * 0x010203u;
        EXPECT_EQ(rec.palette[5], bits == 1 ? 0u : 0xFF000000u | c);
        EXPECT_EQ(rec.palette[1], 0xFF000000u | 0x010203u);
      }
    }
}

TEST(BmpLoader, LargerHeadersPlaceThePaletteAfterThem) {
  for (uint32_t headersize : {40u, 108u, 124u}) {
    const Bytes bmp = MakeBmp(3, 2, 8, [](uint32_t x, uint32_t y) { return x + 3 * y; }, headersize);
    RecordingSurface rec;
    ASSERT_EQ(Load(bmp, rec), 0) << headersize;
    EXPECT_EQ(rec.palette[4], 0xFF000000u | 4 * 0x010203u) << headersize;
    EXPECT_EQ(rec.pixels[4], 4u);
  }
}

TEST(BmpLoader, ShortPalettesOfSmallImagesLoad) {
  // Editors write only the colours used; in a small file the full palette's place runs past
  // the end. The entries that are there arrive, the missing ones as opaque black.
  for (uint16_t bits : {4, 8}) {
    const Bytes bmp = MakeBmp(3, 2, bits, [](uint32_t x, uint32_t y) { return (x + y) % 4; }, 40, 4);
    ASSERT_LT(bmp.size(), 54u + 4 * (1u << bits));
    RecordingSurface rec;
    ASSERT_EQ(Load(bmp, rec), 0) << bits;
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(rec.palette[i], 0xFF000000u | i * 0x010203u) << bits;
    for (uint32_t y = 0; y < 2; ++y)
      for (uint32_t x = 0; x < 3; ++x) EXPECT_EQ(rec.pixels[y * 3 + x], (x + y) % 4) << bits;
    const size_t inside = (bmp.size() - 54) / 4;  // entries the file holds from offset 54
    EXPECT_EQ(rec.palette[inside], 0xFF000000u) << bits;
    EXPECT_EQ(rec.palette[(1u << bits) - 1], 0xFF000000u) << bits;
  }
}

TEST(BmpLoader, RefusedHeaders) {
  auto bmp = [](uint32_t w, int32_t h, uint16_t bits) {
    return MakeBmp(w, h, bits, [](uint32_t, uint32_t) { return 0u; });
  };
  auto patch16 = [](Bytes b, size_t at, uint16_t v) {
    if (b.size() >= at + 2) {
      b[at] = uint8_t(v);
      b[at + 1] = uint8_t(v >> 8);
    }
    return b;
  };
  auto patch32 = [](Bytes b, size_t at, uint32_t v) {
    if (b.size() >= at + 4) {
      const uint8_t le[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
      std::memcpy(b.data() + at, le, 4);
    }
    return b;
  };
  const Bytes good = bmp(4, 2, 24);
  Bytes truncated = good;
  truncated.pop_back();
  struct Bad {
    const char* name;
    Bytes data;
    int result;
  } const cases[] = {
      {"not BM", patch16(good, 0, 0x4D43), 3},
      {"top-down", bmp(4, -2, 24), 3},
      {"core header", patch32(good, 14, 12), 3},
      {"RLE", patch32(good, 30, 1), 3},
      {"bitfields", patch32(good, 30, 3), 3},
      {"planes 2", patch16(good, 26, 2), 3},
      {"16 bits", patch16(good, 28, 16), 3},
      {"32 bits", patch16(good, 28, 32), 3},
      {"width 0", patch32(good, 18, 0), 1},
      {"negative width", patch32(good, 18, 0xFFFFFFFE), 1},
      {"rows past the data", truncated, 1},
      {"huge height", patch32(good, 22, 0x7FFFFFFF), 1},
      {"no rows, a row of 2.7 GB", patch32(patch32(good, 18, 0x28000007), 22, 0), 1},
      {"data offset past the data", patch32(good, 10, 0xFFFFFFF0), 1},
      {"header past the palette", patch32(bmp(4, 2, 8), 14, 0x7FFFFFF0), 1},
      {"shorter than its headers", Bytes{'B', 'M', 1, 2, 3}, 1},
      // Whole rows present, but more pixels than the console could hold: out of memory.
      {"image beyond 64 MB", bmp(4097, 4096, 1), 2},
  };
  for (const Bad& b : cases) {
    RecordingSurface rec;
    EXPECT_EQ(Load(b.data, rec), b.result) << b.name;
    EXPECT_EQ(rec.creates, 0u) << b.name;
  }
}

TEST(BmpLoader, CallbackResultsEndTheLoad) {
  const Bytes bmp = MakeBmp(4, 3, 8, [](uint32_t x, uint32_t) { return x; });
  RecordingSurface pixels;
  pixels.pixelresult = 1;
  EXPECT_EQ(Load(bmp, pixels), 1);
  EXPECT_EQ(pixels.rowsdelivered, 1u);
  RecordingSurface palette;
  palette.paletteresult = 10;
  EXPECT_EQ(Load(bmp, palette), 10);
  EXPECT_EQ(palette.rowsdelivered, 0u);
}

namespace {

std::string TempName(const char* tag) {
  return testing::TempDir() + "zbmp_" + tag + "_" + std::to_string(getpid()) + ".bmp";
}

Bytes ReadAll(const std::string& name) {
  std::ifstream f(name, std::ios::binary);
  return Bytes((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
}

}  // namespace

TEST(BmpWriter, FiveByTwoRectangleLayoutAndRoundTrip) {
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 8, 4, ZFMT_XRGB8888);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 8; ++x) s.PutPixel(x, y, uint32_t(ColourAt(x, y)), 0, 0);
  const std::string name = TempName("5x2");
  const tagRECT rect{1, 1, 6, 3};
  ASSERT_EQ(s.WriteBmp(name.c_str(), &rect), 0);
  const Bytes file = ReadAll(name);
  ASSERT_EQ(file.size(), 86u);
  EXPECT_EQ(file[0], 'B');
  EXPECT_EQ(file[2], 86);
  EXPECT_EQ(file[10], 54);
  EXPECT_EQ(file[18], 5);
  EXPECT_EQ(file[22], 2);
  EXPECT_EQ(file[28], 24);
  EXPECT_EQ(file[34], 32);  // image size: two rows of 16 bytes
  EXPECT_EQ(file[38], 0x12);  // 2834 pixels a metre
  EXPECT_EQ(file[39], 0x0B);
  // The first file row is the rectangle's bottom row (y = 2), as B, G, R.
  const uint32_t c = ColourAt(1, 2);
  EXPECT_EQ(file[54], uint8_t(c >> 16));
  EXPECT_EQ(file[55], uint8_t(c >> 8));
  EXPECT_EQ(file[56], uint8_t(c));
  EXPECT_EQ(file[69], 0);  // padding

  ldrtest::RecordingSurface rec;
  ASSERT_EQ(Load(file, rec), 0);
  for (uint32_t y = 0; y < 2; ++y)
    for (uint32_t x = 0; x < 5; ++x)
      EXPECT_EQ(rec.pixels[y * 5 + x], 0xFF000000u | ColourAt(x + 1, y + 1));
  std::remove(name.c_str());
}

TEST(BmpWriter, RefusalsLeaveNoFile) {
  TestEngine e;
  Z2DSurface s, empty;
  MakeSurface(e, s, 4, 4, ZFMT_RGB565);
  empty.LinkZCD(&e.zcd);
  const std::string name = TempName("refused");
  const tagRECT inverted{3, 0, 1, 2};
  EXPECT_EQ(s.WriteBmp(name.c_str(), &inverted), 4);
  EXPECT_EQ(empty.WriteBmp(name.c_str(), nullptr), 1);
  EXPECT_EQ(access(name.c_str(), F_OK), -1);
  // A name longer than any the engine can hold is refused, not cut to another name.
  const std::string longname = testing::TempDir() + std::string(0x4001, 'n');
  EXPECT_EQ(s.WriteBmp(longname.c_str(), nullptr), 4);
  // A folder that does not exist: the file cannot be made.
  EXPECT_EQ(s.WriteBmp((testing::TempDir() + "no/such/folder.bmp").c_str(), nullptr), 1);
}

TEST(BmpWriter, ReadBackBySdl) {
  void* sdl = dlopen("libSDL2-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
  if (!sdl) GTEST_SKIP() << "no SDL2";
  using RWFromConstMem = void* (*)(const void*, int);
  using LoadBMP_RW = void* (*)(void*, int);
  using FreeSurface = void (*)(void*);
  auto fromMem = reinterpret_cast<RWFromConstMem>(dlsym(sdl, "SDL_RWFromConstMem"));
  auto loadBmp = reinterpret_cast<LoadBMP_RW>(dlsym(sdl, "SDL_LoadBMP_RW"));
  auto freeSurface = reinterpret_cast<FreeSurface>(dlsym(sdl, "SDL_FreeSurface"));
  ASSERT_TRUE(fromMem && loadBmp && freeSurface);

  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 7, 3, ZFMT_XRGB8888);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) s.PutPixel(x, y, ColourAt(x, y), 0, 0);
  const std::string name = TempName("sdl");
  ASSERT_EQ(s.WriteBmp(name.c_str(), nullptr), 0);
  const Bytes file = ReadAll(name);
  std::remove(name.c_str());
  // SDL_Surface: flags, format, w, h, pitch, pixels (the leading fields of the record).
  struct SdlSurfaceHead {
    uint32_t flags;
    void* format;
    int w, h, pitch;
    void* pixels;
  };
  auto* surf = static_cast<SdlSurfaceHead*>(loadBmp(fromMem(file.data(), int(file.size())), 1));
  ASSERT_NE(surf, nullptr);
  ASSERT_EQ(surf->w, 7);
  ASSERT_EQ(surf->h, 3);
  // A 24-bit BMP loads as bytes B, G, R per pixel, rows top first.
  const uint8_t* px = static_cast<const uint8_t*>(surf->pixels);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 7; ++x) {
      const uint8_t* p = px + y * surf->pitch + 3 * x;
      EXPECT_EQ(uint32_t(p[2] | p[1] << 8 | p[0] << 16), ColourAt(x, y)) << x << "," << y;
    }
  freeSurface(surf);
  dlclose(sdl);
}

TEST(BmpWriter, AWriteThatFailsHalfWayRemovesTheFile) {
  // A file-size limit makes the writes past 4 KB fail, as a full disk would.
  TestEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 200, 200, ZFMT_RGB565);
  const std::string name = TempName("partial");
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const int r = s.WriteBmp(name.c_str(), nullptr);
  setrlimit(RLIMIT_FSIZE, &old);
  signal(SIGXFSZ, SIG_DFL);
  EXPECT_EQ(r, 1);
  EXPECT_EQ(access(name.c_str(), F_OK), -1);
}
