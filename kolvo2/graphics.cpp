// ClassGraphics: loading. The numbered steps of the intro, the backdrops and the loads of
// single pack entries.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/core/zmod_memory.h"
#include "engine/graphics/zdsp_base.h"
#include "kolvo2/game_config.h"
#include "kolvo2/game_random.h"
#include "kolvo2/game_records.h"
#include "kolvo2/graphics.h"

namespace {

constexpr const char* kGfxPack = "res\\gfx.zpk";
constexpr const char* kGamesPack = "res\\games.zpk";
constexpr uint32_t kLoadRemap = 0x40;  // map into the display palette on 8-bit screens

// The recoloured block tiles 17-23, in this order, from the grey template in cell 16.
constexpr uint32_t kTileColours[7] = {0xFFC000, 0x0000FF, 0x40A000, 0x00FFFF,
                                      0xFF00A0, 0x00FF00, 0xFFFFFF};

// The well on the side panel's picture and its grid of 17 x 10 cells.
constexpr int32_t kWellLeft = 30, kWellTop = 0, kWellRight = 170, kWellBottom = 238;
constexpr int32_t kGridRows = 17, kGridColumns = 10;

// Where the closing screen's two pictures go.
constexpr int32_t kPairLeftX = 51, kPairRightX = 173, kPairY = 8;

}  // namespace

void ClassGraphics::Init(ClassZDisplay* d, MAINDATA* data) {
  display = d;
  maindata = data;
}

int ClassGraphics::Fail(const char* name) {
  std::snprintf(failed, sizeof failed, "%s", name);
  return 0;
}

int ClassGraphics::QuickLoadFileSurface(ClassZFile* from, const char* name, Z2DSurface& surface) {
  uint32_t index = 0;
  if (!from || !name || !from->PackSearchFile(name, index)) return 0;  // 1 when found
  return QuickLoadFileSurface(from, index, surface);
}

int ClassGraphics::QuickLoadFileSurface(ClassZFile* from, uint32_t index, Z2DSurface& surface) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!from || !display || from->PackGetFileData(data, size, index) != ZPK_OK) return 0;
  const int result = display->CreateSurface(&surface, data, size, kLoadRemap);
  ClassZMemory::DeAlloc(data);
  return result == Z2D_OK ? 1 : 0;
}

int ClassGraphics::QuickLoadFileSurface(ClassZFile* from, const char* name,
                                        Z2DSurfaceRGBA& surface) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!from || !name || !display || from->PackGetFileData(data, size, name) != ZPK_OK) return 0;
  const int result = display->CreateSurface(&surface, data, size, 0);
  ClassZMemory::DeAlloc(data);
  return result == Z2D_OK ? 1 : 0;
}

int ClassGraphics::QuickLoadFileSurface(ClassZFile* from, const char* name, Z3DSurface& mesh) {
  uint8_t* data = nullptr;
  uint32_t size = 0;
  if (!from || !name || !display || from->PackGetFileData(data, size, name) != ZPK_OK) return 0;
  const int result = display->CreateSurface(&mesh, data, size);
  ClassZMemory::DeAlloc(data);
  if (result != 0) return 0;
  if (std::strcmp(name, "zoltlogo.3ds") == 0) {
    const uint32_t faces = mesh.PolygonsInUse() < LOGO_FACES ? mesh.PolygonsInUse() : LOGO_FACES;
    for (uint32_t f = 0; f < faces; ++f) mesh.SetColor(f, LogoFaceIsRed(f) ? 0x0000FF : 0xFFFFFF);
  }
  mesh.SetLightSource(128, 128, -128, 48, 32);
  return 1;
}

int ClassGraphics::LoadMesh(const char* name, Z3DSurface& mesh) {
  return QuickLoadFileSurface(&pack, name, mesh) ? 1 : Fail(name);
}

int ClassGraphics::LoadSprites() {
  if (!QuickLoadFileSurface(&pack, "stdsprite.bmp", sprites)) return Fail("stdsprite.bmp");
  // The grey block in cell 16 becomes the seven coloured tiles beside it, each with the
  // template's own shading (darkened) added back so the bevel survives the colouring.
  const tagRECT cell = MakeRect(0, TILE, TILE, 2 * TILE);
  for (int32_t k = 1; k <= 7; ++k)
    sprites.BltFast(TILE * k, TILE, &sprites, &cell, 0x06, kTileColours[k - 1]);
  sprites.FillRect(&cell, 0, 0x08, 160);
  for (int32_t k = 1; k <= 7; ++k) sprites.BltFast(TILE * k, TILE, &sprites, &cell, 0x10, 128);
  sprites.SetColorKey(COLORKEY);
  return 1;
}

