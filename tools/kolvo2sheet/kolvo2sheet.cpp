// kolvo2sheet: draws every picture, font and mesh of the puzzle game's packs on one sheet,
// through the engine's loaders and drawing calls, in the console's 5:6:5 colours.
//
//   kolvo2sheet DATA OUT.png        DATA: the folder holding res/gfx.zpk and res/games.zpk
//
// The screens are shown as the game puts them together (the progress bar on the loading
// screen, menu text on the title, pieces and numbers on the side panel, the logo's
// flight), then the fonts, the block sheet with its coloured tiles, the key cap, the
// logo, the banner, the meshes and the closing screen's pictures. Exits with 1 when
// something cannot be loaded or written, 2 on bad usage.
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "assets/kolvo2/models.h"
#include "engine/core/zmod_file.h"
#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_standalone.h"
#include "engine/graphics/zldr_3ds.h"
#include "engine/graphics/zldr_bmp.h"
#include "engine/graphics/zldr_png.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"
#include "host/host_png.h"

namespace {

constexpr uint32_t kKey = 0xFF00FF;  // colour words are 0x00BBGGRR
constexpr int kSheetWidth = 1000;
constexpr int kSheetHeight = 1066;

[[noreturn]] void Die(const std::string& what) {
  std::fprintf(stderr, "kolvo2sheet: %s\n", what.c_str());
  std::exit(1);
}

tagRECT Rect(int32_t l, int32_t t, int32_t r, int32_t b) {
  tagRECT rect;
  SetRect(&rect, l, t, r, b);
  return rect;
}

struct Sheet {
  ZStandaloneDisplay engine{0, ZFMT_RGB565};
  ClassZFile gfx, games;
  Z2DSurface sheet, screen, font, mask, keyfont, sprites;
  Z3DSurface logo, cube;

  Sheet(const std::string& data) {
    engine.display.RegisterLoader(new ZLoader_BMP);
    engine.display.RegisterLoader(new ZLoader_PNG);
    engine.display.RegisterLoader(new ZLoader_3DS);
    // As the game's display: meshes project for the smaller side of the screen.
    engine.display.SetRenderSize(240);
    if (!gfx.Open((data + "/res/gfx.zpk").c_str(), ZFILE_MODE_READ) || !gfx.PackValid()) Die("no pack " + data + "/res/gfx.zpk");
    if (!games.Open((data + "/res/games.zpk").c_str(), ZFILE_MODE_READ) || !games.PackValid())
      Die("no pack " + data + "/res/games.zpk");
    if (engine.display.CreateSurface(&sheet, kSheetWidth, kSheetHeight, 0) ||
        engine.display.CreateSurface(&screen, 320, 240, 0))
      Die("cannot make the sheet");
    sheet.Clear(0x302018);
    Load(font, "gfont.bmp");
    Load(mask, "gmask.bmp");
    Load(keyfont, "keyfont.bmp");
    for (Z2DSurface* f : {&font, &mask, &keyfont}) {
      f->SetColorKey(kKey);
      f->BuildTableVwf(128);
    }
    font.SetFontPadding(-1, 0);
    mask.SetFontPadding(-1, 0);
    keyfont.SetFontPadding(1, 0);
    Load(sprites, "stdsprite.bmp");
    Recolour();
    Load(logo, "zoltlogo.3ds");
    for (uint32_t i = 0; i < 120; ++i) logo.SetColor(i, k2art::LogoFaceIsRed(static_cast<int>(i)) ? 0x0000FF : 0xFFFFFF);
    logo.SetLightSource(128, 128, -128, 48, 32);
    Load(cube, "menu.3ds");
    cube.SetColor(0x048DB3);
    cube.SetLightSource(-128, 128, -128, 96, 32);
  }

  template <class Surface>
  void Load(Surface& s, const char* name, ClassZFile* pack = nullptr) {
    uint8_t* data = nullptr;
    uint32_t size = 0;
    if ((pack ? pack : &gfx)->PackGetFileData(data, size, name) != ZPK_OK) Die(std::string("no entry ") + name);
    int r;
    if constexpr (std::is_same_v<Surface, Z3DSurface>)
      r = engine.display.CreateSurface(&s, data, size);
    else if constexpr (std::is_same_v<Surface, Z2DSurfaceRGBA>)
      r = engine.display.CreateSurface(&s, data, size, 0);
    else
      r = engine.display.CreateSurface(&s, data, size, 0x40);
    ClassZMemory::DeAlloc(data);
    if (r) Die(std::string(name) + " does not load (result " + std::to_string(r) + ")");
  }

