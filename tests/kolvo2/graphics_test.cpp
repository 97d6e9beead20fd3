// The game's graphics helper: the loading steps over the game's own packs and over packs
// with an entry missing or damaged, the side panel laid over the backdrop, the closing
// screen's picture pair, the transition's timing, the logo's flight, and the keyboard's
// labels and key caps.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/engine/graphics/gfx_oracle.h"
#include "tests/engine/graphics/ldr_test_images.h"
#include "tests/kolvo2/data_folder.h"
#include "tests/kolvo2/screens_fixture.h"

namespace {

TEST(GraphicsLoading, StepsWithoutWorkSucceedAndAfterTheLastThePackIsClosed) {
  GameWorld w;
  WorkingDir in(KOLVO2_DATA_DIR);
  for (uint32_t step : {0u, 3u, 10u, 11u, 15u, 16u, 99u}) {
    EXPECT_EQ(w.gfx.ScriptLoad(step), 1) << step;
    EXPECT_FALSE(w.gfx.PackOpen()) << step;
  }
  for (uint32_t step = 1; step <= 8; ++step) ASSERT_EQ(w.gfx.ScriptLoad(step), 1) << w.gfx.FailedName();
  EXPECT_TRUE(w.gfx.PackOpen());
  EXPECT_EQ(w.gfx.ScriptLoad(9), 1);
  EXPECT_FALSE(w.gfx.PackOpen());
  for (uint32_t step : {2u, 4u, 5u, 6u, 7u, 8u}) EXPECT_EQ(w.gfx.ScriptLoad(step), 0) << step;
  // The game font: 18-pixel strips, lines 14 pixels apart.
  EXPECT_EQ(w.gfx.GetFontHeight(), 14u);
  EXPECT_EQ(w.gfx.GetKBHeight(), 96u);
}

TEST(GraphicsLoading, AMissingOrDamagedPictureStopsItsStepAndIsNamed) {
  const Bytes garbage = {'B', 'M', 1, 2, 3, 4, 5, 6, 7, 8, 9};
  struct Case {
    std::string omit, replace;
    uint32_t step;
    const char* named;
  } cases[] = {
      {"splash.bmp", "", 2, "splash.bmp"},       {"", "stdsprite.bmp", 4, "stdsprite.bmp"},
      {"zoltlogo.3ds", "", 5, "zoltlogo.3ds"},   {"", "zoltbanner.png", 5, "zoltbanner.png"},
      {"logo.png", "", 5, "logo.png"},           {"gmask.bmp", "", 6, "gmask.bmp"},
      {"", "keyfont.bmp", 6, "keyfont.bmp"},     {"kbkey.png", "", 7, "kbkey.png"},
      {"", "menu.3ds", 8, "menu.3ds"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    DataFolder data(c.omit, c.replace, garbage);
    GameWorld w;
    WorkingDir in(data.path());
    for (uint32_t step = 0; step < c.step; ++step) ASSERT_EQ(w.gfx.ScriptLoad(step), 1) << step;
    EXPECT_EQ(w.gfx.ScriptLoad(c.step), 0);
    EXPECT_STREQ(w.gfx.FailedName(), c.named);
  }
}

TEST(GraphicsLoading, NoPackOrATruncatedOneFailsTheFirstStep) {
  TempDir empty;
  {
    GameWorld w;
    WorkingDir in(empty.path());
    EXPECT_EQ(w.gfx.ScriptLoad(1), 0);
    EXPECT_STREQ(w.gfx.FailedName(), "res/gfx.zpk");
    EXPECT_EQ(w.gfx.ScriptLoad(2), 0);
  }
  // Cut short, the pack fails at its first step or at its first picture.
  for (const off_t length : {0, 20, 100, 5000, 200000}) {
    SCOPED_TRACE(length);
    DataFolder data;
    ASSERT_EQ(truncate((data.path() + "/res/gfx.zpk").c_str(), length), 0);
    GameWorld w;
    WorkingDir in(data.path());
    const int opened = w.gfx.ScriptLoad(1);
    EXPECT_STREQ(w.gfx.FailedName(), opened ? "" : "res/gfx.zpk");
    if (opened) {
      EXPECT_EQ(w.gfx.ScriptLoad(2), 0);
      EXPECT_STREQ(w.gfx.FailedName(), "splash.bmp");
    }
  }
}

TEST(GraphicsBackdrop, AMissingBackdropKeepsThePictureShown) {
  DataFolder data("title.bmp");
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics(data.path()));
  WorkingDir in(data.path());
  Z2DSurface* backdrop = nullptr;
  w.gfx.GetBackDrop(backdrop);
  backdrop->FillRect(nullptr, 0x123456, 0, 0);
  const uint32_t before = backdrop->GetPixel(100, 100);
  w.gfx.LoadBackDrop("title.bmp");
  w.gfx.LoadBackDrop("no such.bmp");
  EXPECT_EQ(backdrop->GetPixel(100, 100), before);
}

// The side panel goes over what the backdrop held (keyed), the well is darkened, and the
// grid is drawn only while it is enabled: every pixel against a one-pixel oracle. The
// panel's picture here is keyed on its left half (the game's own covers the screen).
TEST(GraphicsBackdrop, TheSidePanelIsKeyedOverTheBackdropWithADarkenedWellAndItsGrid) {
  const uint32_t key = ClassGraphics::COLORKEY;
  auto art = [&](uint32_t x, uint32_t y) { return x < 160 ? key : ((x * 7) & 0xF8) | ((y * 5) & 0xFC) << 8 | 0x400000; };
  DataFolder data("", "hud.bmp", ldrtest::MakeBmp(320, 240, 24, art));
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics(data.path()));
  WorkingDir in(data.path());
  Z2DSurface* backdrop = nullptr;
  w.gfx.GetBackDrop(backdrop);
  const uint32_t under = 0x3060A0;
  auto inWell = [](int32_t x, int32_t y) { return x >= 30 && x < 170 && y < 238; };
  auto panel = [&](int32_t x, int32_t y) {
    const uint32_t h = art(static_cast<uint32_t>(x), static_cast<uint32_t>(y));
    const uint32_t p = oracle::Pack(4, h == key ? under : h);
    return inWell(x, y) ? oracle::FillPixel(4, p, 0x202020, 0x20, 0) : p;
  };

