// The load protocol around the loader base (zldr_base.h): the record a 2D loader hands to
// the surface callbacks, the load flags, the ordered-dither tables, and the dispatch over
// the display's loader slots.
//
// Protocol of a 2D load: the loader recognises its format (else it answers 3 and touches
// nothing), checks the headers, then calls LdrOnCreate once, LdrOnPaletteStream zero or
// more times and LdrOnPixelStream once per image row. A non-zero callback result ends the
// load with that result. A loader never reports success for an image it did not deliver
// whole.
#pragma once

#include <cstdint>

#include "engine/core/zmod_memory.h"
#include "engine/core/zolt_records.h"
#include "engine/graphics/zldr_base.h"

class Z2DSurfaceBase;
class Z3DSurface;
class ClassZDisplayBase;
struct ZCD;

// Load flags (LoadImage's flags; the low nibble is the surface's creation kind, bits 8-15
// a format override at creation).
enum : uint32_t {
  LDR_DITHER = 0x10,         // ordered dithering into 16-bit formats
  LDR_PREMULTIPLIED = 0x20,  // premultiplied storage on RGBA surfaces
  LDR_REMAP_PALETTE = 0x40,  // 8-bit targets: nearest entries of the display palette
};

// What a 2D loader passes to every surface callback.
struct ZLDR_2DCALLBACKINFO {
  uint32_t width;
  uint32_t height;
  uint8_t indexed;      // 1: data are u8 palette indices; 0: u32 words 0xAABBGGRR
  const void* data;     // palette words or pixels of this call
  uint32_t size;        // bytes at data
  uint8_t format;       // target format asked for by the caller
  uint32_t flags;       // load flags asked for by the caller
  uint32_t palettepos;  // next palette entry to fill
  uint32_t pixelpos;    // next pixel: x = pos % width, y = pos / width (image coordinates)
  uint8_t samples;      // 0: as indexed says; else one of LDR_SAMPLES_* below
};

// Rows of 8-bit samples as an image file holds them, handed over without widening them to
// colour words first: grey; R, G, B; R, G, B, A. The value is the bytes of one pixel. A
// loader offers them only to a surface whose LdrTakesSamples() is true.
enum : uint8_t { LDR_SAMPLES_GREY = 1, LDR_SAMPLES_RGB = 3, LDR_SAMPLES_RGBA = 4 };

// The colour word 0xAABBGGRR of one pixel of such samples.
inline uint32_t ZLoader_SampleWord(uint8_t samples, const uint8_t* p) {
  switch (samples) {
    case LDR_SAMPLES_GREY: return 0xFF000000u | p[0] * 0x010101u;
    case LDR_SAMPLES_RGB: return 0xFF000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
    default: return uint32_t(p[3]) << 24 | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0];
  }
}

// Ordered dither steps, row (x + y) & (n - 1), column the bits the target drops from an
// 8-bit channel: 4-bit channels, 5-bit channels, the 6-bit green of 5:6:5.
extern const int zdithertable16[16][16];
extern const int zdithertable8[8][8];
extern const int zdithertable4[4][4];

// The three channels of a colour word dithered for a 16-bit target format (2, 3 or 4) at
// image position (x, y); other formats and the alpha byte are left as they are.
uint32_t ZLoader_Dither(uint32_t colour, uint8_t format, uint32_t x, uint32_t y);

// Whether an image of width x height is more than the engine ever decodes (4 bytes a pixel
// beyond ZMEMORY_LARGEST_BLOCK): the loaders then answer 2, out of memory, before they
// allocate anything.
inline bool ZLoader_TooLarge(uint32_t width, uint32_t height) {
  return uint64_t(width) * height * 4 > ZMEMORY_LARGEST_BLOCK;
}

// Offers data to the display's loader slots 0-15 in order; the first result other than 3
// is returned; 3 when no loader takes it (or there is no display).
int ZLoader_Dispatch(ClassZDisplayBase* display, Z2DSurfaceBase* surface, const void* data,
                     uint32_t size, uint8_t format, uint32_t flags);
int ZLoader_Dispatch(ClassZDisplayBase* display, Z3DSurface* mesh, const void* data,
                     uint32_t size);

class ClassZFile;
// Points a file object of the caller's at the shared file object's current folder, so
// relative names resolve as everywhere else while a file or pack that the shared object
// holds stays open.
void ZLoader_FollowFolder(ZCD* zcd, ClassZFile& file);

// Reads a whole file into a block from the memory service's list (free with DeAllocList):
// 0; 1 when the file is missing, empty or unreadable; 2 without memory.
int ZLoader_ReadFile(ZCD* zcd, const uint16_t* filename, uint8_t*& block, uint32_t& size);

// Reads a whole file as ZLoader_ReadFile does and returns load(block, size) on its bytes,
// freeing the block after; the read's result when the file cannot be read.
template <class Load>
int ZLoader_LoadFile(ZCD* zcd, const uint16_t* filename, Load load) {
  uint8_t* block = nullptr;
  uint32_t size = 0;
  const int r = ZLoader_ReadFile(zcd, filename, block, size);
  if (r) return r;
  const int result = load(block, size);
  zcd->memory->DeAllocList(block);
  return result;
}

// Copies the entries of a palette stream into palette from info->palettepos on, never
// past entry 255, and moves the position on: 0, or 10 when the palette is already full.
int ZLoader_StorePalette(ZLDR_2DCALLBACKINFO* info, uint32_t* palette);
