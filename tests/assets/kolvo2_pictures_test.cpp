// The puzzle game's pictures and fonts, loaded from the built graphics pack through the
// engine's loaders: the sizes and layouts its code assumes, the colour key and its traps,
// the file variants the loaders read, and the font strips' marker runs.
#include <algorithm>

#include "engine/core/zmod_input.h"
#include "kolvo2/piece_table.h"
#include "tests/assets/kolvo2_packs.h"

namespace {

constexpr uint32_t kKey = 0xFF00FF;

// On a 5:6:5 screen these colours pack to the key's value and vanish with it.
bool NearKey(uint32_t c) { return c != kKey && Red(c) >= 248 && Green(c) <= 3 && Blue(c) >= 248; }

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The game font as the game measures text with it: keyed, its glyph table built, one
// pixel less between glyphs.
void LoadGameFont(GameDisplay& display, Z2DSurface& font) {
  ASSERT_EQ(display.Load(font, PackEntry("gfx.zpk", "gfont.bmp")), 0);
  font.SetColorKey(kKey);
  ASSERT_NE(font.BuildTableVwf(128), 0);
  font.SetFontPadding(-1, 0);
}

TEST(Kolvo2Pictures, EveryPictureLoadsWithTheSizeTheGameAssumes) {
  struct Case {
    const char* name;
    bool rgba;
    uint32_t minWidth, maxWidth, minHeight, maxHeight;
  };
  const Case cases[] = {
      {"splash.bmp", false, 320, 320, 240, 240},     {"title.bmp", false, 320, 320, 240, 240},
      {"hud.bmp", false, 320, 320, 240, 240},        {"upcoming.bmp", false, 320, 320, 240, 240},
      {"stdsprite.bmp", false, 112, 224, 28, 28},    {"gfont.bmp", false, 128, 4096, 18, 18},
      {"gmask.bmp", false, 128, 4096, 18, 18},       {"keyfont.bmp", false, 128, 4096, 3, 12},
      {"logo.png", true, 1, 240, 1, 80},             {"zoltbanner.png", true, 1, 320, 1, 40},
      {"kbkey.png", true, 24, 24, 27, 27},
  };
  GameDisplay display;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> data = PackEntry("gfx.zpk", c.name);
    uint32_t w = 0, h = 0;
    if (c.rgba) {
      Z2DSurfaceRGBA s;
      ASSERT_EQ(display.Load(s, data), 0);
      w = s.GetWidth();
      h = s.GetHeight();
    } else {
      Z2DSurface s;
      ASSERT_EQ(display.Load(s, data), 0);
      w = s.GetWidth();
      h = s.GetHeight();
    }
    EXPECT_GE(w, c.minWidth);
    EXPECT_LE(w, c.maxWidth);
    EXPECT_GE(h, c.minHeight);
    EXPECT_LE(h, c.maxHeight);
  }
}