  w.cfg.gridoff = 1;
  backdrop->FillRect(nullptr, under, 0, 0);
  w.gfx.LoadBackDrop("hud.bmp");
  uint32_t wrong = 0;
  for (int32_t y = 0; y < 240; ++y)
    for (int32_t x = 0; x < 320; ++x) wrong += oracle::Pack(4, backdrop->GetPixel(x, y)) != panel(x, y);
  EXPECT_EQ(wrong, 0u);

  w.cfg.gridoff = 0;
  backdrop->FillRect(nullptr, under, 0, 0);
  w.gfx.LoadBackDrop("hud.bmp");
  for (int32_t row : {0, 5, 16})
    for (int32_t column : {0, 3, 9}) {
      const int32_t l = 30 + 14 * column, t = 14 * row;
      const uint32_t colour = (row + column) % 2 ? 0x80A080 : 0xA0C0A0;
      const uint32_t cell = oracle::FillPixel(4, panel(l + 5, t + 5), colour, 0x08, 64);
      EXPECT_EQ(oracle::Pack(4, backdrop->GetPixel(l + 5, t + 5)), cell) << row << " " << column;
      const uint32_t edge = oracle::FillPixel(4, oracle::FillPixel(4, panel(l + 5, t), colour, 0x08, 64), 0x404040, 0x10, 64);
      EXPECT_EQ(oracle::Pack(4, backdrop->GetPixel(l + 5, t)), edge) << row << " " << column;
    }
  EXPECT_EQ(oracle::Pack(4, backdrop->GetPixel(200, 200)), panel(200, 200));
  EXPECT_EQ(oracle::Pack(4, backdrop->GetPixel(10, 200)), panel(10, 200));
}

