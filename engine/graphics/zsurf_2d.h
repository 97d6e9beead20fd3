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
class Z2DSurfaceRGBA;
class Z3DSurface;
struct ZVECTOR3D;

// A pixel shader: the new destination pixel from the destination and source pixels as
// 0x00RRGGBB values, the pixel's column and row in the blitted rectangle and the caller's
// value. Ready-made ones: zx_shader.h.
using ZPIXELSHADER = uint32_t (*)(uint32_t dst, uint32_t src, uint32_t x, uint32_t y, int32_t user);

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
  // GetWidth and GetHeight: the base's.
  int GetInfo(Z2DSURFACEINFO* info) const;
  // The pixel buffer (null when there is none), counting one more lock; fills info when
  // given.
  uint8_t* Lock(Z2DSURFACEINFO* info = nullptr);
  void Unlock();

  // --- clipping -------------------------------------------------------------------------
  // Logical rectangle, mapped to buffer coordinates and limited to the buffer; null: the
  // whole buffer.
  void SetClipper(const tagRECT* rect);
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
  // Draws srcrect of an RGBA source (null: all of it) at (x, y) with the blit flags (the
  // colour key flag has no meaning here). 0; 4 null source or nothing visible; 1 a surface
  // not created; 10 opacity quantised to 0; 12 a pixel buffer missing. Sources of another
  // target format blend pixel by pixel.
  int BltFast(int32_t x, int32_t y, Z2DSurfaceRGBA* src, const tagRECT* srcrect, int32_t flags,
              uint32_t property);
  // Mapped and clipped position and source rectangle of a blit: 0, 1 or 4.
  int GetBltFastPositions(int32_t& x, int32_t& y, tagRECT* rect, const tagRECT* srcrect,
                          const Z2DSurfaceBase* src) const;

  // --- pixel shaders (zsurf_2d_shader.cpp) ---------------------------------------------
  // A 1:1 blit of srcrect (null: all of it) to (x, y) in which shader computes every drawn
  // pixel, once each, in raster order of the buffer; flags bit 0 skips source pixels equal
  // to the source's colour key; property is the shader's user value. The shader's x and y
  // are offsets inside the clipped rectangle in buffer coordinates, so a pattern by position
  // shifts when the blit is clipped or the display rotated. Values are 0x00RRGGBB with each
  // channel widened to 8 bits (low bits 0); 24- and 32-bit pixels pass as stored. 8-bit
  // surfaces copy indices and never call the shader. 0; 4 null source or shader, nothing
  // visible; 1 a surface not created; 11 the formats differ; 12 a pixel buffer missing.
  // src may be this surface; overlapping areas read the source as it was.
  int BltPixelShader(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect,
                     ZPIXELSHADER shader, int32_t flags, uint32_t property);
  // The loops behind it: rect of src is drawn with its top-left pixel at (dx, dy) of dst
  // (buffer coordinates, strides in pixels). No clipping: the rectangle must lie inside
  // both buffers. The keyed form leaves the destination
  // alone where the stored source pixel equals key.
  static void MemBlt(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst, const uint8_t* src,
                     const tagRECT* rect, uint32_t dstride, uint32_t sstride, uint8_t format,
                     uint32_t user);
  static void MemBltColorkey(ZPIXELSHADER shader, int32_t dx, int32_t dy, uint8_t* dst,
                             const uint8_t* src, const tagRECT* rect, uint32_t dstride,
                             uint32_t sstride, uint8_t format, uint32_t user, uint32_t key);

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

  // --- triangles and transformed blits (zx_polygon.cpp, zx_rotate.cpp) ---------------
  // Corners, texture coordinates and interpolated channels of the V forms are 22.10 fixed
  // point (1024 = one pixel); the plain forms take whole pixels. A span covers the leftmost
  // side crossing up to one pixel before the rightmost, so two triangles that share a side
  // neither overlap nor leave a gap.
  //
  // Flat triangle through the rectangle fill: every blit effect of FillRect applies.
  void FillPoly(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                uint32_t colour, int32_t flags, uint32_t property);
  void FillPolyV(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t x3, int32_t y3,
                 uint32_t colour, int32_t flags, uint32_t property);
  // Gouraud triangle; flags 0x40 dithers into 16-bit formats, nothing else has an effect.
  void GradientPoly(int32_t x1, int32_t y1, uint32_t c1, int32_t x2, int32_t y2, uint32_t c2,
                    int32_t x3, int32_t y3, uint32_t c3, int32_t flags);
  void GradientPolyV(int32_t x1, int32_t y1, uint32_t c1, int32_t x2, int32_t y2, uint32_t c2,
                     int32_t x3, int32_t y3, uint32_t c3, int32_t flags);
  // Affine texture mapping of src ((sx, sy) is each corner's logical source position); the
  // source repeats beyond its size. 0 drawn (or nothing visible), 4 null source, 10 opacity
  // quantised to 0, 11 src in another pixel format, 12 a pixel buffer missing.
  int TexturePoly(int32_t x1, int32_t y1, int32_t sx1, int32_t sy1, int32_t x2, int32_t y2,
                  int32_t sx2, int32_t sy2, int32_t x3, int32_t y3, int32_t sx3, int32_t sy3,
                  Z2DSurface* src, int32_t flags, uint32_t property);
  int TexturePolyV(int32_t x1, int32_t y1, int32_t sx1, int32_t sy1, int32_t x2, int32_t y2,
                   int32_t sx2, int32_t sy2, int32_t x3, int32_t y3, int32_t sx3, int32_t sy3,
                   Z2DSurface* src, int32_t flags, uint32_t property);
  // srcrect of src (null: all of it) centred on (x, y), scaled (16.16), rotated (4096 steps
  // a turn) and flipped as fx says (null: untransformed, which is BltFast at the centred
  // position). The normalised flags are written back into fx. 0, 4 nothing visible or null
  // source, 10, 11, 12.
  int BltFx(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect, Z2DBLTFX* fx);
  int Blt(int32_t x, int32_t y, Z2DSurface* src, const tagRECT* srcrect, uint16_t rotation,
          uint32_t scale, uint8_t flip, int32_t flags, uint32_t property);
  // Rectangle (null: the whole surface) shaded between four corner colours, as two gouraud
  // triangles; flags 0x40 dithers.
  void GradientRect(const tagRECT* rect, uint32_t topleft, uint32_t topright, uint32_t bottomleft,
                    uint32_t bottomright, int32_t flags);
  void GradientRectV(const tagRECT* rect, uint32_t top, uint32_t bottom, int32_t flags);
  void GradientRectH(const tagRECT* rect, uint32_t left, uint32_t right, int32_t flags);
  // Side walks into the span tables (buffer coordinates, 22.10), with none, two (source x,
  // y) or three (red, green, blue) interpolated values. Rows outside the clip are skipped.
  void ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
  void ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t sx1, int32_t sy1,
                    int32_t sx2, int32_t sy2);
  void ScanPolyLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t r1, int32_t g1,
                    int32_t b1, int32_t r2, int32_t g2, int32_t b2);

  // --- 3D meshes (zsurf_3d_render.cpp) --------------------------------------------------
  // Projects the mesh with its centre at the middle of the surface shifted by (x, y), culls
  // back faces (not in wireframe), sorts far to near and draws each polygon: textured
  // (RENDER_TEXTURED; polygons without a texture are skipped), else gouraud from the vertex
  // light (RENDER_GOURAUD), else three lines (RENDER_WIREFRAME), else filled; RENDER_FLAT
  // takes the lit colour for fills and lines. The whole flags value reaches the fillers.
  void Render(int32_t x, int32_t y, Z3DSurface* mesh, uint32_t flags, uint32_t property);

  // --- landscape (zsurf_2d_landscape.cpp) ---------------------------------------------
  // A perspective ground plane: texture (same format) seen from a camera at (camx, camy)
  // (texture coordinates, 28.4) and height above it, looking along angle (4096 steps a
  // turn; 0 looks towards smaller texture y), drawn into rect (logical; null: the whole
  // surface). pitch sets the horizon: it lies render size x 1024 / |pitch| rows above the
  // rectangle's bottom (a negative pitch turns the picture upside down); scale divides the
  // texture steps (a larger scale shows the texture larger). The texture repeats; pixels
  // are copied without blit flags. Nothing is drawn for a null or different-format texture,
  // a surface without buffer, a scale of 0 or a rectangle outside the clip. When drawn, rect
  // receives the part drawn: the clipped rectangle, shortened to the horizon.
  void Landscape(tagRECT* rect, int32_t height, int32_t camx, int32_t camy, uint16_t angle,
                 int16_t pitch, uint16_t scale, Z2DSurface* texture);
  // Where the ground point (px, py) (28.4, like the camera) of that view lands: 1 and out =
  // (screen x, screen y, depth in 20.12 texels); 0 when it is behind the horizon, beyond
  // the rows walked (the rectangle and as many rows again below it), or nothing could be
  // drawn. out's depth is filled whenever out is given.
  int GetLandscapePoint(const tagRECT* rect, int32_t height, int32_t camx, int32_t camy,
                        uint16_t angle, int16_t pitch, uint16_t scale, int32_t px, int32_t py,
                        Z2DSurface* texture, ZVECTOR3D* out);

  // --- pixel collision (zsurf_2d_collide.cpp) -------------------------------------------
  // Builds the collision mask: one bit per buffer pixel, set where the pixel is not the
  // colour key and the mean of its channels is at least threshold (0: every non-key pixel).
  // Without memory the surface keeps no mask.
  void BuildTableMask(uint8_t threshold);
  // 1 when rect of this surface (null: all of it) placed at (x, y) and orect of other placed
  // at (ox, oy) share a solid pixel, else 0. Rectangles are limited to their surface's clip
  // without moving their position. When either surface has no mask, any overlap of the
  // rectangles is a collision, at its top-left pixel. point
  // (may be null) receives the hit, or (-1, -1): in buffer coordinates, x + the first
  // rectangle's left column after the cut to the overlap + the offset of the hit in it, and
  // likewise y; with rectangles that start at 0 that is the pixel's screen position.
  int Intersect(int32_t x, int32_t y, const tagRECT* rect, int32_t ox, int32_t oy,
                const tagRECT* orect, const Z2DSurfaceBase* other, tagPOINT* point) const;

  // --- image files (zsurf_2d_load.cpp) --------------------------------------------------
  // LoadImage offers the data to the display's loader slots in order; the first loader
  // that does not answer 3 decides the result. The loader (re)creates the surface through
  // the three callbacks below, which convert every pixel to the surface's format:
  //   - transparent pixels (alpha below 255, or a palette entry with such an alpha) are
  //     stored as 0, the colour key that LdrOnCreate sets;
  //   - an opaque pixel that would pack to 0 (black, or near black on 16-bit formats) is
  //     stored as 0x101010 (4:4:4), 0x080808 (5:5:5, 5:6:5) or 0x010101 (24, 32 bits), so
  //     that key 0 marks exactly the transparent pixels;
  //   - LDR_DITHER dithers into 16-bit formats; LDR_REMAP_PALETTE maps into the display's
  //     palette on 8-bit surfaces.
  // Pixels are placed through the display's rotation and bounded by the pixel buffer.
  //
  // From memory: the loaders' result; 4 for a creation kind above 3 (flags & 0xF); 3 when
  // no loader takes the data.
  int LoadImage(const void* data, uint32_t size, uint8_t format, uint32_t flags);
  // From a file: 1 missing or empty, 2 no memory, else as from memory.
  int LoadImage(const uint16_t* filename, uint8_t format, uint32_t flags);
  // Writes rect (logical; null: the whole surface; not clipped, pixels outside the surface
  // are black) as a 24-bit BMP file. 0; 1 not created, the file cannot be made or a write
  // fails (the partial file is removed); 2 no memory; 4 an empty or inverted rectangle, a
  // null or unconvertible name.
  int WriteBmp(const uint16_t* filename, const tagRECT* rect);
  int WriteBmp(const char* filename, const tagRECT* rect);
  int LdrOnCreate(ZLDR_2DCALLBACKINFO* info) override;
  int LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) override;
  int LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) override;
  bool LdrTakesSamples() const override { return true; }

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
  ClassZMemory* Memory() const;
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

  // The palette packed for this surface's format while a load stores indices: made at the
  // first row, so once per image; LdrOnCreate and LdrOnPaletteStream make it stale.
  uint32_t loadpalette_[256];
  bool loadpaletteready_ = false;
};
