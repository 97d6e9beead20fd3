// Malformed input for every loader: each fixture cut at every length and every byte and
// 32-bit field overwritten with awkward values. Under the sanitizers this shows that no
// input reads or writes out of bounds, loops forever or reports a partial image as loaded.
#include <map>
#include <gtest/gtest.h>

#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"
#include "tests/engine/graphics/gfx_test_engine.h"
#include "tests/engine/graphics/ldr_test_images.h"

using namespace ldrtest;

namespace {

// Every variant of a fixture: cut at each length, each byte set to three values, each
// offset overwritten with 32-bit values in both byte orders.
template <class F>
void ForEachVariant(const Bytes& good, F f) {
  for (size_t n = 0; n < good.size(); ++n) f(Bytes(good.begin(), good.begin() + std::ptrdiff_t(n)), true);
  for (size_t i = 0; i < good.size(); ++i)
    for (uint8_t v : {uint8_t(0), uint8_t(0xFF), uint8_t(good[i] ^ 0x80)}) {
      Bytes b = good;
      b[i] = v;
      f(b, false);
    }
  const uint32_t values[] = {0, 1, 5, 6, 7, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFF4u, 0xFFFFFFFFu, 0x10000};
  for (size_t i = 0; i + 4 <= good.size(); ++i)
    for (uint32_t v : values)
      for (int order = 0; order < 2; ++order) {
        Bytes b = good;
        for (int k = 0; k < 4; ++k) b[i + k] = uint8_t(order ? v >> (24 - 8 * k) : v >> (8 * k));
        f(b, false);
      }
}

std::vector<Bytes> PngFixtures() {
  std::vector<Bytes> out;
  PngPicture rgb;
  rgb.width = 5;
  rgb.height = 4;
  FillSamples(rgb, 1);
  out.push_back(MakePng(rgb));
  PngPicture pal;
  pal.width = 6;
  pal.height = 5;
  pal.colourtype = 3;
  pal.depth = 2;
  pal.interlace = 1;
  pal.plte = Bytes(12, 0x40);
  pal.trns = {0, 255};
  FillSamples(pal, 2);
  out.push_back(MakePng(pal));
  PngPicture grey;
  grey.width = 3;
  grey.height = 3;
  grey.colourtype = 4;
  grey.depth = 16;
  grey.idatsplit = 9;
  grey.foreignbetween = true;
  FillSamples(grey, 3);
  out.push_back(MakePng(grey));
  return out;
}

std::vector<Bytes> BmpFixtures() {
  std::vector<Bytes> out;
  for (uint16_t bits : {1, 4, 8, 24})
    out.push_back(MakeBmp(5, 3, bits, [&](uint32_t x, uint32_t y) {
      return bits == 24 ? x * 0x102030u + y : (x + y) % (1u << bits);
    }));
  return out;
}

bool Allowed(int r) { return r == 0 || r == 1 || r == 2 || r == 3 || r == 4 || r == 10; }

}  // namespace

TEST(HostileInput, PngVariants) {
  std::map<int, int> loads;
  for (const Bytes& good : PngFixtures()) {
    RecordingSurface ref;
    ZLoader_PNG loader;
    ASSERT_EQ(loader.Start(&ref, good.data(), uint32_t(good.size()), 6, 1), 0);
    ForEachVariant(good, [&](const Bytes& b, bool cut) {
      RecordingSurface rec;
      const int r = loader.Start(&rec, b.data(), uint32_t(b.size()), 6, 1);
      ASSERT_TRUE(Allowed(r)) << r;
      ++loads[r];
      if (r == 0) {
        // Success means the whole image: every row delivered once.
        ASSERT_EQ(rec.rowsdelivered, rec.height);
        if (cut) {
          ASSERT_EQ(rec.pixels, ref.pixels);  // only a cut into IEND can still load
        }
      }
    });
  }
  // Both outcomes occur, so the variants reach the decoder and not only the walk.
  EXPECT_GT(loads[0], 100);
  EXPECT_GT(loads[1], 100);
}

TEST(HostileInput, BmpVariants) {
  for (const Bytes& good : BmpFixtures()) {
    ZLoader_BMP loader;
    ForEachVariant(good, [&](const Bytes& b, bool cut) {
      RecordingSurface rec;
      const int r = loader.Start(&rec, b.data(), uint32_t(b.size()), 6, 1);
      ASSERT_TRUE(Allowed(r)) << r;
      if (r == 0) {
        ASSERT_EQ(rec.rowsdelivered, rec.height);
      }
      if (cut) {
        ASSERT_NE(r, 0) << "cut at " << b.size();
      }
    });
  }
}

TEST(HostileInput, IntoRealSurfacesAtEveryRotation) {
  // The same inputs through the surface callbacks, on a 5:6:5 and an 8-bit surface.
  std::vector<Bytes> fixtures = PngFixtures();
  for (const Bytes& b : BmpFixtures()) fixtures.push_back(b);
  for (uint8_t rotation = 0; rotation < 4; rotation += 1) {
    TestEngine e(rotation);
    e.display.RegisterLoader(new ZLoader_PNG);
    e.display.RegisterLoader(new ZLoader_BMP);
    for (const Bytes& good : fixtures) {
      size_t n = 0;
      ForEachVariant(good, [&](const Bytes& b, bool) {
        if (++n % 7) return;  // a sample is enough here: the decoders ran on all above
        Z2DSurface s;
        s.LinkZCD(&e.zcd);
        const int r = s.LoadImage(b.data(), uint32_t(b.size()), n % 2 ? ZFMT_RGB565 : ZFMT_INDEX8,
                                  1 | LDR_DITHER);
        ASSERT_TRUE(Allowed(r)) << r;
        Z2DSurfaceRGBA rgba;
        rgba.LinkZCD(&e.zcd);
        const int q = rgba.LoadImage(b.data(), uint32_t(b.size()), n % 2 ? ZFMT_RGB565 : ZFMT_XRGB8888,
                                     1 | LDR_DITHER | (n % 3 ? uint32_t(LDR_PREMULTIPLIED) : 0u));
        ASSERT_TRUE(Allowed(q)) << q;
      });
    }
  }
}

TEST(HostileInput, ThreeDsVariants) {
  Mesh3ds m;
  m.xyz = {0, 0, 0, 10, 0, 0, 0, 10, 0, 0, 0, 10};
  m.faces = {0, 1, 2, 0, 2, 3, 1, 2, 3};
  m.uv = {0, 0, 1, 0, 0, 1};
  const Bytes good = Make3ds({ObjectChunk("box", m), ObjectChunk("second", m)});
  TestEngine e;
  ZLoader_3DS loader;
  {
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    ASSERT_EQ(loader.Start(&mesh, good.data(), uint32_t(good.size())), 0);
  }
  ForEachVariant(good, [&](const Bytes& b, bool) {
    Z3DSurface mesh;
    mesh.LinkZCD(&e.zcd);
    const int r = loader.Start(&mesh, b.data(), uint32_t(b.size()));
    ASSERT_TRUE(r >= 0 && r <= 4) << r;
    if (r == 0) {
      ASSERT_LE(mesh.VerticesInUse(), mesh.vertexcapacity);
      ASSERT_LE(mesh.PolygonsInUse(), mesh.polygoncapacity);
    }
  });
}