TEST(Kolvo2Pictures, FilesAreTheVariantsTheLoadersRead) {
  // BMP: 24 bits, uncompressed, the 40-byte information header (the palette offset 54 and
  // bottom-up rows follow from it). PNG: 8-bit samples, RGBA (colour type 6).
  for (const char* name : {"splash.bmp", "title.bmp", "hud.bmp", "upcoming.bmp", "stdsprite.bmp", "gfont.bmp",
                           "gmask.bmp", "keyfont.bmp"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> b = PackEntry("gfx.zpk", name);
    ASSERT_GE(b.size(), 54u);
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(b[1], 'M');
    EXPECT_EQ(Le32(b, 10), 54u);
    EXPECT_EQ(Le32(b, 14), 40u);
    EXPECT_EQ(b[26] | b[27] << 8, 1);
    EXPECT_EQ(b[28] | b[29] << 8, 24);
    EXPECT_EQ(Le32(b, 30), 0u);
    EXPECT_LT(static_cast<int32_t>(Le32(b, 22)), 0x10000) << "a positive height: rows bottom-up";
    EXPECT_EQ(b.size(), 54 + Le32(b, 22) * ((3 * Le32(b, 18) + 3) / 4 * 4));
  }
  for (const char* name : {"logo.png", "zoltbanner.png", "kbkey.png"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> b = PackEntry("gfx.zpk", name);
    ASSERT_GE(b.size(), 33u);
    EXPECT_EQ(std::string(b.begin() + 12, b.begin() + 16), "IHDR");
    EXPECT_EQ(b[24], 8) << "bit depth";
    EXPECT_EQ(b[25], 6) << "colour type";
    EXPECT_EQ(b[28], 0) << "interlace";
  }
}

TEST(Kolvo2Pictures, NoColourFallsIntoTheKeysTraps) {
  // Keyed pictures use exactly (255, 0, 255); no other colour may pack to it on the
  // console's screen. The backdrops hold no key at all: the game copies them unkeyed.
  struct Case {
    const char* pack;
    const char* name;
    bool keyAllowed;
  };
  const Case cases[] = {{"gfx.zpk", "splash.bmp", false},   {"gfx.zpk", "title.bmp", false},
                        {"gfx.zpk", "hud.bmp", false},      {"gfx.zpk", "upcoming.bmp", false},
                        {"gfx.zpk", "stdsprite.bmp", true}, {"gfx.zpk", "gfont.bmp", true},
                        {"gfx.zpk", "gmask.bmp", true},     {"gfx.zpk", "keyfont.bmp", true},
                        {"games.zpk", "kolvo2a.png", false}, {"games.zpk", "kolvo2b.png", false},
                        {"games.zpk", "pellaxa.png", false}, {"games.zpk", "pellaxb.png", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Decoded d = DecodeFull(PackEntry(c.pack, c.name));
    const size_t traps = std::count_if(d.pixels.begin(), d.pixels.end(), NearKey);
    const size_t keys = std::count(d.pixels.begin(), d.pixels.end(), kKey);
    EXPECT_EQ(traps, 0u);
    if (!c.keyAllowed) {
      EXPECT_EQ(keys, 0u);
    }
  }
}

TEST(Kolvo2Pictures, TileTemplateIsAGreyBlockWithoutKey) {
  // Cell 16, at (0, 14): the game colours it by its brightness into the seven tiles.
  const Decoded d = DecodeFull(PackEntry("gfx.zpk", "stdsprite.bmp"));
  int darkest = 255, brightest = 0;
  for (uint32_t y = 14; y < 28; ++y)
    for (uint32_t x = 0; x < 14; ++x) {
      const uint32_t c = d.at(x, y);
      ASSERT_NE(c, kKey) << x << "," << y;
      EXPECT_EQ(Red(c), Green(c));
      EXPECT_EQ(Green(c), Blue(c));
      darkest = std::min(darkest, Red(c));
      brightest = std::max(brightest, Red(c));
    }
  // A bevel: a bright top-left edge and a dark bottom-right one.
  EXPECT_GE(brightest - darkest, 128);
  EXPECT_GT(Red(d.at(7, 15)), Red(d.at(7, 26)));
}

TEST(Kolvo2Pictures, LayoutLeavesRoomForWhatTheGameDraws) {
  // Loading screen: the progress bar's frame stays light, as the bar is drawn in black.
  const Decoded splash = DecodeFull(PackEntry("gfx.zpk", "splash.bmp"));
  for (uint32_t y = 200; y < 216; ++y)
    for (uint32_t x = 35; x < 285; ++x) ASSERT_GE(Luma(splash.at(x, y)), 170) << x << "," << y;

  const Decoded hud = DecodeFull(PackEntry("gfx.zpk", "hud.bmp"));
  // The well: medium-dark (it is darkened by 0x202020 and gridded).
  for (uint32_t y = 0; y < 238; ++y)
    for (uint32_t x = 30; x < 170; ++x) {
      const int l = Luma(hud.at(x, y));
      ASSERT_GE(l, 40) << x << "," << y;
      ASSERT_LE(l, 120) << x << "," << y;
    }
  // The numbers' places (ending at x 307, tops at 32, 70, 108): dark and even, so light
  // digits read on them, as wide as the widest number the game shows (six digits, as the
  // game font measures them) and a pixel more on each side.
  GameDisplay display;
  Z2DSurface font;
  ASSERT_NO_FATAL_FAILURE(LoadGameFont(display, font));
  uint32_t widest = 0;
  for (char digit = '0'; digit <= '9'; ++digit)
    widest = std::max(widest, font.GetFontWidth(std::string(6, digit).c_str()));
  ASSERT_GT(widest, 0u);
  const uint32_t glyphHeight = font.GetHeight() - 2;
  for (uint32_t top : {32u, 70u, 108u})
    for (uint32_t y = top; y < top + glyphHeight; ++y)
      for (uint32_t x = 307 - widest - 1; x <= 308; ++x) ASSERT_LE(Luma(hud.at(x, y)), 40) << x << "," << y;
  // The next piece's place: every piece in its first orientation, centred on x 210 from
  // y 47 as the side panel draws it, lies on dark ground with a pixel to spare.
  for (uint32_t p = 0; p < PIECES; ++p) {
    const PIECEMATRIX& m = tblockmtx[p][0];
    int32_t cmin = 3, cmax = 0;
    for (int32_t i = 0; i < 16; ++i)
      if (m[i]) cmin = std::min(cmin, i % 4), cmax = std::max(cmax, i % 4);
    const int32_t w = cmax - cmin + 1;
    for (int32_t i = 0; i < 16; ++i) {
      if (!m[i]) continue;
      const int32_t left = 210 - 7 * w + 14 * (i % 4 - cmin), top = 47 + 14 * (i / 4);
      for (int32_t y = top - 1; y <= top + 14; ++y)
        for (int32_t x = left - 1; x <= left + 14; ++x)
          ASSERT_LE(Luma(hud.at(x, y)), 60) << "piece " << p << " at " << x << "," << y;
    }
  }
}

TEST(Kolvo2Pictures, TitleFieldHoldsEveryTextTheScreensPlace) {
  // The title picture is the ground of the menus, the high-score view and the credits,
  // each of which places its text at fixed places. No bright frame or ornament may lie
  // under any of it, nor under the light band and tab strip of the high-score view.
  GameDisplay display;
  Z2DSurface font;
  ASSERT_NO_FATAL_FAILURE(LoadGameFont(display, font));
  ClassZInput input;
  uint32_t widestName = 0;
  for (int32_t code = 0; code < 32; ++code) {
    char name[32] = "";
    input.GetKeyName(code, name, sizeof name);
    widestName = std::max(widestName, font.GetFontWidth(name));
  }
  const uint32_t h = font.GetHeight(), row = (h - 2) * 4 / 3;
  const uint32_t version = font.GetFontWidth("Version: 1.30");
  struct Box {
    const char* what;
    uint32_t x0, y0, x1, y1;  // x1, y1 exclusive
  };
  const Box boxes[] = {
      // From the cube marker (x 57) on, rows y 46 to 226; the widest row is a key
      // assignment: the action, ":" and the key's name at 92 + the width of "Up = Rotate ".
      {"menus", 57, 46, 93 + font.GetFontWidth("Up = Rotate ") + widestName, 226},
      // The tab strip (its last tab ends past the screen) and the band under it.
      {"high-score tabs and rows", 0, 240 - 8 * row, 320, 240},
      // Lines of up to 31 characters from x 80 through the window y 64 to 223.
      {"credits", 80, 64, 320, 224},
      {"credits version", 160 - version / 2, 242 - h, 160 + version / 2 + 1, 240},
  };
  const Decoded title = DecodeFull(PackEntry("gfx.zpk", "title.bmp"));
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.what);
    for (uint32_t y = b.y0; y < b.y1; ++y)
      for (uint32_t x = b.x0; x < b.x1; ++x) ASSERT_LE(Luma(title.at(x, y)), 80) << x << "," << y;
  }
}

// The marker runs of a strip's top row, read independently of the engine: a run is a
// stretch of non-key pixels.
std::vector<std::pair<uint32_t, uint32_t>> MarkerRuns(const Decoded& d) {
  std::vector<std::pair<uint32_t, uint32_t>> runs;
  for (uint32_t x = 0; x < d.width; ++x) {
    if (d.at(x, 0) == kKey) continue;
    if (x == 0 || d.at(x - 1, 0) == kKey) runs.push_back({x, 0});
    ++runs.back().second;
  }
  return runs;
}

bool HasInk(const Decoded& d, uint32_t start, uint32_t width) {
  for (uint32_t y = 2; y < d.height; ++y)
    for (uint32_t x = start; x < start + width; ++x)
      if (d.at(x, y) != kKey) return true;
  return false;
}

TEST(Kolvo2Fonts, StripsHaveAMarkerRunForEveryCodeAndTheEngineReadsThem) {
  GameDisplay display;
  for (const char* name : {"gfont.bmp", "gmask.bmp", "keyfont.bmp"}) {
    SCOPED_TRACE(name);
    const std::vector<uint8_t> data = PackEntry("gfx.zpk", name);
    const Decoded d = DecodeFull(data);
    const auto runs = MarkerRuns(d);
    ASSERT_EQ(runs.size(), 128u);
    // Row 1 is never drawn; it holds nothing.
    for (uint32_t x = 0; x < d.width; ++x) EXPECT_EQ(d.at(x, 1), kKey);
    // The game builds its table the engine's way: the same starts and widths.
    Z2DSurface font;
    ASSERT_EQ(display.Load(font, data), 0);
    font.SetColorKey(kKey);
    ASSERT_NE(font.BuildTableVwf(128), 0);
    for (uint32_t c = 0; c < 128; ++c) {
      const std::string one(1, static_cast<char>(c == 0 ? ' ' : c));
      if (c == 0 || c == '\n' || c == '\r') continue;  // not measurable as text
      EXPECT_EQ(font.GetFontWidth(one.c_str()), runs[c].second) << "code " << c;
    }
  }
}

TEST(Kolvo2Fonts, GameFontStripsShareGeometryAndCoverPrintableAscii) {
  const Decoded outline = DecodeFull(PackEntry("gfx.zpk", "gfont.bmp"));
  const Decoded body = DecodeFull(PackEntry("gfx.zpk", "gmask.bmp"));
  ASSERT_EQ(outline.width, body.width);
  ASSERT_EQ(outline.height, body.height);
  const auto runs = MarkerRuns(outline);
  ASSERT_EQ(runs, MarkerRuns(body));
  for (uint32_t c = 33; c <= 126; ++c) {
    EXPECT_TRUE(HasInk(outline, runs[c].first, runs[c].second)) << "code " << c;
    EXPECT_TRUE(HasInk(body, runs[c].first, runs[c].second)) << "code " << c;
  }
  // Wherever a body is drawn, the outline strip darkens first: under a body pixel the
  // outline is never keyed, so no background shows through a glyph's edge.
  for (uint32_t y = 2; y < body.height; ++y)
    for (uint32_t x = 0; x < body.width; ++x)
      if (body.at(x, y) != kKey) {
        ASSERT_NE(outline.at(x, y), kKey) << x << "," << y;
      }
  // Bodies are white to pale gold: colouring by brightness keeps the tint.
  for (uint32_t y = 2; y < body.height; ++y)
    for (uint32_t x = 0; x < body.width; ++x)
      if (body.at(x, y) != kKey) {
        ASSERT_GE(Red(body.at(x, y)), std::max(Green(body.at(x, y)), Blue(body.at(x, y))));
      }
}

TEST(Kolvo2Fonts, KeyFontHasTheKeySignsAndTheLabels) {
  const Decoded d = DecodeFull(PackEntry("gfx.zpk", "keyfont.bmp"));
  const auto runs = MarkerRuns(d);
  ASSERT_EQ(runs.size(), 128u);
  // 24/25 shift, 26/27 caps lock, 28 cancel, 29 enter, 30 tab, 31 backspace; then every
  // printable character; labels fit a 16-pixel key.
  for (uint32_t c = 24; c <= 126; ++c) {
    if (c == ' ' || (c > 31 && c < 33)) continue;
    if (c >= 24 && c <= 31) {
      EXPECT_TRUE(HasInk(d, runs[c].first, runs[c].second)) << "sign " << c;
      EXPECT_LE(runs[c].second, 14u) << "sign " << c;
    } else {
      EXPECT_TRUE(HasInk(d, runs[c].first, runs[c].second)) << "code " << c;
      EXPECT_LE(runs[c].second, 12u) << "code " << c;
    }
  }
  // Shift and caps lock held look different from the plain ones.
  auto glyph = [&](uint32_t c) {
    std::vector<uint32_t> v;
    for (uint32_t y = 2; y < d.height; ++y)
      for (uint32_t x = runs[c].first; x < runs[c].first + runs[c].second; ++x) v.push_back(d.at(x, y));
    return v;
  };
  EXPECT_NE(glyph(24), glyph(25));
  EXPECT_NE(glyph(26), glyph(27));
}

TEST(Kolvo2Pictures, KeyCapNineSlicesAcrossAnyWidth) {
  // The game tiles the cap's 8-pixel middle column across wide keys: along each row of
  // the middle, the colour must not change, or wide keys would show stripes.
  const Decoded d = DecodeFull(PackEntry("gfx.zpk", "kbkey.png"));
  GameDisplay display;
  Z2DSurfaceRGBA cap;
  ASSERT_EQ(display.Load(cap, PackEntry("gfx.zpk", "kbkey.png")), 0);
  for (int32_t y = 0; y < 27; ++y) {
    uint32_t colour0 = 0;
    uint8_t alpha0 = 0;
    cap.GetPixel(8, y, colour0, alpha0);
    for (int32_t x = 9; x < 16; ++x) {
      uint32_t colour = 0;
      uint8_t alpha = 0;
      cap.GetPixel(x, y, colour, alpha);
      EXPECT_EQ(colour, colour0) << x << "," << y;
      EXPECT_EQ(alpha, alpha0) << x << "," << y;
    }
  }
  EXPECT_EQ(d.width, 24u);
}

}  // namespace