  // The game's tiles: the grey block in cell 16 coloured seven ways, with its own shading
  // added back.
  void Recolour() {
    static const uint32_t kColours[7] = {0xFFC000, 0x0000FF, 0x40A000, 0x00FFFF, 0xFF00A0, 0x00FF00, 0xFFFFFF};
    const tagRECT cell = Rect(0, 14, 14, 28);
    for (int k = 1; k <= 7; ++k) sprites.BltFast(14 * k, 14, &sprites, &cell, 0x06, kColours[k - 1]);
    sprites.FillRect(&cell, 0, 0x08, 160);
    for (int k = 1; k <= 7; ++k) sprites.BltFast(14 * k, 14, &sprites, &cell, 0x10, 128);
    sprites.SetColorKey(kKey);
  }

  void Text(Z2DSurface& on, int x, int y, const char* text, int32_t maskFlags = 1, uint32_t colour = 0) {
    on.DrawFont(x, y, &font, text, 0x21, 0);
    on.DrawFont(x, y, &mask, text, maskFlags, colour);
  }
  void Caption(int x, int y, const char* text) { Text(sheet, x, y, text, 7, 0x80E0FF); }

  void Backdrop(const char* name) {
    Z2DSurface picture;
    Load(picture, name);
    screen.BltFast(0, 0, &picture, nullptr, 0, 0);
  }
  void Show(int x, int y, const char* caption) {
    Caption(x, y, caption);
    sheet.BltFast(x, y + 18, &screen, nullptr, 0, 0);
  }
  void Tile(int x, int y, int tile) {
    const tagRECT r = Rect(14 * (tile % 16), 14 * (tile / 16), 14 * (tile % 16) + 14, 14 * (tile / 16) + 14);
    screen.BltFast(x, y, &sprites, &r, 0x01, 0);
  }

  // The menu marker as the title draws it beside an item at y.
  void Cube(Z2DSurface& on, int x, int y, int32_t angle) {
    cube.Reset();
    cube.Scale(0x3000, 0x3000, 0x3000);
    cube.Rotate(0, 1024, 3072);
    cube.Rotate(512, angle * 32, 0);
    on.Render(x, y, &cube, 0x200, 0);
  }

  // The engine logo's flight at t ms (1..4095), as the intro shows it.
  void Logo(uint32_t t) {
    const int32_t a = static_cast<int32_t>(t) - 2048;
    int32_t b = 0, c = 0;
    if (t < 1536) {
      b = 1536 - static_cast<int32_t>(t);
      c = (static_cast<int32_t>(t) - 1536) * 80;
    } else if (t >= 2560) {
      b = static_cast<int32_t>(t) - 2560;
      c = b * 80;
    }
    logo.Reset();
    logo.Scale(65536 - 42 * b, 65536 - 42 * b, 65536 - 42 * b);
    logo.Rotate(2488, 1536 - a * (b + 512) / 512, 0);
    logo.Translate(c, 16 * b, 0);
    screen.Render(0, -20, &logo, 0x80000200, 0);
  }

  void Intro(uint32_t t) {
    const tagRECT all = Rect(0, 0, 320, 240);
    screen.GradientRect(&all, 0xa47354, 0x8e5434, 0xeedec6, 0xeedec6, 0x40);
    Logo(t);
    Z2DSurfaceRGBA banner;
    Load(banner, "zoltbanner.png");
    screen.BltFast(160 - static_cast<int32_t>(banner.GetWidth()) / 2, 200, &banner, nullptr, 0, 0);
  }