int ClassGraphics::ScriptLoad(uint32_t step) {
  failed[0] = 0;
  failedpack = false;
  switch (step) {
    case 1: {
      pack.Close();
      // Found from the working folder of the moment, as LoadBackDrop's own file objects
      // find it, not from the folder this object first looked in.
      ClassZFile here;
      pack.SetCurrentFolder(here.GetCurrentFolder());
      if (!pack.Open(kGfxPack, ZFILE_MODE_READ) || !pack.PackValid()) {
        pack.Close();
        failedpack = true;
        return Fail("res/gfx.zpk");
      }
      return 1;
    }
    case 2:
      backdropistitle = false;
      return QuickLoadFileSurface(&pack, "splash.bmp", backdrop) ? 1 : Fail("splash.bmp");
    case 4:
      return LoadSprites();
    case 5:
      if (!LoadMesh("zoltlogo.3ds", logomesh)) return 0;
      if (!QuickLoadFileSurface(&pack, "zoltbanner.png", banner)) return Fail("zoltbanner.png");
      if (!display || display->CreateSurface(&backsurface, SCREEN_W, SCREEN_H, 0) != Z2D_OK ||
          display->CreateSurface(&keptscreen, SCREEN_W, SCREEN_H, 0) != Z2D_OK ||
          display->CreateSurface(&creditmask, SCREEN_W, 64, 0) != Z2D_OK)
        return Fail("the back surface (no memory)");
      backsurface.SetColorKey(COLORKEY);
      return QuickLoadFileSurface(&pack, "logo.png", logo) ? 1 : Fail("logo.png");
    case 6:
      if (!QuickLoadFileSurface(&pack, "gfont.bmp", font)) return Fail("gfont.bmp");
      if (!QuickLoadFileSurface(&pack, "gmask.bmp", fontmask)) return Fail("gmask.bmp");
      if (!QuickLoadFileSurface(&pack, "keyfont.bmp", keyfont)) return Fail("keyfont.bmp");
      keyfont.SetFontPadding(1, 0);
      for (Z2DSurface* f : {&font, &fontmask, &keyfont}) f->SetColorKey(COLORKEY);
      return 1;
    case 7:
      // A strip without glyph markers would draw nothing readable: count it as damaged.
      if (!font.BuildTableVwf(128)) return Fail("gfont.bmp");
      if (!fontmask.BuildTableVwf(128)) return Fail("gmask.bmp");
      if (!keyfont.BuildTableVwf(128)) return Fail("keyfont.bmp");
      font.SetFontPadding(-1, 0);
      fontmask.SetFontPadding(-1, 0);
      return LoadKeyboards();
    case 8:
      if (!LoadMesh("menu.3ds", cube)) return 0;
      cube.SetColor(0x048DB3);
      cube.SetLightSource(-128, 128, -128, 96, 32);
      return 1;
    case 9:
      pack.Close();
      return 1;
    default:
      return 1;
  }
}

bool ClassGraphics::DrawKept(Z2DSurface& s, uint64_t key) {
  if (!kept || keptkey != key || !keptscreen.Created()) return false;
  s.BltFast(0, 0, &keptscreen, nullptr, 0, 0);
  return true;
}

void ClassGraphics::Keep(Z2DSurface& s, uint64_t key) {
  if (!keptscreen.Created() || s.GetWidth() != keptscreen.GetWidth() ||
      s.GetHeight() != keptscreen.GetHeight())
    return;
  keptscreen.BltFast(0, 0, &s, nullptr, 0, 0);
  keptkey = key;
  kept = true;
}

bool ClassGraphics::GridOn() const { return !(maindata && maindata->cfg && maindata->cfg->gridoff); }

