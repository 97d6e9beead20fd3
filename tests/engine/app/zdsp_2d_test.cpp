// Display open and presentation on the host's framebuffer in every format it can report,
// with the display the framework owns and wires to its services.
#include <cstring>
#include <utility>
#include <vector>

#include <fstream>

#include "engine/core/zmod_devptr.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "tests/engine/app/zolt_fixture.h"
#include "tests/support/temp_dir.h"

namespace {

// The framework's services around a display that the test opens itself.
struct Engine {
  ClassZolt zolt;
  ClassZDisplay& display = zolt.display;
  ZOLTCONFIG& config = zolt.config;
  Engine() {
    config.width = 320;
    config.height = 240;
  }
  int Open() { return display.Open(nullptr, &zolt.zcd, 32, config.width, config.height, true); }
};

gp2x::host::Settings Fb(int bpp, int green, int xres_virtual) {
  gp2x::host::Settings s;
  s.poll_ns = 0;
  s.fb_bpp = bpp;
  s.fb_green_length = green;
  s.fb_xres_virtual = xres_virtual;
  return s;
}

uint16_t Pixel16(const uint8_t* fb, uint32_t stride, int x, int y) {
  uint16_t v;
  std::memcpy(&v, fb + size_t(y) * stride + size_t(x) * 2, 2);
  return v;
}

}  // namespace

using ZDisplayOpen = ZoltHostTest;

struct FormatCase {
  int bpp, green, xres_virtual;
  uint8_t backbuffer;  // configured
  uint8_t fbformat, bbformat;
  bool conversion;
};

class ZDisplayFormats : public ZoltHostTest, public ::testing::WithParamInterface<FormatCase> {};

