// Loading into Z2DSurface: the loader chain, the transparency contract (key 0 marks
// exactly the transparent pixels), dithering, palette runs and remapping, every display
// rotation, and loading from a file.
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

using namespace ldrtest;

namespace {

// Counts the images offered to it and takes none.
struct CountingLoader : ClassZLoaderBase {
  int* asked;
  explicit CountingLoader(int* counter) : asked(counter) {}
  int Start(Z2DSurfaceBase*, const void*, uint32_t, uint8_t, uint32_t) override {
    ++*asked;
    return 3;
  }
};

struct LoadEngine : TestEngine {
  explicit LoadEngine(uint8_t rotation = 0) : TestEngine(rotation) {
    display.RegisterLoader(new ZLoader_BMP);
    display.RegisterLoader(new ZLoader_PNG);
  }
};

// One row of RGBA pixels as a PNG.
Bytes RgbaRow(const std::vector<uint32_t>& words) {
  PngPicture s;
  s.width = uint32_t(words.size());
  s.height = 1;
  s.colourtype = 6;
  for (uint32_t w : words)
    s.samples.insert(s.samples.end(), {uint16_t(w & 0xFF), uint16_t(w >> 8 & 0xFF),
                                       uint16_t(w >> 16 & 0xFF), uint16_t(w >> 24)});
  return MakePng(s);
}

uint32_t Stored(const Z2DSurface& s, int x, int y) {
  return ZSurf_LoadPixel(s.buffer + (size_t(y) * s.stride + x) * (s.bits / 8), s.bits);
}

}  // namespace

TEST(SurfaceLoad, KeyZeroMarksExactlyTheTransparentPixels) {
  // transparent, black, (7,7,7), (15,15,15), half-transparent white, opaque colour
  const std::vector<uint32_t> row = {0x00123456, 0xFF000000, 0xFF070707, 0xFF0F0F0F, 0x80FFFFFF, 0xFF405060};
  const Bytes png = RgbaRow(row);
  struct Case {
    uint8_t format;
    uint32_t replacement;
  } const cases[] = {{ZFMT_RGB444, 0x101010}, {ZFMT_RGB555, 0x080808}, {ZFMT_RGB565, 0x080808},
                     {ZFMT_RGB888, 0x010101}, {ZFMT_XRGB8888, 0x010101}};
  LoadEngine e;
  for (const Case& c : cases) {
    Z2DSurface s;
    s.LinkZCD(&e.zcd);
    ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), c.format, 1), 0);
    EXPECT_EQ(s.colorkey, 0u);
    const uint32_t repl = ZSurf_Pack(c.format, c.replacement);
    EXPECT_EQ(Stored(s, 0, 0), 0u) << int(c.format);
    EXPECT_EQ(Stored(s, 1, 0), repl) << int(c.format);
    for (int x = 2; x <= 3; ++x) {
      const uint32_t packed = ZSurf_Pack(c.format, row[size_t(x)] & 0xFFFFFF);
      EXPECT_EQ(Stored(s, x, 0), packed ? packed : repl) << int(c.format) << " x " << x;
      EXPECT_NE(Stored(s, x, 0), 0u);
    }
    EXPECT_EQ(Stored(s, 4, 0), 0u);
    EXPECT_EQ(Stored(s, 5, 0), ZSurf_Pack(c.format, 0x405060));
  }
  // On 8-bit surfaces an index whose palette entry is not opaque becomes 0.
  PngPicture pal;
  pal.width = 3;
  pal.colourtype = 3;
  pal.samples = {5, 4, 0};
  pal.plte = Bytes(18, 9);
  pal.trns = {255, 255, 255, 255, 255, 0};
  const Bytes p = MakePng(pal);
  Z2DSurface s8;
  s8.LinkZCD(&e.zcd);
  ASSERT_EQ(s8.LoadImage(p.data(), uint32_t(p.size()), ZFMT_INDEX8, 1), 0);
  EXPECT_EQ(Stored(s8, 0, 0), 0u);
  EXPECT_EQ(Stored(s8, 1, 0), 4u);
}