// The pictures decoded before the first frame give every backdrop the pack gives: the
// title's, the side panel over it with and without the grid, and the side panel over a
// backdrop that is not the title's (a captured screen, the intro's own).
TEST(GraphicsBackdrop, PreloadedPicturesGiveTheBackdropsThePackGives) {
  GameWorld plain, early;
  ASSERT_TRUE(plain.LoadGraphics());
  ASSERT_TRUE(early.LoadGraphics());
  // Taken once: handing the backdrop out counts as drawing on it.
  Z2DSurface *a = nullptr, *b = nullptr;
  plain.gfx.GetBackDrop(a);
  early.gfx.GetBackDrop(b);
  WorkingDir in(KOLVO2_DATA_DIR);
  early.gfx.Preload();
  auto differ = [&] {
    uint32_t wrong = a->GetWidth() != b->GetWidth() || a->GetHeight() != b->GetHeight();
    for (int32_t y = 0; y < 240; ++y)
      for (int32_t x = 0; x < 320; ++x) wrong += a->GetPixel(x, y) != b->GetPixel(x, y);
    return wrong;
  };
  auto both = [&](auto step) {
    step(plain);
    step(early);
  };
  struct Case {
    const char* first;  // nullptr: a captured screen
    uint8_t gridoff;
  };
  for (const Case& c : {Case{"title.bmp", 0}, Case{"title.bmp", 1}, Case{nullptr, 0},
                        Case{"splash.bmp", 1}, Case{"title.bmp", 0}}) {
    both([&](GameWorld& w) {
      w.cfg.gridoff = c.gridoff;
      if (c.first) {
        w.gfx.LoadBackDrop(c.first);
      } else {
        w.screen.FillRect(nullptr, 0x3060A0, 0, 0);
        w.gfx.CaptureBackDrop(w.screen);
      }
    });
    EXPECT_EQ(differ(), 0u) << (c.first ? c.first : "captured");
    both([](GameWorld& w) { w.gfx.LoadBackDrop("hud.bmp"); });
    EXPECT_EQ(differ(), 0u) << (c.first ? c.first : "captured") << " + hud.bmp, grid off " << int(c.gridoff);
  }
}

// A block tile is copied as it is, cut to quarter cells, plainly or at an opacity: every
// pixel of the cell lands, the colour key's too. The sheet here has key pixels in its
// first row of cells (the second row holds the grey block the colours are made from).
TEST(GraphicsSprites, ACellIsCopiedWholeCutToQuarterCells) {
  const uint32_t key = ClassGraphics::COLORKEY;
  auto art = [&](uint32_t x, uint32_t y) {
    if (y >= 14) return 0x808080u;
    return (x + y) % 3 == 0 ? key : 0x102030u + ((x * 9) & 0xF8) + (((y * 13) & 0xFC) << 8);
  };
  DataFolder data("", "stdsprite.bmp", ldrtest::MakeBmp(224, 28, 24, art));
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics(data.path()));
  const uint32_t under = oracle::Pack(4, 0x3060A0);
  struct Case {
    uint16_t index;
    uint32_t w, h;
    int opacity;  // -1: the plain form
  } cases[] = {{2, 4, 4, -1}, {5, 2, 3, -1}, {7, 4, 1, -1}, {2, 4, 4, 100}, {9, 3, 4, 255}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.index << " " << c.w << "x" << c.h << " " << c.opacity);
    w.screen.FillRect(nullptr, 0x3060A0, 0, 0);
    if (c.opacity < 0)
      w.gfx.DrawStdSprite(w.screen, 100, 50, c.w, c.h, c.index);
    else
      w.gfx.DrawStdSprite(w.screen, 100, 50, c.w, c.h, c.index, static_cast<uint8_t>(c.opacity));
    uint32_t wrong = 0;
    for (int32_t y = 45; y < 70; ++y)
      for (int32_t x = 95; x < 120; ++x) {
        const int32_t u = x - 100, v = y - 50;
        uint32_t want = under;
        if (u >= 0 && v >= 0 && u < static_cast<int32_t>(14 * c.w / 4) && v < static_cast<int32_t>(14 * c.h / 4)) {
          const uint32_t from = oracle::Pack(4, art(14 * c.index + u, v));
          const bool plain = c.opacity < 0 || c.opacity == 255;  // full opacity copies
          want = plain ? from : oracle::SameFormatPixel(4, under, from, 0x08, static_cast<uint32_t>(c.opacity));
        }
        wrong += oracle::Pack(4, w.Pixel(x, y)) != want;
      }
    EXPECT_EQ(wrong, 0u);
  }
}