TEST_P(ZDisplayFormats, OpenMapsByLineLengthAndPicksFormats) {
  const FormatCase& k = GetParam();
  Reconfigure(Fb(k.bpp, k.green, k.xres_virtual));
  Engine e;
  e.config.backbufferformat = k.backbuffer;
  ASSERT_EQ(e.Open(), 0);
  const uint32_t stride = uint32_t(k.xres_virtual * k.bpp / 8);
  EXPECT_EQ(e.display.fbwidth, 320u);
  EXPECT_EQ(e.display.fbheight, 240u);
  EXPECT_EQ(e.display.FramebufferStride(), stride);
  EXPECT_EQ(e.display.FramebufferMapSize(), stride * 240);
  EXPECT_EQ(e.display.fbformat, k.fbformat);
  EXPECT_EQ(e.display.backbufferformat, k.bbformat);
  EXPECT_EQ(e.display.backbuffer.format, k.bbformat);
  EXPECT_EQ(e.display.convsurface.Created(), k.conversion);
  EXPECT_EQ(e.display.font.GetWidth(), 708u);
  EXPECT_EQ(e.display.font.GetHeight(), 14u);
  EXPECT_EQ(e.display.rendersize, 240u);
  e.display.Close();
  EXPECT_EQ(e.display.framebuffer, nullptr);
  EXPECT_EQ(e.display.backbufferformat, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZDisplayFormats,
    ::testing::Values(FormatCase{16, 6, 320, 32, 4, 4, false},
                      FormatCase{16, 6, 320, 3, 4, 4, false},  // never a 5:5:5 back buffer
                      FormatCase{16, 6, 320, 6, 4, 6, true},
                      FormatCase{16, 5, 320, 32, 3, 4, true},
                      FormatCase{24, 8, 320, 32, 5, 6, true},  // never a 24-bit one
                      FormatCase{32, 8, 320, 32, 6, 6, false},
                      FormatCase{32, 8, 320, 4, 6, 4, true},
                      FormatCase{16, 6, 400, 32, 4, 4, false},
                      FormatCase{32, 8, 640, 32, 6, 6, false}));

TEST_F(ZDisplayOpen, RefusalsLeaveItClosed) {
  {
    Engine e;
    EXPECT_EQ(e.display.Open(nullptr, &e.zolt.zcd, 32, 0, 240, true), 4);
    EXPECT_EQ(e.display.Open(nullptr, &e.zolt.zcd, 32, 320, 0, true), 4);
    EXPECT_EQ(e.display.backbufferformat, 0);
  }
  {
    Reconfigure(Fb(12, 6, 320));
    Engine e;
    EXPECT_EQ(e.Open(), 3);
    EXPECT_EQ(e.display.framebuffer, nullptr) << "nothing mapped";
    EXPECT_EQ(e.display.backbufferformat, 0);
  }
  {
    Reconfigure(Fb(16, 6, 320));
    HandleDevicePtr(true);  // no "/dev/fb0": the query fails
    Engine e;
    EXPECT_EQ(e.Open(), 1);
    EXPECT_EQ(e.display.framebuffer, nullptr);
    EXPECT_EQ(e.display.backbufferformat, 0);
  }
  {
    Reconfigure(Fb(16, 6, 320));
    Engine e;
    e.config.backbufferformat = 9;  // no such format: no back buffer
    EXPECT_EQ(e.Open(), 1);
    EXPECT_EQ(e.display.framebuffer, nullptr);
    EXPECT_EQ(e.display.backbufferformat, 0);
  }
  for (uint8_t format : {uint8_t(32), uint8_t(6)}) {
    Reconfigure(Fb(16, 6, 320));
    Engine e;
    e.config.backbufferformat = format;
    e.config.surfaceflags = 0x10;  // kind 0: a creation that makes no surface
    EXPECT_EQ(e.Open(), 1) << int(format);
    EXPECT_EQ(e.display.framebuffer, nullptr);
    EXPECT_EQ(e.display.backbufferformat, 0);
  }
}

// Text shows on every framebuffer depth: the built-in font has its glyphs (on 8 bits they
// used to share the key's palette index, and an open reported success with no glyph).
TEST_F(ZDisplayOpen, TheBuiltInFontHasGlyphsOnEveryDepth) {
  for (int bpp : {8, 16, 24, 32}) {
    SCOPED_TRACE(bpp);
    Reconfigure(Fb(bpp, bpp == 16 ? 6 : 8, 320));
    Engine e;
    ASSERT_EQ(e.Open(), 0);
    ASSERT_TRUE(e.display.font.Created());
    EXPECT_EQ(e.display.font.GetFontWidth("Hi"), 9u);
    Z2DSurface& bb = e.display.backbuffer;
    bb.Clear(0x804020);
    const uint32_t background = bb.GetPixel(0, 0);
    bb.DrawFont(1, 1, &e.display.font, "Hi", 1, 0);
    int glyph = 0;
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 12; ++x) glyph += bb.GetPixel(x, y) != background;
    EXPECT_GT(glyph, 22);  // the white pixels of "Hi" and their outlines
  }
}

TEST_F(ZDisplayOpen, OpenWhileOpenClosesFirst) {
  Engine e;
  ASSERT_EQ(e.Open(), 0);
  e.display.Suspend();
  ASSERT_EQ(e.Open(), 0);
  EXPECT_EQ(e.display.suspended, 0);
  EXPECT_NE(e.display.framebuffer, nullptr);
}

TEST_F(ZDisplayOpen, FontFlagAndBackFlipFlag) {
  {
    Engine e;
    e.config.flags = ZCONFIG_NOFONT;
    ASSERT_EQ(e.Open(), 0);
    EXPECT_FALSE(e.display.font.Created());
  }
  {
    uint16_t* fb = reinterpret_cast<uint16_t*>(Framebuffer());
    for (int i = 0; i < 320 * 240; ++i) fb[i] = uint16_t(i * 7);
    Engine e;
    e.config.flags = ZCONFIG_BACKFLIP;
    ASSERT_EQ(e.Open(), 0);
    const uint16_t* bb = reinterpret_cast<const uint16_t*>(e.display.backbuffer.buffer);
    EXPECT_EQ(std::memcmp(bb, fb, 320 * 240 * 2), 0) << "the back buffer starts as the screen";
  }
  {
    // Through the conversion surface: a 32-bit back buffer starts as the 5:6:5 screen (each
    // pixel packs back to what the screen holds).
    const uint16_t* fb = reinterpret_cast<const uint16_t*>(Framebuffer());
    Engine e;
    e.config.flags = ZCONFIG_BACKFLIP;
    e.config.backbufferformat = ZFMT_XRGB8888;
    ASSERT_EQ(e.Open(), 0);
    ASSERT_TRUE(e.display.convsurface.Created());
    for (int y = 0; y < 240; y += 7)
      for (int x = 0; x < 320; x += 5)
        ASSERT_EQ(ZSurf_Pack(ZFMT_RGB565, e.display.backbuffer.GetPixel(x, y)), fb[y * 320 + x])
            << x << "," << y;
  }
}