TEST(SurfaceLoad, DitherKeepsFullChannelsAndStepsLowBits) {
  // Green 0x41 at x + y = 2: zdithertable4[2][1] = 4 gives 0x44; 0xFF stays.
  EXPECT_EQ(ZLoader_Dither(0xFF004100, ZFMT_RGB565, 2, 0), 0xFF004400u);
  EXPECT_EQ(ZLoader_Dither(0xFFFFFFFF, ZFMT_RGB565, 1, 2), 0xFFFFFFFFu);
  EXPECT_EQ(ZLoader_Dither(0xFFFFFFFF, ZFMT_RGB444, 3, 5), 0xFFFFFFFFu);
  // zdithertable8[0][7] = 8: 0xF7 -> 0xF0 + 8; the alpha byte is not dithered.
  EXPECT_EQ(ZLoader_Dither(0x80F7F7F7, ZFMT_RGB555, 0, 0), 0x80F8F8F8u);
  const Bytes png = RgbaRow({0xFF004100, 0xFF004100, 0xFF004100});
  LoadEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1 | LDR_DITHER), 0);
  EXPECT_EQ(Stored(s, 2, 0), ZSurf_Pack(ZFMT_RGB565, 0x004400));
  EXPECT_EQ(Stored(s, 0, 0), ZSurf_Pack(ZFMT_RGB565, 0x004000));
}

TEST(SurfaceLoad, PaletteRunsStopAt256) {
  LoadEngine e;
  Z2DSurface s;
  MakeSurface(e, s, 2, 2, ZFMT_INDEX8);
  std::vector<uint32_t> colours(300, 0xFF0000FF);
  ZLDR_2DCALLBACKINFO info{};
  info.data = colours.data();
  info.size = 300 * 4;
  EXPECT_EQ(s.LdrOnPaletteStream(&info), 0);
  EXPECT_EQ(info.palettepos, 256u);
  EXPECT_EQ(s.palette[255], 0xFF0000FFu);
  EXPECT_EQ(s.LdrOnPaletteStream(&info), 10);
  Z2DSurface never;
  never.LinkZCD(&e.zcd);
  info.size = 4;
  EXPECT_EQ(never.LdrOnPixelStream(&info), 1);
}

TEST(SurfaceLoad, LoaderChain) {
  LoadEngine e;
  int asked = 0;
  e.display.RegisterLoader(new CountingLoader(&asked));
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  PngPicture spec;
  FillSamples(spec);
  Bytes bad = MakePng(spec);
  bad[bad.size() - 20] ^= 0x55;  // inside the compressed data
  EXPECT_EQ(s.LoadImage(bad.data(), uint32_t(bad.size()), ZFMT_RGB565, 1), 1);
  EXPECT_EQ(asked, 0);  // the PNG loader answered: the later slot is never asked
  const Bytes junk(64, 0x42);
  EXPECT_EQ(s.LoadImage(junk.data(), uint32_t(junk.size()), ZFMT_RGB565, 1), 3);
  EXPECT_EQ(asked, 1);
  const Bytes good = MakePng(spec);
  EXPECT_EQ(s.LoadImage(good.data(), uint32_t(good.size()), ZFMT_RGB565, 4), 4);
  TestEngine bare;
  Z2DSurface t;
  t.LinkZCD(&bare.zcd);
  EXPECT_EQ(t.LoadImage(good.data(), uint32_t(good.size()), ZFMT_RGB565, 1), 3);
}

TEST(SurfaceLoad, EveryRotationShowsTheImageUpright) {
  PngPicture spec;
  spec.width = 7;
  spec.height = 5;
  FillSamples(spec, 11);
  const Bytes png = MakePng(spec);
  for (uint8_t rotation = 0; rotation < 4; ++rotation) {
    LoadEngine e(rotation);
    Z2DSurface s;
    s.LinkZCD(&e.zcd);
    ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_XRGB8888, 1), 0);
    ASSERT_EQ(s.GetWidth(), 7u);
    for (uint32_t y = 0; y < 5; ++y)
      for (uint32_t x = 0; x < 7; ++x) {
        uint32_t want = ExpectedPng(spec, x, y) & 0xFFFFFF;
        if (!want) want = 0x010101;
        ASSERT_EQ(s.GetPixel(int32_t(x), int32_t(y)), want) << int(rotation) << " " << x << "," << y;
      }
  }
}

