// ClassGraphics: the puzzle game's store of pictures and its small drawing toolkit. It
// owns every image, font and mesh the screens share, loads them from "res\gfx.zpk" in
// numbered steps while the intro runs, and gives the screens one-call drawing: bars and
// lines, the two-layer game font, block tiles, the turning menu cube, the engine logo's
// flight, the credits' fade bands, the screen transition and the on-screen keyboard.
//
//   gfx.Init(display, &maindata);
//   for (step = 0; step < 16; ++step) if (!gfx.ScriptLoad(step)) ...;  // 0: stop the game
//   gfx.LoadBackDrop("title.bmp");
//   gfx.DrawGameFont(backbuffer, 84, 66, "Classic game");
//
// Text "in the game font" is drawn twice: "gfont.bmp" with colour key and subtract (an
// outline that darkens what lies under it), then "gmask.bmp" keyed (white bodies) or
// keyed, colorized and tinted with a colour. Colours are 0x00BBGGRR words.
//
// Loading steps (ScriptLoad, 1 on success, 0 on failure; other steps do nothing and give 1):
//   1 open the pack         2 "splash.bmp" as the backdrop       4 "stdsprite.bmp", tiles
//   5 logo mesh and banner, the back surface, the credit mask, "logo.png"
//   6 the three font strips  7 font tables and both keyboards   8 "menu.3ds"
//   9 close the pack
// A failed step names the pack entry (or the pack) in FailedName().
#pragma once

#include <cstdint>

#include "engine/core/zmod_file.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2drgba.h"
#include "engine/graphics/zsurf_3d.h"
#include "kolvo2/logo_faces.h"

class ClassZDisplay;
struct MAINDATA;

// The on-screen keyboard: 5 rows of 27 cells, each cell half a key wide (8 pixels). A key
// is a run of equal bytes in a row, 0 is no key. Below 32: 7 cancel, 8 backspace, 9 tab,
// 10 enter, 11 shift, 12 caps lock; 32 is the space bar.
constexpr uint32_t KB_ROWS = 5;
constexpr uint32_t KB_CELLS = 27;
constexpr uint32_t KB_LAYOUTS = 2;  // 0 plain, 1 shifted
extern const uint8_t (&kblayout)[KB_LAYOUTS][KB_ROWS][KB_CELLS];

enum : uint8_t {
  KB_CANCEL = 7,
  KB_BACKSPACE = 8,
  KB_TAB = 9,
  KB_ENTER = 10,
  KB_SHIFT = 11,
  KB_CAPS = 12,
};

// A volume setting (0-64) as the menus show it: the label and the percentage ("Music:
// 50%"), or "Off" at 0.
void VolumeText(char* out, uint32_t size, const char* label, uint8_t volume);

// A rectangle: left, top, right, bottom (right and bottom exclusive).
inline tagRECT MakeRect(int32_t l, int32_t t, int32_t r, int32_t b) {
  tagRECT rect;
  SetRect(&rect, l, t, r, b);
  return rect;
}


class ClassGraphics {
 public:
  static constexpr uint32_t COLORKEY = 0xFF00FF;
  static constexpr uint32_t SCREEN_W = 320;
  static constexpr uint32_t SCREEN_H = 240;
  static constexpr uint32_t KB_HEIGHT = 96;
  static constexpr uint32_t KB_SLIDE_MS = 250;
  static constexpr uint32_t TILE = 14;  // block tiles are 14 x 14
  static constexpr uint32_t TRANSITION_RESET = 0xFFFFFF;
  static constexpr uint32_t FADE_MS = 400;

  ClassGraphics() = default;
  ClassGraphics(const ClassGraphics&) = delete;
  ClassGraphics& operator=(const ClassGraphics&) = delete;

