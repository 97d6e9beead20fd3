// Z2DSurface: the engine's drawable image. A block of pixels in one of six formats with a
// clip rectangle, a palette, a packed colour key, font tables and span tables.
//
// Callers pass logical coordinates (as the player sees the screen); the surface stores
// pixels in buffer coordinates, derived through the display's rotation (ClassZDisplay).
// With exchanged display axes the buffer is transposed: one buffer row holds one logical
// column. Colours are 0x00BBGGRR words, except on 8-bit surfaces where they are indices.
//
// Blit flags (low byte of every flags argument): 0x01 colour key, 0x02 colorize, 0x04
// tint, 0x08 opacity, 0x10 add, 0x20 subtract (add with subtract counts as neither). The
// property word holds the colour in its low 24 bits and the opacity in its top byte when
// colorize or tint is set; otherwise it is the opacity (255 and above: opaque).
//
// Results: see the Z2D_* codes in zsurf_format.h.
#pragma once

#include <cstdint>

#include "engine/graphics/zsurf_2dbase.h"

class ClassZDisplay;

class Z2DSurface : public Z2DSurfaceBase {
 public:
  Z2DSurface() = default;
  ~Z2DSurface() override;

  // --- lifecycle --------------------------------------------------------------------------
  // Links the engine context (display, memory, configuration); precedes everything else.
  Z2DSurface* LinkZCD(ZCD* context);
  // flags: low nibble the kind (0: the configuration's surface flags; 1-3 create alike),
  // bits 8-15 a format that replaces the argument. The same size, flags and format on a
  // created surface only clear it. 4: bad kind, zero size, a side above 32767 or no
  // context; 1: unknown format (nothing freed); 2: no memory.
  int Create(uint32_t width, uint32_t height, uint8_t format, uint32_t flags);
  // Resets palette, clip, font settings and span tables: 0, or 2 without memory.
  int Init();
  void Free();

  // --- size and information -----------------------------------------------------------
  uint32_t GetWidth() const;
  uint32_t GetHeight() const;
  int GetInfo(Z2DSURFACEINFO* info) const;
  // The pixel buffer (null when there is none), counting one more lock; fills info when
  // given.
  uint8_t* Lock(Z2DSURFACEINFO* info = nullptr);
  void Unlock();

  // --- clipping -------------------------------------------------------------------------
  // Logical rectangle, mapped to buffer coordinates and limited to the buffer; null: the
  // whole buffer.
  void SetClipper(const tagRECT* rect);
  void GetClipper(tagRECT* rect) const;
  // Intersects a buffer rectangle with the clip in place: 1 when something remains.
  int ClipRect(tagRECT* rect) const;
  // Clips a source rectangle of a srcwidth x srcheight source and a destination position,
  // all in buffer coordinates: 1 when something remains.
  int PrepareBlitRect(int32_t& x, int32_t& y, tagRECT* src, int32_t srcwidth, int32_t srcheight) const;
  int PrepareBlitRect(int64_t& x, int64_t& y, tagRECT* src, int64_t srcwidth, int64_t srcheight) const;

  // --- colour key -----------------------------------------------------------------------
  void SetColorKey(uint32_t colour);
  uint32_t GetColorKey() const;

  // --- pixels ---------------------------------------------------------------------------
  // Colour word at a logical position; 0 outside the buffer (the clip is not consulted).
  uint32_t GetPixel(int32_t x, int32_t y) const;
  // The same at buffer coordinates.
  uint32_t GetPixelV(int32_t x, int32_t y) const;
  // Expanded pixel at buffer coordinates of buffer (this surface's stride and format);
  // no checks.
  uint32_t GetPixelRaw(int32_t x, int32_t y, const uint8_t* buffer) const;
  // Draws by the pixel rule when the mapped position lies inside the clip.
  void PutPixel(int32_t x, int32_t y, uint32_t colour, int32_t flags, uint32_t property);
  // The pixel rule at buffer coordinates of buffer; no checks.
  void PutPixelRaw(int32_t x, int32_t y, uint32_t colour, int32_t flags, uint32_t property,
                   uint8_t* buffer);

  // --- blits ----------------------------------------------------------------------------
  // Copies srcrect of src (null: all of it) to (x, y) with the blit flags. 0, 1 (a
  // surface not created, an 8-bit source without a display palette), 4 (null source,
  // nothing visible), 10 (opacity quantised to 0),
  // 11 (into an 8-bit surface from another format), 12 (a pixel buffer missing).
  // src may be this surface; overlapping areas are handled.
  int BltFast(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect, int32_t flags,
              uint32_t property);
  // Mapped and clipped position and source rectangle of a blit: 0, 1 or 4.
  int GetBltFastPositions(int32_t& x, int32_t& y, tagRECT* rect, const tagRECT* srcrect,
                          const Z2DSurfaceBase* src) const;