TEST(SurfaceLoad, ReloadIgnoresANarrowedClip) {
  PngPicture spec;
  spec.width = 6;
  spec.height = 4;
  FillSamples(spec, 5);
  const Bytes png = MakePng(spec);
  LoadEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1), 0);
  const std::vector<uint32_t> first = LogicalPixels(s);
  const tagRECT small{1, 1, 2, 2};
  s.SetClipper(&small);
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1), 0);
  EXPECT_EQ(LogicalPixels(s), first);
}

TEST(SurfaceLoad, RemapIntoTheDisplayPalette) {
  LoadEngine e;
  std::vector<uint32_t> dpal(256, 0);
  dpal[7] = 0x0000FF;  // red, engine colour word
  dpal[9] = 0x00FF00;
  e.display.SetPalette(dpal.data(), 0, 256);
  PngPicture spec;
  spec.width = 2;
  spec.colourtype = 3;
  spec.samples = {1, 2};  // index 0 stays 0 (the transparent index)
  spec.plte = {1, 2, 3, 250, 0, 0, 0, 240, 10};
  const Bytes png = MakePng(spec);
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_INDEX8, 1 | LDR_REMAP_PALETTE), 0);
  EXPECT_EQ(Stored(s, 0, 0), 7u);
  EXPECT_EQ(Stored(s, 1, 0), 9u);
  // Colour words go through the display's 15-bit lookup.
  const Bytes rgba = RgbaRow({0xFF0000F8, 0xFF00F000});
  ASSERT_EQ(s.LoadImage(rgba.data(), uint32_t(rgba.size()), ZFMT_INDEX8, 1 | LDR_REMAP_PALETTE), 0);
  EXPECT_EQ(Stored(s, 0, 0), 7u);
  EXPECT_EQ(Stored(s, 1, 0), 9u);
}

TEST(SurfaceLoad, FromAFile) {
  PngPicture spec;
  spec.width = 3;
  spec.height = 2;
  FillSamples(spec, 8);
  const Bytes png = MakePng(spec);
  const std::string name = testing::TempDir() + "zload_" + std::to_string(getpid()) + ".png";
  {
    std::ofstream f(name, std::ios::binary);
    f.write(reinterpret_cast<const char*>(png.data()), std::streamsize(png.size()));
  }
  LoadEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  std::vector<uint16_t> wide(name.begin(), name.end());
  wide.push_back(0);
  EXPECT_EQ(s.LoadImage(wide.data(), ZFMT_XRGB8888, 1), 0);
  EXPECT_EQ(s.GetPixel(2, 1), ExpectedPng(spec, 2, 1) & 0xFFFFFF);
  std::remove(name.c_str());
  EXPECT_EQ(s.LoadImage(wide.data(), ZFMT_XRGB8888, 1), 1);
}

