// Z2DSurfaceRGBA: an image with a per-pixel alpha, for drawing onto ordinary surfaces with
// soft edges and translucency. Each pixel is one 32-bit word: the colour already
// converted to the format of the surfaces it will be drawn on (the target format) in the
// low 24 bits, the alpha in the top byte (255 opaque).
//
// With the creation / load flag 0x20 (SURF_PREMULTIPLIED) the colour is stored
// premultiplied (channel * A / 256) and the top byte holds 255 - A, so that drawing costs
// one multiply per channel. Empty pixels are 0 (straight) or 0xFFFFFFFF (premultiplied);
// both read back as colour 0, alpha 0.
//
// Drawn by Z2DSurface::BltFast with an RGBA source (zx_rgba.cpp).
#pragma once

#include <cstdint>

#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"
#include "engine/graphics/zsurf_2dbase.h"

enum : uint32_t { SURF_PREMULTIPLIED = 0x20 };

class Z2DSurfaceRGBA : public Z2DSurfaceBase {
 public:
  Z2DSurfaceRGBA() = default;
  ~Z2DSurfaceRGBA() override;

  Z2DSurfaceRGBA* LinkZCD(ZCD* context);
  // Target format = bits 8-15 of flags when set, else format. 0; 1 unknown format, or
  // premultiplied storage for 8-bit targets (an index cannot be scaled); 2 no memory; 4 a
  // zero size, a side above 32767 or no context. The same size and flags only empty it.
  int Create(uint32_t width, uint32_t height, uint8_t format, uint32_t flags);
  void Clear(uint32_t unused = 0);
  void Free();
  uint32_t* Lock(Z2DSURFACEINFO* info = nullptr);
  void Unlock();
  int GetInfo(Z2DSURFACEINFO* info) const;
  // Logical rectangle to buffer coordinates, limited to the buffer; the caller's rectangle
  // receives the result. Null: the whole buffer.
  void SetClipper(tagRECT* rect);
  // Colour 0x00BBGGRR converted to the target format, alpha byte stored as given.
  void PutPixel(int32_t x, int32_t y, uint32_t colour, uint8_t alpha);
  // Straight colour and alpha; 0, 0 outside the clip or without a buffer.
  void GetPixelV(int32_t x, int32_t y, uint32_t& colour, uint8_t& alpha) const;
  void GetPixel(int32_t x, int32_t y, uint32_t& colour, uint8_t& alpha) const;
  // One bit per pixel (rows padded to 32, leftmost pixel in bit 31) where alpha >= threshold.
  void BuildTableMask(uint8_t threshold);
  // Inside the clip, pixels whose colour equals match (invert: differs) take colour, keeping
  // their alpha: 1, or 0 when premultiplied, not created or without a buffer.
  int ReplaceColor(uint32_t colour, uint32_t match, bool invert);
  // Widest line of text with this surface as a fixed-width font (width / 128 a glyph).
  uint32_t GetFontWidth(const char* text) const;
  // Through the display's loaders; the creation kind in flags is not tested.
  int LoadImage(const void* data, uint32_t size, uint8_t format, uint32_t flags);
  int LoadImage(const uint16_t* filename, uint8_t format, uint32_t flags);

  int LdrOnCreate(ZLDR_2DCALLBACKINFO* info) override;
  int LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) override;
  int LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) override;

  bool Premultiplied() const { return (state & SURF_PREMULTIPLIED) != 0; }
  // Colour word to the low 24 bits of a stored pixel, and back.
  uint32_t ToTarget(uint32_t colour) const;
  uint32_t FromTarget(uint32_t stored) const;

  uint32_t palette[256] = {};
  uint16_t* fonttable = nullptr;  // never built by this class
  uint32_t* buffer = nullptr;
  uint32_t lockcount = 0;
  uint8_t firstchar = 0;
  uint8_t targetformat = 0;

 private:
  uint32_t Empty() const { return Premultiplied() ? 0xFFFFFFFFu : 0; }
};

// The same-format workers: (x, y) destination position, rows top..rect bottom and columns
// rect left..right of the source, strides in pixels. Generic members take the effect
// flags, the opacity (property) and the packed effect colour.
void ZxBltRGBA(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
               const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format);
void ZxBltRGBAPlus(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                   const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format);
void ZxBltRGBAGeneric(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                      const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format,
                      uint32_t flags, uint32_t property, uint32_t colour);
void ZxBltRGBAGenericPlus(int32_t x, int32_t y, int32_t top, const tagRECT* rect, uint8_t* dst,
                          const uint32_t* src, int32_t dstride, int32_t sstride, uint8_t format,
                          uint32_t flags, uint32_t property, uint32_t colour);
