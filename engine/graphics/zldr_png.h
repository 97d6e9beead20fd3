// PNG reader: colour types 0, 2, 3, 4 and 6 at their standard bit depths, Adam7
// interlacing, PLTE and tRNS (palette alpha, or a grey / RGB key compared on the high
// byte). 16-bit samples keep their high byte; chunk CRCs and ancillary chunks are ignored.
//
// Results: 3 wrong signature, compression or filter method not 0; 1 bad structure (a chunk
// length past the data, a missing, short or repeated IHDR, an invalid depth / colour type
// pair, a zero size, a bad or (palette images) missing PLTE, no IDAT, compressed data that fail to inflate to exactly
// the image's size); 2 no memory; else the first non-zero callback result.
#pragma once

#include <cstdint>

#include "engine/graphics/zldr_loader.h"

// Header state of one load.
struct ZPNG_HEADER {
  uint32_t width;
  uint32_t height;
  uint32_t idatcount;
  uint32_t idattotal;
  uint32_t key;  // 0xFF000000: no key (never equal to a 24-bit colour)
  uint8_t depth;
  uint8_t colourtype;
  uint8_t compression;
  uint8_t filter;
  uint8_t interlace;
  uint8_t colour;   // colour type bit 1
  uint8_t alpha;    // colour type bit 2
  uint8_t palette;  // colour type bit 0
  uint32_t pal[256];  // 0xAABBGGRR
};

class ZLoader_PNG : public ClassZLoaderBase {
 public:
  using ClassZLoaderBase::Start;
  int Start(Z2DSurfaceBase* surface, const void* data, uint32_t size, uint8_t format,
            uint32_t flags) override;

  // Inflates, unfilters and converts the image data and delivers it row by row.
  int DecodeImage(Z2DSurfaceBase* surface, ZLDR_2DCALLBACKINFO* info, ZPNG_HEADER* header);
  // Undoes one row's filter in place; prev is the unfiltered row above (zeros for a first
  // row), bpp the bytes of one complete pixel (at least 1).
  static void RevertBytes(uint8_t filter, uint8_t* row, const uint8_t* prev, uint32_t bytes,
                          uint32_t bpp);
  // Converts count pixels of an unfiltered row: palette images to index bytes, all others
  // to colour words 0xAABBGGRR with the key applied.
  static void Rasterize(const ZPNG_HEADER* header, const uint8_t* row, uint32_t count,
                        void* out);

 private:
  int WalkChunks(ZPNG_HEADER* header);
  int DeliverTables(Z2DSurfaceBase* surface, ZLDR_2DCALLBACKINFO* info, ZPNG_HEADER* header);
};

// Grey samples of 1, 2 and 4 bits widened to 8 by bit replication.
extern const uint8_t zpng_ldr_c1bit[2];
extern const uint8_t zpng_ldr_c2bit[4];
extern const uint8_t zpng_ldr_c4bit[16];