// ---------------------------------------------------------------------------------------
// Flip

using ZDisplayFlip = ZoltHostTest;

struct FlipFormatCase {
  int bpp, green;
  uint8_t backbuffer;
};

class ZDisplayFlipFormats : public ZoltHostTest,
                            public ::testing::WithParamInterface<FlipFormatCase> {};

// The framebuffer's bytes for a colour word 0x00BBGGRR, written out per format.
std::vector<uint8_t> Stored(uint32_t c, int bpp, int green) {
  const uint32_t r = c & 0xFF, g = c >> 8 & 0xFF, b = c >> 16 & 0xFF;
  uint32_t v;
  switch (bpp) {
    case 16:
      v = green == 6 ? (r >> 3) << 11 | (g >> 2) << 5 | b >> 3 : (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
      return {uint8_t(v), uint8_t(v >> 8)};
    case 24: return {uint8_t(b), uint8_t(g), uint8_t(r)};
    default: return {uint8_t(b), uint8_t(g), uint8_t(r), 0};
  }
}

TEST_P(ZDisplayFlipFormats, FramebufferHoldsThePackedColours) {
  const FlipFormatCase& k = GetParam();
  Reconfigure(Fb(k.bpp, k.green, 320));
  Engine e;
  e.config.backbufferformat = k.backbuffer;
  ASSERT_EQ(e.Open(), 0);
  // Channels that are multiples of 8 survive every format unchanged.
  const uint32_t colours[3] = {0x00F08010, 0x00081018, 0x00F8F8F8};
  for (int i = 0; i < 3; ++i) {
    tagRECT r{i * 100, 0, i * 100 + 100, 240};
    e.display.backbuffer.FillRect(&r, colours[i], 0, 0);
  }
  e.display.Flip(false);
  const uint8_t* fb = Framebuffer();
  const uint32_t bytes = uint32_t(k.bpp / 8), stride = 320 * bytes;
  for (int i = 0; i < 3; ++i) {
    const std::vector<uint8_t> want = Stored(colours[i], k.bpp, k.green);
    for (const auto& [x, y] : {std::pair<int, int>{i * 100, 0}, {i * 100 + 99, 239}}) {
      const std::vector<uint8_t> got(fb + y * stride + x * bytes, fb + y * stride + (x + 1) * bytes);
      EXPECT_EQ(got, want) << i << " at " << x << "," << y;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ZDisplayFlipFormats,
                         ::testing::Values(FlipFormatCase{16, 6, 32}, FlipFormatCase{16, 6, 6},
                                           FlipFormatCase{16, 5, 32}, FlipFormatCase{24, 8, 32},
                                           FlipFormatCase{32, 8, 32}));

TEST_F(ZDisplayFlip, WiderLineLengthIsTheOneStride) {
  Reconfigure(Fb(16, 6, 400));
  uint8_t* fb = Framebuffer();
  const uint32_t stride = 800, mapped = stride * 240;
  std::memset(fb, 0xAB, mapped + 4096);
  Engine e;
  ASSERT_EQ(e.Open(), 0);
  Z2DSURFACEINFO info{};
  uint16_t* bb = reinterpret_cast<uint16_t*>(e.display.backbuffer.Lock(&info));
  for (int y = 0; y < 240; ++y)
    for (int x = 0; x < 320; ++x) bb[y * info.pitch / 2 + x] = uint16_t(y * 320 + x);
  e.display.backbuffer.Unlock();
  e.display.Flip(false);
  for (int y = 0; y < 240; ++y) {
    ASSERT_EQ(Pixel16(fb, stride, 0, y), uint16_t(y * 320)) << y;
    ASSERT_EQ(Pixel16(fb, stride, 319, y), uint16_t(y * 320 + 319)) << y;
    ASSERT_EQ(Pixel16(fb, stride, 320, y), 0xABAB) << "padding of row " << y;
  }
  for (uint32_t i = mapped; i < mapped + 4096; ++i) ASSERT_EQ(fb[i], 0xAB) << "past the mapping";
}

TEST_F(ZDisplayFlip, FlipRectangles) {
  struct Case {
    tagRECT rect;
    tagRECT copied;  // buffer coordinates; empty: nothing
  } cases[] = {
      {{10, 20, 30, 40}, {10, 20, 30, 40}},
      {{-10, -10, 5, 5}, {0, 0, 5, 5}},
      {{300, 230, 400, 300}, {300, 230, 320, 240}},
      {{400, 0, 500, 240}, {0, 0, 0, 0}},  // wholly right of the screen
      {{0, -50, 320, -10}, {0, 0, 0, 0}},  // wholly above
      {{50, 50, 40, 60}, {0, 0, 0, 0}},    // inverted
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << k.rect.left << "," << k.rect.top << "," << k.rect.right
                                    << "," << k.rect.bottom);
    uint16_t* fb = reinterpret_cast<uint16_t*>(Framebuffer());
    std::fill(fb, fb + 320 * 240, uint16_t(0x1234));
    Engine e;
    ASSERT_EQ(e.Open(), 0);
    e.display.backbuffer.Clear(0xFFFFFF);
    e.display.SetFlipRect(&k.rect);
    e.display.Flip(false);
    int changed = 0;
    for (int y = 0; y < 240; ++y) {
      for (int x = 0; x < 320; ++x) {
        const bool inside = x >= k.copied.left && x < k.copied.right && y >= k.copied.top &&
                            y < k.copied.bottom;
        ASSERT_EQ(fb[y * 320 + x], inside ? 0xFFFF : 0x1234) << x << "," << y;
        changed += inside;
      }
    }
    e.display.SetFlipRect(nullptr);
    e.display.Flip(false);
    EXPECT_EQ(fb[0], 0xFFFF);
    EXPECT_EQ(fb[320 * 240 - 1], 0xFFFF);
  }
}

TEST_F(ZDisplayFlip, RotationsLandInBufferCoordinates) {
  // Logical (0, 0) and (2, 1) on each rotation, as the framebuffer shows them.
  struct Case {
    uint8_t rotation;
    int x0, y0, x1, y1;
  } cases[] = {
      {0, 0, 0, 2, 1},
      {1, 0, 239, 1, 237},
      {2, 319, 239, 317, 238},
      {3, 319, 0, 318, 2},
  };
  for (const Case& k : cases) {
    Reconfigure(QuietSettings());
    Engine e;
    e.config.rotation = k.rotation;
    ASSERT_EQ(e.Open(), 0);
    const bool exchanged = k.rotation & 1;
    EXPECT_EQ(e.display.backbuffer.GetWidth(), exchanged ? 240u : 320u);
    e.display.backbuffer.PutPixel(0, 0, 0xFFFFFF, 0, 0);
    e.display.backbuffer.PutPixel(2, 1, 0x0000FF, 0, 0);  // red
    e.display.Flip(false);
    const uint8_t* fb = Framebuffer();
    EXPECT_EQ(Pixel16(fb, 640, k.x0, k.y0), 0xFFFF) << int(k.rotation);
    EXPECT_EQ(Pixel16(fb, 640, k.x1, k.y1), 0xF800) << int(k.rotation);
  }
}

TEST_F(ZDisplayFlip, FlipRectangleFollowsTheRotation) {
  // A logical 10 x 5 rectangle at the origin, as the framebuffer holds it (buffer
  // coordinates), on each rotation.
  struct Case {
    uint8_t rotation;
    tagRECT copied;
  } cases[] = {
      {0, {0, 0, 10, 5}},
      {1, {0, 230, 5, 240}},
      {2, {310, 235, 320, 240}},
      {3, {315, 0, 320, 10}},
  };
  for (const Case& k : cases) {
    Reconfigure(QuietSettings());
    uint16_t* fb = reinterpret_cast<uint16_t*>(Framebuffer());
    std::fill(fb, fb + 320 * 240, uint16_t(0x1234));
    Engine e;
    e.config.rotation = k.rotation;
    ASSERT_EQ(e.Open(), 0);
    e.display.backbuffer.Clear(0xFFFFFF);
    const tagRECT logical{0, 0, 10, 5};
    e.display.SetFlipRect(&logical);
    e.display.Flip(false);
    for (int y = 0; y < 240; ++y)
      for (int x = 0; x < 320; ++x) {
        const bool inside = x >= k.copied.left && x < k.copied.right && y >= k.copied.top &&
                            y < k.copied.bottom;
        ASSERT_EQ(fb[y * 320 + x], inside ? 0xFFFF : 0x1234)
            << int(k.rotation) << ": " << x << "," << y;
      }
  }
}

TEST_F(ZDisplayFlip, NothingWhileSuspendedOrClosed) {
  uint16_t* fb = reinterpret_cast<uint16_t*>(Framebuffer());
  Engine e;
  ASSERT_EQ(e.Open(), 0);
  std::fill(fb, fb + 320 * 240, uint16_t(0x1234));
  e.display.backbuffer.Clear(0xFFFFFF);
  e.display.Suspend();
  e.display.Flip(false);
  e.display.BackFlip();
  EXPECT_EQ(fb[0], 0x1234);
  EXPECT_EQ(e.display.backbuffer.GetPixel(0, 0), 0x00F8FCF8u);
  e.display.Resume();
  e.display.Flip(false);
  EXPECT_EQ(fb[0], 0xFFFF);
  e.display.Close();
  e.display.Flip(false);  // closed: no crash, nothing to copy
}

TEST_F(ZDisplayFlip, VerticalBlankWaitIsBoundedAndGuarded) {
  gp2x::host::Settings s = QuietSettings();
  s.poll_ns = 2000;
  Reconfigure(s);
  Engine e;
  e.config.flags = ZCONFIG_VBLANK;
  ASSERT_EQ(e.Open(), 0);
  e.display.backbuffer.Clear(0xFFFFFF);
  const uint64_t start = NowMicros();
  e.display.Flip(false);
  EXPECT_LE(NowMicros() - start, 20000u) << "at most one frame's wait";
  EXPECT_EQ(reinterpret_cast<uint16_t*>(Framebuffer())[0], 0xFFFF);
  // Without a register window the wait is skipped, never a crash.
  volatile uint16_t* window = zdevicereg_ptr16;
  zdevicereg_ptr16 = nullptr;
  e.display.backbuffer.Clear(0);
  e.display.Flip(false);
  zdevicereg_ptr16 = window;
  EXPECT_EQ(reinterpret_cast<uint16_t*>(Framebuffer())[0], 0);
}

TEST_F(ZDisplayFlip, FlipCopyStepsAndZeroFill) {
  Engine e;
  ASSERT_EQ(e.Open(), 0);
  uint16_t src[4 * 3], dst[4 * 3];
  for (int i = 0; i < 12; ++i) src[i] = uint16_t(i + 1);
  std::fill(dst, dst + 12, 0xEEEE);
  // Mirrored rows: x steps backwards through the destination.
  e.display.FlipCopy(dst + 3, src, -2, 8, 2, 8, 4, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 4; ++x) EXPECT_EQ(dst[y * 4 + 3 - x], src[y * 4 + x]);
  e.display.FlipCopy(dst, nullptr, 2, 8, 2, 8, 2, 2);
  EXPECT_EQ(dst[0], 0);
  EXPECT_EQ(dst[1], 0);
  EXPECT_EQ(dst[4], 0);
  EXPECT_EQ(dst[2], src[1]);
}

namespace {

// A 2 x 1 24-bit bottom-up BMP: a red and a blue pixel.
std::vector<uint8_t> TinyBmp() {
  std::vector<uint8_t> b = {'B', 'M'};
  auto le32 = [&b](uint32_t v) {
    for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
  };
  auto le16 = [&b](uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  le32(54 + 8), le32(0), le32(54);              // file header
  le32(40), le32(2), le32(1), le16(1), le16(24);  // information header
  le32(0), le32(8), le32(0), le32(0), le32(0), le32(0);
  const uint8_t row[8] = {0, 0, 255, 255, 0, 0, 0, 0};  // B G R, B G R, padding
  b.insert(b.end(), row, row + 8);
  return b;
}

}  // namespace

TEST_F(ZDisplayFlip, CreateSurfaceFamilyUsesTheBackBufferFormat) {
  TempDir dir;
  Engine e;
  e.config.backbufferformat = 6;
  ASSERT_EQ(e.Open(), 0);
  ASSERT_EQ(e.display.RegisterLoader(new ZLoader_BMP), 1);
  ASSERT_EQ(e.display.RegisterLoader(new ZLoader_3DS), 1);
  const std::vector<uint8_t> bmp = TinyBmp();
  {
    std::ofstream out(dir / "tiny.bmp", std::ios::binary);
    out.write(reinterpret_cast<const char*>(bmp.data()), std::streamsize(bmp.size()));
  }
  const std::string file = dir / "tiny.bmp";
  std::vector<uint16_t> wide(file.begin(), file.end());
  wide.push_back(0);

  Z2DSurface plain;
  EXPECT_EQ(e.display.CreateSurface(&plain, 33u, 10u, 1u), 0);
  EXPECT_EQ(plain.zcd, &e.zolt.zcd);
  EXPECT_EQ(plain.format, 6);
  EXPECT_EQ(plain.GetWidth(), 33u);

  // The image forms: memory, 8-bit and 16-bit names, for both kinds of surface.
  Z2DSurface images[3];
  EXPECT_EQ(e.display.CreateSurface(&images[0], bmp.data(), uint32_t(bmp.size()), 1u), 0);
  EXPECT_EQ(e.display.CreateSurface(&images[1], file.c_str(), 1u), 0);
  EXPECT_EQ(e.display.CreateSurface(&images[2], wide.data(), 1u), 0);
  for (Z2DSurface& s : images) {
    EXPECT_EQ(s.format, 6);
    EXPECT_EQ(s.GetWidth(), 2u);
    EXPECT_EQ(s.GetPixel(0, 0), 0x0000FFu);
    EXPECT_EQ(s.GetPixel(1, 0), 0xFF0000u);
  }
  Z2DSurfaceRGBA rgba[4];
  EXPECT_EQ(e.display.CreateSurface(&rgba[0], 5u, 4u, 1u), 0);
  EXPECT_EQ(e.display.CreateSurface(&rgba[1], bmp.data(), uint32_t(bmp.size()), 1u), 0);
  EXPECT_EQ(e.display.CreateSurface(&rgba[2], file.c_str(), 1u), 0);
  EXPECT_EQ(e.display.CreateSurface(&rgba[3], wide.data(), 1u), 0);
  for (Z2DSurfaceRGBA& s : rgba) EXPECT_EQ(s.targetformat, 6);
  EXPECT_EQ(rgba[1].GetWidth(), 2u);

  // Meshes: not a model is "no loader takes it".
  Z3DSurface mesh;
  EXPECT_EQ(e.display.CreateSurface(&mesh, 8u, 4u), 0);
  EXPECT_EQ(mesh.zcd, &e.zolt.zcd);
  EXPECT_EQ(e.display.CreateSurface(&mesh, bmp.data(), uint32_t(bmp.size())), 3);

  EXPECT_EQ(e.display.CreateSurface(static_cast<Z2DSurface*>(nullptr), 33u, 10u, 1u), 4);
  EXPECT_EQ(e.display.CreateSurface(static_cast<Z3DSurface*>(nullptr), 8u, 4u), 4);
}