  // --- fills and primitives -------------------------------------------------------------
  // Fills the rectangle (null: the clip rectangle) with the colour and the blit effects
  // (the colour key flag is ignored). logical false: rect is in buffer coordinates.
  int FillRect(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property);
  int FillRectV(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property, bool logical);
  void PutPixelRow(int32_t x, int32_t y, uint32_t count, uint32_t colour, int32_t flags,
                   uint32_t property);
  void PutPixelRowV(int32_t x, int32_t y, uint32_t count, uint32_t colour, int32_t flags,
                    uint32_t property, bool logical);
  // Fills the whole surface, then drops the font width and collision mask tables.
  void Clear(uint32_t colour);
  // A line including both end points (Bresenham, error term from 0).
  int DrawLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, uint32_t colour, int32_t flags,
               uint32_t property);
  // Outline of the rectangle, no pixel twice; null or empty: nothing.
  int DrawRect(const tagRECT* rect, uint32_t colour, int32_t flags, uint32_t property);
  // Centre (x + rx, y + ry), radii |rx| and |ry|; the rows at +-ry are never drawn.
  int FillOval(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t flags,
               uint32_t property);
  int DrawOval(int32_t x, int32_t y, int32_t rx, int32_t ry, uint32_t colour, int32_t flags,
               uint32_t property);
  // Colour key from the pixel at a logical position (0 outside the buffer); returns it.
  uint32_t AutoSetColorKey(int32_t x, int32_t y);
  // Inside the clip, every pixel of oldcolour (invert: every other pixel) becomes
  // newcolour: 1, or 0 without a buffer.
  int ReplaceColor(uint32_t newcolour, uint32_t oldcolour, bool invert);

  // --- fonts (this surface as the glyph strip) -----------------------------------------
  Z2DSurface* SetFontCharacters(uint16_t first, uint16_t last);
  // A copy of the zero-terminated set (null: none); glyph i shows set[i].
  void SetFontCharacterSet(const char* set);
  void SetFontCharacterSet(const uint16_t* set);
  Z2DSurface* SetFontPadding(int32_t x, int32_t y);
  // Reads glyph starts and widths from the marker runs on logical row 0: non-zero when
  // built. count is limited to 65536.
  int BuildTableVwf(uint32_t count);
  uint32_t GetFontHeight(const char* text) const;
  uint32_t GetFontHeight(const uint16_t* text) const;
  uint32_t GetFontWidthV(const char* text, bool firstline) const;
  uint32_t GetFontWidthV(const uint16_t* text, bool firstline) const;
  uint32_t GetFontWidth(const char* text) const { return GetFontWidthV(text, false); }
  uint32_t GetFontWidth(const uint16_t* text) const { return GetFontWidthV(text, false); }
  // Draws text with font through BltFast (flags low byte) on this surface. Above the low
  // byte: 0x100 right-aligned, 0x200 centred, 0x400 bottom-aligned, 0x800 vertically
  // centred. 4 for a null font or text.
  int DrawFont(int32_t x, int32_t y, Z2DSurface* font, const char* text, int32_t flags,
               uint32_t property);
  int DrawFont(int32_t x, int32_t y, Z2DSurface* font, const uint16_t* text, int32_t flags,
               uint32_t property);
  // The number in decimal, with a minus sign when negative.
  int DrawFont(int32_t x, int32_t y, Z2DSurface* font, int32_t number, int32_t flags,
               uint32_t property);

  // --- state ----------------------------------------------------------------------------
  uint32_t palette[256] = {};
  uint16_t* charset = nullptr;
  int16_t* spanleft = nullptr;       // per row
  int16_t* spanright = nullptr;      // per row
  int32_t* spanleftrec = nullptr;    // four values per row
  int32_t* spanrightrec = nullptr;   // four values per row
  uint16_t* vwftable = nullptr;      // glyph starts, then glyph widths
  uint8_t* buffer = nullptr;
  uint8_t* palettelookup = nullptr;  // 256 entries into the display palette
  uint16_t firstchar = 0;
  uint16_t lastchar = 127;
  int32_t padx = 0;
  int32_t pady = 0;
  uint32_t colorkey = 0;  // packed
  int32_t glyphcount = 128;
  int32_t lockcount = 0;

 protected:
  const ClassZDisplay* Display() const;
  ClassZMemory* Memory() const;
  // Logical position to buffer position.
  void MapPos(int64_t& x, int64_t& y) const;
  void MapRect(tagRECT* rect) const;
  void ReleaseTable(void* pointer);
  int GlyphIndex(uint32_t c) const;
  template <class Char>
  uint32_t FontHeightT(const Char* text) const;
  template <class Char>
  uint32_t FontWidthT(const Char* text, bool firstline) const;
  template <class Char>
  int DrawFontT(int32_t x, int32_t y, Z2DSurface* font, const Char* text, int32_t flags,
                uint32_t property);
  void SetCharset(const uint16_t* set, uint32_t length);
};