  void Screens() {
    // Loading, ten steps of sixteen done.
    Backdrop("splash.bmp");
    const tagRECT bar = Rect(35, 200, 35 + 10 * 250 / 16, 216), frame = Rect(35, 200, 285, 216);
    screen.FillRect(&bar, 0, 0, 0);
    screen.DrawRect(&frame, 0, 0, 0);
    Show(10, 10, "Loading screen");

    // The title with its main menu, the first item chosen.
    Backdrop("title.bmp");
    const char* items[] = {"Classic game", "Maniac game", "Options", "Customize controls", "View highscores", "Credits", "Quit"};
    for (int i = 0; i < 7; ++i) Text(screen, 84, 66 + 20 * i, items[i], i == 0 ? 1 : 7, 0x808080);
    Cube(screen, -96, 66 + 6 - 120, 40);
    Show(340, 10, "Title and menu");

    // A game: the side panel over the title, the well darkened and gridded, pieces,
    // numbers.
    Backdrop("title.bmp");
    Z2DSurface hud;
    Load(hud, "hud.bmp");
    hud.SetColorKey(kKey);
    screen.BltFast(0, 0, &hud, nullptr, 0x01, 0);
    const tagRECT well = Rect(30, 0, 170, 238);
    screen.FillRect(&well, 0x202020, 0x20, 0);
    for (int r = 0; r < 17; ++r)
      for (int k = 0; k < 10; ++k) {
        const int x = 30 + 14 * k, y = 14 * r;
        const tagRECT cell = Rect(x, y, x + 14, std::min(y + 14, 238));
        screen.FillRect(&cell, (r + k) % 2 ? 0x80A080 : 0xA0C0A0, 0x08, 64);
        screen.DrawLine(x, y, x + 13, y, 0x404040, 0x10, 64);
        screen.DrawLine(x, y, x, cell.bottom - 1, 0x404040, 0x10, 64);
      }
    const char* stack[] = {"2#44#55#6#", "22##3355#6", "1111##3##7", "..7.......", "..77......"};
    for (int r = 0; r < 5; ++r)
      for (int k = 0; k < 10; ++k) {
        const char ch = stack[r][k];
        if (ch == '.') continue;
        Tile(30 + 14 * k, 238 - 14 * (r + 1) - 14 * 0, ch == '#' ? 17 + (r * 3 + k) % 7 : 16 + ch - '0');
      }
    for (int k = 0; k < 3; ++k) Tile(30 + 14 * (4 + k), 14 * 5, 21);
    Tile(30 + 14 * 5, 14 * 6, 21);
    for (int k = 0; k < 4; ++k) Tile(203, 47 + 14 * k, 17);  // the bar, upright as it comes in
    const int numbers[3] = {4, 37, 52480};
    for (int i = 0; i < 3; ++i) {
      const std::string n = std::to_string(numbers[i]);
      Text(screen, 307 - static_cast<int32_t>(font.GetFontWidth(n.c_str())), 32 + 38 * i, n.c_str());
    }
    Show(670, 10, "Playing");

    // The closing screen with the first pair of pictures.
    Backdrop("upcoming.bmp");
    for (int i = 0; i < 2; ++i) {
      Z2DSurface picture;
      Load(picture, i ? "kolvo2b.png" : "kolvo2a.png", &games);
      screen.BltFast(i ? 173 : 51, 8, &picture, nullptr, 0, 0);
    }
    Show(10, 280, "Closing screen");

    Intro(2048);
    Show(340, 280, "Engine logo, mid-flight");
    Intro(2500);
    Show(670, 280, "Engine logo, turning away");
  }

  // A font strip cut into rows that fit the sheet, drawn as it is stored.
  int Strip(Z2DSurface& strip, int x, int y, uint32_t background) {
    const int width = static_cast<int>(strip.GetWidth()), height = static_cast<int>(strip.GetHeight());
    for (int from = 0; from < width; from += kSheetWidth - 2 * x) {
      const int to = std::min(width, from + kSheetWidth - 2 * x);
      const tagRECT part = Rect(from, 0, to, height), back = Rect(x, y, x + to - from, y + height);
      sheet.FillRect(&back, background, 0, 0);
      sheet.BltFast(x, y, &strip, &part, 0, 0);
      y += height + 4;
    }
    return y;
  }

  void Fonts() {
    int y = 560;
    Caption(10, y, "Game font: outline strip, body strip");
    y = Strip(font, 10, y + 20, 0x000000);
    y = Strip(mask, 10, y, 0x000000);
    Caption(10, y + 4, "Key font");
    y = Strip(keyfont, 10, y + 24, 0x000000);

    // Text as the game draws it, on dark and on light ground.
    const tagRECT dark = Rect(10, y + 6, 495, y + 100), light = Rect(505, y + 6, 990, y + 100);
    sheet.FillRect(&dark, 0x502818, 0, 0);
    sheet.FillRect(&light, 0xD8D0C8, 0, 0);
    const char* lines[] = {"The quick brown fox jumps over the lazy dog.", "0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~",
                           "Music: 75%  Shadow: enabled  Start level: 9"};
    for (int i = 0; i < 3; ++i) {
      Text(sheet, 16, y + 10 + 16 * i, lines[i]);
      Text(sheet, 511, y + 10 + 16 * i, lines[i]);
    }
    Text(sheet, 16, y + 60, "KOLVO 2 CREDITS", 7, 0x2060ff);
    Text(sheet, 190, y + 60, "Options (not chosen)", 7, 0x808080);
    Text(sheet, 16, y + 76, "GAME OVER  New highscore!");
    Text(sheet, 511, y + 60, "KOLVO 2 CREDITS", 7, 0x2060ff);
    Text(sheet, 685, y + 60, "Options (not chosen)", 7, 0x808080);
    sheet.DrawFont(511, y + 78, &keyfont, "Key labels: qwerty ASDF 1234 !@#$ \x18\x19\x1a\x1b\x1c\x1d\x1e\x1f", 0x21, 0);
    Picks(y + 112);
  }