  void Init(ClassZDisplay* display, MAINDATA* data);
  int ScriptLoad(uint32_t step);
  // The name of the pack or entry the last failed step could not load ("" when none),
  // and whether it was the pack itself (missing, or not a pack).
  const char* FailedName() const { return failed; }
  bool FailedPack() const { return failedpack; }
  // Replaces the backdrop with an image of the graphics pack; "hud.bmp" is laid over it
  // instead, "upcoming.bmp" also gets a picture pair of "res\games.zpk". Fails silently:
  // the backdrop keeps what it held.
  void LoadBackDrop(const char* name);
  // Decodes, before the first frame, what the title and the level put in the backdrop when
  // they begin: "title.bmp", and it with the side panel laid over, with and without the
  // grid (three screens, 450 KB at 16 bits a pixel). Unpacking and decoding a screen costs
  // several frames' time; LoadBackDrop then only copies. Without the pack nothing is kept
  // and LoadBackDrop reads the pack as before.
  void Preload();
  // One entry of an open pack into a surface or mesh: 1, or 0 when the entry is missing,
  // unreadable, or the display cannot build the object from it.
  int QuickLoadFileSurface(ClassZFile* pack, const char* name, Z2DSurface& surface);
  int QuickLoadFileSurface(ClassZFile* pack, uint32_t index, Z2DSurface& surface);
  int QuickLoadFileSurface(ClassZFile* pack, const char* name, Z2DSurfaceRGBA& surface);
  int QuickLoadFileSurface(ClassZFile* pack, const char* name, Z3DSurface& mesh);

  // A screen kept for drawing it again: the title's menu over the backdrop, worked out
  // once per change of its texts or selection rather than every frame. DrawKept puts the
  // screen kept under key on s and returns true; false (nothing drawn) when another key or
  // nothing is kept. Keep stores s under key. A new backdrop forgets the screen kept.
  bool DrawKept(Z2DSurface& s, uint64_t key);
  void Keep(Z2DSurface& s, uint64_t key);

  // The backdrop handed out may be drawn on: it no longer counts as the title's picture.
  void GetBackDrop(Z2DSurface*& out) {
    backdropistitle = false;
    out = &backdrop;
  }
  void GetBackSurface(Z2DSurface*& out) { out = &backsurface; }
  uint32_t GetKBHeight() const { return keyboard[0].Created() ? keyboard[0].GetHeight() : KB_HEIGHT; }
  // The game font's height less 2: the pitch of its lines.
  uint32_t GetFontHeight() const;
  uint32_t GetFontWidth(const char* text) const;
  uint32_t GetFontWidth(int32_t n) const;