void ClassGraphics::LayHud(Z2DSurface& target, Z2DSurface& hud, bool grid) {
  hud.SetColorKey(COLORKEY);
  target.BltFast(0, 0, &hud, nullptr, 0x01, 0);
  const tagRECT well = MakeRect(kWellLeft, kWellTop, kWellRight, kWellBottom);
  target.FillRect(&well, 0x202020, 0x20, 0);
  if (!grid) return;
  for (int32_t row = 0; row < kGridRows; ++row)
    for (int32_t column = 0; column < kGridColumns; ++column) {
      const int32_t l = kWellLeft + TILE * column, t = TILE * row;
      const tagRECT cell = MakeRect(l, t, l + TILE, t + TILE);
      target.FillRect(&cell, (row + column) % 2 ? 0x80A080 : 0xA0C0A0, 0x08, 64);
      target.DrawLine(l, t, cell.right - 1, t, 0x404040, 0x10, 64);
      target.DrawLine(l, t, l, cell.bottom - 1, 0x404040, 0x10, 64);
    }
}

void ClassGraphics::Preload() {
  if (!display) return;
  ClassZFile from;
  if (!from.Open(kGfxPack, ZFILE_MODE_READ) || !from.PackValid()) return;
  if (!QuickLoadFileSurface(&from, "title.bmp", titlepicture)) return;
  Z2DSurface hud;
  if (!QuickLoadFileSurface(&from, "hud.bmp", hud)) return;
  const uint32_t w = titlepicture.GetWidth(), h = titlepicture.GetHeight();
  for (uint32_t k = 0; k < 2; ++k) {
    Z2DSurface& level = levelbackdrop[k];
    if (display->CreateSurface(&level, w, h, 0) != Z2D_OK) {
      for (Z2DSurface& made : levelbackdrop) made.Free();
      return;
    }
    level.BltFast(0, 0, &titlepicture, nullptr, 0, 0);
    LayHud(level, hud, k == 0);
  }
}

void ClassGraphics::LoadBackDrop(const char* name) {
  kept = false;
  if (!name || !display) return;
  const bool hud = std::strcmp(name, "hud.bmp") == 0;
  if (hud && backdropistitle && levelbackdrop[GridOn() ? 0 : 1].Created()) {
    backdrop.BltFast(0, 0, &levelbackdrop[GridOn() ? 0 : 1], nullptr, 0, 0);
    backdropistitle = false;
    return;
  }
  const bool title = std::strcmp(name, "title.bmp") == 0 && titlepicture.Created();
  Z2DSurface loaded;
  if (!title) {
    ClassZFile from;
    if (!from.Open(kGfxPack, ZFILE_MODE_READ) || !from.PackValid()) return;
    if (!QuickLoadFileSurface(&from, name, loaded)) return;
  }
  Z2DSurface& picture = title ? titlepicture : loaded;
  backdropistitle = false;

  if (hud) {
    LayHud(backdrop, picture, GridOn());
    return;
  }

  // The picture replaces the backdrop only once it has loaded whole.
  if (backdrop.GetWidth() != picture.GetWidth() || backdrop.GetHeight() != picture.GetHeight())
    if (display->CreateSurface(&backdrop, picture.GetWidth(), picture.GetHeight(), 0) != Z2D_OK)
      return;
  backdrop.BltFast(0, 0, &picture, nullptr, 0, 0);
  backdropistitle = std::strcmp(name, "title.bmp") == 0;
  if (std::strcmp(name, "upcoming.bmp") == 0) {
    pack.Close();
    LoadGamesPair();
  }
}

void ClassGraphics::LoadGamesPair() {
  // The closing screen shows without them, so a player is told which pack to look at.
  ClassZFile games;
  if (!games.Open(kGamesPack, ZFILE_MODE_READ) || !games.PackValid()) {
    std::fprintf(stderr, "kolvo2: cannot open res/games.zpk: missing, or not a pack\n");
    return;
  }
  const uint32_t count = games.PackContainFiles();
  if (count < 2) {
    std::fprintf(stderr, "kolvo2: res/games.zpk holds %u pictures, a pair needs 2\n", count);
    return;
  }
  const uint32_t r = maindata && maindata->random ? maindata->random->Next() : 0;
  const uint32_t k = (r % (count / 2)) & 0xFF;
  const int32_t xs[2] = {kPairLeftX, kPairRightX};
  for (uint32_t i = 0; i < 2; ++i) {
    Z2DSurface picture;
    if (QuickLoadFileSurface(&games, 2 * k + i, picture))
      backdrop.BltFast(xs[i], kPairY, &picture, nullptr, 0, 0);
    else
      std::fprintf(stderr, "kolvo2: cannot load entry %u of res/games.zpk\n", 2 * k + i + 1);
  }
}