  void Picks(int y) {
    Caption(10, y, "Block and tiles (x3)");
    Z2DSurface big;
    engine.display.CreateSurface(&big, 8 * 14 * 3, 14 * 3, 0);
    big.Clear(0x303030);
    for (int py = 0; py < 14 * 3; ++py)
      for (int px = 0; px < 8 * 14 * 3; ++px) {
        const uint32_t c = sprites.GetPixel(px / 3, 14 + py / 3);
        if (c != kKey) big.PutPixel(px, py, c, 0, 0);
      }
    sheet.BltFast(10, y + 20, &big, nullptr, 0, 0);

    Caption(370, y, "Key cap (x3)");
    Z2DSurfaceRGBA cap;
    Load(cap, "kbkey.png");
    const tagRECT keyBack = Rect(370, y + 20, 370 + 3 * 24 + 8, y + 20 + 3 * 27 + 8);
    sheet.FillRect(&keyBack, 0xB0B0B0, 0, 0);
    Z2DSurface capOnGrey;
    engine.display.CreateSurface(&capOnGrey, 24, 27, 0);
    capOnGrey.Clear(0xB0B0B0);
    capOnGrey.BltFast(0, 0, &cap, nullptr, 0, 0);
    for (int py = 0; py < 27 * 3; ++py)
      for (int px = 0; px < 24 * 3; ++px) sheet.PutPixel(374 + px, y + 24 + py, capOnGrey.GetPixel(px / 3, py / 3), 0, 0);

    Caption(480, y, "Menu marker");
    const tagRECT cubeBack = Rect(480, y + 20, 640, y + 108);
    sheet.FillRect(&cubeBack, 0x401810, 0, 0);
    for (int i = 0; i < 4; ++i) {
      screen.Clear(0x401810);
      Cube(screen, 0, 0, i * 24);
      const tagRECT middle = Rect(140, 100, 180, 140);
      sheet.BltFast(484 + 38 * i, y + 44, &screen, &middle, 0, 0);
    }

    Caption(660, y, "Game logo and engine banner");
    Z2DSurfaceRGBA gameLogo, banner;
    Load(gameLogo, "logo.png");
    Load(banner, "zoltbanner.png");
    const tagRECT logoBack = Rect(660, y + 20, 990, y + 60), bannerBack = Rect(660, y + 64, 990, y + 108);
    sheet.GradientRect(&logoBack, 0x58240c, 0x58240c, 0x200c06, 0x200c06, 0x40);
    sheet.GradientRect(&bannerBack, 0xeedec6, 0xeedec6, 0xd8c0a0, 0xd8c0a0, 0x40);
    sheet.BltFast(670, y + 25, &gameLogo, nullptr, 0, 0);
    sheet.BltFast(670, y + 66, &banner, nullptr, 0, 0);

    y += 128;
    Caption(10, y, "Closing screen pictures, in pairs");
    for (uint32_t i = 0; i < games.PackContainFiles(); ++i) {
      ZPK_FILEINFO info;
      games.PackGetFileInfo(&info, i, false);
      Z2DSurface picture;
      Load(picture, info.name, &games);
      sheet.BltFast(10 + 106 * static_cast<int>(i) + (i >= 2 ? 20 : 0), y + 20, &picture, nullptr, 0, 0);
    }
  }

  void Write(const char* path) {
    std::vector<uint8_t> rgb;
    for (int y = 0; y < kSheetHeight; ++y)
      for (int x = 0; x < kSheetWidth; ++x) {
        const uint32_t c = sheet.GetPixel(x, y);
        rgb.push_back(static_cast<uint8_t>(c));
        rgb.push_back(static_cast<uint8_t>(c >> 8));
        rgb.push_back(static_cast<uint8_t>(c >> 16));
      }
    std::string error;
    if (!gp2x::host::write_png(path, rgb.data(), kSheetWidth, kSheetHeight, &error)) Die(error);
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kolvo2sheet DATA OUT.png\n");
    return 2;
  }
  Sheet sheet(argv[1]);
  sheet.Screens();
  sheet.Fonts();
  sheet.Write(argv[2]);
  return 0;
}