// The closing screen: pair k = r mod (count / 2) of the games pack, entries 2k and 2k + 1
// at (51, 8) and (173, 8); a pack of one picture adds none.
TEST(GraphicsBackdrop, TheClosingScreenTakesOnePairOfTheGamesPack) {
  const uint32_t colours[6] = {0x0000C0, 0x00C000, 0xC00000, 0xC0C000, 0x00C0C0, 0xC000C0};
  auto picture = [](uint32_t colour) { return ldrtest::MakeBmp(96, 80, 24, [=](uint32_t, uint32_t) { return colour; }); };
  for (const uint32_t pictures : {6u, 1u}) {
    DataFolder data;
    std::vector<std::pair<std::string, Bytes>> games;
    for (uint32_t i = 0; i < pictures; ++i) games.emplace_back("game" + std::to_string(i) + ".bmp", picture(colours[i]));
    WriteNamedPack(data.path() + "/res/games.zpk", games);
    GameWorld w;
    ASSERT_TRUE(w.LoadGraphics(data.path()));
    WorkingDir in(data.path());
    Z2DSurface* backdrop = nullptr;
    w.gfx.GetBackDrop(backdrop);
    for (const uint32_t r : {0u, 1u, 2u, 5u, 0x7FFFFFFFu}) {
      SCOPED_TRACE(::testing::Message() << pictures << " pictures, number " << r);
      w.random.script = {r};
      ::testing::internal::CaptureStderr();
      w.gfx.LoadBackDrop("upcoming.bmp");
      const std::string said = ::testing::internal::GetCapturedStderr();
      EXPECT_EQ(said.find("res/games.zpk") != std::string::npos, pictures == 1) << said;
      if (pictures == 1) {
        EXPECT_NE(backdrop->GetPixel(60, 20), oracle::Expand(4, oracle::Pack(4, colours[0])));
        continue;
      }
      const uint32_t k = r % 3;
      EXPECT_EQ(backdrop->GetPixel(51, 8), oracle::Expand(4, oracle::Pack(4, colours[2 * k])));
      EXPECT_EQ(backdrop->GetPixel(173 + 95, 8 + 79), oracle::Expand(4, oracle::Pack(4, colours[2 * k + 1])));
    }
  }
}

// A transition: the backdrop darkens for 512 ms, then the back surface brightens for 512
// ms; to black only it ends at 512 ms and draws nothing further.
TEST(GraphicsTransition, TakesHalfASecondToBlackAndHalfASecondIn) {
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics());
  Z2DSurface *backdrop = nullptr, *back = nullptr;
  w.gfx.GetBackDrop(backdrop);
  w.gfx.GetBackSurface(back);
  const uint32_t from = oracle::Pack(4, 0xFFFFFF), to = oracle::Pack(4, 0x808080), mark = oracle::Pack(4, 0x00FF00);
  struct Step {
    bool blackonly;
    uint32_t total;
    int result;
    uint32_t pixel;
  } steps[] = {
      {false, 100, 0, oracle::FillPixel(4, from, 0, 0x08, 50)},
      {false, 511, 0, oracle::FillPixel(4, from, 0, 0x08, 255)},
      {false, 512, 0, oracle::FillPixel(4, to, 0, 0x08, 255)},
      {false, 900, 0, oracle::FillPixel(4, to, 0, 0x08, 61)},
      {false, 1023, 0, to},
      {false, 1024, 1, to},
      {false, 5000, 1, to},
      {true, 511, 0, oracle::FillPixel(4, from, 0, 0x08, 255)},
      {true, 512, 1, mark},
      {true, 2000, 1, mark},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(::testing::Message() << (s.blackonly ? "to black " : "") << s.total << " ms");
    backdrop->FillRect(nullptr, 0xFFFFFF, 0, 0);
    back->FillRect(nullptr, 0x808080, 0, 0);
    w.screen.FillRect(nullptr, 0x00FF00, 0, 0);
    EXPECT_EQ(w.gfx.Transition(w.screen, ClassGraphics::TRANSITION_RESET, s.blackonly), 0);
    EXPECT_EQ(w.gfx.TransitionTime(), 0u);
    int result = -1;
    // Frames of 16 ms and the rest, as a frame loop delivers them.
    for (uint32_t t = 0; t < s.total;) {
      const uint32_t step = s.total - t < 16 ? s.total - t : 16;
      w.screen.FillRect(nullptr, 0x00FF00, 0, 0);
      result = w.gfx.Transition(w.screen, step, s.blackonly);
      t += step;
    }
    EXPECT_EQ(result, s.result);
    EXPECT_EQ(oracle::Pack(4, w.Pixel(160, 120)), s.pixel);
  }
}

