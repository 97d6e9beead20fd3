// Image loading into a Z2DSurface and writing one as a BMP file.
//
// LoadImage offers the data to the display's loader slots in order; the first loader that
// does not answer 3 decides the result. The surface is (re)created by the loader through
// the three callbacks below, which convert every pixel to the surface's format:
//   - transparent pixels (alpha below 255, or a palette entry with such an alpha) are
//     stored as 0, the colour key that LdrOnCreate sets;
//   - an opaque pixel that would pack to 0 (black, or near black on 16-bit formats) is
//     stored as 0x101010 (4:4:4), 0x080808 (5:5:5, 5:6:5) or 0x010101 (24, 32 bits), so
//     that key 0 marks exactly the transparent pixels;
//   - LDR_DITHER dithers into 16-bit formats; LDR_REMAP_PALETTE maps into the display's
//     palette on 8-bit surfaces.
// Pixels are placed through the display's rotation and bounded by the pixel buffer.
#pragma once

#include <cstdint>

#include "engine/core/zolt_records.h"
#include "engine/graphics/zldr_loader.h"
#include "engine/graphics/zsurf_2d.h"

// From memory: the loaders' result; 4 for a creation kind above 3 (flags & 0xF); 3 when
// no loader takes the data.
int Z2DSurface_LoadImage(Z2DSurface* surface, const void* data, uint32_t size, uint8_t format,
                         uint32_t flags);
// From a file: 1 missing or empty, 2 no memory, else as from memory.
int Z2DSurface_LoadImage(Z2DSurface* surface, const uint16_t* filename, uint8_t format,
                         uint32_t flags);

// Writes rect (logical; null: the whole surface; not clipped, pixels outside the surface
// are black) as a 24-bit BMP file. 0; 1 not created, the file cannot be made or a write
// fails (the partial file is removed); 2 no memory; 4 an empty or inverted rectangle, a
// null or unconvertible name.
int Z2DSurface_WriteBmp(Z2DSurface* surface, const uint16_t* filename, const tagRECT* rect);
int Z2DSurface_WriteBmp(Z2DSurface* surface, const char* filename, const tagRECT* rect);

// The loader callbacks of Z2DSurface.
int Z2DSurface_LdrOnCreate(Z2DSurface* surface, ZLDR_2DCALLBACKINFO* info);
int Z2DSurface_LdrOnPaletteStream(Z2DSurface* surface, ZLDR_2DCALLBACKINFO* info);
int Z2DSurface_LdrOnPixelStream(Z2DSurface* surface, ZLDR_2DCALLBACKINFO* info);

// Hands a loader's callbacks on to a Z2DSurface.
class Z2DSurfaceLoadTarget : public Z2DSurfaceBase {
 public:
  explicit Z2DSurfaceLoadTarget(Z2DSurface* surface) : surface_(surface) {}
  int LdrOnCreate(ZLDR_2DCALLBACKINFO* info) override {
    return Z2DSurface_LdrOnCreate(surface_, info);
  }
  int LdrOnPaletteStream(ZLDR_2DCALLBACKINFO* info) override {
    return Z2DSurface_LdrOnPaletteStream(surface_, info);
  }
  int LdrOnPixelStream(ZLDR_2DCALLBACKINFO* info) override {
    return Z2DSurface_LdrOnPixelStream(surface_, info);
  }

 private:
  Z2DSurface* surface_;
};