  // ---- drawing (the target first; rectangles left, top, right, bottom, exclusive) ----
  void Clear(Z2DSurface& s, uint32_t colour);
  void DrawBar(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t colour);
  void DrawRectangle(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t colour);
  void DrawLine(Z2DSurface& s, int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour,
                uint8_t flags = 0, uint32_t property = 0);
  void DrawAlphaBar(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b, uint32_t colour,
                    uint8_t opacity);
  void ScreenAlpha(Z2DSurface& s, uint32_t colour, uint8_t opacity);
  void CaptureBackDrop(Z2DSurface& s);
  void DrawBackDrop(Z2DSurface& s);
  void DrawBackSurface(Z2DSurface& s);
  void DrawBackSurface(Z2DSurface& s, int32_t l, int32_t t, int32_t r, int32_t b);
  void DrawGameFont(Z2DSurface& s, int32_t x, int32_t y, const char* text);
  void DrawGameFontColor(Z2DSurface& s, int32_t x, int32_t y, const char* text, uint32_t colour);
  void DrawGameFont(Z2DSurface& s, int32_t x, int32_t y, int32_t n);
  void DrawGameFontColor(Z2DSurface& s, int32_t x, int32_t y, int32_t n, uint32_t colour);
  // The frame rate at (4, 0).
  void Flip(Z2DSurface& s, uint32_t n);
  // Cell `index` of the sprite sheet (16 to a row), cut to w x h quarter cells.
  void DrawStdSprite(Z2DSurface& s, int32_t x, int32_t y, uint32_t w, uint32_t h, uint16_t index);
  void DrawStdSprite(Z2DSurface& s, int32_t x, int32_t y, uint32_t w, uint32_t h, uint16_t index,
                     uint8_t opacity);
  // The menu marker; angle in 4096 steps a turn.
  void DrawCube(Z2DSurface& s, int32_t x, int32_t y, int32_t angle);
  void DrawLogo(Z2DSurface& s, int32_t x, int32_t y);
  // The engine logo's flight at t ms (0 draws nothing, 1-4095 one pass).
  void DrawLogo(Z2DSurface& s, uint32_t t);
  void DrawZoltBanner(Z2DSurface& s);
  void PrepareCreditMask(Z2DSurface& s);
  void BlendCreditMask(Z2DSurface& s);
  // The screens' 400-ms fades of the backdrop: the timer grows by elapsed and is held at
  // 400 at the end, when they return true. From black (black at a timer of 0), and to
  // black (black at the end).
  bool FadeInBackDrop(Z2DSurface& s, uint32_t& timer, uint32_t elapsed);
  bool FadeOutBackDrop(Z2DSurface& s, uint32_t& timer, uint32_t elapsed);
  // One frame of the screen transition: the backdrop fades to black in 512 ms, then the
  // back surface fades in over the next 512 ms (not with toBlackOnly). 1 when done.
  // elapsed TRANSITION_RESET starts a new transition (0).
  int Transition(Z2DSurface& s, uint32_t elapsed, bool toBlackOnly);
  // The keyboard of the layout (0 plain, 1 shifted) risen t of 250 ms from the bottom.
  void DrawKeyboard(Z2DSurface& s, uint32_t t, uint8_t layout);
  // The label of the key under a cell; flat: into a keyboard surface itself, else onto
  // the screen at the keyboard's height after t ms of rising.
  void DrawKBChar(Z2DSurface& s, uint8_t column, uint8_t row, uint8_t layout, uint32_t t,
                  bool flat, bool highlighted);
  // A key cap stretched over rect by nine-slice tiling (8-pixel corners and tiles, the
  // cap's side below the rectangle).
  void DrawKBKey(Z2DSurface& s, Z2DSurfaceRGBA& key, const tagRECT& rect);

  // The pieces the screens and tests look at.
  uint32_t TransitionTime() const { return transitiontime; }
  Z2DSurface& Keyboard(uint8_t layout) { return keyboard[layout & 1]; }
  Z3DSurface& LogoMesh() { return logomesh; }
  bool PackOpen() const { return pack.IsOpen() != 0; }

 private:
  int Fail(const char* name);
  int LoadSprites();
  int LoadKeyboards();
  int LoadMesh(const char* name, Z3DSurface& mesh);
  void LoadGamesPair();
  // The side panel over what the backdrop holds: keyed, the well darkened and, unless the
  // configuration turns it off, gridded.
  void LayHud(Z2DSurface& target, Z2DSurface& hud, bool grid);
  bool GridOn() const;
  void DrawFontNumber(Z2DSurface& s, int32_t x, int32_t y, int32_t n, int32_t maskflags,
                      uint32_t colour);

  MAINDATA* maindata = nullptr;
  ClassZDisplay* display = nullptr;
  ClassZFile pack;
  Z3DSurface cube;
  Z2DSurface backsurface;
  Z2DSurface keptscreen;
  uint64_t keptkey = 0;
  bool kept = false;
  Z2DSurface backdrop;
  bool backdropistitle = false;  // holds "title.bmp" as LoadBackDrop put it there
  Z2DSurface titlepicture;        // Preload's: "title.bmp"
  Z2DSurface levelbackdrop[2];    // it with the side panel: 0 with the grid, 1 without
  Z2DSurface sprites;
  Z2DSurface font;
  Z2DSurface fontmask;
  Z2DSurface creditmask;
  Z2DSurface keyfont;
  Z2DSurfaceRGBA logo;
  Z2DSurface keyboard[KB_LAYOUTS];
  Z2DSurfaceRGBA banner;
  Z3DSurface logomesh;
  uint32_t transitiontime = 0;
  char failed[64] = "";
  bool failedpack = false;
};