// The logo's flight: at time t the mesh is scaled by 65536 - 42 b, turned by
// (2488, 1536 - a (b + 512) / 512, 0) and moved by (c, 16 b, 0), a = t - 2048.
TEST(GraphicsLogo, TheFlightsScaleTurnAndPlaceFollowTheTime) {
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics());
  Z3DSurface reference;
  {
    WorkingDir in(KOLVO2_DATA_DIR);
    ClassZFile pack;
    ASSERT_TRUE(pack.Open("res/gfx.zpk", ZFILE_MODE_READ));
    ASSERT_EQ(w.gfx.QuickLoadFileSurface(&pack, "zoltlogo.3ds", reference), 1);
  }
  struct Case {
    uint32_t t;
    int32_t scale, turn, x, y;
  } cases[] = {
      // 65536 - 42 * 1535 = 1066; 2047 * 2047 = 4190209 = 512 * 8184 + 1
      {1, 1066, 1536 + 8184, -122800, 24560},
      {1536, 65536, 1536 + 512, 0, 0},
      {2048, 65536, 1536, 0, 0},
      {2559, 65536, 1536 - 511, 0, 0},
      {4095, 1066, 1536 - 8184, 122800, 24560},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.t);
    w.gfx.DrawLogo(w.screen, c.t);
    reference.Reset();
    reference.Scale(c.scale, c.scale, c.scale);
    reference.Rotate(2488, c.turn, 0);
    reference.Translate(c.x, c.y, 0);
    ASSERT_EQ(reference.VerticesInUse(), w.gfx.LogoMesh().VerticesInUse());
    for (uint32_t i = 0; i < reference.VerticesInUse(); ++i) {
      ZVERTEX3D a, b;
      reference.GetVertex(&a, i);
      w.gfx.LogoMesh().GetVertex(&b, i);
      ASSERT_EQ(a.x, b.x) << i;
      ASSERT_EQ(a.y, b.y) << i;
      ASSERT_EQ(a.z, b.z) << i;
    }
  }
  // Time 0 draws nothing at all.
  w.screen.FillRect(nullptr, 0x00FF00, 0, 0);
  w.gfx.DrawLogo(w.screen, 0u);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), w.Brightness(0, 0, 1, 1));
}

// Any cell of a key draws the same label at the key's centre and highlights all of it.
TEST(GraphicsKeyboard, AnyCellOfAKeyDrawsTheWholeKey) {
  GameWorld w;
  ASSERT_TRUE(w.LoadGraphics());
  struct Key {
    uint8_t row, first, last;
  } keys[] = {{0, 0, 1}, {0, 2, 3}, {0, 24, 26}, {2, 0, 3}, {2, 22, 26}, {3, 0, 4}, {4, 6, 21}};
  for (uint8_t layout = 0; layout < KB_LAYOUTS; ++layout)
    for (const Key& k : keys) {
      SCOPED_TRACE(::testing::Message() << "layout " << int(layout) << " row " << int(k.row) << " cell " << int(k.first));
      std::vector<uint32_t> first;
      for (uint8_t cell = k.first; cell <= k.last; ++cell) {
        w.screen.FillRect(nullptr, 0xC0C0C0, 0, 0);
        w.gfx.DrawKBChar(w.screen, cell, k.row, layout, 250, false, true);
        std::vector<uint32_t> pixels;
        for (int32_t y = 144; y < 240; ++y)
          for (int32_t x = 0; x < 320; ++x) pixels.push_back(w.Pixel(x, y));
        if (cell == k.first)
          first = pixels;
        else
          ASSERT_EQ(pixels, first);
      }
      // The highlight spans the key: cells first..last, rows 16 r + 5 .. + 20 below the top.
      const int32_t left = 52 + 8 * k.first, right = 52 + 8 * (k.last + 1), top = 144 + 16 * k.row + 5;
      EXPECT_LT(w.Brightness(left, top, left + 1, top + 1), 100u);
      EXPECT_LT(w.Brightness(right - 1, top + 14, right, top + 15), 100u);
      EXPECT_GT(w.Brightness(left - 1, top, left, top + 1), 150u);
      EXPECT_GT(w.Brightness(right, top, right + 1, top + 1), 150u);
    }
  // Outside the layout nothing is drawn.
  w.screen.FillRect(nullptr, 0xC0C0C0, 0, 0);
  w.gfx.DrawKBChar(w.screen, 27, 0, 0, 250, false, true);
  w.gfx.DrawKBChar(w.screen, 0, 5, 0, 250, false, true);
  w.gfx.DrawKBChar(w.screen, 0, 0, 2, 250, false, true);
  EXPECT_EQ(w.Brightness(0, 0, 320, 240), w.Brightness(0, 0, 1, 1));
}