TEST(SurfaceLoad, EveryPngKindInEveryFormatStoresItsColours) {
  // Each stored pixel against the transparency contract applied to the colour the test
  // encoder put in: transparent 0, an opaque colour packing to 0 the replacement. Alpha
  // and colours are bent towards the edges (0, 254, 255, near-black) so that both rules
  // are met on every row.
  struct Kind {
    uint8_t type, depth;
    bool key;  // a tRNS colour key (grey and RGB)
  } const kinds[] = {{0, 8, false}, {0, 4, false}, {0, 8, true}, {2, 8, false}, {2, 8, true},
                     {2, 16, false}, {3, 8, false}, {3, 2, false}, {4, 8, false}, {6, 8, false},
                     {6, 16, false}};
  const uint8_t formats[] = {ZFMT_RGB444, ZFMT_RGB555, ZFMT_RGB565, ZFMT_RGB888, ZFMT_XRGB8888};
  LoadEngine e;
  for (const Kind& k : kinds)
    for (uint8_t interlace = 0; interlace < 2; ++interlace) {
      PngPicture spec;
      spec.width = 21;
      spec.height = 11;
      spec.colourtype = k.type;
      spec.depth = k.depth;
      spec.interlace = interlace;
      FillSamples(spec, k.type * 31 + k.depth + interlace);
      const uint32_t ch = PngChannels(k.type), top = (1u << k.depth) - 1;
      for (size_t i = 0; i < spec.samples.size() / ch; ++i) {
        uint16_t* p = &spec.samples[i * ch];
        if (k.type != 3 && i % 7 == 3) std::fill(p, p + (ch == 2 || ch == 4 ? ch - 1 : ch), 1);
        if (k.type == 4 || k.type == 6) {
          const uint16_t edges[] = {uint16_t(top), uint16_t(top), 0, uint16_t(top - 1), p[ch - 1]};
          p[ch - 1] = edges[i % 5];
        }
      }
      if (k.type == 3) {
        for (uint32_t i = 0; i < (1u << k.depth) * 3; ++i)
          spec.plte.push_back(uint8_t(i * 37 + i / 3));
        spec.plte[3] = spec.plte[4] = spec.plte[5] = 0;  // entry 1 black
        spec.trns = {255, 255, 0, 128};  // entries 2 and 3 transparent
      }
      // Keys (8-bit samples): the grey of pixel 5, the colour of pixel 2.
      if (k.key && k.type == 0) spec.trns = {0, uint8_t(spec.samples[5])};
      if (k.key && k.type == 2)
        for (int c = 0; c < 3; ++c)
          spec.trns.insert(spec.trns.end(), {0, uint8_t(spec.samples[6 + c])});
      const Bytes png = MakePng(spec);
      for (uint8_t format : formats) {
        Z2DSurface s;
        s.LinkZCD(&e.zcd);
        const std::string what = "type " + std::to_string(k.type) + " depth " +
                                 std::to_string(k.depth) + (k.key ? " key" : "") + " interlace " +
                                 std::to_string(interlace) + " format " + std::to_string(format);
        ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), format, 1), 0) << what;
        const uint32_t repl = ZSurf_Pack(
            format, format == ZFMT_RGB444 ? 0x101010u
                    : format == ZFMT_RGB555 || format == ZFMT_RGB565 ? 0x080808u : 0x010101u);
        uint32_t keyed = 0;
        for (uint32_t y = 0; y < spec.height; ++y)
          for (uint32_t x = 0; x < spec.width; ++x) {
            uint32_t w = ExpectedPng(spec, x, y);
            if (k.type == 3) {
              const uint8_t* e3 = &spec.plte[3 * w];
              const uint32_t a = w < spec.trns.size() ? spec.trns[w] : 255;
              w = a << 24 | uint32_t(e3[2]) << 16 | uint32_t(e3[1]) << 8 | e3[0];
            }
            if (k.key) {
              const uint32_t keycolour = ExpectedPng(spec, k.type == 0 ? 5 : 2, 0) & 0xFFFFFF;
              if ((w & 0xFFFFFF) == keycolour) {
                w &= 0xFFFFFF;
                ++keyed;
              }
            }
            uint32_t want = 0;
            if (w >= 0xFF000000u) {
              want = ZSurf_Pack(format, w & 0xFFFFFF);
              if (!want) want = repl;
            }
            ASSERT_EQ(Stored(s, int(x), int(y)), want) << what << " at " << x << "," << y;
          }
        if (k.key) {
          EXPECT_GT(keyed, 0u) << what;
        }
      }
    }
}

TEST(SurfaceLoad, ASecondPaletteImageShowsItsOwnColours) {
  // The same indices under two palettes, loaded one after the other into one surface.
  LoadEngine e;
  Z2DSurface s;
  s.LinkZCD(&e.zcd);
  for (uint8_t shade : {0x40, 0xC0}) {
    PngPicture spec;
    spec.width = 4;
    spec.colourtype = 3;
    spec.samples = {0, 1, 2, 3};
    for (uint8_t i = 0; i < 4; ++i) spec.plte.insert(spec.plte.end(), {shade, uint8_t(i * 16), 0});
    const Bytes png = MakePng(spec);
    ASSERT_EQ(s.LoadImage(png.data(), uint32_t(png.size()), ZFMT_RGB565, 1), 0);
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(Stored(s, x, 0), ZSurf_Pack(ZFMT_RGB565, uint32_t(x * 16) << 8 | shade)) << x;
  }
}