// The key cap: 8-pixel corners, the middle column tiled between them; narrower than 16
// pixels the width is shared by the two corners alone. The cap's image is coloured by
// region here: red 0x40/0x80/0xC0 for its left, middle and right column band, green the
// same for its top, middle and bottom (side included) row band.
TEST(GraphicsKeyboard, AKeyCapIsStretchedByItsCornersAndMiddleTiles) {
  GameWorld w;
  Z2DSurfaceRGBA cap;
  ASSERT_EQ(w.engine.display.CreateSurface(&cap, 24, 27, 0), 0);
  auto band = [](int32_t v, int32_t a, int32_t b) { return v < a ? 0x40 : v < b ? 0x80 : 0xC0; };
  for (int32_t y = 0; y < 27; ++y)
    for (int32_t x = 0; x < 24; ++x) cap.PutPixel(x, y, band(x, 8, 16) | band(y, 8, 16) << 8, 255);
  struct Case {
    int32_t width, height;
    std::string columns, rows;  // L M R and T M B per pixel, top to bottom
  } cases[] = {
      {10, 16, "LLLLLRRRRR", std::string(8, 'T') + std::string(11, 'B')},
      {16, 16, std::string(8, 'L') + std::string(8, 'R'), std::string(8, 'T') + std::string(11, 'B')},
      {17, 16, std::string(8, 'L') + "M" + std::string(8, 'R'), std::string(8, 'T') + std::string(11, 'B')},
      {40, 16, std::string(8, 'L') + std::string(24, 'M') + std::string(8, 'R'), std::string(8, 'T') + std::string(11, 'B')},
      {16, 10, std::string(8, 'L') + std::string(8, 'R'), std::string(5, 'T') + std::string(8, 'B')},
      {16, 24, std::string(8, 'L') + std::string(8, 'R'), std::string(8, 'T') + std::string(8, 'M') + std::string(11, 'B')},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.width << " x " << c.height);
    w.screen.FillRect(nullptr, 0, 0, 0);
    tagRECT rect;
    SetRect(&rect, 100, 50, 100 + c.width, 50 + c.height);
    w.gfx.DrawKBKey(w.screen, cap, rect);
    std::string columns, rows;
    auto letter = [](uint32_t v, const char* names) { return v >= 0xA0 ? names[2] : v >= 0x60 ? names[1] : v >= 0x20 ? names[0] : '.'; };
    for (int32_t x = 99; x <= 100 + c.width; ++x) columns += letter(w.Pixel(x, 50) & 0xFF, "LMR");
    for (int32_t y = 49; y <= 50 + static_cast<int32_t>(c.rows.size()); ++y) rows += letter(w.Pixel(100, y) >> 8 & 0xFF, "TMB");
    EXPECT_EQ(columns, "." + c.columns + ".");
    EXPECT_EQ(rows, "." + c.rows + ".");
    // The face's middle is tiled from the middle of the image.
    if (c.width > 16 && c.height > 16) {
      EXPECT_EQ(w.Pixel(100 + c.width / 2, 50 + 12) & 0xFFFF, 0x8080u);
    }
  }
}

}  // namespace
